#include "media/Pin.h"

#include "media/Filter.h"

#include <gst/gst.h>

namespace media {

using namespace ResultCode;

Pin::Pin(GstPad* pad) : m_pad(pad ? GST_PAD(gst_object_ref(pad)) : nullptr) {}

Pin::Pin(const Pin& other) : Pin(other.m_pad) {}

Pin::Pin(Pin&& other) noexcept : m_pad(other.m_pad) {
    other.m_pad = nullptr;
}

Pin& Pin::operator=(Pin other) noexcept {
    std::swap(m_pad, other.m_pad);
    return *this;
}

Pin::~Pin() {
    if (m_pad)
        gst_object_unref(m_pad);
}

QString Pin::name() const {
    if (!m_pad)
        return {};
    gchar* name = gst_pad_get_name(m_pad);
    const QString result = QString::fromUtf8(name);
    g_free(name);
    return result;
}

PinDirection Pin::direction() const {
    return m_pad && GST_PAD_DIRECTION(m_pad) == GST_PAD_SRC ? PinDirection::Output
                                                            : PinDirection::Input;
}

std::shared_ptr<Filter> Pin::filter() const {
    if (!m_pad)
        return {};
    GstElement* parent = gst_pad_get_parent_element(m_pad);
    if (!parent)
        return {};
    std::shared_ptr<Filter> owner = Filter::fromElement(parent);
    gst_object_unref(parent);
    return owner;
}

Pin Pin::connectedTo() const {
    if (!m_pad)
        return {};
    GstPad* peer = gst_pad_get_peer(m_pad);
    if (!peer)
        return {};
    Pin result(peer);
    gst_object_unref(peer);
    return result;
}

bool Pin::isConnected() const {
    return m_pad && gst_pad_is_linked(m_pad);
}

HRESULT Pin::connectionMediaType(MediaType& type) const {
    if (!isConnected())
        return VFW_E_NOT_CONNECTED;
    GstCaps* caps = gst_pad_get_current_caps(m_pad);
    if (!caps) {
        // Nothing negotiated yet: ask what the connection can carry and accept it when only one
        // format remains.
        GstCaps* possible = gst_pad_peer_query_caps(m_pad, nullptr);
        GstCaps* own = gst_pad_query_caps(m_pad, nullptr);
        caps = gst_caps_simplify(gst_caps_intersect(possible, own));
        gst_caps_unref(possible);
        gst_caps_unref(own);
        if (!gst_caps_is_fixed(caps)) {
            gst_caps_unref(caps);
            return E_FAIL;
        }
    }
    const QList<MediaType> types = MediaType::listFromCaps(caps);
    gst_caps_unref(caps);
    if (types.isEmpty())
        return E_FAIL;
    type = types.first();
    return S_OK;
}

QList<MediaType> Pin::mediaTypes() const {
    if (!m_pad)
        return {};
    GstCaps* caps = gst_pad_query_caps(m_pad, nullptr);
    QList<MediaType> types = MediaType::listFromCaps(caps);
    gst_caps_unref(caps);
    return types;
}

HRESULT Pin::connectDirect(const Pin& input) const {
    if (!m_pad || !input.m_pad)
        return E_POINTER;
    if (direction() != PinDirection::Output || input.direction() != PinDirection::Input)
        return VFW_E_CANNOT_CONNECT;
    if (isConnected() || input.isConnected())
        return VFW_E_ALREADY_CONNECTED;
    switch (gst_pad_link_full(m_pad, input.m_pad, GST_PAD_LINK_CHECK_CAPS)) {
    case GST_PAD_LINK_OK:
        return S_OK;
    case GST_PAD_LINK_NOFORMAT:
        return VFW_E_NO_ACCEPTABLE_TYPES;
    case GST_PAD_LINK_WAS_LINKED:
        return VFW_E_ALREADY_CONNECTED;
    default:
        return VFW_E_CANNOT_CONNECT;
    }
}

HRESULT Pin::disconnect() const {
    if (!m_pad)
        return E_POINTER;
    GstPad* peer = gst_pad_get_peer(m_pad);
    if (!peer)
        return S_FALSE;
    const bool unlinked = direction() == PinDirection::Output ? gst_pad_unlink(m_pad, peer)
                                                              : gst_pad_unlink(peer, m_pad);
    gst_object_unref(peer);
    return unlinked ? S_OK : E_FAIL;
}

} // namespace media
