// The window side every control class shares: registration around the dialog, the window
// procedure pattern (object made on WM_CREATE, destroyed on WM_NCDESTROY), the look-up of
// a control's object, tooltips and the "Set value" dialog. Declared with the system's types
// spelled portably, so that no header includes the system's; defined in the *_win32.cpp
// files.
#pragma once

#include <cstdint>
#include <functional>

#include "controls/control_base.h"

struct HINSTANCE__;
struct HDC__;

namespace fw::controls {

using ModuleHandle = HINSTANCE__*;

struct Rotor;
struct SpinEdit;

// One control class: how its object is made and destroyed and how it answers messages.
struct ControlClass {
    const char* name;
    ControlBase* (*make)();                // a new object, or null when memory is short
    void (*create)(ControlBase& control);  // the class's own creation steps
    intptr_t (*handle)(ControlBase& control, unsigned message, uintptr_t wParam, intptr_t lParam);
    void (*destroy)(ControlBase* control);  // releases what it owns and deletes it
};
// The window procedure of a control of class `c`.
intptr_t RunControlProc(const ControlClass& c, WindowHandle window, unsigned message,
                        uintptr_t wParam, intptr_t lParam);

extern const ControlClass kSpinEditControl;
extern const ControlClass kMacSliderControl;
extern const ControlClass kRotorControl;
extern const ControlClass kColorContainerControl;
extern const ControlClass kPreviewContainerControl;

// The face brush, the face colour bytes and every class, just before the dialog is shown;
// false when a class could not be registered. Unregistering deletes the brush again.
bool RegisterControlClasses(ModuleHandle instance);
void UnregisterControlClasses(ModuleHandle instance);

// The module the classes were registered for (where the "Set value" template lives).
extern ModuleHandle ControlModule;
// The control font (an HFONT the dialog makes); the controls set it on their text fields.
extern void* ControlFont;
// The size the dialog's font should have at the host's DPI (13 pixels at 96 DPI).
int ControlFontHeight();
// The screen's DPI as this process sees it (96 when the process is not DPI-aware).
int ScreenDpi();

// The control object of `window` when its class is exactly `className`, else null.
void* GetControlObject(WindowHandle window, const char* className);

// A balloon tooltip for `target`; nothing without a target or a text.
void AddTooltip(WindowHandle target, const char* text, const char* title);

// The modal "Set value" dialog for a spin edit or a rotor (one at a time).
void OpenSetValueDialog(SpinEdit& spin);
void OpenSetValueDialog(Rotor& rotor);

// The face brush (an HBRUSH) while the classes are registered.
void* FaceBrush();

// Paints the control's whole client area off-screen, the face brush first and then `draw`,
// and copies it to the window in one piece; every GDI object made for it is deleted.
void PaintOffScreen(const ControlBase& control, const std::function<void(HDC__* dc)>& draw);

// The signed coordinates of a mouse message's lParam.
inline int PointerX(intptr_t lParam) {
    return int(int16_t(uint16_t(lParam & 0xFFFF)));
}
inline int PointerY(intptr_t lParam) {
    return int(int16_t(uint16_t((lParam >> 16) & 0xFFFF)));
}

// For classes whose creation needs nothing beyond the common steps.
inline void NoCreationSteps(ControlBase&) {}

}  // namespace fw::controls
