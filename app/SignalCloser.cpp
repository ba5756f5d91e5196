#include "app/SignalCloser.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalSockets[2] = {-1, -1};
constexpr int kClosingSignals[] = {SIGTERM, SIGINT, SIGHUP};
} // namespace

SignalCloser::SignalCloser(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0)
        return;
    m_notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalCloser::readSignal);
    struct sigaction action = {};
    action.sa_handler = &SignalCloser::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int closing : kClosingSignals)
        sigaction(closing, &action, nullptr);
}

SignalCloser::~SignalCloser() {
    for (int closing : kClosingSignals)
        signal(closing, SIG_DFL);
    if (signalSockets[0] >= 0) {
        ::close(signalSockets[0]);
        ::close(signalSockets[1]);
        signalSockets[0] = signalSockets[1] = -1;
    }
}

// Only async-signal-safe work here: one byte down the socket.
void SignalCloser::onSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

void SignalCloser::readSignal() {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(signalSockets[1], &byte, 1);
    emit closeRequested(static_cast<unsigned char>(byte));
}
