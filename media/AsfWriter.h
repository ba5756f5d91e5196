#pragma once

#include "media/Filter.h"
#include "media/WmaProfile.h"

#include <QList>
#include <QUuid>
#include <atomic>
#include <memory>

namespace media {

class NetworkSink;

// Encodes the audio it receives as WMA and writes it into an ASF file. Input pin
// "Audio Input 01". The encoded stream passes a tee ("encoded") before the file muxer, where
// further outputs such as a network stream branch off.
class AsfWriter : public Filter {
public:
    static constexpr const char* kInputPinName = "Audio Input 01";

    AsfWriter();
    ~AsfWriter() override;

    // Chooses one of the built-in profiles; only while the writer is not running.
    HRESULT configureFilterUsingProfileGuid(const QUuid& profileId);
    const WmaProfile& profile() const { return m_profile; }

    bool takesFileName() const override { return true; }
    HRESULT setFileName(const QString& path) override;
    QString fileName() const override { return m_fileName; }

    // ASF packets are kept to about half a second of audio, so that little is lost when the
    // process dies in the middle of a recording.
    static unsigned packetSizeFor(int bitRate);

    // The writer's further outputs: each network sink added here streams the encoded audio
    // while the file is written. A sink added while the graph is stopped streams whenever it
    // runs; one added while it runs streams at once. E_POINTER for a null sink, E_INVALIDARG
    // when the sink already serves a writer (this one included) or cannot work,
    // VFW_E_CANNOT_CONNECT when its branch cannot be linked.
    HRESULT addSink(const std::shared_ptr<NetworkSink>& sink);
    // Takes a sink off again, also while recording; the file goes on undisturbed. E_INVALIDARG
    // for a sink that is not on this writer.
    HRESULT removeSink(const std::shared_ptr<NetworkSink>& sink);
    QList<std::shared_ptr<NetworkSink>> sinks() const { return m_sinks; }

protected:
    QList<QPair<QString, QString>> propertyPageRows() const override;

private:
    bool isStopped() const;
    void applyProfile();
    void watchMuxerFormats();
    void releaseMuxerSelfReferences();

    WmaProfile m_profile;
    QString m_fileName;
    QList<std::shared_ptr<NetworkSink>> m_sinks;
    std::atomic<int>* m_muxerFormats = nullptr; // owned by the probe on the muxer's input
};

} // namespace media
