// The colour swatch on the window side: paints its colour and edits it with the system
// colour dialog, keeping custom colours per swatch.
#include <windows.h>

#include <commdlg.h>

#include <new>

#include "controls/color_container.h"
#include "controls/control_window.h"

namespace fw::controls {

namespace {

// The colour current when the colour dialog opened, and the dialog's record.
ColorRef g_savedColor = 0;
CHOOSECOLORA* g_chooseRecord = nullptr;

// Makes sure the colour dialog shows and is painted before the user acts.
UINT_PTR CALLBACK ColorDialogHook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return 0;
    g_chooseRecord = reinterpret_cast<CHOOSECOLORA*>(lParam);
    SetWindowLongA(dialog, GWL_STYLE, GetWindowLongA(dialog, GWL_STYLE) | WS_VISIBLE);
    InvalidateRect(dialog, nullptr, FALSE);
    UpdateWindow(dialog);
    PostMessageA(dialog, WM_PAINT, 0, 0);
    SetFocus(dialog);
    RECT r{};
    GetWindowRect(dialog, &r);
    MoveWindow(dialog, 0, 0, 1, 1, TRUE);
    MoveWindow(dialog, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    return TRUE;
}

void Paint(ColorContainer& s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(s.Window, &ps);
    HBRUSH brush = CreateSolidBrush(s.SwatchColor);
    RECT all{0, 0, s.ClientWidth, s.ClientHeight};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    EndPaint(s.Window, &ps);
}

void ChooseColor(ColorContainer& s) {
    g_savedColor = s.SwatchColor;
    CHOOSECOLORA record{};
    record.lStructSize = sizeof(record);
    record.hwndOwner = s.Window;
    record.hInstance = reinterpret_cast<HWND>(ControlModule);  // the record types it so
    record.rgbResult = s.SwatchColor;
    record.lpCustColors = reinterpret_cast<COLORREF*>(s.CustomColors);
    record.Flags = CC_RGBINIT | CC_ENABLEHOOK;
    record.lCustData = 0;
    record.lpfnHook = ColorDialogHook;
    record.lpTemplateName = nullptr;
    if (ChooseColorA(&record)) {
        s.SwatchColor = record.rgbResult;
        s.Redraw();
        s.Notify(0);
    } else if (s.NotifyOnCancel) {
        s.SwatchColor = g_savedColor;
        s.Redraw();
        s.Notify(0);
    }
    g_chooseRecord = nullptr;
}

intptr_t HandleSwatch(ControlBase& c, unsigned message, uintptr_t wParam, intptr_t lParam) {
    auto& s = static_cast<ColorContainer&>(c);
    switch (message) {
        case WM_PAINT:
            Paint(s);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            ChooseColor(s);
            return 0;
        default:
            return DefWindowProcA(s.Window, message, wParam, lParam);
    }
}

}  // namespace

static_assert(sizeof(ColorRef) == sizeof(COLORREF));

ColorContainer* SetupColorContainer(WindowHandle page, int id, const char* tooltip) {
    auto* s =
        static_cast<ColorContainer*>(GetControlObject(GetDlgItem(page, id), kColorContainerClass));
    if (s) AddTooltip(s->Window, tooltip, nullptr);
    return s;
}

const ControlClass kColorContainerControl{
    kColorContainerClass,
    []() -> ControlBase* { return new (std::nothrow) ColorContainer(); },
    NoCreationSteps,
    HandleSwatch,
    [](ControlBase* c) { delete static_cast<ColorContainer*>(c); },
};

}  // namespace fw::controls
