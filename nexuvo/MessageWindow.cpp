#include "nexuvo/MessageWindow.h"

#include <QCoreApplication>
#include <QEvent>

#include <atomic>

namespace nexuvo {

namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The fields are published with release and read with acquire: the event crosses threads
// inside the event loop's own queue, whose locking the race detector cannot see.
class MessageEvent : public QEvent {
public:
    MessageEvent(int message, qintptr wParam) : QEvent(kMessageEvent) {
        m_message.store(message, std::memory_order_release);
        m_wParam.store(wParam, std::memory_order_release);
    }
    int message() const { return m_message.load(std::memory_order_acquire); }
    qintptr wParam() const { return m_wParam.load(std::memory_order_acquire); }

private:
    std::atomic<int> m_message{0};
    std::atomic<qintptr> m_wParam{0};
};

} // namespace

MessageWindow::MessageWindow(Receiver& receiver) : m_receiver(receiver) {
    setObjectName(QStringLiteral("Orvik MessageWindow"));
}

MessageWindow::~MessageWindow() = default;

void MessageWindow::post(int message, qintptr wParam) {
    QCoreApplication::postEvent(this, new MessageEvent(message, wParam));
}

bool MessageWindow::event(QEvent* event) {
    if (event->type() != kMessageEvent)
        return QObject::event(event);
    const auto* posted = static_cast<const MessageEvent*>(event);
    m_receiver.handleMessage(posted->message(), posted->wParam());
    return true;
}

} // namespace nexuvo
