#pragma once

#include <QList>
#include <QString>
#include <QUuid>

namespace media {

// The built-in audio profiles of the WMA writer: what each one asks of the encoder.
struct WmaProfile {
    QUuid id;
    QString description;
    int channels;
    int sampleRate;
    int bitRate; // bits per second

    static const QList<WmaProfile>& all();
    // Null when the identifier names no profile.
    static const WmaProfile* find(const QUuid& id);
    static const WmaProfile& standard(); // the writer's profile until one is chosen
};

} // namespace media
