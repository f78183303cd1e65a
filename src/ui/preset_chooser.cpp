#include "ui/preset_chooser.h"

#include <cstring>

namespace fw::ui {

size_t Dib24RowBytes(int w) {
    return (size_t(w) * 3 + 3) & ~size_t(3);
}

void WorkingToDib24(const uint8_t* working, int w, int h, uint8_t* dib) {
    const size_t rowBytes = Dib24RowBytes(w);
    std::memset(dib, 0, rowBytes * size_t(h));
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = working + size_t(y) * w * 4;
        uint8_t* dst = dib + size_t(h - 1 - y) * rowBytes;
        for (int x = 0; x < w; ++x, src += 4, dst += 3) {
            if (src[0] == 0) continue;  // transparent: black
            dst[0] = src[3];
            dst[1] = src[2];
            dst[2] = src[1];
        }
    }
}

void FillSampleBuffer(const uint8_t* rgb, int pictureW, int pictureH, int w, int h,
                      uint8_t* working) {
    std::memset(working, 0, size_t(w) * h * 4);
    for (int y = 0; y < h && y < pictureH; ++y)
        for (int x = 0; x < w && x < pictureW; ++x) {
            const uint8_t* s = rgb + (size_t(y) * pictureW + x) * 3;
            uint8_t* d = working + (size_t(y) * w + x) * 4;
            d[0] = 255;
            d[1] = s[0];
            d[2] = s[1];
            d[3] = s[2];
        }
}

}  // namespace fw::ui
