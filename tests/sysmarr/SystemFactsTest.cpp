// Memory, version, screen, sound and names.
#include "media/DeviceEnumerator.h"
#include "sysmarr/MemoryStatus.h"
#include "sysmarr/OsVersion.h"
#include "sysmarr/SystemInfo.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <unistd.h>

using sysmarr::MemoryStatus;
using sysmarr::OsVersion;
using sysmarr::SystemInfo;

namespace {

const QByteArray kMeminfo = "MemTotal:       16303780 kB\n"
                            "MemFree:         1024000 kB\n"
                            "MemAvailable:    8151890 kB\n"
                            "Buffers:          412344 kB\n"
                            "SwapCached:            0 kB\n"
                            "SwapTotal:       2097148 kB\n"
                            "SwapFree:        1048574 kB\n"
                            "HugePages_Total:       0\n";

QString writeTemporary(QTemporaryDir& dir, const QByteArray& text) {
    const QString path = dir.filePath("meminfo");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return path;
}

} // namespace

TEST(MemoryStatus, ReadsTheKernelsFields) {
    const MemoryStatus status = MemoryStatus::parse(kMeminfo);
    ASSERT_TRUE(status.isValid());
    EXPECT_EQ(status.totalPhysicalKb(), 16303780u);
    EXPECT_EQ(status.availablePhysicalKb(), 8151890u);
    EXPECT_EQ(status.totalSwapKb(), 2097148u);
    EXPECT_EQ(status.freeSwapKb(), 1048574u);

    // Older kernels have no MemAvailable; a machine without swap lists none.
    const MemoryStatus old = MemoryStatus::parse("MemTotal: 2048 kB\nMemFree: 512 kB\n");
    ASSERT_TRUE(old.isValid());
    EXPECT_EQ(old.availablePhysicalKb(), 512u);
    EXPECT_EQ(old.totalSwapKb(), 0u);

    EXPECT_EQ(MemoryStatus::parse("garbage\n:\nMemFree: x kB\n").error(), ENODATA);
    EXPECT_EQ(MemoryStatus::read("/nonexistent/meminfo").error(), ENOENT);
}

TEST(SystemInfoMemory, FiguresSumsAndShareFromTheKernelsFields) {
    QTemporaryDir dir;
    SystemInfo info;
    info.setMemoryInfoFile(writeTemporary(dir, kMeminfo));

    EXPECT_EQ(info.TotalPhysicalMemory(), 15921.66);    // 16303780 kB
    EXPECT_EQ(info.AvailablePhysicalMemory(), 7960.83); // 8151890 kB
    EXPECT_EQ(info.PageFileSize(), 2048.0);             // 2097148 kB = 2047.996 MB
    EXPECT_EQ(info.AvailablePageFile(), 1024.0);        // 1048574 kB
    EXPECT_EQ(info.TotalMemory(), 17969.66);
    EXPECT_EQ(info.AvailableMemory(), 8984.83);
    EXPECT_EQ(info.PercentMemoryFree(), 50.0); // exactly half
    EXPECT_EQ(info.SystemErrorCode(), 0);
}

TEST(SystemInfoMemory, UnreadableOrEmptyStatusGivesZeroAndTheError) {
    QTemporaryDir dir;
    SystemInfo info;
    info.setMemoryInfoFile(dir.filePath("absent"));
    EXPECT_EQ(info.TotalPhysicalMemory(), 0.0);
    EXPECT_EQ(info.SystemErrorCode(), ENOENT);
    EXPECT_EQ(info.PercentMemoryFree(), 0.0); // no division by zero
    EXPECT_EQ(info.SystemErrorCode(), ENOENT);

    info.setMemoryInfoFile(writeTemporary(dir, "MemTotal: 0 kB\n"));
    EXPECT_EQ(info.PercentMemoryFree(), 0.0);
    EXPECT_EQ(info.SystemErrorCode(), 0);
}

TEST(SystemInfoMemory, RealFiguresAgreeWithTheKernel) {
    SystemInfo info;
    const double pages = static_cast<double>(::sysconf(_SC_PHYS_PAGES));
    const double pageBytes = static_cast<double>(::sysconf(_SC_PAGESIZE));
    EXPECT_NEAR(info.TotalPhysicalMemory(), pages * pageBytes / 1048576.0, 0.01);
    EXPECT_EQ(info.SystemErrorCode(), 0);
    EXPECT_NEAR(info.TotalMemory(), info.TotalPhysicalMemory() + info.PageFileSize(), 0.011);
    const double available = info.AvailablePhysicalMemory();
    EXPECT_GT(available, 0.0);
    EXPECT_LE(available, info.TotalPhysicalMemory());
    const double percent = info.PercentMemoryFree();
    EXPECT_GE(percent, 0.0);
    EXPECT_LE(percent, 100.0);
    EXPECT_EQ(percent, std::round(percent));
}

TEST(OsVersion, WindowsNumbersAndEverythingElse) {
    using P = OsVersion::Platform;
    EXPECT_EQ(OsVersion(P::Win32s, 3, 11).release(), sysmarr::OS_WINDOWS_3X);
    EXPECT_EQ(OsVersion(P::WindowsNT, 3, 51).release(), sysmarr::OS_WINDOWS_NT3X);
    EXPECT_EQ(OsVersion(P::Windows, 3, 0).release(), sysmarr::OS_WINDOWS_UNKNOWN);
    EXPECT_EQ(OsVersion(P::Windows, 4, 0).release(), sysmarr::OS_WINDOWS_95);
    EXPECT_EQ(OsVersion(P::Windows, 4, 10).release(), sysmarr::OS_WINDOWS_98);
    EXPECT_EQ(OsVersion(P::WindowsNT, 4, 0).release(), sysmarr::OS_WINDOWS_NT40);
    EXPECT_EQ(OsVersion(P::WindowsNT, 5, 1).release(), sysmarr::OS_WINDOWS_2000);
    EXPECT_EQ(OsVersion(P::WindowsNT, 6, 0).release(), sysmarr::OS_WINDOWS_UNKNOWN);
    // A Linux kernel 4.x or 5.x is no Windows 95 or 2000.
    EXPECT_EQ(OsVersion(P::Other, 4, 0).release(), sysmarr::OS_WINDOWS_UNKNOWN);
    EXPECT_EQ(OsVersion(P::Other, 5, 1).release(), sysmarr::OS_WINDOWS_UNKNOWN);

    const OsVersion running = OsVersion::running();
    EXPECT_EQ(running.error(), 0);
    EXPECT_GE(running.majorVersion(), 2);
    SystemInfo info;
    EXPECT_EQ(info.OSVersion(), sysmarr::OS_WINDOWS_UNKNOWN);
}

TEST(SystemInfoScreen, PrimaryScreenInDevicePixels) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    SystemInfo info;
    const QSize pixels = screen->geometry().size() * screen->devicePixelRatio();
    EXPECT_GT(info.ScreenPixelWidth(), 0);
    EXPECT_EQ(info.ScreenPixelWidth(), pixels.width());
    EXPECT_EQ(info.ScreenPixelHeight(), pixels.height());
    EXPECT_EQ(info.ScreenResolution(), QString("%1 X %2").arg(pixels.width()).arg(pixels.height()));
    EXPECT_EQ(info.MaxScreenColors(), std::ldexp(1.0, screen->depth()));
    EXPECT_EQ(info.SystemErrorCode(), 0);
}

TEST(SystemInfoSound, AnyAudioOutputDeviceCounts) {
    SystemInfo info;
    media::DeviceEnumerator::overrideRenderers(QList<media::FilterItem>{});
    EXPECT_EQ(info.HasSoundCard(), 0);
    media::DeviceEnumerator::overrideRenderers(
        QList<media::FilterItem>{media::FilterItem("Speakers", {})});
    EXPECT_EQ(info.HasSoundCard(), -1);
    EXPECT_EQ(info.SystemErrorCode(), 0);
    media::DeviceEnumerator::overrideRenderers(std::nullopt);
}

TEST(SystemInfoNames, HostAndUser) {
    SystemInfo info;
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(info.ComputerName(), QString::fromLocal8Bit(host));
    EXPECT_FALSE(info.CurrentUser().isEmpty());
    if (::geteuid() == 0) {
        EXPECT_EQ(info.CurrentUser(), "root");
    }
}
