#include "util/clsFileFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using util::clsFileFolder;

namespace {

class CreatePathTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(temp.isValid()); }

    QString at(const QString& relative) const { return temp.filePath(relative); }
    static bool isFolder(const QString& path) { return QFileInfo(path).isDir(); }

    QTemporaryDir temp;
    clsFileFolder folders;
};

TEST_F(CreatePathTest, CreatesEveryMissingLevel) {
    const QString path = at(QStringLiteral("audio/2024/Wednesday 01 May"));
    EXPECT_TRUE(folders.CreatePath(path));
    EXPECT_TRUE(isFolder(at(QStringLiteral("audio"))));
    EXPECT_TRUE(isFolder(at(QStringLiteral("audio/2024"))));
    EXPECT_TRUE(isFolder(path));
}

TEST_F(CreatePathTest, TrailingSlashAndExistingLevelsMakeNoDifference) {
    ASSERT_TRUE(QDir(temp.path()).mkdir(QStringLiteral("Audio")));
    QFile kept(at(QStringLiteral("Audio/kept.wma")));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.close();

    EXPECT_TRUE(folders.CreatePath(at(QStringLiteral("Audio/2024-05-01/"))));
    EXPECT_TRUE(isFolder(at(QStringLiteral("Audio/2024-05-01"))));
    EXPECT_TRUE(QFileInfo::exists(kept.fileName()));
    // Everything exists already: still true, nothing changes.
    EXPECT_TRUE(folders.CreatePath(at(QStringLiteral("Audio/2024-05-01"))));
    EXPECT_TRUE(folders.CreatePath(QStringLiteral("/")));
}

TEST_F(CreatePathTest, EmptyFolderCountsAsExisting) {
    ASSERT_TRUE(QDir(temp.path()).mkdir(QStringLiteral("empty")));
    EXPECT_TRUE(folders.CreatePath(at(QStringLiteral("empty/day"))));
    EXPECT_TRUE(isFolder(at(QStringLiteral("empty/day"))));
}

TEST_F(CreatePathTest, FalseWhereALevelCannotBeCreated) {
    // A regular file in the way: nothing can be created below it, whoever runs the test.
    QFile blocker(at(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("data");
    blocker.close();

    EXPECT_FALSE(folders.CreatePath(at(QStringLiteral("blocker/day/hour"))));
    EXPECT_FALSE(folders.CreatePath(at(QStringLiteral("blocker"))));
    EXPECT_TRUE(QFileInfo(blocker.fileName()).isFile());
    EXPECT_EQ(QFileInfo(blocker.fileName()).size(), 4);
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral("blocker/day"))));
}

TEST_F(CreatePathTest, EmptyPathNamesNoFolder) {
    EXPECT_FALSE(folders.CreatePath(QString()));
}

} // namespace
