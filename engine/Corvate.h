#pragma once

#include "media/Filter.h"
#include "platform/ResultCodes.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>

typedef struct _GstElement GstElement;

// The MP3 encoder's control object. Bound to the LAME filter of the current graph, it sets the
// encoder's bit rate, variable or constant mode, output channels, output sample rate and engine
// quality, and reads back what the encoder accepted. It keeps its settings between bindings and
// hands them to every filter it is bound to.
//
// How the settings reach the encoder (a lamemp3enc inside the filter's bin):
// - bit rates are those the encoder can hold constant: 8, 16, 24, 32, 40, 48, 56, 64, 80, 96,
//   112, 128, 160, 192, 224, 256 or 320 kbit/s. At sample rates below 32 kHz LAME writes the
//   nearest rate its MPEG version offers.
// - the constant bit rate and the minimum of the variable mode are one setting: writing either
//   changes both, so the rate shown for one mode is the rate the other starts from.
// - constant mode: target=bitrate, cbr=true, bitrate=the constant rate.
// - variable mode with a minimum and a maximum: the encoder has no bounds of its own, so it runs
//   at an average bit rate (target=bitrate, cbr=false) of the mean of the minimum and the maximum.
//   No order is imposed between the two.
// - output sample rate and channel mode: binding puts an audioresample in front of the encoder and
//   a capsfilter after it that holds the MP3 stream to the chosen rate and channel count (LAME
//   would otherwise pick a lower rate by itself at low bit rates).
// - channel modes: 0 Stereo and 1 Dual Stereo give two channels, coded as LAME's joint stereo;
//   3 Mono gives one channel (the input is mixed down). 2 Dual Mono, two independently coded
//   channels, is something this encoder cannot write: it is refused.
// - quality 0 (best) … 9 (fastest): the encoder's engine quality, 0-2 high, 3-6 standard, 7-9 fast.
//
// Settings change only while the encoder is stopped; a write to a running encoder returns
// VFW_E_WRONG_STATE and a value the encoder does not take returns E_INVALIDARG. Either way the
// previous value stays and is what reading returns. Without a bound filter the settings are only
// kept here.
class Corvate : public QObject {
    Q_OBJECT
public:
    // The channel modes.
    static constexpr int kStereo = 0;
    static constexpr int kDualStereo = 1;
    static constexpr int kDualMono = 2;
    static constexpr int kMono = 3;

    explicit Corvate(QObject* parent = nullptr);

    // Binds the filter whose encoder this object controls and hands it the current settings;
    // nullptr unbinds. E_INVALIDARG for a filter without a LAME encoder inside, which leaves no
    // filter bound. The filter is not kept alive by the binding.
    HRESULT putref_Filter(const media::FilterPtr& filter);
    // The bound filter; null when none is bound or it has gone with its graph.
    HRESULT get_Filter(media::FilterPtr* filter) const;

    HRESULT put_Quality(int quality);
    // The bit rate in constant mode, kbit/s; the same setting as the variable mode's minimum.
    HRESULT put_Bitrate(int kbps);
    HRESULT get_Bitrate(int* kbps) const;
    HRESULT put_VBR(bool on);
    // Read from the encoder itself when one is bound.
    HRESULT get_VBR(bool* on) const;
    HRESULT put_VBRMin(int kbps);
    HRESULT get_VBRMin(int* kbps) const;
    HRESULT put_VBRMax(int kbps);
    HRESULT get_VBRMax(int* kbps) const;
    // What arrives at the encoder's input: VFW_E_NOT_CONNECTED without a connected filter, E_FAIL
    // while the format is not settled.
    HRESULT get_InputSampleRate(int* hz) const;
    HRESULT get_InputChannels(int* channels) const;
    HRESULT put_OutputSampleRate(int hz);
    HRESULT get_OutputSampleRate(int* hz) const;
    HRESULT put_ChannelMode(int mode);
    HRESULT get_ChannelMode(int* mode) const;
    // The final switch of a set of writes: true hands every setting to the encoder once more as
    // one consistent set, so the encoder holds exactly what reading returns whatever order the
    // single writes came in. False does nothing.
    HRESULT put_Commit(bool on);
    // The encoder keeps no settings of its own beyond those this object gave it, so there is
    // nothing further to load; E_FAIL when no encoder is bound.
    HRESULT LoadStoredSettings();

    static bool isBitRate(int kbps);
    static bool isSampleRate(int hz);

signals:
    // Every write, accepted or not, with the value given (for tests and diagnostics).
    void settingWritten(const QString& setting, const QVariant& value);

private:
    struct EncoderSettings {
        int quality = 5;
        int bitrate = 128; // also the minimum of the variable mode
        bool vbr = false;
        int vbrMax = 128;
        int outputRate = 44100;
        int channelMode = kStereo;
    };

    // Takes the settings when the encoder (if any) takes them.
    HRESULT adopt(const EncoderSettings& next);
    HRESULT adoptBitrate(int kbps);
    GstElement* encoder() const;
    media::FilterPtr boundFilter() const;
    HRESULT inputWaveFormat(int& rate, int& channels) const;
    static bool isStopped(GstElement* element);
    static void hand(GstElement* encoder, const EncoderSettings& settings);

    std::weak_ptr<media::Filter> m_filter;
    EncoderSettings m_settings;
};
