#pragma once

#include "media/FilterGraph.h"
#include "media/SampleGrabber.h"
#include "nexuvo/IAssist.h"
#include "nexuvo/IVBCol.h"
#include "nexuvo/MessageWindow.h"
#include "nexuvo/PeakTap.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <memory>

namespace nexuvo {

class VBCol;

// The graph assistant: attached to a filter graph, it measures the left and right peak of the
// audio passing the graph's "SampleGrabber" every ThreadSleepmS milliseconds and reports it as
// ThreadEvent, reports the end of the stream, and offers small graph utilities. It also scans
// files: rendered into a graph that ends in a null renderer, a file is read as fast as it decodes
// while the intake looks for its cue-in point or its last loud passage. See IAssist.h for the
// members; this class adds their late-bound names.
//
// Live on the thread that creates it, which must run an event loop: every member is called
// there and every signal is emitted there. The grabber callback (streaming thread) and the peak
// thread post to the object's message window; deleting the object stops both before anything
// they use goes, and returns within one period of the peak thread.
class Assist : public QObject, public IAssist, public IVBCol, private MessageWindow::Receiver {
    Q_OBJECT
    Q_INTERFACES(nexuvo::IAssist nexuvo::IVBCol)

    Q_PROPERTY(QObject* CurrentGraph READ currentGraph WRITE setCurrentGraph)
    Q_PROPERTY(int UniqueID READ uniqueID WRITE setUniqueID)
    Q_PROPERTY(int NumPoints READ numPoints)
    Q_PROPERTY(int numChans READ numChans)
    Q_PROPERTY(int AutoCueThreshold READ autoCueThreshold WRITE setAutoCueThreshold)
    Q_PROPERTY(int Paused READ paused WRITE setPaused)
    Q_PROPERTY(double Pitch READ pitch WRITE setPitch)
    Q_PROPERTY(QVariant SampleGrabFilter READ sampleGrabFilter WRITE setSampleGrabFilter)
    Q_PROPERTY(int UseInputGrabber READ useInputGrabber WRITE setUseInputGrabber)
    Q_PROPERTY(int ForCapture READ forCapture WRITE setForCapture)
    Q_PROPERTY(int SegSeeker READ segSeeker WRITE setSegSeeker)
    Q_PROPERTY(int SegThreshold READ segThreshold WRITE setSegThreshold)
    Q_PROPERTY(int AvoidsActualRate READ avoidsActualRate WRITE setAvoidsActualRate)
    Q_PROPERTY(int SampleRate READ sampleRate WRITE setSampleRate)
    Q_PROPERTY(int BitsPerSample READ bitsPerSample WRITE setBitsPerSample)
    Q_PROPERTY(QVariant BlockAlign READ blockAlign WRITE setBlockAlign)
    Q_PROPERTY(int ThreadSleepmS READ threadSleepmS WRITE setThreadSleepmS)
    Q_PROPERTY(QObject* AddWMReader READ addWMReader WRITE setAddWMReader)
    Q_PROPERTY(QString SourceFileName READ sourceFileName)
    Q_PROPERTY(int UsePitchAdjuster READ usePitchAdjuster WRITE setUsePitchAdjuster)
    Q_PROPERTY(QObject* _NewEnum READ newEnum)

public:
    static inline const QString kGrabberName = QStringLiteral("SampleGrabber");
    static inline const QString kInputGrabberName = QStringLiteral("InputSampleGrabber");
    static inline const QString kOggSplitterName = QStringLiteral("Ogg Splitter");
    static inline const QString kWmReaderName = QStringLiteral("WM ASF Reader");
    static constexpr double kEarliestSampleTimeOnAttach = 1000.0;

    explicit Assist(QObject* parent = nullptr);
    ~Assist() override;

    // IAssist
    HRESULT get_CurrentGraph(QObject** graph) override;
    HRESULT putref_CurrentGraph(QObject* graph) override;
    HRESULT get_UniqueID(long* value) override;
    HRESULT put_UniqueID(long value) override;
    Q_INVOKABLE int RunGraph() override;
    Q_INVOKABLE int StopGraph() override;
    Q_INVOKABLE int SetNullClock(QObject* GraphMan) override;
    HRESULT get_NumPoints(long* value) override;
    HRESULT get_numChans(long* value) override;
    HRESULT PointValue(long* pIndex, long* pValue) override;
    Q_INVOKABLE int RenderFileToNull(const QString& Filename, QObject* GraphMan) override;
    Q_INVOKABLE int CountRenderers() override;
    HRESULT get_AutoCueThreshold(long* value) override;
    HRESULT put_AutoCueThreshold(long value) override;
    Q_INVOKABLE int RemoveFilter(const QVariant& Filter) override;
    Q_INVOKABLE int PauseGraph() override;
    Q_INVOKABLE int FindRenderers() override;
    Q_INVOKABLE int UnRenderToNull() override;
    Q_INVOKABLE int UseSystemClock() override;
    HRESULT get_Paused(long* value) override;
    HRESULT put_Paused(long value) override;
    Q_INVOKABLE int SetMinBufferSize() override;
    Q_INVOKABLE int SetCapturePinMinBuffer(const QVariant& pPin) override;
    HRESULT get_Pitch(double* value) override;
    HRESULT put_Pitch(double value) override;
    Q_INVOKABLE int AdviseSeeking() override;
    HRESULT get_SampleGrabFilter(QVariant* value) override;
    HRESULT putref_SampleGrabFilter(const QVariant& value) override;
    HRESULT get_UseInputGrabber(long* value) override;
    HRESULT put_UseInputGrabber(long value) override;
    HRESULT get_ForCapture(long* value) override;
    HRESULT put_ForCapture(long value) override;
    Q_INVOKABLE int SetGraph(QObject* pUnk) override;
    HRESULT get_SegSeeker(long* value) override;
    HRESULT put_SegSeeker(long value) override;
    HRESULT get_SegThreshold(long* value) override;
    HRESULT put_SegThreshold(long value) override;
    HRESULT get_AvoidsActualRate(long* value) override;
    HRESULT put_AvoidsActualRate(long value) override;
    HRESULT get_SampleRate(long* value) override;
    HRESULT put_SampleRate(long value) override;
    HRESULT get_BitsPerSample(long* value) override;
    HRESULT put_BitsPerSample(long value) override;
    HRESULT get_BlockAlign(long* value) override;
    HRESULT put_BlockAlign(long value) override;
    HRESULT get_ThreadSleepmS(long* value) override;
    HRESULT put_ThreadSleepmS(long value) override;
    HRESULT get_AddWMReader(QObject** value) override;
    HRESULT put_AddWMReader(QObject* value) override;
    HRESULT GetPinConnectionFileType(const QVariant& pPin, long* ConnectionMediaType) override;
    Q_INVOKABLE int RenderToNull(const QString& Filename, long ft, QObject* GraphUnk) override;
    HRESULT get_SourceFileName(QString* value) override;
    HRESULT GetPinMediaType(const QVariant& pinUnk, FileType* ftype) override;
    HRESULT get_IsPinConnected(const QVariant& pPin, long* value) override;
    HRESULT get_RemoveFilterFromGraph(QObject* pUnkGraph, const QVariant& pUnkFilter,
                                      long* value) override;
    HRESULT get_UsePitchAdjuster(short* value) override;
    HRESULT put_UsePitchAdjuster(short value) override;
    HRESULT get_NewEnum(QObject** enumerator) override;

    // IVBCol: answered, but only a renderer list's items are devices.
    HRESULT get_name(QString* name) override;
    HRESULT CreateInGraph(QObject* pGraph, const QString& FilterName) override;

    // Late-bound forms of the members that give a value: the value, or 0 (a null QVariant for
    // PointValue) when the member fails.
    Q_INVOKABLE int IsPinConnected(const QVariant& pPin);
    Q_INVOKABLE int RemoveFilterFromGraph(QObject* pUnkGraph, const QVariant& pUnkFilter);
    Q_INVOKABLE int GetPinConnectionFileType(const QVariant& pPin);
    Q_INVOKABLE int GetPinMediaType(const QVariant& pinUnk);
    Q_INVOKABLE QVariant PointValue(int index);

    // Property accessors for late binding.
    QObject* currentGraph();
    void setCurrentGraph(QObject* graph) { putref_CurrentGraph(graph); }
    int uniqueID() const { return m_uniqueId; }
    void setUniqueID(int value) { put_UniqueID(value); }
    int numPoints() { return readLong(&Assist::get_NumPoints); }
    int numChans() { return readLong(&Assist::get_numChans); }
    int autoCueThreshold() const { return m_tap.scan().autoCueThreshold(); }
    void setAutoCueThreshold(int value) { put_AutoCueThreshold(value); }
    int paused() const { return m_paused; }
    void setPaused(int value) { put_Paused(value); }
    double pitch() const { return m_tap.pitch(); }
    void setPitch(double value) { put_Pitch(value); }
    QVariant sampleGrabFilter() const { return {}; }
    void setSampleGrabFilter(const QVariant& value) { putref_SampleGrabFilter(value); }
    int useInputGrabber() const { return m_useInputGrabber; }
    void setUseInputGrabber(int value) { put_UseInputGrabber(value); }
    int forCapture() const { return m_forCapture; }
    void setForCapture(int value) { put_ForCapture(value); }
    int segSeeker() { return readLong(&Assist::get_SegSeeker); }
    void setSegSeeker(int value) { put_SegSeeker(value); }
    int segThreshold() const { return m_tap.scan().segThreshold(); }
    void setSegThreshold(int value) { put_SegThreshold(value); }
    int avoidsActualRate() { return readLong(&Assist::get_AvoidsActualRate); }
    void setAvoidsActualRate(int value) { put_AvoidsActualRate(value); }
    int sampleRate() { return readLong(&Assist::get_SampleRate); }
    void setSampleRate(int value) { put_SampleRate(value); }
    int bitsPerSample() { return readLong(&Assist::get_BitsPerSample); }
    void setBitsPerSample(int value) { put_BitsPerSample(value); }
    QVariant blockAlign() const { return {}; }
    void setBlockAlign(const QVariant&) {}
    int threadSleepmS() const { return m_tap.threadSleepmS(); }
    void setThreadSleepmS(int value) { put_ThreadSleepmS(value); }
    QObject* addWMReader() const { return nullptr; }
    void setAddWMReader(QObject* graph) { put_AddWMReader(graph); }
    QString sourceFileName();
    int usePitchAdjuster() const { return m_usePitchAdjuster ? -1 : 0; }
    void setUsePitchAdjuster(int value) { put_UsePitchAdjuster(static_cast<short>(value)); }
    QObject* newEnum();

    // The last speed value sent to the graph's pitch shifter; 0 before any.
    int pitchValueSent() const { return m_pitchValueSent; }
    // The threaded part, for tests and measurements.
    PeakTap& tap() { return m_tap; }

signals:
    void ThreadEvent(int LeftPeak, int RightPeak);
    void CueInFound(int CueInmS);
    void EndOfStream();
    void SegueFound(int SeguemSStart);
    void BufferFull(qintptr AddressofIntBuffer);

private:
    struct AudioFormat {
        int sampleRate = 0;
        int averageBytesPerSecond = 0;
        int channels = 0;
        int bitsPerSample = 0;
        int blockAlign = 0;
        int sampleSize = 0;
    };

    void handleMessage(int message, qintptr wParam) override;
    void handleGraphEvents();
    void handleCompletion();
    void fireThreadEvent();
    void post(int message, qintptr wParam = 0);

    HRESULT attach(QObject* graph);
    HRESULT prepareGrabberInGraph();
    HRESULT spliceGrabber(media::FilterGraph& graph);
    HRESULT insertPitchShifter(media::FilterGraph& graph);
    HRESULT prepareGrabber();
    HRESULT takeGrabberCallback();
    HRESULT readGrabbedFormat();
    void holdGraphControl();
    void detach();
    void detachAndForgetScan();
    void stopOperation();
    void stopHeldGraph();
    void seekForSegue();
    void sendPitch();
    void rebuildRendererList();
    HRESULT removeFilter(const media::FilterPtr& filter);
    HRESULT readFormatAfterPreroll(const media::Pin& output, media::MediaType& type);
    void dropQueuedGraphEvents();

    void holdGraph(media::FilterGraph& graph);
    HRESULT addFileSource(media::FilterGraph& graph, const QString& path);
    HRESULT takeOverFileSource(media::FilterGraph& graph, const QString& path);
    HRESULT renderSourceToNull(media::FilterGraph& graph);
    HRESULT rewindForScan();
    void releaseRenderedSource();
    void disconnectAll();

    QString grabberName() const;
    // The graph while it still exists; nullptr once it is detached or deleted.
    media::FilterGraph* graph() const { return m_graph.data(); }

    int readLong(HRESULT (Assist::*get)(long*)) {
        long value = 0;
        (this->*get)(&value);
        return static_cast<int>(value);
    }

    // Settings kept for their owners; no effect here.
    long m_uniqueId = 0;
    long m_forCapture = 0;
    long m_useInputGrabber = 0;
    bool m_usePitchAdjuster = false;
    long m_paused = 0;
    int m_pitchValueSent = 0;
    AudioFormat m_format;

    // What is held of the attached graph.
    bool m_graphHeld = false;
    QPointer<media::FilterGraph> m_graph;
    bool m_controlHeld = false; // run, stop, position
    QMetaObject::Connection m_graphEvents;
    std::shared_ptr<media::SampleGrabber> m_grabber; // carries our callback
    media::FilterPtr m_source;                       // added by the last render to null

    QList<VBCol*> m_renderers;

    std::unique_ptr<MessageWindow> m_window;
    PeakTap m_tap;
};

} // namespace nexuvo
