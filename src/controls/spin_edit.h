// The spin edit ("Spin Edit CPP": text field, up-down arrows and a slider along its bottom)
// and its slider ("Mac Slider CPP"), and the "Set value" dialog's rules for them. The
// records' methods are the window side (spin_edit_win32.cpp); the free functions are the
// arithmetic and text rules, portable and tested natively.
#pragma once

#include <string>

#include "controls/control_base.h"

namespace fw::controls {

struct MacSlider : ControlBase {
    float Value = 0;
    float Min = 0;
    float Max = 100;
    bool ForwardRightClick = false;

    void SetValue(float v);  // and redraw
};

struct SpinEdit : ControlBase {
    char ValueName[64] = {};
    bool IsInteger = false;
    WindowHandle EditWindow = nullptr;    // child EDIT, id 1
    WindowHandle UpDownWindow = nullptr;  // child up-down, id 2
    WindowHandle SliderWindow = nullptr;  // child slider, id 3
    float Value = 0;
    float Min = 0;
    float Max = 100;
    float RecommendedMax = 100;
    float RecommendedMin = 0;
    MacSlider* Slider = nullptr;
    bool NotifyOnThumb = true;

    void SetRange(float min, float max);
    void SetValue(float v);  // no notification
    void SetTooltip(const char* text);
};

// Looks the spin edit up on the page and sets it up: name, recommended range, range,
// tooltips. Null when the control is not a working spin edit.
SpinEdit* SetupSpinEdit(WindowHandle page, int id, float min, float max, const char* tooltip,
                        const char* name);

// ---- Portable rules ----

// How the controls and the "Set value" dialog show a value: the integer trunc(v) when
// `isInteger`, otherwise "%0.2f".
std::string FormatValue(float v, bool isInteger);

// A value typed into the spin edit's text field: atof (0 for text that does not parse),
// then min with `max`, then max with `min`.
float TypedValue(const char* text, float min, float max);

// The up-down's position or bound for a value: (short)trunc(v).
int16_t UpDownPosition(float v);

// Slider geometry for a slider `width` pixels wide over min ... max, with the thumb's
// half-width `margin` kept free at both ends (5 pixels at 96 DPI): the value under the
// pointer at x (clamped: min with max first, then max with min), and the thumb's x for v.
float SliderValueAt(int x, int width, float min, float max, int margin = 5);
int SliderThumbX(float v, int width, float min, float max, int margin = 5);

// The slider's track rectangle and thumb triangle for a client of width x height.
struct SliderShape {
    int trackLeft, trackTop, trackRight, trackBottom;
    int thumb[3][2];  // the triangle's corners
};
SliderShape SliderShapeFor(float v, int width, int height, float min, float max, int margin = 5);

// The "Set value" dialog's recommended-range text: "%d ... %d" of the truncated bounds when
// `isInteger`, else "%0.2f ... %0.2f".
std::string RecommendedRangeText(float min, float max, bool isInteger);

// Outcome of a field check when a field of the "Set value" dialog loses the focus.
struct FieldCheck {
    float value = 0;       // the value the field now stands for
    bool rewrite = false;  // the field's text becomes `text`
    std::string text;
    bool beep = false;
};

// New minimum (lo is updated) against the working maximum hi.
FieldCheck CheckNewMinimum(const char* text, float& lo, float hi, bool isInteger);
// New maximum (hi is updated) against the working minimum lo.
FieldCheck CheckNewMaximum(const char* text, float lo, float& hi, bool isInteger);
// New value, clamped silently into lo ... hi.
FieldCheck CheckNewValue(const char* text, float lo, float hi, bool isInteger);

// What OK applies to a spin edit from the dialog's three texts: the value, and the bounds
// truncated when `isInteger`.
struct SetValueResult {
    float value, min, max;
};
SetValueResult ReadSetValueFields(const char* value, const char* min, const char* max,
                                  bool isInteger);

}  // namespace fw::controls
