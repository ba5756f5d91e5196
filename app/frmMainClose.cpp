// How the main window closes: the user's close with its question, the program's own close, and
// the signals that end an unattended logger. A close never cuts into a routine that is building
// or stopping a recording: it waits until that routine has returned.
#include "app/frmMain.h"

#include "platform/AlarmHook.h"
#include "platform/EventLog.h"
#include "platform/Prompts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <unistd.h>

using platform::LogLevel;
using platform::PromptAnswer;
using platform::PromptButtons;
using platform::PromptIcon;
using platform::Prompts;

namespace {

// A signal's close that has not ended the program by then ends it at once: a logger that hangs
// on its way out would otherwise never be restarted by whatever supervises it.
constexpr auto kCloseDeadline = std::chrono::milliseconds(4500);

// `closed` is set once the window has unloaded: the close got there in time.
void endAtDeadline(std::shared_ptr<std::atomic<bool>> closed) {
    std::thread([closed = std::move(closed)] {
        std::this_thread::sleep_for(kCloseDeadline);
        if (closed->load())
            return;
        static const char line[] = "veltrax: the orderly close took too long; ending now\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line, sizeof line - 1);
        ::_exit(1);
    }).detach();
}

} // namespace

frmMain::BusyScope::BusyScope(frmMain& window) : m_window(window) {
    ++m_window.m_busyDepth;
}

frmMain::BusyScope::~BusyScope() {
    if (--m_window.m_busyDepth == 0 && m_window.m_closePending) {
        m_window.m_closePending = false;
        // Run from the event loop, once the routine that held the close has unwound.
        QTimer::singleShot(0, &m_window, [window = &m_window] {
            if (window->m_terminating)
                window->closeWithoutAsking();
            else
                window->close();
        });
    }
}

void frmMain::closeWithoutAsking() {
    m_closingWithoutAsking = true;
    close();
}

void frmMain::mnuExit_Click() {
    closeWithoutAsking();
}

void frmMain::terminateRequested(int signal) {
    platform::logLine(LogLevel::Info, QStringLiteral("Signal %1 (%2): closing")
                                          .arg(signal)
                                          .arg(QString::fromLocal8Bit(::strsignal(signal))));
    if (!m_terminating)
        endAtDeadline(m_closedInTime);
    m_terminating = true;
    Prompts::instance().closeAll();
    if (m_askingToClose)
        return; // the question returns unanswered and its close goes on
    if (m_busyDepth > 0) {
        m_closePending = true;
        return;
    }
    closeWithoutAsking();
}

bool frmMain::userConfirmsClose() {
    m_askingToClose = true;
    const PromptAnswer answer = Prompts::instance().messageBox(
        QStringLiteral("Really Close Veltrax altogether?"), QStringLiteral("Really Close?"),
        PromptButtons::YesNo, PromptIcon::Question);
    m_askingToClose = false;
    return answer == PromptAnswer::Yes || m_terminating;
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    if (m_closing) {
        event->ignore(); // the close under way goes on
        return;
    }
    if (!m_closingWithoutAsking) {
        if (m_busyDepth > 0 || m_askingToClose) {
            // The window's close box while a recording is being built: asked once it is done.
            m_closePending = m_busyDepth > 0;
            event->ignore();
            return;
        }
        if (!userConfirmsClose()) {
            event->ignore();
            return;
        }
    }
    m_closingWithoutAsking = false;
    m_closing = true;
    StopLoggers();
    Form_Unload();
    m_closing = false;
    event->accept();
}

void frmMain::Form_Unload() {
    stopWatchingDevices();
    setWhenLastClosed();
    if (TrayICon) {
        TrayICon->hide();
        QCoreApplication::processEvents();
        delete TrayICon;
        TrayICon = nullptr;
    }
    m_unloaded = true;
    m_closedInTime->store(true);
    platform::logLine(LogLevel::Info, QStringLiteral("Closed"));
    emit unloaded();
}
