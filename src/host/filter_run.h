// The per-band step of a filter run and what it needs: pixel conversions between the
// host's planes and the working format (alpha, red, green, blue), the scene request, and
// the rectangle operations that honour the host's 32-bit document record.
#pragma once

#include <cstdint>

#include "host/globals.h"
#include "render/scene_assembly.h"

namespace fw {

// Renders the current band (final = true) or the open preview (final = false). A band whose
// buffers or pattern cannot be had gives the result -108 and leaves the host's output as the
// host prepared it.
void DoFilter(PluginGlobals* g, bool final);

// Whether this build can address the buffers one band of `rows` rows of the filter area
// needs at once (the renderer's two buffers, with the rows its glass reads), so that a run
// that could never get them is refused before any pixels are asked for.
bool BandBuffersFit(PluginGlobals* g, int rows);
// The final render keeps its band buffers from band to band; the band walk lets them go
// when it ends.
void ReleaseBandBuffers();

// Rows of input above and below a band that its glass reads (0 without glass), and the
// input rectangle a band walk asks for: the band with that margin, within the filter area.
// A band refracts what the one-band picture refracts when the host gives it all.
int BandInputMargin(PluginGlobals* g);
sdk::Rect BandInputRect(PluginGlobals* g, const sdk::Rect& band);

// The scene step for the current band or preview: says what the host's record and the
// preview state hold in a scene request and renders it. `output` and `input` are W x H
// working pixels (W and H from the out rectangle), `rowStride` bytes a row; (cx, cy) is
// the effect centre in render pixels of the rendered area, which sits at the offset within
// the scaled image. False when memory is short: `output` is then untouched.
bool BuildAndRenderScene(PluginGlobals* g, void* output, const void* input, float cx, float cy,
                         float offsetX, float offsetY, int32_t rowStride, bool final);
// The request it renders, bump texture aside (a final render loads a fresh one).
SceneRequest SceneRequestFor(PluginGlobals* g, void* output, const void* input, float cx, float cy,
                             float offsetX, float offsetY, int32_t rowStride, bool final);

// Host pixels (planes components apart, rows `inRowBytes` bytes apart) to the working
// format; alpha is full scale without a transparency plane.
void HostToWorking(void* working, const void* inData, int w, int h, int32_t inRowBytes, int planes,
                   bool sixteen);
// The working format back to the host: without transparency the colour is laid over black
// by its alpha; with it, alpha goes to plane 3 and a fifth plane is kept from the input.
void WorkingToHost(const void* working, void* outData, const void* inData, int w, int h,
                   int32_t outRowBytes, int32_t inRowBytes, int planes, bool sixteen);

sdk::Rect GetFilterRect();
sdk::Rect GetInRect();
sdk::Rect GetOutRect();
sdk::Rect GetMaskRect();
void SetInRect(const sdk::Rect& r);
void SetOutRect(const sdk::Rect& r);
void SetMaskRect(const sdk::Rect& r);

}  // namespace fw
