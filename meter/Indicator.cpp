#include "meter/Indicator.h"

#include "meter/ColorValue.h"
#include "meter/PropertyBag.h"

#include "platform/Clock.h"
#include "platform/Prompts.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace meter {

namespace {

constexpr int kLastGreenLed = 26;
constexpr int kLastYellowLed = 34;
constexpr int kIdleTickMs = 500;
// LED changes reach the screen at most once a frame: levels may arrive far faster than a display
// shows them, and each repaint costs a pass through the event loop.
constexpr int kFrameMs = 16;

// The design layout: a drawing area of 270 × 12 with LEDs 5 wide and 8 high, 2 from the top.
constexpr double kDesignWidth = 270.0;
constexpr double kDesignHeight = 12.0;
constexpr double kDesignLedTop = 2.0;
constexpr double kDesignLedWidth = 5.0;
constexpr double kDesignLedHeight = 8.0;

// The largest coordinate a widget can take; an LED beyond it cannot be placed.
constexpr double kLargestCoordinate = QWIDGETSIZE_MAX;
constexpr int kOverflowError = 6;

// The colours in ColorRole order: their keys in the property store and their defaults as the store
// holds them.
struct ColorEntry {
    const char* key;
    const char* defaultText;
};
constexpr std::array<ColorEntry, 7> kColorEntries = {{
    {"DimGreen", "&H8000&"},
    {"DimYellow", "&H8080&"},
    {"DimRed", "&H80&"},
    {"BrightGreen", "65280"},
    {"BrightYellow", "65535"},
    {"BrightRed", "&HFF00FF"},
    {"BackColor", "16711680"},
}};
// The order the store is written in, as indices into kColorEntries.
constexpr std::array<int, 7> kSaveOrder = {4, 5, 3, 0, 1, 2, 6};

QColor defaultColor(int role) {
    return colorFromValue(*parseColorValue(QString::fromLatin1(kColorEntries[role].defaultText)));
}

int roundHalfEven(double number) {
    constexpr double lowest = std::numeric_limits<int>::min();
    constexpr double highest = std::numeric_limits<int>::max();
    return static_cast<int>(std::nearbyint(std::clamp(number, lowest, highest)));
}

// The seconds-of-day clock: seconds since local midnight, fractional.
double secondsOfDay(const QDateTime& now) {
    return now.time().msecsSinceStartOfDay() / 1000.0;
}

bool isPlaceable(double coordinate) {
    return std::isfinite(coordinate) && std::abs(coordinate) <= kLargestCoordinate;
}

qint64 floorDiv(qint64 a, qint64 b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Scales one axis of a rectangle from its reference; without a scale the axis stays as it is.
QRectF scaledRect(const QRectF& current, const QRectF& reference, std::optional<double> xScale,
                  std::optional<double> yScale) {
    QRectF result = current;
    if (xScale) {
        result.setX(reference.x() * *xScale);
        result.setWidth(reference.width() * *xScale);
    }
    if (yScale) {
        result.setY(reference.y() * *yScale);
        result.setHeight(reference.height() * *yScale);
    }
    return result;
}

// The scale from a reference length to a present one; none when the reference has no length.
std::optional<double> scaleOf(double present, double reference) {
    if (!(reference > 0.0))
        return std::nullopt;
    return present / reference;
}

} // namespace

Indicator::Zone Indicator::zoneOf(int led) {
    if (led <= kLastGreenLed)
        return Zone::Green;
    if (led <= kLastYellowLed)
        return Zone::Yellow;
    return Zone::Red;
}

QString Indicator::heldMark() {
    return QStringLiteral("Held");
}

QSize Indicator::designSize() {
    return QSize(int(kDesignWidth), int(kDesignHeight));
}

Indicator::Indicator(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    frameTimer_ = new QTimer(this);
    frameTimer_->setSingleShot(true);
    frameTimer_->setInterval(kFrameMs);
    connect(frameTimer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    for (int role = 0; role < ColorRoleCount; ++role)
        colors_[role] = defaultColor(role);
    layOutForDesign();

    max_ = 32767;
    logIt_ = true;
    SpreadLeds();
    SaveLayout();
    holdTime_ = 1.0f;
    sens_ = 1.0;
    idleTimer_ = new QTimer(this);
    idleTimer_->setObjectName(QStringLiteral("Timer1"));
    idleTimer_->setInterval(kIdleTickMs);
    connect(idleTimer_, &QTimer::timeout, this, &Indicator::idleTick);
    idleTimer_->start();
}

Indicator::~Indicator() = default;

void Indicator::layOutForDesign() {
    resize(designSize());
    area_ = QRectF(0.0, 0.0, kDesignWidth, kDesignHeight);
    for (int i = 0; i < LedCount; ++i) {
        leds_[i].geometry = QRectF(0.0, kDesignLedTop, kDesignLedWidth, kDesignLedHeight);
        leds_[i].color = dimColorOf(i);
    }
}

// ---- value and the bar --------------------------------------------------------------------------

void Indicator::setValue(int v) {
    if (busy_)
        return;
    busy_ = true;
    // One reading of the clock serves the whole update; reading local time is not free.
    const QDateTime now = platform::Clock::now();
    lastUpdate_ = now;
    // A level beyond the range of value shows as the nearest one; a product that is no number
    // (Sens not a number) leaves value as it was.
    const double scaled = double(v) * sens_;
    if (!std::isnan(scaled))
        value_ = roundHalfEven(scaled);
    showLevelAt(now);
    busy_ = false;
}

double Indicator::litLevel() const {
    // value × 44 ÷ Max rather than (value ÷ Max) × 44: the same level, but exact wherever the
    // level is a whole number of LEDs, so a value of Max × i ÷ 44 never lights LED i.
    const double lit = max_ != 0 ? double(value_) * HighestLed / double(max_) : 0.0;
    if (!logIt_)
        return lit;
    return lit > 0.0 ? 20.0 * std::log10(lit) : 0.0;
}

void Indicator::ShowLevel() {
    showLevelAt(platform::Clock::now());
}

void Indicator::showLevelAt(const QDateTime& now) {
    const double lit = litLevel();
    paintBar(lit);
    updatePeak(lit, secondsOfDay(now));
}

void Indicator::paintBar(double lit) {
    for (int i = 0; i < LedCount; ++i) {
        if (lit > i)
            paintLed(i, brightColorOf(i));
        else if (leds_[i].mark.isEmpty())
            paintLed(i, dimColorOf(i));
    }
}

void Indicator::updatePeak(double lit, double now) {
    if (lit > peakLed_)
        peakTime_ = now;
    if (lit < peakLed_)
        HoldPeak(peakLed_);

    if (peakLed_ != 0 && static_cast<float>(std::abs(peakTime_ - now)) > holdTime_) {
        ReleasePeak();
        peakTime_ = now;
        peakLed_ = 0;
    }
    if (lit > peakLed_)
        peakLed_ = roundHalfEven(lit);
}

void Indicator::HoldPeak(int p) {
    if (p < 1)
        return;
    const int held = std::min(p, HighestLed);
    paintLed(held, brightColorOf(held));
    for (int i = 0; i < LedCount; ++i)
        leds_[i].mark = i == held ? heldMark() : QString();
}

void Indicator::ReleasePeak() {
    for (int i = 0; i < LedCount; ++i) {
        if (!leds_[i].mark.isEmpty()) {
            paintLed(i, dimColorOf(i));
            leds_[i].mark.clear();
            return;
        }
    }
}

void Indicator::ClearLeds() {
    for (int i = 0; i < LedCount; ++i)
        paintLed(i, dimColorOf(i));
}

void Indicator::paintLed(int led, const QColor& color) {
    if (leds_[led].color == color)
        return;
    leds_[led].color = color;
    if (!frameTimer_->isActive())
        frameTimer_->start();
}

QColor Indicator::dimColorOf(int led) const {
    switch (zoneOf(led)) {
    case Zone::Green:
        return colors_[DimGreen];
    case Zone::Yellow:
        return colors_[DimYellow];
    case Zone::Red:
        break;
    }
    return colors_[DimRed];
}

QColor Indicator::brightColorOf(int led) const {
    switch (zoneOf(led)) {
    case Zone::Green:
        return colors_[BrightGreen];
    case Zone::Yellow:
        return colors_[BrightYellow];
    case Zone::Red:
        break;
    }
    return colors_[BrightRed];
}

// ---- idle blanking ------------------------------------------------------------------------------

qint64 Indicator::secondBoundariesSinceLastUpdate() const {
    if (!lastUpdate_.isValid())
        return std::numeric_limits<qint64>::max();
    const qint64 now = floorDiv(platform::Clock::now().toMSecsSinceEpoch(), 1000);
    const qint64 last = floorDiv(lastUpdate_.toMSecsSinceEpoch(), 1000);
    return now - last;
}

void Indicator::idleTick() {
    // Counted on absolute time, so a change to or from summer time is no pause. A clock set back
    // behind the last update counts as a pause too, or the meter would stay lit until the clock
    // caught up again.
    const qint64 boundaries = secondBoundariesSinceLastUpdate();
    if (value_ == tickValue_ && (boundaries > 1 || boundaries < 0)) {
        ReleasePeak();
        ClearLeds();
    }
    tickValue_ = value_;
}

// ---- colours ------------------------------------------------------------------------------------

bool Indicator::PickColor(QColor& Color, const QColor& Origcolor) {
    const std::optional<QColor> picked =
        platform::Prompts::instance().pickColor(QStringLiteral("Pick Colour."), Origcolor);
    if (!picked)
        return false;
    Color = *picked;
    return true;
}

void Indicator::setLedColor(ColorRole role, QColor color) {
    PickColor(color, color);
    if (!color.isValid())
        return;
    colors_[role] = color.toRgb();
    emit propertyChanged(QString::fromLatin1(kColorEntries[role].key));
    ShowLevel();
}

void Indicator::setColorValue(ColorRole role, const QVariant& value) {
    const std::optional<QColor> color = colorFromProperty(value);
    if (!color)
        return;
    if (role == Back)
        setBackColor(*color);
    else
        setLedColor(role, *color);
}

void Indicator::setBackColor(const QColor& color) {
    QColor chosen = color;
    if (designMode_)
        PickColor(chosen, chosen);
    if (!chosen.isValid())
        return;
    colors_[Back] = chosen.toRgb();
    update();
    emit propertyChanged(QString::fromLatin1(kColorEntries[Back].key));
}

// ---- property store -----------------------------------------------------------------------------

void Indicator::initProperties() {
    for (int role = 0; role < ColorRoleCount; ++role)
        colors_[role] = defaultColor(role);
}

void Indicator::loadProperties(const PropertyBag& bag) {
    for (int role = 0; role < ColorRoleCount; ++role) {
        const ColorEntry& entry = kColorEntries[role];
        const std::optional<quint32> stored = parseColorValue(bag.readProperty(
            QString::fromLatin1(entry.key), QString::fromLatin1(entry.defaultText)));
        if (stored)
            colors_[role] = colorFromValue(*stored);
    }
    update();
    ShowLevel();
}

void Indicator::saveProperties(PropertyBag& bag) const {
    for (int role : kSaveOrder) {
        bag.writeProperty(QString::fromLatin1(kColorEntries[role].key),
                          int(valueFromColor(colors_[role])));
    }
}

// ---- layout -------------------------------------------------------------------------------------

void Indicator::SaveLayout() {
    reference_.areaInner = area_.size();
    reference_.area = area_;
    for (int i = 0; i < LedCount; ++i)
        reference_.leds[i] = leds_[i].geometry;
}

void Indicator::ScaleLayout() {
    const std::optional<double> xScale = scaleOf(width(), reference_.areaInner.width());
    const std::optional<double> yScale = scaleOf(height(), reference_.areaInner.height());
    area_ = scaledRect(area_, reference_.area, xScale, yScale);
    for (int i = 0; i < LedCount; ++i)
        leds_[i].geometry = scaledRect(leds_[i].geometry, reference_.leds[i], xScale, yScale);
    SpreadLeds();
    update();
}

void Indicator::SpreadLeds() {
    const double spacing = drawingAreaInnerWidth() / LedCount;
    const double ledWidth = leds_[0].geometry.width();
    for (int i = 0; i < LedCount; ++i) {
        const double left = i * spacing;
        if (!isPlaceable(left) || !isPlaceable(ledWidth)) {
            reportSpreadError(kOverflowError, QStringLiteral("Overflow"));
            return;
        }
        QRectF& geometry = leds_[i].geometry;
        geometry = QRectF(left, geometry.y(), ledWidth, geometry.height());
    }
    update();
}

void Indicator::reportSpreadError(int number, const QString& description) {
    platform::Prompts::instance().messageBox(
        QStringLiteral("Error in SpreadLeds! ") + QString::number(number) + u' ' + description,
        QString(), platform::PromptButtons::Ok, platform::PromptIcon::None);
}

// ---- events -------------------------------------------------------------------------------------

void Indicator::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), colors_[Back]);
    painter.fillRect(area_, colors_[Back]);
    painter.translate(area_.topLeft());
    for (const Led& led : leds_)
        painter.fillRect(led.geometry, led.color);
}

void Indicator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ScaleLayout();
}

void Indicator::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && rect().contains(event->position().toPoint()))
        emit RightClick();
    QWidget::mouseReleaseEvent(event);
}

} // namespace meter
