#include "sysmarr/DriveClassifier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <string_view>

namespace sysmarr {

namespace {

bool isOneOf(const QByteArray& type, const auto& names) {
    const std::string_view text(type.constData(), static_cast<size_t>(type.size()));
    for (std::string_view name : names) {
        if (text == name)
            return true;
    }
    return false;
}

// "1" in a sysfs "removable" file.
bool flagIsSet(const QString& flagFile) {
    QFile file(flagFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(8).trimmed() == "1";
}

} // namespace

DRIVE_TYPE DriveClassifier::classify(const QByteArray& fileSystemType, bool removableDevice) {
    if (isRemote(fileSystemType))
        return DRIVE_REMOTE;
    if (isOpticalDisc(fileSystemType))
        return DRIVE_CDROM;
    if (isInMemory(fileSystemType))
        return DRIVE_RAMDISK;
    return removableDevice ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

bool DriveClassifier::isRemote(const QByteArray& fileSystemType) {
    static constexpr std::array names{
        "nfs",       "nfs4",           "cifs",  "smb3",        "smbfs",          "ncpfs",
        "afs",       "coda",           "ceph",  "glusterfs",   "lustre",         "9p",
        "davfs",     "fuse.sshfs",     "sshfs", "fuse.davfs2", "fuse.glusterfs", "fuse.rclone",
        "fuse.s3fs", "fuse.curlftpfs",
    };
    return isOneOf(fileSystemType, names);
}

bool DriveClassifier::isOpticalDisc(const QByteArray& fileSystemType) {
    static constexpr std::array names{"iso9660", "udf"};
    return isOneOf(fileSystemType, names);
}

bool DriveClassifier::isInMemory(const QByteArray& fileSystemType) {
    // tmpfs and ramfs hold files in memory; the kernel's virtual file systems hold none at all.
    static constexpr std::array names{
        "tmpfs",   "ramfs",     "devtmpfs", "proc",       "sysfs",       "devpts", "cgroup",
        "cgroup2", "debugfs",   "tracefs",  "securityfs", "pstore",      "bpf",    "configfs",
        "mqueue",  "hugetlbfs", "efivarfs", "fusectl",    "binfmt_misc", "nsfs",
    };
    return isOneOf(fileSystemType, names);
}

bool DriveClassifier::isRemovableDevice(const QByteArray& device, const QString& sysfsRoot) {
    if (!device.startsWith("/dev/"))
        return false;
    // The device node may be a link such as /dev/disk/by-label/…; sysfs knows the kernel's name.
    const QString node = QFileInfo(QFile::decodeName(device)).canonicalFilePath();
    const QString kernelName =
        QFileInfo(node.isEmpty() ? QFile::decodeName(device) : node).fileName();
    const QString entry = sysfsRoot + QStringLiteral("/class/block/") + kernelName;
    const QString blockDevice = QFileInfo(entry).canonicalFilePath();
    if (blockDevice.isEmpty())
        return false;
    if (QFileInfo::exists(blockDevice + QStringLiteral("/partition")))
        return flagIsSet(QFileInfo(blockDevice).path() + QStringLiteral("/removable"));
    return flagIsSet(blockDevice + QStringLiteral("/removable"));
}

} // namespace sysmarr
