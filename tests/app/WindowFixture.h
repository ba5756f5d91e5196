#pragma once

#include "SettingsSandbox.h"

#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "platform/Clock.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// An activated window recording into a temporary audio folder from the live test sources, at a
// fixed moment, with English names and the loggers' ticks left to the test.
class WindowFixture : public ::testing::Test {
protected:
    static QDateTime noonToday() { return QDateTime(QDate(2026, 12, 7), QTime(12, 0)); }

    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        media::DeviceEnumerator::overrideCaptureDevices(media::DeviceEnumerator::testSources());
        platform::Settings::saveString("Settings", "AudioPath", audio.path());
        platform::Clock::setNow(noonToday());
        window = std::make_unique<frmMain>();
        window->Form_Activate();
        for (int i = 0; i < 2; ++i)
            window->Tavrel(i)->Timer1()->stop();
    }
    void TearDown() override {
        window->closeWithoutAsking();
        window.reset();
        platform::Clock::useSystemClock();
        media::DeviceEnumerator::overrideCaptureDevices(std::nullopt);
        media::FilterRegistry::instance().reset();
        QLocale::setDefault(QLocale::system());
    }

    QString at(const QString& relative) const { return audio.path() + u'/' + relative; }

    // A file below the audio folder, last written at the given moment.
    void writeFile(const QString& relative, const QDateTime& written) const {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(at(relative)).path()));
        QFile file(at(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("audio");
        ASSERT_TRUE(file.flush()); // before the time is set, or closing would set it again
        ASSERT_TRUE(file.setFileTime(written, QFileDevice::FileModificationTime));
    }
    bool exists(const QString& relative) const { return QFileInfo::exists(at(relative)); }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir audio;
    std::unique_ptr<frmMain> window;
};
