#include "controls/rotor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

namespace fw::controls {
namespace {

TEST(Rotor, PointerDirectionInBothModes) {
    struct Case {
        int dx, dy;
        float angle, light;
    };
    // y grows downwards: (0, -10) is straight above the centre.
    const Case cases[] = {{0, -10, 0, 90},      {10, 0, 90, 0},      {0, 10, 180, -90},
                          {-10, 0, 270, 180},   {10, -10, 45, 45},   {10, 10, 135, -45},
                          {-10, 10, 225, -135}, {-10, -10, 315, 135}};
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(PointerDirection(kRotorAngleMode, c.dx, c.dy, 0), c.angle) << c.dx << c.dy;
        EXPECT_FLOAT_EQ(PointerDirection(kRotorLightMode, c.dx, c.dy, 0), c.light) << c.dx << c.dy;
    }
    EXPECT_FALSE(std::signbit(PointerDirection(kRotorAngleMode, 0, -10, 0)));
    EXPECT_FLOAT_EQ(PointerDirection(kRotorAngleMode, 0, 0, 123), 123);
    EXPECT_FLOAT_EQ(PointerDirection(kRotorLightMode, 0, 0, -30), -30);
    for (int dx = -20; dx <= 20; dx += 3) {
        for (int dy = -20; dy <= 20; dy += 3) {
            const float d = PointerDirection(kRotorAngleMode, dx, dy, 0);
            EXPECT_TRUE(d >= 0 && d < 360) << dx << "," << dy;
        }
    }
}

TEST(Rotor, ElevationFallsFromTheCentreToTheRim) {
    EXPECT_FLOAT_EQ(PointerElevation(0, 0, 25), 90);
    EXPECT_NEAR(PointerElevation(0, 10, 20), 60, 1e-4);
    EXPECT_NEAR(PointerElevation(25, 0, 25), 0, 1e-4);
    EXPECT_NEAR(PointerElevation(28, 28, 25), 0, 1e-4);  // a corner outside the face
    EXPECT_FLOAT_EQ(PointerElevation(0, 0, 0), 90);
    EXPECT_NEAR(PointerElevation(1, 0, 0), 0, 1e-4);
}

// One mouse move of a drag, as the rotor applies it.
void DragTo(Rotor& r, double compass, double radius) {
    const double a = compass * kDrawingPi / 180;
    const int dx = int(std::lround(radius * std::sin(a)));
    const int dy = int(std::lround(-radius * std::cos(a)));
    r.PreviousDirection = r.Direction;
    r.Direction = PointerDirection(kRotorAngleMode, dx, dy, r.Direction);
    r.Turns = CountTurns(r.PreviousDirection, r.Direction, r.Turns);
    r.Angle1 = r.Turns * 360 + r.Direction;
}

TEST(Rotor, DraggingThroughTheTopCountsWholeTurns) {
    Rotor r;
    r.Mode = kRotorAngleMode;
    r.Direction = 350;
    for (double c = 350; c <= 730; c += 4) DragTo(r, c, 100);
    EXPECT_EQ(r.Turns, 2);
    EXPECT_NEAR(r.Angle1, 730, 1);

    for (double c = 730; c >= 710; c -= 4) DragTo(r, c, 100);  // back through the top
    EXPECT_EQ(r.Turns, 1);
    EXPECT_NEAR(r.Angle1, 710, 1);
    for (double c = 710; c >= 350; c -= 5) DragTo(r, c, 100);
    EXPECT_EQ(r.Turns, 0);
    EXPECT_NEAR(r.Angle1, 350, 1);

    // Swinging round through the bottom, either way, is no turn.
    for (double c = 350; c >= 100; c -= 5) DragTo(r, c, 100);
    for (double c = 100; c <= 260; c += 5) DragTo(r, c, 100);
    EXPECT_EQ(r.Turns, 0);
    EXPECT_NEAR(r.Angle1, 260, 1);
}

TEST(Rotor, MarkerStartsAtTheTopAndGoesClockwise) {
    // The drawing pi is a little short of pi, so away from the top and the bottom the
    // truncated position may fall one pixel short.
    const int expected[][3] = {{0, 30, 8},    {90, 50, 28}, {180, 30, 48},
                               {270, 10, 28}, {360, 30, 8}, {-90, 10, 28}};
    for (const auto& e : expected) {
        int px = 0, py = 0;
        MarkerPosition(float(e[0]), 20, 30, 28, px, py);
        EXPECT_NEAR(px, e[1], 1) << e[0];
        EXPECT_NEAR(py, e[2], 1) << e[0];
    }
}

// True when the pixels of at least `weight`, taken round the centre, join up with no gap.
bool Closed(const std::vector<OutlinePixel>& pixels, int cx, int cy, int weight) {
    std::vector<OutlinePixel> ring;
    for (const OutlinePixel& p : pixels)
        if (p.weight >= weight) ring.push_back(p);
    std::sort(ring.begin(), ring.end(), [&](const OutlinePixel& a, const OutlinePixel& b) {
        return std::atan2(a.y - cy, a.x - cx) < std::atan2(b.y - cy, b.x - cx);
    });
    for (size_t i = 0; i < ring.size(); ++i) {
        const OutlinePixel& a = ring[i];
        const OutlinePixel& b = ring[(i + 1) % ring.size()];
        if (std::max(std::abs(a.x - b.x), std::abs(a.y - b.y)) > 1) return false;
    }
    return ring.size() > 4;
}

TEST(Rotor, AntiAliasedCircleIsSmoothAndClosed) {
    const int cx = 30, cy = 27, r = 20;
    const std::vector<OutlinePixel> pixels = AntiAliasedEllipse(cx, cy, r, r);
    std::map<std::pair<int, int>, int> at;
    for (const OutlinePixel& p : pixels) {
        EXPECT_LE(std::fabs(std::hypot(p.x - cx, p.y - cy) - r), 1.5) << p.x << "," << p.y;
        EXPECT_GT(p.weight, 0);
        EXPECT_LE(p.weight, 255);
        EXPECT_TRUE(at.emplace(std::make_pair(p.x, p.y), p.weight).second) << "set twice";
    }
    auto weight = [&at](int x, int y) {
        const auto it = at.find({x, y});
        return it == at.end() ? 0 : it->second;
    };
    EXPECT_EQ(weight(cx, cy - r), 255);
    EXPECT_EQ(weight(cx + r, cy), 255);
    // Mirror images carry the same ink.
    for (const OutlinePixel& p : pixels) {
        EXPECT_EQ(weight(2 * cx - p.x, p.y), p.weight);
        EXPECT_EQ(weight(p.x, 2 * cy - p.y), p.weight);
    }
    // Along the flat part each column's ink adds up to one pixel centred on the curve, and
    // likewise each row's along the steep part.
    for (int i = 0; i < 14; ++i) {
        int column = 0, row = 0;
        double columnY = 0, rowX = 0;
        for (const OutlinePixel& p : pixels) {
            if (p.x == cx + i && p.y < cy) {
                column += p.weight;
                columnY += double(p.y) * p.weight;
            }
            if (p.y == cy + i && p.x > cx) {
                row += p.weight;
                rowX += double(p.x) * p.weight;
            }
        }
        const double curve = std::sqrt(double(r * r - i * i));
        EXPECT_NEAR(column, 255, 2) << i;
        EXPECT_NEAR(row, 255, 2) << i;
        EXPECT_NEAR(columnY / column, cy - curve, 0.1) << i;
        EXPECT_NEAR(rowX / row, cx + curve, 0.1) << i;
    }
    EXPECT_TRUE(Closed(pixels, cx, cy, 128));
}

TEST(Rotor, AntiAliasedEllipseKeepsToItsRadii) {
    const std::vector<OutlinePixel> pixels = AntiAliasedEllipse(0, 0, 24, 13);
    int right = 0, bottom = 0;
    for (const OutlinePixel& p : pixels) {
        right = std::max(right, std::abs(p.x));
        bottom = std::max(bottom, std::abs(p.y));
    }
    EXPECT_EQ(right, 24);
    EXPECT_LE(bottom, 14);
    EXPECT_TRUE(Closed(pixels, 0, 0, 128));
    EXPECT_TRUE(AntiAliasedEllipse(5, 5, 0, 7).empty());
}

TEST(Rotor, InkBlendsTowardsTheBackground) {
    const ColorRef face = MakeColorRef(236, 233, 216);
    EXPECT_EQ(BlendInk(0, face, 0), face);
    EXPECT_EQ(BlendInk(0, face, 255), 0u);
    EXPECT_EQ(BlendInk(0, face, 128), MakeColorRef(117, 116, 107));
    EXPECT_EQ(BlendInk(0, face, 400), 0u);
    EXPECT_EQ(BlendInk(0, face, -3), face);
    const ColorRef same = MakeColorRef(200, 17, 99);
    for (int w = 0; w <= 255; ++w) EXPECT_EQ(BlendInk(same, same, w), same) << w;
}

// The centre of the brightest pixels: the highlight saturates over a patch, not one pixel.
void Highlight(const std::vector<SpherePixel>& pixels, double& x, double& y) {
    int top = 0, n = 0;
    for (const SpherePixel& p : pixels) top = std::max(top, int(RedOf(p.color)));
    x = y = 0;
    for (const SpherePixel& p : pixels) {
        if (RedOf(p.color) != top) continue;
        x += p.x;
        y += p.y;
        ++n;
    }
    x /= n;
    y /= n;
}

TEST(Rotor, LightSphereIsBrightWhereTheLightPoints) {
    const uint8_t face[3] = {236, 233, 216};
    double x = 0, y = 0;
    Highlight(ShadeLightSphere(60, 54, 0, 90, face), x, y);
    EXPECT_NEAR(x, 30, 0.5);
    EXPECT_NEAR(y, 27, 0.5);
    Highlight(ShadeLightSphere(60, 54, 90, 20, face), x, y);
    EXPECT_NEAR(x, 30, 0.5);
    EXPECT_LT(y, 27 - 10);
    Highlight(ShadeLightSphere(60, 54, 0, 20, face), x, y);
    EXPECT_GT(x, 30 + 10);
    EXPECT_NEAR(y, 27, 0.5);
}

TEST(Rotor, LightSphereStaysInsideAndFadesIntoTheFace) {
    const uint8_t face[3] = {255, 0, 0};  // a face no grey can be mistaken for
    const int w = 60, h = 54;
    int rim = 0;
    for (const SpherePixel& p : ShadeLightSphere(w, h, 45, 60, face)) {
        EXPECT_TRUE(p.x >= 0 && p.x < w && p.y >= 0 && p.y < h) << p.x << "," << p.y;
        const double d = std::hypot(p.x - 30, p.y - 27);
        EXPECT_LE(d, 27);
        const bool grey = RedOf(p.color) == GreenOf(p.color) && GreenOf(p.color) == BlueOf(p.color);
        // The height 11 where the fade begins lies about 2.3 pixels in from the rim.
        if (d < 24) {
            EXPECT_TRUE(grey) << p.x << "," << p.y;
        } else if (d > 26) {
            ++rim;
            EXPECT_GT(RedOf(p.color), GreenOf(p.color)) << p.x << "," << p.y;
        }
    }
    EXPECT_GT(rim, 100);
}

}  // namespace
}  // namespace fw::controls
