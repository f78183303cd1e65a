// Class registration, the window procedure pattern, object look-up, notifications, hover
// and tooltips: what every control shares on the window side.
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <type_traits>

#include "controls/control_base.h"
#include "controls/control_window.h"

namespace fw::controls {

// The portable spellings of the handles are the system's own types.
static_assert(std::is_same_v<WindowHandle, HWND>);
static_assert(std::is_same_v<BitmapHandle, HBITMAP>);
static_assert(std::is_same_v<ModuleHandle, HINSTANCE>);

uint8_t FaceColorBytes[3] = {236, 233, 216};
const ColorRef LoadTimeFaceColor =
    MakeColorRef(FaceColorBytes[0], FaceColorBytes[1], FaceColorBytes[2]);
ModuleHandle ControlModule = nullptr;
void* ControlFont = nullptr;

namespace {

HBRUSH g_faceBrush = nullptr;
ControlBase* g_hot = nullptr;

// One window procedure per class, all running the same pattern.
template <const ControlClass* C>
LRESULT CALLBACK ClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return RunControlProc(*C, window, message, wParam, lParam);
}

struct Registration {
    const ControlClass* control;
    WNDPROC proc;
};
const Registration kClasses[] = {
    {&kSpinEditControl, ClassProc<&kSpinEditControl>},
    {&kMacSliderControl, ClassProc<&kMacSliderControl>},
    {&kRotorControl, ClassProc<&kRotorControl>},
    {&kColorContainerControl, ClassProc<&kColorContainerControl>},
    {&kPreviewContainerControl, ClassProc<&kPreviewContainerControl>},
};

}  // namespace

intptr_t RunControlProc(const ControlClass& c, WindowHandle w, unsigned message, uintptr_t wParam,
                        intptr_t lParam) {
    HWND window = w;
    if (message == WM_CREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ControlBase* control =
            cs && cs->lpCreateParams ? static_cast<ControlBase*>(cs->lpCreateParams) : c.make();
        if (!control) return 0;  // a plain window from now on
        RECT client{};
        GetClientRect(window, &client);
        control->ClientWidth = client.right - client.left;
        control->ClientHeight = client.bottom - client.top;
        control->ControlId = int(GetWindowLongA(window, GWL_ID));
        control->Window = w;
        c.create(*control);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
        return c.handle(*control, message, wParam, lParam);
    }
    auto* control = reinterpret_cast<ControlBase*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        if (control) {
            if (g_hot == control) g_hot = nullptr;
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            c.destroy(control);
        }
        DefWindowProcA(window, message, wParam, lParam);
        return 0;
    }
    if (!control) return DefWindowProcA(window, message, wParam, lParam);
    return c.handle(*control, message, wParam, lParam);
}

void ControlBase::Redraw() {
    RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void ControlBase::Notify(intptr_t lParam) {
    SendMessageA(GetParent(Window), WM_COMMAND, MAKEWPARAM(ControlId, 0), lParam);
}

void ControlBase::HoverStart() {
    if (!HoverEnabled) return;
    Hot = true;
    Redraw();
}

void ControlBase::HoverEnd() {
    Hot = false;
    if (HoverEnabled) Redraw();
}

void ControlBase::TrackHover() {
    if (g_hot == this) return;
    if (g_hot) g_hot->HoverEnd();
    HoverStart();
    g_hot = this;
}

void* FaceBrush() {
    return g_faceBrush;
}

void PaintOffScreen(const ControlBase& c, const std::function<void(HDC dc)>& draw) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(c.Window, &ps);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, c.ClientWidth, c.ClientHeight);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    RECT all{0, 0, c.ClientWidth, c.ClientHeight};
    FillRect(memory, &all, g_faceBrush);
    draw(memory);
    BitBlt(dc, 0, 0, c.ClientWidth, c.ClientHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(c.Window, &ps);
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int ControlFontHeight() {
    return ScaleForDpi(13, ScreenDpi());
}

bool RegisterControlClasses(ModuleHandle instance) {
    const HINSTANCE module = instance;
    ControlModule = instance;
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    if (!g_faceBrush) g_faceBrush = CreateSolidBrush(face);
    FaceColorBytes[0] = GetRValue(face);
    FaceColorBytes[1] = GetGValue(face);
    FaceColorBytes[2] = GetBValue(face);
    INITCOMMONCONTROLSEX common{sizeof(common), ICC_UPDOWN_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&common);
    bool all = true;
    for (const Registration& r : kClasses) {
        WNDCLASSA wc{};
        wc.style = 0;
        wc.lpfnWndProc = r.proc;
        wc.cbClsExtra = 0;
        wc.cbWndExtra = 4;
        wc.hInstance = module;
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = g_faceBrush;
        wc.lpszClassName = r.control->name;
        if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) all = false;
    }
    return all;
}

void UnregisterControlClasses(ModuleHandle instance) {
    for (const Registration& r : kClasses) UnregisterClassA(r.control->name, instance);
    if (g_faceBrush) DeleteObject(g_faceBrush);
    g_faceBrush = nullptr;
    g_hot = nullptr;
}

void* GetControlObject(WindowHandle window, const char* className) {
    if (!window || !className) return nullptr;
    char name[65] = {};
    if (!GetClassNameA(window, name, 64)) return nullptr;
    if (std::strcmp(name, className) != 0) return nullptr;
    return reinterpret_cast<void*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void AddTooltip(WindowHandle target, const char* text, const char* title) {
    if (!target || !text) return;
    HWND tip = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSA, nullptr,
                               WS_POPUP | WS_BORDER | WS_DLGFRAME | TTS_BALLOON | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, target,
                               nullptr, ControlModule, nullptr);
    if (!tip) return;
    SetWindowPos(tip, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);  // 48 bytes in the 32-bit module
    tool.uFlags = TTF_SUBCLASS | TTF_TRANSPARENT | TTF_CENTERTIP;
    tool.hwnd = target;
    tool.uId = 0;
    GetClientRect(target, &tool.rect);
    tool.lpszText = const_cast<char*>(text);
    SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    if (title) SendMessageA(tip, TTM_SETTITLEA, 1, reinterpret_cast<LPARAM>(title));
    SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, 100);
}

}  // namespace fw::controls
