#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>

typedef struct _GstDeviceMonitor GstDeviceMonitor;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

namespace media {

// Watches the machine's capture devices while it runs and tells its owner, on the owner's
// thread, when the list changed: a device plugged in or out, a sound server's device added,
// removed or renamed. Names are those of DeviceEnumerator::audioCaptureDevices(), without the
// test sources; a device that only another provider reports again changes nothing.
class DeviceWatcher : public QObject {
    Q_OBJECT
public:
    // Changes that arrive together are announced once, this long after the first.
    static constexpr int kSettleMs = 250;
    // The providers' own list is also looked at this often: PulseAudio's provider keeps it up to
    // date, but a device removed after the watcher started is not always announced on the bus.
    // Looking costs a copy of that list; nothing is probed.
    static constexpr int kLookMs = 1000;
    // A provider whose sound server went away keeps the list it had then and never hears of a
    // device again, even once the server is back; the watcher starts afresh this often.
    static constexpr int kRenewMs = 10000;

    explicit DeviceWatcher(QObject* parent = nullptr);
    ~DeviceWatcher() override;

    // Takes the current list and starts watching; false when no device provider could start
    // (it is tried again at the next renewal).
    bool start();
    void stop();
    // Starts afresh at once (after a fault of a sound server, say), and tells a change.
    void renew();
    bool isWatching() const { return m_monitor != nullptr; }

    // The list as last announced (or as found by start()).
    QStringList captureDeviceNames() const { return m_names; }

signals:
    void captureDevicesChanged(const QStringList& names);

private:
    struct BusBridge;
    static int onBusMessage(GstBus* bus, GstMessage* message, void* data);
    void deviceReported();
    void compare();
    void release();
    bool watch();
    void unwatch();
    QStringList listedNames() const;

    GstDeviceMonitor* m_monitor = nullptr;
    std::shared_ptr<BusBridge> m_bridge;
    QTimer m_settle;
    QTimer m_look;
    QTimer m_renew;
    bool m_wanted = false;
    QStringList m_names;
};

} // namespace media
