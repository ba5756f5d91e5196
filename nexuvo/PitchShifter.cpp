#include "nexuvo/PitchShifter.h"

#include "media/FilterGraph.h"
#include "media/FilterRegistry.h"

#include <gst/gst.h>

#include <algorithm>
#include <cmath>

namespace nexuvo {

using namespace ResultCode;

namespace {

constexpr double kMinTempo = 0.1;
constexpr double kMaxTempo = 10.0;
constexpr double kRoundingSlack = 1e-9;

HRESULT connectDirectOrIntelligent(media::FilterGraph& graph, const media::Pin& output,
                                   const media::Pin& input) {
    const HRESULT direct = graph.connectDirect(output, input);
    return SUCCEEDED(direct) ? direct : graph.connect(output, input);
}

HRESULT findOrAddShifter(media::FilterGraph& graph, media::FilterPtr& shifter) {
    shifter = graph.findFilterByName(PitchShifter::kName);
    if (shifter)
        return S_OK;
    const auto filters = media::FilterRegistry::instance().registeredFilters();
    const media::FilterItem* item = filters.item(PitchShifter::kName);
    if (!item)
        return REGDB_E_CLASSNOTREG;
    return item->createIn(graph, shifter, PitchShifter::kName);
}

} // namespace

HRESULT PitchShifter::insertBefore(media::FilterGraph& graph, const media::Pin& rendererInput) {
    media::FilterPtr shifter;
    const HRESULT added = findOrAddShifter(graph, shifter);
    if (FAILED(added))
        return added;

    const media::Pin upstream = rendererInput.connectedTo();
    if (upstream.isNull())
        return E_UNEXPECTED;
    // A graph attached again has its shifter in place already.
    if (upstream.filter() == shifter)
        return S_OK;

    // The shifter's free pins are looked for before anything is taken apart: a shifter that is
    // busy elsewhere leaves the renderer connected as it was.
    const media::Pin shifterIn = shifter->findPin(media::PinDirection::Input, false);
    const media::Pin shifterOut = shifter->findPin(media::PinDirection::Output, false);
    if (shifterIn.isNull() || shifterOut.isNull())
        return E_UNEXPECTED;
    if (FAILED(graph.disconnect(upstream)) || FAILED(graph.disconnect(rendererInput)))
        return E_UNEXPECTED;
    if (FAILED(connectDirectOrIntelligent(graph, upstream, shifterIn)))
        return E_UNEXPECTED;
    return connectDirectOrIntelligent(graph, shifterOut, rendererInput);
}

int PitchShifter::speedValue(double pitch) {
    const double exact = 1000.0 - (pitch - 1.0) * 1000.0;
    return static_cast<int>(std::trunc(exact + (exact >= 0 ? kRoundingSlack : -kRoundingSlack)));
}

bool PitchShifter::sendSpeed(media::FilterGraph& graph, int value) {
    const media::FilterPtr shifter = graph.findFilterByName(kName);
    if (!shifter || value <= 0 || !GST_IS_BIN(shifter->element()))
        return false;
    GstElement* pitch = gst_bin_get_by_name(GST_BIN(shifter->element()), "pitch");
    if (!pitch)
        return false;
    const double tempo = std::clamp(1000.0 / value, kMinTempo, kMaxTempo);
    g_object_set(pitch, "tempo", static_cast<gfloat>(tempo), nullptr);
    gst_object_unref(pitch);
    return true;
}

} // namespace nexuvo
