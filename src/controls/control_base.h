// What every custom control of the dialog shares: the leading fields of its object, the
// class names the dialog templates and the look-ups use, and the shared face colour. The
// window side (class registration, the window procedure pattern, tooltips, hover) lives in
// control_base_win32.cpp; this header includes no system header, so the portable parts of
// the controls compile and are tested natively.
#pragma once

#include <cstdint>

// The system's handle types, declared as the system declares them (strict handles), so
// that records holding them need no system header.
struct HWND__;
struct HBITMAP__;

namespace fw::controls {

using WindowHandle = HWND__*;
using BitmapHandle = HBITMAP__*;
using ColorRef = uint32_t;  // 0x00BBGGRR

constexpr ColorRef MakeColorRef(uint8_t r, uint8_t g, uint8_t b) {
    return ColorRef(r) | ColorRef(g) << 8 | ColorRef(b) << 16;
}
constexpr uint8_t RedOf(ColorRef c) {
    return uint8_t(c);
}
constexpr uint8_t GreenOf(ColorRef c) {
    return uint8_t(c >> 8);
}
constexpr uint8_t BlueOf(ColorRef c) {
    return uint8_t(c >> 16);
}

constexpr char kSpinEditClass[] = "Spin Edit CPP";
constexpr char kMacSliderClass[] = "Mac Slider CPP";
constexpr char kRotorClass[] = "Rotor CPP";
constexpr char kColorContainerClass[] = "Contaner Color CPP";
constexpr char kPreviewContainerClass[] = "Preview Contaner CPP";

// The dialog's command for "parameters changed, draw the scene again".
constexpr int kRedrawSceneCommand = 9999;
// The "Set value" dialog template.
constexpr int kSetValueDialogId = 15092;

// The face colour bytes (red, green, blue): RGB(236, 233, 216) at load, refreshed from the
// system when the classes are registered. The light rotor reads them at paint time.
extern uint8_t FaceColorBytes[3];
// The face colour as it stood at module load; the angle rotor's circle blends against it.
extern const ColorRef LoadTimeFaceColor;

// The leading part of every control object, in this order.
struct ControlBase {
    WindowHandle Window = nullptr;
    int ControlId = 0;
    int ClientWidth = 0;
    int ClientHeight = 0;
    bool Hot = false;
    bool HoverEnabled = true;

    // RedrawWindow with RDW_INVALIDATE | RDW_UPDATENOW.
    void Redraw();
    // WM_COMMAND (ControlId, 0) with `lParam` to the parent.
    void Notify(intptr_t lParam = 0);
    void HoverStart();
    void HoverEnd();
    // Hover tracking on a mouse move: this control becomes the hot one.
    void TrackHover();
};

// Fixed pixel sizes of the controls at the host's DPI: exactly `pixels` at 96 DPI or below
// (or when the DPI is unknown), pixels x dpi / 96 rounded to nearest above it.
int ScaleForDpi(int pixels, int dpi);

}  // namespace fw::controls
