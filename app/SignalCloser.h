#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread, so that they close the
// program the orderly way: loggers stopped, files finalised, the close moment stored.
class SignalCloser : public QObject {
    Q_OBJECT
public:
    explicit SignalCloser(QObject* parent = nullptr);
    ~SignalCloser() override;

signals:
    void closeRequested(int signal);

private:
    static void onSignal(int signal);
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
