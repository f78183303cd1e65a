#include "controls/spin_edit.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace fw::controls {

namespace {

// Text that does not parse reads as 0; "nan" parses but would poison every later
// comparison, so it is taken as not parsing too.
float ParseNumber(const char* text) {
    if (!text) return 0;
    const float v = float(std::atof(text));
    return std::isnan(v) ? 0.0f : v;
}

// Truncation toward zero that stays defined for values beyond the int range.
int TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= double(INT_MAX)) return INT_MAX;
    if (v <= double(INT_MIN)) return INT_MIN;
    return int(v);
}

bool HasFraction(float v) {
    return std::trunc(v) != v;
}

}  // namespace

std::string FormatValue(float v, bool isInteger) {
    char text[64];
    if (isInteger) {
        // "%.0f" of the truncated value avoids the int range; adding 0 turns -0 into 0.
        std::snprintf(text, sizeof text, "%.0f", std::trunc(double(v)) + 0.0);
    } else {
        std::snprintf(text, sizeof text, "%0.2f", double(v));
    }
    return text;
}

float TypedValue(const char* text, float min, float max) {
    float v = ParseNumber(text);
    if (v > max) v = max;
    if (v < min) v = min;
    return v;
}

int16_t UpDownPosition(float v) {
    // As a C cast through int: bounds beyond the short range wrap, the up-down's own way.
    return int16_t(TruncToInt(v));
}

float SliderValueAt(int x, int width, float min, float max, int margin) {
    const float span = max - min;
    if (span == 0 || width == 2 * margin) return min;
    const float scale = float(width - 2 * margin) / span;
    float v = float(x - margin) / scale + min;
    if (v > max) v = max;
    if (v < min) v = min;
    return v;
}

int SliderThumbX(float v, int width, float min, float max, int margin) {
    const float span = max - min;
    if (span == 0) return margin;
    const float scale = float(width - 2 * margin) / span;
    return TruncToInt((v - min) * scale + margin + 0.5);
}

SliderShape SliderShapeFor(float v, int width, int height, float min, float max, int margin) {
    int q = height / 4;
    if (q < 1) q = 1;
    const int x = SliderThumbX(v, width, min, max, margin);
    SliderShape s{margin, q, width - margin, height - 2 * q, {}};
    s.thumb[0][0] = x;
    s.thumb[0][1] = height - 2 - q;
    s.thumb[1][0] = x - margin;
    s.thumb[1][1] = height - 2;
    s.thumb[2][0] = x + margin;
    s.thumb[2][1] = height - 2;
    return s;
}

std::string RecommendedRangeText(float min, float max, bool isInteger) {
    char text[128];
    if (isInteger) {
        std::snprintf(text, sizeof text, "%d ... %d", TruncToInt(min), TruncToInt(max));
    } else {
        std::snprintf(text, sizeof text, "%0.2f ... %0.2f", double(min), double(max));
    }
    return text;
}

namespace {

void Rewrite(FieldCheck& check, float v, bool isInteger) {
    check.rewrite = true;
    check.text = FormatValue(v, isInteger);
}

// The common tail of the bound checks: a refused bound goes back to `previous` with a
// beep; a 0 is shown normalised, since it is also what text that did not parse reads as.
FieldCheck CheckBound(const char* text, float& bound, float previous, bool refused,
                      bool isInteger) {
    FieldCheck check;
    float v = ParseNumber(text);
    if (refused) {
        v = previous;
        check.beep = true;
        Rewrite(check, v, isInteger);
    } else if (v == 0) {
        Rewrite(check, v, isInteger);
    }
    if (isInteger && HasFraction(v)) Rewrite(check, v, isInteger);
    bound = isInteger ? std::trunc(v) : v;
    check.value = bound;
    return check;
}

}  // namespace

FieldCheck CheckNewMinimum(const char* text, float& lo, float hi, bool isInteger) {
    return CheckBound(text, lo, lo, ParseNumber(text) >= hi, isInteger);
}

FieldCheck CheckNewMaximum(const char* text, float lo, float& hi, bool isInteger) {
    return CheckBound(text, hi, hi, ParseNumber(text) <= lo, isInteger);
}

FieldCheck CheckNewValue(const char* text, float lo, float hi, bool isInteger) {
    FieldCheck check;
    float v = ParseNumber(text);
    if (v < lo) {
        v = lo;
        Rewrite(check, v, isInteger);
    } else if (v > hi) {
        v = hi;
        Rewrite(check, v, isInteger);
    } else if (v == 0) {
        Rewrite(check, v, isInteger);
    }
    if (isInteger && HasFraction(v)) Rewrite(check, v, isInteger);
    check.value = isInteger ? std::trunc(v) : v;
    return check;
}

SetValueResult ReadSetValueFields(const char* value, const char* min, const char* max,
                                  bool isInteger) {
    SetValueResult r{ParseNumber(value), ParseNumber(min), ParseNumber(max)};
    if (isInteger) {
        r.min = std::trunc(r.min);
        r.max = std::trunc(r.max);
    }
    return r;
}

}  // namespace fw::controls
