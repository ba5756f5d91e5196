// The disk members against the kernel's own figures: sizes, the drive text written back, drive
// kinds, and what a path that is not there gives.
#include "sysmarr/Megabytes.h"
#include "sysmarr/SystemInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>

using sysmarr::SystemInfo;

namespace {

struct Space {
    double availableMb;
    double totalMb;
};

// The kernel's figures for a path, worked out here without the library's help.
Space spaceOf(const QString& path) {
    struct statvfs space {};
    EXPECT_EQ(::statvfs(QFile::encodeName(path).constData(), &space), 0);
    const double unit = static_cast<double>(space.f_frsize);
    auto mb = [&](double units) {
        return std::round(unit * units / 1048576.0 * 100.0) / 100.0;
    };
    return {mb(static_cast<double>(space.f_bavail)), mb(static_cast<double>(space.f_blocks))};
}

dev_t deviceOf(const QString& path) {
    struct stat status {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0) << qPrintable(path);
    return status.st_dev;
}

// Every mount point this process sees, each with a trailing "/", from the kernel's mount table.
QStringList mountPoints() {
    QFile table("/proc/self/mountinfo");
    EXPECT_TRUE(table.open(QIODevice::ReadOnly));
    QStringList points;
    for (const QByteArray& line : table.readAll().split('\n')) {
        QByteArray point = line.split(' ').value(4).replace("\\040", " ");
        if (!point.isEmpty())
            points << QFile::decodeName(point.endsWith('/') ? point : point + '/');
    }
    return points;
}

// True when mountPoint is where the volume holding path is mounted: the path lies below it, it
// is on the same device, and something is mounted there.
::testing::AssertionResult isMountPointOf(const QString& mountPoint, const QString& path) {
    if (!mountPoint.endsWith('/'))
        return ::testing::AssertionFailure() << "no trailing slash: " << qPrintable(mountPoint);
    const QString canonical = QFileInfo(path).canonicalFilePath() + '/';
    if (!canonical.startsWith(mountPoint))
        return ::testing::AssertionFailure()
               << qPrintable(mountPoint) << " does not hold " << qPrintable(canonical);
    if (deviceOf(mountPoint) != deviceOf(path))
        return ::testing::AssertionFailure() << qPrintable(mountPoint) << " is another volume";
    if (!mountPoints().contains(mountPoint))
        return ::testing::AssertionFailure() << qPrintable(mountPoint) << " is not a mount point";
    return ::testing::AssertionSuccess();
}

bool isTmpfs(const QString& path) {
    struct statfs status {};
    constexpr long kTmpfsMagic = 0x01021994;
    return ::statfs(QFile::encodeName(path).constData(), &status) == 0 &&
           status.f_type == kTmpfsMagic;
}

} // namespace

TEST(DiskSpace, SizesAreThoseOfTheVolumeHoldingThePath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SystemInfo info;

    QString drive = dir.path();
    const Space before = spaceOf(dir.path());
    const double free = info.FreeMegaBytesOnDisk(drive);
    const Space after = spaceOf(dir.path());
    // Other programs write to the same volume meanwhile: the answer lies between two readings.
    EXPECT_GE(free, std::min(before.availableMb, after.availableMb) - 0.01);
    EXPECT_LE(free, std::max(before.availableMb, after.availableMb) + 0.01);
    EXPECT_EQ(info.SystemErrorCode(), 0);

    drive = dir.path();
    EXPECT_NEAR(info.TotalMegaBytesOnDisk(drive), before.totalMb, 1e-9);
    EXPECT_GT(before.totalMb, 0.0);
    EXPECT_LE(free, before.totalMb);
    EXPECT_NEAR(free * 100.0, std::round(free * 100.0), 1e-6) << "not in hundredths: " << free;
}

TEST(DiskSpace, MegabytesAreCountedWithoutOverflow) {
    // 4096-byte units, 262,144 of them: exactly a gigabyte.
    EXPECT_EQ(sysmarr::megabytesOf(4096, 262144), 1024.0);
    // Beyond 2^31 units (a 16 TB volume of 4 KB blocks and more) nothing wraps negative.
    EXPECT_EQ(sysmarr::megabytesOf(4096, 1ull << 33), 33554432.0);
    EXPECT_EQ(sysmarr::megabytesOf(1, 5243), 0.01);  // 0.00500 MB rounds up
    EXPECT_EQ(sysmarr::megabytesOf(1, 5242), 0.0);   // 0.00499 MB rounds down
    EXPECT_EQ(sysmarr::megabytesOf(512, 3072), 1.5); // 1.5 MB in 512-byte units
    EXPECT_EQ(sysmarr::megabytesOfKilobytes(1536), 1.5);
}

TEST(DiskSpace, DriveIsWrittenBackAsTheVolumesMountPoint) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("a/b"));
    QFile file(dir.filePath("a/file.wma"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    SystemInfo info;

    for (const QString& path :
         {dir.path(), dir.filePath("a/b/"), dir.filePath("a/file.wma"), dir.filePath("a/../a/b")}) {
        QString drive = path;
        info.FreeMegaBytesOnDisk(drive);
        EXPECT_TRUE(isMountPointOf(drive, dir.path())) << qPrintable(path);
        // Asking again with the written-back text gives the same text.
        const QString first = drive;
        info.TotalMegaBytesOnDisk(drive);
        EXPECT_EQ(drive, first);
        QString forVolumeName = path;
        info.VolumeName(forVolumeName);
        EXPECT_EQ(forVolumeName, first);
    }
}

TEST(DiskSpace, EmptyOrRelativeDriveMeansTheCurrentFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub"));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    SystemInfo info;

    QString empty;
    EXPECT_GE(info.FreeMegaBytesOnDisk(empty), 0.0);
    EXPECT_TRUE(isMountPointOf(empty, dir.path()));
    QString relative = "sub";
    EXPECT_NEAR(info.TotalMegaBytesOnDisk(relative), spaceOf(dir.path()).totalMb, 1e-9);
    EXPECT_TRUE(isMountPointOf(relative, dir.path()));

    ASSERT_TRUE(QDir::setCurrent(previous));
}

TEST(DiskSpace, MissingPathIsAFailureNotAFullDisk) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("not/there");
    SystemInfo info;

    QString drive = missing;
    // 0 would read as a full disk to a caller that clears old recordings when space runs out.
    EXPECT_EQ(info.FreeMegaBytesOnDisk(drive), sysmarr::kSizeUnavailable);
    EXPECT_EQ(info.SystemErrorCode(), ENOENT);
    EXPECT_EQ(drive, missing);
    EXPECT_EQ(info.TotalMegaBytesOnDisk(drive), sysmarr::kSizeUnavailable);
    EXPECT_EQ(info.SystemErrorCode(), ENOENT);
    EXPECT_EQ(info.DriveType(drive), sysmarr::DRIVE_DOESNT_EXIST);
    EXPECT_EQ(info.SystemErrorCode(), ENOENT);
    EXPECT_EQ(drive, missing);
    EXPECT_EQ(info.VolumeName(drive), QVariant(QString()));
    EXPECT_EQ(drive, missing);

    // The next good query clears the recorded error.
    QString good = dir.path();
    EXPECT_GE(info.FreeMegaBytesOnDisk(good), 0.0);
    EXPECT_EQ(info.SystemErrorCode(), 0);
}

TEST(DiskSpace, MemoryFileSystemsAreRamDisks) {
    SystemInfo info;
    QString proc = "/proc";
    EXPECT_EQ(info.DriveType(proc), sysmarr::DRIVE_RAMDISK);
    EXPECT_EQ(proc, "/proc/");
    EXPECT_EQ(info.SystemErrorCode(), 0);

    if (!isTmpfs("/dev/shm"))
        GTEST_SKIP() << "/dev/shm is not a tmpfs here";
    QTemporaryDir inShm("/dev/shm/sysmarr-XXXXXX");
    ASSERT_TRUE(inShm.isValid());
    QString drive = inShm.path();
    EXPECT_EQ(info.DriveType(drive), sysmarr::DRIVE_RAMDISK);
    EXPECT_EQ(drive, "/dev/shm/");
    drive = "/dev/shm";
    EXPECT_NEAR(info.TotalMegaBytesOnDisk(drive), spaceOf("/dev/shm").totalMb, 1e-9);
    EXPECT_EQ(drive, "/dev/shm/");
}

TEST(DiskSpace, DrivePassedByValueIsNotRewritten) {
    QTemporaryDir dir;
    SystemInfo info;
    const QString drive = dir.path();
    EXPECT_NEAR(info.TotalMegaBytesOnDisk(drive), spaceOf(dir.path()).totalMb, 1e-9);
    EXPECT_EQ(drive, dir.path());
    EXPECT_NE(info.DriveType(drive), sysmarr::DRIVE_DOESNT_EXIST);
}
