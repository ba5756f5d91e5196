#pragma once

#include <QColor>
#include <QVariant>

#include <optional>

namespace meter {

// Stored colours are 32-bit values laid out as 0x00BBGGRR (red in the low byte), the form the
// meter's property store and its colour tables use.

// The colour of a stored value; the high byte is ignored.
QColor colorFromValue(quint32 value);
// The stored value of a colour (alpha is dropped).
quint32 valueFromColor(const QColor& color);
// A stored value read back: a number, decimal text ("65280") or hexadecimal text with the "&H"
// prefix and an optional trailing "&" ("&H8000&", "&HFF00FF"), blanks around it allowed. Anything
// else, and any value outside 0 to 0xFFFFFF, is no colour: nullopt.
std::optional<quint32> parseColorValue(const QVariant& stored);
// A colour given by name-bound code: a whole number is a stored value (0x00BBGGRR, 0 to 0xFFFFFF);
// anything else is read as Qt reads a colour (a QColor, "#rrggbb", a colour name). nullopt when it
// is neither.
std::optional<QColor> colorFromProperty(const QVariant& value);

} // namespace meter
