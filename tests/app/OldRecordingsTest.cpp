// Deletion of old recordings: the age in calendar days, what is never deleted, the setting's
// dialog, and the file a logger is recording into.
#include "WindowFixture.h"

#include <QAction>
#include <climits>

using platform::Clock;
using platform::Settings;

namespace {

class OldRecordingsTest : public WindowFixture {};

} // namespace

TEST_F(OldRecordingsTest, AgeCountsCalendarDaysWhateverTheTimeOfDay) {
    window->setAutoDeleteDays(1);
    const QDate today = noonToday().date();
    for (const QTime now : {QTime(0, 0, 30), QTime(23, 59, 30)}) {
        SCOPED_TRACE(qPrintable(now.toString()));
        Clock::setNow(QDateTime(today, now));
        writeFile("Sunday/late.wma", QDateTime(today.addDays(-1), QTime(23, 59, 59)));
        writeFile("Sunday/early.MP3", QDateTime(today.addDays(-1), QTime(0, 0, 1)));
        writeFile("Saturday/old.wma", QDateTime(today.addDays(-2), QTime(23, 59, 59)));
        writeFile("Saturday/OLD.MP3", QDateTime(today.addDays(-2), QTime(0, 0, 1)));
        writeFile("Saturday/notes.txt", QDateTime(today.addDays(-300), QTime(1, 0)));
        writeFile("ancient.flac", QDateTime(today.addDays(-300), QTime(1, 0)));
        ASSERT_TRUE(QDir().mkpath(at("folder.wma")));
        window->DeleteOldFiles();
        EXPECT_TRUE(exists("Sunday/late.wma"));
        EXPECT_TRUE(exists("Sunday/early.MP3"));
        EXPECT_FALSE(exists("Saturday/old.wma"));
        EXPECT_FALSE(exists("Saturday/OLD.MP3"));
        EXPECT_TRUE(exists("Saturday/notes.txt"));
        EXPECT_TRUE(exists("ancient.flac"));
        EXPECT_TRUE(QFileInfo(at("folder.wma")).isDir());
        EXPECT_FALSE(window->DeletingFiles());
    }
    // Emptied day folders stay too.
    QDir().remove(at("Saturday/notes.txt"));
    window->DeleteOldFiles();
    EXPECT_TRUE(QFileInfo(at("Saturday")).isDir());
    EXPECT_EQ(prompts->count(), 0);
}

TEST_F(OldRecordingsTest, ThousandDaysOrMoreMeansNever) {
    writeFile("Day/ancient.wma", noonToday().addYears(-20));
    for (int days : {1000, 5000}) {
        window->setAutoDeleteDays(days);
        window->DeleteOldFiles();
        EXPECT_TRUE(exists("Day/ancient.wma")) << days;
    }
    window->setAutoDeleteDays(999);
    window->DeleteOldFiles();
    EXPECT_FALSE(exists("Day/ancient.wma"));
}

TEST_F(OldRecordingsTest, TheFileBeingRecordedStaysWhateverItsAge) {
    window->setAutoDeleteDays(1);
    writeFile("Friday/old.wma", noonToday().addDays(-3));
    window->cmdRecord_Click();
    ASSERT_EQ(window->Tavrel(0)->RecordState(), 2) << qPrintable(prompts->texts().join(" | "));
    const QString recording = window->Tavrel(0)->FileName();
    ASSERT_TRUE(QFileInfo::exists(recording));
    // The clock jumps ten days ahead while recording: the recording now looks ten days old.
    Clock::setNow(noonToday().addDays(10));
    window->DeleteOldFiles();
    EXPECT_TRUE(QFileInfo::exists(recording));
    EXPECT_FALSE(exists("Friday/old.wma"));
    window->cmdStopRec_Click();
    window->DeleteOldFiles(); // no longer held: its age counts like any other's
    EXPECT_FALSE(QFileInfo::exists(recording));
}

TEST_F(OldRecordingsTest, BusyFlagIsSetWhileTheSearchLetsOtherEventsRun) {
    writeFile("Day/take.wma", noonToday());
    bool busyMeanwhile = false;
    QMetaObject::invokeMethod(
        window.get(), [&] { busyMeanwhile = window->DeletingFiles(); }, Qt::QueuedConnection);
    window->DeleteOldFiles();
    EXPECT_TRUE(busyMeanwhile);
    EXPECT_FALSE(window->DeletingFiles());
}

TEST_F(OldRecordingsTest, AgeDialogAcceptsWholeDaysOnly) {
    const auto answer = [this](const QString& text) {
        prompts->queueInput(text);
        window->mnuAutoDelete->trigger();
        return Settings::getString("Settings", "AutoDeleteDays");
    };
    EXPECT_EQ(answer("30"), "30");
    const auto& box = prompts->records().first();
    EXPECT_EQ(box.text,
              "Type the number of days after which audio \r\nfiles can be automatically "
              "deleted.\r\n\r\nIf you want to NEVER autodelete files, enter 1000 or more.");
    EXPECT_EQ(box.title, "Auto - Delete: Number of Days.");
    EXPECT_EQ(box.extra, "90");
    EXPECT_EQ(answer("2.5"), "2");
    EXPECT_EQ(answer("3.5"), "4");
    prompts->clear();
    EXPECT_EQ(answer("abc"), "4");
    EXPECT_EQ(answer(""), "4");
    EXPECT_EQ(prompts->texts(), QStringList{});
    for (const char* refused : {"0", "-5", "0.4"}) {
        prompts->clear();
        EXPECT_EQ(answer(refused), "4") << refused;
        EXPECT_EQ(prompts->texts(), QStringList{"Invalid!"});
        EXPECT_EQ(prompts->last().title, "Veltrax");
    }
    // Far more days than a setting holds still means never.
    EXPECT_EQ(answer("1e12"), QString::number(INT_MAX));
}

TEST_F(OldRecordingsTest, DeletionStaysBelowAFolderMadeForRecordings) {
    window->setAutoDeleteDays(1);
    // An empty or relative stored path reads as the default folder, never as the root.
    for (const QString stored : {"", "   ", "relative/folder"}) {
        Settings::saveString("Settings", "AudioPath", stored);
        EXPECT_TRUE(window->AudioPath().endsWith("/LoggedAudio/")) << qPrintable(stored);
    }
    // The home folder itself is never searched: an old recording lying there stays.
    const QString home = QDir::homePath();
    QFile old(home + "/old.wma");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("audio");
    ASSERT_TRUE(old.flush());
    ASSERT_TRUE(old.setFileTime(noonToday().addDays(-30), QFileDevice::FileModificationTime));
    old.close();
    Settings::saveString("Settings", "AudioPath", home);
    window->DeleteOldFiles();
    EXPECT_TRUE(QFileInfo::exists(home + "/old.wma"));
    // Below it, a folder of its own is searched as ever.
    Settings::saveString("Settings", "AudioPath", audio.path());
    writeFile("Day/old.wma", noonToday().addDays(-30));
    window->DeleteOldFiles();
    EXPECT_FALSE(exists("Day/old.wma"));
}
