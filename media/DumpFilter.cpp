#include "media/DumpFilter.h"

#include <gst/gst.h>

namespace media {

using namespace ResultCode;

namespace {

GstElement* makeDumpBin() {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* file = gst_element_factory_make("filesink", "file");
    g_object_set(file, "buffer-mode", 2 /* unbuffered */, nullptr);
    gst_bin_add(GST_BIN(bin), file);
    GstPad* sink = gst_element_get_static_pad(file, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("Input", sink));
    gst_object_unref(sink);
    return bin;
}

} // namespace

DumpFilter::DumpFilter() : Filter(makeDumpBin()) {}

HRESULT DumpFilter::setFileName(const QString& path) {
    if (path.isEmpty())
        return E_INVALIDARG;
    if (GST_STATE(element()) != GST_STATE_NULL)
        return VFW_E_WRONG_STATE;
    m_fileName = path;
    g_object_set(innerElement("file"), "location", path.toUtf8().constData(), nullptr);
    return S_OK;
}

} // namespace media
