// The main window's settings: its properties, each stored as it is set, and the menu entries
// that ask for them.
#include "app/frmMain.h"

#include "logger/Tavlo.h"
#include "platform/Clock.h"
#include "platform/Prompts.h"
#include "platform/Settings.h"
#include "util/clsFileFolder.h"
#include "util/clsStartup.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QStandardPaths>
#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

using platform::PromptAnswer;
using platform::PromptButtons;
using platform::PromptIcon;
using platform::Prompts;
using platform::Settings;

namespace {

const QString kSettings = QStringLiteral("Settings");
constexpr int kDefaultProfile = 6;
constexpr int kProfileCount = 7;
constexpr int kDefaultDeleteDays = 90;
constexpr int kHighestPort = 65535;
constexpr int kMostListeners = 50;

QString defaultAudioPath() {
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation) +
           QStringLiteral("/LoggedAudio/");
}

} // namespace

std::optional<double> frmMain::numberIn(const QString& answer) {
    bool isNumber = false;
    const double value = QLocale().toDouble(answer.trimmed(), &isNumber);
    if (!isNumber || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int frmMain::wholeNumber(double value) {
    return static_cast<int>(std::clamp(std::nearbyint(value), double(INT_MIN), double(INT_MAX)));
}

QString frmMain::AudioPath() {
    // An empty or relative stored path (edited by hand, or written by another tool) would make
    // everything relative to wherever the program happens to run: it reads as the default.
    QString path = Settings::getString(kSettings, QStringLiteral("AudioPath"), defaultAudioPath());
    if (path.trimmed().isEmpty() || QFileInfo(path).isRelative())
        path = defaultAudioPath();
    if (!QFileInfo(path).isDir()) {
        if (fileFolder().CreatePath(path))
            lblPath->setText(path);
        else
            message(QStringLiteral("Unable to make ") + path);
    } else {
        lblPath->setText(path);
    }
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

void frmMain::setAudioPath(const QString& path) {
    if (QFileInfo(path).isDir() || fileFolder().CreatePath(path)) {
        lblPath->setText(path);
        Settings::saveString(kSettings, QStringLiteral("AudioPath"), path);
    } else {
        message(QStringLiteral("Unable to make ") + path);
    }
    UpdateDiskSpace();
}

// A stored value outside the five choices reads as the first, so files always change.
int frmMain::Interval() {
    int index = Settings::getInt(kSettings, QStringLiteral("Interval"), 0);
    if (index < 0 || index >= static_cast<int>(optInterval.size()))
        index = 0;
    optInterval[index]->setChecked(true);
    optInterval_Click(index);
    return index;
}

void frmMain::setInterval(int index) {
    Settings::saveInt(kSettings, QStringLiteral("Interval"), index);
    m_tavrel[0]->setInterval(index);
    m_tavrel[1]->setInterval(index);
}

// A stored value that names no profile (edited by hand) reads as the default, so the list always
// shows what is recorded.
int frmMain::Profile() const {
    const int profile = Settings::getInt(kSettings, QStringLiteral("Profile"), kDefaultProfile);
    return profile >= 1 && profile <= kProfileCount ? profile : kDefaultProfile;
}

void frmMain::setProfile(int profile) {
    Settings::saveInt(kSettings, QStringLiteral("Profile"), profile);
    m_tavrel[0]->setProfile(profile);
    m_tavrel[1]->setProfile(profile);
}

int frmMain::AutoDeleteDays() const {
    const int days =
        Settings::getInt(kSettings, QStringLiteral("AutoDeleteDays"), kDefaultDeleteDays);
    return days < 1 ? kDefaultDeleteDays : days;
}

void frmMain::setAutoDeleteDays(int days) {
    Settings::saveInt(kSettings, QStringLiteral("AutoDeleteDays"), days);
}

bool frmMain::AutoStart() {
    const bool on = Settings::getBool(kSettings, QStringLiteral("AutoStart"), false);
    mnuAutoStart->setChecked(on);
    return on;
}

void frmMain::setAutoStart(bool on) {
    Settings::saveBool(kSettings, QStringLiteral("AutoStart"), on);
    mnuAutoStart->setChecked(on);
}

bool frmMain::LaunchAtStartup() {
    const bool on = startup().IsSetAtStartup();
    mnuStartup->setChecked(on);
    return on;
}

void frmMain::setLaunchAtStartup(bool on) {
    startup().LaunchAtStartUp(on);
    mnuStartup->setChecked(LaunchAtStartup());
}

double frmMain::WhenLastStarted() const {
    return Settings::getDate(kSettings, QStringLiteral("WhenLastStarted"), 0.0);
}

void frmMain::setWhenLastStarted() {
    Settings::saveDate(kSettings, QStringLiteral("WhenLastStarted"),
                       platform::Clock::nowAsDayNumber());
}

double frmMain::WhenLastClosed() const {
    return Settings::getDate(kSettings, QStringLiteral("WhenLastClosed"), 0.0);
}

void frmMain::setWhenLastClosed() {
    Settings::saveDate(kSettings, QStringLiteral("WhenLastClosed"),
                       platform::Clock::nowAsDayNumber());
}

bool frmMain::AbnormalTermination() const {
    const double started = WhenLastStarted();
    return started != 0.0 && WhenLastClosed() < started;
}

bool frmMain::anyLoggerNotStopped() const {
    return m_tavrel[0]->RecordState() != 0 || m_tavrel[1]->RecordState() != 0;
}

void frmMain::showRestartNotice() const {
    if (anyLoggerNotStopped())
        message(QStringLiteral("You must restart recording before the changes come into effect."));
}

int frmMain::MaxClients() const {
    return m_tavrel[0]->MaxClients();
}

void frmMain::setMaxClients(int clients) {
    m_tavrel[0]->setMaxClients(clients);
    m_tavrel[1]->setMaxClients(clients);
    showRestartNotice();
}

int frmMain::PortNumber() const {
    return m_tavrel[0]->PortNumber();
}

void frmMain::setPortNumber(int port) {
    m_tavrel[0]->setPortNumber(port);
    m_tavrel[1]->setPortNumber(port);
    showRestartNotice();
}

bool frmMain::UseStreaming() const {
    return m_tavrel[0]->UseStreaming();
}

void frmMain::setUseStreaming(bool on) {
    m_tavrel[0]->setUseStreaming(on);
    m_tavrel[1]->setUseStreaming(on);
    mnuStreamUse->setChecked(on);
    showRestartNotice();
}

void frmMain::mnuAutoDelete_Click() {
    const QString answer = Prompts::instance().inputBox(
        QStringLiteral(
            "Type the number of days after which audio \r\nfiles can be automatically "
            "deleted.\r\n\r\nIf you want to NEVER autodelete files, enter 1000 or more."),
        QStringLiteral("Auto - Delete: Number of Days."), QString::number(AutoDeleteDays()));
    const std::optional<double> number = numberIn(answer);
    if (!number)
        return;
    // Less than half a day rounds to 0 days, which would not be stored as typed: refused too.
    if (*number <= 0 || wholeNumber(*number) < 1) {
        message(QStringLiteral("Invalid!"));
        return;
    }
    setAutoDeleteDays(wholeNumber(*number));
}

void frmMain::mnuStreamUse_Click() {
    setUseStreaming(!UseStreaming());
}

void frmMain::mnuStreamPort_Click() {
    const QString answer = Prompts::instance().inputBox(
        QStringLiteral("Enter the port number on which to \r\nsend the WMA log stream."),
        QStringLiteral("Enter Public Port number."), QString::number(PortNumber()));
    const std::optional<double> number = numberIn(answer);
    if (!number)
        return;
    // A fraction that rounds to port 0 is no port either.
    if (*number <= 0 || *number > kHighestPort || wholeNumber(*number) < 1) {
        message(QStringLiteral("Invalid port number!"));
        return;
    }
    setPortNumber(wholeNumber(*number));
}

void frmMain::mnuStreamMaxClients_Click() {
    const QString answer = Prompts::instance().inputBox(
        QStringLiteral("Enter the maximum number of clients who may listen \r\n to the logger "
                       "wma stream."),
        QStringLiteral("Enter Max number of Listeners."), QString::number(MaxClients()));
    if (answer.isEmpty())
        return;
    std::optional<double> number = numberIn(answer);
    if (!number) {
        setMaxClients(MaxClients());
        return;
    }
    // Less than half a listener rounds to none: ignored like 0.
    if (*number <= 0 || wholeNumber(*number) < 1)
        return;
    if (*number > kMostListeners) {
        message(QStringLiteral("The maximum is 50!"));
        number = kMostListeners;
    }
    setMaxClients(wholeNumber(*number));
}

void frmMain::mnuStartup_Click() {
    if (LaunchAtStartup()) {
        setLaunchAtStartup(false);
        return;
    }
    setLaunchAtStartup(true);
    if (Prompts::instance().messageBox(QStringLiteral("Start Recording Automatically as well?"),
                                       QStringLiteral("AutoStart Recording Also?"),
                                       PromptButtons::YesNo, PromptIcon::None) == PromptAnswer::Yes)
        setAutoStart(true);
}

void frmMain::mnuAutoStart_Click() {
    setAutoStart(!AutoStart());
}
