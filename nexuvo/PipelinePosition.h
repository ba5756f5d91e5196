#pragma once

#include "nexuvo/PositionSource.h"

typedef struct _GstElement GstElement;

namespace media {
class FilterGraph;
}

namespace nexuvo {

// The position of a graph's pipeline. It holds its own reference to the pipeline, so the peak
// thread can keep asking (and be told "unknown") even after the client has deleted the graph.
class PipelinePosition : public PositionSource {
public:
    explicit PipelinePosition(const media::FilterGraph& graph);
    ~PipelinePosition() override;
    PipelinePosition(const PipelinePosition&) = delete;
    PipelinePosition& operator=(const PipelinePosition&) = delete;

    HRESULT currentPosition100ns(qint64& units) override;

private:
    GstElement* m_pipeline;
};

} // namespace nexuvo
