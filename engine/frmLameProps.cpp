#include "engine/frmLameProps.h"

#include "engine/Corvate.h"
#include "engine/EngineMessages.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

using platform::PromptIcon;

namespace {

const QStringList kSampleRates{QStringLiteral("48000"), QStringLiteral("44100"),
                               QStringLiteral("32000"), QStringLiteral("24000"),
                               QStringLiteral("22050"), QStringLiteral("16000")};
const QStringList kChannelModes{QStringLiteral("Stereo"), QStringLiteral("Dual Stereo"),
                                QStringLiteral("Dual Mono"), QStringLiteral("Mono")};

template <typename T> T* named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

} // namespace

frmLameProps::frmLameProps(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Audio Encoder Properties"));
    buildControls();
    cboSampleRate->addItems(kSampleRates);
    cboSampleRate->setCurrentIndex(-1);
    connectControls();
}

QString frmLameProps::bitRateName(int position) {
    if (position < 0 || position >= static_cast<int>(kBitRates.size()))
        return {};
    return QStringLiteral("%1 kbps").arg(kBitRates[position]);
}

int frmLameProps::bitRatePosition(int kbps) {
    for (int i = 0; i < static_cast<int>(kBitRates.size()); ++i) {
        if (kBitRates[i] == kbps)
            return i;
    }
    return -1;
}

// --- Controls -------------------------------------------------------------------------------

void frmLameProps::buildControls() {
    auto* encoding = new QGroupBox(QStringLiteral("Encoding Details"));
    optCBR = named(new QRadioButton(QStringLiteral("Constant Bit Rate")), "optCBR");
    optVBR = named(new QRadioButton(QStringLiteral("Variable Bit Rate")), "optVBR");
    auto* modes = new QButtonGroup(this);
    modes->addButton(optCBR);
    modes->addButton(optVBR);
    cboBitRateMin = named(new QComboBox, "cboBitRateMin");
    cboBitRateMax = named(new QComboBox, "cboBitRateMax");
    auto* encodingGrid = new QGridLayout(encoding);
    encodingGrid->addWidget(new QLabel(QStringLiteral("VBR Mode:")), 0, 0);
    encodingGrid->addWidget(optCBR, 0, 1);
    encodingGrid->addWidget(optVBR, 1, 1);
    encodingGrid->addWidget(new QLabel(QStringLiteral("BitRateMin")), 2, 0);
    encodingGrid->addWidget(cboBitRateMin, 2, 1);
    encodingGrid->addWidget(new QLabel(QStringLiteral("BitRateMax")), 3, 0);
    encodingGrid->addWidget(cboBitRateMax, 3, 1);

    auto* source = new QGroupBox(QStringLiteral("Source (Input) Properties"));
    lblInputSamples = named(new QLabel, "lblInputSamples");
    lblInputChannelMode = named(new QLabel, "lblInputChannelMode");
    auto* sourceGrid = new QGridLayout(source);
    sourceGrid->addWidget(new QLabel(QStringLiteral("SamplesPerSecond:")), 0, 0);
    sourceGrid->addWidget(lblInputSamples, 0, 1);
    sourceGrid->addWidget(new QLabel(QStringLiteral("ChannelMode:")), 1, 0);
    sourceGrid->addWidget(lblInputChannelMode, 1, 1);

    auto* destination = new QGroupBox(QStringLiteral("Destination (Output) Properties"));
    auto* destinationGrid = new QGridLayout(destination);
    destinationGrid->addWidget(new QLabel(QStringLiteral("Channel Mode:")), 0, 0);
    optChannelMode = new QButtonGroup(this);
    for (int i = 0; i < kChannelModes.size(); ++i) {
        auto* option =
            named(new QRadioButton(kChannelModes[i]), QStringLiteral("optChannelMode%1").arg(i));
        optChannelMode->addButton(option, i);
        destinationGrid->addWidget(option, i, 1);
    }
    cboSampleRate = named(new QComboBox, "cboSampleRate");
    destinationGrid->addWidget(new QLabel(QStringLiteral("SamplesPerSecond:")),
                               kChannelModes.size(), 0);
    destinationGrid->addWidget(cboSampleRate, kChannelModes.size(), 1);

    CmdRegLoad = named(new QPushButton(QStringLiteral("&Load all from registry")), "CmdRegLoad");
    cmdClose = named(new QPushButton(QStringLiteral("&Close")), "cmdClose");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CmdRegLoad);
    buttons->addStretch();
    buttons->addWidget(cmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(encoding);
    layout->addWidget(source);
    layout->addWidget(destination);
    layout->addLayout(buttons);
}

void frmLameProps::connectControls() {
    connect(cboBitRateMin, &QComboBox::currentIndexChanged, this,
            &frmLameProps::cboBitRateMin_Click);
    connect(cboBitRateMax, &QComboBox::currentIndexChanged, this,
            &frmLameProps::cboBitRateMax_Click);
    connect(optCBR, &QRadioButton::clicked, this, [this] { optMode_Click(false); });
    connect(optVBR, &QRadioButton::clicked, this, [this] { optMode_Click(true); });
    connect(optChannelMode, &QButtonGroup::idClicked, this, &frmLameProps::optChannelMode_Click);
    connect(cboSampleRate, &QComboBox::currentIndexChanged, this,
            &frmLameProps::cboSampleRate_Click);
    connect(CmdRegLoad, &QPushButton::clicked, this, &frmLameProps::CmdRegLoad_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
}

// --- Loading from the encoder ---------------------------------------------------------------

bool frmLameProps::activate() {
    if (!m_activated) {
        m_activated = true;
        LoadFromEncoder();
    }
    return !m_corvate.isNull();
}

bool frmLameProps::LoadFromEncoder() {
    Corvate* corvate = nullptr;
    emit GetCorvate(&corvate);
    m_corvate = corvate;
    if (!m_corvate) {
        EngineMessages::show(QStringLiteral("No Corvate, Cannot Continue!"),
                             QStringLiteral("Must Quit!"), PromptIcon::Critical);
        close();
        return false;
    }
    showChannelMode();
    int rate = 0;
    m_corvate->get_OutputSampleRate(&rate);
    selectSampleRate(rate);
    int inputRate = 0;
    int inputChannels = 0;
    if (SUCCEEDED(m_corvate->get_InputSampleRate(&inputRate)))
        lblInputSamples->setText(QString::number(inputRate));
    if (SUCCEEDED(m_corvate->get_InputChannels(&inputChannels)))
        lblInputChannelMode->setText(inputChannels == 1 ? QStringLiteral("Mono")
                                                        : QStringLiteral("Stereo"));
    showMode();
    RefreshBitRates();
    return true;
}

bool frmLameProps::encoderVbr() const {
    bool vbr = false;
    if (m_corvate)
        m_corvate->get_VBR(&vbr);
    return vbr;
}

void frmLameProps::showMode() {
    (encoderVbr() ? optVBR : optCBR)->setChecked(true);
}

// Selects the option of the channel mode the encoder reports; none when it reports another.
void frmLameProps::showChannelMode() {
    int mode = -1;
    m_corvate->get_ChannelMode(&mode);
    if (QAbstractButton* option = optChannelMode->button(mode))
        option->setChecked(true);
}

// The first entry with the rate; a rate not listed leaves the selection as it is.
void frmLameProps::selectSampleRate(int hz) {
    const int index = kSampleRates.indexOf(QString::number(hz));
    if (index >= 0)
        cboSampleRate->setCurrentIndex(index);
}

void frmLameProps::RefreshBitRates() {
    m_settingBitRates = true;
    cboBitRateMin->clear();
    cboBitRateMax->clear();
    for (int i = 0; i < static_cast<int>(kBitRates.size()); ++i) {
        cboBitRateMin->addItem(bitRateName(i));
        cboBitRateMax->addItem(bitRateName(i));
    }
    if (!encoderVbr()) {
        int bitrate = 0;
        m_corvate->get_Bitrate(&bitrate);
        cboBitRateMin->setCurrentIndex(bitRatePosition(bitrate));
        cboBitRateMax->setCurrentIndex(-1);
        cboBitRateMax->setEnabled(false);
    } else {
        int minimum = 0;
        int maximum = 0;
        m_corvate->get_VBRMin(&minimum);
        m_corvate->get_VBRMax(&maximum);
        cboBitRateMin->setCurrentIndex(bitRatePosition(minimum));
        cboBitRateMax->setCurrentIndex(bitRatePosition(maximum));
        cboBitRateMax->setEnabled(true);
    }
    m_settingBitRates = false;
}

// --- User actions ---------------------------------------------------------------------------

void frmLameProps::cboBitRateMin_Click() {
    const int position = cboBitRateMin->currentIndex();
    if (m_settingBitRates || !m_corvate || position < 0)
        return;
    const bool vbr = encoderVbr();
    if (vbr)
        m_corvate->put_VBRMin(kBitRates[position]);
    else
        m_corvate->put_Bitrate(kBitRates[position]);
    RefreshBitRates();
    int accepted = 0;
    if (vbr)
        m_corvate->get_VBRMin(&accepted);
    else
        m_corvate->get_Bitrate(&accepted);
    emit MinBitRateChanged(accepted);
}

void frmLameProps::cboBitRateMax_Click() {
    const int position = cboBitRateMax->currentIndex();
    if (m_settingBitRates || !m_corvate || position < 0)
        return;
    m_corvate->put_VBRMax(kBitRates[position]);
    RefreshBitRates();
    int accepted = 0;
    m_corvate->get_VBRMax(&accepted);
    emit MaxBitRateChanged(accepted);
}

// The mode reported is the one the encoder took, so a refused change is not stored as made. On
// the way into the variable mode the maximum now shown is reported too: builds in constant mode
// do not hand the stored maximum to the encoder, and the one shown is the one in use.
void frmLameProps::optMode_Click(bool vbr) {
    if (!m_corvate)
        return;
    m_corvate->put_VBR(vbr);
    showMode();
    RefreshBitRates();
    const bool variable = encoderVbr();
    emit VBRChanged(variable);
    int maximum = 0;
    if (variable && SUCCEEDED(m_corvate->get_VBRMax(&maximum)))
        emit MaxBitRateChanged(maximum);
}

void frmLameProps::optChannelMode_Click(int index) {
    if (!m_corvate)
        return;
    m_corvate->put_ChannelMode(index);
    int accepted = -1;
    m_corvate->get_ChannelMode(&accepted);
    if (accepted == index)
        emit ChannelModeChanged(index);
    else
        showChannelMode(); // a refused mode does not stay selected
}

void frmLameProps::cboSampleRate_Click() {
    if (!m_corvate || cboSampleRate->currentIndex() < 0)
        return;
    const int chosen = cboSampleRate->currentText().toInt();
    m_corvate->put_OutputSampleRate(chosen);
    int accepted = 0;
    m_corvate->get_OutputSampleRate(&accepted);
    if (accepted == chosen)
        emit SampleRateChanged(chosen);
    selectSampleRate(accepted);
}

void frmLameProps::CmdRegLoad_Click() {
    if (!m_corvate || FAILED(m_corvate->LoadStoredSettings())) {
        EngineMessages::show(QStringLiteral("Registry load failed."));
        return;
    }
    LoadFromEncoder();
}

QString frmLameProps::ScratchFilePath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(folder);
    return QDir(folder).filePath(QStringLiteral("Settingup.mp3"));
}
