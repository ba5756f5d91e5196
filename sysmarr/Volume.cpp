#include "sysmarr/Volume.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include <cerrno>
#include <sys/statvfs.h>

namespace sysmarr {

Volume::Volume(const QString& path) {
    const QString target = path.isEmpty() ? QDir::currentPath() : path;
    if (readSpace(QFile::encodeName(target)))
        readMount(target);
}

bool Volume::readSpace(const QByteArray& nativePath) {
    struct statvfs space {};
    if (::statvfs(nativePath.constData(), &space) != 0) {
        m_error = errno;
        return false;
    }
    m_unitBytes = space.f_frsize != 0 ? space.f_frsize : space.f_bsize;
    m_totalUnits = space.f_blocks;
    m_availableUnits = space.f_bavail;
    return true;
}

bool Volume::readMount(const QString& path) {
    const QStorageInfo storage(path);
    if (!storage.isValid() || storage.rootPath().isEmpty()) {
        // The path was there a moment ago but its mount is not listed: removed in between, or the
        // mount table cannot be read.
        m_error = ENOENT;
        return false;
    }
    m_mountPoint = storage.rootPath();
    if (!m_mountPoint.endsWith(QLatin1Char('/')))
        m_mountPoint += QLatin1Char('/');
    m_fileSystemType = storage.fileSystemType();
    m_device = storage.device();
    m_label = storage.name();
    return true;
}

} // namespace sysmarr
