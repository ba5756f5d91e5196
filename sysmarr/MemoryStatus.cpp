#include "sysmarr/MemoryStatus.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <optional>
#include <unistd.h>

namespace sysmarr {

namespace {

using Fields = std::map<QByteArray, std::uint64_t>;

// "Name:   1234 kB" lines by name; lines that do not read so are passed over.
Fields fieldsOf(const QByteArray& text) {
    Fields fields;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QList<QByteArray> words = line.mid(colon + 1).simplified().split(' ');
        bool isNumber = false;
        const std::uint64_t value = words.value(0).toULongLong(&isNumber);
        if (isNumber)
            fields[line.left(colon).trimmed()] = value;
    }
    return fields;
}

std::optional<std::uint64_t> field(const Fields& fields, const char* name) {
    const auto found = fields.find(QByteArray(name));
    if (found == fields.end())
        return std::nullopt;
    return found->second;
}

} // namespace

MemoryStatus MemoryStatus::read(const QString& file) {
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failed(errno);
    // /proc files report a size of 0, so read to the end rather than by size.
    QByteArray text;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got > 0) {
            text.append(chunk, got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        const int error = got < 0 ? errno : 0;
        ::close(fd);
        return error != 0 ? failed(error) : parse(text);
    }
}

MemoryStatus MemoryStatus::parse(const QByteArray& text) {
    const Fields fields = fieldsOf(text);
    const auto total = field(fields, "MemTotal");
    if (!total)
        return failed(ENODATA);
    MemoryStatus status;
    status.m_totalPhysicalKb = *total;
    status.m_availablePhysicalKb =
        field(fields, "MemAvailable").value_or(field(fields, "MemFree").value_or(0));
    status.m_totalSwapKb = field(fields, "SwapTotal").value_or(0);
    status.m_freeSwapKb = field(fields, "SwapFree").value_or(0);
    return status;
}

MemoryStatus MemoryStatus::failed(int error) {
    MemoryStatus status;
    status.m_error = error;
    return status;
}

} // namespace sysmarr
