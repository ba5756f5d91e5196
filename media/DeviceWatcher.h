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

    explicit DeviceWatcher(QObject* parent = nullptr);
    ~DeviceWatcher() override;

    // Takes the current list and starts watching; false when no device provider could start.
    bool start();
    void stop();
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

    GstDeviceMonitor* m_monitor = nullptr;
    std::shared_ptr<BusBridge> m_bridge;
    QTimer m_settle;
    QStringList m_names;
};

} // namespace media
