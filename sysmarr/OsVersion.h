#pragma once

#include "sysmarr/ISystemInfo.h"

#include <QString>

namespace sysmarr {

// The running system's version, read once, and which OS_VERSION it stands for.
class OsVersion {
public:
    // The system families a version number can belong to.
    enum class Platform { Win32s, Windows, WindowsNT, Other };

    // The version of the running kernel (uname); on failure 0.0 with error() set to the errno.
    static OsVersion running();
    OsVersion(Platform platform, int majorVersion, int minorVersion);

    // Windows numbers its releases: 3.x, 4.0 (95 or NT 4.0), 4.x (98), 5.x (2000 and XP).
    // Anything newer, and any system that is not Windows at all, is OS_WINDOWS_UNKNOWN.
    OS_VERSION release() const;

    Platform platform() const { return m_platform; }
    int majorVersion() const { return m_major; }
    int minorVersion() const { return m_minor; }
    int error() const { return m_error; }

private:
    Platform m_platform;
    int m_major;
    int m_minor;
    int m_error = 0;
};

} // namespace sysmarr
