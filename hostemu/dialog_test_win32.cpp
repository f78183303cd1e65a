// The module's main dialog as a user meets it, under Wine: the emulated host runs the filter
// with the dialog wanted, and a second thread, the user, waits for the dialog, looks at both
// pages (screenshots), changes values with window messages and presses OK or Cancel. Checks
// what the record and the picture hold afterwards. Usage: dialog_test MODULE [--shots DIR]
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "hostemu/emulated_host.h"
#include "params/effect_parameters.h"

namespace {

int g_failures = 0;
std::string g_shots;

#define CHECK(c) ((c) ? void() : Fail(__LINE__, #c))
void Fail(int line, const char* what) {
    ++g_failures;
    std::printf("FAIL line %d: %s\n", line, what);
    std::fflush(stdout);
}

hostemu::Image Picture() {
    hostemu::Image img(480, 360, 4, 8);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            img.At(x, y, 0) = uint16_t(30 + x * 150 / img.width);
            img.At(x, y, 1) = uint16_t(60 + y * 120 / img.height);
            img.At(x, y, 2) = uint16_t(200 - x * 80 / img.width);
            img.At(x, y, 3) = 255;
        }
    return img;
}

// ---- The user's side ----

HWND FindDialog() {
    for (int i = 0; i < 400; ++i) {
        HWND dialog = FindWindowA(nullptr, "Frostweave");
        if (dialog && IsWindowVisible(dialog)) return dialog;
        Sleep(50);
    }
    return nullptr;
}

void WriteBmp(const std::string& path, HDC dc, HBITMAP bitmap, int w, int h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    std::vector<uint8_t> pixels(size_t((w * 3 + 3) & ~3) * h);
    GetDIBits(dc, bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = DWORD(file.bfOffBits + pixels.size());
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&file, sizeof(file), 1, f);
        std::fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, f);
        std::fwrite(pixels.data(), 1, pixels.size(), f);
        std::fclose(f);
    }
}

void Shot(HWND window, const char* name) {
    if (g_shots.empty()) return;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(400);
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

HWND Tab(HWND dialog) {
    return FindWindowExA(dialog, nullptr, WC_TABCONTROLA, nullptr);
}

// The page now shown: the visible child dialog of the main dialog.
HWND CurrentPage(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[32] = {};
        GetClassNameA(child, name, sizeof(name));
        if (std::strcmp(name, "#32770") == 0 && IsWindowVisible(child)) return child;
    }
    return nullptr;
}

void SelectTab(HWND dialog, int index) {
    HWND tab = Tab(dialog);
    SendMessageA(tab, TCM_SETCURSEL, index, 0);
    NMHDR note{tab, 0, UINT(TCN_SELCHANGE)};
    SendMessageA(dialog, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
}

// Types a value into a spin edit of a page and leaves the field, as a user does.
void TypeIntoSpinEdit(HWND page, int id, const char* text) {
    HWND spin = GetDlgItem(page, id);
    HWND edit = GetDlgItem(spin, 1);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(spin, WM_COMMAND, MAKEWPARAM(1, EN_KILLFOCUS), reinterpret_cast<LPARAM>(edit));
}

void Choose(HWND window, int id, int row) {
    HWND combo = GetDlgItem(window, id);
    SendMessageA(combo, CB_SETCURSEL, row, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
}

void Click(HWND window, int id) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

struct UserScript {
    std::function<void(HWND)> act;
    bool sawDialog = false;
};

DWORD WINAPI RunUser(LPVOID param) {
    auto* script = static_cast<UserScript*>(param);
    HWND dialog = FindDialog();
    script->sawDialog = dialog != nullptr;
    if (dialog) {
        Sleep(300);  // the first preview
        script->act(dialog);
    }
    return 0;
}

// One run of the filter with the dialog wanted and `act` playing the user.
int16_t RunWithUser(hostemu::EmulatedHost& host, std::function<void(HWND)> act, bool& saw) {
    UserScript script{std::move(act)};
    HANDLE user = CreateThread(nullptr, 0, RunUser, &script, 0, nullptr);
    const int16_t result = host.RunFilter();
    WaitForSingleObject(user, 30000);
    CloseHandle(user);
    saw = script.sawDialog;
    return result;
}

fw::EffectParameters& Record(hostemu::EmulatedHost& host) {
    return *reinterpret_cast<fw::EffectParameters*>(*host.ParametersHandle());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: dialog_test MODULE [--shots DIR]\n");
        return 2;
    }
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--shots") == 0) g_shots = argv[i + 1];
    SetProcessDPIAware();
    std::string error;
    auto module = hostemu::Module::Load(argv[1], error);
    if (!module) {
        std::printf("FAIL: %s\n", error.c_str());
        return 1;
    }
    const hostemu::Image picture = Picture();

    // OK after changes on both pages, a combo and a check box.
    hostemu::EmulatedHost host(module->Entry());
    host.SetImage(picture);
    bool saw = false;
    int16_t r = RunWithUser(
        host,
        [](HWND dialog) {
            Shot(dialog, "dialog_geometry");
            HWND geometry = CurrentPage(dialog);
            TypeIntoSpinEdit(geometry, 1032, "14");  // Density
            TypeIntoSpinEdit(geometry, 1034, "4.6");  // Max iterations, an integer
            SelectTab(dialog, 1);
            HWND material = CurrentPage(dialog);
            TypeIntoSpinEdit(material, 1136, "42.5");  // Shininess
            Shot(dialog, "dialog_material");
            Choose(dialog, 1027, 3);  // Flat
            SendDlgItemMessageA(dialog, 1032, BM_SETCHECK, BST_CHECKED, 0);  // Alpha cut
            Click(dialog, 1032);
            SelectTab(dialog, 0);
            Shot(dialog, "dialog_changed");
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        },
        saw);
    CHECK(saw);
    CHECK(r == 0);
    fw::EffectParameters& p = Record(host);
    CHECK(p.MinInterval == 14);
    CHECK(p.MaxIterations == 4);
    CHECK(p.Shininess == 42.5f);
    CHECK(p.RenderMode == 4);
    CHECK(p.AlphaCut == 1);
    CHECK(p.ShowDialog == 0);
    CHECK(p.Texture == nullptr);
    const hostemu::Image afterOk = host.GetImage();
    CHECK(afterOk.samples != picture.samples);

    // The same record replayed without the dialog gives the same picture.
    hostemu::EmulatedHost again(module->Entry());
    again.SetImage(picture);
    CHECK(again.Call(1) == 0);
    const fw::EffectParameters chosen = p;
    fw::EffectParameters& q = Record(again);
    fw::FreeTexture(q);
    std::memcpy(&q, &chosen, sizeof(q));
    q.CachedTriangles = q.CachedPoints = nullptr;
    q.CachedTriangleCount = q.CachedPointCount = 0;
    again.Options().playInfo = fw::sdk::kPlaySilent;
    CHECK(again.RunFilter(true) == 0);
    CHECK(again.GetImage().samples == afterOk.samples);

    // Cancel after changes: everything back, -128, the picture untouched.
    hostemu::EmulatedHost cancelled(module->Entry());
    cancelled.SetImage(picture);
    CHECK(cancelled.Call(1) == 0);
    const fw::EffectParameters before = Record(cancelled);
    r = RunWithUser(
        cancelled,
        [](HWND dialog) {
            HWND geometry = CurrentPage(dialog);
            TypeIntoSpinEdit(geometry, 1037, "30");
            Choose(dialog, 1036, 6);  // Single 1
            Choose(geometry, 1028, 1);
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        },
        saw);
    CHECK(saw);
    CHECK(r == -128);
    const fw::EffectParameters& c = Record(cancelled);
    CHECK(c.Lenght == before.Lenght);
    CHECK(c.EffectKind == before.EffectKind && c.PatternKind == before.PatternKind);
    CHECK(c.MaskKind == before.MaskKind);
    CHECK(c.Texture == nullptr && c.CachedTriangles == nullptr && c.CachedPoints == nullptr);
    CHECK(c.NeedsRegeneration == 1);
    CHECK(cancelled.GetImage().samples == picture.samples);

    std::printf("%s: %d failed checks\n", g_failures ? "FAILED" : "passed", g_failures);
    return g_failures ? 1 : 0;
}
