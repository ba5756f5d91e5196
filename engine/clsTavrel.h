#pragma once

#include "media/FilterGraph.h"
#include "media/FilterItem.h"
#include "media/KeyedList.h"
#include "platform/ResultCodes.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>

class Corvate;
class QWidget;

// The recording engine: lists the capture devices, builds a graph that takes the chosen device's
// audio through a sample grabber into a file, tries it once, runs and stops it, and announces
// its record state. An Assist object from the Nexuvo library is attached to every graph; its
// level notifications come back here and go on to the host as AudioPeaks and Timing.
class clsTavrel : public QObject {
    Q_OBJECT
public:
    // Record states.
    static constexpr int StateStopped = 0;
    static constexpr int StateBuilding = 1;
    static constexpr int StateRecording = 2;
    static constexpr int StateReady = 3;
    static constexpr int StateFailed = -1000;

    explicit clsTavrel(QObject* parent = nullptr);
    ~clsTavrel() override;

    // 0 ready, 1 no audio capture device, 2 no "WM ASF WRITER" registered, else an error number.
    int Initialise();
    const media::KeyedList<media::FilterItem>& colCapture() const { return m_devices; }
    QString CaptureDeviceName();
    void setCaptureDeviceName(const QString& name);
    int RecordState() const { return m_recordState; }

    // Builds a graph writing the path (announcing 1, then 3); an empty path stops and releases
    // everything.
    bool OutputFileName(const QString& path);
    bool Record();
    bool StopRecording();
    QString FileName() const { return m_outputFileName; }
    // The file of the last recording that ended through WriteFailed, kept until the next one
    // fails (FileName() names it too, until the next OutputFileName).
    QString FailedFileName() const { return m_failedFileName; }
    bool GetRegistryFilter(const QString& name, media::FilterItem& item);

    int Profile() const { return m_profile; }
    // With a graph built, rebuilds it and, if it was recording, records again. A running file is
    // left whole: the new graph writes a numbered file beside it ("name(1).wma"), which FileName()
    // then names.
    void setProfile(int profile);
    bool ShowPropertyPage(QWidget* owner, const QString& filterName);

    int AudioFormat();
    void setAudioFormat(int format);

    // MP3 encoder settings, kept in the settings section "MPEGSettings".
    int VBRMin() const;
    void setVBRMin(int kbps);
    int VBRMax() const;
    void setVBRMax(int kbps);
    int ChannelMode() const;
    void setChannelMode(int mode);
    bool VBR() const;
    void setVBR(bool on);
    int SampleRate() const;
    void setSampleRate(int hz);

    // The graph being built or run, for the host and for tests.
    media::FilterGraph* graph() const { return m_graph.get(); }
    QObject* helper() const { return m_helper; }
    // The MP3 encoder's control object, made on first use and kept for the engine's life.
    Corvate* corvate();

    static constexpr int kThreadSleepMs = 50;

signals:
    // Once in every WMA build, after the file name is set on the writer and before the graph is
    // handed to the helper: the host applies the profile and, if wanted, the network stream.
    void GetQuillon(media::FilterPtr writer, media::FilterGraph* graph);
    void AudioPeaks(int leftPeak, int rightPeak);
    void Timing(double position);
    void PlayStateChanged(int oldState, int newState);
    // The recording ended by itself: the graph reported an error, or the file was no longer at
    // its path (its folder removed, its drive unmounted). kind is a media::GraphErrorKind value,
    // text says what happened. By then the graph is stopped and released, the file finalised as
    // far as it was written, and the state gone from 2 to 0 (PlayStateChanged and
    // AudioPeaks(0, 0) came first); a new recording needs a new OutputFileName.
    void WriteFailed(int kind, QString text);

public slots:
    void Helper_ThreadEvent(int LeftPeak, int RightPeak);

    // The settings dialog's events: each accepted change is stored.
    void FrmLame_GetCorvate(Corvate** corvate);
    void FrmLame_ChannelModeChanged(int ChanMode);
    void FrmLame_MinBitRateChanged(int MinBitRate);
    void FrmLame_MaxBitRateChanged(int MaxBitRate);
    void FrmLame_SampleRateChanged(int SampleRate);
    void FrmLame_VBRChanged(bool VBR);

private:
    // A step that failed and ends a build through its error path.
    struct BuildError {
        HRESULT number;
        QString description;
    };

    bool BuildGraph(const QString& path);
    bool BuildWmaGraph(const QString& path);
    bool BuildMp3Graph(const QString& path);
    bool ShowEncoderDialog(QWidget* owner);
    void ApplyEncoderSettings();
    void TearDownGraph();
    void TearDownGraphObjects();
    void SetRecordState(int n);
    void FindPins(const media::FilterPtr& filter, media::Pin& input, media::Pin& output);
    void loadRegisteredFilters();

    // Build steps.
    void startBuild();
    bool addCaptureFilter(media::FilterPtr& capture);
    bool addRegisteredFilter(const QString& name, const QString& notFoundText,
                             const QString& failedText, media::FilterPtr& filter);
    bool checkPins(const media::Pin& captureOut, const media::Pin& grabberIn,
                   const media::Pin& grabberOut, const media::Pin& sinkIn,
                   const QString& noGrabberPins, const QString& noSinkPin);
    void createHelper();
    void attachGraphToHelper();
    void attachGraphToHelperReporting();
    void mp3Step(HRESULT hr, const QString& failureText);
    void connectOrThrow(const media::Pin& output, const media::Pin& input);
    void connectStep(const media::Pin& output, const media::Pin& input, const QString& failureText);
    static void throwIfFailed(HRESULT hr);
    bool tryGraph();
    void finishBuild();
    void failBuild(const BuildError& error);
    bool helperHasGraph() const;

    // Watching a recording for faults.
    void Graph_EventQueued();
    void CheckOutputFile();
    void noteOutputFile();
    void endFailedRecording(media::GraphErrorKind kind, const QString& text, bool fileIsOurs);

    QString m_captureDeviceName;
    int m_audioFormat = 0;
    int m_profile = 0;
    int m_recordState = StateStopped;
    int m_lastAnnounced = StateStopped;
    int m_peakEvents = 0;
    bool m_built = false;
    QString m_outputFileName;
    QString m_failedFileName;
    // The file being recorded, as found at its path when recording started: while recording
    // the path must still lead to it.
    QTimer m_fileCheck;
    bool m_fileKnown = false;
    quint64 m_fileDevice = 0;
    quint64 m_fileInode = 0;
    bool m_failurePending = false;
    media::KeyedList<media::FilterItem> m_devices;
    media::KeyedList<media::FilterItem> m_filters;
    std::unique_ptr<media::FilterGraph> m_graph;
    QPointer<QObject> m_helper;
    std::unique_ptr<Corvate> m_corvate;
};
