// A listener who connects before a file change keeps listening across it, without reconnecting:
// one ASF header, then the audio of whichever logger records, decodable without a break. The
// listener's bytes are kept and decoded afterwards with ffmpeg, honouring their time stamps, so
// that a hole in the time line shows as silence and a step back as audio lost.
#include "SettingsSandbox.h"

#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "platform/Clock.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace media;
using platform::Clock;
using platform::Settings;

namespace {

const QByteArray kAsfHeaderGuid = QByteArray::fromHex("3026b2758e66cf11a6d900aa0062ce6c");
const QByteArray kFilePropertiesGuid = QByteArray::fromHex("a1dcab8c47a9cf118ee400c00c205365");
constexpr int kDecodeRate = 8000;
constexpr int kMaxSilenceMs = 100;
constexpr int kWaitMs = 10000;

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A player on the stream port: asks for the stream and keeps every byte of the body.
class CapturingListener {
public:
    explicit CapturingListener(int port) {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const char request[] = "GET / HTTP/1.0\r\n\r\n";
        if (::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::send(m_socket, request, std::strlen(request), MSG_NOSIGNAL) <= 0) {
            m_closed = true;
            return;
        }
        m_reader = std::thread([this] { read(); });
    }
    ~CapturingListener() { hangUp(); }

    void hangUp() {
        ::shutdown(m_socket, SHUT_RDWR);
        if (m_reader.joinable())
            m_reader.join();
    }
    bool closedByServer() const { return m_closed && !m_hungUp; }
    QByteArray body() const {
        std::lock_guard lock(m_mutex);
        const qsizetype end = m_received.indexOf("\r\n\r\n");
        return end < 0 ? QByteArray() : m_received.mid(end + 4);
    }
    // True when `bytes` more arrive within the time.
    bool waitForMore(qint64 bytes, int timeoutMs = kWaitMs) const {
        const qint64 target = m_size + bytes;
        QElapsedTimer waited;
        waited.start();
        while (m_size < target && !m_closed && waited.elapsed() < timeoutMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return m_size >= target;
    }
    bool waitForClose(int timeoutMs = kWaitMs) const {
        QElapsedTimer waited;
        waited.start();
        while (!m_closed && waited.elapsed() < timeoutMs)
            QTest::qWait(20);
        return m_closed;
    }

private:
    void read() {
        char buffer[16384];
        ssize_t n;
        while ((n = ::recv(m_socket, buffer, sizeof buffer, 0)) > 0) {
            std::lock_guard lock(m_mutex);
            m_received.append(buffer, n);
            m_size = m_received.size();
        }
        m_hungUp = n < 0;
        m_closed = true;
    }

    int m_socket = -1;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    QByteArray m_received;
    std::atomic<qint64> m_size{0};
    std::atomic<bool> m_closed{false};
    std::atomic<bool> m_hungUp{false};
};

quint32 readLe32(const QByteArray& bytes, qsizetype at) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<quint8>(bytes.at(at + i));
    return value;
}

// The stream cut after its last whole data packet (the listener hung up anywhere), or empty when
// it does not start with an ASF header giving the packet size.
QByteArray wholePackets(const QByteArray& stream) {
    const qsizetype properties = stream.indexOf(kFilePropertiesGuid);
    if (!stream.startsWith(kAsfHeaderGuid) || properties < 0 || stream.size() < 30)
        return {};
    const qsizetype dataStart = readLe32(stream, 16) + 50; // the header, then the data object's
    const quint32 packetSize = readLe32(stream, properties + 92);
    if (packetSize == 0 || stream.size() < dataStart)
        return {};
    return stream.left(dataStart + (stream.size() - dataStart) / packetSize * packetSize);
}

struct Heard {
    QString errors; // what ffmpeg reported
    double seconds = 0;
    double longestSilenceMs = 0;
};

// Decodes the listener's bytes to mono at 8 kHz, filling holes in the time stamps with silence
// and dropping audio stamped twice, as a player keeping to the stamps would.
Heard decode(const QByteArray& stream) {
    Heard heard;
    QTemporaryDir dir;
    QFile file(dir.filePath("heard.asf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(stream) != stream.size()) {
        heard.errors = "cannot write the capture";
        return heard;
    }
    file.close();
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", file.fileName(), "-af",
                            "aresample=async=1:min_hard_comp=0.02", "-f", "s16le", "-ac", "1",
                            "-ar", QString::number(kDecodeRate), "-"});
    QByteArray pcm;
    while (ffmpeg.state() != QProcess::NotRunning || ffmpeg.bytesAvailable() > 0) {
        ffmpeg.waitForReadyRead(1000);
        pcm += ffmpeg.readAllStandardOutput();
    }
    heard.errors = QString::fromUtf8(ffmpeg.readAllStandardError()).trimmed();
    if (ffmpeg.exitCode() != 0 && heard.errors.isEmpty())
        heard.errors = QStringLiteral("ffmpeg exited with %1").arg(ffmpeg.exitCode());
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    const qsizetype count = pcm.size() / 2;
    qsizetype run = 0, longest = 0;
    // The tone is at half scale; the decoder's first frames (before the tone) do not count.
    for (qsizetype i = kDecodeRate / 5; i < count; ++i) {
        run = std::abs(samples[i]) < 300 ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    heard.seconds = static_cast<double>(count) / kDecodeRate;
    heard.longestSilenceMs = 1000.0 * longest / kDecodeRate;
    return heard;
}

// What every listener across changes must find: one header, and audio that decodes without a
// break for about as long as it listened (`lostSeconds`: what the changes may skip).
void expectHeardWithoutABreak(const CapturingListener& listener, double listenedSeconds,
                              double lostSeconds) {
    const QByteArray stream = listener.body();
    EXPECT_EQ(stream.count(kAsfHeaderGuid), 1) << "one ASF header per connection";
    const QByteArray packets = wholePackets(stream);
    ASSERT_FALSE(packets.isEmpty()) << "no ASF stream: " << stream.left(64).toHex().constData();
    const Heard heard = decode(packets);
    EXPECT_TRUE(heard.errors.isEmpty()) << qPrintable(heard.errors);
    EXPECT_GT(heard.seconds, listenedSeconds - lostSeconds)
        << "listened " << listenedSeconds << " s, " << stream.size() << " bytes";
    EXPECT_LE(heard.longestSilenceMs, kMaxSilenceMs);
}

void useTheTestTone(const QTemporaryDir& audio, int port) {
    DeviceEnumerator::overrideCaptureDevices(DeviceEnumerator::testSources());
    Settings::saveString("Settings", "AudioPath", audio.path());
    Settings::saveString("Settings", "CaptureDeviceName", DeviceEnumerator::kTestTone);
    Settings::saveBool("Settings", "UseStreaming", true);
    Settings::saveInt("Settings", "PortNumber", port);
}

QDateTime at(int hour, int minute, int second) {
    return QDateTime(QDate(2026, 12, 7), QTime(hour, minute, second));
}

} // namespace

// The window changes files at 11:00 and 12:00, driven through the loggers' ticks.
TEST(StreamHandOver, AListenerConnectedAcrossTwoFileChangesDecodesWithoutABreak) {
    if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
        GTEST_SKIP() << "needs ffmpeg to decode what the listener heard";
    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir audio;
    const int port = freePort();
    useTheTestTone(audio, port);
    Clock::setNow(at(10, 59, 30));
    {
        frmMain window;
        window.Form_Activate();
        for (int i = 0; i < 2; ++i)
            window.Tavrel(i)->Timer1()->stop();
        window.cmdRecord_Click();
        ASSERT_TRUE(window.Tavrel(0)->Streaming());

        CapturingListener listener(port);
        QElapsedTimer listening;
        listening.start();
        ASSERT_TRUE(listener.waitForMore(8000)) << "the stream does not flow";
        for (const QDateTime& change : {at(11, 0, 1), at(12, 0, 1)}) {
            for (const QDateTime& tick : {change.addSecs(-30), change}) {
                Clock::setNow(tick);
                window.Tavrel(0)->Timer1_Timer();
                window.Tavrel(1)->Timer1_Timer();
            }
            ASSERT_TRUE(window.Tavrel(0)->Streaming() || window.Tavrel(1)->Streaming());
            EXPECT_TRUE(listener.waitForMore(8000))
                << "nothing after the change at " << qPrintable(change.toString("hh:mm"));
            QTest::qWait(2000);
        }
        const double listened = listening.elapsed() / 1000.0;
        EXPECT_FALSE(listener.closedByServer());
        window.StopLoggers();
        EXPECT_TRUE(listener.waitForClose()) << "the stream ends when recording stops";
        // Each change here may skip the moments no logger records (none when the new logger
        // starts before the old one stops).
        expectHeardWithoutABreak(listener, listened, 3.0);
        EXPECT_EQ(prompts->count(), 0) << qPrintable(prompts->texts().join(" | "));
        window.closeWithoutAsking();
    }
    Clock::useSystemClock();
    DeviceEnumerator::overrideCaptureDevices(std::nullopt);
}

// Two loggers as the window drives them when the new one starts before the old one stops: the
// stream takes the new logger's audio and drops the old one's without losing any of it.
TEST(StreamHandOver, OverlappingLoggersHandTheListenerOverWithoutLosingAudio) {
    if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
        GTEST_SKIP() << "needs ffmpeg to decode what the listener heard";
    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir audio;
    const int port = freePort();
    useTheTestTone(audio, port);
    Tavlo loggers[2];
    for (int i = 0; i < 2; ++i) {
        loggers[i].Timer1()->stop();
        ASSERT_EQ(loggers[i].Initialise(), 0);
        ASSERT_EQ(loggers[i].CaptureDeviceName(), DeviceEnumerator::kTestTone);
        Tavlo* other = &loggers[1 - i];
        // The window's rule: only one logger streams at a time.
        QObject::connect(&loggers[i], &Tavlo::AddingNetworkSink, [other] {
            if (other->Streaming()) {
                EXPECT_TRUE(other->RemoveNetworkSink());
            }
        });
    }
    int file = 0;
    auto start = [&](Tavlo& logger) {
        ASSERT_TRUE(logger.OutputFileName(audio.filePath(QStringLiteral("%1.wma").arg(++file))));
        ASSERT_TRUE(logger.Record());
        ASSERT_TRUE(logger.Streaming());
    };
    auto stop = [](Tavlo& logger) {
        logger.StopRecording();
        logger.OutputFileName({});
    };

    start(loggers[0]);
    CapturingListener listener(port);
    QElapsedTimer listening;
    listening.start();
    ASSERT_TRUE(listener.waitForMore(8000)) << "the stream does not flow";
    for (int change = 1; change <= 2; ++change) {
        Tavlo& next = loggers[change % 2];
        Tavlo& previous = loggers[1 - change % 2];
        start(next);
        QTest::qWait(250);
        stop(previous);
        EXPECT_TRUE(listener.waitForMore(8000)) << "nothing after change " << change;
        QTest::qWait(2000);
    }
    const double listened = listening.elapsed() / 1000.0;
    EXPECT_FALSE(listener.closedByServer());
    stop(loggers[0]);
    stop(loggers[1]);
    EXPECT_TRUE(listener.waitForClose()) << "the stream ends when recording stops";
    // Only the start (the first packet) and the end (the muxer's last one) may be missing.
    expectHeardWithoutABreak(listener, listened, 1.5);
    EXPECT_EQ(prompts->count(), 0) << qPrintable(prompts->texts().join(" | "));
    DeviceEnumerator::overrideCaptureDevices(std::nullopt);
}
