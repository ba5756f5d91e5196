#include "nexuvo/PeakThread.h"

#include <chrono>
#include <time.h>

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
    m_handle = m_thread.native_handle();
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

long long PeakThread::cpuTimeNs() const {
    std::lock_guard lock(m_mutex);
    clockid_t clock;
    timespec used{};
    if (!m_alive || pthread_getcpuclockid(m_handle, &clock) != 0 ||
        clock_gettime(clock, &used) != 0)
        return -1;
    return used.tv_sec * 1000000000LL + used.tv_nsec;
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
