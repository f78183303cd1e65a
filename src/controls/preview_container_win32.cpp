// The preview surface on the window side: shows the picture, pans it with the left button
// and places the pattern with the right.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "controls/control_window.h"
#include "controls/preview_container.h"
#include "host/filter_run.h"
#include "host/preview_state.h"
#include "platform/platform.h"

namespace fw::controls {

namespace {

constexpr int kNavigateButton = 1049, kDragPatternButton = 1050;

void ShowButtonInUse(PreviewContainer& p, int inUse, int other) {
    HWND parent = GetParent(p.Window);
    CheckDlgButton(parent, inUse, BST_CHECKED);
    CheckDlgButton(parent, other, BST_UNCHECKED);
}

void ReleasePicture(PreviewContainer& p) {
    if (p.PreviewBitmap) DeleteObject(p.PreviewBitmap);
    p.PreviewBitmap = nullptr;
    platform::FreePages(p.PreviewPixels);
    p.PreviewPixels = nullptr;
}

void DrawCross(HDC dc, int dx, int dy, int w, int h) {
    MoveToEx(dc, dx, dy, nullptr);
    LineTo(dc, w + dx, h + dy);
    MoveToEx(dc, dx, h + dy, nullptr);
    LineTo(dc, w + dx, dy);
}

void CopyPicture(const PreviewContainer& p, HDC dc, int x, int y) {
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, p.PreviewBitmap);
    BitBlt(dc, x, y, p.ClientWidth, p.ClientHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void Paint(const PreviewContainer& p) {
    if (p.DragDX != 0 || p.DragDY != 0) {
        // A pan in progress: the picture follows the pointer, drawn off-screen at once.
        PaintOffScreen(p, [&p](HDC dc) {
            if (p.PreviewBitmap)
                CopyPicture(p, dc, p.DrawX + p.DragDX, p.DrawY + p.DragDY);
            else
                DrawCross(dc, p.DragDX, p.DragDY, p.ClientWidth, p.ClientHeight);
        });
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(p.Window, &ps);
    if (p.PreviewBitmap)
        CopyPicture(p, dc, p.DrawX, p.DrawY);
    else
        DrawCross(dc, 0, 0, p.ClientWidth, p.ClientHeight);
    EndPaint(p.Window, &ps);
}

intptr_t HandlePreview(ControlBase& c, unsigned message, uintptr_t wParam, intptr_t lParam) {
    auto& p = static_cast<PreviewContainer&>(c);
    HWND window = p.Window;
    switch (message) {
        case WM_LBUTTONDOWN:
            ShowButtonInUse(p, kNavigateButton, kDragPatternButton);
            SetCapture(window);
            p.LastX = PointerX(lParam);
            p.LastY = PointerY(lParam);
            p.DragDX = p.DragDY = 0;
            return 0;
        case WM_MOUSEMOVE:
            if (wParam & MK_LBUTTON) {
                p.CurX = PointerX(lParam);
                p.CurY = PointerY(lParam);
                p.DragDX += p.CurX - p.LastX;
                p.DragDY += p.CurY - p.LastY;
                p.LastX = p.CurX;
                p.LastY = p.CurY;
                p.Redraw();
            }
            if (wParam & MK_RBUTTON) p.PlacePattern(PointerX(lParam), PointerY(lParam));
            return 0;
        case WM_LBUTTONUP:
            ReleaseCapture();
            p.PanX -= p.DragDX;
            p.PanY -= p.DragDY;
            p.DragDX = p.DragDY = 0;
            p.Notify(0);
            return 0;
        case WM_RBUTTONDOWN:
            ShowButtonInUse(p, kDragPatternButton, kNavigateButton);
            p.PlacePattern(PointerX(lParam), PointerY(lParam));
            SetCapture(window);
            return 0;
        case WM_RBUTTONUP:
            ReleaseCapture();
            return 0;
        case WM_PAINT:
            Paint(p);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

void PreviewContainer::PlacePattern(int x, int y) {
    if (!Owner) return;
    const sdk::Rect filter = GetFilterRect();
    float px = 0, py = 0;
    if (!PatternPositionAt(x, y, PanX, PanY, DrawX, DrawY, filter.right - filter.left,
                           filter.bottom - filter.top, PreviewScale, px, py))
        return;
    if (CenterXEdit && CenterYEdit) {
        CenterXEdit->SetValue(px);
        CenterYEdit->SetValue(py);
        CenterXEdit->Redraw();
        CenterYEdit->Redraw();
    }
    if (EffectParameters* parameters = Parameters(Owner)) {
        parameters->CenterX = px;
        parameters->CenterY = py;
    }
    SendMessageA(GetParent(Window), WM_COMMAND, kRedrawSceneCommand, ControlId);
}

void PreviewContainer::RenderPreview() {
    if (!Owner) return;
    const sdk::FilterRecord& fr = Filter(Owner);
    const sdk::Rect filter = GetFilterRect();
    const int w = filter.right - filter.left, h = filter.bottom - filter.top;
    const PreviewLayout layout = LayoutPreview(ClientWidth, ClientHeight, w, h);
    DisplayWidth = layout.displayWidth;
    DisplayHeight = layout.displayHeight;
    // The fetched preview may be smaller than the filter area seen at this scale: never
    // read past its rows.
    if (g_previewSurface && g_previewSurface->BufferWidth > 0) {
        DisplayWidth = std::min(DisplayWidth, g_previewSurface->BufferWidth / 4 * 4);
        DisplayHeight = std::min(DisplayHeight, g_previewSurface->BufferHeight);
    }
    if (!fr.inData) return;  // the old picture stays
    DrawX = layout.drawX;
    DrawY = layout.drawY;
    ReleasePicture(*this);
    if (DisplayWidth <= 0 || DisplayHeight <= 0) return;
    const size_t bytes = size_t(DisplayWidth) * DisplayHeight * 3;
    PreviewPixels = static_cast<uint8_t*>(platform::AllocatePages(bytes));
    if (!PreviewPixels) return;
    std::memset(PreviewPixels, 0, bytes);
    BitmapInfo = BitmapInfo24{};
    BitmapInfo.biWidth = DisplayWidth;
    BitmapInfo.biHeight = DisplayHeight;

    PreviewSource source;
    if (ShowRendered) {
        source.pixels = RenderBuffer;
        source.rowBytes = 4 * (g_previewSurface && g_previewSurface->BufferWidth > 0
                                   ? g_previewSurface->BufferWidth
                                   : w);
        source.rendered = true;
    } else {
        source.pixels = static_cast<const uint8_t*>(fr.inData);
        source.rowBytes = fr.inRowBytes;
        source.planes = fr.planes;
        source.depth = fr.depth == 0 ? 8 : fr.depth;
    }
    if (source.pixels) FillPreviewPixels(source, DisplayWidth, DisplayHeight, PreviewPixels);
    HDC dc = GetDC(Window);
    PreviewBitmap = (CreateDIBitmap(
        dc, reinterpret_cast<const BITMAPINFOHEADER*>(&BitmapInfo), CBM_INIT, PreviewPixels,
        reinterpret_cast<const BITMAPINFO*>(&BitmapInfo), DIB_RGB_COLORS));
    ReleaseDC(Window, dc);
}

static_assert(sizeof(BitmapInfo24) == sizeof(BITMAPINFO));

const ControlClass kPreviewContainerControl{
    kPreviewContainerClass,
    []() -> ControlBase* { return new (std::nothrow) PreviewContainer(); },
    NoCreationSteps,
    HandlePreview,
    [](ControlBase* c) {
        auto* p = static_cast<PreviewContainer*>(c);
        ReleasePicture(*p);
        delete p;
    },
};

}  // namespace fw::controls
