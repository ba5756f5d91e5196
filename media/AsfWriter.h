#pragma once

#include "media/Filter.h"
#include "media/WmaProfile.h"

#include <QUuid>

namespace media {

// Encodes the audio it receives as WMA and writes it into an ASF file. Input pin
// "Audio Input 01". The encoded stream passes a tee ("encoded") before the file muxer, where
// further outputs such as a network stream branch off.
class AsfWriter : public Filter {
public:
    static constexpr const char* kInputPinName = "Audio Input 01";

    AsfWriter();

    // Chooses one of the built-in profiles; only while the writer is not running.
    HRESULT configureFilterUsingProfileGuid(const QUuid& profileId);
    const WmaProfile& profile() const { return m_profile; }

    bool takesFileName() const override { return true; }
    HRESULT setFileName(const QString& path) override;
    QString fileName() const override { return m_fileName; }

    // ASF packets are kept to about half a second of audio, so that little is lost when the
    // process dies in the middle of a recording.
    static unsigned packetSizeFor(int bitRate);

protected:
    QList<QPair<QString, QString>> propertyPageRows() const override;

private:
    bool isStopped() const;
    void applyProfile();

    WmaProfile m_profile;
    QString m_fileName;
};

} // namespace media
