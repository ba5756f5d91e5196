#pragma once

#include <QString>
#include <QTemporaryDir>

// Gives a test a fresh per-user configuration and home folder, and the program's own
// application name in the settings store, for as long as it lives.
class SettingsSandbox {
public:
    SettingsSandbox();
    ~SettingsSandbox();
    QString home() const { return m_dir.path(); }
    QString configFolder() const;
    // The settings file as the program writes it.
    QString storeFile() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
    QByteArray m_oldHome;
};
