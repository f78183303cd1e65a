#include "controls/rotor.h"

#include <algorithm>
#include <cmath>

namespace fw::controls {

float PointerDirection(uint8_t mode, int dx, int dy, float previous) {
    const bool light = mode == kRotorLightMode;
    if (dy == 0) {
        // Level with the centre the arctangent has no quotient; the horizontal direction
        // is what the pointer shows, and at the centre itself nothing is shown.
        if (dx > 0) return light ? 0.0f : 90.0f;
        if (dx < 0) return light ? 180.0f : 270.0f;
        return previous;
    }
    const double slope = std::atan(double(dx) / double(dy)) * kDegreesPerRadian;
    double direction;
    if (light) {
        direction = slope - 90;
        if (dy < 0) direction += 180;
    } else {
        direction = -slope;
        if (dy > 0) {
            direction += 180;
        } else if (dx < 0) {
            direction += 360;
        }
    }
    return float(direction) + 0.0f;  // straight up is +0, not -0
}

float PointerElevation(int dx, int dy, float r) {
    const double dist = std::sqrt(double(dx) * dx + double(dy) * dy);
    double t;
    if (r > 0) {
        t = std::clamp(dist / r, -1.0, 1.0);
    } else {
        t = dist == 0 ? 0.0 : 1.0;  // a face without size: only its centre is lit from above
    }
    return float(std::acos(t) * kDegreesPerRadian);
}

float CountTurns(float previousDirection, float direction, float turns) {
    // A jump between the top's two sides is a pass through the top, not a swing round
    // the bottom: a drag never moves that far between two mouse moves.
    if (previousDirection > 300 && direction < 90) return turns + 1;
    if (previousDirection < 90 && direction > 300) return turns - 1;
    return turns;
}

void MarkerPosition(float angle1, int r, int cx, int cy, int& px, int& py) {
    const double a = (180 - double(angle1)) * kDrawingPi / 180;
    px = int(std::trunc(r * std::sin(a) + cx));
    py = int(std::trunc(r * std::cos(a) + cy));
}

namespace {

// Four times the ellipse's implicit function at (x2 / 2, y2 / 2): negative inside, positive
// outside. Doubled coordinates keep the midpoints between pixels in whole numbers.
int64_t EllipseError(int64_t rx, int64_t ry, int64_t x2, int64_t y2) {
    return ry * ry * x2 * x2 + rx * rx * y2 * y2 - 4 * rx * rx * ry * ry;
}

// To first order |e / d| is how far the pixel lies from the curve, in pixels.
int Coverage(int64_t e, int64_t d) {
    const double k = std::trunc(255.0 * std::fabs(double(e) / double(d)));
    return int(std::min(k, 255.0));
}

}  // namespace

std::vector<OutlinePixel> AntiAliasedEllipse(int cx, int cy, int rx, int ry) {
    std::vector<OutlinePixel> pixels;
    if (rx <= 0 || ry <= 0) return pixels;

    // One quadrant, x and y counted outwards from the centre; mirrored when stored.
    auto plot = [&](int x, int y, int weight) {
        if (weight <= 0) return;
        for (int sx : {1, -1})
            for (int sy : {1, -1}) pixels.push_back({cx + sx * x, cy + sy * y, weight});
    };
    // The pixel on the curve and its neighbour on the side the curve passes: e > 0 puts
    // the pixel outside, so the curve runs inwards of it.
    auto step = [&](int x, int y, int64_t e, int64_t d, bool alongX) {
        const int k = Coverage(e, d);
        const int across = e > 0 ? -1 : 1;
        plot(x, y, 255 - k);
        if (alongX) {
            plot(x, y + across, k);
        } else {
            plot(x + across, y, k);
        }
    };

    const int64_t rx2 = int64_t(rx) * rx, ry2 = int64_t(ry) * ry;
    int x = 0, y = ry;
    // Flatter than 45 degrees: one pixel per column, the midpoint below deciding the row.
    while (ry2 * x < rx2 * y) {
        step(x, y, EllipseError(rx, ry, 2 * x, 2 * y) / 4, 2 * rx2 * y, true);
        ++x;
        if (EllipseError(rx, ry, 2 * x, 2 * y - 1) > 0) --y;
    }
    // Steeper: one pixel per row, the midpoint outwards deciding the column.
    while (y >= 0) {
        step(x, y, EllipseError(rx, ry, 2 * x, 2 * y) / 4, 2 * ry2 * x, false);
        --y;
        if (y >= 0 && EllipseError(rx, ry, 2 * x + 1, 2 * y) < 0) ++x;
    }

    // Mirroring repeats the axis pixels, and the two halves of the quadrant meet near 45
    // degrees; each pixel is set once, so keep its strongest ink.
    std::sort(pixels.begin(), pixels.end(), [](const OutlinePixel& a, const OutlinePixel& b) {
        if (a.y != b.y) return a.y < b.y;
        if (a.x != b.x) return a.x < b.x;
        return a.weight > b.weight;
    });
    pixels.erase(std::unique(pixels.begin(), pixels.end(),
                             [](const OutlinePixel& a, const OutlinePixel& b) {
                                 return a.x == b.x && a.y == b.y;
                             }),
                 pixels.end());
    return pixels;
}

ColorRef BlendInk(ColorRef ink, ColorRef background, int weight) {
    const int w = std::clamp(weight, 0, 255);
    // Whole numbers keep the blend exact: equal ink and background give that colour back.
    auto mix = [w](uint8_t i, uint8_t b) { return uint8_t((i * w + b * (255 - w)) / 255); };
    return MakeColorRef(mix(RedOf(ink), RedOf(background)), mix(GreenOf(ink), GreenOf(background)),
                        mix(BlueOf(ink), BlueOf(background)));
}

std::vector<SpherePixel> ShadeLightSphere(int width, int height, float angle1, float angle2,
                                          const uint8_t face[3]) {
    std::vector<SpherePixel> pixels;
    const int cx = width / 2, cy = height / 2;
    const double hw = cx, hh = cy;
    const double r = std::min(hw, hh);
    const double e = angle2 * kDrawingPi / 180;
    const double z = (angle1 + 90) * kDrawingPi / 180;
    double lx = std::sin(z) * std::cos(e), ly = std::cos(z) * std::cos(e), lz = std::sin(e);
    double len = std::sqrt(lx * lx + ly * ly + lz * lz);
    if (len == 0) len = 1;
    lx /= len;
    ly /= len;
    lz /= len;

    for (int y = int(-hh); y <= hh; ++y) {
        for (int x = int(-hw); x <= hw; ++x) {
            const double rr = r * r - double(x) * x - double(y) * y;
            if (rr < 0) continue;
            const double h = std::sqrt(rr);
            const double a = h / 11;  // the last 11 pixels of height fade into the face
            if (a <= 0) continue;
            const double nz = h == 0 ? 1 : h;
            double n = std::sqrt(double(x) * x + double(y) * y + nz * nz);
            if (n == 0) n = 1;
            const double d = (x * lx + y * ly + nz * lz) / n;
            const double d3 = d * d * d;
            // The even power keeps the highlight positive on the dark side too.
            const double g = std::pow(d3 * d3, 10) + d3;
            const int k = int(std::clamp(g * 205 + 50, 0.0, 255.0));
            ColorRef color;
            if (a >= 1) {
                color = MakeColorRef(uint8_t(k), uint8_t(k), uint8_t(k));
            } else {
                auto fade = [&](uint8_t f) {
                    return uint8_t(std::min(a * k + (1 - a) * f, 255.0));
                };
                color = MakeColorRef(fade(face[0]), fade(face[1]), fade(face[2]));
            }
            pixels.push_back({x + cx, y + cy, color});
        }
    }
    return pixels;
}

}  // namespace fw::controls
