#pragma once

#include "media/MediaType.h"
#include "platform/ResultCodes.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <memory>

typedef struct _GstPad GstPad;

namespace media {

class Filter;

enum class PinDirection { Input = 0, Output = 1 };

// A connection point of a filter. A light handle: copies refer to the same pad.
class Pin {
public:
    Pin() = default;
    explicit Pin(GstPad* pad); // takes a new reference
    Pin(const Pin& other);
    Pin(Pin&& other) noexcept;
    Pin& operator=(Pin other) noexcept;
    ~Pin();

    bool isNull() const { return m_pad == nullptr; }
    explicit operator bool() const { return !isNull(); }
    bool operator==(const Pin& other) const { return m_pad == other.m_pad; }

    QString name() const;
    PinDirection direction() const;
    // The filter this pin belongs to, or null when the pad is not part of a filter.
    std::shared_ptr<Filter> filter() const;

    // The pin at the other end of the connection; a null pin when not connected.
    Pin connectedTo() const;
    bool isConnected() const;

    // The type of the connection: the negotiated format, or, before any data has flowed, the
    // format both ends can only agree on. VFW_E_NOT_CONNECTED when not connected, E_FAIL when the
    // format is not settled yet.
    HRESULT connectionMediaType(MediaType& type) const;
    // The media types this pin can carry, preferred first.
    QList<MediaType> mediaTypes() const;

    // Connects this output pin straight to the given input pin, without inserting anything.
    HRESULT connectDirect(const Pin& input) const;
    HRESULT disconnect() const;

    GstPad* pad() const { return m_pad; }

private:
    GstPad* m_pad = nullptr;
};

} // namespace media

// Pins travel between components in QVariants (late-bound calls).
Q_DECLARE_METATYPE(media::Pin)
