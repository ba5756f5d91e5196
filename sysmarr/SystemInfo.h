#pragma once

#include "sysmarr/ISystemInfo.h"
#include "sysmarr/MemoryStatus.h"
#include "sysmarr/OsVersion.h"

#include <QObject>
#include <QString>
#include <QVariant>

class QScreen;

namespace sysmarr {

class Volume;

// Disks, memory, system version, screen and the machine's and user's names, asked of the system
// at each call. See ISystemInfo.h for the members; this class adds their late-bound names.
class SystemInfo : public QObject, public ISystemInfo {
    Q_OBJECT
    Q_INTERFACES(sysmarr::ISystemInfo)

    Q_PROPERTY(int HasSoundCard READ HasSoundCard)
    Q_PROPERTY(QString ComputerName READ ComputerName)
    Q_PROPERTY(QString CurrentUser READ CurrentUser)
    Q_PROPERTY(int OSVersion READ osVersionValue)
    Q_PROPERTY(double MaxScreenColors READ MaxScreenColors)
    Q_PROPERTY(short ScreenPixelWidth READ ScreenPixelWidth)
    Q_PROPERTY(short ScreenPixelHeight READ ScreenPixelHeight)
    Q_PROPERTY(QString ScreenResolution READ ScreenResolution)
    Q_PROPERTY(int SystemErrorCode READ SystemErrorCode)

public:
    static inline const QString kWindowsDir = QStringLiteral("/");
    static inline const QString kSystemDir = QStringLiteral("/usr/lib/");

    // Reads the system's version; nothing else is kept between calls.
    explicit SystemInfo(QObject* parent = nullptr);

    // ISystemInfo
    Q_INVOKABLE double FreeMegaBytesOnDisk(QString& Drive) override;
    Q_INVOKABLE double TotalMegaBytesOnDisk(QString& Drive) override;
    int HasSoundCard() override;
    QString ComputerName() override;
    QString CurrentUser() override;
    Q_INVOKABLE QVariant VolumeName(QString& Drive) override;
    sysmarr::OS_VERSION OSVersion() override;
    Q_INVOKABLE sysmarr::DRIVE_TYPE DriveType(QString& Drive) override;
    Q_INVOKABLE double AvailablePhysicalMemory() override;
    Q_INVOKABLE double TotalPhysicalMemory() override;
    Q_INVOKABLE double PercentMemoryFree() override;
    Q_INVOKABLE double AvailablePageFile() override;
    Q_INVOKABLE double PageFileSize() override;
    Q_INVOKABLE double AvailableMemory() override;
    Q_INVOKABLE double TotalMemory() override;
    double MaxScreenColors() override;
    short ScreenPixelWidth() override;
    short ScreenPixelHeight() override;
    QString ScreenResolution() override;
    int SystemErrorCode() override { return m_systemErrorCode; }
    Q_INVOKABLE QString WindowsDir() override { return kWindowsDir; }
    Q_INVOKABLE QString SystemDir() override { return kSystemDir; }

    // The drive members for callers with a drive text they do not want rewritten, and without
    // one at all (the current folder's volume).
    Q_INVOKABLE double FreeMegaBytesOnDisk(const QString& Drive);
    Q_INVOKABLE double FreeMegaBytesOnDisk();
    Q_INVOKABLE double TotalMegaBytesOnDisk(const QString& Drive);
    Q_INVOKABLE double TotalMegaBytesOnDisk();
    Q_INVOKABLE QVariant VolumeName(const QString& Drive);
    Q_INVOKABLE QVariant VolumeName();
    Q_INVOKABLE sysmarr::DRIVE_TYPE DriveType(const QString& Drive);

    int osVersionValue() { return OSVersion(); }

    // Where the memory members read the kernel's figures; tests point it at files of their own.
    void setMemoryInfoFile(const QString& file) { m_memoryInfoFile = file; }

private:
    // The volume holding Drive; a valid one's mount point is written back to Drive.
    static Volume volumeOf(QString& Drive);
    // The same, recording the query's errno in SystemErrorCode.
    Volume volumeRecordingErrors(QString& Drive);
    MemoryStatus memoryRecordingErrors();
    static QScreen* primaryScreen();

    const OsVersion m_version;
    int m_systemErrorCode = 0;
    QString m_memoryInfoFile = QStringLiteral("/proc/meminfo");
};

} // namespace sysmarr
