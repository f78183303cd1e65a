// The main dialog: preview, effect and render-mode choice, the command buttons, Load, Save,
// Reset, help, zoom and pan, and Cancel putting the record back.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "controls/control_window.h"
#include "controls/preview_container.h"
#include "host/filter_run.h"
#include "host/preview_fetch.h"
#include "host/scripting_hooks.h"
#include "params/preset_file.h"
#include "platform/platform.h"
#include "ui/main_dialog.h"
#include "ui/pages.h"
#include "ui/preset_chooser.h"

namespace fw {

namespace ui {
UINT_PTR CALLBACK PresetChooserHook(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
}

using namespace controls;
using namespace ui;

namespace {

constexpr int kAutoUpdate = 1024, kAlphaCut = 1032, kRenderMode = 1027, kEffect = 1036;
constexpr int kPreview = 1002, kZoomIn = 1003, kZoomOut = 1004, kNavigate = 1049,
              kDragPattern = 1050;

// The chooser's filter: preset files only.
constexpr char kPresetFilter[] = "Frost weave parameters\0*.fwv\0";

// The open dialog's state (one dialog at a time).
PluginGlobals* g_globals = nullptr;
HWND g_dialog = nullptr;
EffectParameters g_saved{};
PreviewContainer* g_preview = nullptr;
HFONT g_font = nullptr;
std::string g_moduleFolder;
HINSTANCE g_module = nullptr;

EffectParameters& P() {
    return *Parameters(g_globals);
}

bool HasPreview() {
    return P().UseAdvanceState != 0;
}

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

void RegisterPresetFileType() {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, ".fwv", &key) != ERROR_SUCCESS) return;
    RegSetValueA(key, nullptr, REG_SZ, kPresetFileType, DWORD(std::strlen(kPresetFileType)));
    RegCloseKey(key);
    char path[1024] = {};
    GetModuleFileNameA(g_module, path, sizeof(path));
    const std::string icon = std::string(path) + ",0";
    const std::string iconKey = std::string(kPresetFileType) + "\\DefaultIcon";
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, iconKey.c_str(), &key) != ERROR_SUCCESS) return;
    RegSetValueA(key, nullptr, REG_SZ, icon.c_str(), DWORD(icon.size()));
    RegCloseKey(key);
}

// Preview renders of this dialog, and how many of them grew the pattern again.
int g_renders = 0, g_generations = 0;

void RenderDialogPreview() {
    if (!HasPreview()) return;
    ++g_renders;
    if (P().NeedsRegeneration) ++g_generations;
    DoFilter(g_globals, false);
}

void UpdatePreview(UINT flags) {
    if (!g_preview) return;
    g_preview->RenderPreview();
    RedrawWindow(g_preview->Window, nullptr, nullptr, flags);
}
constexpr UINT kFull = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
constexpr UINT kPlain = RDW_INVALIDATE | RDW_UPDATENOW;

void RenderIfAutomatic() {
    if (P().AutoUpdate == 1 && HasPreview()) {
        RenderDialogPreview();
        UpdatePreview(kPlain);
    }
}

void SetProxyBounds() {
    if (!g_preview) return;
    g_globals->ProxyBounds =
        sdk::Rect{0, 0, int16_t(g_preview->ClientHeight), int16_t(g_preview->ClientWidth)};
}

void FetchSource() {
    if (!g_preview) return;
    // The surface's pan and buffers travel through the filter run's preview state.
    static PreviewSurfaceData surface;
    surface.ClientWidth = g_preview->ClientWidth;
    surface.ClientHeight = g_preview->ClientHeight;
    surface.PanX = g_preview->PanX;
    surface.PanY = g_preview->PanY;
    surface.ShowRendered = g_preview->ShowRendered;
    g_previewSurface = &surface;
    FetchPreviewSource(g_globals, surface);
    g_preview->PanX = surface.PanX;
    g_preview->PanY = surface.PanY;
    g_preview->RenderBuffer = surface.RenderBuffer;
}

void ShowChecks() {
    CheckDlgButton(g_dialog, kAutoUpdate, P().AutoUpdate != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(g_dialog, kAlphaCut, P().AlphaCut > 0 ? BST_CHECKED : BST_UNCHECKED);
}

void FillCombo(int id, const char* tooltip, const char* const* names, int count, int selected) {
    HWND combo = GetDlgItem(g_dialog, id);
    AddTooltip(combo, tooltip, nullptr);
    SendMessageA(combo, WM_SETFONT, WPARAM(g_font), FALSE);
    for (int i = 0; i < count; ++i)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
    SendMessageA(combo, CB_SETCURSEL, WPARAM(selected), 0);
}

void OpenDocumentation() {
    ShellExecuteA(g_dialog, "open", DocumentationFile(g_moduleFolder).c_str(), nullptr, nullptr,
                  SW_SHOW);
}

// Common refresh after Load and Reset.
void Refresh() {
    P().NeedsRegeneration = 1;
    if (g_preview) g_preview->Owner = g_globals;
    SendDlgItemMessageA(g_dialog, kRenderMode, CB_SETCURSEL, WPARAM(P().RenderMode - 1), 0);
    SendDlgItemMessageA(g_dialog, kEffect, CB_SETCURSEL, WPARAM(EffectIndexOf(P())), 0);
    ShowChecks();
    RefreshPages(g_globals);
    RepaintCurrentPage(g_dialog);
    RenderIfAutomatic();
}

bool ChoosePresetFile(bool save, std::string& path) {
    char file[1024] = "*.fwv";
    char title[1024] = "*.fwv";
    const std::string folder = PresetFolder(g_moduleFolder);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = g_dialog;
    ofn.hInstance = g_module;
    ofn.lpstrFilter = kPresetFilter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = sizeof(title);
    ofn.lpstrInitialDir = folder.c_str();
    ofn.lpstrTitle = save ? "Save filter params" : "Open filter params";
    ofn.Flags = save ? OFN_EXPLORER | OFN_CREATEPROMPT
                     : OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK;
    if (!save) {
        // The panel that previews the preset under the cursor.
        ofn.lpTemplateName = MAKEINTRESOURCEA(kPresetChooserTemplate);
        ofn.lpfnHook = PresetChooserHook;
        ofn.lCustData = reinterpret_cast<LPARAM>(g_globals);
    }
    if (!(save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn))) return false;
    path = PresetPathFor(file);
    return true;
}

void LoadPreset() {
    std::string path;
    if (!ChoosePresetFile(false, path)) return;
    if (!LoadPresetFile(path, P())) return;  // unreadable or not a preset: ignored
    Refresh();
}

void SavePreset() {
    std::string path;
    if (ChoosePresetFile(true, path)) SavePresetFile(path, P());
}

void Zoom(bool in) {
    P().NeedsRegeneration = 1;
    SetProxyBounds();
    const ZoomStep step = in ? ZoomIn(PreviewZoom, FitScale) : ZoomOut(PreviewZoom);
    PreviewZoom = step.zoom;
    EnableWindow(GetDlgItem(g_dialog, in ? kZoomOut : kZoomIn), TRUE);
    if (!step.stillEnabled) EnableWindow(GetDlgItem(g_dialog, in ? kZoomIn : kZoomOut), FALSE);
    FetchSource();
    RenderDialogPreview();
    UpdatePreview(in ? kPlain : kFull);
}

INT_PTR CALLBACK AboutBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(box, 0);
        return TRUE;
    }
    return FALSE;
}

void InitDialog(HWND dialog, PluginGlobals* g) {
    g_globals = g;
    g_renders = g_generations = 0;
    g_module = ThisModule();
    RegisterPresetFileType();
    DialogPreviewActive = true;
    g_dialog = dialog;
    const struct {
        int id;
        const char* text;
    } tips[] = {
        {1019, "Show product documentation"},
        {1020, "About this plug-in"},
        {1021, "Go to our site and get lattest version"},
        {kAlphaCut, "Cutting the scene by alpha-channel"},
        {IDOK, "Apply effect"},
        {IDCANCEL, "Don't apply effect"},
        {1010, "Redraw scene"},
        {1018, "Save current parameters"},
        {kZoomIn, "Increase preview window"},
        {kZoomOut, "Decrease preview window"},
        {kNavigate,
         "Enables the navigation on source image in the preview window (Use left button of "
         "mouse)"},
        {kDragPattern, "Enables the dragging of patterns (Use right button of mouse)"},
    };
    for (const auto& t : tips) AddTooltip(GetDlgItem(dialog, t.id), t.text, nullptr);
    const struct {
        int id, bitmap;
    } images[] = {{kZoomIn, 104}, {kZoomOut, 107}, {kNavigate, 105}, {kDragPattern, 106}};
    for (const auto& i : images)
        SendDlgItemMessageA(
            dialog, i.id, BM_SETIMAGE, IMAGE_BITMAP,
            reinterpret_cast<LPARAM>(LoadBitmapA(g_module, MAKEINTRESOURCEA(i.bitmap))));
    char path[1024] = {};
    GetModuleFileNameA(g_module, path, sizeof(path));
    g_moduleFolder = ModuleFolder(path);
    g_saved = P();
    g_font =
        CreateFontA(ControlFontHeight(), 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, PROOF_QUALITY, 0, "Arial");
    ControlFont = g_font;
    ShowChecks();

    g_preview = static_cast<PreviewContainer*>(
        GetControlObject(GetDlgItem(dialog, kPreview), kPreviewContainerClass));
    int previewRight = 0;
    if (g_preview) {
        g_preview->Mode = 1;
        g_preview->Owner = g;
        RECT r{};
        GetWindowRect(g_preview->Window, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        previewRight = r.right;
    }
    CheckDlgButton(dialog, kDragPattern, BST_UNCHECKED);
    CheckDlgButton(dialog, kNavigate, BST_CHECKED);
    FillCombo(kRenderMode, "The mode of visualisation", kRenderModeNames, 5, P().RenderMode - 1);
    FillCombo(kEffect, "The Frostweave effect kind", kEffectNames, kEffectCount,
              EffectIndexOf(P()));
    CreatePages(dialog, g, previewRight);
    if (!P().Texture) P().Texture = LoadTexture();
    if (!HasPreview() || !g_preview) return;
    SetProxyBounds();
    g_preview->ShowRendered = true;
    FetchSource();
    if (Result(g) != sdk::kNoErr) {
        // The host cannot deliver the preview: the dialog runs on without one.
        P().UseAdvanceState = 0;
        Result(g) = sdk::kNoErr;
        return;
    }
    RenderDialogPreview();
}

void Command(int id, int code, LPARAM lParam) {
    switch (id) {
        case IDOK:
            if (code == 0) EndDialog(g_dialog, 1);
            return;
        case IDCANCEL:
            if (code != 0) return;
            RestoreSavedParameters(P(), g_saved);
            Result(g_globals) = sdk::kUserCanceledErr;
            EndDialog(g_dialog, 2);
            return;
        case 1010:
            if (HasPreview()) {
                P().NeedsRegeneration = 1;
                RenderDialogPreview();
            }
            UpdatePreview(kFull);
            return;
        case kAutoUpdate:
        case kAlphaCut:
            P().AutoUpdate = IsDlgButtonChecked(g_dialog, kAutoUpdate) == BST_CHECKED ? 1 : 0;
            P().AlphaCut = IsDlgButtonChecked(g_dialog, kAlphaCut) == BST_CHECKED ? 1 : 0;
            RenderIfAutomatic();
            return;
        case kRenderMode:
            if (code != CBN_SELENDOK) return;
            P().RenderMode =
                uint8_t(SendDlgItemMessageA(g_dialog, kRenderMode, CB_GETCURSEL, 0, 0) + 1);
            RenderIfAutomatic();
            return;
        case kEffect:
            if (code != CBN_SELENDOK) return;
            SetEffectIndex(P(), int(SendDlgItemMessageA(g_dialog, kEffect, CB_GETCURSEL, 0, 0)));
            ApplyEffectEnabling(g_globals);
            P().NeedsRegeneration = 1;
            SendMessageA(g_dialog, WM_COMMAND, kRedrawSceneCommand, 0);
            return;
        case kRedrawSceneCommand:
            if (lParam != 0) P().NeedsRegeneration = 1;
            RenderIfAutomatic();
            return;
        case kPreview:
            P().NeedsRegeneration = 1;
            FetchSource();
            RenderDialogPreview();
            UpdatePreview(kFull);
            return;
        case kZoomIn:
        case kZoomOut:
            if (HasPreview()) Zoom(id == kZoomIn);
            return;
        case 1016:
            LoadPreset();
            return;
        case 1017:
            SetDefaults(P());
            Refresh();
            return;
        case 1018:
            SavePreset();
            return;
        case 1019:
            OpenDocumentation();
            return;
        case 1020:
            DialogBoxParamA(g_module, MAKEINTRESOURCEA(kDialogAboutBox), g_dialog, AboutBoxProc, 0);
            return;
        case 1021:
            ShellExecuteA(g_dialog, "open", kWebAddress, nullptr, nullptr, SW_SHOW);
            return;
        default:
            return;
    }
}

void Destroy() {
    FreeTexture(P());
    DialogPreviewActive = false;
    DestroyPages(g_dialog);
    if (g_previewSurface) ReleasePreviewBuffers(*g_previewSurface);
    g_previewSurface = nullptr;
    if (g_preview) g_preview->RenderBuffer = nullptr;
    ControlFont = nullptr;
    if (g_font) DeleteObject(g_font);
    g_font = nullptr;
    g_preview = nullptr;
}

}  // namespace

extern "C" __declspec(dllexport) INT_PTR CALLBACK
    DissolveProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitDialog(dialog, reinterpret_cast<PluginGlobals*>(lParam));
            return 1;
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam), lParam);
            return 1;
        case WM_NOTIFY:
            if (reinterpret_cast<const NMHDR*>(lParam)->code == TCN_SELCHANGE)
                SwitchPage(dialog, g_globals);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_F1) OpenDocumentation();
            return 0;
        case WM_SHOWWINDOW:
            if (g_globals && HasPreview() && g_preview) g_preview->RenderPreview();
            return 1;
        case WM_DESTROY:
            Destroy();
            return 0;
        case kPreviewStatisticsQuery:
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, MAKELONG(g_renders, g_generations));
            return 1;
        default:
            return 0;
    }
}

void RunMainDialog(PluginGlobals* g) {
    const HINSTANCE module = ThisModule();
    RegisterControlClasses(module);
    const sdk::FilterRecord& fr = Filter(g);
    const HWND owner = fr.platformData ? reinterpret_cast<HWND>(fr.platformData->hwnd) : nullptr;
    DialogBoxParamA(module, kMainDialogTemplate, owner, DissolveProc, reinterpret_cast<LPARAM>(g));
    UnregisterControlClasses(module);
    g_globals = nullptr;
    g_dialog = nullptr;
}

}  // namespace fw
