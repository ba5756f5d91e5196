#include "util/cDirEx.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using util::cDirEx;

namespace {

class DirExTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        // The pattern rules count dots in the whole path.
        ASSERT_FALSE(root().contains(u'.')) << qPrintable(root());
    }

    QString root() const { return temp.path(); }
    QString at(const QString& relative) const { return root() + u'/' + relative; }

    void touch(const QString& relative) const {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(at(relative)).path()));
        QFile file(at(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    void makeFolder(const QString& relative) const { ASSERT_TRUE(QDir().mkpath(at(relative))); }

    QStringList found() const { return search.NewEnum(); }
    QStringList paths(const QStringList& relatives) const {
        QStringList result;
        for (const QString& relative : relatives)
            result.append(at(relative));
        return result;
    }

    QTemporaryDir temp;
    cDirEx search;
};

TEST_F(DirExTest, EmptyPathIsReportedAndFinishes) {
    QSignalSpy finished(&search, &cDirEx::Finished);
    search.SearchFile(QString());
    EXPECT_EQ(search.Status(), cDirEx::EmptyPath);
    EXPECT_EQ(search.Count(), 0);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), 1121);
    EXPECT_EQ(finished.at(0).at(1).toInt(), 0);
}

TEST_F(DirExTest, EachFolderPatternByPatternThenItsSubfolders) {
    for (const char* file : {"b.wma", "a.mp3", "notes.txt", "Day1/c.mp3", "Day1/d.WMA",
                             "Day1/Sub/e.mp3", "Day2/f.wma", "Day2/f.wma.part"})
        touch(QString::fromLatin1(file));
    QSignalSpy folders(&search, &cDirEx::CurrentFolder);
    QSignalSpy finished(&search, &cDirEx::Finished);
    search.setRecursiveSearch(true);
    search.SearchFile(root() + "/*.mp3, *.wma");

    EXPECT_EQ(search.Patterns(), (QStringList{"*.mp3", "*.wma"}));
    const QStringList expected =
        paths({"a.mp3", "b.wma", "Day1/c.mp3", "Day1/d.WMA", "Day1/Sub/e.mp3", "Day2/f.wma"});
    EXPECT_EQ(found(), expected);
    EXPECT_EQ(search.Status(), cDirEx::Found);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(1).toInt(), 6);
    QStringList visited;
    for (const QList<QVariant>& event : folders)
        visited.append(event.at(0).toString());
    EXPECT_EQ(visited, (QStringList{root(), at("Day1"), at("Day1/Sub"), at("Day2")}));

    QStringList walked;
    for (const QString& path : search)
        walked.append(path);
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(search.Item(1), at("a.mp3"));
    EXPECT_EQ(search.Item(6), at("Day2/f.wma"));
    EXPECT_TRUE(search.Item(0).isEmpty());
    EXPECT_TRUE(search.Item(7).isEmpty());
    search.Remove(1);
    search.Remove(99);
    EXPECT_EQ(search.Count(), 5);
    EXPECT_EQ(search.Item(1), at("b.wma"));

    // A file matching two patterns is found twice.
    search.SearchFile(root() + "/*.mp3,a.*");
    EXPECT_EQ(found(), paths({"a.mp3", "a.mp3", "Day1/c.mp3", "Day1/Sub/e.mp3"}));
}

TEST_F(DirExTest, WithoutRecursionFoldersStayShutButMatchingFolderNamesAreFound) {
    touch("keep.mp3");
    touch("Day/inner.mp3");
    makeFolder("archive.mp3");
    search.SearchFile(root() + "/*.mp3,*.wma");
    EXPECT_EQ(found(), paths({"archive.mp3", "keep.mp3"}));
    search.SearchFile(root() + "/*.mp3,*.wma", 0, cDirEx::Directory);
    EXPECT_EQ(found(), paths({"keep.mp3"}));
    search.SearchFile(root() + "/*.mp3,*.wma", cDirEx::Directory);
    EXPECT_EQ(found(), paths({"archive.mp3"}));
}

TEST_F(DirExTest, PatternRulesOfOneDotAndOfAListWithoutAComma) {
    touch("take.flac");
    touch(".flac");
    touch("take.mp3");
    touch("sub.dir/inner.wma");

    search.SearchFile(root() + "/*.mp3");
    EXPECT_EQ(found(), paths({"take.mp3"}));
    // Only the last five characters count: ".flac" finds just the file of that name.
    search.SearchFile(root() + "/*.flac");
    EXPECT_EQ(search.Patterns(), QStringList{".flac"});
    EXPECT_EQ(found(), paths({".flac"}));

    // Two dots and no comma: the list is the one pattern, whatever the previous search had.
    touch("sub.dir/inner.ogg");
    search.SearchFile(root() + "/*.mp3,*.wma");
    search.SearchFile(root() + "/sub.dir/*.ogg");
    EXPECT_EQ(search.Patterns(), QStringList{"*.ogg"});
    EXPECT_EQ(found(), paths({"sub.dir/inner.ogg"}));
    cDirEx fresh;
    fresh.SearchFile(root() + "/sub.dir/*.wma");
    EXPECT_EQ(fresh.Status(), cDirEx::Found);
    EXPECT_EQ(fresh.NewEnum(), paths({"sub.dir/inner.wma"}));
    // Nothing after the last "/" is no pattern, which ends the search as failed.
    QSignalSpy finished(&fresh, &cDirEx::Finished);
    fresh.SearchFile(root() + "/sub.dir/more.dir/");
    EXPECT_EQ(fresh.Status(), cDirEx::Failed);
    EXPECT_EQ(fresh.Count(), 0);
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(DirExTest, NothingFoundAndMissingFolders) {
    touch("notes.txt");
    search.SearchFile(root() + "/*.mp3,*.wma");
    EXPECT_EQ(search.Status(), cDirEx::NothingFound);
    search.SearchFile(root() + "/missing/*.mp3,*.wma");
    EXPECT_EQ(search.Status(), cDirEx::NothingFound);
    EXPECT_EQ(search.Count(), 0);
}

TEST_F(DirExTest, CaseSensitiveMatchingRefusesOtherCase) {
    touch("quiet.mp3");
    touch("LOUD.MP3");
    touch("x.mp3");
    search.SearchFile(root() + "/*.mp3,*.wma");
    EXPECT_EQ(search.Count(), 3);
    search.setCaseSensitive(true);
    search.SearchFile(root() + "/*.mp3,*.wma");
    EXPECT_EQ(found(), paths({"quiet.mp3", "x.mp3"}));
    search.SearchFile(root() + "/?.mp3,?.MP3");
    EXPECT_EQ(found(), paths({"x.mp3"}));
}

TEST_F(DirExTest, AttributeMasksAndTheAttributesReported) {
    touch("open.mp3");
    touch(".hidden.mp3");
    QSignalSpy files(&search, &cDirEx::CurrentFile);
    search.SearchFile(root() + "/*.mp3,*.wma", cDirEx::Hidden);
    EXPECT_EQ(found(), paths({".hidden.mp3"}));
    search.SearchFile(root() + "/*.mp3,*.wma", 0, cDirEx::Hidden);
    EXPECT_EQ(found(), paths({"open.mp3"}));
    ASSERT_EQ(files.count(), 2);
    EXPECT_EQ(files.at(0).at(0).toUInt(), quint32(cDirEx::Hidden));
    EXPECT_EQ(files.at(1).at(0).toUInt(), 0u); // Normal is not reported
    EXPECT_EQ(files.at(1).at(1).toString(), "open.mp3");
    EXPECT_EQ(files.at(1).at(2).toString(), root() + u'/');

    ASSERT_TRUE(QFile::link(at("open.mp3"), at("link.mp3")));
    EXPECT_EQ(cDirEx::attributesOf(QFileInfo(at("link.mp3"))), quint32(cDirEx::ReparsePoint));
    EXPECT_EQ(cDirEx::attributesOf(QFileInfo(root())), quint32(cDirEx::Directory));
}

// A link back up the tree would otherwise lead the walk round and round.
TEST_F(DirExTest, LinkedFoldersAreNotEntered) {
    touch("Day/take.mp3");
    ASSERT_TRUE(QFile::link(root(), at("Day/loop")));
    search.setRecursiveSearch(true);
    search.SearchFile(root() + "/*.mp3,*.wma");
    EXPECT_EQ(found(), paths({"Day/take.mp3"}));
}

TEST_F(DirExTest, StopFromAHandlerKeepsWhatWasFound) {
    for (const char* file : {"a.mp3", "b.mp3", "c.mp3", "Day/d.mp3"})
        touch(QString::fromLatin1(file));
    // As a Stop button would: the request waits in the event queue until the search lets the
    // user interface run.
    QObject::connect(&search, &cDirEx::CurrentFile, &search, [this] {
        QMetaObject::invokeMethod(
            &search, [this] { search.StopSearch(); }, Qt::QueuedConnection);
    });
    QSignalSpy finished(&search, &cDirEx::Finished);
    search.setRecursiveSearch(true);
    search.SearchFile(root() + "/*.mp3,*.wma");
    EXPECT_EQ(search.Status(), cDirEx::Stopped);
    EXPECT_EQ(found(), paths({"a.mp3"}));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), 1120);
    EXPECT_EQ(finished.at(0).at(1).toInt(), 1);

    // Without a message pump nothing arrives in the middle, and the next search starts afresh.
    search.setMessagePump({});
    search.SearchFile(root() + "/*.mp3,*.wma");
    EXPECT_EQ(search.Count(), 4);
    EXPECT_EQ(search.Status(), cDirEx::Found);
}

} // namespace
