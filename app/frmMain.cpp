#include "app/frmMain.h"

#include "app/AppIcons.h"
#include "app/DurationText.h"
#include "app/RecordingNames.h"
#include "app/SignalCloser.h"
#include "engine/frmLameProps.h"
#include "logger/Tavlo.h"
#include "meter/Indicator.h"
#include "meter/MemoryPropertyBag.h"
#include "platform/AlarmHook.h"
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
#include <QScopedValueRollback>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <thread>

using platform::PromptAnswer;
using platform::PromptButtons;
using platform::PromptIcon;
using platform::Prompts;
using platform::Settings;

namespace {

const QString kTrayRecording = QStringLiteral("normal");
const QString kTrayStopped = QStringLiteral("Stopped");
const QString kTraySilence = QStringLiteral("Silence");
// How long the ending logger records on once the next one records. Without this wait a join
// loses about 90 ms in WMA (a new file's first frames do not decode) and repeats about 60 ms in
// MP3 (bench_file_change_gap); with it, WMA joins repeat about 160 to 230 ms and MP3 joins about
// 310 ms: no loss, with room for a slower start, and well short of the half second a join may
// repeat.
constexpr auto kHandOverOverlap = std::chrono::milliseconds(250);
constexpr int kDeviceRetryMs = 2000;
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

QString recordStateName(int state) {
    switch (state) {
    case 0:
        return QStringLiteral("stopped");
    case 1:
        return QStringLiteral("building");
    case 2:
        return QStringLiteral("recording");
    case 3:
        return QStringLiteral("ready");
    default:
        return QStringLiteral("failed (%1)").arg(state);
    }
}

} // namespace

void frmMain::message(const QString& text, const QString& title, PromptIcon icon) {
    Prompts::instance().messageBox(text, title, PromptButtons::Ok, icon);
}

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
    connect(m_signalCloser, &SignalCloser::closeRequested, this, &frmMain::terminateRequested);
    m_deviceRetry = new QTimer(this);
    m_deviceRetry->setInterval(kDeviceRetryMs);
    connect(m_deviceRetry, &QTimer::timeout, this, &frmMain::retryLostDevice);
    createSilenceAlarm();
    m_deviceRefresh = new QTimer(this);
    m_deviceRefresh->setSingleShot(true);
    connect(m_deviceRefresh, &QTimer::timeout, this, &frmMain::refreshDeviceList);
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
    lblDeviceStatus = new QLabel(recorderFrame);
    lblDeviceStatus->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    lblDeviceStatus->hide();
    lblSilence = new QLabel(recorderFrame);
    lblSilence->setStyleSheet(
        QStringLiteral("color: white; background: #c05000; font-weight: bold; padding: 2px;"));
    lblSilence->hide();
    createMeters(recorderFrame);
    recorderLayout->addWidget(cmdRecord, 0, 0);
    recorderLayout->addWidget(cmdStopRec, 0, 1);
    recorderLayout->addWidget(lblElapsed, 1, 0, 1, 2);
    recorderLayout->addWidget(lblLogChange, 2, 0);
    recorderLayout->addWidget(lblEventCountDown, 2, 1);
    recorderLayout->addWidget(IndL, 3, 0, 1, 2);
    recorderLayout->addWidget(IndR, 4, 0, 1, 2);
    recorderLayout->addWidget(lblSilence, 5, 0, 1, 2);
    recorderLayout->addWidget(lblStreaming, 6, 0, 1, 2);
    recorderLayout->addWidget(lblDeviceStatus, 7, 0, 1, 2);

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
    mnuSilenceLevel = mnuMirrun->addAction(QStringLiteral("Silence Alarm Level..."));
    mnuSilenceSeconds = mnuMirrun->addAction(QStringLiteral("Silence Alarm Time..."));
    mnuSilenceOff = mnuMirrun->addAction(QStringLiteral("Silence Alarm Off"));
    mnuSilenceOff->setCheckable(true);
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
    connect(mnuSilenceLevel, &QAction::triggered, this, &frmMain::mnuSilenceLevel_Click);
    connect(mnuSilenceSeconds, &QAction::triggered, this, &frmMain::mnuSilenceSeconds_Click);
    connect(mnuSilenceOff, &QAction::triggered, this, &frmMain::mnuSilenceOff_Click);
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
        connect(logger, &Tavlo::WriteFailed, this,
                [this, i](int kind, const QString& text) { Tavrel_WriteFailed(i, kind, text); });
    }
}

// --- Load, activation, close ------------------------------------------------------------------

void frmMain::Form_Load() {
    BusyScope busy(*this);
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
        raiseEvent(QStringLiteral("abnormal-termination"), platform::LogLevel::Warning,
                   QStringLiteral("The last run did not close properly; the MP3 encoder settings "
                                  "are reset"));
        Prompts::instance().messageBox(
            QStringLiteral("Veltrax did not close properly.\r\n"
                           "Some of your encoder settings have been reset\r\n"
                           "in order to make sure the program can start."),
            QStringLiteral("Abnormal Program Termination Detected."), PromptButtons::Ok,
            PromptIcon::Information);
        m_tavrel[0]->ResetLameSettings();
        m_tavrel[1]->ResetLameSettings();
        finaliseRecordingsOfTheLastRun(WhenLastStarted());
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
    BusyScope busy(*this);
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
        raiseEvent(QStringLiteral("recording-failed"), platform::LogLevel::Error,
                   QStringLiteral("The recorder could not be set up (code %1)").arg(code));
        reportInitialiseFailure(code);
        setBusyCursor(false);
        m_initialising = false;
        m_exitStatus = 1;
        closeWithoutAsking();
        return;
    }
    EnableControls(true);
    m_initialising = false;
    startWatchingDevices();
    reportStartupForMeasurement();
    if (AutoStart()) {
        if (StartLogger())
            raiseEvent(QStringLiteral("recording-started"), platform::LogLevel::Info,
                       QStringLiteral("Recording started by itself"));
        else
            raiseEvent(QStringLiteral("recording-failed"), platform::LogLevel::Error,
                       QStringLiteral("Recording could not start by itself"));
    }
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
    if (!m_lostDevice.isEmpty() && !AnyLoggerRecording()) {
        TrayICon->setIcon(AppIcons::stoppedIcon());
        TrayICon->setToolTip(lblDeviceStatus->text());
        m_trayState = kTrayStopped;
        return;
    }
    if (AnyLoggerRecording() && m_silenceAlarm.silent()) {
        TrayICon->setIcon(AppIcons::silenceIcon());
        TrayICon->setToolTip(lblSilence->text());
        m_trayState = kTraySilence;
        return;
    }
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
    for (QAction* entry :
         {mnuExit, mnuAutoDelete, mnuSilenceLevel, mnuSilenceSeconds, mnuSilenceOff, mnuStreamUse,
          mnuStreamPort, mnuStreamMaxClients, mnuStartup, mnuAutoStart})
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

bool frmMain::MakeTodaysFolder(const QDateTime& moment) {
    const QString folder = AudioPath() + RecordingNames::DayFolderName(moment);
    return QFileInfo(folder).isDir() || fileFolder().CreatePath(folder);
}

bool frmMain::StartLogger(Tavlo* logger) {
    if (m_unloaded)
        return false; // a routine that outlived the window starts nothing
    BusyScope busy(*this);
    EnableControls(false);
    if (!logger) {
        Tavlo* active = nullptr;
        GetLoggers(active, logger);
    }
    // One reading of the clock names both the folder and the file in it.
    const QDateTime now = platform::Clock::now();
    if (!MakeTodaysFolder(now)) {
        message(QStringLiteral("Unable to create today's folder"), {}, PromptIcon::Critical);
        EnableControls(true);
        return false;
    }
    bool result = false;
    if (logger->RecordState() == 0) {
        const QString extension =
            m_tavrel[0]->AudioFormat() == 0 ? QStringLiteral(".wma") : QStringLiteral(".mp3");
        const QString path = RecordingNames::NewRecordingPath(AudioPath(), extension, now);
        if (logger->OutputFileName(path))
            result = logger->Record();
    }
    EnableControls(true);
    if (logger->RecordState() == 2)
        cmdRecord->setEnabled(false);
    return result;
}

void frmMain::StopLoggers() {
    BusyScope busy(*this);
    forgetLostDevice();
    const QString stopped = currentRecording();
    EnableControls(false);
    lblStreaming->hide();
    m_tavrel[0]->StopRecording();
    m_tavrel[1]->StopRecording();
    m_tavrel[0]->OutputFileName(QString());
    m_tavrel[1]->OutputFileName(QString());
    EnableControls(true);
    if (!stopped.isEmpty())
        platform::AlarmHook::raise(QStringLiteral("recording-stopped"), platform::LogLevel::Info,
                                   QStringLiteral("Recording stopped"), stopped);
}

void frmMain::cmdRecord_Click() {
    BusyScope busy(*this);
    forgetLostDevice();
    m_tavrel[0]->StopRecording();
    m_tavrel[1]->StopRecording();
    m_tavrel[0]->setSynchronised(false);
    m_tavrel[1]->setSynchronised(false);
    if (StartLogger()) {
        raiseEvent(QStringLiteral("recording-started"), platform::LogLevel::Info,
                   QStringLiteral("Recording started"));
    } else {
        raiseEvent(QStringLiteral("recording-failed"), platform::LogLevel::Error,
                   QStringLiteral("Recording could not start"));
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
    BusyScope busy(*this);
    Tavlo* active = nullptr;
    Tavlo* next = nullptr;
    GetLoggers(active, next);
    if (active)
        startNextFile(next, active, QStringLiteral("File changed"));
    DeleteOldFiles();
}

// While `previous` still records, the change is start-then-stop: `next` starts on its file
// first, both record the same device for a moment, then `previous` stops and lets go of its
// graph, so that laid end to end the two files miss nothing of the input. When `next` cannot
// start, `previous` is stopped and started again on a new file, so that files still change on
// time. When `previous` no longer records (it failed), `next` starts, or else `previous` again.
bool frmMain::startNextFile(Tavlo* next, Tavlo* previous, const QString& why) {
    // A fault of the ending logger, met while the next one is being built, comes back here: the
    // change under way goes on and settles which logger records.
    if (m_changingFiles)
        return false;
    const QScopedValueRollback<bool> changing(m_changingFiles, true);
    Tavlo* recording = nullptr;
    if (previous->RecordState() == 2) {
        if (StartLogger(next)) {
            recording = next;
            // Both loggers record now, and GetLoggers would name Tavrel(0) the active one
            // whichever is ending; any handler asking it (levels, positions, the disk watch, the
            // streaming notice, a fault) could act on the wrong logger. So the overlap is
            // waited for here, without running the event loop: capture, encoding and writing go
            // on in the graphs' own threads, and what they post meanwhile is handled once only
            // `next` records.
            if (previous->RecordState() == 2)
                std::this_thread::sleep_for(kHandOverOverlap);
        }
        previous->StopRecording();
        previous->OutputFileName(QString());
        if (!recording && StartLogger(previous))
            recording = previous;
    } else {
        for (Tavlo* logger : {next, previous}) {
            if (StartLogger(logger)) {
                recording = logger;
                break;
            }
        }
    }
    if (!recording) {
        raiseEvent(QStringLiteral("recording-failed"), platform::LogLevel::Error,
                   why + QStringLiteral(": no new file could be started; recording has stopped"));
        return false;
    }
    // The ending logger's stop was announced after the new one's start: the window shows the
    // logger that records.
    const bool records = recording->RecordState() == 2;
    if (records)
        cmdRecord->setEnabled(false);
    setCountdownLabelsVisible(records);
    raiseEvent(QStringLiteral("file-changed"), platform::LogLevel::Info,
               why + QStringLiteral(": now recording ") + recording->FileName());
    return true;
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

void frmMain::Tavrel_AudioPeaks(int index, int leftPeak, int rightPeak) {
    watchPeaksForSilence(index, leftPeak, rightPeak);
    if (!IndL->isVisible())
        return;
    IndL->setValue(MeterValue(leftPeak));
    IndR->setValue(MeterValue(rightPeak));
}

void frmMain::Tavrel_PlayStateChanged(int index, int oldState, int newState) {
    platform::logLine(platform::LogLevel::Info,
                      QStringLiteral("Logger %1: %2 -> %3")
                          .arg(index)
                          .arg(recordStateName(oldState), recordStateName(newState)));
    EnableControls(newState != 1);
    if (newState == 0) {
        lblElapsed->setText(DurationText::FormatDuration(0));
        cmdRecord->setEnabled(true);
    }
    if (newState == 2)
        cmdRecord->setEnabled(false);
    setCountdownLabelsVisible(newState == 2);
    followSilenceWatch();
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
    BusyScope busy(*this);
    // A scratch recording builds an MP3 graph so that the encoder exists to be shown.
    const QString scratch = frmLameProps::ScratchFilePath();
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
    const QString folder = Prompts::instance().pickFolder(
        QStringLiteral("Choose a folder in which to store the audio."),
        QStringLiteral("Veltrax Audio Path."), AudioPath());
    if (!folder.isEmpty())
        setAudioPath(folder);
}

void frmMain::cmdOpen_Click() {
    Prompts::instance().openExternal(QUrl::fromLocalFile(AudioPath()));
}
