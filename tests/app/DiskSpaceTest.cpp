// The disk-space watch with drive figures put in by the test: the label, the bar, the time left,
// and a full drive, which costs old recordings first and the recording only when that is not
// enough.
#include "WindowFixture.h"

#include <QLabel>
#include <QProgressBar>
#include <deque>

using platform::Settings;

namespace {

class DiskSpaceTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        window->setDriveSizes({[this](QString& drive) {
                                   drive = QStringLiteral("/");
                                   ++freeQueries;
                                   if (onFreeQuery)
                                       onFreeQuery();
                                   if (freeAnswers.empty())
                                       return free;
                                   const double answer = freeAnswers.front();
                                   freeAnswers.pop_front();
                                   return answer;
                               },
                               [this](QString& drive) {
                                   drive = QStringLiteral("/");
                                   return total;
                               }});
    }

    double free = 10000;
    double total = 51200;
    std::deque<double> freeAnswers; // answered first, one per query
    int freeQueries = 0;
    std::function<void()> onFreeQuery;
};

} // namespace

TEST_F(DiskSpaceTest, FiguresAndTimeLeftAtTheProfilesRate) {
    window->UpdateDiskSpace();
    EXPECT_EQ(window->lblAvailSpace->text(), "Total Size of Drive / = 51200 Mb | Space Free:  is "
                                             "10000 Mb.  Approx. Time Left: 1.44 Weeks");
    EXPECT_EQ(window->PBarSpace->maximum(), 51200);
    EXPECT_EQ(window->PBarSpace->value(), 41200);

    free = 2.5; // rounds half to even: 2 Mb at 3600 bytes a second
    window->Tavrel(0)->setProfile(1);
    window->UpdateDiskSpace();
    EXPECT_TRUE(window->lblAvailSpace->text().endsWith("is 2 Mb.  Approx. Time Left: 00:09:43"))
        << qPrintable(window->lblAvailSpace->text());
    window->Tavrel(0)->setProfile(9);
    window->UpdateDiskSpace();
    EXPECT_TRUE(window->lblAvailSpace->text().endsWith(" Approx. Time Left: Unknown."));
    EXPECT_EQ(prompts->count(), 0);
}

TEST(DiskRates, MegabytesPerSecond) {
    EXPECT_NEAR(frmMain::MegabytesPerSecond(96), 12000.0 / 1048576, 1e-12);
    EXPECT_NEAR(frmMain::MegabytesPerSecond(96), 0.0114441, 1e-7);
    EXPECT_EQ(frmMain::MegabytesPerSecond(0), 0.001); // the floor of an MP3 minimum rate of 0
    EXPECT_EQ(frmMain::MegabytesPerSecond(128000), frmMain::MegabytesPerSecond(128));
    EXPECT_NEAR(frmMain::MegabytesPerSecond(10000), 1250000.0 / 1048576, 1e-12);
}

TEST_F(DiskSpaceTest, SpaceLeftDeletesNothingAndStopsNothing) {
    window->setAutoDeleteDays(1);
    writeFile("Friday/old.wma", noonToday().addDays(-3));
    free = 0.6; // rounds to 1 Mb
    window->UpdateDiskSpace();
    EXPECT_TRUE(exists("Friday/old.wma"));
    EXPECT_EQ(prompts->count(), 0);
    EXPECT_EQ(freeQueries, 1);
}

TEST_F(DiskSpaceTest, FullDriveDeletesOldRecordingsThenStopsWhenStillFull) {
    window->setAutoDeleteDays(1);
    writeFile("Friday/old.wma", noonToday().addDays(-3));
    window->cmdRecord_Click();
    ASSERT_EQ(window->Tavrel(0)->RecordState(), 2) << qPrintable(prompts->texts().join(" | "));
    bool oldFileGoneAtSecondLook = false;
    onFreeQuery = [&] {
        if (freeQueries == 2)
            oldFileGoneAtSecondLook = !exists("Friday/old.wma");
    };
    free = 0.4;
    window->UpdateDiskSpace();
    EXPECT_EQ(freeQueries, 2);
    EXPECT_TRUE(oldFileGoneAtSecondLook);
    EXPECT_EQ(window->Tavrel(0)->RecordState(), 0);
    EXPECT_EQ(window->Tavrel(1)->RecordState(), 0);
    ASSERT_EQ(prompts->count(), 1);
    EXPECT_EQ(prompts->last().text, "Quorvia Logger Cannot Continue");
    EXPECT_EQ(prompts->last().title, "There is No Free Space on the Audio Drive.");
    EXPECT_EQ(prompts->last().icon, platform::PromptIcon::Critical);
    // The label keeps the first figure.
    EXPECT_TRUE(window->lblAvailSpace->text().contains("is 0 Mb."));
}

TEST_F(DiskSpaceTest, FullDriveThatDeletionClearsKeepsRecording) {
    window->cmdRecord_Click();
    ASSERT_EQ(window->Tavrel(0)->RecordState(), 2);
    freeAnswers = {0.4, 500};
    window->UpdateDiskSpace();
    EXPECT_EQ(window->Tavrel(0)->RecordState(), 2);
    EXPECT_EQ(prompts->count(), 0);
    window->cmdStopRec_Click();
}

// A drive that cannot be measured is not a full drive.
TEST_F(DiskSpaceTest, FiguresThatCannotBeReadLeaveTheLastOnes) {
    window->UpdateDiskSpace();
    QString shown = window->lblAvailSpace->text();
    free = -1;
    total = std::nan("");
    window->UpdateDiskSpace();
    EXPECT_EQ(window->lblAvailSpace->text(), shown);
    // No free figure at all, a new total: the free figure read before stays.
    window->setDriveSizes({{}, [](QString& drive) {
                               drive = QStringLiteral("/");
                               return 60000.0;
                           }});
    window->UpdateDiskSpace();
    EXPECT_EQ(window->lblAvailSpace->text(), shown.replace("51200", "60000"))
        << qPrintable(window->lblAvailSpace->text());
    EXPECT_EQ(prompts->count(), 0);

    // Nothing ever read: a drive that cannot be measured, whether or not the system-information
    // component is there, leaves the label empty and stops nothing.
    QFile blocker(at("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Settings::saveString("Settings", "AudioPath", at("blocker/audio"));
    frmMain unmeasured;
    unmeasured.UpdateDiskSpace();
    EXPECT_TRUE(unmeasured.lblAvailSpace->text().isEmpty());
    EXPECT_FALSE(prompts->texts().contains("Quorvia Logger Cannot Continue"));
    unmeasured.closeWithoutAsking();
}
