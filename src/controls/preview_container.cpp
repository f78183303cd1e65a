#include "controls/preview_container.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace fw::controls {

PreviewLayout LayoutPreview(int clientWidth, int clientHeight, int w, int h) {
    PreviewLayout layout;
    // Rows of a 24-bit bitmap must start on 4-byte boundaries; a width of a multiple of 4
    // makes every row 3 x width bytes with no padding.
    layout.displayWidth = std::max(std::min(clientWidth, w), 0) / 4 * 4;
    layout.displayHeight = std::max(std::min(clientHeight, h), 0);
    layout.drawX = std::max((clientWidth - w) / 2, 0);
    layout.drawY = std::max((clientHeight - h) / 2, 0);
    return layout;
}

namespace {

uint8_t ApplyAlpha(uint8_t channel, uint8_t alpha) {
    return uint8_t(channel * alpha / 255);
}

void StorePixel(uint8_t* out, uint8_t r, uint8_t g, uint8_t b) {
    out[0] = b;
    out[1] = g;
    out[2] = r;
}

// Host samples run 0 ... 32768; 32768 >> 7 is one past white.
uint8_t From16(const uint8_t* sample) {
    const int v = sample[0] | sample[1] << 8;
    return uint8_t(std::min(v >> 7, 255));
}

}  // namespace

void FillPreviewPixels(const PreviewSource& source, int displayWidth, int displayHeight,
                       uint8_t* bgr) {
    if (!source.pixels || !bgr || displayWidth <= 0 || displayHeight <= 0) return;
    // One- and two-plane images have no separate green and blue: show the first plane grey.
    const int planes = std::max(source.planes, 1);
    const int green = planes >= 3 ? 1 : 0;
    const int blue = planes >= 3 ? 2 : 0;
    for (int row = 0; row < displayHeight; ++row) {
        const uint8_t* in = source.pixels + ptrdiff_t(row) * source.rowBytes;
        uint8_t* out = bgr + ptrdiff_t(displayHeight - 1 - row) * 3 * displayWidth;
        for (int x = 0; x < displayWidth; ++x, out += 3) {
            if (source.rendered) {
                const uint8_t* p = in + 4 * x;
                StorePixel(out, ApplyAlpha(p[1], p[0]), ApplyAlpha(p[2], p[0]),
                           ApplyAlpha(p[3], p[0]));
            } else if (source.depth == 16) {
                const uint8_t* p = in + 2 * x * planes;
                StorePixel(out, From16(p), From16(p + 2 * green), From16(p + 2 * blue));
            } else if (planes == 4 || planes == 5) {
                const uint8_t* p = in + x * planes;
                StorePixel(out, ApplyAlpha(p[0], p[3]), ApplyAlpha(p[1], p[3]),
                           ApplyAlpha(p[2], p[3]));
            } else {
                const uint8_t* p = in + x * planes;
                StorePixel(out, p[0], p[green], p[blue]);
            }
        }
    }
}

namespace {

int TruncToInt(double v) {
    if (!(v > double(INT_MIN))) return INT_MIN;  // NaN included: it is refused as no size
    if (v >= double(INT_MAX)) return INT_MAX;
    return int(v);
}

}  // namespace

bool PatternPositionAt(int x, int y, int panX, int panY, int drawX, int drawY, int filterWidth,
                       int filterHeight, double previewScale, float& px, float& py) {
    // With the mouse captured the pointer can leave the control; it then holds the edge.
    x = std::max(x, 0);
    y = std::max(y, 0);
    if (!(previewScale > 0)) previewScale = 1;
    const int dispW = TruncToInt(filterWidth / previewScale);
    const int dispH = TruncToInt(filterHeight / previewScale);
    if (dispW <= 0 || dispH <= 0) return false;
    px = float((double(panX) + x - drawX - dispW / 2.0) * 2000 / dispW);
    py = float((-(double(panY) + y - drawY) + dispH / 2.0) * 2000 / dispH);
    return true;
}

}  // namespace fw::controls
