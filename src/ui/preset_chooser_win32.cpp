// The preset chooser's panel: previews the preset under the cursor on the sample picture,
// and puts the record, the host's filter record and the scales back when the chooser closes.
#include <windows.h>

#include <commdlg.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/filter_run.h"
#include "host/preview_state.h"
#include "params/preset_file.h"
#include "platform/platform.h"
#include "ui/main_dialog.h"
#include "ui/preset_chooser.h"

namespace fw::ui {

namespace {

constexpr int kBox = 666, kShowPreview = 667;

// The chooser's state; one chooser is open at a time, and the switch outlives it.
bool g_showPreview = true;
PluginGlobals* g_globals = nullptr;
RECT g_box{};
uint8_t* g_sample = nullptr;
uint8_t* g_output = nullptr;
bool g_rendered = false, g_boxStale = true, g_accepted = false;
EffectParameters g_savedParameters{};
PluginGlobals g_savedGlobals{};
sdk::FilterRecord g_savedRecord{};
double g_savedPreviewScale = 1, g_savedFitScale = 1;
std::vector<uint8_t> g_dib;
BITMAPINFO g_dibInfo{};

int BoxWidth() {
    return g_box.right - g_box.left;
}
int BoxHeight() {
    return g_box.bottom - g_box.top;
}

void MeasureBox(HWND panel) {
    GetWindowRect(GetDlgItem(panel, kBox), &g_box);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&g_box), 2);
}

void ShowEmptyBox(HWND panel) {
    RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASENOW);
}

void ReleaseBuffers() {
    std::free(g_sample);
    std::free(g_output);
    g_sample = g_output = nullptr;
}

}  // namespace

void DrawWorkingBuffer(const uint8_t* buffer, int y, int x, int w, int h, HWND window, HDC dc) {
    if (w <= 0 || h <= 0) return;
    const size_t bytes = Dib24RowBytes(w) * size_t(h);
    if (g_dibInfo.bmiHeader.biWidth != w || g_dibInfo.bmiHeader.biHeight != h ||
        g_dib.size() != bytes) {
        g_dib.assign(bytes, 0);
        g_dibInfo = BITMAPINFO{};
        g_dibInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        g_dibInfo.bmiHeader.biWidth = w;
        g_dibInfo.bmiHeader.biHeight = h;
        g_dibInfo.bmiHeader.biPlanes = 1;
        g_dibInfo.bmiHeader.biBitCount = 24;
        g_dibInfo.bmiHeader.biCompression = BI_RGB;
    }
    WorkingToDib24(buffer, w, h, g_dib.data());
    HBITMAP bitmap = CreateDIBitmap(dc, &g_dibInfo.bmiHeader, CBM_INIT, g_dib.data(), &g_dibInfo,
                                    DIB_RGB_COLORS);
    if (!bitmap) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(dc, x, y, w, h, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    (void)window;
}

namespace {

void InitDone(HWND panel) {
    MeasureBox(panel);
    const int w = BoxWidth(), h = BoxHeight();
    ReleaseBuffers();
    g_sample = static_cast<uint8_t*>(std::calloc(size_t(w) * h, 4));
    g_output = static_cast<uint8_t*>(std::calloc(size_t(w) * h, 4));
    int pw = 0, ph = 0;
    std::vector<uint8_t> rgb;
    if (g_sample && platform::LoadBitmapRgb(kSamplePictureBitmap, pw, ph, rgb))
        FillSampleBuffer(rgb.data(), pw, ph, w, h, g_sample);
    // The host's record becomes a small RGB picture of the preview box's own.
    sdk::FilterRecord& fr = Filter(g_globals);
    fr.planes = 4;
    fr.filterRect = fr.outRect = fr.inRect = sdk::Rect{0, 0, int16_t(h), int16_t(w)};
    fr.bigDocumentData = nullptr;
    fr.inData = g_sample;
    fr.outData = g_output;
    fr.inRowBytes = fr.outRowBytes = 4 * w;
    fr.haveMask = 0;
    fr.maskData = nullptr;
    fr.imageMode = sdk::kModeRGBColor;
    g_savedPreviewScale = PreviewScale;
    g_savedFitScale = FitScale;
    PreviewScale = FitScale = 1;
    CheckDlgButton(panel, kShowPreview, g_showPreview ? BST_CHECKED : BST_UNCHECKED);
}

BOOL SelectionChanged(HWND panel) {
    g_rendered = false;
    if (g_showPreview && g_sample && g_output) {
        char path[1024] = {};
        SendMessageA(GetParent(panel), CDM_GETFILEPATH, sizeof(path), LPARAM(path));
        g_rendered = path[0] && LoadPresetFile(PresetPathFor(path), *Parameters(g_globals));
    }
    if (!g_rendered) {
        ShowEmptyBox(panel);
        return TRUE;
    }
    g_showPreview = true;
    Parameters(g_globals)->NeedsRegeneration = 1;
    DoFilter(g_globals, false);
    HDC dc = GetDC(panel);
    DrawWorkingBuffer(g_output, g_box.top, g_box.left, BoxWidth(), BoxHeight(), panel, dc);
    ReleaseDC(panel, dc);
    return TRUE;
}

void Paint(HWND panel) {
    if (g_boxStale || !g_rendered) {
        MeasureBox(panel);
        g_boxStale = false;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(panel, &ps);
    if (g_rendered && g_output) {
        DrawWorkingBuffer(g_output, g_box.top, g_box.left, BoxWidth(), BoxHeight(), panel, dc);
    } else {
        FillRect(dc, &g_box, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        MoveToEx(dc, g_box.left, g_box.top, nullptr);
        LineTo(dc, g_box.right, g_box.bottom);
        MoveToEx(dc, g_box.right, g_box.top, nullptr);
        LineTo(dc, g_box.left, g_box.bottom);
    }
    EndPaint(panel, &ps);
}

void Destroy() {
    FilePreviewActive = false;
    PreviewScale = g_savedPreviewScale;
    FitScale = g_savedFitScale;
    ReleaseBuffers();
    g_rendered = false;
    if (!g_globals) return;
    if (!g_accepted) {
        // The cache now holds a previewed preset's pattern: the dialog grows its own again.
        EffectParameters& p = *Parameters(g_globals);
        RestoreSavedParameters(p, g_savedParameters);
        p.NeedsRegeneration = 1;
    }
    *g_globals = g_savedGlobals;
    Filter(g_globals) = g_savedRecord;
    g_globals = nullptr;
}

}  // namespace

UINT_PTR CALLBACK PresetChooserHook(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* ofn = reinterpret_cast<const OPENFILENAMEA*>(lParam);
            g_globals = reinterpret_cast<PluginGlobals*>(ofn->lCustData);
            g_accepted = false;
            FilePreviewActive = true;
            g_boxStale = true;
            g_savedParameters = *Parameters(g_globals);
            g_savedGlobals = *g_globals;
            g_savedRecord = Filter(g_globals);
            return TRUE;
        }
        case WM_NOTIFY: {
            if (!g_globals) return 0;
            const auto* note = reinterpret_cast<const OFNOTIFYA*>(lParam);
            if (note->hdr.code == UINT(CDN_INITDONE)) InitDone(panel);
            if (note->hdr.code == UINT(CDN_SELCHANGE)) return SelectionChanged(panel);
            if (note->hdr.code == UINT(CDN_FILEOK)) g_accepted = true;
            return 0;
        }
        case WM_PAINT:
            if (!g_globals) return 0;
            Paint(panel);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) != kShowPreview || !g_globals) return 0;
            if (IsDlgButtonChecked(panel, kShowPreview) == BST_CHECKED) {
                g_showPreview = true;
                SelectionChanged(panel);
            } else {
                g_rendered = false;
                g_showPreview = false;
                ShowEmptyBox(panel);
            }
            return TRUE;
        case WM_DESTROY:
            Destroy();
            return 0;
        default:
            return 0;
    }
}

}  // namespace fw::ui
