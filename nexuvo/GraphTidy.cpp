#include "nexuvo/GraphTidy.h"

#include "media/FileSource.h"
#include "media/FilterGraph.h"

namespace nexuvo {

using media::FilterPtr;
using media::Pin;
using media::PinDirection;

namespace {

void disconnectFromFarEnd(media::FilterGraph& graph, const Pin& pin, const GraphTidy::Stop& stop) {
    const Pin far = pin.connectedTo();
    if (!far.isNull() && FAILED(graph.disconnect(far))) {
        stop();
        graph.disconnect(far);
    }
    graph.disconnect(pin);
}

bool isDangling(const media::Filter& filter) {
    return !GraphTidy::isFileSource(filter) && filter.findPin(PinDirection::Input, true).isNull();
}

// One removal per walk: removing a filter can leave the one it fed dangling too.
bool removeFirstDangling(media::FilterGraph& graph) {
    for (const FilterPtr& filter : graph.filters()) {
        if (isDangling(*filter) && SUCCEEDED(graph.removeFilter(filter)))
            return true;
    }
    return false;
}

} // namespace

void GraphTidy::disconnectAll(media::FilterGraph& graph, const Stop& stop) {
    for (const FilterPtr& filter : graph.filters()) {
        const Pin input = filter->findPin(PinDirection::Input, true);
        const Pin output = filter->findPin(PinDirection::Output, true);
        for (const Pin& pin : {input, output}) {
            if (!pin.isNull())
                disconnectFromFarEnd(graph, pin, stop);
        }
    }
}

void GraphTidy::removeDanglingFilters(media::FilterGraph& graph) {
    while (removeFirstDangling(graph)) {
    }
}

bool GraphTidy::isFileSource(const media::Filter& filter) {
    return dynamic_cast<const media::FileSource*>(&filter) != nullptr;
}

FilterPtr GraphTidy::findFileSource(const media::FilterGraph& graph) {
    for (const FilterPtr& filter : graph.filters()) {
        if (isFileSource(*filter))
            return filter;
    }
    return {};
}

} // namespace nexuvo
