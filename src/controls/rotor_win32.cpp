// The rotor on the window side: pointing and dragging, the angle text field, and painting
// the dial with its marker or the lit sphere.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "controls/control_window.h"
#include "controls/rotor.h"

namespace fw::controls {

namespace {

constexpr int kEditId = 1;

// Angles for the pointer at (x, y), elevation measured against radius r.
void PointAt(Rotor& r, int x, int y, float radius) {
    const int dx = x - r.ClientWidth / 2, dy = y - r.ClientHeight / 2;
    r.Angle2 = PointerElevation(dx, dy, radius);
    r.Direction = PointerDirection(r.Mode, dx, dy, r.Direction);
}

void PaintOutline(HDC dc, int cx, int cy, int rx, int ry) {
    for (const OutlinePixel& p : AntiAliasedEllipse(cx, cy, rx, ry))
        SetPixel(dc, p.x, p.y, BlendInk(MakeColorRef(0, 0, 0), LoadTimeFaceColor, p.weight));
}

void PaintAngleDial(const Rotor& r, HDC dc) {
    const int cx = r.ClientWidth / 2, cy = r.ClientHeight / 2;
    const int radius = r.ClientWidth / 2 - 2;
    PaintOutline(dc, cx, cy, radius, radius);
    int px = 0, py = 0;
    MarkerPosition(r.Angle1, radius, cx, cy, px, py);
    const int arm = ScaleForDpi(5, ScreenDpi());
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, px - arm, py, nullptr);
    LineTo(dc, px + arm, py);
    MoveToEx(dc, px, py - arm, nullptr);
    LineTo(dc, px, py + arm);
    SelectObject(dc, old);
    DeleteObject(pen);
    PaintOutline(dc, px, py, arm, arm);
}

void PaintLightSphere(const Rotor& r, HDC dc) {
    for (const SpherePixel& p :
         ShadeLightSphere(r.ClientWidth, r.ClientHeight, r.Angle1, r.Angle2, FaceColorBytes))
        SetPixel(dc, p.x, p.y, p.color);
}

void Paint(const Rotor& r) {
    PaintOffScreen(r, [&r](HDC dc) {
        if (r.Mode == kRotorAngleMode)
            PaintAngleDial(r, dc);
        else
            PaintLightSphere(r, dc);
    });
}

intptr_t HandleRotor(ControlBase& c, unsigned message, uintptr_t wParam, intptr_t lParam) {
    auto& r = static_cast<Rotor&>(c);
    HWND window = r.Window;
    switch (message) {
        case WM_CREATE:
            r.LastX = r.ClientWidth / 2;
            r.LastY = r.ClientHeight / 2;
            return 0;
        case WM_LBUTTONDOWN:
            SetCapture(window);
            PointAt(r, PointerX(lParam), PointerY(lParam), float(r.ClientWidth / 2 - 2));
            r.Angle1 = r.Turns * 360 + r.Direction;
            r.UpdateValueText();
            r.Redraw();
            return 0;
        case WM_MOUSEMOVE: {
            r.TrackHover();
            if (!(wParam & MK_LBUTTON)) return 0;
            int x = PointerX(lParam), y = PointerY(lParam);
            x = x < 0 ? 0 : x > r.ClientWidth ? r.ClientWidth : x;
            y = y < 0 ? 0 : y > r.ClientHeight ? r.ClientHeight : y;
            r.PreviousDirection = r.Direction;
            r.LastX = x;
            r.LastY = y;
            PointAt(r, x, y, float(r.ClientWidth / 2));
            r.Turns = CountTurns(r.PreviousDirection, r.Direction, r.Turns);
            r.Angle1 = r.Turns * 360 + r.Direction;
            r.Redraw();
            r.UpdateValueText();
            return 0;
        }
        case WM_LBUTTONUP:
            ReleaseCapture();
            r.Notify(0);
            r.Redraw();
            return 0;
        case WM_RBUTTONDOWN:
            OpenSetValueDialog(r);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kEditId &&
                (HIWORD(wParam) == EN_KILLFOCUS || HIWORD(wParam) == EN_MAXTEXT)) {
                char text[16] = {};
                GetWindowTextA(r.EditWindow, text, sizeof(text));
                r.SetAngles(float(std::atof(text)), 0);
                r.Notify(0);
            }
            return 0;
        case WM_ENABLE:
            EnableWindow(r.EditWindow, BOOL(wParam));
            return 0;
        case WM_PAINT:
            Paint(r);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

void Rotor::CreateValueEdit(int width) {
    const int height = ScaleForDpi(22, ScreenDpi());
    HWND edit = CreateWindowExA(
        WS_EX_CLIENTEDGE, "EDIT", "",
        WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_AUTOHSCROLL | ES_WANTRETURN,
        (ClientWidth - width) / 2, (ClientHeight - height) / 2, width, height, Window,
        reinterpret_cast<HMENU>(intptr_t(kEditId)), ControlModule, nullptr);
    if (edit && ControlFont) SendMessageA(edit, WM_SETFONT, WPARAM(ControlFont), FALSE);
    // The field is narrow for angles of three digits: keep its inner margins to a pixel.
    if (edit) SendMessageA(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
    EditWindow = edit;
}

void Rotor::SetAngles(float angle1, float angle2) {
    Angle1 = angle1;
    Angle2 = angle2;
    Redraw();
    UpdateValueText();
}

void Rotor::UpdateValueText() {
    if (!EditWindow) return;
    char text[64];
    std::snprintf(text, sizeof(text), "%0.2f", Angle1);
    SetWindowTextA(EditWindow, text);
}

Rotor* SetupRotor(WindowHandle page, int id, uint8_t mode, const char* name, const char* tooltip) {
    auto* r = static_cast<Rotor*>(GetControlObject(GetDlgItem(page, id), kRotorClass));
    if (!r) return nullptr;
    r->Mode = mode;
    std::snprintf(r->ValueName, sizeof(r->ValueName), "%s", name ? name : "");
    AddTooltip(r->Window, tooltip, nullptr);
    if (mode == kRotorAngleMode) r->CreateValueEdit(ScaleForDpi(50, ScreenDpi()));
    return r;
}

const ControlClass kRotorControl{
    kRotorClass, []() -> ControlBase* { return new (std::nothrow) Rotor(); }, NoCreationSteps,
    HandleRotor, [](ControlBase* c) { delete static_cast<Rotor*>(c); },
};

}  // namespace fw::controls
