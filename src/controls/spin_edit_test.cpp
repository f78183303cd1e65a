#include "controls/spin_edit.h"

#include <gtest/gtest.h>

namespace fw::controls {
namespace {

TEST(SpinEdit, TypedTextIsParsedThenClampedIntoTheRange) {
    EXPECT_EQ(TypedValue("250", 0, 100), 100.0f);
    EXPECT_EQ(FormatValue(TypedValue("250", 0, 100), false), "100.00");
    // Letters read as 0, which then sits below the minimum.
    EXPECT_EQ(FormatValue(TypedValue("abc", 1, 100), false), "1.00");
    EXPECT_EQ(TypedValue(nullptr, -5, 5), 0.0f);
    EXPECT_EQ(TypedValue("-7.25", -10, 10), -7.25f);
    EXPECT_EQ(TypedValue("-70", -10, 10), -10.0f);
    EXPECT_EQ(TypedValue("nan", 1, 100), 1.0f);
    EXPECT_EQ(TypedValue("inf", 1, 100), 100.0f);
}

TEST(SpinEdit, IntegersShowTruncatedTowardZeroButKeepTheirValue) {
    const float typed = TypedValue("3.7", 0, 10);
    EXPECT_EQ(typed, 3.7f);
    EXPECT_EQ(FormatValue(typed, true), "3");
    EXPECT_EQ(FormatValue(-3.7f, true), "-3");
    EXPECT_EQ(FormatValue(-0.5f, true), "0");
    EXPECT_EQ(FormatValue(2.5f, false), "2.50");
    EXPECT_EQ(UpDownPosition(2.5f), 2);
    EXPECT_EQ(UpDownPosition(-2.5f), -2);
}

TEST(SpinEdit, SliderPointerAndThumbMapBothWays) {
    // 110 pixels over 0 ... 100: one pixel per unit after the 5-pixel margins.
    for (int x : {5, 0, -40}) EXPECT_EQ(SliderValueAt(x, 110, 0, 100), 0.0f);
    EXPECT_EQ(SliderValueAt(55, 110, 0, 100), 50.0f);
    EXPECT_EQ(SliderValueAt(400, 110, 0, 100), 100.0f);
    EXPECT_EQ(SliderThumbX(0, 110, 0, 100), 5);
    EXPECT_EQ(SliderThumbX(100, 110, 0, 100), 105);
    EXPECT_EQ(SliderThumbX(49.4f, 110, 0, 100), 54);
    EXPECT_EQ(SliderThumbX(49.6f, 110, 0, 100), 55);

    // A range that does not start at 0 and is not one unit per pixel.
    EXPECT_EQ(SliderValueAt(5, 210, -1, 1), -1.0f);
    EXPECT_NEAR(SliderValueAt(205, 210, -1, 1), 1.0f, 1e-6);
    for (float v : {-1.0f, -0.33f, 0.0f, 0.5f, 1.0f}) {
        const int x = SliderThumbX(v, 210, -1, 1);
        EXPECT_NEAR(SliderValueAt(x, 210, -1, 1), v, 0.01f) << v;
    }

    // An empty range has one place and one value.
    EXPECT_EQ(SliderValueAt(80, 110, 7, 7), 7.0f);
    EXPECT_EQ(SliderThumbX(7, 110, 7, 7), 5);

    // At 144 DPI the thumb is 8 pixels wide each way and the ends move in with it.
    EXPECT_EQ(SliderValueAt(8, 166, 0, 150, 8), 0.0f);
    EXPECT_EQ(SliderValueAt(158, 166, 0, 150, 8), 150.0f);
    EXPECT_EQ(SliderThumbX(150, 166, 0, 150, 8), 158);
    EXPECT_EQ(SliderShapeFor(0, 166, 30, 0, 150, 8).thumb[1][0], 0);
}

TEST(SpinEdit, SliderShapeFollowsTheClientAndTheThumb) {
    const SliderShape s = SliderShapeFor(50, 110, 20, 0, 100);
    EXPECT_EQ(s.trackLeft, 5);
    EXPECT_EQ(s.trackTop, 5);
    EXPECT_EQ(s.trackRight, 105);
    EXPECT_EQ(s.trackBottom, 10);
    const int thumb[3][2] = {{55, 13}, {50, 18}, {60, 18}};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(s.thumb[c][0], thumb[c][0]);
        EXPECT_EQ(s.thumb[c][1], thumb[c][1]);
    }
    const SliderShape thin = SliderShapeFor(0, 110, 3, 0, 100);  // q never drops below 1
    EXPECT_EQ(thin.trackTop, 1);
    EXPECT_EQ(thin.trackBottom, 1);
    EXPECT_EQ(thin.thumb[0][1], 0);
}

TEST(SpinEdit, OutOfOrderBoundsAreRefusedWithABeep) {
    float lo = -100, hi = 100;
    FieldCheck c = CheckNewMinimum("150", lo, hi, false);
    EXPECT_TRUE(c.beep);
    EXPECT_TRUE(c.rewrite);
    EXPECT_EQ(c.text, "-100.00");
    EXPECT_EQ(lo, -100.0f);

    c = CheckNewMaximum("-100", lo, hi, false);
    EXPECT_TRUE(c.beep);
    EXPECT_EQ(c.text, "100.00");
    EXPECT_EQ(hi, 100.0f);

    c = CheckNewMinimum("-50.5", lo, hi, false);
    EXPECT_FALSE(c.beep);
    EXPECT_FALSE(c.rewrite);
    EXPECT_EQ(lo, -50.5f);
    // The narrowed minimum is what a new maximum is now checked against.
    c = CheckNewMaximum("-60", lo, hi, false);
    EXPECT_TRUE(c.beep);
    EXPECT_EQ(hi, 100.0f);

    c = CheckNewMaximum("junk", lo, hi, false);  // reads as 0, inside the range
    EXPECT_FALSE(c.beep);
    EXPECT_EQ(c.text, "0.00");
    EXPECT_EQ(hi, 0.0f);
}

TEST(SpinEdit, IntegerBoundsLoseTheirFractionVisibly) {
    float lo = 0, hi = 10;
    FieldCheck c = CheckNewMinimum("-12.8", lo, hi, true);
    EXPECT_EQ(lo, -12.0f);
    EXPECT_EQ(c.value, -12.0f);
    EXPECT_TRUE(c.rewrite);
    EXPECT_EQ(c.text, "-12");
    c = CheckNewMaximum("20", lo, hi, true);
    EXPECT_FALSE(c.rewrite);
    EXPECT_EQ(hi, 20.0f);
    c = CheckNewMaximum("-20", lo, hi, true);
    EXPECT_TRUE(c.beep);
    EXPECT_EQ(c.text, "20");
}

TEST(SpinEdit, NewValueIsClampedSilently) {
    FieldCheck c = CheckNewValue("500", -100, 100, false);
    EXPECT_EQ(c.value, 100.0f);
    EXPECT_EQ(c.text, "100.00");
    EXPECT_FALSE(c.beep);
    c = CheckNewValue("-500", -100, 100, false);
    EXPECT_EQ(c.text, "-100.00");
    EXPECT_FALSE(c.beep);
    c = CheckNewValue("zz", -100, 100, false);
    EXPECT_EQ(c.text, "0.00");
    c = CheckNewValue("42.5", -100, 100, false);
    EXPECT_FALSE(c.rewrite);
    EXPECT_EQ(c.value, 42.5f);
    c = CheckNewValue("42.5", -100, 100, true);
    EXPECT_EQ(c.text, "42");
    EXPECT_EQ(c.value, 42.0f);
    c = CheckNewValue("5", 10, 20, false);  // clamped, then shown
    EXPECT_EQ(c.value, 10.0f);
    EXPECT_EQ(c.text, "10.00");
}

TEST(SpinEdit, DialogTextsAndResult) {
    EXPECT_EQ(RecommendedRangeText(-10.7f, 20.9f, true), "-10 ... 20");
    EXPECT_EQ(RecommendedRangeText(-10.7f, 20.9f, false), "-10.70 ... 20.90");
    const SetValueResult i = ReadSetValueFields("3.7", "1.9", "9.9", true);
    EXPECT_EQ(i.value, 3.7f);  // the value keeps its fraction until the spin edit shows it
    EXPECT_EQ(i.min, 1.0f);
    EXPECT_EQ(i.max, 9.0f);
    const SetValueResult f = ReadSetValueFields("x", "-1.5", "2.25", false);
    EXPECT_EQ(f.value, 0.0f);
    EXPECT_EQ(f.min, -1.5f);
    EXPECT_EQ(f.max, 2.25f);
}

}  // namespace
}  // namespace fw::controls
