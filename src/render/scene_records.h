// Turning the generated pattern and the parameters into the renderer's records, and the
// pixel layouts between the working format and the renderer's.
#pragma once

#include <cstdint>

#include "params/effect_parameters.h"
#include "pattern/triangle_list.h"
#include "prismcore/prismcore.h"

namespace fw {

// Renderer's point and triangle arrays for a triangle list: three unshared points per
// triangle, in list order. Both arrays are zero-filled blocks from malloc (the parameter
// record's cache owns them); false when memory is short (nothing is allocated then, and the
// list is kept). On success the list is left empty, its blocks freed as they are copied.
bool ConvertTriangleList(TriangleList& list, int32_t count, __Triangle3ds*& triangles,
                         __Point3ds*& points);
void ScalePoints(__Point3ds* points, int32_t count, float factor);
void TranslatePoints(__Point3ds* points, int32_t count, float dx, float dy);

// Bands and panned previews move the points by whole pixels. On a grid of 1/256 pixel
// (far finer than the renderer's sub-pixel precision) such moves are exact in single
// precision, so every band sees exactly the geometry of a one-band render.
constexpr float kRenderGrid = 256.0f;
void SnapToRenderGrid(__Point3ds* points, int32_t count);
// Light positions move with the points and live on the same grid.
void PlaceLights(light3ds lights[2], float dx, float dy);

void FillMaterial(const EffectParameters& p, bool withBump, material3ds& m);
void FillLights(const EffectParameters& p, light3ds lights[2]);
void FillGlass(const EffectParameters& p, double viewRatio, GlassProp& glass);
// Rows of source above and below a rendered pixel that the glass of FillGlass may read
// (refraction with the wider aberration channel, its 1/64-pixel rounding and the bilinear
// neighbour): a band given that many extra source rows refracts as the whole picture does.
// 0 without glass.
int32_t GlassReach(const EffectParameters& p, double viewRatio);

// Renderer draw mode for a RenderMode value; unknown values draw the full look.
uint8_t DrawModeFor(uint8_t renderMode);

// Working pixels (alpha, red, green, blue; rows `stride` components apart) to the
// renderer's (red, green, blue, alpha; rows 4 x w apart) and back. 16-bit components
// when `sixteen`.
void ToLibraryPixels(const void* working, int32_t stride, void* library, int w, int h,
                     bool sixteen);
void FromLibraryPixels(const void* library, void* working, int32_t stride, int w, int h,
                       bool sixteen);
// Texels of the bump image read as w x h four-component texels, rows `stride` components
// apart, first and third component exchanged. malloc'd; null when memory is short.
void* ToLibraryTexture(const uint8_t* source, int w, int h, int32_t stride, bool sixteen);

}  // namespace fw
