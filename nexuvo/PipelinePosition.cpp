#include "nexuvo/PipelinePosition.h"

#include "media/FilterGraph.h"

#include <gst/gst.h>

namespace nexuvo {

PipelinePosition::PipelinePosition(const media::FilterGraph& graph)
    : m_pipeline(GST_ELEMENT(gst_object_ref(graph.pipeline()))) {}

PipelinePosition::~PipelinePosition() {
    gst_object_unref(m_pipeline);
}

HRESULT PipelinePosition::currentPosition100ns(qint64& units) {
    gint64 position = 0;
    if (!gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &position) || position < 0)
        return ResultCode::E_FAIL;
    units = position / 100;
    return ResultCode::S_OK;
}

} // namespace nexuvo
