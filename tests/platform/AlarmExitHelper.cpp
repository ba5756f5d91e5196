// Raises one event and exits at once, so a test can see the alarm command outlive the program.

#include "platform/AlarmHook.h"
#include "platform/Settings.h"

int main() {
    platform::Settings::setApplicationName(QStringLiteral("veltrax"));
    platform::AlarmHook::raise(QStringLiteral("recording-stopped"), platform::LogLevel::Info,
                               QStringLiteral("Recording stopped"));
    return 0;
}
