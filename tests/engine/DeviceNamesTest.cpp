// The capture device list on the private PulseAudio server: same-named devices and the watcher.
#include "DeviceChecks.h"

#include <gtest/gtest.h>

namespace {

class PulseAudioDevices : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the private sound server (PULSE_SERVER); run through ctest";
        if (pactl({"info"}).isNull())
            GTEST_SKIP() << "the private sound server does not answer at "
                         << qPrintable(qEnvironmentVariable("PULSE_SERVER"));
        media::DeviceEnumerator::overrideCaptureDevices(std::nullopt);
    }
};

} // namespace

TEST_F(PulseAudioDevices, SameNamedDevicesAreNumberedStably) {
    DeviceChecks::sameNamedDevicesAreNumberedStably();
}

TEST_F(PulseAudioDevices, WatcherAnnouncesAddedAndRemovedDevices) {
    DeviceChecks::watcherAnnouncesAddedAndRemovedDevices();
}
