// The main window's disk watch and its deletion of old recordings.
#include "app/frmMain.h"

#include "app/DurationText.h"
#include "logger/Tavlo.h"
#include "platform/Clock.h"
#include "platform/ComponentLoader.h"
#include "platform/Prompts.h"
#include "sysmarr/ISystemInfo.h"
#include "util/cDirEx.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

using platform::PromptButtons;
using platform::PromptIcon;
using platform::Prompts;

namespace {

constexpr int kNeverDeleteDays = 1000;
const QString kSystemInfoClass = QStringLiteral("{EF162785-6526-11D3-8017-00A0C93E2B7E}");
// kbit/s of the WMA profiles 1 to 7.
constexpr std::array<double, 7> kProfileRates = {28.8, 28.8, 32, 48, 64, 96, 128};

// A drive figure in whole megabytes, rounded half to even; nothing when the query failed.
std::optional<qint64> megabytesFrom(const std::function<double(QString&)>& query, QString& drive) {
    if (!query)
        return std::nullopt;
    const double megabytes = query(drive);
    if (!std::isfinite(megabytes) || megabytes < 0)
        return std::nullopt;
    return static_cast<qint64>(std::nearbyint(megabytes));
}

} // namespace

sysmarr::ISystemInfo* frmMain::systemInfo() {
    if (!m_systemInfoTried) {
        m_systemInfoTried = true;
        m_systemInfoObject.reset(platform::ComponentLoader::instance().create(kSystemInfoClass));
        m_systemInfo = qobject_cast<sysmarr::ISystemInfo*>(m_systemInfoObject.get());
    }
    return m_systemInfo;
}

// The drive figures as the system-information component gives them; NaN while it is missing.
frmMain::DriveSizes frmMain::systemDriveSizes() {
    const auto ask = [this](double (sysmarr::ISystemInfo::*member)(QString&)) {
        return [this, member](QString& drive) {
            sysmarr::ISystemInfo* info = systemInfo();
            return info ? (info->*member)(drive) : std::nan("");
        };
    };
    return {ask(&sysmarr::ISystemInfo::FreeMegaBytesOnDisk),
            ask(&sysmarr::ISystemInfo::TotalMegaBytesOnDisk)};
}

// A figure that cannot be read keeps the one read before. True when the free space was read now.
bool frmMain::readDriveSizes(QString& drive) {
    const std::optional<qint64> free = megabytesFrom(m_driveSizes.freeMegaBytes, drive);
    const std::optional<qint64> total = megabytesFrom(m_driveSizes.totalMegaBytes, drive);
    if (free)
        m_freeMegaBytes = free;
    if (total)
        m_totalMegaBytes = total;
    return free.has_value();
}

void frmMain::UpdateDiskSpace() {
    QString drive = AudioPath();
    const bool freeReadNow = readDriveSizes(drive);
    // Without figures there is nothing to show, and an unknown free space is no full disk.
    if (m_freeMegaBytes && m_totalMegaBytes) {
        showDiskFigures(drive);
        // Not while a file change builds the next logger: the next reading decides.
        if (freeReadNow && *m_freeMegaBytes < 1 && !m_changingFiles)
            stopWhenStillFull(drive);
    }
    showStreamingNotice();
}

void frmMain::showDiskFigures(const QString& drive) {
    const qint64 free = *m_freeMegaBytes;
    const qint64 total = *m_totalMegaBytes;
    const int maximum = static_cast<int>(std::clamp<qint64>(total, 0, INT_MAX));
    PBarSpace->setRange(0, maximum);
    PBarSpace->setValue(static_cast<int>(std::clamp<qint64>(total - free, 0, maximum)));
    lblAvailSpace->setText(QStringLiteral("Total Size of Drive ") + drive + QStringLiteral(" = ") +
                           QString::number(total) + QStringLiteral(" Mb") + QStringLiteral(" | ") +
                           QStringLiteral("Space Free: ") + QStringLiteral(" is ") +
                           QString::number(free) + QStringLiteral(" Mb. ") + timeLeftText());
}

// How long recording can go on in the free space at the current rate.
QString frmMain::timeLeftText() const {
    const QString label = QStringLiteral(" Approx. Time Left: ");
    double rate = 0;
    switch (m_tavrel[0]->AudioFormat()) {
    case 1:
        rate = m_tavrel[0]->VBRMin();
        break;
    case 0: {
        const int profile = m_tavrel[0]->Profile();
        if (profile < 1 || profile > static_cast<int>(kProfileRates.size()))
            return label + QStringLiteral("Unknown.");
        rate = kProfileRates[profile - 1];
        break;
    }
    default:
        return {};
    }
    const double seconds = std::nearbyint(*m_freeMegaBytes / MegabytesPerSecond(rate));
    return label + DurationText::FormatDuration(static_cast<qint64>(seconds));
}

double frmMain::MegabytesPerSecond(double rate) {
    if (rate > 10000)
        rate /= 1000;
    const double bytes = std::nearbyint(rate * 1000 / 8);
    const double megabytes = bytes / 1024 * 60 / 1024 / 60;
    return megabytes == 0 ? 0.001 : megabytes;
}

// Less than a megabyte free: old recordings go first; if that does not free enough, recording
// stops.
bool frmMain::stopWhenStillFull(QString& drive) {
    DeleteOldFiles();
    if (const std::optional<qint64> free = megabytesFrom(m_driveSizes.freeMegaBytes, drive))
        m_freeMegaBytes = free;
    if (m_freeMegaBytes && *m_freeMegaBytes >= 1)
        return false;
    raiseEvent(QStringLiteral("disk-full"), platform::LogLevel::Error,
               QStringLiteral("No free space on %1: recording stops").arg(drive));
    StopLoggers();
    Prompts::instance().messageBox(QStringLiteral("Quorvia Logger Cannot Continue"),
                                   QStringLiteral("There is No Free Space on the Audio Drive."),
                                   PromptButtons::Ok, PromptIcon::Critical);
    return true;
}

// While a logger records, the notice says whether it streams; otherwise it stays as it is.
void frmMain::showStreamingNotice() {
    Tavlo* active = nullptr;
    Tavlo* next = nullptr;
    GetLoggers(active, next);
    if (!active)
        return;
    if (active->Streaming()) {
        lblStreaming->setText(QStringLiteral("Streaming on Port %1").arg(active->PortNumber()));
        lblStreaming->show();
    } else {
        lblStreaming->hide();
    }
}

void frmMain::DeleteOldFiles() {
    if (m_deletingFiles)
        return;
    m_deletingFiles = true;
    const int days = AutoDeleteDays();
    if (days < kNeverDeleteDays)
        deleteRecordingsOlderThan(days);
    m_deletingFiles = false;
}

// The age of a file is counted in calendar days from the day it was last written to today; the
// times of day do not count.
void frmMain::deleteRecordingsOlderThan(int days) {
    const QString folder = AudioPath();
    if (!safeToDeleteBelow(folder)) {
        platform::logLine(platform::LogLevel::Warning,
                          QStringLiteral("Old recordings are not deleted: the audio folder %1 is "
                                         "not a folder of its own")
                              .arg(folder));
        return;
    }
    util::cDirEx search;
    search.setCaseSensitive(false);
    search.setRecursiveSearch(true);
    search.SearchFile(folder + QStringLiteral("*.mp3,*.wma"), 0, 0);
    if (search.Count() <= 0)
        return;
    const QDate today = platform::Clock::now().date();
    for (const QString& path : search.NewEnum()) {
        const QFileInfo file(path);
        if (!file.isFile() || heldByALogger(file))
            continue;
        const QDate written = file.lastModified().date();
        if (written.isValid() && written.daysTo(today) > days)
            QFile::remove(path);
    }
}

// Deletion searches the whole tree below the audio folder, so that folder must be one made for
// recordings: an existing absolute folder that is neither the file system's root nor the home
// folder itself.
bool frmMain::safeToDeleteBelow(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isAbsolute() || !info.isDir())
        return false;
    const QString canonical = info.canonicalFilePath();
    return !canonical.isEmpty() && canonical != QDir::rootPath() &&
           canonical != QFileInfo(QDir::homePath()).canonicalFilePath();
}

// The file a logger records into stays, however old its date looks (a clock set forward, a file
// time from a wrong clock).
bool frmMain::heldByALogger(const QFileInfo& file) const {
    for (const Tavlo* logger : m_tavrel) {
        const QString held = logger->FileName();
        if (!held.isEmpty() && QFileInfo(held) == file)
            return true;
    }
    return false;
}
