// The spin edit and its slider on the window side: creation of the three children, typed
// values, the up-down, the slider drag and the right click that opens "Set value".
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "controls/control_window.h"
#include "controls/spin_edit.h"

namespace fw::controls {

namespace {

constexpr int kEditId = 1, kUpDownId = 2, kSliderId = 3;

int Scaled(int pixels) {
    return ScaleForDpi(pixels, ScreenDpi());
}

// ---- The slider ----

float ValueAtPointer(const MacSlider& s, intptr_t lParam) {
    return SliderValueAt(PointerX(lParam), s.ClientWidth, s.Min, s.Max, Scaled(5));
}

void PaintSlider(const MacSlider& s) {
    PaintOffScreen(s, [&s](HDC dc) {
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(GRAY_BRUSH));
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        const SliderShape shape =
            SliderShapeFor(s.Value, s.ClientWidth, s.ClientHeight, s.Min, s.Max, Scaled(5));
        Rectangle(dc, shape.trackLeft, shape.trackTop, shape.trackRight, shape.trackBottom);
        POINT thumb[3];
        for (int i = 0; i < 3; ++i) thumb[i] = POINT{shape.thumb[i][0], shape.thumb[i][1]};
        Polygon(dc, thumb, 3);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
    });
}

intptr_t HandleSlider(ControlBase& c, unsigned message, uintptr_t wParam, intptr_t lParam) {
    auto& s = static_cast<MacSlider&>(c);
    HWND window = s.Window;
    switch (message) {
        case WM_LBUTTONDOWN:
            SetCapture(window);
            s.Value = ValueAtPointer(s, lParam);
            s.Redraw();
            return 0;
        case WM_MOUSEMOVE:
            // Only a plain left drag moves the thumb: Shift or another button stops it.
            if (wParam != MK_LBUTTON) return 0;
            s.Value = ValueAtPointer(s, lParam);
            SendMessageA(GetParent(window), WM_HSCROLL, 0, 0);
            s.Redraw();
            return 0;
        case WM_LBUTTONUP:
            ReleaseCapture();
            s.Value = ValueAtPointer(s, lParam);
            s.Redraw();
            SendMessageA(GetParent(window), WM_HSCROLL, 0, 0);
            SendMessageA(GetParent(window), WM_COMMAND, s.ControlId, 0);
            return 0;
        case WM_RBUTTONDOWN:
            if (s.ForwardRightClick) SendMessageA(GetParent(window), WM_RBUTTONDOWN, 0, 0);
            return 0;
        case WM_PAINT:
            PaintSlider(s);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// ---- The spin edit ----

void CreateSpinEditChildren(ControlBase& c) {
    auto& s = static_cast<SpinEdit&>(c);
    HWND window = s.Window;
    const HINSTANCE module = ControlModule;
    const int W = s.ClientWidth, H = s.ClientHeight, strip = Scaled(20);
    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | ES_WANTRETURN | ES_AUTOHSCROLL,
                                0, 0, W - strip, H - strip, window,
                                reinterpret_cast<HMENU>(intptr_t(kEditId)), module, nullptr);
    if (edit && ControlFont) SendMessageA(edit, WM_SETFONT, WPARAM(ControlFont), FALSE);
    HWND upDown = CreateUpDownControl(
        WS_CHILD | WS_VISIBLE | WS_BORDER, W - strip + 1, 0, strip, H - strip, window, kUpDownId,
        module, edit, UpDownPosition(s.Max), UpDownPosition(s.Min), UpDownPosition(s.Value));
    // Wine's up-down makes itself its own default width when created; keep the strip's.
    SetWindowPos(upDown, nullptr, W - strip + 1, 0, strip, H - strip,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    HWND slider = CreateWindowExA(WS_EX_STATICEDGE, kMacSliderClass, "",
                                  WS_CHILD | WS_VISIBLE | WS_BORDER, 0, H - strip, W, strip, window,
                                  reinterpret_cast<HMENU>(intptr_t(kSliderId)), module, nullptr);
    s.EditWindow = edit;
    s.UpDownWindow = upDown;
    s.SliderWindow = slider;
    s.Slider = static_cast<MacSlider*>(GetControlObject(s.SliderWindow, kMacSliderClass));
    if (s.Slider) s.Slider->ForwardRightClick = true;
}

void SelectAllText(SpinEdit& s) {
    SetFocus(s.EditWindow);
    SendMessageA(s.EditWindow, EM_SETSEL, 0, -1);
}

void TakeTypedValue(SpinEdit& s, intptr_t lParam) {
    char text[32] = {};
    GetWindowTextA(s.EditWindow, text, sizeof(text));
    s.SetValue(TypedValue(text, s.Min, s.Max));
    s.Notify(lParam);
}

intptr_t HandleSpinEdit(ControlBase& c, unsigned message, uintptr_t wParam, intptr_t lParam) {
    auto& s = static_cast<SpinEdit&>(c);
    HWND window = s.Window;
    switch (message) {
        case WM_SETFOCUS:
            SelectAllText(s);
            return 0;
        case WM_ENABLE:
            EnableWindow(s.EditWindow, BOOL(wParam));
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wParam), code = HIWORD(wParam);
            if (id == kEditId && (code == EN_KILLFOCUS || code == EN_MAXTEXT))
                TakeTypedValue(s, lParam);
            else if (id == kSliderId)
                s.Notify(lParam);
            return 0;
        }
        case WM_HSCROLL:
            if (s.Slider && s.Slider->Value != s.Value) {
                s.Value = s.Slider->Value;
                if (s.IsInteger) s.Value = float(int(s.Value));
                s.SetValue(s.Value);
            }
            s.Notify(0);
            SelectAllText(s);
            return 0;
        case WM_VSCROLL: {
            const int code = LOWORD(wParam);
            const float position = float(short(HIWORD(wParam)));
            if (code == SB_THUMBPOSITION) {
                s.SetValue(position);
                if (s.NotifyOnThumb) s.Notify(0);
            } else if (code == SB_ENDSCROLL && !s.NotifyOnThumb) {
                s.SetValue(position);
                s.Notify(0);
            }
            return 0;
        }
        case WM_RBUTTONDOWN:
            OpenSetValueDialog(s);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

void MacSlider::SetValue(float v) {
    Value = v;
    Redraw();
}

void SpinEdit::SetRange(float min, float max) {
    Min = min;
    Max = max;
    if (Slider) {
        Slider->Min = min;
        Slider->Max = max;
    }
    SendMessageA(UpDownWindow, UDM_SETRANGE, 0,
                 MAKELPARAM(UpDownPosition(max), UpDownPosition(min)));
}

void SpinEdit::SetValue(float v) {
    Value = v;
    SendMessageA(UpDownWindow, UDM_SETPOS, 0, MAKELPARAM(UpDownPosition(v), 0));
    SetWindowTextA(EditWindow, FormatValue(v, IsInteger).c_str());
    if (Slider) Slider->SetValue(v);
}

void SpinEdit::SetTooltip(const char* text) {
    AddTooltip(EditWindow, text, nullptr);
    AddTooltip(UpDownWindow, text, nullptr);
    AddTooltip(SliderWindow, text, nullptr);
}

SpinEdit* SetupSpinEdit(WindowHandle page, int id, float min, float max, const char* tooltip,
                        const char* name) {
    auto* s = static_cast<SpinEdit*>(GetControlObject(GetDlgItem(page, id), kSpinEditClass));
    if (!s) return nullptr;
    std::snprintf(s->ValueName, sizeof(s->ValueName), "%s", name ? name : "");
    s->RecommendedMax = max;
    s->RecommendedMin = min;
    s->SetRange(min, max);
    s->SetTooltip(tooltip);
    return s;
}

const ControlClass kMacSliderControl{
    kMacSliderClass,
    []() -> ControlBase* { return new (std::nothrow) MacSlider(); },
    NoCreationSteps,
    HandleSlider,
    [](ControlBase* c) { delete static_cast<MacSlider*>(c); },
};

const ControlClass kSpinEditControl{
    kSpinEditClass,
    []() -> ControlBase* { return new (std::nothrow) SpinEdit(); },
    CreateSpinEditChildren,
    HandleSpinEdit,
    [](ControlBase* c) { delete static_cast<SpinEdit*>(c); },
};

}  // namespace fw::controls
