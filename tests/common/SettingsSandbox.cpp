#include "SettingsSandbox.h"

#include "platform/Settings.h"

#include <QDir>

SettingsSandbox::SettingsSandbox()
    : m_oldConfig(qgetenv("XDG_CONFIG_HOME")), m_oldHome(qgetenv("HOME")) {
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configFolder()));
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    platform::Settings::setApplicationName(QStringLiteral("veltrax"));
}

SettingsSandbox::~SettingsSandbox() {
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("HOME", m_oldHome);
}

QString SettingsSandbox::configFolder() const {
    return m_dir.filePath(QStringLiteral("config"));
}

QString SettingsSandbox::storeFile() const {
    return platform::Settings::filePath();
}
