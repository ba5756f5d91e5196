// The library as the main program meets it: created through the component loader, reached
// through its interface headers and by name.
#include "platform/ComponentLoader.h"
#include "sysmarr/ILocaleSettings.h"
#include "sysmarr/ISystemInfo.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

using platform::ComponentLoader;

namespace {

const QString kSystemInfoClsid = "{EF162785-6526-11D3-8017-00A0C93E2B7E}";
const QString kLocaleSettingsClsid = "{EF16277B-6526-11D3-8017-00A0C93E2B7E}";

std::unique_ptr<QObject> create(const QString& name) {
    HRESULT result = -1;
    QString error;
    std::unique_ptr<QObject> object(ComponentLoader::instance().create(name, &result, &error));
    EXPECT_EQ(result, ResultCode::S_OK) << qPrintable(name) << ": " << qPrintable(error);
    return object;
}

} // namespace

TEST(SysmarrPlugin, ClassesAreRegisteredUnderTheirNames) {
    const auto info = ComponentLoader::instance().find(kSystemInfoClsid);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->library, "Sysmarr");
    EXPECT_EQ(info->progId, "Sysmarr.SystemInfo.1");
    EXPECT_EQ(info->versionIndependentProgId, "Sysmarr.SystemInfo");
    EXPECT_EQ(info->typeName, "SystemInfo");
    const auto locale = ComponentLoader::instance().find(kLocaleSettingsClsid);
    ASSERT_TRUE(locale.has_value());
    EXPECT_EQ(locale->progId, "Sysmarr.LocaleSettings.1");
    EXPECT_EQ(locale->versionIndependentProgId, "Sysmarr.LocaleSettings");
    EXPECT_EQ(locale->typeName, "LocaleSettings");

    for (const QString& name :
         {kSystemInfoClsid, QString("Sysmarr.SystemInfo.1"), QString("Sysmarr.SystemInfo")}) {
        const auto object = create(name);
        EXPECT_NE(qobject_cast<sysmarr::ISystemInfo*>(object.get()), nullptr) << qPrintable(name);
    }
    for (const QString& name : {kLocaleSettingsClsid, QString("Sysmarr.LocaleSettings.1"),
                                QString("Sysmarr.LocaleSettings")}) {
        const auto object = create(name);
        EXPECT_NE(qobject_cast<sysmarr::ILocaleSettings*>(object.get()), nullptr)
            << qPrintable(name);
    }
}

TEST(SysmarrPlugin, DiskSizesThroughTheInterface) {
    QTemporaryDir dir;
    const auto object = create(kSystemInfoClsid);
    auto* info = qobject_cast<sysmarr::ISystemInfo*>(object.get());
    ASSERT_NE(info, nullptr);
    QString drive = dir.path();
    const double total = info->TotalMegaBytesOnDisk(drive);
    EXPECT_GT(total, 0.0);
    EXPECT_TRUE(drive.endsWith('/'));
    const double free = info->FreeMegaBytesOnDisk(drive);
    EXPECT_GE(free, 0.0);
    EXPECT_LE(free, total);
    EXPECT_EQ(info->SystemErrorCode(), 0);
}

TEST(SysmarrPlugin, SystemInfoByName) {
    QTemporaryDir dir;
    const auto info = create("Sysmarr.SystemInfo");
    ASSERT_NE(info, nullptr);

    // A drive by reference is written back; by value it is not; left out, it is the current
    // folder.
    QString drive = dir.path();
    double total = 0;
    ASSERT_TRUE(QMetaObject::invokeMethod(info.get(), "TotalMegaBytesOnDisk",
                                          Q_RETURN_ARG(double, total), Q_ARG(QString&, drive)));
    EXPECT_GT(total, 0.0);
    EXPECT_TRUE(dir.path().startsWith(drive)) << qPrintable(drive);
    const QString kept = dir.path();
    double free = -5;
    ASSERT_TRUE(QMetaObject::invokeMethod(info.get(), "FreeMegaBytesOnDisk",
                                          Q_RETURN_ARG(double, free), Q_ARG(QString, kept)));
    EXPECT_GE(free, 0.0);
    free = -5;
    ASSERT_TRUE(
        QMetaObject::invokeMethod(info.get(), "FreeMegaBytesOnDisk", Q_RETURN_ARG(double, free)));
    EXPECT_GE(free, 0.0);

    QString missing = dir.filePath("absent");
    sysmarr::DRIVE_TYPE type = sysmarr::DRIVE_FIXED;
    ASSERT_TRUE(QMetaObject::invokeMethod(info.get(), "DriveType",
                                          Q_RETURN_ARG(sysmarr::DRIVE_TYPE, type),
                                          Q_ARG(QString&, missing)));
    EXPECT_EQ(type, sysmarr::DRIVE_DOESNT_EXIST);
    EXPECT_EQ(info->property("SystemErrorCode"), QVariant(ENOENT));

    double memory = 0;
    ASSERT_TRUE(
        QMetaObject::invokeMethod(info.get(), "TotalPhysicalMemory", Q_RETURN_ARG(double, memory)));
    EXPECT_GT(memory, 0.0);
    EXPECT_EQ(info->property("SystemErrorCode"), QVariant(0));
    QString folder;
    ASSERT_TRUE(QMetaObject::invokeMethod(info.get(), "SystemDir", Q_RETURN_ARG(QString, folder)));
    EXPECT_EQ(folder, "/usr/lib/");

    EXPECT_EQ(info->property("OSVersion"), QVariant(int(sysmarr::OS_WINDOWS_UNKNOWN)));
    EXPECT_FALSE(info->property("ComputerName").toString().isEmpty());
    EXPECT_FALSE(info->property("CurrentUser").toString().isEmpty());
    EXPECT_TRUE(info->property("ScreenResolution").toString().contains(" X "));
    EXPECT_GT(info->property("ScreenPixelWidth").toInt(), 0);
    EXPECT_GE(info->property("MaxScreenColors").toDouble(), 2.0);
}

TEST(SysmarrPlugin, SoundServerCountsAsASoundCard) {
    const auto info = create("Sysmarr.SystemInfo");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->property("HasSoundCard"), QVariant(-1));
}

TEST(SysmarrPlugin, LocaleSettingsByName) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const auto settings = create(kLocaleSettingsClsid);
    ASSERT_NE(settings, nullptr);
    QString name;
    ASSERT_TRUE(QMetaObject::invokeMethod(settings.get(), "DayName", Q_RETURN_ARG(QString, name),
                                          Q_ARG(short, 7)));
    EXPECT_EQ(name, "Sunday");
    ASSERT_TRUE(QMetaObject::invokeMethod(settings.get(), "MonthName", Q_RETURN_ARG(QString, name),
                                          Q_ARG(short, 2)));
    EXPECT_EQ(name, "February");
    EXPECT_EQ(settings->property("DateFormat"), QVariant("dd/MM/yyyy"));
    EXPECT_EQ(settings->property("CurrencySpecifier"), QVariant("£"));
    EXPECT_EQ(settings->property("Country"), QVariant("United Kingdom"));
    QLocale::setDefault(saved);
}
