#include "render/scene_assembly.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/filter_run.h"
#include "host/preview_fetch.h"
#include "platform/platform.h"
#include "render/pattern_build.h"
#include "render/scene_records.h"

namespace fw {

using namespace sdk;

namespace {

struct SceneValues {
    int32_t W = 0, H = 0;  // the rendered area
    bool sixteen = false;
    PatternPlacement place;
};

void Report(const FilterRecord& fr, bool final, int32_t done) {
    if (final && fr.progressProc) fr.progressProc(done, 100);
}

// Grows the pattern and keeps it, scaled and placed, in the parameter record's cache.
// "By selection" traces the host's mask for the current mask rectangle, which the band
// walk makes the whole filter area for the band that grows the pattern.
void Regenerate(PluginGlobals* g, EffectParameters& p, const SceneValues& s, bool final) {
    const FilterRecord& fr = Filter(g);
    FreePatternCache(p);
    p.NeedsRegeneration = 0;

    SelectionMask selection;
    const bool haveSelection = fr.haveMask && fr.maskData;
    if (haveSelection) {
        const Rect m = GetMaskRect();
        const Rect f = GetFilterRect();
        selection.data = static_cast<const uint8_t*>(fr.maskData);
        selection.width = m.right - m.left;
        selection.height = m.bottom - m.top;
        selection.rowBytes = fr.maskRowBytes;
        selection.left = m.left - f.left;
        selection.top = m.top - f.top;
    }
    GrowthProgress progress;
    if (final) progress = [&fr](int32_t done) { Report(fr, true, done); };
    BuiltPattern built;
    BuildPattern(p, s.place, haveSelection ? &selection : nullptr, false, progress, built);
    Report(fr, final, 50);
    p.CachedTriangleCount = built.triangleCount;
    p.CachedPointCount = 3 * built.triangleCount;
    p.CachedTriangles = built.triangles;
    p.CachedPoints = built.points;
    Report(fr, final, 55);
}

}  // namespace

void BuildAndRenderScene(PluginGlobals* g, void* output, const void* input, float cx, float cy,
                         float offsetX, float offsetY, int32_t rowStride, bool final) {
    FilterRecord& fr = Filter(g);
    EffectParameters* pp = Parameters(g);
    if (!pp || !output || !input) return;
    EffectParameters& p = *pp;

    SceneValues s;
    const Rect out = GetOutRect();
    const Rect filter = GetFilterRect();
    s.W = out.right - out.left;
    s.H = out.bottom - out.top;
    if (s.W <= 0 || s.H <= 0 || rowStride <= 0) return;
    PatternPlacement& place = s.place;
    place.zoom = DialogPreviewActive && PreviewScale > 0 ? PreviewScale : 1.0;
    place.SW = int32_t((filter.right - filter.left) / place.zoom + 0.5);
    place.SH = int32_t((filter.bottom - filter.top) / place.zoom + 0.5);
    const int depth = fr.depth == 0 ? 8 : fr.depth;
    s.sixteen = depth == 16 && !DialogPreviewActive;
    place.viewRatio = ViewRatio(s.W, place.SW);
    // cx and cy are in the rendered area's pixels; the pattern lives centred on the whole
    // filter area, so the area's offset is taken back out.
    PlacePattern(p, double(cx) + offsetX, double(cy) + offsetY, fr.haveMask != 0, place);

    if (p.NeedsRegeneration) Regenerate(g, p, s, final);

    // The background the scene is drawn over: the source, or nothing with "Alpha cut", so
    // that the pattern stands alone on transparency.
    const size_t bandBytes = size_t(s.H) * size_t(rowStride);
    if (p.AlphaCut)
        std::memset(output, 0, bandBytes);
    else if (output != input)
        std::memcpy(output, input, bandBytes);
    // Without the renderer (a damaged installation) the band keeps that background.
    if (!platform::RendererAvailable()) return;

    Report(fr, final, 60);
    uint8_t* bumpSource = DialogPreviewActive ? p.Texture : LoadTexture();
    const bool freeBumpSource = !DialogPreviewActive;
    __SetDrawMode(DrawModeFor(p.RenderMode));
    __SetQuality(DialogPreviewActive ? 0 : 1);
    int32_t stride = rowStride;
    if (s.sixteen) {
        stride /= 2;
        __SetDeep(1);
    } else {
        __SetDeep(0);
    }
    Report(fr, final, 65);
    Report(fr, final, 70);
    const bool deep = __GetDeep() != 0;
    const size_t libraryBytes = size_t(s.W) * s.H * 4 * (deep ? 2 : 1);
    void* background = platform::AllocatePages(libraryBytes);
    void* source = platform::AllocatePages(libraryBytes);
    if (!background || !source) {
        platform::FreePages(background);
        platform::FreePages(source);
        if (freeBumpSource) std::free(bumpSource);
        return;  // the output keeps its background
    }
    ToLibraryPixels(output, stride, background, s.W, s.H, deep);
    ToLibraryPixels(input, stride, source, s.W, s.H, deep);
    Report(fr, final, 74);

    void* texels =
        bumpSource ? ToLibraryTexture(bumpSource, kTextureSize, kTextureSize, deep ? 60 : 120, deep)
                   : nullptr;
    material3ds material;
    FillMaterial(p, texels != nullptr, material);
    __Texture textures[PRISMCORE_TEXTURE_COUNT];
    std::memset(textures, 0, sizeof(textures));
    if (texels) {
        __Texture& bump = textures[PRISMCORE_BUMP_TEXTURE];
        bump.present = 1;
        bump.width = kTextureSize;
        bump.height = kTextureSize;
        bump.texels = texels;
        bump.is16 = s.sixteen ? 1 : 0;
    }
    light3ds lights[2];
    FillLights(p, lights);
    GlassProp glass;
    FillGlass(p, place.viewRatio, glass);
    __SetUseMultyRefract(0);
    __SetDubleSide(0);
    Report(fr, final, 75);

    // The renderer centres the area at (W / 2, H / 2); the cached points are centred on
    // the whole filter area, so each band or panned preview gets them moved by its own
    // offset — in a copy, the cache stays as it is.
    const double areaLeft = final ? out.left - filter.left : offsetX;
    const double areaTop = final ? out.top - filter.top : offsetY;
    const float placeX = float(std::floor(place.SW / 2.0) - areaLeft - std::floor(s.W / 2.0));
    const float placeY = float(std::floor(place.SH / 2.0) - areaTop - std::floor(s.H / 2.0));
    const int32_t pointCount = p.CachedPoints ? p.CachedPointCount : 0;
    const int32_t triangleCount = p.CachedTriangles ? p.CachedTriangleCount : 0;
    auto* points = static_cast<__Point3ds*>(p.CachedPoints);
    __Point3ds* placed = nullptr;
    if ((placeX != 0 || placeY != 0) && pointCount > 0) {
        placed = static_cast<__Point3ds*>(std::malloc(size_t(pointCount) * sizeof(__Point3ds)));
        if (placed) {
            std::memcpy(placed, points, size_t(pointCount) * sizeof(__Point3ds));
            TranslatePoints(placed, pointCount, placeX, placeY);
        }
    }
    PlaceLights(lights, placeX, placeY);
    if (placed || (placeX == 0 && placeY == 0)) {
        __RasterScene(static_cast<uint8_t*>(background), static_cast<const uint8_t*>(source), s.W,
                      s.H, 4 * s.W, pointCount, triangleCount,
                      static_cast<const __Triangle3ds*>(p.CachedTriangles),
                      placed ? placed : points, s.W / 2, s.H / 2, 1, &material, textures, 2, lights,
                      &glass);
    }
    std::free(placed);
    Report(fr, final, 95);

    FromLibraryPixels(background, output, stride, s.W, s.H, deep);
    Report(fr, final, 100);
    platform::FreePages(background);
    platform::FreePages(source);
    std::free(texels);
    if (freeBumpSource) std::free(bumpSource);
    Report(fr, final, 0);
}

}  // namespace fw
