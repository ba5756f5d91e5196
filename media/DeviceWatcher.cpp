#include "media/DeviceWatcher.h"

#include "media/DeviceEnumerator.h"

#include <gst/gst.h>
#include <mutex>

namespace media {

// The monitor's bus calls onBusMessage on the providers' threads, through this bridge, while
// the watcher is watching: stop() cuts the link under the same lock.
struct DeviceWatcher::BusBridge {
    std::mutex mutex;
    DeviceWatcher* watcher = nullptr;
};

DeviceWatcher::DeviceWatcher(QObject* parent) : QObject(parent) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &DeviceWatcher::compare);
    m_look.setInterval(kLookMs);
    connect(&m_look, &QTimer::timeout, this, &DeviceWatcher::compare);
    m_renew.setInterval(kRenewMs);
    connect(&m_renew, &QTimer::timeout, this, &DeviceWatcher::renew);
}

DeviceWatcher::~DeviceWatcher() {
    stop();
}

bool DeviceWatcher::start() {
    m_wanted = true;
    m_renew.start();
    if (m_monitor)
        return true;
    const bool watching = watch();
    if (watching)
        m_names = listedNames();
    return watching;
}

void DeviceWatcher::stop() {
    m_wanted = false;
    m_renew.stop();
    unwatch();
}

void DeviceWatcher::renew() {
    if (!m_wanted)
        return;
    unwatch();
    if (watch())
        compare();
}

bool DeviceWatcher::watch() {
    GstDeviceMonitor* monitor = DeviceEnumerator::newCaptureMonitor();
    m_bridge = std::make_shared<BusBridge>();
    m_bridge->watcher = this;
    GstBus* bus = gst_device_monitor_get_bus(monitor);
    gst_bus_set_sync_handler(bus, reinterpret_cast<GstBusSyncHandler>(&DeviceWatcher::onBusMessage),
                             new std::shared_ptr<BusBridge>(m_bridge), [](gpointer data) {
                                 delete static_cast<std::shared_ptr<BusBridge>*>(data);
                             });
    gst_object_unref(bus);
    m_monitor = monitor;
    if (!gst_device_monitor_start(monitor)) {
        release();
        return false;
    }
    m_look.start();
    return true;
}

void DeviceWatcher::unwatch() {
    m_settle.stop();
    m_look.stop();
    if (!m_monitor)
        return;
    gst_device_monitor_stop(m_monitor);
    release();
}

QStringList DeviceWatcher::listedNames() const {
    QStringList names;
    for (const DeviceEntry& entry : DeviceEnumerator::captureDevicesOf(m_monitor))
        names.append(entry.name);
    return names;
}

void DeviceWatcher::release() {
    {
        std::lock_guard lock(m_bridge->mutex);
        m_bridge->watcher = nullptr;
    }
    GstBus* bus = gst_device_monitor_get_bus(m_monitor);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(m_monitor);
    m_monitor = nullptr;
    m_bridge.reset();
}

// Every message is handled here and dropped.
int DeviceWatcher::onBusMessage(GstBus*, GstMessage* message, void* data) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_DEVICE_ADDED:
    case GST_MESSAGE_DEVICE_REMOVED:
    case GST_MESSAGE_DEVICE_CHANGED: {
        auto& bridge = *static_cast<std::shared_ptr<BusBridge>*>(data);
        std::lock_guard lock(bridge->mutex);
        if (bridge->watcher)
            QMetaObject::invokeMethod(bridge->watcher, &DeviceWatcher::deviceReported,
                                      Qt::QueuedConnection);
        break;
    }
    default:
        break;
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void DeviceWatcher::deviceReported() {
    if (m_monitor && !m_settle.isActive())
        m_settle.start();
}

void DeviceWatcher::compare() {
    if (!m_monitor)
        return;
    const QStringList names = listedNames();
    if (names == m_names)
        return;
    m_names = names;
    emit captureDevicesChanged(m_names);
}

} // namespace media
