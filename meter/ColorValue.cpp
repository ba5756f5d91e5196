#include "meter/ColorValue.h"

#include <QString>

#include <cctype>

namespace meter {

namespace {

constexpr qint64 kHighestColor = 0xFFFFFF;

std::optional<qint64> parseHexText(QString text) {
    text = text.mid(2);
    if (text.endsWith(u'&'))
        text.chop(1);
    if (text.isEmpty() || text.size() > 8)
        return std::nullopt;
    for (QChar c : text) {
        if (c.unicode() > 0x7F || !std::isxdigit(c.unicode()))
            return std::nullopt;
    }
    return text.toLongLong(nullptr, 16);
}

std::optional<qint64> parseDecimalText(const QString& text) {
    bool ok = false;
    const qint64 number = text.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

std::optional<qint64> parseNumber(const QVariant& stored) {
    switch (stored.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return stored.toLongLong();
    default:
        break;
    }
    const QString text = stored.toString().trimmed();
    if (text.startsWith(QStringLiteral("&H"), Qt::CaseInsensitive))
        return parseHexText(text);
    return parseDecimalText(text);
}

bool isWholeNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

} // namespace

QColor colorFromValue(quint32 value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

quint32 valueFromColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16);
}

std::optional<quint32> parseColorValue(const QVariant& stored) {
    const std::optional<qint64> number = parseNumber(stored);
    if (!number || *number < 0 || *number > kHighestColor)
        return std::nullopt;
    return quint32(*number);
}

std::optional<QColor> colorFromProperty(const QVariant& value) {
    if (isWholeNumber(value)) {
        // A number too large for a signed 64-bit value is no colour either.
        const bool wide =
            value.typeId() == QMetaType::ULongLong || value.typeId() == QMetaType::ULong;
        if (wide && value.toULongLong() > quint64(kHighestColor))
            return std::nullopt;
        const std::optional<quint32> stored = parseColorValue(QVariant(value.toLongLong()));
        return stored ? std::optional<QColor>(colorFromValue(*stored)) : std::nullopt;
    }
    if (!value.canConvert<QColor>())
        return std::nullopt;
    const QColor color = value.value<QColor>();
    return color.isValid() ? std::optional<QColor>(color) : std::nullopt;
}

} // namespace meter
