#include "platform/AlarmHook.h"

#include "platform/Clock.h"
#include "platform/Settings.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

const QString kSection = QStringLiteral("Alarms");
const QString kKey = QStringLiteral("AlarmCommand");

std::atomic<int> running{0};
std::atomic<qint64> timeLimitOverrideMs{0};

// Run by /bin/sh -c in the alarm's own session. The user's command runs under `timeout` in a
// shell of its own with standard input, output and error on /dev/null; its text comes from the
// environment, so nothing in it is ever pasted into a shell line here. `timeout --verbose` writes
// a note (captured in $result ahead of the exit status) only when it had to send a signal, which
// tells a time-out from a command that merely exited 124 or 137. timeout is started from a
// subshell by exec so the shell's own "Killed" remark goes to /dev/null rather than into $result or
// the log. A failure is reported on the inherited standard error as one line in the log's form.
constexpr char kWrapperScript[] =
    R"sh(result=$(exec 3>&1 >/dev/null 2>&1
    (exec 2>&3 3>&- timeout --verbose -k "$VELTRAX_ALARM_KILL_AFTER" "$VELTRAX_ALARM_TIME_LIMIT" /bin/sh -c '
exec </dev/null >/dev/null 2>&1
set -- "$VELTRAX_ALARM_COMMAND"
unset VELTRAX_ALARM_COMMAND VELTRAX_ALARM_TIME_LIMIT VELTRAX_ALARM_KILL_AFTER
exec /bin/sh -c "$1"')
    echo "$?" >&3)
status=${result##*[!0-9]}
if [ "$result" != "$status" ] && [ "$status" -eq 124 ]; then
    problem="timed out after $VELTRAX_ALARM_TIME_LIMIT s and was stopped"
elif [ "$result" != "$status" ] && [ "$status" -eq 137 ]; then
    problem="timed out after $VELTRAX_ALARM_TIME_LIMIT s and was killed"
elif [ "$status" -ne 0 ]; then
    problem="failed: exit status $status"
else
    exit 0
fi
printf '%s WARNING alarm command for %s %s\n' "$(date '+%Y-%m-%dT%H:%M:%S%:z')" "$VELTRAX_EVENT" "$problem" >&2
exit "$status"
)sh";

// The text of a string value as the store writes it to its file: control characters, quotes and
// backslashes escaped, the whole in quotes when it holds ; , = or starts or ends with a blank, and
// a leading @ doubled.
QString storeForm(const QString& value) {
    static const QString named = QStringLiteral("abtnvfr");
    const QString text = value.startsWith(u'@') ? u'@' + value : value;
    QString out;
    bool afterNumericEscape = false;
    for (const QChar qc : text) {
        const char16_t ch = qc.unicode();
        const bool hexDigit =
            (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
        const bool continuesEscape = afterNumericEscape && hexDigit;
        if (ch == u'"' || ch == u'\\') {
            out += u'\\';
            out += qc;
        } else if (ch >= 7 && ch <= 13) { // \a \b \t \n \v \f \r
            out += u'\\';
            out += named.at(ch - 7);
        } else if (ch == 0) {
            out += QStringLiteral("\\0");
        } else if (ch <= 0x1F || continuesEscape) {
            // A hex digit right after a numeric escape is escaped too, or it would join it.
            out += QStringLiteral("\\x") + QString::number(ch, 16);
        } else {
            out += qc;
        }
        afterNumericEscape = continuesEscape || ch == 0 || (ch <= 0x1F && !(ch >= 7 && ch <= 13));
    }
    const bool needsQuotes = text.contains(u';') || text.contains(u',') || text.contains(u'=');
    if (needsQuotes || out.startsWith(u' ') || out.endsWith(u' '))
        out = u'"' + out + u'"';
    return out;
}

// The value of section/key exactly as it stands in the store's file, blanks around it removed; the
// last one wins, as when the store reads it.
std::optional<QString> fileText(const QString& section, const QString& key) {
    QFile file(Settings::filePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QString current;
    std::optional<QString> found;
    for (const QString& rawLine : text.split(u'\n')) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(u'[')) {
            current = line.mid(1, line.indexOf(u']') - 1).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (current != section || equals < 0 || line.left(equals).trimmed() != key)
            continue;
        found = line.mid(equals + 1).trimmed();
    }
    return found;
}

std::chrono::milliseconds timeLimit() {
    const qint64 overrideMs = timeLimitOverrideMs.load();
    return overrideMs > 0 ? std::chrono::milliseconds(overrideMs)
                          : std::chrono::milliseconds(AlarmHook::kTimeLimit);
}

QByteArray secondsText(std::chrono::milliseconds duration) {
    return QByteArray::number(static_cast<double>(duration.count()) / 1000.0);
}

bool takeSlot() {
    int count = running.load();
    do {
        if (count >= AlarmHook::kMaxRunning)
            return false;
    } while (!running.compare_exchange_weak(count, count + 1));
    return true;
}

bool isSetHere(const char* entry) {
    static const char* const names[] = {
        "VELTRAX_EVENT=", "VELTRAX_MESSAGE=", "VELTRAX_TIME=", "VELTRAX_FILE=", "VELTRAX_ALARM_"};
    return std::any_of(std::begin(names), std::end(names), [entry](const char* name) {
        return std::strncmp(entry, name, std::strlen(name)) == 0;
    });
}

// Starts the wrapper in a session of its own (so neither a terminal's Ctrl-C nor the program's exit
// reaches it) with default signal handling, nothing blocked and no descriptor of ours beyond
// standard error. Returns 0 or an errno value.
int spawnWrapper(const std::vector<QByteArray>& variables, pid_t* pid) {
    std::vector<char*> envp;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (!isSetHere(*entry))
            envp.push_back(*entry);
    }
    for (const QByteArray& variable : variables)
        envp.push_back(const_cast<char*>(variable.constData()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC_PREREQ)
#if __GLIBC_PREREQ(2, 34)
    // Keeps the recording's files and the stream's sockets out of a command that may outlive us.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
#endif

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t allSignals;
    sigfillset(&allSignals);
    sigdelset(&allSignals, SIGKILL);
    sigdelset(&allSignals, SIGSTOP);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &allSignals);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char shell[] = "/bin/sh";
    char dashC[] = "-c";
    char name[] = "veltrax-alarm";
    char* argv[] = {shell, dashC, const_cast<char*>(kWrapperScript), name, nullptr};
    const int error = posix_spawn(pid, shell, &actions, &attributes, argv, envp.data());

    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

// Waits for the wrapper on a thread of its own so it leaves no zombie, and frees its slot.
void reapLater(pid_t pid) {
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            running.fetch_sub(1);
        }).detach();
    } catch (const std::system_error&) {
        // The command runs all the same; only its slot is given back early.
        running.fetch_sub(1);
    }
}

} // namespace

void AlarmHook::raise(const QString& event, LogLevel level, const QString& message,
                      const QString& file) {
    const QDateTime now = Clock::now();
    logLine(now, level, message.isEmpty() ? event : event + QStringLiteral(": ") + message);

    const QString alarmCommand = command();
    if (alarmCommand.isEmpty())
        return;
    if (!takeSlot()) {
        logLine(LogLevel::Warning,
                QStringLiteral("alarm command for %1 not run: %2 alarm commands are still running")
                    .arg(event)
                    .arg(kMaxRunning));
        return;
    }

    const std::chrono::milliseconds limit = timeLimit();
    const std::chrono::milliseconds grace =
        std::min<std::chrono::milliseconds>(limit, std::chrono::milliseconds(kKillGrace));
    const std::vector<QByteArray> variables = {
        "VELTRAX_EVENT=" + event.toUtf8(),
        "VELTRAX_MESSAGE=" + message.toUtf8(),
        "VELTRAX_TIME=" + logTimestamp(now).toUtf8(),
        "VELTRAX_FILE=" + QFile::encodeName(file),
        "VELTRAX_ALARM_COMMAND=" + alarmCommand.toUtf8(),
        "VELTRAX_ALARM_TIME_LIMIT=" + secondsText(limit),
        "VELTRAX_ALARM_KILL_AFTER=" + secondsText(grace),
    };
    pid_t pid = 0;
    if (const int error = spawnWrapper(variables, &pid); error != 0) {
        running.fetch_sub(1);
        logLine(LogLevel::Warning, QStringLiteral("alarm command for %1 could not be started: %2")
                                       .arg(event, qt_error_string(error)));
        return;
    }
    reapLater(pid);
}

QString AlarmHook::command() {
    const QString stored = Settings::getString(kSection, kKey);
    if (stored.trimmed().isEmpty())
        return {};
    // A trailing backslash continues the line in the store's reading; leave that to the store.
    const std::optional<QString> asTyped = fileText(kSection, kKey);
    if (!asTyped || asTyped->endsWith(u'\\') || *asTyped == stored || *asTyped == storeForm(stored))
        return stored;
    return *asTyped;
}

int AlarmHook::runningCount() {
    return running.load();
}

void AlarmHook::setTimeLimitForTests(std::chrono::milliseconds limit) {
    timeLimitOverrideMs.store(std::max<qint64>(0, limit.count()));
}

} // namespace platform
