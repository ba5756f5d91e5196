#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace sysmarr {

// The kernel's memory figures, in kilobytes as /proc/meminfo gives them.
class MemoryStatus {
public:
    // Reads the status afresh; on failure the figures are 0 and error() holds the errno
    // (ENODATA when the file says nothing about the memory's size).
    static MemoryStatus read(const QString& file = QStringLiteral("/proc/meminfo"));
    // The figures in a text laid out as /proc/meminfo is ("MemTotal:  16303780 kB" …).
    static MemoryStatus parse(const QByteArray& text);

    bool isValid() const { return m_error == 0; }
    int error() const { return m_error; }

    // Memory that programs can have without swapping (MemAvailable; MemFree on kernels that do
    // not report it).
    std::uint64_t availablePhysicalKb() const { return m_availablePhysicalKb; }
    std::uint64_t totalPhysicalKb() const { return m_totalPhysicalKb; }
    std::uint64_t freeSwapKb() const { return m_freeSwapKb; }
    std::uint64_t totalSwapKb() const { return m_totalSwapKb; }

private:
    static MemoryStatus failed(int error);

    int m_error = 0;
    std::uint64_t m_availablePhysicalKb = 0;
    std::uint64_t m_totalPhysicalKb = 0;
    std::uint64_t m_freeSwapKb = 0;
    std::uint64_t m_totalSwapKb = 0;
};

} // namespace sysmarr
