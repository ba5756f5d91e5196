#include "MediaCheck.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace {

QString run(const QString& program, const QStringList& arguments, QByteArray* errors = nullptr,
            int* exitCode = nullptr) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    if (errors)
        *errors = process.readAllStandardError();
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

ProbeResult MediaCheck::probe(const QString& pathOrUrl) {
    ProbeResult result;
    const QString out = run(QStringLiteral("ffprobe"),
                            {"-v", "error", "-select_streams", "a:0", "-show_entries",
                             "stream=codec_name,sample_rate,channels,bit_rate:format=duration",
                             "-of", "default=noprint_wrappers=1", pathOrUrl});
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        const QString key = line.section('=', 0, 0);
        const QString value = line.section('=', 1);
        if (key == "codec_name")
            result.codec = value;
        else if (key == "sample_rate")
            result.sampleRate = value.toInt();
        else if (key == "channels")
            result.channels = value.toInt();
        else if (key == "bit_rate")
            result.streamBitRate = value.toLongLong();
        else if (key == "duration")
            result.duration = value.toDouble();
    }
    result.ok = !result.codec.isEmpty();
    if (pathOrUrl.contains(QLatin1String("://")))
        return result; // a live stream has no end to count packets to
    result.fileBytes = QFileInfo(pathOrUrl).size();
    const QString packets =
        run(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                        "packet=size", "-of", "csv=p=0", pathOrUrl});
    for (const QString& size : packets.split('\n', Qt::SkipEmptyParts))
        result.payloadBytes += size.toLongLong();
    return result;
}

double MediaCheck::decodedSeconds(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  {"-v", "error", "-i", path, "-f", "s16le", "-ac", "2", "-ar", "44100", "-"});
    qint64 bytes = 0;
    while (process.state() != QProcess::NotRunning || process.bytesAvailable() > 0) {
        process.waitForReadyRead(1000);
        bytes += process.readAllStandardOutput().size();
    }
    const QByteArray errors = process.readAllStandardError();
    if (process.exitCode() != 0 || !errors.trimmed().isEmpty()) {
        qWarning("ffmpeg could not decode %s: %s", qPrintable(path), errors.constData());
        return -1;
    }
    return bytes / (44100.0 * 4);
}

double MediaCheck::meanVolumeDb(const QString& path) {
    QByteArray errors;
    run(QStringLiteral("ffmpeg"), {"-i", path, "-af", "volumedetect", "-f", "null", "-"}, &errors);
    const QString text = QString::fromUtf8(errors);
    const int at = text.indexOf(QLatin1String("mean_volume:"));
    if (at < 0)
        return -1000;
    return text.mid(at + 12).section(QLatin1String(" dB"), 0, 0).trimmed().toDouble();
}
