#pragma once

#include <QObject>

namespace nexuvo {

// Receives the messages posted to it, from any thread, on the thread it lives on, in the order
// they were posted, and hands them to its receiver there. Messages still waiting when the window
// is destroyed are dropped.
class MessageWindow : public QObject {
    Q_OBJECT
public:
    class Receiver {
    public:
        virtual ~Receiver() = default;
        virtual void handleMessage(int message, qintptr wParam) = 0;
    };

    explicit MessageWindow(Receiver& receiver);
    ~MessageWindow() override;

    // Thread-safe; never waits for the message to be handled.
    void post(int message, qintptr wParam = 0);

protected:
    bool event(QEvent* event) override;

private:
    Receiver& m_receiver;
};

} // namespace nexuvo
