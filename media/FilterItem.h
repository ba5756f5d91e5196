#pragma once

#include "media/Filter.h"
#include "platform/ResultCodes.h"

#include <QString>
#include <functional>

namespace media {

class FilterGraph;

// A filter that can be made by name: a registered filter or a capture device.
class FilterItem {
public:
    using Factory = std::function<FilterPtr()>;

    FilterItem() = default;
    FilterItem(QString name, Factory factory);

    QString name() const { return m_name; }

    // A new instance, not yet in any graph; null when it cannot be made.
    FilterPtr create() const;
    // Makes the filter and adds it to the graph under the given name (the item's name when
    // empty).
    HRESULT createIn(FilterGraph& graph, FilterPtr& filter, const QString& nameInGraph = {}) const;

private:
    QString m_name;
    Factory m_factory;
};

} // namespace media
