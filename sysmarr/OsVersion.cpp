#include "sysmarr/OsVersion.h"

#include <QByteArray>
#include <QList>

#include <cerrno>
#include <sys/utsname.h>

namespace sysmarr {

OsVersion::OsVersion(Platform platform, int majorVersion, int minorVersion)
    : m_platform(platform), m_major(majorVersion), m_minor(minorVersion) {}

OsVersion OsVersion::running() {
    struct utsname names {};
    if (::uname(&names) != 0) {
        OsVersion unknown(Platform::Other, 0, 0);
        unknown.m_error = errno;
        return unknown;
    }
    // "6.8.0-45-generic": major and minor lead the release text.
    const QList<QByteArray> parts = QByteArray(names.release).split('.');
    return OsVersion(Platform::Other, parts.value(0).toInt(), parts.value(1).toInt());
}

OS_VERSION OsVersion::release() const {
    if (m_platform == Platform::Other)
        return OS_WINDOWS_UNKNOWN;
    switch (m_major) {
    case 3:
        if (m_platform == Platform::Win32s)
            return OS_WINDOWS_3X;
        return m_platform == Platform::WindowsNT ? OS_WINDOWS_NT3X : OS_WINDOWS_UNKNOWN;
    case 4:
        if (m_platform == Platform::WindowsNT)
            return OS_WINDOWS_NT40;
        return m_minor == 0 ? OS_WINDOWS_95 : OS_WINDOWS_98;
    case 5:
        return OS_WINDOWS_2000;
    default:
        return OS_WINDOWS_UNKNOWN;
    }
}

} // namespace sysmarr
