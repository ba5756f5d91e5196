// The MP3 settings dialog on a live encoder: what it shows, what it writes, what the engine
// stores from its events, and what it does without an encoder.
#include "Mp3Fixture.h"

#include "engine/frmLameProps.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <functional>
#include <unistd.h>

using namespace ResultCode;

namespace {

template <typename T> T* control(QDialog& dialog, const char* name) {
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(widget) << name;
    return widget;
}

QComboBox* combo(QDialog& dialog, const char* name) {
    return control<QComboBox>(dialog, name);
}
QAbstractButton* button(QDialog& dialog, const char* name) {
    return control<QAbstractButton>(dialog, name);
}
QString label(QDialog& dialog, const char* name) {
    return control<QLabel>(dialog, name)->text();
}

// Shows the dialog through the engine and runs `drive` on it while it is "open".
void showDialog(clsTavrel& engine, platform::ScopedPrompts& prompts,
                const std::function<void(QDialog&)>& drive) {
    prompts->onDialog = [&](QDialog& dialog) {
        drive(dialog);
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(engine.ShowPropertyPage(nullptr, EngineMessages::kLameFilterName));
    prompts->onDialog = nullptr;
}

} // namespace

TEST_F(Mp3Fixture, DialogShowsTheEncoderAndStoresEveryAcceptedChange) {
    ASSERT_TRUE(engine.OutputFileName(dir.filePath("settingup.mp3")));
    engine.StopRecording();
    showDialog(engine, prompts, [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Audio Encoder Properties");
        EXPECT_TRUE(button(dialog, "optCBR")->isChecked());
        EXPECT_TRUE(button(dialog, "optChannelMode0")->isChecked());
        EXPECT_EQ(combo(dialog, "cboBitRateMin")->currentText(), "128 kbps");
        EXPECT_EQ(combo(dialog, "cboBitRateMin")->count(), 15);
        EXPECT_FALSE(combo(dialog, "cboBitRateMax")->isEnabled());
        EXPECT_EQ(combo(dialog, "cboSampleRate")->currentText(), "44100");
        EXPECT_EQ(label(dialog, "lblInputSamples"), "44100");
        EXPECT_EQ(label(dialog, "lblInputChannelMode"), "Stereo");

        // Constant mode: the chosen rate is the constant rate, stored as the minimum.
        combo(dialog, "cboBitRateMin")->setCurrentIndex(frmLameProps::bitRatePosition(64));
        EXPECT_EQ(storedMpeg("VBRMin"), "64");
        EXPECT_EQ(storedMpeg("VBRMax"), "(absent)");
        EXPECT_EQ(lameInt("bitrate"), 64);

        // The minimum is the constant rate; the maximum shown is stored as the one in use.
        button(dialog, "optVBR")->click();
        EXPECT_EQ(storedMpeg("VBR"), "True");
        EXPECT_TRUE(combo(dialog, "cboBitRateMax")->isEnabled());
        EXPECT_EQ(combo(dialog, "cboBitRateMin")->currentText(), "64 kbps");
        EXPECT_EQ(storedMpeg("VBRMax"), "128");
        combo(dialog, "cboBitRateMax")->setCurrentIndex(frmLameProps::bitRatePosition(192));
        combo(dialog, "cboBitRateMin")->setCurrentIndex(frmLameProps::bitRatePosition(96));
        EXPECT_EQ(storedMpeg("VBRMax"), "192");
        EXPECT_EQ(storedMpeg("VBRMin"), "96");
        EXPECT_EQ(lameInt("bitrate"), 144);
        EXPECT_FALSE(lameBool("cbr"));

        button(dialog, "optChannelMode3")->click();
        EXPECT_EQ(storedMpeg("ChannelMode"), "3");
        button(dialog, "optChannelMode2")->click(); // refused by the encoder
        EXPECT_EQ(storedMpeg("ChannelMode"), "3");
        EXPECT_TRUE(button(dialog, "optChannelMode3")->isChecked());

        combo(dialog, "cboSampleRate")->setCurrentText("22050");
        EXPECT_EQ(storedMpeg("SampleRate"), "22050");

        button(dialog, "optCBR")->click();
        EXPECT_EQ(storedMpeg("VBR"), "False");
        EXPECT_EQ(combo(dialog, "cboBitRateMin")->currentText(), "96 kbps");
        EXPECT_FALSE(combo(dialog, "cboBitRateMax")->isEnabled());
    });
    EXPECT_EQ(prompts->count(platform::RecordingPrompts::Kind::Dialog), 1);
    EXPECT_EQ(prompts->count(platform::RecordingPrompts::Kind::MessageBox), 0);

    // The next build hands the stored choices to the new encoder.
    written.clear();
    ASSERT_TRUE(engine.OutputFileName(dir.filePath("after.mp3")));
    EXPECT_EQ(writtenNamed({"VBR", "Bitrate", "ChannelMode", "OutputSampleRate"}),
              (QStringList{"VBR=false", "Bitrate=96", "ChannelMode=3", "OutputSampleRate=22050"}));
}

TEST_F(Mp3Fixture, ModeChangeRefusedWhileRecordingIsNotStored) {
    ASSERT_TRUE(engine.OutputFileName(dir.filePath("live.mp3")));
    ASSERT_TRUE(engine.Record());
    showDialog(engine, prompts, [&](QDialog& dialog) {
        button(dialog, "optVBR")->click();
        EXPECT_TRUE(button(dialog, "optCBR")->isChecked());
        combo(dialog, "cboBitRateMin")->setCurrentIndex(frmLameProps::bitRatePosition(32));
        EXPECT_EQ(combo(dialog, "cboBitRateMin")->currentText(), "128 kbps");
    });
    EXPECT_EQ(storedMpeg("VBR"), "False");
    EXPECT_EQ(storedMpeg("VBRMin"), "128");
}

TEST_F(Mp3Fixture, DialogWithoutAnEncoderObjectClosesItself) {
    frmLameProps dialog;
    EXPECT_FALSE(dialog.activate());
    ASSERT_EQ(prompts->count(), 1);
    EXPECT_EQ(prompts->last().text, "No Corvate, Cannot Continue!");
    EXPECT_EQ(prompts->last().title, "Must Quit!");
    EXPECT_EQ(prompts->last().icon, platform::PromptIcon::Critical);
}

TEST_F(Mp3Fixture, EncoderValuesOutsideTheListsLeaveThemUnselected) {
    Corvate unbound;
    ASSERT_EQ(unbound.put_Bitrate(320), S_OK);
    ASSERT_EQ(unbound.put_OutputSampleRate(8000), S_OK);
    frmLameProps dialog;
    QObject::connect(&dialog, &frmLameProps::GetCorvate, [&](Corvate** c) { *c = &unbound; });
    QStringList events;
    QObject::connect(&dialog, &frmLameProps::SampleRateChanged,
                     [&](int hz) { events.append(QString::number(hz)); });
    ASSERT_TRUE(dialog.activate());
    EXPECT_EQ(combo(dialog, "cboBitRateMin")->currentIndex(), -1);
    EXPECT_EQ(combo(dialog, "cboSampleRate")->currentIndex(), -1);
    EXPECT_EQ(label(dialog, "lblInputSamples"), QString()); // nothing connected to measure
    EXPECT_TRUE(events.isEmpty());

    button(dialog, "CmdRegLoad")->click(); // no encoder to load from
    EXPECT_EQ(prompts->texts(), QStringList{"Registry load failed."});
    EXPECT_EQ(prompts->last().icon, platform::PromptIcon::None);
}

// The scratch recording that gives the dialog an encoder lies in a folder of the user's own: a
// file of another user at the old place in the shared temporary folder cannot stop it. (A folder
// stands in for that file here: this user may be allowed to write any file.)
TEST_F(Mp3Fixture, ScratchRecordingIsNotStoppedByAForeignFileInTheSharedFolder) {
    QTemporaryDir shared;
    ASSERT_TRUE(QDir(shared.path()).mkdir("Settingup.mp3"));
    const QByteArray savedTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(shared.path()));

    const QString scratch = frmLameProps::ScratchFilePath();
    const QFileInfo folder(QFileInfo(scratch).path());
    EXPECT_NE(QFileInfo(scratch).absolutePath(), QDir::temp().absolutePath());
    EXPECT_EQ(folder.ownerId(), ::geteuid());
    EXPECT_FALSE(folder.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    EXPECT_TRUE(engine.OutputFileName(scratch)) << qPrintable(prompts->texts().join(" | "));
    EXPECT_EQ(prompts->count(), 0);
    engine.OutputFileName({});
    QFile::remove(scratch);

    // The old place is blocked indeed.
    EXPECT_FALSE(engine.OutputFileName(QDir::temp().filePath("Settingup.mp3")));
    qputenv("TMPDIR", savedTemp);
}
