#pragma once

#include "platform/EventLog.h"

#include <QString>

#include <chrono>

namespace platform {

// The program's events (recording-started, recording-stopped, recording-failed, file-changed,
// abnormal-termination, disk-full, write-error, device-lost, device-returned, silence,
// silence-ended), each written to the event log and handed to the user's alarm command.
//
// The alarm command is section "Alarms", key "AlarmCommand" of the settings store, read afresh for
// every event. It is run through /bin/sh -c in a session of its own, never waited for, and keeps
// running after the program has exited. Its environment carries VELTRAX_EVENT, VELTRAX_MESSAGE,
// VELTRAX_TIME (as in the log) and VELTRAX_FILE (the current recording, may be empty); the
// message never becomes part of a shell line. Standard input and output are /dev/null and its
// standard error is discarded too, so a chatty command cannot flood the journal; what the program
// logs is whether it failed (exit status), timed out or was killed, one WARNING line each.
//
// All members may be called from any thread.
class AlarmHook {
public:
    // A command still running after this long is sent SIGTERM, and SIGKILL if it is still there
    // kKillGrace later.
    static constexpr std::chrono::seconds kTimeLimit{30};
    static constexpr std::chrono::seconds kKillGrace{5};
    // At most this many alarm commands run at once; an event past it is logged as not delivered.
    static constexpr int kMaxRunning = 8;

    // Logs "<event>: <message>" at the level and starts the alarm command when one is set.
    // Returns as soon as the command has been started.
    static void raise(const QString& event, LogLevel level, const QString& message,
                      const QString& file = {});

    // The alarm command as it stands in the store now; empty when none is set. A line edited by
    // hand is taken exactly as typed (quotes, semicolons, commas and backslashes included), since
    // the store's own reading would strip quotes and cut at a semicolon; a value in the form the
    // store itself writes is read the store's way.
    static QString command();

    // Alarm commands started by this process that have not ended yet.
    static int runningCount();

    // Tests: replaces kTimeLimit (and shortens the kill grace to match); zero restores it.
    static void setTimeLimitForTests(std::chrono::milliseconds limit);
};

} // namespace platform
