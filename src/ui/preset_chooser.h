// The panel under the "Open" chooser that previews the preset under the cursor on a sample
// picture: the pixel work behind it, portable and tested natively. The hook procedure is
// preset_chooser_win32.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fw::ui {

constexpr int kPresetChooserTemplate = 114;
constexpr int kSamplePictureBitmap = 115;

// Bytes of one row of a 24-bit device-independent bitmap w pixels wide (padded to 4).
size_t Dib24RowBytes(int w);

// A w x h buffer in the 8-bit working format (alpha, red, green, blue; rows top-down) as a
// 24-bit bitmap: rows bottom-up, blue, green, red, black where alpha is 0, padding zero.
// `dib` holds Dib24RowBytes(w) x h bytes.
void WorkingToDib24(const uint8_t* working, int w, int h, uint8_t* dib);

// The sample buffer of the preview box: pixel (x, y) is (255, red, green, blue) of the
// sample picture (`rgb`, pictureW x pictureH, rows top-down) where the picture reaches, and
// transparent black beyond it.
void FillSampleBuffer(const uint8_t* rgb, int pictureW, int pictureH, int w, int h,
                      uint8_t* working);

}  // namespace fw::ui
