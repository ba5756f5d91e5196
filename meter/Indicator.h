#pragma once

#include <QColor>
#include <QDateTime>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QWidget>

#include <array>
#include <optional>

class QTimer;

namespace meter {

class PropertyBag;

// An LED level meter: one level shown as a row of 45 LEDs, indices 0 to 44 from left to right,
// green (0 to 26), yellow (27 to 34) and red (35 to 44), each dim when unlit and bright when lit.
//
// The host sets `value` for every new level. The meter compares it with `Max`, on a decibel-like
// scale while `LogIt` is set, lights every LED below the level and keeps the highest LED of a
// falling level lit and marked "Held" until about a second after the level last rose. A 500 ms idle
// tick turns the meter dark once the updates stop.
//
// The LEDs are painted directly onto the drawing area, which fills the control. Their geometry
// (relative to the drawing area), colours and marks can be read back.
//
// Everything runs on the user-interface thread.
class Indicator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool LogIt READ LogIt WRITE setLogIt)
    Q_PROPERTY(int Max READ Max WRITE setMax)
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(double Sens READ Sens WRITE setSens)
    // The colours by name read as a QColor and take a QColor (or what Qt reads as one, such as
    // "#rrggbb") or a whole number laid out as 0x00BBGGRR, as a stored colour is (ColorValue.h).
    // A value that is neither is dropped.
    Q_PROPERTY(QVariant DimGreenColor READ DimGreenColor WRITE setDimGreenColorValue)
    Q_PROPERTY(QVariant DimYellowColor READ DimYellowColor WRITE setDimYellowColorValue)
    Q_PROPERTY(QVariant DimRedColor READ DimRedColor WRITE setDimRedColorValue)
    Q_PROPERTY(QVariant BrightGreenColor READ BrightGreenColor WRITE setBrightGreenColorValue)
    Q_PROPERTY(QVariant BrightYellowColor READ BrightYellowColor WRITE setBrightYellowColorValue)
    Q_PROPERTY(QVariant BrightRedColor READ BrightRedColor WRITE setBrightRedColorValue)
    Q_PROPERTY(QVariant BackColor READ BackColor WRITE setBackColorValue)

public:
    static constexpr int LedCount = 45;
    static constexpr int HighestLed = LedCount - 1;

    enum class Zone { Green, Yellow, Red };
    // The zone of an LED index: fixed, whatever the number of LEDs.
    static Zone zoneOf(int led);
    // The mark of the held peak LED.
    static QString heldMark();
    // The size the layout is designed at; every other size scales from it.
    static QSize designSize();

    explicit Indicator(QWidget* parent = nullptr);
    ~Indicator() override;

    // Logarithmic display. Stored only: nothing changes until the next value.
    bool LogIt() const { return logIt_; }
    void setLogIt(bool on) { logIt_ = on; }
    // The full-scale value. Stored only.
    int Max() const { return max_; }
    void setMax(int max) { max_ = max; }
    // The level shown, already multiplied by Sens.
    int value() const { return value_; }
    // Shows v × Sens (rounded half to even). A call made while one is still running is dropped.
    void setValue(int v);
    // The multiplier applied to every incoming value. Stored only.
    double Sens() const { return sens_; }
    void setSens(double sens) { sens_ = sens; }

    // The six LED colours. Each setter first offers the colour in the colour picker (PickColor),
    // then keeps the colour the picker left, reports propertyChanged under its stored key and
    // repaints through ShowLevel.
    QColor DimGreenColor() const { return colors_[DimGreen]; }
    void setDimGreenColor(const QColor& color) { setLedColor(DimGreen, color); }
    QColor DimYellowColor() const { return colors_[DimYellow]; }
    void setDimYellowColor(const QColor& color) { setLedColor(DimYellow, color); }
    QColor DimRedColor() const { return colors_[DimRed]; }
    void setDimRedColor(const QColor& color) { setLedColor(DimRed, color); }
    QColor BrightGreenColor() const { return colors_[BrightGreen]; }
    void setBrightGreenColor(const QColor& color) { setLedColor(BrightGreen, color); }
    QColor BrightYellowColor() const { return colors_[BrightYellow]; }
    void setBrightYellowColor(const QColor& color) { setLedColor(BrightYellow, color); }
    QColor BrightRedColor() const { return colors_[BrightRed]; }
    void setBrightRedColor(const QColor& color) { setLedColor(BrightRed, color); }
    // The background of the control and of its drawing area. The picker is offered only in design
    // mode. Does not repaint the LEDs' colours.
    QColor BackColor() const { return colors_[Back]; }
    void setBackColor(const QColor& color);

    // Opens the colour picker titled "Pick Colour." at Origcolor. True with Color set to the chosen
    // colour when the user confirmed; false with Color untouched when cancelled.
    bool PickColor(QColor& Color, const QColor& Origcolor);

    // Paints the bar for the current value and keeps the held peak.
    void ShowLevel();
    // Lights LED p (at most the highest LED) in its zone's bright colour and marks it as held;
    // every other LED loses its mark. Does nothing for p below 1.
    void HoldPeak(int p);
    // Dims the lowest marked LED and clears its mark; only that one.
    void ReleasePeak();
    // Dims every LED; marks stay.
    void ClearLeds();
    // Takes the current geometry of the drawing area and the LEDs as the reference ScaleLayout
    // scales from.
    void SaveLayout();
    // Scales the reference geometry to the control's present size, then runs SpreadLeds.
    void ScaleLayout();
    // Spaces the LEDs evenly over the drawing area: LED i at i × (area width ÷ 45), all as wide as
    // LED 0. Stops at the first LED that cannot be placed and says so in a message box.
    void SpreadLeds();

    // Host hooks. A new instance with nothing stored yet: the colours take their defaults.
    void initProperties();
    // Reads the seven colours from bag, each with its default when absent; a stored value that is
    // no colour leaves that colour as it is. Then repaints.
    void loadProperties(const PropertyBag& bag);
    // Writes the seven colours to bag, every one of them.
    void saveProperties(PropertyBag& bag) const;
    // Whether the host's form is being designed; false (user mode) unless the host says so.
    bool designMode() const { return designMode_; }
    void setDesignMode(bool on) { designMode_ = on; }

    // The 500 ms idle timer, running from creation.
    QTimer* idleTimer() const { return idleTimer_; }

    // What is shown, for hosts and tests.
    QColor ledColor(int led) const { return leds_.at(led).color; }
    QString ledMark(int led) const { return leds_.at(led).mark; }
    // In the drawing area's coordinates.
    QRectF ledGeometry(int led) const { return leds_.at(led).geometry; }
    QRectF drawingArea() const { return area_; }
    // The index of the held peak LED; 0 for none.
    int peakLed() const { return peakLed_; }

    QSize sizeHint() const override { return designSize(); }

public slots:
    // The idle tick: once the value has stayed the same since the previous tick and more than one
    // second boundary lies between the last update and now, releases the peak and dims every LED.
    void idleTick();

signals:
    // The right mouse button was released over the control.
    void RightClick();
    // A colour was set; key is the name it is stored under ("DimGreen", "BackColor", ...).
    void propertyChanged(const QString& key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The width SpreadLeds divides among the LEDs.
    virtual double drawingAreaInnerWidth() const { return area_.width(); }

private:
    enum ColorRole {
        DimGreen,
        DimYellow,
        DimRed,
        BrightGreen,
        BrightYellow,
        BrightRed,
        Back,
        ColorRoleCount
    };
    struct Led {
        QRectF geometry;
        QColor color;
        QString mark;
    };
    struct LayoutReference {
        QSizeF areaInner;
        QRectF area;
        std::array<QRectF, LedCount> leds;
    };

    void setLedColor(ColorRole role, QColor color);
    // The colour properties written by name.
    void setColorValue(ColorRole role, const QVariant& value);
    void setDimGreenColorValue(const QVariant& value) { setColorValue(DimGreen, value); }
    void setDimYellowColorValue(const QVariant& value) { setColorValue(DimYellow, value); }
    void setDimRedColorValue(const QVariant& value) { setColorValue(DimRed, value); }
    void setBrightGreenColorValue(const QVariant& value) { setColorValue(BrightGreen, value); }
    void setBrightYellowColorValue(const QVariant& value) { setColorValue(BrightYellow, value); }
    void setBrightRedColorValue(const QVariant& value) { setColorValue(BrightRed, value); }
    void setBackColorValue(const QVariant& value) { setColorValue(Back, value); }
    QColor dimColorOf(int led) const;
    QColor brightColorOf(int led) const;
    void paintLed(int led, const QColor& color);
    void layOutForDesign();
    void reportSpreadError(int number, const QString& description);
    // The level in LEDs: value ÷ Max × 44, or 20 × log10 of that while LogIt is set.
    double litLevel() const;
    void showLevelAt(const QDateTime& now);
    void paintBar(double lit);
    // now: the seconds-of-day clock.
    void updatePeak(double lit, double now);
    qint64 secondBoundariesSinceLastUpdate() const;

    bool logIt_ = true;
    int max_ = 32767;
    int value_ = 0;
    double sens_ = 1.0;
    std::array<QColor, ColorRoleCount> colors_;
    bool designMode_ = false;

    std::array<Led, LedCount> leds_;
    QRectF area_;
    LayoutReference reference_;

    int peakLed_ = 0;
    // Seconds since local midnight when the level last rose above peakLed_.
    double peakTime_ = 0.0;
    float holdTime_ = 1.0f;
    QDateTime lastUpdate_;
    double tickValue_ = 0.0;
    bool busy_ = false;

    QTimer* idleTimer_ = nullptr;
    // Coalesces LED changes into one repaint per frame.
    QTimer* frameTimer_ = nullptr;
};

} // namespace meter
