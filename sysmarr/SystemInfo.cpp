#include "sysmarr/SystemInfo.h"

#include "media/DeviceEnumerator.h"
#include "sysmarr/DriveClassifier.h"
#include "sysmarr/Megabytes.h"
#include "sysmarr/Volume.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace sysmarr {

namespace {

short asShort(int value) {
    return static_cast<short>(std::clamp(value, 0, 32767));
}

// The screen's size in device pixels (its logical size times its pixel ratio).
QSize devicePixels(const QScreen* screen) {
    return screen->geometry().size() * screen->devicePixelRatio();
}

} // namespace

SystemInfo::SystemInfo(QObject* parent) : QObject(parent), m_version(OsVersion::running()) {}

// --- Disks ------------------------------------------------------------------------------------

Volume SystemInfo::volumeOf(QString& Drive) {
    Volume volume(Drive);
    if (volume.isValid())
        Drive = volume.mountPoint();
    return volume;
}

Volume SystemInfo::volumeRecordingErrors(QString& Drive) {
    m_systemErrorCode = 0;
    Volume volume = volumeOf(Drive);
    m_systemErrorCode = volume.error();
    return volume;
}

double SystemInfo::FreeMegaBytesOnDisk(QString& Drive) {
    const Volume volume = volumeRecordingErrors(Drive);
    if (!volume.isValid())
        return kSizeUnavailable;
    return megabytesOf(volume.unitBytes(), volume.availableUnits());
}

double SystemInfo::TotalMegaBytesOnDisk(QString& Drive) {
    const Volume volume = volumeRecordingErrors(Drive);
    if (!volume.isValid())
        return kSizeUnavailable;
    return megabytesOf(volume.unitBytes(), volume.totalUnits());
}

QVariant SystemInfo::VolumeName(QString& Drive) {
    return volumeOf(Drive).label();
}

DRIVE_TYPE SystemInfo::DriveType(QString& Drive) {
    const Volume volume = volumeRecordingErrors(Drive);
    if (!volume.isValid())
        return DRIVE_DOESNT_EXIST;
    return DriveClassifier::classify(volume.fileSystemType(),
                                     DriveClassifier::isRemovableDevice(volume.device()));
}

double SystemInfo::FreeMegaBytesOnDisk(const QString& Drive) {
    QString copy = Drive;
    return FreeMegaBytesOnDisk(copy);
}

double SystemInfo::FreeMegaBytesOnDisk() {
    return FreeMegaBytesOnDisk(QString());
}

double SystemInfo::TotalMegaBytesOnDisk(const QString& Drive) {
    QString copy = Drive;
    return TotalMegaBytesOnDisk(copy);
}

double SystemInfo::TotalMegaBytesOnDisk() {
    return TotalMegaBytesOnDisk(QString());
}

QVariant SystemInfo::VolumeName(const QString& Drive) {
    QString copy = Drive;
    return VolumeName(copy);
}

QVariant SystemInfo::VolumeName() {
    return VolumeName(QString());
}

DRIVE_TYPE SystemInfo::DriveType(const QString& Drive) {
    QString copy = Drive;
    return DriveType(copy);
}

// --- Machine ----------------------------------------------------------------------------------

int SystemInfo::HasSoundCard() {
    m_systemErrorCode = 0;
    return media::DeviceEnumerator::audioRenderers().isEmpty() ? 0 : -1;
}

QString SystemInfo::ComputerName() {
    return QSysInfo::machineHostName();
}

QString SystemInfo::CurrentUser() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    // A user missing from the password database (a container's numeric user) still has a name
    // in the environment, or at least a number.
    const QString fromEnvironment = qEnvironmentVariable("USER");
    return fromEnvironment.isEmpty() ? QString::number(::geteuid()) : fromEnvironment;
}

OS_VERSION SystemInfo::OSVersion() {
    if (m_version.error() != 0)
        m_systemErrorCode = m_version.error();
    return m_version.release();
}

// --- Memory -----------------------------------------------------------------------------------

MemoryStatus SystemInfo::memoryRecordingErrors() {
    m_systemErrorCode = 0;
    MemoryStatus status = MemoryStatus::read(m_memoryInfoFile);
    m_systemErrorCode = status.error();
    return status;
}

double SystemInfo::AvailablePhysicalMemory() {
    return megabytesOfKilobytes(memoryRecordingErrors().availablePhysicalKb());
}

double SystemInfo::TotalPhysicalMemory() {
    return megabytesOfKilobytes(memoryRecordingErrors().totalPhysicalKb());
}

double SystemInfo::AvailablePageFile() {
    return megabytesOfKilobytes(memoryRecordingErrors().freeSwapKb());
}

double SystemInfo::PageFileSize() {
    return megabytesOfKilobytes(memoryRecordingErrors().totalSwapKb());
}

double SystemInfo::AvailableMemory() {
    const MemoryStatus status = memoryRecordingErrors();
    return roundToHundredths(megabytesOfKilobytes(status.availablePhysicalKb()) +
                             megabytesOfKilobytes(status.freeSwapKb()));
}

double SystemInfo::TotalMemory() {
    const MemoryStatus status = memoryRecordingErrors();
    return roundToHundredths(megabytesOfKilobytes(status.totalPhysicalKb()) +
                             megabytesOfKilobytes(status.totalSwapKb()));
}

double SystemInfo::PercentMemoryFree() {
    const MemoryStatus status = memoryRecordingErrors();
    const double available = megabytesOfKilobytes(status.availablePhysicalKb()) +
                             megabytesOfKilobytes(status.freeSwapKb());
    const double total =
        megabytesOfKilobytes(status.totalPhysicalKb()) + megabytesOfKilobytes(status.totalSwapKb());
    if (total <= 0.0)
        return 0.0;
    return std::round(available / total * 100.0);
}

// --- Screen -----------------------------------------------------------------------------------

QScreen* SystemInfo::primaryScreen() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nullptr;
    return QGuiApplication::primaryScreen();
}

double SystemInfo::MaxScreenColors() {
    m_systemErrorCode = 0;
    const QScreen* screen = primaryScreen();
    if (!screen) {
        m_systemErrorCode = ENODEV;
        return 0.0;
    }
    return std::ldexp(1.0, screen->depth());
}

short SystemInfo::ScreenPixelWidth() {
    const QScreen* screen = primaryScreen();
    return screen ? asShort(devicePixels(screen).width()) : 0;
}

short SystemInfo::ScreenPixelHeight() {
    const QScreen* screen = primaryScreen();
    return screen ? asShort(devicePixels(screen).height()) : 0;
}

QString SystemInfo::ScreenResolution() {
    if (!primaryScreen())
        return {};
    return QStringLiteral("%1 X %2").arg(ScreenPixelWidth()).arg(ScreenPixelHeight());
}

} // namespace sysmarr
