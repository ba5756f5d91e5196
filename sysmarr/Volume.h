#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace sysmarr {

// The mounted volume that holds a path, as the system reports it at the moment of asking.
class Volume {
public:
    // Looks up the volume holding path; an empty path means the current folder.
    explicit Volume(const QString& path);

    // False when the path does not exist or its volume cannot be queried.
    bool isValid() const { return m_error == 0; }
    // The errno of the failed query; 0 for a valid volume.
    int error() const { return m_error; }

    // Where the volume is mounted, always ending in "/" ("/", "/dev/shm/"); empty when invalid.
    QString mountPoint() const { return m_mountPoint; }
    // The kernel's name for the file system ("ext4", "tmpfs", "nfs4" …).
    QByteArray fileSystemType() const { return m_fileSystemType; }
    // What is mounted: a device node ("/dev/sda1") or the file system's own source text.
    QByteArray device() const { return m_device; }
    // The file system's label; empty when it has none.
    QString label() const { return m_label; }

    // Allocation units: their size in bytes, how many the volume has, and how many a program
    // without administrator rights may still fill.
    std::uint64_t unitBytes() const { return m_unitBytes; }
    std::uint64_t totalUnits() const { return m_totalUnits; }
    std::uint64_t availableUnits() const { return m_availableUnits; }

private:
    bool readSpace(const QByteArray& nativePath);
    bool readMount(const QString& path);

    int m_error = 0;
    QString m_mountPoint;
    QByteArray m_fileSystemType;
    QByteArray m_device;
    QString m_label;
    std::uint64_t m_unitBytes = 0;
    std::uint64_t m_totalUnits = 0;
    std::uint64_t m_availableUnits = 0;
};

} // namespace sysmarr
