#pragma once

#include "sysmarr/ISystemInfo.h"

#include <QByteArray>
#include <QString>

namespace sysmarr {

// Tells what kind of drive a mounted volume is, from its file system and its device.
class DriveClassifier {
public:
    // The kind of a volume with that file system type (as the mount table names it) on a device
    // that is or is not removable.
    static DRIVE_TYPE classify(const QByteArray& fileSystemType, bool removableDevice);

    // Whether the kernel marks the block device behind a device node ("/dev/sdb1") as removable
    // media; a partition answers for its disk. Anything that is not a block device is not
    // removable. sysfsRoot is where sysfs is mounted ("/sys"), so tests can lay out their own.
    static bool isRemovableDevice(const QByteArray& device,
                                  const QString& sysfsRoot = QStringLiteral("/sys"));

private:
    static bool isRemote(const QByteArray& fileSystemType);
    static bool isInMemory(const QByteArray& fileSystemType);
    static bool isOpticalDisc(const QByteArray& fileSystemType);
};

} // namespace sysmarr
