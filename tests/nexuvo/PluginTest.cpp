// The library as the recording engine meets it: loaded by ProgID, reached through IAssist and
// late binding, events by signal name.
#include "TestGraphs.h"
#include "media/DeviceEnumerator.h"
#include "nexuvo/IAssist.h"
#include "nexuvo/IVBCol.h"
#include "nexuvo/PinVariant.h"
#include "platform/ComponentLoader.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace ResultCode;
using platform::ComponentLoader;

namespace {

// Stands for the engine: receives ThreadEvent by its signature.
class PeakSink : public QObject {
    Q_OBJECT
public:
    int events = 0;
    int left = 0;
    int right = 0;

public slots:
    void Helper_ThreadEvent(int LeftPeak, int RightPeak) {
        ++events;
        left = LeftPeak;
        right = RightPeak;
    }
};

void runUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit); // ends a failed test only
    loop.exec();
}

} // namespace

TEST(NexuvoPlugin, BothClassesAreRegisteredAndCreatable) {
    const auto assist = ComponentLoader::instance().find("Nexuvo.Assist");
    ASSERT_TRUE(assist.has_value());
    EXPECT_EQ(assist->library, "Nexuvo");
    EXPECT_EQ(assist->progId, "Nexuvo.Assist.1");
    EXPECT_EQ(assist->clsid, "{51C94F15-BCBA-43C2-8643-A04616E5E39F}");
    EXPECT_EQ(assist->typeName, "Assist Class");
    const auto item = ComponentLoader::instance().find("{6F65CECF-AFDB-4408-8BF9-193C5D75D71B}");
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->progId, "Nexuvo.VBCol.1");
    EXPECT_EQ(item->versionIndependentProgId, "Nexuvo.VBCol");
    EXPECT_EQ(item->typeName, "VBCol Class");

    std::unique_ptr<QObject> helper(ComponentLoader::instance().create("Nexuvo.Assist.1"));
    ASSERT_NE(qobject_cast<nexuvo::IAssist*>(helper.get()), nullptr);
    std::unique_ptr<QObject> device(ComponentLoader::instance().create("Nexuvo.VBCol"));
    auto* vbcol = qobject_cast<nexuvo::IVBCol*>(device.get());
    ASSERT_NE(vbcol, nullptr);
    QString name = "x";
    EXPECT_EQ(vbcol->get_name(&name), S_OK);
    EXPECT_TRUE(name.isEmpty());
}

TEST(NexuvoPlugin, EngineRecordsWithTheHelperAndReleasesIt) {
    QTemporaryDir dir;
    CaptureChain chain =
        TestGraphs::captureToWma(TestGraphs::liveTestTone(), dir.filePath("tone.wma"));
    ASSERT_EQ(chain.result, S_OK);
    media::FilterGraph* graph = chain.graph.get();
    PeakSink engine;

    QObject* helper = ComponentLoader::instance().create("Nexuvo.Assist");
    auto* assist = qobject_cast<nexuvo::IAssist*>(helper);
    ASSERT_NE(assist, nullptr);
    ASSERT_TRUE(QObject::connect(helper, SIGNAL(ThreadEvent(int, int)), &engine,
                                 SLOT(Helper_ThreadEvent(int, int))));
    ASSERT_EQ(assist->putref_CurrentGraph(graph), S_OK);
    ASSERT_EQ(assist->put_ThreadSleepmS(50), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph->run()));
    ASSERT_EQ(assist->RunGraph(), S_OK);
    runUntil([&] { return engine.events >= 10; });
    EXPECT_GE(engine.events, 10);
    EXPECT_NEAR(engine.left, 16384, 330);
    EXPECT_NEAR(engine.right, 16384, 330);

    // A pin reaches the library inside a QVariant, by name as well as through the interface.
    const QVariant grabberInput = QVariant::fromValue(chain.grabber->findPin("Input"));
    int connected = -1;
    ASSERT_TRUE(QMetaObject::invokeMethod(helper, "IsPinConnected", Q_RETURN_ARG(int, connected),
                                          Q_ARG(QVariant, grabberInput)));
    EXPECT_EQ(connected, 1);

    graph->stop();
    ASSERT_EQ(assist->StopGraph(), S_OK);
    delete helper;
}

#include "PluginTest.moc"
