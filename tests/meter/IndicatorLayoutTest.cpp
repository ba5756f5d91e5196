#include "MeterFixture.h"

#include <limits>

using platform::RecordingPrompts;

namespace {

using LayoutTest = MeterTest;

void expectEvenlySpread(const meter::Indicator& meter, double spacing, double ledWidth) {
    const QRectF area = meter.drawingArea();
    for (int i = 0; i < meter::Indicator::LedCount; ++i) {
        const QRectF led = meter.ledGeometry(i);
        EXPECT_DOUBLE_EQ(led.left(), i * spacing) << "LED " << i;
        EXPECT_DOUBLE_EQ(led.width(), ledWidth) << "LED " << i;
        EXPECT_LE(led.right(), area.width()) << "LED " << i;
        EXPECT_LE(led.bottom(), area.height()) << "LED " << i;
    }
}

TEST_F(LayoutTest, LedsSpreadOverTheDrawingAreaInIndexOrder) {
    // Designed at 270 × 12 with LEDs 5 wide and 8 high: spacing 6.
    EXPECT_EQ(meter.size(), Indicator::designSize());
    expectEvenlySpread(meter, 6.0, 5.0);

    meter.resize(540, 24);
    meter.show();
    EXPECT_EQ(meter.drawingArea(), QRectF(0, 0, 540, 24));
    expectEvenlySpread(meter, 12.0, 10.0);
    EXPECT_DOUBLE_EQ(meter.ledGeometry(7).top(), 4.0);
    EXPECT_DOUBLE_EQ(meter.ledGeometry(7).height(), 16.0);
}

TEST_F(LayoutTest, HalvingTheWidthHalvesSpacingAndWidths) {
    meter.resize(900, 20);
    meter.show();
    expectEvenlySpread(meter, 20.0, 900.0 / 270.0 * 5.0);
    const QRectF before = meter.ledGeometry(44);

    meter.resize(450, 20);
    expectEvenlySpread(meter, 10.0, 450.0 / 270.0 * 5.0);
    EXPECT_DOUBLE_EQ(meter.ledGeometry(44).left(), before.left() / 2);
    EXPECT_DOUBLE_EQ(meter.ledGeometry(44).top(), before.top());
    EXPECT_DOUBLE_EQ(meter.ledGeometry(44).height(), before.height());
    EXPECT_TRUE(prompts->records().isEmpty());
}

// A drawing area whose width is no number, the one way LEDs cannot be placed.
class UnmeasurableMeter : public meter::Indicator {
public:
    bool broken = false;

protected:
    double drawingAreaInnerWidth() const override {
        return broken ? std::numeric_limits<double>::quiet_NaN()
                      : Indicator::drawingAreaInnerWidth();
    }
};

TEST_F(LayoutTest, SpreadLedsReportsAnLedItCannotPlace) {
    UnmeasurableMeter odd;
    const QRectF placed = odd.ledGeometry(3);
    odd.broken = true;
    odd.SpreadLeds();
    ASSERT_EQ(prompts->count(), 1);
    EXPECT_EQ(prompts->last().kind, RecordingPrompts::Kind::MessageBox);
    EXPECT_EQ(prompts->last().text, QStringLiteral("Error in SpreadLeds! 6 Overflow"));
    EXPECT_EQ(prompts->last().title, QStringLiteral("Veltrax"));
    EXPECT_EQ(odd.ledGeometry(3), placed);
}

TEST_F(LayoutTest, LayoutSavedAtZeroWidthScalesTheOtherAxisOnly) {
    meter.resize(0, 12);
    meter.show();
    meter.SaveLayout();
    meter.resize(270, 24);
    EXPECT_DOUBLE_EQ(meter.ledGeometry(0).height(), 16.0);
    EXPECT_TRUE(prompts->records().isEmpty());
}

} // namespace
