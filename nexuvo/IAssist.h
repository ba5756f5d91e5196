#pragma once

// The graph assistant as its clients see it. A client creates the object by ProgID
// ("Nexuvo.Assist"), reaches this interface with qobject_cast<nexuvo::IAssist*>(object) and
// connects to the object's signals:
//
//   ThreadEvent(int LeftPeak, int RightPeak)  peaks of the audio heard now, 0..32768, linear
//   CueInFound(int CueInmS)
//   EndOfStream()
//   SegueFound(int SeguemSStart)
//   BufferFull(qintptr AddressofIntBuffer)    address of the sample ring's first int32 element
//
//   CueInFound(CueInmS): after a render to null and RunGraph, where the file's audio really starts,
//   in ms counted from the start of the scan; the scan stops there.
//   SegueFound(SeguemSStart): in segue-seek mode, after EndOfStream: where the last loud passage
//   of the file's last 20 s ends, 200 ms early (the point 20 s before the end when nothing there
//   is loud); the scan stops there.
//   EndOfStream is followed by one more BufferFull.
//
// Signals are emitted on the thread that created the object (which must run an event loop),
// never on a worker thread. The same members are reachable by name: properties with the member
// names (CurrentGraph, ThreadSleepmS, Paused, Pitch …) and invokable methods (RunGraph,
// StopGraph, PauseGraph, IsPinConnected …).
//
// Arguments:
// - a graph is a QObject* that must be a media::FilterGraph (anything else: DISP_E_TYPEMISMATCH);
// - a filter is a QVariant holding a media::FilterPtr;
// - a pin is a QVariant holding a media::Pin (see nexuvo/PinVariant.h);
// - Booleans are −1 for true and 0 for false.
// Every member returns S_OK unless its comment says otherwise; a null out pointer gives
// E_POINTER.
//
// The numbers in brackets are the members' dispatch ids.

#include "platform/ResultCodes.h"

#include <QObject>
#include <QString>
#include <QVariant>

namespace nexuvo {

// What a pin's media type says about the file behind it.
enum FileType {
    FileTypeUnknown = 0,
    FileTypeWav = 1,
    FileTypeMp2 = 2,
    FileTypeMp3 = 3,
    FileTypeOgg = 4,
    FileTypeWma = 5,
    FileTypeMp3WithWavHeader = 6,
    FileTypeMp2WithWavHeader = 7,
    FileTypeWmaWithWavHeader = 8,
    FileTypeOggWithWavHeader = 9,
    FileTypeStreamingAsf = 10,
    FileTypeStreamingScript = 11
};

class IAssist {
public:
    virtual ~IAssist() = default;

    // [1] The attached graph; *graph is left as it was when none is attached. putref attaches a
    // graph (splicing a "SampleGrabber" in front of its audio renderer when needed) or, given
    // nullptr, detaches.
    virtual HRESULT get_CurrentGraph(QObject** graph) = 0;
    virtual HRESULT putref_CurrentGraph(QObject* graph) = 0;
    // [2] Stored and returned; no other effect.
    virtual HRESULT get_UniqueID(long* value) = 0;
    virtual HRESULT put_UniqueID(long value) = 0;
    // [3] Starts measuring (and runs the graph).
    virtual HRESULT RunGraph() = 0;
    // [4] Stops the graph and the measuring; one last ThreadEvent follows.
    virtual HRESULT StopGraph() = 0;
    // [5] Lets the graph run as fast as its source delivers.
    virtual HRESULT SetNullClock(QObject* GraphMan) = 0;
    // [7] Always −1: there are no points.
    virtual HRESULT get_NumPoints(long* value) = 0;
    // [8] Channels of the grabbed audio; 0 before a grabber was prepared.
    virtual HRESULT get_numChans(long* value) = 0;
    // [9] Writes *pValue only for 0 ≤ *pIndex < point count, which never happens.
    virtual HRESULT PointValue(long* pIndex, long* pValue) = 0;
    // [10] Builds a scan of the file in the graph: its source (replacing the graph's file source)
    // → decoders → "SampleGrabber" → "Null Renderer", no clock, nothing played; the object holds
    // the graph, stopped and ready for RunGraph, with the cue-in test armed. An empty name does
    // nothing more than let go of the graph held before (S_OK). DISP_E_TYPEMISMATCH for no graph;
    // 0x80070002 for a file that is not there; E_FAIL when nothing decodes it; a message box
    // ("No Sound Card Drivers Found!" …) when a filter the build needs cannot be made.
    virtual HRESULT RenderFileToNull(const QString& Filename, QObject* GraphMan) = 0;
    // [11] Rebuilds the list of audio renderer devices (see get_NewEnum).
    virtual HRESULT CountRenderers() = 0;
    // [12] Cue-in level, 0..32768; stored as given.
    virtual HRESULT get_AutoCueThreshold(long* value) = 0;
    virtual HRESULT put_AutoCueThreshold(long value) = 0;
    // [13] Removes the filter from the graph it is in: E_FAIL when it is in none or stays.
    virtual HRESULT RemoveFilter(const QVariant& Filter) = 0;
    // [14] Marks the object paused, which keeps the next end of stream from being reported; the
    // graph goes on running.
    virtual HRESULT PauseGraph() = 0;
    // [15] The same as CountRenderers.
    virtual HRESULT FindRenderers() = 0;
    // [16] Stops, and takes the source of the last render out of its graph.
    virtual HRESULT UnRenderToNull() = 0;
    // [17] Does nothing.
    virtual HRESULT UseSystemClock() = 0;
    // [18] 1 after an end of stream or PauseGraph; a put also forgets that the ring wrapped.
    virtual HRESULT get_Paused(long* value) = 0;
    virtual HRESULT put_Paused(long value) = 0;
    // [19] Does nothing.
    virtual HRESULT SetMinBufferSize() = 0;
    // [20] Gives a capture pin's source a period of 8192 bytes of its audio; E_NOINTERFACE when
    // the pin's source has no adjustable period.
    virtual HRESULT SetCapturePinMinBuffer(const QVariant& pPin) = 0;
    // [21] Playback rate factor; sent to the "Quorvia Pitch Shifter" of the graph.
    virtual HRESULT get_Pitch(double* value) = 0;
    virtual HRESULT put_Pitch(double value) = 0;
    // [22] Restarts the elapsed-time count used to correct the position for Pitch.
    virtual HRESULT AdviseSeeking() = 0;
    // [23] Both do nothing; get leaves *value as it was.
    virtual HRESULT get_SampleGrabFilter(QVariant* value) = 0;
    virtual HRESULT putref_SampleGrabFilter(const QVariant& value) = 0;
    // [24] Non-zero: measure the grabber named "InputSampleGrabber" instead of "SampleGrabber".
    virtual HRESULT get_UseInputGrabber(long* value) = 0;
    virtual HRESULT put_UseInputGrabber(long value) = 0;
    // [25] Stored and returned; no other effect.
    virtual HRESULT get_ForCapture(long* value) = 0;
    virtual HRESULT put_ForCapture(long value) = 0;
    // [26] The same as putref_CurrentGraph.
    virtual HRESULT SetGraph(QObject* pUnk) = 0;
    // [27] Segue-seek mode: get gives 1 or 0; put −1 turns it on and runs RunGraph (which plays
    // the last 20 s of the rendered file), anything else turns it off. The cue-in test rests
    // while it is on.
    virtual HRESULT get_SegSeeker(long* value) = 0;
    virtual HRESULT put_SegSeeker(long value) = 0;
    // [28] Segue level, 0..32768; stored as given.
    virtual HRESULT get_SegThreshold(long* value) = 0;
    virtual HRESULT put_SegThreshold(long value) = 0;
    // [29] −1: the position is not corrected for Pitch. put −1 turns it on, anything else off.
    virtual HRESULT get_AvoidsActualRate(long* value) = 0;
    virtual HRESULT put_AvoidsActualRate(long value) = 0;
    // [30] Sample rate of the grabbed audio; put is ignored.
    virtual HRESULT get_SampleRate(long* value) = 0;
    virtual HRESULT put_SampleRate(long value) = 0;
    // [31] Bits per sample of the grabbed audio; put is ignored.
    virtual HRESULT get_BitsPerSample(long* value) = 0;
    virtual HRESULT put_BitsPerSample(long value) = 0;
    // [32] Both do nothing; get leaves *value as it was.
    virtual HRESULT get_BlockAlign(long* value) = 0;
    virtual HRESULT put_BlockAlign(long value) = 0;
    // [33] Period of the peak measurement in ms; a put clamps to 50..1000.
    virtual HRESULT get_ThreadSleepmS(long* value) = 0;
    virtual HRESULT put_ThreadSleepmS(long value) = 0;
    // [34] get does nothing; put adds a "WM ASF Reader" to the graph when this system has one
    // (S_OK either way); E_POINTER for nullptr, E_NOINTERFACE for anything but a graph.
    virtual HRESULT get_AddWMReader(QObject** value) = 0;
    virtual HRESULT put_AddWMReader(QObject* value) = 0;
    // [35] The wave format tag of the pin's connection (1 PCM, 0x55 MP3, 0x161 WMA); 0 when the
    // connection carries no wave format; −100 when the pin is not connected.
    // DISP_E_TYPEMISMATCH for a non-pin.
    virtual HRESULT GetPinConnectionFileType(const QVariant& pPin, long* ConnectionMediaType) = 0;
    // [36] RenderFileToNull, taking the graph's own file source out first (E_UNEXPECTED when it
    // stays); ft is ignored. DISP_E_TYPEMISMATCH for no graph.
    virtual HRESULT RenderToNull(const QString& Filename, long ft, QObject* GraphUnk) = 0;
    // [37] The file of the held graph's file source; *value left as it was when there is none.
    virtual HRESULT get_SourceFileName(QString* value) = 0;
    // [38] The FileType the pin's media types name (FileTypeWav, FileTypeMp3, FileTypeOgg,
    // FileTypeWma, FileTypeStreamingAsf …); FileTypeUnknown when they name none.
    // E_INVALIDARG for a non-pin.
    virtual HRESULT GetPinMediaType(const QVariant& pinUnk, FileType* ftype) = 0;
    // [39] *value is 1 when the pin is connected, else 0; DISP_E_TYPEMISMATCH for a non-pin.
    virtual HRESULT get_IsPinConnected(const QVariant& pPin, long* value) = 0;
    // [40] *value is 1 when RemoveFilter succeeds, else 0. E_INVALIDARG when an argument is
    // missing, DISP_E_TYPEMISMATCH when it is not a graph or a filter.
    virtual HRESULT get_RemoveFilterFromGraph(QObject* pUnkGraph, const QVariant& pUnkFilter,
                                              long* value) = 0;
    // [41] −1 when on, 0 when off; a put of −1 turns it on, anything else off. When on, attaching
    // a graph puts a "Quorvia Pitch Shifter" in front of its audio renderer.
    virtual HRESULT get_UsePitchAdjuster(short* value) = 0;
    virtual HRESULT put_UsePitchAdjuster(short value) = 0;
    // [−4] A new enumerator over a copy of the renderer list, owned by the caller: an object with
    // the invokable methods Next() (the next VBCol, nullptr at the end), Skip(int), Reset() and
    // Clone(). The VBCol objects it hands out live as long as the enumerator.
    virtual HRESULT get_NewEnum(QObject** enumerator) = 0;
};

} // namespace nexuvo

#define NexuvoIAssist_iid "org.veltrax.Nexuvo.IAssist/1.0"
Q_DECLARE_INTERFACE(nexuvo::IAssist, NexuvoIAssist_iid)
