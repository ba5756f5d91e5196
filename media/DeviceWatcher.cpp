#include "media/DeviceWatcher.h"

#include "media/DeviceEnumerator.h"

#include <QFile>
#include <gst/gst.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

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
    connect(&m_look, &QTimer::timeout, this, &DeviceWatcher::look);
    m_renew.setInterval(kRenewMs);
    connect(&m_renew, &QTimer::timeout, this, &DeviceWatcher::renew);
}

DeviceWatcher::~DeviceWatcher() {
    stop();
}

bool DeviceWatcher::start() {
    m_wanted = true;
    m_look.start();
    if (serverSocket().isEmpty())
        m_renew.start();
    if (m_monitor)
        return true;
    m_server = serverIdentity();
    const bool watching = watch();
    if (watching)
        m_names = listedNames();
    return watching;
}

void DeviceWatcher::stop() {
    m_wanted = false;
    m_look.stop();
    m_renew.stop();
    unwatch();
}

void DeviceWatcher::renew() {
    if (!m_wanted)
        return;
    m_server = serverIdentity();
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
    return true;
}

void DeviceWatcher::unwatch() {
    m_settle.stop();
    if (!m_monitor)
        return;
    gst_device_monitor_stop(m_monitor);
    release();
}

// A start that failed (no server yet, or one that did not answer yet) is tried again with every
// tenth look as well.
void DeviceWatcher::followServer() {
    if (!m_wanted)
        return;
    const bool retry = !m_monitor && ++m_looksUnwatched % 10 == 0;
    if (retry || serverIdentity() != m_server)
        renew();
}

void DeviceWatcher::look() {
    followServer();
    compare();
}

// Where a PulseAudio client finds its server: PULSE_SERVER (its first entry, when that is a local
// socket), else the per-user runtime folder. PipeWire's PulseAudio server listens there too.
QString DeviceWatcher::serverSocket() {
    const QString servers = qEnvironmentVariable("PULSE_SERVER").trimmed();
    if (servers.isEmpty()) {
        QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            runtime = QStringLiteral("/run/user/%1").arg(::getuid());
        return runtime + QStringLiteral("/pulse/native");
    }
    QString first = servers.section(QLatin1Char(' '), 0, 0);
    if (first.startsWith(QLatin1Char('{')))
        first = first.section(QLatin1Char('}'), 1);
    if (first.startsWith(QLatin1String("unix:")))
        return first.mid(5);
    return first.startsWith(QLatin1Char('/')) ? first : QString();
}

QString DeviceWatcher::serverIdentity() {
    const QString socket = serverSocket();
    struct stat info {};
    if (socket.isEmpty() || ::stat(QFile::encodeName(socket).constData(), &info) != 0)
        return {};
    return QStringLiteral("%1:%2:%3.%4")
        .arg(info.st_dev)
        .arg(info.st_ino)
        .arg(info.st_ctim.tv_sec)
        .arg(info.st_ctim.tv_nsec);
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
