// The per-band step of a filter run and what it needs: pixel conversions between the
// host's planes and the working format (alpha, red, green, blue), the bump texture, and
// the rectangle operations that honour the host's 32-bit document record.
#pragma once

#include <cstdint>

#include "host/globals.h"

namespace fw {

// Set by the main dialog while it is open, and by the preset chooser's preview; together
// they select DoFilter's mode.
extern bool DialogPreviewActive;
extern bool FilePreviewActive;

// The effect centre in render pixels for an image of fullW x fullH render pixels whose
// rendered area starts at (offsetX, offsetY); CenterX/Y are thousandths of half the area.
void EffectCentre(int fullW, int fullH, float centerX, float centerY, int offsetX, int offsetY,
                  float& cx, float& cy);

// Renders the current band (final = true) or the open preview (final = false).
void DoFilter(PluginGlobals* g, bool final);

// Host pixels (planes components apart, rows `inRowBytes` bytes apart) to the working
// format; alpha is full scale without a transparency plane.
void HostToWorking(void* working, const void* inData, int w, int h, int32_t inRowBytes, int planes,
                   bool sixteen);
// The working format back to the host: without transparency the colour is laid over black
// by its alpha; with it, alpha goes to plane 3 and a fifth plane is kept from the input.
void WorkingToHost(const void* working, void* outData, const void* inData, int w, int h,
                   int32_t outRowBytes, int32_t inRowBytes, int planes, bool sixteen);

// The 40 x 40 bump texture from bitmap 999: a zero-filled block of kTextureBlockBytes whose
// 3-byte cells hold the bitmap's red value in their first byte. Null on failure.
uint8_t* LoadTexture();

sdk::Rect GetFilterRect();
sdk::Rect GetInRect();
sdk::Rect GetOutRect();
sdk::Rect GetMaskRect();
void SetInRect(const sdk::Rect& r);
void SetOutRect(const sdk::Rect& r);
void SetMaskRect(const sdk::Rect& r);

}  // namespace fw
