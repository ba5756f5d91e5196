// Every eProfile value, set through the control, gives recordings its channels and bit rate.
#include "MediaCheck.h"
#include "TestGraphs.h"

#include "quillon/Quillon.h"
#include "quillon/QuillonIds.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

struct Expected {
    int profileType;
    int channels;
    double kbitPerSecond;
};

} // namespace

TEST(QuillonProfiles, EachProfileTypeRecordsWithItsChannelsAndBitRate) {
    const Expected table[] = {{MonoAudio288, 1, 28.8}, {Stereo288, 2, 28.8}, {Stereo32, 2, 32},
                              {Stereo48, 2, 48},       {Stereo64, 2, 64},    {Stereo96, 2, 96},
                              {Stereo128, 2, 128}};
    QTemporaryDir dir;
    for (const Expected& expected : table) {
        SCOPED_TRACE(expected.profileType);
        const QString path =
            dir.filePath(QStringLiteral("profile%1.wma").arg(expected.profileType));
        CaptureChain chain = TestGraphs::captureToWma(TestGraphs::fastTone(6), path);
        ASSERT_EQ(chain.result, ResultCode::S_OK);
        Quillon control;
        control.setProperty("ASFWriter", QVariant::fromValue(chain.writer));
        control.setProperty("ProfileType", expected.profileType);
        chain.graph->setNoClock(true);
        ASSERT_TRUE(SUCCEEDED(chain.graph->run()));
        ASSERT_TRUE(TestGraphs::waitForCompletion(*chain.graph));
        chain.graph->stop();

        const ProbeResult probe = MediaCheck::probe(path);
        EXPECT_EQ(probe.codec, "wmav2");
        EXPECT_EQ(probe.channels, expected.channels);
        const double bitRate = expected.kbitPerSecond * 1000;
        EXPECT_NEAR(probe.streamBitRate, bitRate, bitRate * 0.1);
    }
}
