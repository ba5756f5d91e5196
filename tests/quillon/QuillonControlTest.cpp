// The Quillon control's state, results and surface, without audio flowing.
#include "LiveRecording.h"
#include "StreamCheck.h"
#include "StreamListener.h"

#include "media/FilterRegistry.h"
#include "media/NetworkSink.h"
#include "media/WmaProfile.h"
#include "platform/ComponentLoader.h"
#include "platform/ScopedPrompts.h"
#include "quillon/Quillon.h"
#include "quillon/QuillonIds.h"
#include "quillon/RunningObjectTable.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace media;
using namespace quillon;
using namespace ResultCode;

namespace {

QVariant asVariant(const FilterPtr& filter) {
    return QVariant::fromValue(filter);
}

const WmaProfile& profileOf(const LiveRecording& recording) {
    return recording.writer()->profile();
}

} // namespace

TEST(Quillon, ProfileTypeBeforeTheWriterIsStoredAndAppliedOnlyWhenSetAgain) {
    LiveRecording recording;
    Quillon control;
    control.setProperty("ProfileType", MonoAudio288);
    control.setProperty("ASFWriter", asVariant(recording.writer()));
    EXPECT_EQ(control.property("ProfileType").toInt(), MonoAudio288);
    EXPECT_EQ(profileOf(recording).id, WmaProfile::standard().id) << "not applied by ASFWriter";
    control.setProperty("ProfileType", MonoAudio288);
    EXPECT_EQ(profileOf(recording).channels, 1);
}

TEST(Quillon, ProfileTypeOutsideTheTableSelectsThe32kbitStereoProfile) {
    LiveRecording recording;
    Quillon control;
    control.setProperty("ASFWriter", asVariant(recording.writer()));
    for (int value : {0, 9, -4}) {
        control.setProperty("ProfileType", Stereo128);
        control.setProperty("ProfileType", value);
        EXPECT_EQ(profileOf(recording).id, Quillon::profileGuid(Stereo32)) << value;
        EXPECT_EQ(profileOf(recording).bitRate, 32000) << value;
        EXPECT_EQ(control.property("ProfileType").toInt(), value);
    }
}

TEST(Quillon, ResultsFollowWhatIsHeld) {
    Quillon control;
    EXPECT_EQ(control.RemoveNetworkSink(), kFailed);
    EXPECT_EQ(control.AddScriptStream(), kFailed);
    EXPECT_EQ(control.AddNetworkSink(StreamCheck::freePort(), 5), kFailed);

    const FilterPtr grabber =
        FilterRegistry::instance().registeredFilters().item("SampleGrabber")->create();
    control.setProperty("ASFWriter", asVariant(grabber));
    EXPECT_EQ(control.RemoveNetworkSink(), kNoAdvancedWriter);
    EXPECT_EQ(control.AddScriptStream(), kFailed);
    EXPECT_EQ(control.AddNetworkSink(StreamCheck::freePort(), 5), kFailed);

    LiveRecording recording;
    control.setProperty("ASFWriter", asVariant(recording.writer()));
    EXPECT_EQ(control.RemoveNetworkSink(), kSucceeded);
    EXPECT_EQ(control.AddScriptStream(), kSucceeded);
    EXPECT_FALSE(control.property("ASFWriter").value<FilterPtr>());
    EXPECT_EQ(control.writerFilter(), recording.writer());

    control.setProperty("ASFWriter", 42); // not a filter: everything is let go
    EXPECT_FALSE(control.writerFilter());
    EXPECT_EQ(control.RemoveNetworkSink(), kFailed);
}

TEST(Quillon, SecondAddNetworkSinkClosesTheFirstWhichStaysOnTheWriter) {
    LiveRecording recording;
    Quillon control;
    control.setProperty("ASFWriter", asVariant(recording.writer()));
    const int port = StreamCheck::freePort();
    ASSERT_EQ(control.AddNetworkSink(port, 5), kSucceeded);
    const auto first = control.networkSink();
    ASSERT_EQ(control.AddNetworkSink(port, 5), kSucceeded) << "the first freed the port";
    EXPECT_FALSE(first->isOpen());
    EXPECT_TRUE(recording.writer()->sinks().contains(first));
    EXPECT_EQ(recording.writer()->sinks().size(), 2);
    StreamListener listener(port);
    ASSERT_TRUE(listener.waitForHead());
    EXPECT_EQ(listener.statusLine(), "HTTP/1.0 200 OK");
    EXPECT_TRUE(StreamCheck::clientCountBecomes(*control.networkSink(), 1));
}

TEST(Quillon, FailedAddNetworkSinkLeavesNoPortTakenAndPortZeroIsRefused) {
    LiveRecording recording;
    Quillon control;
    control.setProperty("ASFWriter", asVariant(recording.writer()));
    int port = StreamCheck::freePort();
    EXPECT_EQ(control.AddNetworkSink(port, -1), kFailed);
    ASSERT_TRUE(control.networkSink()) << "held until the next call";
    EXPECT_TRUE(recording.writer()->sinks().isEmpty());
    NetworkSink other;
    EXPECT_EQ(other.open(port), S_OK);
    EXPECT_EQ(control.AddNetworkSink(70000, 5), kFailed);
    // Port 0 would listen on a port nobody is told of.
    EXPECT_EQ(control.AddNetworkSink(0, 5), kFailed);
    ASSERT_TRUE(control.networkSink());
    EXPECT_FALSE(control.networkSink()->isOpen());
    EXPECT_TRUE(recording.writer()->sinks().isEmpty());
}

TEST(Quillon, LettingGoOfTheWriterTakesTheSinkOffAndClosesIt) {
    LiveRecording first, second;
    auto control = std::make_unique<Quillon>();
    control->setProperty("ASFWriter", asVariant(first.writer()));
    const int port = StreamCheck::freePort();
    ASSERT_EQ(control->AddNetworkSink(port, 5), kSucceeded);
    const auto sink = control->networkSink();
    control->setProperty("ASFWriter", asVariant(second.writer()));
    EXPECT_TRUE(first.writer()->sinks().isEmpty());
    EXPECT_FALSE(sink->isOpen());
    EXPECT_FALSE(control->networkSink());

    ASSERT_EQ(control->AddNetworkSink(port, 5), kSucceeded);
    const auto next = control->networkSink();
    control.reset();
    EXPECT_TRUE(second.writer()->sinks().isEmpty());
    EXPECT_FALSE(next->isOpen());
}

TEST(Quillon, AddToROTRegistersTheGraphUnderItsAddressAndProcess) {
    EXPECT_EQ(Quillon::rotItemName(0x12AB34, 0x4D2), "FilterGraph 0012ab34 pid 000004d2");
    EXPECT_EQ(Quillon::rotItemName(0x7f0012ab34c0ULL, 0x4D2),
              "FilterGraph 7f0012ab34c0 pid 000004d2");

    QTemporaryDir dumps;
    qputenv("GST_DEBUG_DUMP_DOT_DIR", QFile::encodeName(dumps.path()));
    LiveRecording recording;
    Quillon control;
    EXPECT_EQ(control.AddToROT(&recording.graph()), S_OK);
    qunsetenv("GST_DEBUG_DUMP_DOT_DIR");
    const QString name = Quillon::rotItemName(reinterpret_cast<quintptr>(&recording.graph()),
                                              QCoreApplication::applicationPid());
    EXPECT_EQ(RunningObjectTable::instance().find(name), &recording.graph());
    QFile dump(dumps.filePath(name + ".dot"));
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly)) << qPrintable(dump.fileName());
    EXPECT_TRUE(dump.readAll().contains("WM ASF Writer"));

    EXPECT_EQ(control.AddToROT(nullptr), E_INVALIDARG);
    EXPECT_FALSE(RunningObjectTable::instance().contains(
        Quillon::rotItemName(0, QCoreApplication::applicationPid())));
}

TEST(Quillon, AboutBoxIsShownThroughThePrompts) {
    platform::ScopedPrompts prompts;
    QString text;
    prompts->onDialog = [&](QDialog& dialog) {
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            text += label->text();
        return int(QDialog::Accepted);
    };
    Quillon control;
    ASSERT_TRUE(QMetaObject::invokeMethod(&control, "AboutBox"));
    ASSERT_EQ(prompts->count(platform::RecordingPrompts::Kind::Dialog), 1);
    EXPECT_EQ(prompts->last().title, "About Quillon Control");
    EXPECT_TRUE(text.contains("Quillon Control, Version 1.0")) << qPrintable(text);
}

TEST(Quillon, PaintsAWhiteRectangleWithAnInscribedEllipse) {
    Quillon control;
    control.resize(80, 40);
    const QImage image = control.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white)) << "corner outside the ellipse";
    EXPECT_EQ(image.pixelColor(40, 20), QColor(Qt::white)) << "inside";
    EXPECT_LT(image.pixelColor(0, 20).lightness(), 128) << "the ellipse touches the left edge";
    EXPECT_LT(image.pixelColor(40, 0).lightness(), 128) << "and the top edge";
}

// The way the logger reaches it: created by ProgID, driven by name.
TEST(Quillon, PluginMakesTheControlAndItsPageByProgIdForLateBinding) {
    platform::ComponentLoader& loader = platform::ComponentLoader::instance();
    const auto info = loader.find(kQuillonProgId);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->clsid, kQuillonClsid);
    EXPECT_EQ(info->typeName, "Quillon Control");
    std::unique_ptr<QObject> control(loader.create(kQuillonProgId));
    ASSERT_TRUE(control);

    LiveRecording recording;
    ASSERT_TRUE(control->setProperty("ASFWriter", asVariant(recording.writer())));
    ASSERT_TRUE(control->setProperty("ProfileType", Stereo64));
    EXPECT_EQ(profileOf(recording).bitRate, 64000);
    int result = 0;
    ASSERT_TRUE(QMetaObject::invokeMethod(control.get(), "AddNetworkSink",
                                          Q_RETURN_ARG(int, result),
                                          Q_ARG(int, StreamCheck::freePort()), Q_ARG(int, 3)));
    EXPECT_EQ(result, kSucceeded);
    ASSERT_TRUE(
        QMetaObject::invokeMethod(control.get(), "RemoveNetworkSink", Q_RETURN_ARG(int, result)));
    EXPECT_EQ(result, kSucceeded);

    EXPECT_EQ(loader.find(kPropPageProgId)->clsid, kPropPageClsid);
    std::unique_ptr<QObject> page(loader.create(kPropPageProgId));
    auto* widget = qobject_cast<QWidget*>(page.get());
    ASSERT_TRUE(widget);
    EXPECT_EQ(widget->windowTitle(), "General");
    EXPECT_TRUE(widget->findChildren<QAbstractButton*>().isEmpty());
    EXPECT_TRUE(widget->findChildren<QLineEdit*>().isEmpty());
    EXPECT_TRUE(widget->findChildren<QAbstractSpinBox*>().isEmpty());
    EXPECT_TRUE(widget->findChildren<QComboBox*>().isEmpty());
}
