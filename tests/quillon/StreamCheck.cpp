#include "StreamCheck.h"

#include "media/NetworkSink.h"

#include <QProcess>
#include <QTest>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace StreamCheck {

namespace {
constexpr int kProcessTimeoutMs = 60000;
const QString kReadTimeoutUs = QStringLiteral("10000000");
} // namespace

QString url(int port) {
    return QStringLiteral("http://127.0.0.1:%1/").arg(port);
}

StreamInfo probe(const QString& url) {
    QProcess process;
    process.start(QStringLiteral("ffprobe"),
                  {"-v", "error", "-rw_timeout", kReadTimeoutUs, "-select_streams", "a:0",
                   "-show_entries", "stream=codec_name,channels", "-of",
                   "default=noprint_wrappers=1", url});
    process.waitForFinished(kProcessTimeoutMs);
    StreamInfo info;
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("codec_name=")))
            info.codec = line.section('=', 1);
        else if (line.startsWith(QLatin1String("channels=")))
            info.channels = line.section('=', 1).toInt();
    }
    return info;
}

double decodedSeconds(const QString& url, double seconds) {
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  {"-v", "error", "-rw_timeout", kReadTimeoutUs, "-i", url, "-t",
                   QString::number(seconds), "-f", "s16le", "-ac", "2", "-ar", "44100", "-"});
    qint64 bytes = 0;
    while (process.state() != QProcess::NotRunning || process.bytesAvailable() > 0) {
        process.waitForReadyRead(1000);
        bytes += process.readAllStandardOutput().size();
    }
    const QByteArray errors = process.readAllStandardError();
    if (process.exitCode() != 0 || !errors.trimmed().isEmpty())
        return -1;
    return bytes / (44100.0 * 4);
}

bool clientCountBecomes(const media::NetworkSink& sink, int count) {
    for (int i = 0; i < 250 && sink.clientCount() != count; ++i)
        QTest::qWait(20);
    return sink.clientCount() == count;
}

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

} // namespace StreamCheck
