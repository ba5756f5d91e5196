#include "app/frmMain.h"

#include "app/AppIcons.h"
#include "app/DurationText.h"
#include "app/RecordingNames.h"
#include "app/SignalCloser.h"
#include "logger/Tavlo.h"
#include "meter/Indicator.h"
#include "meter/MemoryPropertyBag.h"
#include "platform/Clock.h"
#include "platform/ComponentLoader.h"
#include "platform/Prompts.h"
#include "platform/Settings.h"
#include "sysmarr/ISystemInfo.h"
#include "util/cDirEx.h"
#include "util/clsFileFolder.h"
#include "util/clsStartup.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

using platform::PromptAnswer;
using platform::PromptButtons;
using platform::PromptIcon;
using platform::Prompts;
using platform::Settings;

namespace {

const QString kSettings = QStringLiteral("Settings");
constexpr int kDefaultProfile = 6;
constexpr int kDefaultDeleteDays = 90;
constexpr int kNeverDeleteDays = 1000;
constexpr int kHighestPort = 65535;
constexpr int kMostListeners = 50;
const QString kSystemInfoClass = QStringLiteral("{EF162785-6526-11D3-8017-00A0C93E2B7E}");
const QString kTrayRecording = QStringLiteral("normal");
const QString kTrayStopped = QStringLiteral("Stopped");
// kbit/s of the WMA profiles 1 to 7.
constexpr std::array<double, 7> kProfileRates = {28.8, 28.8, 32, 48, 64, 96, 128};
const QString kPluginInstallPage =
    QStringLiteral("https://gstreamer.freedesktop.org/documentation/installing/on-linux.html");

const QStringList kFormats = {QStringLiteral("Windows Media Audio (WMA)"),
                              QStringLiteral("MPEG Compression (MP3)")};
const QStringList kProfiles = {
    QStringLiteral("Mono Audio 28.8 Bitrate"), QStringLiteral("Stereo Audio 28.8 Bitrate"),
    QStringLiteral("Stereo Audio 32 Bitrate"), QStringLiteral("Stereo Audio 48 Bitrate"),
    QStringLiteral("Stereo Audio 64 Bitrate"), QStringLiteral("Stereo Audio 96 Bitrate"),
    QStringLiteral("Stereo Audio 128 Bitrate")};
const QStringList kEncoders = {QStringLiteral("Lame Encoder"),
                               QStringLiteral("Configure Bitrate, etc")};
const QStringList kIntervals = {QStringLiteral("Hour"), QStringLiteral("Two Hours"),
                                QStringLiteral("Four Hours"), QStringLiteral("Eight hours"),
                                QStringLiteral("Day")};

void message(const QString& text, const QString& title = {}, PromptIcon icon = PromptIcon::None) {
    Prompts::instance().messageBox(text, title, PromptButtons::Ok, icon);
}

// The number in a typed answer, written the way the user's locale writes numbers; nothing for
// an empty answer, text, or something that is not a finite number.
std::optional<double> numberIn(const QString& answer) {
    bool isNumber = false;
    const double value = QLocale().toDouble(answer.trimmed(), &isNumber);
    if (!isNumber || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Rounded half to even, and kept within what a whole-number setting can hold.
int wholeNumber(double value) {
    return static_cast<int>(std::clamp(std::nearbyint(value), double(INT_MIN), double(INT_MAX)));
}

// A drive figure in whole megabytes, rounded half to even; nothing when the query failed.
std::optional<qint64> megabytesFrom(const std::function<double(QString&)>& query, QString& drive) {
    if (!query)
        return std::nullopt;
    const double megabytes = query(drive);
    if (!std::isfinite(megabytes) || megabytes < 0)
        return std::nullopt;
    return static_cast<qint64>(std::nearbyint(megabytes));
}

QString defaultAudioPath() {
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation) +
           QStringLiteral("/LoggedAudio/");
}

} // namespace

// --- Creation and layout --------------------------------------------------------------------

frmMain::frmMain(QWidget* parent) : QMainWindow(parent), m_signalCloser(new SignalCloser(this)) {
    setWindowTitle(QStringLiteral("Quorvia Veltrax"));
    setWindowIcon(AppIcons::windowIcon());
    trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
    m_driveSizes = systemDriveSizes();
    m_tavrel = {new Tavlo(this), new Tavlo(this)};
    buildControls();
    buildMenus();
    connectLoggers();
    connect(m_signalCloser, &SignalCloser::closeRequested, this, &frmMain::closeWithoutAsking);
    Form_Load();
}

frmMain::~frmMain() {
    setBusyCursor(false);
}

void frmMain::buildControls() {
    auto* central = new QWidget(this);
    auto* layout = new QGridLayout(central);

    auto* formatFrame = new QGroupBox(QStringLiteral("Recording Format"), central);
    auto* formatLayout = new QVBoxLayout(formatFrame);
    cboFormat = new QComboBox(formatFrame);
    formatLayout->addWidget(cboFormat);
    Frame3 = new QGroupBox(QStringLiteral("Recording Profile"), formatFrame);
    auto* profileLayout = new QVBoxLayout(Frame3);
    cboProFile = new QComboBox(Frame3);
    profileLayout->addWidget(cboProFile);
    formatLayout->addWidget(Frame3);
    formatLayout->addWidget(new QLabel(QStringLiteral("Input Device:"), formatFrame));
    cboRecDevice = new QComboBox(formatFrame);
    formatLayout->addWidget(cboRecDevice);

    auto* recorderFrame = new QGroupBox(QStringLiteral("Recorder"), central);
    auto* recorderLayout = new QGridLayout(recorderFrame);
    cmdRecord = new QPushButton(QStringLiteral("&Record"), recorderFrame);
    cmdStopRec = new QPushButton(QStringLiteral("&Stop Recording"), recorderFrame);
    lblElapsed = new QLabel(recorderFrame);
    lblLogChange = new QLabel(QStringLiteral("Next Log Change:"), recorderFrame);
    lblEventCountDown = new QLabel(recorderFrame);
    lblStreaming = new QLabel(recorderFrame);
    createMeters(recorderFrame);
    recorderLayout->addWidget(cmdRecord, 0, 0);
    recorderLayout->addWidget(cmdStopRec, 0, 1);
    recorderLayout->addWidget(lblElapsed, 1, 0, 1, 2);
    recorderLayout->addWidget(lblLogChange, 2, 0);
    recorderLayout->addWidget(lblEventCountDown, 2, 1);
    recorderLayout->addWidget(IndL, 3, 0, 1, 2);
    recorderLayout->addWidget(IndR, 4, 0, 1, 2);
    recorderLayout->addWidget(lblStreaming, 5, 0, 1, 2);

    auto* settingsFrame = new QGroupBox(QStringLiteral("Settings"), central);
    auto* settingsLayout = new QVBoxLayout(settingsFrame);
    settingsLayout->addWidget(new QLabel(QStringLiteral("New File Every:"), settingsFrame));
    auto* intervalGroup = new QButtonGroup(this);
    for (int i = 0; i < static_cast<int>(optInterval.size()); ++i) {
        optInterval[i] = new QRadioButton(kIntervals[i], settingsFrame);
        intervalGroup->addButton(optInterval[i], i);
        settingsLayout->addWidget(optInterval[i]);
    }
    connect(intervalGroup, &QButtonGroup::idClicked, this, &frmMain::optInterval_Click);

    auto* diskFrame = new QGroupBox(QStringLiteral("Audio Disk Properties"), central);
    auto* diskLayout = new QVBoxLayout(diskFrame);
    lblPath = new QLabel(diskFrame);
    cmdPath = new QPushButton(QStringLiteral("..."), diskFrame);
    cmdOpen = new QPushButton(QStringLiteral("&Open Audio Folder"), diskFrame);
    PBarSpace = new QProgressBar(diskFrame);
    lblAvailSpace = new QLabel(diskFrame);
    lblAvailSpace->setWordWrap(true);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(lblPath, 1);
    pathRow->addWidget(cmdPath);
    diskLayout->addLayout(pathRow);
    diskLayout->addWidget(cmdOpen);
    diskLayout->addWidget(PBarSpace);
    diskLayout->addWidget(lblAvailSpace);

    layout->addWidget(formatFrame, 0, 0);
    layout->addWidget(recorderFrame, 0, 1);
    layout->addWidget(settingsFrame, 1, 0);
    layout->addWidget(diskFrame, 1, 1);
    // The loggers host the network-sink controls; they have nothing to show.
    for (Tavlo* logger : m_tavrel) {
        logger->setFixedSize(1, 1);
        layout->addWidget(logger, 2, 0);
    }
    setCentralWidget(central);

    connect(cmdRecord, &QPushButton::clicked, this, &frmMain::cmdRecord_Click);
    connect(cmdStopRec, &QPushButton::clicked, this, &frmMain::cmdStopRec_Click);
    connect(cmdPath, &QPushButton::clicked, this, &frmMain::cmdPath_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &frmMain::cmdOpen_Click);
    connect(cboFormat, &QComboBox::activated, this, &frmMain::cboFormat_Click);
    connect(cboProFile, &QComboBox::activated, this, &frmMain::cboProFile_Click);
    connect(cboRecDevice, &QComboBox::activated, this, &frmMain::cboRecDevice_Click);

    m_controls = {cboFormat, cboProFile,    cboRecDevice,  cmdRecord,         cmdStopRec,
                  cmdPath,   cmdOpen,       lblElapsed,    lblEventCountDown, lblLogChange,
                  lblPath,   lblAvailSpace, lblStreaming,  PBarSpace,         formatFrame,
                  Frame3,    recorderFrame, settingsFrame, diskFrame};
    for (QRadioButton* option : optInterval)
        m_controls.append(option);
}

// The meters keep the colours the window was designed with (colours as 0x00BBGGRR).
void frmMain::createMeters(QWidget* parent) {
    IndL = new meter::Indicator(parent);
    IndR = new meter::Indicator(parent);
    IndL->loadProperties(meter::MemoryPropertyBag{{QStringLiteral("BrightGreen"), 0x00FF00},
                                                  {QStringLiteral("DimGreen"), 0x408080},
                                                  {QStringLiteral("DimYellow"), 0x008080},
                                                  {QStringLiteral("DimRed"), 0x008080},
                                                  {QStringLiteral("BackColor"), 0xCFCFCF}});
    IndR->loadProperties(meter::MemoryPropertyBag{{QStringLiteral("BrightGreen"), 0x00FF00},
                                                  {QStringLiteral("DimGreen"), 0x008080},
                                                  {QStringLiteral("DimYellow"), 0x008080},
                                                  {QStringLiteral("DimRed"), 0x008080},
                                                  {QStringLiteral("BackColor"), 0xCFCFCF}});
}

void frmMain::buildMenus() {
    QMenu* mnuMirrun = menuBar()->addMenu(QStringLiteral("&Veltrax"));
    mnuExit = mnuMirrun->addAction(QStringLiteral("Exit Altogether"));
    mnuAutoDelete = mnuMirrun->addAction(QStringLiteral("Auto Delete Files"));
    mnuStream = mnuMirrun->addMenu(QStringLiteral("Streaming Options (wma only)"));
    mnuStreamUse = mnuStream->addAction(QStringLiteral("Provide Stream as well"));
    mnuStreamUse->setCheckable(true);
    mnuStreamPort = mnuStream->addAction(QStringLiteral("Use Port Number"));
    mnuStreamMaxClients = mnuStream->addAction(QStringLiteral("Max Client Connections"));
    mnuStartup = mnuMirrun->addAction(QStringLiteral("Launch at Windows Startup"));
    mnuStartup->setCheckable(true);
    mnuAutoStart = mnuMirrun->addAction(QStringLiteral("Auto Start Recording"));
    mnuAutoStart->setCheckable(true);

    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuAutoDelete, &QAction::triggered, this, &frmMain::mnuAutoDelete_Click);
    connect(mnuStreamUse, &QAction::triggered, this, &frmMain::mnuStreamUse_Click);
    connect(mnuStreamPort, &QAction::triggered, this, &frmMain::mnuStreamPort_Click);
    connect(mnuStreamMaxClients, &QAction::triggered, this, &frmMain::mnuStreamMaxClients_Click);
    connect(mnuStartup, &QAction::triggered, this, &frmMain::mnuStartup_Click);
    connect(mnuAutoStart, &QAction::triggered, this, &frmMain::mnuAutoStart_Click);
}

void frmMain::connectLoggers() {
    for (int i = 0; i < 2; ++i) {
        Tavlo* logger = m_tavrel[i];
        connect(logger, &Tavlo::AddingNetworkSink, this,
                [this, i] { Tavrel_AddingNetworkSink(i); });
        connect(logger, &Tavlo::CountingDowntoInterval, this,
                [this, i](int seconds) { Tavrel_CountingDowntoInterval(i, seconds); });
        connect(logger, &Tavlo::IntervalReached, this, [this, i] { Tavrel_IntervalReached(i); });
        connect(logger, &Tavlo::Timing, this,
                [this, i](double position) { Tavrel_Timing(i, position); });
        connect(logger, &Tavlo::AudioPeaks, this,
                [this, i](int left, int right) { Tavrel_AudioPeaks(i, left, right); });
        connect(logger, &Tavlo::PlayStateChanged, this, [this, i](int oldState, int newState) {
            Tavrel_PlayStateChanged(i, oldState, newState);
        });
    }
}

// --- Load, activation, close ------------------------------------------------------------------

void frmMain::Form_Load() {
    m_loading = true;
    TrayICon = new QSystemTrayIcon(windowIcon(), this);
    TrayICon->setToolTip(QStringLiteral("Veltrax"));
    connect(TrayICon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    TrayICon_LeftButtonUp();
            });
    TrayICon->show();
    setAutoStart(AutoStart());
    setLaunchAtStartup(LaunchAtStartup());
    UpdateDiskSpace();
    FillProfileList();
    setMaxClients(MaxClients());
    setPortNumber(PortNumber());
    setUseStreaming(UseStreaming());
    setAutoDeleteDays(AutoDeleteDays());
    if (AbnormalTermination()) {
        Prompts::instance().messageBox(
            QStringLiteral("Veltrax did not close properly.\r\n"
                           "Some of your encoder settings have been reset\r\n"
                           "in order to make sure the program can start."),
            QStringLiteral("Abnormal Program Termination Detected."), PromptButtons::Ok,
            PromptIcon::Information);
        m_tavrel[0]->ResetLameSettings();
        m_tavrel[1]->ResetLameSettings();
    }
    setWhenLastStarted();
    m_loading = false;
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Form_Activate();
}

void frmMain::Form_Activate() {
    if (m_activated || m_unloaded)
        return;
    EnableControls(false);
    setAudioPath(AudioPath());
    setInterval(Interval());
    m_activated = true;
    lblElapsed->setText(DurationText::FormatDuration(0));
    m_initialising = true;
    const int code = m_tavrel[0]->Initialise();
    FillDeviceList();
    FillFormatList();
    mnuStreamUse->setChecked(m_tavrel[0]->UseStreaming());
    mnuStreamUse->setEnabled(m_tavrel[0]->AudioFormat() == 0);
    if (code != 0) {
        reportInitialiseFailure(code);
        setBusyCursor(false);
        m_initialising = false;
        closeWithoutAsking();
        return;
    }
    EnableControls(true);
    m_initialising = false;
    reportStartupForMeasurement();
    if (AutoStart())
        StartLogger();
}

// Start-up benchmarks and end-to-end tests wait for this line before they measure or signal.
void frmMain::reportStartupForMeasurement() {
    if (!qEnvironmentVariableIsSet("VELTRAX_REPORT_STARTUP"))
        return;
    std::printf("veltrax: activated\n");
    std::fflush(stdout);
}

void frmMain::reportInitialiseFailure(int code) {
    Prompts& prompts = Prompts::instance();
    switch (code) {
    case 1:
        prompts.messageBox(QStringLiteral("No Audio Input devices found."), {}, PromptButtons::Ok,
                           PromptIcon::Critical);
        break;
    case 2:
        if (prompts.messageBox(
                QStringLiteral("Please install Windows Media Encoder to use this logger."),
                QStringLiteral("Press Yes to download now."), PromptButtons::YesNo,
                PromptIcon::Critical) == PromptAnswer::Yes)
            prompts.openExternal(QUrl(kPluginInstallPage));
        break;
    default:
        prompts.messageBox(QStringLiteral("Initialisation Error!"),
                           QStringLiteral("Error is: %1").arg(code), PromptButtons::Ok,
                           PromptIcon::Critical);
        break;
    }
}

void frmMain::closeWithoutAsking() {
    m_closingWithoutAsking = true;
    close();
}

void frmMain::mnuExit_Click() {
    closeWithoutAsking();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    if (!m_closingWithoutAsking &&
        Prompts::instance().messageBox(QStringLiteral("Really Close Veltrax altogether?"),
                                       QStringLiteral("Really Close?"), PromptButtons::YesNo,
                                       PromptIcon::Question) != PromptAnswer::Yes) {
        event->ignore();
        return;
    }
    m_closingWithoutAsking = false;
    StopLoggers();
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload() {
    setWhenLastClosed();
    if (TrayICon) {
        TrayICon->hide();
        QCoreApplication::processEvents();
        delete TrayICon;
        TrayICon = nullptr;
    }
    m_unloaded = true;
    emit unloaded();
}

// The window keeps its size: maximising is undone at once, and minimising puts it away in the
// tray (only where the desktop shows the tray icon, so it can always be brought back).
void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
    if (event->type() == QEvent::WindowStateChange) {
        if (windowState() & Qt::WindowMaximized)
            setWindowState(windowState() & ~Qt::WindowMaximized);
        else if ((windowState() & Qt::WindowMinimized) && TrayICon && trayAvailable &&
                 trayAvailable())
            hide();
    }
}

// A click on the tray icon brings the window back in front of the others.
void frmMain::TrayICon_LeftButtonUp() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void frmMain::refreshTrayState() {
    if (!TrayICon)
        return;
    if (AnyLoggerRecording()) {
        if (m_trayState.compare(kTrayRecording, Qt::CaseInsensitive) == 0)
            return;
        TrayICon->setIcon(windowIcon());
        TrayICon->setToolTip(QStringLiteral("Recording OK"));
        m_trayState = kTrayRecording;
    } else {
        if (m_trayState.compare(kTrayStopped, Qt::CaseInsensitive) == 0)
            return;
        TrayICon->setIcon(AppIcons::stoppedIcon());
        TrayICon->setToolTip(QStringLiteral("STOPPED!"));
        m_trayState = kTrayStopped;
    }
}

// --- Settings properties -----------------------------------------------------------------------

QString frmMain::AudioPath() {
    const QString path =
        Settings::getString(kSettings, QStringLiteral("AudioPath"), defaultAudioPath());
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

int frmMain::Profile() const {
    return Settings::getInt(kSettings, QStringLiteral("Profile"), kDefaultProfile);
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

void frmMain::setBusyCursor(bool busy) {
    if (busy == m_busyCursor)
        return;
    m_busyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void frmMain::EnableControls(bool enable) {
    setBusyCursor(!enable);
    if (!enable)
        QCoreApplication::processEvents();
    for (QWidget* control : m_controls)
        control->setEnabled(enable);
    for (QAction* entry : {mnuExit, mnuAutoDelete, mnuStreamUse, mnuStreamPort, mnuStreamMaxClients,
                           mnuStartup, mnuAutoStart})
        entry->setEnabled(enable);
    if (m_tavrel[0]->RecordState() == 2)
        cmdRecord->setEnabled(false);
    mnuStream->setEnabled(m_tavrel[0]->AudioFormat() == 0);
}

util::clsFileFolder& frmMain::fileFolder() {
    if (!m_fileFolder)
        m_fileFolder = std::make_unique<util::clsFileFolder>();
    return *m_fileFolder;
}

util::clsStartup& frmMain::startup() {
    if (!m_startup)
        m_startup = std::make_unique<util::clsStartup>();
    return *m_startup;
}

// --- Recording control -----------------------------------------------------------------------

void frmMain::GetLoggers(Tavlo*& active, Tavlo*& next) const {
    active = nullptr;
    next = m_tavrel[0];
    for (int i = 0; i < 2; ++i) {
        if (m_tavrel[i]->RecordState() == 2) {
            active = m_tavrel[i];
            next = m_tavrel[1 - i];
            return;
        }
    }
}

bool frmMain::AnyLoggerRecording() const {
    return m_tavrel[0]->RecordState() == 2 || m_tavrel[1]->RecordState() == 2;
}

bool frmMain::MakeTodaysFolder() {
    const QString folder = AudioPath() + RecordingNames::DayFolderName();
    return QFileInfo(folder).isDir() || fileFolder().CreatePath(folder);
}

bool frmMain::StartLogger(Tavlo* logger) {
    EnableControls(false);
    if (!logger) {
        Tavlo* active = nullptr;
        GetLoggers(active, logger);
    }
    if (!MakeTodaysFolder()) {
        message(QStringLiteral("Unable to create today's folder"), {}, PromptIcon::Critical);
        EnableControls(true);
        return false;
    }
    bool result = false;
    if (logger->RecordState() == 0) {
        const QString extension =
            m_tavrel[0]->AudioFormat() == 0 ? QStringLiteral(".wma") : QStringLiteral(".mp3");
        const QString path = RecordingNames::NewRecordingPath(AudioPath(), extension);
        if (logger->OutputFileName(path))
            result = logger->Record();
    }
    EnableControls(true);
    if (logger->RecordState() == 2)
        cmdRecord->setEnabled(false);
    return result;
}

void frmMain::StopLoggers() {
    EnableControls(false);
    lblStreaming->hide();
    m_tavrel[0]->StopRecording();
    m_tavrel[1]->StopRecording();
    m_tavrel[0]->OutputFileName(QString());
    m_tavrel[1]->OutputFileName(QString());
    EnableControls(true);
}

void frmMain::cmdRecord_Click() {
    m_tavrel[0]->StopRecording();
    m_tavrel[1]->StopRecording();
    m_tavrel[0]->setSynchronised(false);
    m_tavrel[1]->setSynchronised(false);
    if (!StartLogger()) {
        Prompts::instance().messageBox(
            QStringLiteral("Please check your settings"),
            QStringLiteral("It Was Not Possible To Start The Recording Process."),
            PromptButtons::Ok, PromptIcon::Critical);
    }
}

void frmMain::cmdStopRec_Click() {
    StopLoggers();
}

void frmMain::setCountdownLabelsVisible(bool visible) {
    lblEventCountDown->setVisible(visible);
    lblLogChange->setVisible(visible);
}

void frmMain::Tavrel_IntervalReached(int index) {
    if (m_tavrel[index]->RecordState() != 2)
        return;
    Tavlo* active = nullptr;
    Tavlo* next = nullptr;
    GetLoggers(active, next);
    if (active) {
        active->StopRecording();
        active->OutputFileName(QString());
        if (StartLogger(next))
            setCountdownLabelsVisible(next->RecordState() == 2);
        else if (StartLogger(active))
            setCountdownLabelsVisible(active->RecordState() == 2);
    }
    DeleteOldFiles();
}

void frmMain::Tavrel_CountingDowntoInterval(int index, int secondsLeft) {
    if (m_inCountdown)
        return;
    m_inCountdown = true;
    if (m_tavrel[index]->RecordState() == 2)
        lblEventCountDown->setText(DurationText::FormatDuration(std::abs(secondsLeft)));
    refreshTrayState();
    m_inCountdown = false;
}

void frmMain::Tavrel_Timing(int, double currentPos) {
    if (++m_timingCount % 10 == 0) {
        m_timingCount = 0;
        UpdateDiskSpace();
    }
    lblElapsed->setText(
        DurationText::FormatDuration(static_cast<qint64>(std::nearbyint(currentPos))));
}

int frmMain::MeterValue(int peak) {
    static const double oneDecibel = std::pow(10.0, 1.0 / 20.0);
    return 3 * static_cast<int>(std::nearbyint(peak * oneDecibel));
}

void frmMain::Tavrel_AudioPeaks(int, int leftPeak, int rightPeak) {
    if (!IndL->isVisible())
        return;
    IndL->setValue(MeterValue(leftPeak));
    IndR->setValue(MeterValue(rightPeak));
}

void frmMain::Tavrel_PlayStateChanged(int, int, int newState) {
    EnableControls(newState != 1);
    if (newState == 0) {
        lblElapsed->setText(DurationText::FormatDuration(0));
        cmdRecord->setEnabled(true);
    }
    if (newState == 2)
        cmdRecord->setEnabled(false);
    setCountdownLabelsVisible(newState == 2);
}

void frmMain::Tavrel_AddingNetworkSink(int index) {
    Tavlo* logger = m_tavrel[index];
    Tavlo* other = m_tavrel[1 - index];
    if (logger->AudioFormat() == 0 && logger->UseStreaming() && other->Streaming() &&
        !other->RemoveNetworkSink())
        message(QStringLiteral("Remove Network Sink Failed."));
}

// --- Lists ------------------------------------------------------------------------------------

// Selecting an entry in code runs the list's handler, as a click would.
void frmMain::selectListIndex(QComboBox* list, int index, void (frmMain::*handler)()) {
    list->blockSignals(true);
    list->setCurrentIndex(index);
    list->blockSignals(false);
    (this->*handler)();
}

void frmMain::FillFormatList() {
    cboFormat->blockSignals(true);
    cboFormat->clear();
    cboFormat->addItems(kFormats);
    cboFormat->blockSignals(false);
    selectListIndex(cboFormat, m_tavrel[0]->AudioFormat(), &frmMain::cboFormat_Click);
    m_tavrel[1]->setAudioFormat(m_tavrel[0]->AudioFormat());
}

void frmMain::FillProfileList() {
    cboProFile->blockSignals(true);
    cboProFile->clear();
    cboProFile->addItems(kProfiles);
    cboProFile->blockSignals(false);
    selectListIndex(cboProFile, Profile() - 1, &frmMain::cboProFile_Click);
    Frame3->setTitle(QStringLiteral("Recording Profile"));
}

void frmMain::FillEncoderList() {
    cboProFile->blockSignals(true);
    cboProFile->clear();
    cboProFile->addItems(kEncoders);
    cboProFile->blockSignals(false);
    selectListIndex(cboProFile, 0, &frmMain::cboProFile_Click);
    Frame3->setTitle(QStringLiteral("MPEG Audio Encoder"));
}

void frmMain::FillDeviceList() {
    cboRecDevice->blockSignals(true);
    cboRecDevice->clear();
    for (const auto& [name, device] : m_tavrel[0]->colCapture())
        cboRecDevice->addItem(device.name());
    cboRecDevice->setCurrentIndex(-1);
    cboRecDevice->blockSignals(false);
    const QString wanted = m_tavrel[0]->CaptureDeviceName();
    for (int i = 0; i < cboRecDevice->count(); ++i) {
        if (cboRecDevice->itemText(i).compare(wanted, Qt::CaseInsensitive) == 0) {
            selectListIndex(cboRecDevice, i, &frmMain::cboRecDevice_Click);
            return;
        }
    }
}

void frmMain::cboFormat_Click() {
    if (AnyLoggerRecording()) {
        message(QStringLiteral("Please stop recording first!"));
        return;
    }
    const int index = cboFormat->currentIndex();
    m_tavrel[0]->setAudioFormat(index);
    m_tavrel[1]->setAudioFormat(index);
    if (index == 1 && m_tavrel[0]->AudioFormat() != 1)
        selectListIndex(cboFormat, 0, &frmMain::cboFormat_Click);
    if (m_tavrel[0]->AudioFormat() == 1) {
        FillEncoderList();
        mnuStream->setEnabled(false);
    } else {
        FillProfileList();
        mnuStream->setEnabled(true);
    }
    UpdateDiskSpace();
}

void frmMain::cboProFile_Click() {
    if (m_revertingProfile)
        return;
    if (AnyLoggerRecording()) {
        message(QStringLiteral("Please stop recording first!"));
        m_revertingProfile = true;
        const int index = m_tavrel[0]->Profile() - 1;
        if (index >= 0 && index < cboProFile->count())
            selectListIndex(cboProFile, index, &frmMain::cboProFile_Click);
        m_revertingProfile = false;
        return;
    }
    const int index = cboProFile->currentIndex();
    if (m_tavrel[0]->AudioFormat() == 0) {
        if (m_tavrel[0]->Profile() != index + 1)
            setProfile(index + 1);
    } else if (!m_initialising && !m_loading && index == 1) {
        ConfigureMp3Encoder();
        selectListIndex(cboProFile, 0, &frmMain::cboProFile_Click);
    }
    UpdateDiskSpace();
}

void frmMain::cboRecDevice_Click() {
    if (AnyLoggerRecording()) {
        message(QStringLiteral("Please stop recording first!"));
        return;
    }
    m_tavrel[0]->setCaptureDeviceName(cboRecDevice->currentText());
    m_tavrel[1]->setCaptureDeviceName(m_tavrel[0]->CaptureDeviceName());
}

void frmMain::optInterval_Click(int index) {
    if (!m_initialising)
        setInterval(index);
}

void frmMain::ConfigureMp3Encoder() {
    // A scratch recording builds an MP3 graph so that the encoder exists to be shown.
    const QString scratch = QDir::temp().filePath(QStringLiteral("Settingup.mp3"));
    if (!m_tavrel[0]->OutputFileName(scratch)) {
        Prompts::instance().messageBox(QStringLiteral("The mp3 Graph could not be built"),
                                       QStringLiteral("Try the WMA codecs instead."),
                                       PromptButtons::Ok, PromptIcon::Information);
        return;
    }
    m_tavrel[0]->StopRecording();
    if (!m_tavrel[0]->ShowPropertyPage(this, QStringLiteral("Lame MPEG Layer III Audio Encoder2")))
        message(QStringLiteral("The Property Page For the Lame Encoder could not be shown."), {},
                PromptIcon::Critical);
    m_tavrel[0]->OutputFileName(QString());
    QFile::remove(scratch);
}

// --- Folders ------------------------------------------------------------------------------------

void frmMain::cmdPath_Click() {
    if (anyLoggerNotStopped()) {
        Prompts::instance().messageBox(QStringLiteral("Please Stop the recording first!"),
                                       QStringLiteral("Recording Must be Stopped First!"),
                                       PromptButtons::Ok, PromptIcon::Exclamation);
        return;
    }
    const QString folder =
        Prompts::instance().pickFolder(QStringLiteral("Veltrax Audio Path."), AudioPath());
    if (!folder.isEmpty())
        setAudioPath(folder);
}

void frmMain::cmdOpen_Click() {
    Prompts::instance().openExternal(QUrl::fromLocalFile(AudioPath()));
}

// --- Disk, deletion, menus --------------------------------------------------------------------

sysmarr::ISystemInfo* frmMain::systemInfo() {
    if (!m_systemInfoTried) {
        m_systemInfoTried = true;
        m_systemInfoObject.reset(platform::ComponentLoader::instance().create(kSystemInfoClass));
        m_systemInfo = qobject_cast<sysmarr::ISystemInfo*>(m_systemInfoObject.get());
    }
    return m_systemInfo;
}

// The drive figures as the system-information component gives them; NaN while it is missing.
frmMain::DriveSizes frmMain::systemDriveSizes() {
    const auto ask = [this](double (sysmarr::ISystemInfo::*member)(QString&)) {
        return [this, member](QString& drive) {
            sysmarr::ISystemInfo* info = systemInfo();
            return info ? (info->*member)(drive) : std::nan("");
        };
    };
    return {ask(&sysmarr::ISystemInfo::FreeMegaBytesOnDisk),
            ask(&sysmarr::ISystemInfo::TotalMegaBytesOnDisk)};
}

// A figure that cannot be read keeps the one read before. True when the free space was read now.
bool frmMain::readDriveSizes(QString& drive) {
    const std::optional<qint64> free = megabytesFrom(m_driveSizes.freeMegaBytes, drive);
    const std::optional<qint64> total = megabytesFrom(m_driveSizes.totalMegaBytes, drive);
    if (free)
        m_freeMegaBytes = free;
    if (total)
        m_totalMegaBytes = total;
    return free.has_value();
}

void frmMain::UpdateDiskSpace() {
    QString drive = AudioPath();
    const bool freeReadNow = readDriveSizes(drive);
    // Without figures there is nothing to show, and an unknown free space is no full disk.
    if (m_freeMegaBytes && m_totalMegaBytes) {
        showDiskFigures(drive);
        if (freeReadNow && *m_freeMegaBytes < 1)
            stopWhenStillFull(drive);
    }
    showStreamingNotice();
}

void frmMain::showDiskFigures(const QString& drive) {
    const qint64 free = *m_freeMegaBytes;
    const qint64 total = *m_totalMegaBytes;
    const int maximum = static_cast<int>(std::clamp<qint64>(total, 0, INT_MAX));
    PBarSpace->setRange(0, maximum);
    PBarSpace->setValue(static_cast<int>(std::clamp<qint64>(total - free, 0, maximum)));
    lblAvailSpace->setText(QStringLiteral("Total Size of Drive ") + drive + QStringLiteral(" = ") +
                           QString::number(total) + QStringLiteral(" Mb") + QStringLiteral(" | ") +
                           QStringLiteral("Space Free: ") + QStringLiteral(" is ") +
                           QString::number(free) + QStringLiteral(" Mb. ") + timeLeftText());
}

// How long recording can go on in the free space at the current rate.
QString frmMain::timeLeftText() const {
    const QString label = QStringLiteral(" Approx. Time Left: ");
    double rate = 0;
    switch (m_tavrel[0]->AudioFormat()) {
    case 1:
        rate = m_tavrel[0]->VBRMin();
        break;
    case 0: {
        const int profile = m_tavrel[0]->Profile();
        if (profile < 1 || profile > static_cast<int>(kProfileRates.size()))
            return label + QStringLiteral("Unknown.");
        rate = kProfileRates[profile - 1];
        break;
    }
    default:
        return {};
    }
    const double seconds = std::nearbyint(*m_freeMegaBytes / MegabytesPerSecond(rate));
    return label + DurationText::FormatDuration(static_cast<qint64>(seconds));
}

double frmMain::MegabytesPerSecond(double rate) {
    if (rate > 10000)
        rate /= 1000;
    const double bytes = std::nearbyint(rate * 1000 / 8);
    const double megabytes = bytes / 1024 * 60 / 1024 / 60;
    return megabytes == 0 ? 0.001 : megabytes;
}

// Less than a megabyte free: old recordings go first; if that does not free enough, recording
// stops.
void frmMain::stopWhenStillFull(QString& drive) {
    DeleteOldFiles();
    if (const std::optional<qint64> free = megabytesFrom(m_driveSizes.freeMegaBytes, drive))
        m_freeMegaBytes = free;
    if (*m_freeMegaBytes >= 1)
        return;
    StopLoggers();
    Prompts::instance().messageBox(QStringLiteral("Quorvia Logger Cannot Continue"),
                                   QStringLiteral("There is No Free Space on the Audio Drive."),
                                   PromptButtons::Ok, PromptIcon::Critical);
}

// While a logger records, the notice says whether it streams; otherwise it stays as it is.
void frmMain::showStreamingNotice() {
    Tavlo* active = nullptr;
    Tavlo* next = nullptr;
    GetLoggers(active, next);
    if (!active)
        return;
    if (active->Streaming()) {
        lblStreaming->setText(QStringLiteral("Streaming on Port %1").arg(active->PortNumber()));
        lblStreaming->show();
    } else {
        lblStreaming->hide();
    }
}

void frmMain::DeleteOldFiles() {
    if (m_deletingFiles)
        return;
    m_deletingFiles = true;
    const int days = AutoDeleteDays();
    if (days < kNeverDeleteDays)
        deleteRecordingsOlderThan(days);
    m_deletingFiles = false;
}

// The age of a file is counted in calendar days from the day it was last written to today; the
// times of day do not count.
void frmMain::deleteRecordingsOlderThan(int days) {
    util::cDirEx search;
    search.setCaseSensitive(false);
    search.setRecursiveSearch(true);
    search.SearchFile(AudioPath() + QStringLiteral("*.mp3,*.wma"), 0, 0);
    if (search.Count() <= 0)
        return;
    const QDate today = platform::Clock::now().date();
    for (const QString& path : search.NewEnum()) {
        const QFileInfo file(path);
        if (!file.isFile() || heldByALogger(file))
            continue;
        const QDate written = file.lastModified().date();
        if (written.isValid() && written.daysTo(today) > days)
            QFile::remove(path);
    }
}

// The file a logger records into stays, however old its date looks (a clock set forward, a file
// time from a wrong clock).
bool frmMain::heldByALogger(const QFileInfo& file) const {
    for (const Tavlo* logger : m_tavrel) {
        const QString held = logger->FileName();
        if (!held.isEmpty() && QFileInfo(held) == file)
            return true;
    }
    return false;
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
