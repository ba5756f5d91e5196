// A file change loses no audio: laid end to end, the files of a chain hold every moment of the
// input, at most some of it twice. Both loggers record the same tick signal through the private
// sound server, and the joins are read back from the files. While the two loggers overlap, a
// fault of the one that is ending does not start a second change inside the first.
#include "JoinCheck.h"
#include "SettingsSandbox.h"

#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "media/GraphEvent.h"
#include "platform/Clock.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace media;
using platform::Clock;
using platform::Settings;

namespace {

constexpr int kFileMs = 1500; // a marker tick on either side of each join, and more

QDateTime at(int hour, int minute, int second) {
    return QDateTime(QDate(2026, 12, 7), QTime(hour, minute, second));
}

std::optional<FilterItem> ticksDevice() {
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return std::nullopt;
    DeviceEnumerator::overrideCaptureDevices(std::nullopt);
    for (const FilterItem& item : DeviceEnumerator::audioCaptureDevices()) {
        if (item.name() == joincheck::kTicksDevice)
            return item;
    }
    return std::nullopt;
}

// The parameter is the audio format: 0 WMA, 1 MP3.
class FileChangeJoinTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            GTEST_SKIP() << "ffmpeg is needed to read the recordings back";
        const std::optional<FilterItem> device = ticksDevice();
        if (!device)
            GTEST_SKIP() << "needs the tick signal of the private sound server (\"Monitor of "
                            "VeltraxTicks\", scripts/pulse-harness); run it through ctest";
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        DeviceEnumerator::overrideCaptureDevices(QList<FilterItem>{*device});
        Settings::saveString("Settings", "AudioPath", audio.path());
        Settings::saveString("Settings", "CaptureDeviceName", joincheck::kTicksDevice);
        Settings::saveInt("Settings", "AudioFormat", GetParam());
        Clock::setNow(at(10, 59, 30));
        window = std::make_unique<frmMain>();
        window->Form_Activate();
        for (int i = 0; i < 2; ++i)
            window->Tavrel(i)->Timer1()->stop(); // the changes come from the test
        if (window->Tavrel(0)->AudioFormat() != GetParam())
            GTEST_SKIP() << "MP3 needs the LAME encoder (lamemp3enc)";
    }
    void TearDown() override {
        if (window)
            window->closeWithoutAsking();
        window.reset();
        Clock::useSystemClock();
        DeviceEnumerator::overrideCaptureDevices(std::nullopt);
        FilterRegistry::instance().reset();
        QLocale::setDefault(QLocale::system());
    }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir audio;
    std::unique_ptr<frmMain> window;
};

} // namespace

TEST_P(FileChangeJoinTest, JoinsLoseAtMost20msAndRepeatLessThanHalfASecond) {
    window->cmdRecord_Click();
    ASSERT_EQ(window->Tavrel(0)->RecordState(), 2) << qPrintable(prompts->texts().join(" | "));
    QStringList files{window->Tavrel(0)->FileName()};
    for (const QDateTime& change : {at(11, 0, 1), at(12, 0, 1)}) {
        QTest::qWait(kFileMs); // the sound server delivers the signal as it plays
        Clock::setNow(change);
        const int active = window->Tavrel(0)->RecordState() == 2 ? 0 : 1;
        window->Tavrel_IntervalReached(active);
        EXPECT_EQ(window->Tavrel(active)->RecordState(), 0);
        ASSERT_EQ(window->Tavrel(1 - active)->RecordState(), 2);
        EXPECT_FALSE(window->cmdRecord->isEnabled());
        EXPECT_TRUE(window->lblEventCountDown->isVisibleTo(window.get()));
        files << window->Tavrel(1 - active)->FileName();
    }
    QTest::qWait(kFileMs);
    window->cmdStopRec_Click();
    EXPECT_EQ(prompts->count(), 0) << qPrintable(prompts->texts().join(" | "));
    EXPECT_TRUE(files.last().contains("Started Hour 12 at 00 Minutes 01 Secs"));

    std::vector<joincheck::Recording> chain;
    for (const QString& file : files) {
        chain.push_back(joincheck::read(file));
        ASSERT_TRUE(chain.back().error.isEmpty()) << qPrintable(chain.back().error);
    }
    for (std::size_t i = 1; i < chain.size(); ++i) {
        const double gap = joincheck::gapBetween(chain[i - 1], chain[i]);
        SCOPED_TRACE(qPrintable(QStringLiteral("join %1: %2 ms (+ lost, - repeated)")
                                    .arg(i)
                                    .arg(gap * 1000, 0, 'f', 1)));
        EXPECT_LE(gap, 0.020);
        EXPECT_GT(gap, -0.5); // read within [-0.5 s, 0.5 s): half a second repeated reads -0.5
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FileChangeJoinTest, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("Wma") : std::string("Mp3");
                         });

// The ending logger fails (its write error reaches the window) while the next one is being built:
// the change under way still starts the next logger once, on the file named for the change.
TEST(FileChangeFault, EndingLoggerFailingWhileTheNextBuildsStartsTheNextOnce) {
    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir audio;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    DeviceEnumerator::overrideCaptureDevices(DeviceEnumerator::testSources());
    Settings::saveString("Settings", "AudioPath", audio.path());
    Clock::setNow(at(10, 59, 30));
    {
        frmMain window;
        window.Form_Activate();
        for (int i = 0; i < 2; ++i)
            window.Tavrel(i)->Timer1()->stop();
        window.cmdRecord_Click();
        ASSERT_EQ(window.Tavrel(0)->RecordState(), 2);
        int starts = 0;
        bool failed = false;
        QObject::connect(window.Tavrel(1), &Tavlo::PlayStateChanged, [&](int, int newState) {
            starts += newState == 2;
            if (newState != 1 || failed)
                return;
            failed = true;
            window.Tavrel(0)->StopRecording(); // as the engine ends a recording that failed
            window.Tavrel_WriteFailed(0, static_cast<int>(GraphErrorKind::WriteError),
                                      QStringLiteral("The recording file has gone"));
        });
        Clock::setNow(at(11, 0, 1));
        window.Tavrel_IntervalReached(0);
        EXPECT_TRUE(failed);
        EXPECT_EQ(starts, 1);
        EXPECT_EQ(window.Tavrel(0)->RecordState(), 0);
        ASSERT_EQ(window.Tavrel(1)->RecordState(), 2);
        EXPECT_TRUE(
            window.Tavrel(1)->FileName().endsWith("Started Hour 11 at 00 Minutes 01 Secs.wma"))
            << qPrintable(window.Tavrel(1)->FileName());
        EXPECT_FALSE(window.cmdRecord->isEnabled());
        window.closeWithoutAsking();
    }
    Clock::useSystemClock();
    DeviceEnumerator::overrideCaptureDevices(std::nullopt);
    QLocale::setDefault(QLocale::system());
}
