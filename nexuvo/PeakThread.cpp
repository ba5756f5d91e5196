#include "nexuvo/PeakThread.h"

#include <chrono>

namespace nexuvo {

PeakThread::PeakThread(Period period, Pass pass)
    : m_period(std::move(period)), m_pass(std::move(pass)) {}

PeakThread::~PeakThread() {
    end();
}

void PeakThread::start() {
    std::lock_guard lock(m_mutex);
    if (m_alive || m_thread.joinable())
        return;
    m_alive = true;
    m_thread = std::thread(&PeakThread::loop, this);
}

void PeakThread::end() {
    {
        std::lock_guard lock(m_mutex);
        m_alive = false;
    }
    m_wake.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

bool PeakThread::running() const {
    std::lock_guard lock(m_mutex);
    return m_alive;
}

void PeakThread::loop() {
    std::unique_lock lock(m_mutex);
    while (m_alive) {
        const auto period = std::chrono::milliseconds(m_period());
        if (m_wake.wait_for(lock, period, [this] { return !m_alive; }))
            break;
        lock.unlock();
        m_pass();
        lock.lock();
    }
}

} // namespace nexuvo
