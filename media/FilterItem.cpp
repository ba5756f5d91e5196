#include "media/FilterItem.h"

#include "media/FilterGraph.h"

namespace media {

using namespace ResultCode;

FilterItem::FilterItem(QString name, Factory factory)
    : m_name(std::move(name)), m_factory(std::move(factory)) {}

FilterPtr FilterItem::create() const {
    return m_factory ? m_factory() : nullptr;
}

HRESULT FilterItem::createIn(FilterGraph& graph, FilterPtr& filter,
                             const QString& nameInGraph) const {
    FilterPtr made = create();
    if (!made)
        return E_FAIL;
    const HRESULT hr = graph.addFilter(made, nameInGraph.isEmpty() ? m_name : nameInGraph);
    if (FAILED(hr))
        return hr;
    filter = made;
    return hr;
}

} // namespace media
