#pragma once

#include "media/Filter.h"
#include "platform/ResultCodes.h"

#include <functional>

namespace media {
class FilterGraph;
}

namespace nexuvo {

// Clearing a graph before and after a file is rendered into it.
class GraphTidy {
public:
    using Stop = std::function<void()>;

    // Takes each filter's first connected input and first connected output off the pins they
    // are connected to. A pin that refuses is asked once more after `stop`.
    static void disconnectAll(media::FilterGraph& graph, const Stop& stop);

    // Removes every filter, other than a file source, that has no connected input: whatever a
    // render left without anything to feed it, and then what that one fed.
    static void removeDanglingFilters(media::FilterGraph& graph);

    // A filter that reads a file into the graph.
    static bool isFileSource(const media::Filter& filter);
    // The graph's first file source; null when it has none.
    static media::FilterPtr findFileSource(const media::FilterGraph& graph);
};

} // namespace nexuvo
