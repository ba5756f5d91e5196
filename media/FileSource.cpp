#include "media/FileSource.h"

#include <QFile>
#include <QFileInfo>
#include <gst/base/gsttypefindhelper.h>
#include <gst/gst.h>

namespace media {

namespace {

// What the file holds, judged from its first bytes and its extension; null when unknown.
GstCaps* fileContentType(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray head = file.read(64 * 1024);
    if (head.isEmpty())
        return nullptr;
    const QByteArray extension = QFileInfo(path).suffix().toUtf8();
    return gst_type_find_helper_for_data_with_extension(
        nullptr, reinterpret_cast<const guint8*>(head.constData()), head.size(),
        extension.isEmpty() ? nullptr : extension.constData(), nullptr);
}

// The file's bytes leave through a caps filter that states their type, so that connections
// are made only to filters that can take them.
GstElement* makeSourceBin(const QString& path) {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* file = gst_element_factory_make("filesrc", "file");
    g_object_set(file, "location", path.toUtf8().constData(), nullptr);
    gst_bin_add(GST_BIN(bin), file);
    GstElement* last = file;
    if (GstCaps* caps = fileContentType(path)) {
        GstElement* type = gst_element_factory_make("capsfilter", "type");
        g_object_set(type, "caps", caps, nullptr);
        gst_caps_unref(caps);
        gst_bin_add(GST_BIN(bin), type);
        gst_element_link(file, type);
        last = type;
    }
    GstPad* src = gst_element_get_static_pad(last, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("Output", src));
    gst_object_unref(src);
    return bin;
}

} // namespace

FileSource::FileSource(const QString& path) : Filter(makeSourceBin(path)), m_fileName(path) {}

} // namespace media
