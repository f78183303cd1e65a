// The preview surface ("Preview Contaner CPP"): shows the source picture or the rendered
// effect, pans with the left button and places the pattern with the right. The record's
// methods are the window side (preview_container_win32.cpp); the free functions are the
// pixel conversion and the pattern-position arithmetic, portable and tested natively.
#pragma once

#include <cstdint>

#include "controls/control_base.h"
#include "controls/spin_edit.h"
#include "host/globals.h"

namespace fw::controls {

// BITMAPINFO for 24-bit pixels, laid out as the system's.
struct BitmapInfo24 {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 24;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
    uint8_t bmiColors[4] = {};
};
static_assert(sizeof(BitmapInfo24) == 44);

struct PreviewContainer : ControlBase {
    PluginGlobals* Owner = nullptr;  // the filter run: the host's record and the parameters
    SpinEdit* CenterXEdit = nullptr;
    SpinEdit* CenterYEdit = nullptr;
    int LastX = 0, LastY = 0;
    int DragDX = 0, DragDY = 0;
    int CurX = 0, CurY = 0;
    int PanX = 0, PanY = 0;
    int DrawX = 0, DrawY = 0;
    int DisplayWidth = 0, DisplayHeight = 0;
    uint8_t* RenderBuffer = nullptr;  // alpha, red, green, blue; rows of the filter width
    bool ShowRendered = false;
    BitmapHandle PreviewBitmap = nullptr;
    BitmapInfo24 BitmapInfo;
    uint8_t Mode = 1;
    uint8_t* PreviewPixels = nullptr;  // page-allocated, 24-bit, of PreviewBitmap

    void RenderPreview();
    // Right button: writes CenterX/CenterY (and the position spin edits), then command 9999.
    void PlacePattern(int x, int y);
};

// ---- Portable rules ----

// Where the picture sits and how big it is shown, for a client of clientWidth x
// clientHeight and a filter area of w x h.
struct PreviewLayout {
    int displayWidth, displayHeight;  // min(client, area); the width a multiple of 4
    int drawX, drawY;                 // (client - area) / 2, at least 0
};
PreviewLayout LayoutPreview(int clientWidth, int clientHeight, int w, int h);

// The picture's pixels, as the host or the render hold them.
struct PreviewSource {
    const uint8_t* pixels = nullptr;
    int32_t rowBytes = 0;
    int planes = 3;         // source image: channels per pixel
    int depth = 8;          // source image: 8 or 16 bits per channel
    bool rendered = false;  // the render buffer: alpha, red, green, blue, 8 bits
};
// Fills displayWidth x displayHeight 24-bit pixels (blue, green, red; rows bottom-up, each
// 3 x displayWidth bytes, displayWidth a multiple of 4) from the source's top-left part.
void FillPreviewPixels(const PreviewSource& source, int displayWidth, int displayHeight,
                       uint8_t* bgr);

// The pattern's centre (thousandths of half the image, y up) for a pointer at (x, y) of the
// control; negative coordinates count as 0. False when the displayed image has no size.
bool PatternPositionAt(int x, int y, int panX, int panY, int drawX, int drawY, int filterWidth,
                       int filterHeight, double previewScale, float& px, float& py);

}  // namespace fw::controls
