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
    // device again, even once the server is back. So the watcher starts afresh when the server's
    // socket is another one (looked at with the list); with a server that has no local socket,
    // this often. Each fresh start costs PulseAudio's provider about 90 bytes it never gives
    // back, so it is not done without a reason.
    static constexpr int kRenewMs = 60000;

    explicit DeviceWatcher(QObject* parent = nullptr);
    ~DeviceWatcher() override;

    // Takes the current list and starts watching; false when no device provider could start
    // (it is tried again at the next renewal).
    bool start();
    void stop();
    // Starts afresh at once, and tells a change.
    void renew();
    // Starts afresh when the sound server is not the one the providers were started with (it
    // restarted, or it was gone and is back); cheap enough to call often.
    void followServer();
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
    void look();
    // What tells one run of the sound server from another: its socket's device, inode and
    // change time; empty when there is no local socket.
    static QString serverIdentity();
    static QString serverSocket();

    GstDeviceMonitor* m_monitor = nullptr;
    std::shared_ptr<BusBridge> m_bridge;
    QTimer m_settle;
    QTimer m_look;
    QTimer m_renew;
    bool m_wanted = false;
    QString m_server; // serverIdentity() when the providers last started
    int m_looksUnwatched = 0;
    QStringList m_names;
};

} // namespace media
