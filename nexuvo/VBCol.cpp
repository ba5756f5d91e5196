#include "nexuvo/VBCol.h"

#include "media/FilterGraph.h"

namespace nexuvo {

using namespace ResultCode;

VBCol::VBCol(QObject* parent) : QObject(parent) {}

VBCol::VBCol(const media::FilterItem& device, QObject* parent)
    : QObject(parent), m_device(device) {}

QString VBCol::name() const {
    return m_device ? m_device->name() : QString();
}

VBCol* VBCol::copy(QObject* parent) const {
    return m_device ? new VBCol(*m_device, parent) : new VBCol(parent);
}

HRESULT VBCol::get_name(QString* name) {
    if (!name)
        return E_POINTER;
    *name = this->name();
    return S_OK;
}

int VBCol::CreateInGraph(QObject* pGraph, const QString& FilterName) {
    auto* graph = qobject_cast<media::FilterGraph*>(pGraph);
    if (!graph)
        return DISP_E_TYPEMISMATCH;
    if (!m_device)
        return E_FAIL;
    media::FilterPtr filter;
    return m_device->createIn(*graph, filter, FilterName);
}

} // namespace nexuvo
