// The dialog's custom controls driven as a user drives them, under Wine: real windows of
// the registered classes on a test page, real mouse, keyboard and focus messages, the modal
// "Set value" and colour dialogs answered from a timer inside their own message loops, and
// the page's notifications counted. With --shots FOLDER every state is also captured from
// the screen as a BMP. Prints one line per failed check; exit code 0 when all pass.
#include <windows.h>

#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "controls/color_container.h"
#include "controls/control_window.h"
#include "controls/preview_container.h"
#include "controls/rotor.h"
#include "controls/spin_edit.h"
#include "host/globals.h"
#include "host/preview_state.h"
#include "render/scene_assembly.h"

// Control objects are made with the non-throwing new; the test keeps a list of the live ones
// to see that destroying a window frees its object.
namespace {
void* g_nothrowBlocks[512];
int g_nothrowLive = 0;

void Forget(void* p) {
    for (int i = 0; i < g_nothrowLive; ++i)
        if (g_nothrowBlocks[i] == p) {
            g_nothrowBlocks[i] = g_nothrowBlocks[--g_nothrowLive];
            return;
        }
}
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    void* p = std::malloc(size ? size : 1);
    if (p && g_nothrowLive < 512) g_nothrowBlocks[g_nothrowLive++] = p;
    return p;
}
void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
void operator delete(void* p) noexcept {
    Forget(p);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Forget(p);
    std::free(p);
}

namespace {

using namespace fw;
using namespace fw::controls;

int g_failures = 0;
std::string g_shots;  // folder for screenshots, empty for none
HWND g_page = nullptr;
std::map<int, int> g_notes;  // WM_COMMAND notifications per control id
int g_redraws = 0;           // 9999 commands
LPARAM g_redrawParam = 0;

void Fail(int line, const std::string& what) {
    ++g_failures;
    std::printf("FAIL line %d: %s\n", line, what.c_str());
    std::fflush(stdout);
}
#define CHECK(c) ((c) ? void() : Fail(__LINE__, #c))
#define CHECK_NEAR(a, b, tol)                                                                 \
    (std::fabs(double(a) - double(b)) <= (tol)                                                \
         ? void()                                                                             \
         : Fail(__LINE__, std::string(#a " = ") + std::to_string(double(a)) + ", expected " + \
                              std::to_string(double(b))))
#define CHECK_TEXT(window, expected)                                                              \
    do {                                                                                          \
        const std::string t_ = Text(window);                                                      \
        if (t_ != (expected)) Fail(__LINE__, "text '" + t_ + "', expected '" + (expected) + "'"); \
    } while (0)
#define CHECK_NOTES(id, n)                                                                   \
    (Notes(id) == (n) ? void()                                                               \
                      : Fail(__LINE__, "control " + std::to_string(id) + " notified " +      \
                                           std::to_string(Notes(id)) + " times, expected " + \
                                           std::to_string(n)))

std::string Text(HWND window) {
    char text[128] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

int Notes(int id) {
    return g_notes[id];
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HWND Item(int id) {
    return GetDlgItem(g_page, id);
}

template <class T>
T* Object(int id, const char* className) {
    return static_cast<T*>(GetControlObject(Item(id), className));
}

LPARAM At(int x, int y) {
    return MAKELPARAM(short(x), short(y));
}

// ---- Screenshots ----

void WriteBmp(const std::string& path, HDC dc, HBITMAP bitmap, int w, int h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    const int rowBytes = (w * 3 + 3) & ~3;
    std::vector<uint8_t> pixels(size_t(rowBytes) * h);
    GetDIBits(dc, bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = DWORD(file.bfOffBits + pixels.size());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(&file, sizeof(file), 1, f);
    std::fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, f);
    std::fwrite(pixels.data(), 1, pixels.size(), f);
    std::fclose(f);
}

// The window as it stands on the screen.
void Shot(HWND window, const char* name) {
    if (g_shots.empty()) return;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    Sleep(150);
    Pump();
    RECT r{};
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    WriteBmp(g_shots + "\\" + name + ".bmp", memory, bitmap, w, h);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// ---- Modal dialogs, answered from a timer inside their message loop ----

std::function<void(HWND)> g_onDialog;
int g_watchTicks = 0;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    char name[32] = {};
    GetClassNameA(window, name, sizeof(name));
    if (window != g_page && std::strcmp(name, "#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK WatchForDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) {
        if (++g_watchTicks > 200) {
            std::printf("FAIL: the modal dialog never appeared\n");
            std::exit(2);
        }
        return;
    }
    KillTimer(nullptr, timer);
    auto act = std::move(g_onDialog);
    g_onDialog = nullptr;
    act(dialog);
}

// Runs `act` on the next dialog of this thread once it shows; `open` opens it (and returns
// when the dialog has ended).
void WithDialog(const std::function<void()>& open, std::function<void(HWND)> act) {
    g_onDialog = std::move(act);
    g_watchTicks = 0;
    SetTimer(nullptr, 0, 50, WatchForDialog);
    open();
    Pump();
}

void Press(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types into a field of a dialog and moves the focus on, as the user's Tab would.
void TypeInto(HWND field, const char* text, HWND next) {
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
    SendMessageA(field, WM_CLEAR, 0, 0);
    for (const char* c = text; *c; ++c) SendMessageA(field, WM_CHAR, WPARAM(uint8_t(*c)), 1);
    SetFocus(next);
    Pump();
}

// ---- The page ----

INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND) {
        if (LOWORD(wParam) == kRedrawSceneCommand) {
            ++g_redraws;
            g_redrawParam = lParam;
        } else if (HIWORD(wParam) == 0) {
            ++g_notes[LOWORD(wParam)];
            if (std::getenv("FW_TRACE_NOTES"))
                std::printf("note %d %lld\n", LOWORD(wParam), (long long)lParam);
        }
        return TRUE;
    }
    return FALSE;
}

HWND Plain() {
    return Item(110);
}

// ---- Framework ----

void TestLookUpAndOwnership() {
    CHECK(Object<SpinEdit>(101, kSpinEditClass) != nullptr);
    for (const char* name : {kSpinEditClass, kMacSliderClass, kRotorClass, kColorContainerClass,
                             kPreviewContainerClass}) {
        WNDCLASSA wc{};
        CHECK(GetClassInfoA(GetModuleHandleA(nullptr), name, &wc));
        CHECK(wc.cbWndExtra == 4 && wc.cbClsExtra == 0 && wc.style == 0);
    }
    CHECK(GetControlObject(Plain(), "Button") == nullptr);
    CHECK(Object<SpinEdit>(101, "spin edit cpp") == nullptr);
    CHECK(Object<SpinEdit>(101, kRotorClass) == nullptr);

    const int before = g_nothrowLive;
    HWND extra =
        CreateWindowExA(0, kSpinEditClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 80, 44, g_page,
                        reinterpret_cast<HMENU>(intptr_t(120)), GetModuleHandleA(nullptr), nullptr);
    CHECK(extra != nullptr);
    CHECK(g_nothrowLive == before + 2);  // the spin edit and its slider
    DestroyWindow(extra);
    CHECK(g_nothrowLive == before);

    const HWND windowsBefore = GetWindow(GetDesktopWindow(), GW_CHILD);
    AddTooltip(nullptr, "text", nullptr);
    AddTooltip(Plain(), nullptr, nullptr);
    CHECK(GetWindow(GetDesktopWindow(), GW_CHILD) == windowsBefore);
}

// ---- Spin edit ----

void TestSpinEditTyping() {
    SpinEdit* s = SetupSpinEdit(g_page, 101, 0, 100, "A float value", "Width");
    CHECK(s != nullptr);
    if (!s) return;
    HWND edit = s->EditWindow;
    s->SetValue(50);
    g_notes.clear();
    TypeInto(edit, "250", Plain());
    CHECK_TEXT(edit, "100.00");
    CHECK_NEAR(s->Value, 100, 0);
    CHECK_NOTES(101, 1);

    s->SetRange(1, 100);
    TypeInto(edit, "abc", Plain());
    CHECK_TEXT(edit, "1.00");
    CHECK_NEAR(s->Value, 1, 0);
    CHECK_NOTES(101, 2);
    s->SetRange(0, 100);

    // Arrows step whole units from the truncated value.
    s->SetValue(2.5f);
    g_notes.clear();
    HWND upDown = s->UpDownWindow;
    RECT r{};
    GetClientRect(upDown, &r);
    SendMessageA(upDown, WM_LBUTTONDOWN, MK_LBUTTON, At(r.right / 2, 2));
    SendMessageA(upDown, WM_LBUTTONUP, 0, At(r.right / 2, 2));
    Pump();
    CHECK_NEAR(s->Value, 3, 0);
    CHECK_TEXT(edit, "3.00");
    CHECK_NOTES(101, 1);
    Shot(g_page, "spin_float_3");
}

void TestIntegerSpinEdit() {
    SpinEdit* s = SetupSpinEdit(g_page, 102, 0, 10, "An integer value", "Iterations");
    CHECK(s != nullptr);
    if (!s) return;
    s->IsInteger = true;
    g_notes.clear();
    TypeInto(s->EditWindow, "3.7", Plain());
    CHECK_TEXT(s->EditWindow, "3");
    CHECK_NEAR(s->Value, 3.7, 1e-6);
    CHECK_NOTES(102, 1);
}

void TestSlider() {
    SpinEdit* s = Object<SpinEdit>(101, kSpinEditClass);
    if (!s || !s->Slider) return CHECK(false);
    HWND slider = s->SliderWindow;
    const int w = s->Slider->ClientWidth;
    s->SetRange(-20, 80);
    s->SetValue(10);
    g_notes.clear();
    if (std::getenv("FW_TRACE_NOTES")) std::printf("slider down\n");
    SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, At(w / 2, 5));
    CHECK_NOTES(101, 0);
    SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, At(w / 3, 5));
    const float afterMove = s->Value;
    SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, At(w - 1, 5));
    CHECK_NEAR(s->Value, afterMove, 0);  // Shift held: no move
    SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, At(w / 4, 5));
    CHECK_NOTES(101, 2);
    SendMessageA(slider, WM_LBUTTONUP, 0, At(-30, 5));  // released left of the track
    Pump();
    CHECK_NEAR(s->Value, -20, 0);
    CHECK_TEXT(s->EditWindow, "-20.00");
    CHECK_NOTES(101, 4);  // one per move, two at release
    Shot(g_page, "spin_slider_left_end");
    SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, At(w + 40, 5));
    SendMessageA(slider, WM_LBUTTONUP, 0, At(w + 40, 5));
    CHECK_NEAR(s->Value, 80, 0);
    Shot(g_page, "spin_slider_right_end");

    EnableWindow(s->Window, FALSE);
    CHECK(!IsWindowEnabled(s->EditWindow));
    CHECK(IsWindowEnabled(s->SliderWindow));  // only the text field follows
    Shot(g_page, "spin_disabled");
    EnableWindow(s->Window, TRUE);
    CHECK(IsWindowEnabled(s->EditWindow));
}

void TestSetValueDialogOfSpinEdit() {
    SpinEdit* s = Object<SpinEdit>(101, kSpinEditClass);
    if (!s) return CHECK(false);
    s->SetRange(-100, 100);
    s->SetValue(12.5f);
    g_notes.clear();
    std::string name, type, range, min, max;
    WithDialog([&] { SendMessageA(s->SliderWindow, WM_RBUTTONDOWN, MK_RBUTTON, At(10, 5)); },
               [&](HWND d) {
                   char title[32] = {};
                   GetWindowTextA(d, title, sizeof(title));
                   CHECK(std::string(title) == "Set value");
                   name = Text(GetDlgItem(d, 15901));
                   type = Text(GetDlgItem(d, 15904));
                   range = Text(GetDlgItem(d, 15905));
                   CHECK(!IsWindowEnabled(GetDlgItem(d, 15907)));
                   Shot(d, "set_value_spin_edit");
                   TypeInto(GetDlgItem(d, 15908), "150", GetDlgItem(d, 15906));
                   min = Text(GetDlgItem(d, 15908));
                   TypeInto(GetDlgItem(d, 15909), "-100", GetDlgItem(d, 15906));
                   max = Text(GetDlgItem(d, 15909));
                   TypeInto(GetDlgItem(d, 15908), "-50", GetDlgItem(d, 15906));
                   TypeInto(GetDlgItem(d, 15906), "-70", GetDlgItem(d, 15909));
                   CHECK_TEXT(GetDlgItem(d, 15906), "-50.00");  // clamped to the new minimum
                   TypeInto(GetDlgItem(d, 15906), "42.25", GetDlgItem(d, 15909));
                   Press(d, IDOK);
               });
    CHECK(name == "Width");
    CHECK(type == "Float slider");
    CHECK(range == "0.00 ... 100.00");
    CHECK(min == "-100.00");  // refused with a beep
    CHECK(max == "100.00");
    CHECK_NEAR(s->Value, 42.25, 1e-5);
    CHECK_NEAR(s->Min, -50, 0);
    CHECK_NEAR(s->Max, 100, 0);
    CHECK_TEXT(s->EditWindow, "42.25");
    CHECK_NOTES(101, 1);

    SetFocus(Plain());  // a text field losing the focus to the dialog would notify
    g_notes.clear();
    WithDialog([&] { SendMessageA(s->SliderWindow, WM_RBUTTONDOWN, 0, At(10, 5)); },
               [&](HWND d) {
                   TypeInto(GetDlgItem(d, 15906), "7", GetDlgItem(d, 15909));
                   Press(d, IDCANCEL);
               });
    CHECK_NEAR(s->Value, 42.25, 1e-5);
    CHECK_NOTES(101, 0);
    s->SetRange(0, 100);
}

// ---- Rotor ----

void DragRotor(Rotor& r, double fromDegrees, double toDegrees, double stepDegrees) {
    const int cx = r.ClientWidth / 2, cy = r.ClientHeight / 2;
    const double radius = cx - 6;
    auto point = [&](double deg) {
        const double a = deg * 3.141592653589793 / 180;
        return At(int(std::lround(cx + radius * std::sin(a))),
                  int(std::lround(cy - radius * std::cos(a))));
    };
    HWND window = r.Window;
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, point(fromDegrees));
    const double step = toDegrees > fromDegrees ? stepDegrees : -stepDegrees;
    for (double d = fromDegrees + step; step > 0 ? d <= toDegrees : d >= toDegrees; d += step)
        SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, point(d));
}

void TestAngleRotor() {
    Rotor* r = SetupRotor(g_page, 103, kRotorAngleMode, "Rotation by X", "Turn the pattern");
    CHECK(r != nullptr);
    if (!r) return;
    HWND window = r->Window;
    const int cx = r->ClientWidth / 2, cy = r->ClientHeight / 2;
    const struct {
        int x, y;
        float angle;
    } presses[] = {
        {cx, 2, 0}, {r->ClientWidth - 2, cy, 90}, {cx, r->ClientHeight - 2, 180}, {2, cy, 270}};
    g_notes.clear();
    for (const auto& p : presses) {
        SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(p.x, p.y));
        SendMessageA(window, WM_LBUTTONUP, 0, At(p.x, p.y));
        CHECK_NEAR(std::fmod(r->Angle1, 360.0f), p.angle, 0.5);
    }
    CHECK_NOTES(103, 4);

    r->Turns = 0;
    g_notes.clear();
    DragRotor(*r, 350, 350 + 720 + 20, 10);
    CHECK(r->Angle1 > 720);
    CHECK_NOTES(103, 0);  // nothing while dragging
    SendMessageA(window, WM_LBUTTONUP, 0, At(cx, 2));
    CHECK_NOTES(103, 1);
    const float high = r->Angle1;
    DragRotor(*r, 10, 10 - 360, 10);  // one whole turn back through the top
    SendMessageA(window, WM_LBUTTONUP, 0, At(cx, 2));
    CHECK_NEAR(r->Angle1, high - 360, 1.5);

    g_notes.clear();
    TypeInto(r->EditWindow, "400", Plain());
    CHECK_NEAR(r->Angle1, 400, 0);
    CHECK_NEAR(r->Angle2, 0, 0);
    CHECK_NOTES(103, 1);

    for (float a : {0.0f, 90.0f, 225.0f}) {
        r->SetAngles(a, 0);
        Shot(window, (std::string("rotor_angle_") + std::to_string(int(a))).c_str());
    }

    WithDialog([&] { SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, At(cx, cy)); },
               [&](HWND d) {
                   CHECK_TEXT(GetDlgItem(d, 15904), "Float angle");
                   CHECK_TEXT(GetDlgItem(d, 15905), "Not limit");
                   CHECK_TEXT(GetDlgItem(d, 15906), "225.00");
                   CHECK(!IsWindowEnabled(GetDlgItem(d, 15908)));
                   Shot(d, "set_value_angle_rotor");
                   TypeInto(GetDlgItem(d, 15906), "33.5", GetDlgItem(d, 15907));
                   Press(d, IDOK);
               });
    CHECK_NEAR(r->Angle1, 33.5, 1e-5);
    CHECK_TEXT(r->EditWindow, "33.50");
}

void TestLightRotor() {
    Rotor* r =
        SetupRotor(g_page, 104, kRotorLightMode, "Position of light", "Where the light comes from");
    CHECK(r != nullptr);
    if (!r) return;
    CHECK(r->EditWindow == nullptr);
    HWND window = r->Window;
    const int cx = r->ClientWidth / 2, cy = r->ClientHeight / 2;
    auto press = [&](int x, int y) {
        SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
        SendMessageA(window, WM_LBUTTONUP, 0, At(x, y));
    };
    press(cx, cy);
    CHECK_NEAR(r->Angle2, 90, 1e-3);
    Shot(window, "rotor_light_centre");
    press(cx + (cx - 2), cy);
    CHECK_NEAR(r->Angle2, 0, 1e-3);
    press(0, 0);
    CHECK_NEAR(r->Angle2, 0, 1e-3);
    press(cx, cy - cx / 2);
    CHECK_NEAR(r->Angle1, 90, 1e-3);
    CHECK(r->Angle2 > 0 && r->Angle2 < 90);
    Shot(window, "rotor_light_top");
    r->SetAngles(225, 30);
    Shot(window, "rotor_light_lower_left");

    WithDialog([&] { SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, At(cx, cy)); },
               [&](HWND d) {
                   CHECK_TEXT(GetDlgItem(d, 15904), "Light position");
                   CHECK_TEXT(GetDlgItem(d, 15907), "30.00");
                   CHECK(IsWindowEnabled(GetDlgItem(d, 15907)));
                   Shot(d, "set_value_light_rotor");
                   TypeInto(GetDlgItem(d, 15906), "10", GetDlgItem(d, 15907));
                   TypeInto(GetDlgItem(d, 15907), "x", GetDlgItem(d, 15906));
                   CHECK_TEXT(GetDlgItem(d, 15907), "0.00");
                   TypeInto(GetDlgItem(d, 15907), "45", GetDlgItem(d, 15906));
                   Press(d, IDOK);
               });
    CHECK_NEAR(r->Angle1, 10, 0);
    CHECK_NEAR(r->Angle2, 45, 0);
}

void TestHoverExchange() {
    Rotor* a = Object<Rotor>(103, kRotorClass);
    Rotor* b = Object<Rotor>(105, kRotorClass);
    if (!a || !b) return CHECK(false);
    SendMessageA(a->Window, WM_MOUSEMOVE, 0, At(3, 3));
    CHECK(a->Hot && !b->Hot);
    SendMessageA(b->Window, WM_MOUSEMOVE, 0, At(3, 3));
    CHECK(!a->Hot && b->Hot);
    SendMessageA(a->Window, WM_MOUSEMOVE, 0, At(3, 3));
    CHECK(a->Hot && !b->Hot);
}

// ---- Colour swatch ----

void TestColorSwatches() {
    ColorContainer* swatch[3];
    const ColorRef colors[3] = {MakeColorRef(200, 40, 40), MakeColorRef(240, 240, 255),
                                MakeColorRef(40, 90, 220)};
    for (int i = 0; i < 3; ++i) {
        swatch[i] = SetupColorContainer(g_page, 106 + i, "Pick a colour");
        CHECK(swatch[i] != nullptr);
        if (!swatch[i]) return;
        swatch[i]->SwatchColor = colors[i];
        swatch[i]->Redraw();
    }
    Shot(g_page, "swatches");

    g_notes.clear();
    WithDialog([&] { SendMessageA(swatch[0]->Window, WM_RBUTTONUP, 0, At(3, 3)); },
               [&](HWND d) {
                   Sleep(300);  // the hook moves the dialog away and back once it shows
                   Pump();
                   Shot(d, "color_dialog");
                   Press(d, IDCANCEL);
               });
    CHECK(swatch[0]->SwatchColor == colors[0]);
    CHECK_NOTES(106, 1);

    // A custom colour defined in the first swatch's dialog stays with that swatch.
    g_notes.clear();
    WithDialog([&] { SendMessageA(swatch[0]->Window, WM_LBUTTONUP, 0, At(3, 3)); },
               [&](HWND d) {
                   SetDlgItemTextA(d, 706, "10");  // red, green, blue fields
                   SetDlgItemTextA(d, 707, "200");
                   SetDlgItemTextA(d, 708, "30");
                   Press(d, 712);  // add to the custom colours
                   Press(d, IDOK);
               });
    CHECK(swatch[0]->SwatchColor == MakeColorRef(10, 200, 30));
    CHECK(swatch[0]->CustomColors[0] == MakeColorRef(10, 200, 30));
    CHECK(swatch[1]->CustomColors[0] == 0);
    CHECK_NOTES(106, 1);
}

// ---- Preview surface ----

void TestPreviewSurface() {
    PreviewContainer* p = Object<PreviewContainer>(1002, kPreviewContainerClass);
    if (!p) return CHECK(false);
    Shot(p->Window, "preview_empty");

    // A filter area of 200 x 100 at scale 1, with parameters the surface writes.
    static EffectParameters parameters{};
    SetDefaults(parameters);
    static void* block = &parameters;
    static sdk::FilterRecord record{};
    record.filterRect = sdk::Rect{0, 0, 100, 200};
    record.planes = 3;
    record.depth = 8;
    static std::vector<uint8_t> picture(200 * 100 * 3);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            uint8_t* px = &picture[(size_t(y) * 200 + x) * 3];
            px[0] = uint8_t(40 + x / 2);
            px[1] = uint8_t(60 + y);
            px[2] = uint8_t(200 - x / 3);
        }
    record.inData = picture.data();
    record.inRowBytes = 600;
    record.parameters = reinterpret_cast<sdk::Handle>(&block);
    static PluginGlobals globals{};
    static int16_t result = 0;
    globals.FilterRef = &record;
    globals.ResultRef = &result;
    CurrentFilterRecord = &record;
    PreviewScale = 1;
    p->Owner = &globals;
    p->Mode = 1;
    p->CenterXEdit = Object<SpinEdit>(101, kSpinEditClass);
    p->CenterYEdit = Object<SpinEdit>(102, kSpinEditClass);
    if (p->CenterYEdit) p->CenterYEdit->IsInteger = false;
    p->RenderPreview();
    CHECK(p->DisplayWidth == 200 && p->DisplayHeight == 100);
    // As the dialog does when the picture's place changes: the cross must go.
    RedrawWindow(p->Window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW);
    Shot(p->Window, "preview_picture");

    HWND window = p->Window;
    const int cx = p->DrawX + 100, cy = p->DrawY + 50;
    g_redraws = 0;
    SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, At(cx, cy));
    CHECK_NEAR(parameters.CenterX, 0, 1e-3);
    CHECK_NEAR(parameters.CenterY, 0, 1e-3);
    CHECK(g_redraws == 1 && g_redrawParam == 1002);
    CHECK(IsDlgButtonChecked(g_page, 1050) == BST_CHECKED);
    CHECK(IsDlgButtonChecked(g_page, 1049) == BST_UNCHECKED);
    for (int i = 1; i <= 3; ++i)
        SendMessageA(window, WM_MOUSEMOVE, MK_RBUTTON, At(cx + 20 * i, cy - 10 * i));
    SendMessageA(window, WM_RBUTTONUP, 0, At(cx + 60, cy - 30));
    CHECK(g_redraws == 4);  // one per move
    CHECK_NEAR(parameters.CenterX, 600, 1e-3);
    CHECK_NEAR(parameters.CenterY, 600, 1e-3);
    if (p->CenterXEdit) CHECK_TEXT(p->CenterXEdit->EditWindow, "600.00");
    SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, At(p->DrawX + 200, p->DrawY));
    SendMessageA(window, WM_RBUTTONUP, 0, 0);
    CHECK_NEAR(parameters.CenterX, 1000, 1e-3);
    CHECK_NEAR(parameters.CenterY, 1000, 1e-3);
    SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, At(-12, -7));
    SendMessageA(window, WM_RBUTTONUP, 0, 0);
    float x0 = 0, y0 = 0;
    PatternPositionAt(0, 0, 0, 0, p->DrawX, p->DrawY, 200, 100, 1, x0, y0);
    CHECK_NEAR(parameters.CenterX, x0, 1e-3);
    CHECK_NEAR(parameters.CenterY, y0, 1e-3);

    g_notes.clear();
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(50, 50));
    CHECK(IsDlgButtonChecked(g_page, 1049) == BST_CHECKED);
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, At(65, 50));
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, At(80, 50));
    Shot(window, "preview_panning");
    SendMessageA(window, WM_LBUTTONUP, 0, At(80, 50));
    CHECK(p->PanX == -30 && p->PanY == 0);
    CHECK_NOTES(1002, 1);
    p->PanX = p->PanY = 0;

    // The rendered picture: a real frost over the picture, and one half-transparent pixel.
    static std::vector<uint8_t> rendered(200 * 100 * 4), source(200 * 100 * 4);
    for (size_t i = 0; i < 200 * 100; ++i) {
        source[4 * i] = 255;
        std::memcpy(&source[4 * i + 1], &picture[3 * i], 3);
    }
    EffectParameters frost{};
    SetDefaults(frost);
    frost.MinInterval = 12;
    SceneRequest request = WholeAreaRequest(frost, 200, 100);
    request.input = source.data();
    request.output = rendered.data();
    request.rowBytes = 800;
    RenderScene(request);
    FreePatternCache(frost);
    rendered[0] = 128;
    rendered[1] = rendered[2] = rendered[3] = 255;
    p->RenderBuffer = rendered.data();
    p->ShowRendered = true;
    p->RenderPreview();
    p->Redraw();
    // The top-left source pixel is the bitmap's last row (rows bottom-up).
    const uint8_t* topLeft = p->PreviewPixels + size_t(p->DisplayHeight - 1) * 3 * 200;
    CHECK(topLeft[0] == 128 && topLeft[1] == 128 && topLeft[2] == 128);
    Shot(window, "preview_rendered");
    p->RenderBuffer = nullptr;
    CurrentFilterRecord = nullptr;
    p->Owner = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--shots") == 0) g_shots = argv[i + 1];
    SetProcessDPIAware();
    const HINSTANCE module = GetModuleHandleA(nullptr);
    if (!RegisterControlClasses(module)) {
        std::printf("FAIL: the control classes could not be registered\n");
        return 1;
    }
    HFONT font = CreateFontA(-ControlFontHeight(), 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0,
                             0, "Arial");
    ControlFont = font;
    g_page = CreateDialogParamA(module, MAKEINTRESOURCEA(100), nullptr, PageProc, 0);
    if (!g_page) {
        std::printf("FAIL: the test page could not be made\n");
        return 1;
    }
    ShowWindow(g_page, SW_SHOW);
    SetForegroundWindow(g_page);
    Pump();
    std::printf("screen DPI %d\n", ScreenDpi());
    if (SpinEdit* s = Object<SpinEdit>(101, kSpinEditClass)) {
        RECT r{};
        GetWindowRect(s->UpDownWindow, &r);
        const int strip = ScaleForDpi(20, ScreenDpi());
        CHECK(r.right - r.left == strip);  // the arrows' strip follows the DPI
    }

    TestLookUpAndOwnership();
    TestSpinEditTyping();
    TestIntegerSpinEdit();
    TestSlider();
    TestSetValueDialogOfSpinEdit();
    TestAngleRotor();
    TestLightRotor();
    TestHoverExchange();
    TestColorSwatches();
    TestPreviewSurface();
    Shot(g_page, "page");

    const int before = g_nothrowLive;
    DestroyWindow(g_page);
    Pump();
    CHECK(g_nothrowLive < before && g_nothrowLive == 0);  // every control's object is freed
    UnregisterControlClasses(module);
    DeleteObject(font);
    std::printf("%s: %d failed checks\n", g_failures ? "FAILED" : "passed", g_failures);
    return g_failures ? 1 : 0;
}
