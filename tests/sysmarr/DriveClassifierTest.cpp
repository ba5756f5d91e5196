// Kinds of drive from file systems and devices, with a sysfs tree laid out by the test.
#include "sysmarr/DriveClassifier.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using sysmarr::DriveClassifier;

namespace {

void writeFile(const QString& path, const QByteArray& text) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// A sysfs with two disks: "vtxa" removable with a partition "vtxa1", "vtxb" fixed with "vtxb1".
// As in the kernel's, class/block holds links into the device tree.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        addDisk("vtxa", "1\n");
        addDisk("vtxb", "0\n");
    }

    void addDisk(const QString& name, const QByteArray& removable) {
        const QString disk = root.filePath("devices/virtual/block/" + name);
        writeFile(disk + "/removable", removable);
        writeFile(disk + "/" + name + "1/partition", "1\n");
        ASSERT_TRUE(QDir().mkpath(root.filePath("class/block")));
        ASSERT_TRUE(QFile::link(disk, root.filePath("class/block/" + name)));
        ASSERT_TRUE(
            QFile::link(disk + "/" + name + "1", root.filePath("class/block/" + name + "1")));
    }

    bool removable(const QByteArray& device) {
        return DriveClassifier::isRemovableDevice(device, root.path());
    }

    QTemporaryDir root;
};

} // namespace

TEST_F(FakeSysfs, PartitionAnswersForItsDisk) {
    EXPECT_TRUE(removable("/dev/vtxa1"));
    EXPECT_TRUE(removable("/dev/vtxa"));
    EXPECT_FALSE(removable("/dev/vtxb1"));
    EXPECT_FALSE(removable("/dev/vtxb"));
}

TEST_F(FakeSysfs, WhatIsNoKnownBlockDeviceIsNotRemovable) {
    EXPECT_FALSE(removable("/dev/vtxz1"));
    EXPECT_FALSE(removable("tmpfs"));
    EXPECT_FALSE(removable("server:/export"));
    EXPECT_FALSE(removable(""));
}

TEST(DriveClassifier, FileSystemDecidesBeforeTheDevice) {
    struct Case {
        const char* type;
        bool removable;
        sysmarr::DRIVE_TYPE expected;
    };
    const Case cases[] = {
        {"ext4", false, sysmarr::DRIVE_FIXED},
        {"xfs", false, sysmarr::DRIVE_FIXED},
        {"overlay", false, sysmarr::DRIVE_FIXED},
        {"vfat", true, sysmarr::DRIVE_REMOVABLE},
        {"exfat", true, sysmarr::DRIVE_REMOVABLE},
        {"nfs", false, sysmarr::DRIVE_REMOTE},
        {"nfs4", false, sysmarr::DRIVE_REMOTE},
        {"cifs", false, sysmarr::DRIVE_REMOTE},
        {"fuse.sshfs", false, sysmarr::DRIVE_REMOTE},
        {"iso9660", true, sysmarr::DRIVE_CDROM},
        {"udf", false, sysmarr::DRIVE_CDROM},
        {"tmpfs", false, sysmarr::DRIVE_RAMDISK},
        {"ramfs", false, sysmarr::DRIVE_RAMDISK},
        {"proc", false, sysmarr::DRIVE_RAMDISK},
        {"sysfs", false, sysmarr::DRIVE_RAMDISK},
        // A name that merely begins like a known one is not taken for it.
        {"nfsd-like", false, sysmarr::DRIVE_FIXED},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DriveClassifier::classify(c.type, c.removable), c.expected) << c.type;
}
