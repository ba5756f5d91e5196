// The capture devices while the program runs: the device list follows devices plugged in and
// out, and a device that vanished mid-recording is waited for and recording resumes on its return.
#include "app/frmMain.h"

#include "logger/Tavlo.h"
#include "media/DeviceWatcher.h"
#include "platform/AlarmHook.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>

namespace {
// A change reported while a routine builds or stops a recording is looked at this long after.
constexpr int kDeviceRefreshRetryMs = 100;
} // namespace

void frmMain::startWatchingDevices() {
    if (!m_deviceWatcher) {
        m_deviceWatcher = new media::DeviceWatcher(this);
        connect(m_deviceWatcher, &media::DeviceWatcher::captureDevicesChanged, this,
                [this] { m_deviceRefresh->start(0); });
    }
    if (!m_deviceWatcher->start())
        platform::logLine(platform::LogLevel::Warning,
                          QStringLiteral("Devices plugged in or out are not followed: no device "
                                         "provider could start"));
}

void frmMain::stopWatchingDevices() {
    m_deviceRefresh->stop();
    if (m_deviceWatcher)
        m_deviceWatcher->stop();
}

// Both loggers read the list again, so that whichever builds next finds a new device. While a
// file records, the list is shown without touching the selection (which names the device in
// use); otherwise it is filled as at start-up. A lost device that is back resumes at once.
void frmMain::refreshDeviceList() {
    if (m_unloaded || m_closing)
        return;
    if (m_busyDepth > 0) {
        m_deviceRefresh->start(kDeviceRefreshRetryMs);
        return;
    }
    readDeviceLists();
    if (AnyLoggerRecording())
        showDeviceNamesKeepingSelection();
    else
        FillDeviceList();
    QStringList names;
    for (int i = 0; i < cboRecDevice->count(); ++i)
        names.append(cboRecDevice->itemText(i));
    platform::logLine(platform::LogLevel::Info,
                      QStringLiteral("Capture devices: ") + names.join(QStringLiteral(", ")));
    resumeLostDeviceIfListed();
}

void frmMain::showDeviceNamesKeepingSelection() {
    const QString shown = cboRecDevice->currentText();
    const QSignalBlocker blocker(cboRecDevice);
    cboRecDevice->clear();
    for (const auto& [name, device] : m_tavrel[0]->colCapture())
        cboRecDevice->addItem(device.name());
    cboRecDevice->setCurrentIndex(cboRecDevice->findText(shown, Qt::MatchFixedString));
}

void frmMain::captureDeviceLost(const QString& file, const QString& text) {
    if (AnyLoggerRecording())
        return; // the other logger still records
    m_lostDevice = m_tavrel[0]->CaptureDeviceName();
    platform::AlarmHook::raise(
        QStringLiteral("device-lost"), platform::LogLevel::Error,
        QStringLiteral("Capture device lost: %1 (%2)").arg(m_lostDevice, text), file);
    lblDeviceStatus->setText(QStringLiteral("Capture device lost: ") + m_lostDevice);
    lblDeviceStatus->show();
    setCountdownLabelsVisible(false);
    refreshTrayState();
    m_deviceRetry->start();
}

void frmMain::retryLostDevice() {
    if (m_lostDevice.isEmpty() || m_unloaded || m_busyDepth > 0)
        return;
    readDeviceLists();
    resumeLostDeviceIfListed();
}

// Nothing is built, and so nothing can complain, until the device is listed again.
void frmMain::resumeLostDeviceIfListed() {
    if (m_lostDevice.isEmpty() || m_unloaded || m_busyDepth > 0 ||
        !m_tavrel[0]->colCapture().contains(m_lostDevice))
        return;
    BusyScope busy(*this);
    Tavlo* active = nullptr;
    Tavlo* next = nullptr;
    GetLoggers(active, next);
    if (active || !StartLogger(next))
        return;
    const QString device = m_lostDevice;
    forgetLostDevice();
    setCountdownLabelsVisible(true);
    raiseEvent(QStringLiteral("device-returned"), platform::LogLevel::Info,
               QStringLiteral("Capture device back: %1; recording resumes").arg(device));
    refreshTrayState();
}

// The device lists are read again (a device that returns may come back under another handle),
// for both loggers, so that whichever builds next finds it.
void frmMain::readDeviceLists() {
    if (m_deviceWatcher)
        m_deviceWatcher->followServer(); // the listings below share its providers
    for (Tavlo* logger : m_tavrel)
        logger->Initialise();
}

void frmMain::forgetLostDevice() {
    m_lostDevice.clear();
    m_deviceRetry->stop();
    lblDeviceStatus->hide();
    lblDeviceStatus->clear();
}
