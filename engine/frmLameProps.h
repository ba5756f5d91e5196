#pragma once

#include <QDialog>
#include <QPointer>
#include <array>

class Corvate;
class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The MP3 encoder's settings dialog, "Audio Encoder Properties". It works on the live encoder
// through the engine's Corvate object, reads back after every change what the encoder accepted
// and reports that to the engine by its events, which the engine stores.
//
// The host connects the events, calls activate() and, when that returns true, runs the dialog
// modally.
class frmLameProps : public QDialog {
    Q_OBJECT
public:
    // The bit rates offered, kbit/s, in list order.
    static constexpr std::array<int, 15> kBitRates{8,  16, 24,  32,  40,  48,  56, 64,
                                                   80, 96, 112, 128, 160, 192, 224};

    explicit frmLameProps(QWidget* parent = nullptr);

    // The first activation: loads the controls from the encoder. Without an encoder object it
    // tells the user, closes the dialog and returns false. Later calls do nothing.
    bool activate();

    // The list texts: "8 kbps" … for positions 0 to 14, and back from kbit/s to a position
    // (-1 for a rate not listed).
    static QString bitRateName(int position);
    static int bitRatePosition(int kbps);

    // Where the host makes the scratch MP3 recording whose graph gives the dialog an encoder to
    // show: "Settingup.mp3" in a folder of the user's own (the runtime folder, or the cache folder
    // where there is none), created if needed, so no other user's file can stand in its way.
    static QString ScratchFilePath();

signals:
    // Asks the host for the encoder object; the handler fills it in.
    void GetCorvate(Corvate** corvate);
    void ChannelModeChanged(int ChanMode);
    void SampleRateChanged(int SampleRate);
    void VBRChanged(bool VBR);
    void MinBitRateChanged(int MinBitRate);
    void MaxBitRateChanged(int MaxBitRate);

private:
    void buildControls();
    void connectControls();
    bool LoadFromEncoder();
    void RefreshBitRates();
    void showMode();
    void showChannelMode();
    void selectSampleRate(int hz);
    bool encoderVbr() const;

    void cboBitRateMin_Click();
    void cboBitRateMax_Click();
    void optMode_Click(bool vbr);
    void optChannelMode_Click(int index);
    void cboSampleRate_Click();
    void CmdRegLoad_Click();

    QPointer<Corvate> m_corvate;
    bool m_activated = false;
    // Set while the dialog refills the bit-rate lists itself, so their handlers stay quiet.
    // Option buttons answer only to clicks, and the sample-rate list answers to every change.
    bool m_settingBitRates = false;

    QRadioButton* optCBR = nullptr;
    QRadioButton* optVBR = nullptr;
    QComboBox* cboBitRateMin = nullptr;
    QComboBox* cboBitRateMax = nullptr;
    QLabel* lblInputSamples = nullptr;
    QLabel* lblInputChannelMode = nullptr;
    QButtonGroup* optChannelMode = nullptr;
    QComboBox* cboSampleRate = nullptr;
    QPushButton* CmdRegLoad = nullptr;
    QPushButton* cmdClose = nullptr;
};
