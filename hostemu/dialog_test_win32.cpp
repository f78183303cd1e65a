// The module's main dialog as a user meets it, under Wine: the emulated host runs the filter
// with the dialog wanted, and a second thread, the user, waits for the dialog, looks at both
// pages (screenshots), changes values with window messages and presses OK or Cancel. Checks
// what the record and the picture hold afterwards. Usage: dialog_test MODULE [--shots DIR]
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hostemu/emulated_host.h"
#include "params/effect_parameters.h"
#include "params/preset_file.h"
#include "platform/platform.h"
#include "render/scene_assembly.h"
#include "ui/preset_chooser.h"

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

// The screen's pixels in `r` as 24-bit rows, bottom-up, padded to 4 bytes.
std::vector<uint8_t> Capture(const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    std::vector<uint8_t> pixels(fw::ui::Dib24RowBytes(w) * h);
    GetDIBits(memory, bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

void Shot(HWND window, const char* name) {
    if (g_shots.empty()) return;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(400);
    RECT r{};
    GetWindowRect(window, &r);
    const std::vector<uint8_t> pixels = Capture(r);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = r.right - r.left;
    header.biHeight = r.bottom - r.top;
    header.biPlanes = 1;
    header.biBitCount = 24;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = DWORD(file.bfOffBits + pixels.size());
    if (FILE* f = std::fopen((g_shots + "\\" + name + ".bmp").c_str(), "wb")) {
        std::fwrite(&file, sizeof(file), 1, f);
        std::fwrite(&header, sizeof(header), 1, f);
        std::fwrite(pixels.data(), 1, pixels.size(), f);
        std::fclose(f);
    }
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

// The dialog's preview statistics: renders, and renders that grew the pattern again.
struct Statistics {
    int renders, generations;
};
Statistics Ask(HWND dialog) {
    const LRESULT r = SendMessageA(dialog, 0x8000 + 0x4657, 0, 0);
    return {LOWORD(r), HIWORD(r)};
}

bool Enabled(HWND window, int id) {
    return IsWindowEnabled(GetDlgItem(window, id)) != 0;
}

std::string ComboText(HWND window, int id) {
    char text[64] = {};
    GetDlgItemTextA(window, id, text, sizeof(text));
    return text;
}

// A modal dialog of this process with that caption, once it shows.
HWND FindModal(const char* caption) {
    for (int i = 0; i < 200; ++i) {
        HWND window = FindWindowA(nullptr, caption);
        if (window && IsWindowVisible(window)) return window;
        Sleep(50);
    }
    return nullptr;
}

// Answers the next file chooser with `path` (as typed into its name field) and OK.
DWORD WINAPI AnswerChooser(LPVOID param) {
    const auto* job = static_cast<const std::pair<const char*, std::string>*>(param);
    HWND chooser = FindModal(job->first);
    if (!chooser) return 0;
    Sleep(200);
    for (int id : {1148, 1152}) SetDlgItemTextA(chooser, id, job->second.c_str());
    PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 1;
}

void UseChooser(HWND dialog, int button, const char* caption, const std::string& path) {
    std::pair<const char*, std::string> job{caption, path};
    HANDLE answer = CreateThread(nullptr, 0, AnswerChooser, &job, 0, nullptr);
    Click(dialog, button);
    WaitForSingleObject(answer, 15000);
    CloseHandle(answer);
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int WindowsOfThisProcess() {
    int count = 0;
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
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

void TestPreviewFollowsChanges(const hostemu::Module& module, const hostemu::Image& picture) {
    hostemu::EmulatedHost host(module.Entry());
    host.SetImage(picture);
    bool saw = false;
    const int16_t r = RunWithUser(
        host,
        [&host](HWND dialog) {
            HWND geometry = CurrentPage(dialog);
            const fw::EffectParameters& p = Record(host);
            Statistics s0 = Ask(dialog);
            CHECK(s0.renders >= 1 && s0.generations >= 1);
            TypeIntoSpinEdit(geometry, 1032, "18");  // Density: a new pattern
            Statistics s1 = Ask(dialog);
            CHECK(s1.renders == s0.renders + 1 && s1.generations == s0.generations + 1);
            SelectTab(dialog, 1);
            HWND material = CurrentPage(dialog);
            // A page made afresh asks for a new pattern once; the first change pays for it.
            TypeIntoSpinEdit(material, 1135, "90");
            const Statistics s2 = Ask(dialog);
            const int32_t triangles = p.CachedTriangleCount;
            const void* cache = p.CachedTriangles;
            TypeIntoSpinEdit(material, 1136, "80");  // Shininess: the same triangles
            Statistics s3 = Ask(dialog);
            CHECK(s3.renders == s2.renders + 1 && s3.generations == s2.generations);
            CHECK(p.CachedTriangleCount == triangles && p.CachedTriangles == cache);
            SendDlgItemMessageA(dialog, 1032, BM_SETCHECK, BST_CHECKED, 0);
            Click(dialog, 1032);  // Alpha cut: drawn again, not grown again
            const Statistics alpha = Ask(dialog);
            CHECK(alpha.renders == s3.renders + 1 && alpha.generations == s3.generations);
            // Glass off disables its three controls at once.
            SendDlgItemMessageA(material, 1056, BM_SETCHECK, BST_UNCHECKED, 0);
            Click(material, 1056);
            CHECK(!Enabled(material, 2240) && !Enabled(material, 2241) && !Enabled(material, 2242));
            CHECK(p.UseGlass == 0);
            const Statistics s4 = Ask(dialog);
            // Without automatic update nothing renders until Update.
            SendDlgItemMessageA(dialog, 1024, BM_SETCHECK, BST_UNCHECKED, 0);
            Click(dialog, 1024);
            SelectTab(dialog, 0);
            TypeIntoSpinEdit(geometry, 1032, "30");
            Statistics s5 = Ask(dialog);
            CHECK(s5.renders == s4.renders);
            Click(dialog, 1010);
            Statistics s6 = Ask(dialog);
            CHECK(s6.renders == s5.renders + 1 && s6.generations == s5.generations + 1);
            // "Single 1": no mask kind, no growth direction, the rotor in use.
            Choose(dialog, 1036, 6);
            CHECK(!Enabled(geometry, 1028) && !Enabled(geometry, 1030) && Enabled(geometry, 9025));
            Choose(dialog, 1036, 5);
            CHECK(Enabled(geometry, 1028) && !Enabled(geometry, 9025));
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        },
        saw);
    CHECK(saw && r == 0);
}

void TestZoomAndPan(const hostemu::Module& module) {
    // A picture smaller than the preview: no zooming in, no zooming out.
    hostemu::EmulatedHost small(module.Entry());
    small.SetImage(hostemu::Image(200, 150, 3, 8));
    bool shown = false;
    RunWithUser(
        small,
        [](HWND dialog) {
            Click(dialog, 1004);
            CHECK(!Enabled(dialog, 1004));
            Click(dialog, 1003);
            CHECK(!Enabled(dialog, 1003));
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        },
        shown);
    CHECK(shown);

    hostemu::EmulatedHost host(module.Entry());
    host.SetImage(hostemu::Image(1400, 1000, 3, 8));
    bool saw = false;
    const int16_t r = RunWithUser(
        host,
        [&host](HWND dialog) {
            Click(dialog, 1003);  // in: half the area, now larger than the preview
            CHECK(Enabled(dialog, 1003) && Enabled(dialog, 1004));
            const fw::sdk::Rect before = host.Record().inRect;
            HWND preview = GetDlgItem(dialog, 1002);
            SendMessageA(preview, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 100));
            SendMessageA(preview, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(185, 90));
            SendMessageA(preview, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(170, 80));
            SendMessageA(preview, WM_LBUTTONUP, 0, MAKELPARAM(170, 80));
            const fw::sdk::Rect after = host.Record().inRect;
            CHECK(after.left == before.left + 30 && after.top == before.top + 20);
            Shot(dialog, "dialog_zoomed");
            Click(dialog, 1004);  // back out to the whole area: zoom 1, still allowed
            CHECK(Enabled(dialog, 1004));
            Click(dialog, 1004);  // beyond the whole area: refused
            CHECK(!Enabled(dialog, 1004));
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        },
        saw);
    CHECK(saw && r == 0);
}

void TestHostWithoutPreview(const hostemu::Module& module, const hostemu::Image& picture) {
    hostemu::HostOptions options;
    options.advanceState = false;
    hostemu::EmulatedHost host(module.Entry(), options);
    host.SetImage(picture);
    bool saw = false;
    const int16_t r = RunWithUser(
        host,
        [](HWND dialog) {
            const Statistics s0 = Ask(dialog);
            TypeIntoSpinEdit(CurrentPage(dialog), 1045, "60");  // Scale
            Click(dialog, 1003);
            Click(dialog, 1010);
            CHECK(Ask(dialog).renders == 0 && s0.renders == 0);
            CHECK(Enabled(dialog, 1003));  // zoom does nothing without a preview
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        },
        saw);
    CHECK(saw && r == 0);
    CHECK(Record(host).Scale == 60);
    CHECK(host.GetImage().samples != picture.samples);
}

// Help and F1 open the manual beside the module: a test association for .html records what
// it was asked to open.
void TestHelp(const std::string& moduleFolder, const std::string& folder) {
    const std::string copy = folder + "\\module";
    CreateDirectoryA(copy.c_str(), nullptr);
    for (const char* name : {"GLTFrostweave.8bf", "Prismcore.dll"})
        CopyFileA((moduleFolder + name).c_str(), (copy + "\\" + name).c_str(), FALSE);
    const std::string manual = copy + "\\frostweavedoc.html";
    if (FILE* f = std::fopen(manual.c_str(), "wb")) std::fclose(f);
    const std::string record = folder + "\\help-opened.txt";
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string command =
        std::string("\"") + self + "\" --record-help \"" + record + "\" \"%1\"";
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CLASSES_ROOT, ".html", &key);
    RegSetValueA(key, nullptr, REG_SZ, "FrostweaveTestHelp", 18);
    RegCloseKey(key);
    RegCreateKeyA(HKEY_CLASSES_ROOT, "FrostweaveTestHelp\\shell\\open\\command", &key);
    RegSetValueA(key, nullptr, REG_SZ, command.c_str(), DWORD(command.size()));
    RegCloseKey(key);

    std::string error;
    auto module = hostemu::Module::Load(copy + "\\GLTFrostweave.8bf", error);
    CHECK(module != nullptr);
    if (!module) return;
    auto opened = [&record]() {
        for (int i = 0; i < 100; ++i) {
            if (FILE* f = std::fopen(record.c_str(), "rb")) {
                char text[1024] = {};
                std::fread(text, 1, sizeof(text) - 1, f);
                std::fclose(f);
                if (text[0]) return std::string(text);
            }
            Sleep(50);
        }
        return std::string();
    };
    hostemu::EmulatedHost host(module->Entry());
    host.SetImage(hostemu::Image(64, 48, 3, 8));
    std::string byButton, byKey;
    bool saw = false;
    RunWithUser(
        host,
        [&](HWND dialog) {
            DeleteFileA(record.c_str());
            Click(dialog, 1019);
            byButton = opened();
            DeleteFileA(record.c_str());
            SendMessageA(dialog, WM_KEYDOWN, VK_F1, 0);
            byKey = opened();
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        },
        saw);
    CHECK(saw);
    std::printf("Help opened '%s', F1 opened '%s'\n", byButton.c_str(), byKey.c_str());
    CHECK(byButton.find("frostweavedoc.html") != std::string::npos);
    CHECK(byKey.find("frostweavedoc.html") != std::string::npos);
}

void TestPresetsAndRegistry(const hostemu::Module& module, const hostemu::Image& picture,
                            const std::string& folder) {
    // A preset with the mask kind "Top" and glass on, written by the library itself.
    fw::EffectParameters preset{};
    fw::SetDefaults(preset);
    preset.MaskKind = 2;
    preset.UseGlass = 1;
    preset.Shininess = 77;
    preset.Width = 44;
    const std::string presetPath = folder + "\\top.fwv";
    CHECK(fw::SavePresetFile(presetPath, preset));
    const std::string badPath = folder + "\\bad.fwv";
    if (FILE* bad = std::fopen(badPath.c_str(), "wb")) {
        std::fputs("Max Frostweave0\nWidth=3\n", bad);
        std::fclose(bad);
    }
    hostemu::EmulatedHost host(module.Entry());
    host.SetImage(picture);
    CHECK(host.Call(1) == 0);
    Record(host).UseGlass = 0;
    bool saw = false;
    const int16_t r = RunWithUser(
        host,
        [&](HWND dialog) {
            UseChooser(dialog, 1016, "Open filter params", presetPath);
            HWND geometry = CurrentPage(dialog);
            CHECK(ComboText(geometry, 1028) == "Top");
            CHECK(Record(host).Width == 44);
            SelectTab(dialog, 1);  // set up now, from the loaded values
            HWND material = CurrentPage(dialog);
            CHECK(IsDlgButtonChecked(material, 1056) == BST_CHECKED && Enabled(material, 2240));
            char text[32] = {};
            GetWindowTextA(GetDlgItem(GetDlgItem(material, 1136), 1), text, sizeof(text));
            CHECK(std::string(text) == "77.00");
            // Reset brings the defaults back onto both pages, and Load the preset again.
            Click(dialog, 1017);
            CHECK(Record(host).Width == 30 && Record(host).MaskKind == 5);
            CHECK(ComboText(geometry, 1028) == "U-like");
            UseChooser(dialog, 1016, "Open filter params", presetPath);
            CHECK(Record(host).Width == 44);
            // A file that is not a preset changes nothing.
            UseChooser(dialog, 1016, "Open filter params", badPath);
            CHECK(Record(host).Width == 44);
            for (const char* name : {"a", "name", "x.fwv"})
                UseChooser(dialog, 1018, "Save filter params", folder + "\\" + name);
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        },
        saw);
    CHECK(saw && r == 0);
    for (const char* name : {"a", "name.fwv", "x.fwv"}) {
        const bool there =
            GetFileAttributesA((folder + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!there) std::printf("no preset file %s\n", name);
        CHECK(there);
    }
    CHECK(GetFileAttributesA((folder + "\\x.fwv.fwv").c_str()) == INVALID_FILE_ATTRIBUTES);

    char value[256] = {};
    LONG size = sizeof(value);
    CHECK(RegQueryValueA(HKEY_CLASSES_ROOT, ".fwv", value, &size) == ERROR_SUCCESS &&
          std::string(value) == "RimeholtFrostweavePSD_Saves");
    size = sizeof(value);
    CHECK(RegQueryValueA(HKEY_CLASSES_ROOT, "RimeholtFrostweavePSD_Saves\\DefaultIcon", value,
                         &size) == ERROR_SUCCESS &&
          std::string(value).find("GLTFrostweave.8bf,0") != std::string::npos);
}

// ---- The preset chooser ----

HWND ChooserPanel(HWND chooser) {
    return FindWindowExA(chooser, nullptr, "#32770", nullptr);
}

HWND ChooserList(HWND chooser) {
    HWND view = FindWindowExA(chooser, nullptr, "SHELLDLL_DefView", nullptr);
    return view ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
}

// Selects the list item whose text is `name`, as a click would.
bool SelectItem(HWND list, const char* name) {
    const int count = int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[260] = {};
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = sizeof(text);
        SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        if (std::strncmp(text, name, std::strlen(name)) != 0) continue;
        LVITEMA state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = 0;
        SendMessageA(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&state));
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
        Sleep(300);
        return true;
    }
    return false;
}

// The preview box as it stands on the screen: how many pixels are the empty box's grey, and
// how many are neither that grey nor black (the frost over the sample picture).
struct BoxLook {
    int grey = 0, coloured = 0, total = 0;
};
BoxLook LookAtBox(HWND panel) {
    RECT r{};
    GetWindowRect(GetDlgItem(panel, 666), &r);
    BoxLook look;
    HDC screen = GetDC(nullptr);
    for (int y = r.top + 3; y < r.bottom - 3; y += 3)
        for (int x = r.left + 3; x < r.right - 3; x += 3) {
            const COLORREF c = GetPixel(screen, x, y);
            ++look.total;
            if (c == RGB(128, 128, 128))
                ++look.grey;
            else if (c != RGB(0, 0, 0))
                ++look.coloured;
        }
    ReleaseDC(nullptr, screen);
    return look;
}

// The preview box's pixels on the screen against the preset rendered here by the same scene
// step over the same sample picture: the share of pixels that differ.
double BoxMismatch(HWND panel, const std::string& presetPath) {
    RECT r{};
    GetWindowRect(GetDlgItem(panel, 666), &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    fw::EffectParameters p{};
    fw::SetDefaults(p);
    if (!fw::LoadPresetFile(presetPath, p)) return 1;
    int pw = 0, ph = 0;
    std::vector<uint8_t> rgb;
    if (!fw::platform::LoadBitmapRgb(115, pw, ph, rgb)) return 1;
    std::vector<uint8_t> sample(size_t(w) * h * 4), output(sample.size());
    fw::ui::FillSampleBuffer(rgb.data(), pw, ph, w, h, sample.data());
    std::unique_ptr<uint8_t, decltype(&std::free)> bump(fw::LoadTexture(), &std::free);
    fw::SceneRequest request = fw::WholeAreaRequest(p, w, h);
    request.quality = 0;
    request.bumpSource = bump.get();
    request.input = sample.data();
    request.output = output.data();
    request.rowBytes = 4 * w;
    fw::RenderScene(request);
    fw::FreePatternCache(p);
    std::vector<uint8_t> expected(fw::ui::Dib24RowBytes(w) * h);
    fw::ui::WorkingToDib24(output.data(), w, h, expected.data());

    const std::vector<uint8_t> shown = Capture(r);
    size_t differing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t at = fw::ui::Dib24RowBytes(w) * y + 3 * size_t(x);
            differing += std::memcmp(&shown[at], &expected[at], 3) != 0;
        }
    return double(differing) / (double(w) * h);
}

bool ShowsPreset(const BoxLook& l) {
    return l.coloured > l.total * 3 / 4;
}
bool ShowsEmptyBox(const BoxLook& l) {
    return l.grey > l.total * 3 / 4;
}

// The dialog's preview as it stands on the screen.
uint32_t PreviewChecksum(HWND dialog) {
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(400);
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, 1002), &r);
    uint32_t sum = 2166136261u;
    HDC screen = GetDC(nullptr);
    for (int y = r.top; y < r.bottom; y += 4)
        for (int x = r.left; x < r.right; x += 4) sum = (sum ^ GetPixel(screen, x, y)) * 16777619u;
    ReleaseDC(nullptr, screen);
    return sum;
}

struct ChooserJob {
    std::string browse;
};

// First visit of the chooser: into the folder, through its entries, then Cancel.
DWORD WINAPI BrowseAndCancel(LPVOID param) {
    const ChooserJob& j = *static_cast<const ChooserJob*>(param);
    HWND chooser = FindModal("Open filter params");
    if (!chooser) return 0;
    Sleep(300);
    SetDlgItemTextA(chooser, 1148, j.browse.c_str());  // go into the folder
    SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Sleep(500);
    HWND panel = ChooserPanel(chooser);
    HWND list = ChooserList(chooser);
    CHECK(panel != nullptr && list != nullptr);
    if (!panel || !list) return 0;
    CHECK(SelectItem(list, "frost-wreath"));
    CHECK(ShowsPreset(LookAtBox(panel)));
    const double mismatch = BoxMismatch(panel, j.browse + "\\frost-wreath.fwv");
    std::printf("preview box differs from the render in %.2f%% of its pixels\n", 100 * mismatch);
    CHECK(mismatch == 0);
    Shot(chooser, "chooser_preset");
    CHECK(!SelectItem(list, "notes"));  // the chooser lists presets only
    CHECK(SelectItem(list, "broken"));
    CHECK(ShowsEmptyBox(LookAtBox(panel)));
    Shot(chooser, "chooser_empty");
    CHECK(SelectItem(list, "sub"));
    CHECK(ShowsEmptyBox(LookAtBox(panel)));
    CHECK(SelectItem(list, "frozen-lace"));
    CHECK(ShowsPreset(LookAtBox(panel)));
    // The switch: off empties the box at once, on previews the selection.
    SendDlgItemMessageA(panel, 667, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageA(panel, WM_COMMAND, MAKEWPARAM(667, BN_CLICKED), 0);
    Sleep(200);
    CHECK(ShowsEmptyBox(LookAtBox(panel)));
    SendDlgItemMessageA(panel, 667, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(panel, WM_COMMAND, MAKEWPARAM(667, BN_CLICKED), 0);
    Sleep(300);
    CHECK(ShowsPreset(LookAtBox(panel)));
    // Left off, the switch is still off when the chooser opens next time.
    SendDlgItemMessageA(panel, 667, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageA(panel, WM_COMMAND, MAKEWPARAM(667, BN_CLICKED), 0);
    SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 1;
}

// Next visit: the switch as it was left, turned on again, then Cancel.
DWORD WINAPI ReopenAndCancel(LPVOID) {
    HWND chooser = FindModal("Open filter params");
    if (!chooser) return 0;
    Sleep(300);
    HWND panel = ChooserPanel(chooser);
    CHECK(panel && IsDlgButtonChecked(panel, 667) == BST_UNCHECKED);
    SendDlgItemMessageA(panel, 667, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(panel, WM_COMMAND, MAKEWPARAM(667, BN_CLICKED), 0);
    SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 1;
}

void TestPresetChooser(const hostemu::Module& module, const hostemu::Image& picture,
                       const std::string& presets, const std::string& folder) {
    // A folder of two shipped presets, a text file, a file with a wrong header, a folder.
    const std::string browse = folder + "\\browse";
    CreateDirectoryA(browse.c_str(), nullptr);
    CreateDirectoryA((browse + "\\sub").c_str(), nullptr);
    for (const char* name : {"frost-wreath.fwv", "frozen-lace.fwv"})
        CopyFileA((presets + "\\" + name).c_str(), (browse + "\\" + name).c_str(), FALSE);
    if (FILE* f = std::fopen((browse + "\\notes.txt").c_str(), "wb")) {
        std::fputs("not a preset\n", f);
        std::fclose(f);
    }
    if (FILE* f = std::fopen((browse + "\\broken.fwv").c_str(), "wb")) {
        std::fputs("Max Frostweave2\nWidth=3\n", f);
        std::fclose(f);
    }

    hostemu::EmulatedHost host(module.Entry());
    host.SetImage(picture);
    CHECK(host.Call(1) == 0);
    bool saw = false;
    fw::EffectParameters before{};
    const int16_t r = RunWithUser(
        host,
        [&](HWND dialog) {
            before = Record(host);
            ChooserJob job{browse};
            // First visit: browse, look, cancel.
            HANDLE user = CreateThread(nullptr, 0, BrowseAndCancel, &job, 0, nullptr);
            const uint32_t previewBefore = PreviewChecksum(dialog);
            Click(dialog, 1016);
            WaitForSingleObject(user, 30000);
            CloseHandle(user);
            CHECK(PreviewChecksum(dialog) == previewBefore);  // the dialog's preview as it was
            HANDLE again = CreateThread(nullptr, 0, ReopenAndCancel, nullptr, 0, nullptr);
            Click(dialog, 1016);
            WaitForSingleObject(again, 30000);
            CloseHandle(again);
            // Cancel: every setting as it was; the pattern is grown anew for the dialog.
            fw::EffectParameters now = Record(host);
            fw::EffectParameters was = before;
            for (fw::EffectParameters* q : {&now, &was}) {
                q->Texture = nullptr;
                q->CachedTriangles = q->CachedPoints = nullptr;
                q->CachedTriangleCount = q->CachedPointCount = 0;
                q->NeedsRegeneration = 1;
            }
            CHECK(std::memcmp(&now, &was, sizeof(now)) == 0);
            CHECK(host.Record().inData != nullptr && host.Record().planes == picture.planes);
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        },
        saw);
    CHECK(saw && r == 0);
    // The host's record and globals were the host's again: the same picture as a run that
    // never opened the chooser.
    hostemu::EmulatedHost plain(module.Entry());
    plain.SetImage(picture);
    RunWithUser(
        plain, [](HWND d) { PostMessageA(d, WM_COMMAND, IDOK, 0); }, saw);
    CHECK(plain.GetImage().samples == host.GetImage().samples);

    // Open takes the chosen preset into both pages.
    hostemu::EmulatedHost opened(module.Entry());
    opened.SetImage(picture);
    RunWithUser(
        opened,
        [&](HWND dialog) {
            UseChooser(dialog, 1016, "Open filter params", browse + "\\frozen-lace.fwv");
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        },
        saw);
    fw::EffectParameters lace{};
    fw::SetDefaults(lace);
    CHECK(fw::LoadPresetFile(browse + "\\frozen-lace.fwv", lace));
    CHECK(Record(opened).Width == lace.Width && Record(opened).EffectKind == lace.EffectKind);
}

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--record-help") == 0) {
        // Playing the browser for the help test: note what was to be opened.
        if (FILE* f = std::fopen(argv[2], "wb")) {
            std::fputs(argv[3], f);
            std::fclose(f);
        }
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: dialog_test MODULE [--shots DIR]\n");
        return 2;
    }
    std::string presets;
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--shots") == 0) g_shots = argv[i + 1];
        if (std::strcmp(argv[i], "--presets") == 0) presets = argv[i + 1];
    }
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
            TypeIntoSpinEdit(geometry, 1032, "14");   // Density
            TypeIntoSpinEdit(geometry, 1034, "4.6");  // Max iterations, an integer
            SelectTab(dialog, 1);
            HWND material = CurrentPage(dialog);
            TypeIntoSpinEdit(material, 1136, "42.5");  // Shininess
            Shot(dialog, "dialog_material");
            Choose(dialog, 1027, 3);                                         // Flat
            SendDlgItemMessageA(dialog, 1032, BM_SETCHECK, BST_CHECKED, 0);  // Alpha cut
            Click(dialog, 1032);
            Choose(dialog, 1036, 4);                                           // Floral 2
            SendDlgItemMessageA(dialog, 1024, BM_SETCHECK, BST_UNCHECKED, 0);  // Auto update
            Click(dialog, 1024);
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
    CHECK(fw::EffectIndexOf(p) == 4);
    CHECK(p.AutoUpdate == 0);
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

    TestPreviewFollowsChanges(*module, picture);
    TestZoomAndPan(*module);
    TestHostWithoutPreview(*module, picture);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "frostweave-dialog-test";
    CreateDirectoryA(folder.c_str(), nullptr);
    TestPresetsAndRegistry(*module, picture, folder);
    std::string moduleFolder = argv[1];
    moduleFolder = moduleFolder.substr(0, moduleFolder.find_last_of("\\/") + 1);
    TestHelp(moduleFolder, folder);
    if (!presets.empty()) TestPresetChooser(*module, picture, presets, folder);

    // Open and OK, open and Cancel, a repeat without the dialog: no window left behind.
    // (Wine answers GetGuiResources with 0, so GDI objects cannot be counted here.)
    const int windowsBefore = WindowsOfThisProcess();
    for (int round = 0; round < 2; ++round) {
        hostemu::EmulatedHost host(module->Entry());
        host.SetImage(picture);
        bool shown = false;
        RunWithUser(
            host, [](HWND d) { PostMessageA(d, WM_COMMAND, IDOK, 0); }, shown);
        RunWithUser(
            host, [](HWND d) { PostMessageA(d, WM_COMMAND, IDCANCEL, 0); }, shown);
        host.Options().playInfo = fw::sdk::kPlaySilent;
        CHECK(host.RunFilter(true) == 0);
    }
    const int windowsAfter = WindowsOfThisProcess();
    std::printf("windows of this process %d -> %d\n", windowsBefore, windowsAfter);
    CHECK(windowsAfter <= windowsBefore);

    std::printf("%s: %d failed checks\n", g_failures ? "FAILED" : "passed", g_failures);
    return g_failures ? 1 : 0;
}
