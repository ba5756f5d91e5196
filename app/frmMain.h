#pragma once

#include "app/SilenceAlarm.h"
#include "platform/Clock.h"
#include "platform/EventLog.h"
#include "platform/Prompts.h"

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QButtonGroup;
class QComboBox;
class QFileInfo;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSystemTrayIcon;
class QTimer;
class Tavlo;
class SignalCloser;
namespace media {
class DeviceWatcher;
}
namespace meter {
class Indicator;
}
namespace util {
class clsFileFolder;
class clsStartup;
} // namespace util
namespace sysmarr {
class ISystemInfo;
}

// The main window: owns the two loggers and the meters, keeps the settings, runs start-up and
// shut-down, and hands recording from one logger to the other at every file change.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // --- Life ---
    bool Loading() const { return m_loading; }
    bool Initialising() const { return m_initialising; }
    bool Activated() const { return m_activated; }
    // Closes without asking (Exit, the program itself); the loggers stop first.
    void closeWithoutAsking();
    // A signal asks the program to end: every prompt is closed unanswered, and the window closes
    // without asking as soon as no recording is being built or stopped. Past a deadline the
    // process ends regardless.
    void terminateRequested(int signal);
    bool Unloaded() const { return m_unloaded; }
    // What the process exits with once the window has gone: 1 when it unloaded because recording
    // could not be set up, else 0.
    int exitStatus() const { return m_exitStatus; }
    // The first activation (normally run when the window is first shown).
    void Form_Activate();

    // --- Settings ---
    QString AudioPath();
    void setAudioPath(const QString& path);
    int Interval();
    void setInterval(int index);
    int Profile() const;
    void setProfile(int profile);
    int AutoDeleteDays() const;
    void setAutoDeleteDays(int days);
    bool AutoStart();
    void setAutoStart(bool on);
    bool LaunchAtStartup();
    void setLaunchAtStartup(bool on);
    double WhenLastStarted() const;
    void setWhenLastStarted();
    double WhenLastClosed() const;
    void setWhenLastClosed();
    int MaxClients() const;
    void setMaxClients(int clients);
    int PortNumber() const;
    void setPortNumber(int port);
    bool UseStreaming() const;
    void setUseStreaming(bool on);
    bool AbnormalTermination() const;
    // The silence alarm ([Alarms]): the level in dBFS below which both channels count as silent
    // (the lowest, -90, turns it off) and how many seconds of it raise the alarm.
    int SilenceThreshold() const;
    void setSilenceThreshold(int dBFS);
    int SilenceSeconds() const;
    void setSilenceSeconds(int seconds);
    void EnableControls(bool enable);

    // --- Recording control ---
    Tavlo* Tavrel(int index) const { return m_tavrel[index]; }
    void GetLoggers(Tavlo*& active, Tavlo*& next) const;
    bool StartLogger(Tavlo* logger = nullptr);
    void StopLoggers();
    bool AnyLoggerRecording() const;
    void FillFormatList();
    void FillProfileList();
    void FillEncoderList();
    void FillDeviceList();
    void ConfigureMp3Encoder();
    // The day folder of the moment below the audio path exists afterwards, or false.
    bool MakeTodaysFolder(const QDateTime& moment = platform::Clock::now());

    // --- Old recordings, disk space, tray ---
    // Deletes the recordings (*.mp3, *.wma) below the audio path last written more than
    // AutoDeleteDays calendar days before today; never a folder, never a file a logger holds.
    void DeleteOldFiles();
    bool DeletingFiles() const { return m_deletingFiles; }
    // Drive figures, time left, the full-disk stop and the streaming notice.
    void UpdateDiskSpace();
    // Megabytes written per second at a rate in kbit/s (above 10000: bit/s); never 0.
    static double MegabytesPerSecond(double rate);
    // Where UpdateDiskSpace reads the free and the total megabytes of the volume holding a path;
    // each writes the path back as the volume's mount point. A negative or non-finite answer is a
    // failed query. Unless replaced, both ask the system-information component.
    struct DriveSizes {
        std::function<double(QString& drive)> freeMegaBytes;
        std::function<double(QString& drive)> totalMegaBytes;
    };
    void setDriveSizes(DriveSizes sizes) { m_driveSizes = std::move(sizes); }
    // What the tray shows: empty before the first countdown event, then "normal" or "Stopped".
    QString TrayState() const { return m_trayState; }
    // Whether the desktop shows tray icons; a minimised window hides only when it does, so it can
    // always be brought back.
    std::function<bool()> trayAvailable;

    // --- Handlers ---
    void cmdRecord_Click();
    void cmdStopRec_Click();
    void cmdPath_Click();
    void cmdOpen_Click();
    void cboFormat_Click();
    void cboProFile_Click();
    void cboRecDevice_Click();
    void optInterval_Click(int index);
    void mnuExit_Click();
    void TrayICon_LeftButtonUp();
    void Tavrel_AddingNetworkSink(int index);
    void Tavrel_CountingDowntoInterval(int index, int secondsLeft);
    void Tavrel_IntervalReached(int index);
    void Tavrel_Timing(int index, double currentPos);
    void Tavrel_AudioPeaks(int index, int leftPeak, int rightPeak);
    void Tavrel_PlayStateChanged(int index, int oldState, int newState);
    // A logger's file could not be written (no space, an I/O error, its folder gone): the file
    // is already ended as far as it was written and that logger is stopped.
    void Tavrel_WriteFailed(int index, int kind, const QString& text);

    // The meter value for a peak: a gain of 1 dB, rounded half to even, times three.
    static int MeterValue(int peak);

    // Controls, named as the rest of the program names them.
    QPushButton* cmdRecord;
    QPushButton* cmdStopRec;
    QPushButton* cmdOpen;
    QPushButton* cmdPath;
    QComboBox* cboFormat;
    QComboBox* cboProFile;
    QComboBox* cboRecDevice;
    std::array<QRadioButton*, 5> optInterval;
    QGroupBox* Frame3;
    QLabel* lblElapsed;
    QLabel* lblEventCountDown;
    QLabel* lblLogChange;
    QLabel* lblPath;
    QLabel* lblAvailSpace;
    QLabel* lblStreaming;
    // What went wrong with the capture device while no file records; hidden otherwise.
    QLabel* lblDeviceStatus;
    // The silence under way on the input being recorded, with the time it began; hidden otherwise.
    QLabel* lblSilence;
    QProgressBar* PBarSpace;
    meter::Indicator* IndL;
    meter::Indicator* IndR;
    QAction* mnuExit;
    QAction* mnuAutoDelete;
    QAction* mnuSilenceLevel;
    QAction* mnuSilenceSeconds;
    QAction* mnuSilenceOff;
    QMenu* mnuStream;
    QAction* mnuStreamUse;
    QAction* mnuStreamPort;
    QAction* mnuStreamMaxClients;
    QAction* mnuStartup;
    QAction* mnuAutoStart;
    QSystemTrayIcon* TrayICon = nullptr;

signals:
    // The window has unloaded; the program ends with it.
    void unloaded();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // A message with an OK button only: shown, never waited for.
    static void message(const QString& text, const QString& title = {},
                        platform::PromptIcon icon = platform::PromptIcon::None);
    // Long routines (load, starts, stops, file changes) run inside one: a close that arrives
    // meanwhile waits until the outermost has returned.
    class BusyScope {
    public:
        explicit BusyScope(frmMain& window);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        frmMain& m_window;
    };

    bool userConfirmsClose();
    // Starts `next` on a new file while `previous` still records, then stops `previous` (the two
    // overlap briefly, so nothing is lost at the join); when `next` cannot start, `previous` on a
    // new file. Shows the countdown while one of them records, and tells the event.
    bool startNextFile(Tavlo* next, Tavlo* previous, const QString& why);
    void finaliseRecordingsOfTheLastRun(double lastStarted);
    // The capture device vanished mid-recording: told, and retried every two seconds until it is
    // back, when recording resumes in a new file.
    void captureDeviceLost(const QString& file, const QString& text);
    void retryLostDevice();
    // Devices plugged in or out while the program runs are followed in the device list.
    void startWatchingDevices();
    void stopWatchingDevices();
    void refreshDeviceList();
    void showDeviceNamesKeepingSelection();
    void readDeviceLists();
    void resumeLostDeviceIfListed();
    // Stop, Record and close end the wait for a lost device.
    void forgetLostDevice();
    // The file the recording logger writes, empty when none records.
    QString currentRecording() const;
    // An event for the log and the user's alarm command.
    void raiseEvent(const QString& event, platform::LogLevel level, const QString& message);
    void buildControls();
    void buildMenus();
    void createMeters(QWidget* parent);
    void connectLoggers();
    void Form_Load();
    void reportInitialiseFailure(int code);
    void reportStartupForMeasurement();
    void Form_Unload();
    void selectListIndex(QComboBox* list, int index, void (frmMain::*handler)());
    util::clsFileFolder& fileFolder();
    util::clsStartup& startup();
    bool anyLoggerNotStopped() const;
    void showRestartNotice() const;
    void setCountdownLabelsVisible(bool visible);
    void deleteRecordingsOlderThan(int days);
    bool heldByALogger(const QFileInfo& file) const;
    static bool safeToDeleteBelow(const QString& folder);
    sysmarr::ISystemInfo* systemInfo();
    DriveSizes systemDriveSizes();
    bool readDriveSizes(QString& drive);
    void showDiskFigures(const QString& drive);
    QString timeLeftText() const;
    // True when the drive stayed full after old recordings went, and recording stopped.
    bool stopWhenStillFull(QString& drive);
    void showStreamingNotice();
    void refreshTrayState();
    void mnuAutoDelete_Click();
    void mnuStreamUse_Click();
    void mnuStreamPort_Click();
    void mnuStreamMaxClients_Click();
    void mnuStartup_Click();
    void mnuAutoStart_Click();
    void mnuSilenceLevel_Click();
    void mnuSilenceSeconds_Click();
    void mnuSilenceOff_Click();
    void createSilenceAlarm();
    void followSilenceWatch();
    void watchPeaksForSilence(int index, int leftPeak, int rightPeak);
    void silenceChanged(SilenceAlarm::Change change);
    void showSilence(bool silent);
    void showSilenceSettings();
    void setBusyCursor(bool busy);
    // The number in a typed answer, written the way the user's locale writes numbers; nothing
    // for an empty answer, text, or something that is not a finite number.
    static std::optional<double> numberIn(const QString& answer);
    // Rounded half to even, and kept within what a whole-number setting can hold.
    static int wholeNumber(double value);
    bool m_busyCursor = false;

    std::array<Tavlo*, 2> m_tavrel;
    std::unique_ptr<util::clsFileFolder> m_fileFolder;
    std::unique_ptr<util::clsStartup> m_startup;
    std::unique_ptr<QObject> m_systemInfoObject;
    sysmarr::ISystemInfo* m_systemInfo = nullptr;
    bool m_systemInfoTried = false;
    DriveSizes m_driveSizes;
    std::optional<qint64> m_freeMegaBytes;
    std::optional<qint64> m_totalMegaBytes;
    QString m_trayState;
    bool m_deletingFiles = false;
    SignalCloser* m_signalCloser;
    QList<QWidget*> m_controls;
    bool m_loading = false;
    bool m_initialising = false;
    bool m_activated = false;
    bool m_closingWithoutAsking = false;
    bool m_closing = false;
    bool m_askingToClose = false;
    bool m_terminating = false;
    bool m_closePending = false;
    int m_busyDepth = 0;
    QString m_lostDevice;
    QTimer* m_deviceRetry;
    SilenceAlarm m_silenceAlarm;
    QTimer* m_silenceCheck = nullptr;
    QDateTime m_silenceBegan;
    media::DeviceWatcher* m_deviceWatcher = nullptr;
    QTimer* m_deviceRefresh; // single shot: the device list is read again when it fires
    // Set when the window has unloaded; the deadline a signal starts looks at it.
    std::shared_ptr<std::atomic<bool>> m_closedInTime = std::make_shared<std::atomic<bool>>(false);
    int m_exitStatus = 0;
    bool m_unloaded = false;
    bool m_revertingProfile = false;
    bool m_inCountdown = false;
    int m_timingCount = 0;
    bool m_changingFiles = false; // a file change is handing recording from one logger to the other
};
