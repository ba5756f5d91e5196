#pragma once

#include "engine/clsTavrel.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

// One logger: owns a recording engine and a network-sink control, passes commands and settings
// to the engine, keeps the streaming settings, and once a second works out when the current file
// must end. It does not change files itself: it raises IntervalReached and its host records the
// next file on the other logger.
class Tavlo : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTickMs = 1000;
    static constexpr int kInitialInterval = 5;

    explicit Tavlo(QWidget* parent = nullptr);
    ~Tavlo() override;

    int Initialise();
    const media::KeyedList<media::FilterItem>& colCapture() const;
    QString CaptureDeviceName();
    void setCaptureDeviceName(const QString& name);
    int RecordState() const;
    bool Record();
    bool StopRecording();
    bool OutputFileName(const QString& path);
    QString FileName() const;
    // The file of the last recording that ended through WriteFailed.
    QString FailedFileName() const;
    double CurrentPosition() const { return 0.0; }
    int Profile() const;
    void setProfile(int profile);
    int Interval() const { return m_interval; }
    void setInterval(int code);
    bool UseStreaming() const;
    void setUseStreaming(bool on);
    int PortNumber() const;
    void setPortNumber(int port);
    int MaxClients() const;
    void setMaxClients(int clients);
    int AudioFormat();
    void setAudioFormat(int format);
    bool GetRegistryFilter(const QString& name, media::FilterItem& item);
    bool LameInstalled();
    bool ShowPropertyPage(QWidget* owner, const QString& filterName);
    bool Synchronised() const { return m_synchronised; }
    void setSynchronised(bool on) { m_synchronised = on; }
    bool ShouldSync();
    void setShouldSync(bool on);
    // The next top of the hour, as a day number (days since 30 December 1899).
    double GetNextLogicalTopOfHour() const;
    bool RemoveNetworkSink();
    bool Streaming() const { return m_streaming; }
    int VBRMin() const;
    bool VBR() const;
    int VBRMax() const;
    void ResetLameSettings();

    clsTavrel* cTavrel() const { return m_engine; }
    QWidget* Quillon1() const { return m_quillon; }
    QTimer* Timer1() { return &m_timer; }
    // When the current file must end (a day number; 0 or less: not worked out yet).
    double NextChange() const { return m_nextChange; }

public slots:
    // The one-second tick.
    void Timer1_Timer();

signals:
    void AddingNetworkSink();
    void SecsToNextSynchPoint(int seconds);
    void SynchroniseNow();
    void CountingDowntoInterval(int seconds);
    void IntervalReached();
    void Timing(double position);
    void AudioPeaks(int leftPeak, int rightPeak);
    void PlayStateChanged(int oldState, int newState);
    // The engine's recording ended by itself (see clsTavrel::WriteFailed); the stream, if any,
    // is closed and its port free.
    void WriteFailed(int kind, QString text);

private slots:
    void cTavrel_GetQuillon(media::FilterPtr writer, media::FilterGraph* graph);
    void cTavrel_PlayStateChanged(int oldState, int newState);
    void cTavrel_WriteFailed(int kind, const QString& text);

private:
    void createQuillon();
    void releaseWriter();
    double workOutNextChange() const;
    static qint64 secondsUntil(double dayNumber);

    clsTavrel* m_engine;
    QPointer<QWidget> m_quillon;
    QTimer m_timer;
    int m_interval = kInitialInterval;
    double m_nextChange = 0.0;
    bool m_streaming = false;
    bool m_synchronised = false;
    bool m_shouldSync = true;
    bool m_busy = false;
};
