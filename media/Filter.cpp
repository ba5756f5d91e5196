#include "media/Filter.h"

#include "media/MediaSystem.h"
#include "platform/Prompts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <gst/gst.h>

namespace media {

using namespace ResultCode;

namespace {

// Elements carry a weak link back to their filter so a pad or a graph walk can find it.
GQuark filterQuark() {
    static const GQuark quark = g_quark_from_static_string("veltrax-filter");
    return quark;
}

struct FilterLink {
    std::weak_ptr<Filter> filter;
};

void freeFilterLink(gpointer data) {
    delete static_cast<FilterLink*>(data);
}

QString valueText(const GValue* value) {
    if (G_VALUE_HOLDS_STRING(value))
        return QString::fromUtf8(g_value_get_string(value));
    if (G_VALUE_HOLDS_OBJECT(value) || G_VALUE_HOLDS_BOXED(value) || G_VALUE_HOLDS_POINTER(value))
        return {};
    gchar* text = gst_value_serialize(value);
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

// The end of a description becomes a pin: the element named "in" (or "out") when there is one,
// otherwise the one pad of that direction left unlinked.
void ghostEnd(GstBin* bin, GstPadDirection direction, const QString& pinName) {
    if (pinName.isEmpty())
        return;
    GstPad* end = nullptr;
    if (GstElement* named = gst_bin_get_by_name(bin, direction == GST_PAD_SINK ? "in" : "out")) {
        end = gst_element_get_static_pad(named, direction == GST_PAD_SINK ? "sink" : "src");
        gst_object_unref(named);
    }
    if (!end)
        end = gst_bin_find_unlinked_pad(bin, direction);
    if (!end)
        return;
    GstPad* ghost = gst_ghost_pad_new(pinName.toUtf8().constData(), end);
    gst_object_unref(end);
    gst_element_add_pad(GST_ELEMENT(bin), ghost);
}

} // namespace

Filter::Filter(GstElement* element) {
    MediaSystem::ensureInitialised();
    m_element = GST_ELEMENT(gst_object_ref_sink(element));
}

Filter::~Filter() {
    g_object_set_qdata(G_OBJECT(m_element), filterQuark(), nullptr);
    gst_element_set_state(m_element, GST_STATE_NULL);
    gst_object_unref(m_element);
}

std::shared_ptr<Filter> Filter::fromDescription(const QString& description,
                                                const QString& inputPinName,
                                                const QString& outputPinName) {
    MediaSystem::ensureInitialised();
    GError* error = nullptr;
    GstElement* bin =
        gst_parse_bin_from_description(description.toUtf8().constData(), FALSE, &error);
    if (!bin) {
        if (error)
            g_error_free(error);
        return {};
    }
    if (error)
        g_error_free(error);
    ghostEnd(GST_BIN(bin), GST_PAD_SINK, inputPinName);
    ghostEnd(GST_BIN(bin), GST_PAD_SRC, outputPinName);
    auto filter = std::make_shared<Filter>(bin);
    return filter;
}

std::shared_ptr<Filter> Filter::fromElement(GstElement* element) {
    if (!element)
        return {};
    auto* link = static_cast<FilterLink*>(g_object_get_qdata(G_OBJECT(element), filterQuark()));
    return link ? link->filter.lock() : nullptr;
}

QString Filter::name() const {
    gchar* name = gst_element_get_name(m_element);
    const QString result = QString::fromUtf8(name);
    g_free(name);
    return result;
}

QList<Pin> Filter::pins() const {
    QList<Pin> result;
    GST_OBJECT_LOCK(m_element);
    for (GList* l = m_element->pads; l; l = l->next)
        result.append(Pin(GST_PAD(l->data)));
    GST_OBJECT_UNLOCK(m_element);
    return result;
}

Pin Filter::findPin(const QString& name) const {
    GstPad* pad = gst_element_get_static_pad(m_element, name.toUtf8().constData());
    Pin pin(pad);
    if (pad)
        gst_object_unref(pad);
    return pin;
}

Pin Filter::findPin(PinDirection direction, bool connected) const {
    for (const Pin& pin : pins()) {
        if (pin.direction() == direction && pin.isConnected() == connected)
            return pin;
    }
    return {};
}

HRESULT Filter::setFileName(const QString&) {
    return E_NOTIMPL;
}

void Filter::attachToGraph(FilterGraph* graph) {
    m_graph = graph;
    if (graph) {
        g_object_set_qdata_full(G_OBJECT(m_element), filterQuark(),
                                new FilterLink{weak_from_this()}, freeFilterLink);
    } else {
        g_object_set_qdata(G_OBJECT(m_element), filterQuark(), nullptr);
    }
}

GstElement* Filter::innerElement(const char* name) const {
    if (!GST_IS_BIN(m_element))
        return m_element;
    GstElement* inner = gst_bin_get_by_name(GST_BIN(m_element), name);
    if (inner)
        gst_object_unref(inner); // the bin keeps it alive
    return inner;
}

QList<QPair<QString, QString>> Filter::propertyPageRows() const {
    QList<QPair<QString, QString>> rows;
    guint count = 0;
    GParamSpec** specs = g_object_class_list_properties(G_OBJECT_GET_CLASS(m_element), &count);
    for (guint i = 0; i < count; ++i) {
        if (!(specs[i]->flags & G_PARAM_READABLE))
            continue;
        GValue value = G_VALUE_INIT;
        g_value_init(&value, specs[i]->value_type);
        g_object_get_property(G_OBJECT(m_element), specs[i]->name, &value);
        const QString text = valueText(&value);
        g_value_unset(&value);
        if (!text.isEmpty())
            rows.append({QString::fromUtf8(specs[i]->name), text});
    }
    g_free(specs);
    return rows;
}

HRESULT Filter::showPropertyPage(QWidget* owner) {
    QDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("%1 Properties").arg(name()));
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    for (const auto& [key, value] : propertyPageRows())
        form->addRow(key + QLatin1Char(':'), new QLabel(value));
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    platform::Prompts::instance().execDialog(dialog);
    return S_OK;
}

} // namespace media
