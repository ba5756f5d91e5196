#include "platform/EventLog.h"
#include "platform/AlarmHook.h"
#include "platform/Clock.h"
#include "platform/Settings.h"

#include "SettingsSandbox.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <ctime>

#include <fcntl.h>
#include <unistd.h>

using platform::AlarmHook;
using platform::Clock;
using platform::LogLevel;

namespace {

// Points standard error (fd 2, which alarm commands inherit) at a file while it lives.
struct StderrCapture {
    explicit StderrCapture(const QString& path) : saved(::fcntl(2, F_DUPFD_CLOEXEC, 3)) {
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StderrCapture() {
        ::dup2(saved, 2);
        ::close(saved);
    }
    int saved;
};

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

template <typename Done> bool waitUntil(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000)
        QThread::msleep(20);
    return done();
}

class EventsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(work_.isValid()); }
    void TearDown() override {
        QFile(path("release")).open(QIODevice::WriteOnly);
        EXPECT_TRUE(waitUntil([] { return AlarmHook::runningCount() == 0; }));
        AlarmHook::setTimeLimitForTests({});
        Clock::useSystemClock();
    }
    QString path(const char* name) const { return work_.filePath(QString::fromLatin1(name)); }
    static void saveCommand(const QString& command) {
        platform::Settings::saveString(QStringLiteral("Alarms"), QStringLiteral("AlarmCommand"),
                                       command);
    }
    // A command that runs until the test creates the file "release".
    QString untilReleased() const {
        return QStringLiteral("while [ ! -e '%1' ]; do sleep 0.05; done").arg(path("release"));
    }

    SettingsSandbox sandbox_;
    QTemporaryDir work_;
};

TEST_F(EventsTest, LogLinesCarryLocalTimeWithOffsetLevelAndOneLineOfText) {
    const QByteArray previousZone = qgetenv("TZ");
    qputenv("TZ", "NST3:30NDT,M3.2.0,M11.1.0");
    tzset();
    {
        StderrCapture capture(path("log"));
        Clock::setNow(QDateTime(QDate(2026, 12, 8), QTime(13, 45, 2, 999), QTimeZone::utc()));
        platform::logLine(LogLevel::Warning, QStringLiteral("No space left on the audio drive"));
        platform::logLine(LogLevel::Info, QStringLiteral("first\r\nsecond\nthird\r\n"));
        // No command set: the event is only logged.
        AlarmHook::raise(QStringLiteral("recording-started"), LogLevel::Info,
                         QStringLiteral("Recording to a.wma"), QStringLiteral("a.wma"));
        Clock::setNow(QDateTime(QDate(2026, 7, 1), QTime(2, 0, 0), QTimeZone::utc()));
        platform::logLine(LogLevel::Error, QStringLiteral("summer"));
    }
    previousZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", previousZone);
    tzset();
    EXPECT_EQ(
        readText(path("log")),
        QStringLiteral("2026-12-08T10:15:02-03:30 WARNING No space left on the audio drive\n"
                       "2026-12-08T10:15:02-03:30 INFO first / second / third\n"
                       "2026-12-08T10:15:02-03:30 INFO recording-started: Recording to a.wma\n"
                       "2026-06-30T23:30:00-02:30 ERROR summer\n"));
}

TEST_F(EventsTest, CommandRunsDetachedWithTheEventInItsEnvironment) {
    // Saved values read back as saved; a line typed by hand reads exactly as typed, although the
    // store's own reading would strip its quotes and cut it at the semicolon.
    for (const char* saved : {"echo a, b; echo \"c\" \\", " padded ",
                              "printf 'a\tb\n' @x=1 \x1b"
                              "1f"}) {
        saveCommand(QString::fromLatin1(saved));
        EXPECT_EQ(AlarmHook::command(), QString::fromLatin1(saved));
    }
    const QString typed = QStringLiteral("cd '%1' && printf %s \"$VELTRAX_EVENT\" > event; "
                                         "printf %s \"$VELTRAX_MESSAGE\" > message; "
                                         "printf %s \"$VELTRAX_TIME\" > time; "
                                         "printf %s \"$VELTRAX_FILE\" > file; touch done")
                              .arg(work_.path());
    QFile store(platform::Settings::filePath());
    ASSERT_TRUE(store.open(QIODevice::WriteOnly | QIODevice::Truncate));
    store.write("[Alarms]\nAlarmCommand=" + typed.toUtf8() + "\n");
    store.close();
    ASSERT_EQ(AlarmHook::command(), typed);

    const QString message =
        QStringLiteral("\"full\"; $(touch '%1') `touch '%1'` ' && touch '%1'\nline 2 $HOME \\ %s")
            .arg(path("injected"));
    const QString file = QStringLiteral("/music/Logged Audio/10'15 \"a\".wma");
    const QDateTime moment(QDate(2026, 12, 8), QTime(10, 15, 2), Qt::LocalTime);
    Clock::setNow(moment);
    AlarmHook::raise(QStringLiteral("disk-full"), LogLevel::Error, message, file);
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(path("done")); }));
    EXPECT_EQ(readText(path("event")), QStringLiteral("disk-full"));
    EXPECT_EQ(readText(path("message")), message);
    EXPECT_EQ(readText(path("time")), platform::logTimestamp(moment));
    EXPECT_EQ(readText(path("file")), file);
    EXPECT_FALSE(QFile::exists(path("injected")));

    // A program that exits at once leaves its command running to completion.
    saveCommand(untilReleased() +
                QStringLiteral("; printf %s \"$VELTRAX_EVENT\" > '%1'").arg(path("after-exit")));
    QProcess program;
    program.setStandardErrorFile(QProcess::nullDevice());
    program.start(QStringLiteral(VELTRAX_ALARM_EXIT_HELPER), {});
    ASSERT_TRUE(program.waitForFinished(10000)) << "the program waited for its alarm command";
    QFile(path("release")).open(QIODevice::WriteOnly);
    EXPECT_TRUE(waitUntil([&] { return !readText(path("after-exit")).isEmpty(); }));
    EXPECT_EQ(readText(path("after-exit")), QStringLiteral("recording-stopped"));
}

TEST_F(EventsTest, FloodsFailuresAndHangsAreLoggedAsWarnings) {
    StderrCapture capture(path("log"));
    saveCommand(untilReleased());
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i <= AlarmHook::kMaxRunning; ++i)
        AlarmHook::raise(QStringLiteral("silence"), LogLevel::Warning, QStringLiteral("quiet"));
    EXPECT_LT(timer.elapsed(), 1000) << "raising waited for commands that are still running";
    EXPECT_EQ(AlarmHook::runningCount(), AlarmHook::kMaxRunning);
    QFile(path("release")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(waitUntil([] { return AlarmHook::runningCount() == 0; }));

    AlarmHook::setTimeLimitForTests(std::chrono::milliseconds(400));
    const std::pair<const char*, const char*> commands[] = {
        {"write-error", "exit 3"},
        {"disk-full", "no-such-command-for-veltrax"},
        {"device-lost", "sleep 30"},
        {"recording-failed", "trap '' TERM; sleep 30"},
        {"file-changed", "true"}};
    for (const auto& [event, command] : commands) {
        saveCommand(QString::fromLatin1(command));
        AlarmHook::raise(QString::fromLatin1(event), LogLevel::Error, QStringLiteral("x"));
    }
    EXPECT_TRUE(waitUntil([] { return AlarmHook::runningCount() == 0; }));

    // Each line in the log's form (nothing else, such as a shell's own remarks), one per event and
    // per fault.
    const QString text = readText(path("log"));
    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    const QRegularExpression form(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d (INFO|WARNING|ERROR) \S)"));
    for (const QString& line : lines)
        EXPECT_TRUE(form.match(line).hasMatch()) << qPrintable(line);
    EXPECT_EQ(lines.size(), AlarmHook::kMaxRunning + 1 + 1 + 5 + 4) << qPrintable(text);
    for (const char* expected :
         {"silence not run: 8 alarm commands are still running",
          "write-error failed: exit status 3", "disk-full failed: exit status 127",
          "device-lost timed out after 0.4 s and was stopped",
          "recording-failed timed out after 0.4 s and was killed"}) {
        EXPECT_TRUE(text.contains(QStringLiteral(" WARNING alarm command for ") +
                                  QString::fromLatin1(expected) + u'\n'))
            << expected;
    }
}

} // namespace
