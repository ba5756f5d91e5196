#pragma once

#include "SettingsSandbox.h"

#include "engine/Corvate.h"
#include "engine/EngineMessages.h"
#include "engine/clsTavrel.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <ostream>

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// An engine in MP3 mode recording from the live test tone, with the prompts recorded and every
// setting written to its encoder object noted as "name=value".
class Mp3Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        media::DeviceEnumerator::overrideCaptureDevices(media::DeviceEnumerator::testSources());
        media::FilterRegistry::instance().reset();
        platform::Settings::saveInt("Settings", "AudioFormat", 1);
        engine.Initialise();
        engine.CaptureDeviceName();
        QObject::connect(engine.corvate(), &Corvate::settingWritten,
                         [this](const QString& name, const QVariant& value) {
                             written.append(name + '=' + value.toString());
                         });
    }
    void TearDown() override {
        engine.OutputFileName({});
        media::DeviceEnumerator::overrideCaptureDevices(std::nullopt);
        media::FilterRegistry::instance().reset();
    }

    static void storeMpeg(const QString& key, const QString& value) {
        platform::Settings::saveString("MPEGSettings", key, value);
    }
    static QString storedMpeg(const QString& key) {
        return platform::Settings::getString("MPEGSettings", key, "(absent)");
    }

    // The settings written to the encoder object whose names start with one of the prefixes.
    QStringList writtenNamed(const QStringList& names) const {
        QStringList result;
        for (const QString& entry : written) {
            if (names.contains(entry.section('=', 0, 0)))
                result.append(entry);
        }
        return result;
    }

    // The lamemp3enc of the current graph.
    GstElement* lameElement() const {
        const media::FilterPtr filter =
            engine.graph() ? engine.graph()->findFilterByName(EngineMessages::kLameFilterName)
                           : nullptr;
        if (!filter)
            return nullptr;
        GstElement* lame = gst_bin_get_by_name(GST_BIN(filter->element()), "encoder");
        if (lame)
            gst_object_unref(lame); // the bin keeps it
        return lame;
    }
    int lameInt(const char* property) const {
        gint value = -1;
        g_object_get(lameElement(), property, &value, nullptr);
        return value;
    }
    bool lameBool(const char* property) const {
        gboolean value = FALSE;
        g_object_get(lameElement(), property, &value, nullptr);
        return value;
    }

    // Builds a graph for the path and records about two seconds into it.
    bool recordTwoSeconds(const QString& path) {
        if (!engine.OutputFileName(path) || !engine.Record())
            return false;
        QTest::qWait(2000);
        engine.StopRecording();
        engine.OutputFileName({});
        return true;
    }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir dir;
    clsTavrel engine;
    QStringList written;
};
