// The assistant's stored values, the audio format it reads from the grabber, and the late-bound
// forms of the members that give a value.
#include "nexuvo/Assist.h"

#include "nexuvo/AssistArguments.h"

namespace nexuvo {

using namespace AssistArguments;
using namespace ResultCode;

// ---- Stored values and format --------------------------------------------------------------

HRESULT Assist::get_UniqueID(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_uniqueId;
    return S_OK;
}

HRESULT Assist::put_UniqueID(long value) {
    m_uniqueId = value;
    return S_OK;
}

HRESULT Assist::get_ForCapture(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_forCapture;
    return S_OK;
}

HRESULT Assist::put_ForCapture(long value) {
    m_forCapture = value;
    return S_OK;
}

HRESULT Assist::get_UseInputGrabber(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_useInputGrabber;
    return S_OK;
}

HRESULT Assist::put_UseInputGrabber(long value) {
    m_useInputGrabber = value;
    return S_OK;
}

HRESULT Assist::get_AutoCueThreshold(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_tap.scan().autoCueThreshold();
    return S_OK;
}

HRESULT Assist::put_AutoCueThreshold(long value) {
    m_tap.scan().setAutoCueThreshold(value);
    return S_OK;
}

HRESULT Assist::get_SegThreshold(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_tap.scan().segThreshold();
    return S_OK;
}

HRESULT Assist::put_SegThreshold(long value) {
    m_tap.scan().setSegThreshold(value);
    return S_OK;
}

HRESULT Assist::get_SegSeeker(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_tap.scan().segueSeeking() ? 1 : 0;
    return S_OK;
}

HRESULT Assist::put_SegSeeker(long value) {
    m_tap.scan().setSegueSeeking(isTrue(value));
    if (isTrue(value))
        RunGraph();
    return S_OK;
}

HRESULT Assist::get_ThreadSleepmS(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_tap.threadSleepmS();
    return S_OK;
}

HRESULT Assist::put_ThreadSleepmS(long value) {
    m_tap.setThreadSleepmS(value);
    return S_OK;
}

HRESULT Assist::get_NumPoints(long* value) {
    if (!value)
        return E_POINTER;
    *value = -1; // the point list is never filled
    return S_OK;
}

HRESULT Assist::PointValue(long* pIndex, long* pValue) {
    if (!pIndex)
        return E_POINTER;
    (void)pValue; // there are no points to write
    return S_OK;
}

QVariant Assist::PointValue(int) {
    return {}; // there are no points
}

HRESULT Assist::get_numChans(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_format.channels;
    return S_OK;
}

HRESULT Assist::get_SampleRate(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_format.sampleRate;
    return S_OK;
}

HRESULT Assist::put_SampleRate(long) {
    return S_OK;
}

HRESULT Assist::get_BitsPerSample(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_format.bitsPerSample;
    return S_OK;
}

HRESULT Assist::put_BitsPerSample(long) {
    return S_OK;
}

HRESULT Assist::get_BlockAlign(long*) {
    return S_OK;
}

HRESULT Assist::put_BlockAlign(long) {
    return S_OK;
}

HRESULT Assist::get_SampleGrabFilter(QVariant*) {
    return S_OK;
}

HRESULT Assist::putref_SampleGrabFilter(const QVariant&) {
    return S_OK;
}

HRESULT Assist::get_AddWMReader(QObject**) {
    return S_OK;
}

// ---- Late-bound value forms ----------------------------------------------------------------

int Assist::IsPinConnected(const QVariant& pPin) {
    long value = 0;
    get_IsPinConnected(pPin, &value);
    return static_cast<int>(value);
}

int Assist::RemoveFilterFromGraph(QObject* pUnkGraph, const QVariant& pUnkFilter) {
    long value = 0;
    get_RemoveFilterFromGraph(pUnkGraph, pUnkFilter, &value);
    return static_cast<int>(value);
}

int Assist::GetPinConnectionFileType(const QVariant& pPin) {
    long value = 0;
    GetPinConnectionFileType(pPin, &value);
    return static_cast<int>(value);
}

int Assist::GetPinMediaType(const QVariant& pinUnk) {
    FileType type = FileTypeUnknown;
    GetPinMediaType(pinUnk, &type);
    return type;
}

QString Assist::sourceFileName() {
    QString name;
    get_SourceFileName(&name);
    return name;
}

} // namespace nexuvo
