#include "platform/Settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QtDebug>

#include <cmath>
#include <mutex>
#include <optional>

namespace platform {

namespace {

std::mutex nameMutex;
QString explicitName;

QString executableBaseName() {
    QString path;
    if (QCoreApplication::instance())
        path = QCoreApplication::applicationFilePath();
    else
        path = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString name = QFileInfo(path).completeBaseName();
    return name.isEmpty() ? QStringLiteral("veltrax") : name;
}

QString keyPath(const QString& section, const QString& key) {
    return section + u'/' + key;
}

void syncOrWarn(QSettings& store) {
    store.sync();
    if (store.status() != QSettings::NoError)
        qWarning().noquote() << "Settings: could not write" << store.fileName();
}

std::optional<QString> readText(const QString& section, const QString& key) {
    QSettings store(Settings::filePath(), QSettings::IniFormat);
    const QVariant value = store.value(keyPath(section, key));
    if (!value.isValid())
        return std::nullopt;
    // A hand-edited value with bare commas comes back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

std::optional<double> parseDouble(const QString& text) {
    const QString trimmed = text.trimmed();
    QLocale user;
    user.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double value = user.toDouble(trimmed, &ok);
    if (!ok) {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::RejectGroupSeparator);
        value = c.toDouble(trimmed, &ok);
    }
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

QString Settings::applicationName() {
    {
        std::lock_guard lock(nameMutex);
        if (!explicitName.isEmpty())
            return explicitName;
    }
    return executableBaseName();
}

void Settings::setApplicationName(const QString& name) {
    std::lock_guard lock(nameMutex);
    explicitName = name;
}

QString Settings::filePath() {
    const QString app = applicationName();
    const QString configHome =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return configHome + u'/' + app + u'/' + app + QStringLiteral(".ini");
}

QString Settings::getString(const QString& section, const QString& key, const QString& def) {
    return readText(section, key).value_or(def);
}

void Settings::saveString(const QString& section, const QString& key, const QString& value) {
    QSettings store(filePath(), QSettings::IniFormat);
    // Stored as a plain string, which QSettings quotes when it holds a comma, so it reads back as
    // one string and not as a list.
    store.setValue(keyPath(section, key), value);
    syncOrWarn(store);
}

int Settings::getInt(const QString& section, const QString& key, int def) {
    const auto text = readText(section, key);
    if (!text)
        return def;
    bool ok = false;
    const int value = text->trimmed().toInt(&ok, 10);
    return ok ? value : def;
}

void Settings::saveInt(const QString& section, const QString& key, int value) {
    saveString(section, key, QString::number(value));
}

bool Settings::getBool(const QString& section, const QString& key, bool def) {
    const auto stored = readText(section, key);
    if (!stored)
        return def;
    const QString text = stored->trimmed();
    if (text.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = parseDouble(text))
        return *number != 0.0;
    return def;
}

void Settings::saveBool(const QString& section, const QString& key, bool value) {
    saveString(section, key, value ? QStringLiteral("True") : QStringLiteral("False"));
}

double Settings::getDate(const QString& section, const QString& key, double def) {
    const auto text = readText(section, key);
    if (!text)
        return def;
    return parseDouble(*text).value_or(def);
}

void Settings::saveDate(const QString& section, const QString& key, double dayNumber) {
    QLocale user;
    user.setNumberOptions(QLocale::OmitGroupSeparator);
    // The shortest text that reads back as the same double: milliseconds survive for any date.
    saveString(section, key, user.toString(dayNumber, 'f', QLocale::FloatingPointShortest));
}

bool Settings::contains(const QString& section, const QString& key) {
    QSettings store(filePath(), QSettings::IniFormat);
    return store.contains(keyPath(section, key));
}

void Settings::remove(const QString& section, const QString& key) {
    QSettings store(filePath(), QSettings::IniFormat);
    if (!store.contains(keyPath(section, key)))
        return;
    store.remove(keyPath(section, key));
    syncOrWarn(store);
}

} // namespace platform
