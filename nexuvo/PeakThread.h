#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace nexuvo {

// A worker that sleeps for a period, runs one pass, and so on until it is ended. Ending wakes it
// from its sleep, so end() returns as soon as a pass that is under way has finished.
class PeakThread {
public:
    using Period = std::function<int()>; // milliseconds, asked before every sleep
    using Pass = std::function<void()>;

    PeakThread(Period period, Pass pass);
    ~PeakThread();
    PeakThread(const PeakThread&) = delete;
    PeakThread& operator=(const PeakThread&) = delete;

    void start();
    // Idempotent; waits for the thread.
    void end();
    bool running() const;
    // CPU time the thread has used so far, in nanoseconds; −1 when it is not running.
    long long cpuTimeNs() const;

private:
    void loop();

    Period m_period;
    Pass m_pass;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_alive = false;
    std::thread m_thread;
    pthread_t m_handle{}; // of m_thread, for its CPU clock
};

} // namespace nexuvo
