#include "render/scene_assembly.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/block_size.h"
#include "platform/platform.h"
#include "render/scene_records.h"

namespace fw {

namespace {

constexpr int kTextureBitmapId = 999;

void Report(const SceneRequest& r, int32_t done) {
    if (r.progress) r.progress(done);
}

// Grows the pattern and keeps it, scaled and placed, in the parameter record's cache. False
// when memory ran out: the cache is then empty and the record still asks for a pattern.
bool Regenerate(const SceneRequest& r, const PatternPlacement& place) {
    EffectParameters& p = *r.parameters;
    FreePatternCache(p);
    const SelectionMask* selection = r.selection.data ? &r.selection : nullptr;
    BuiltPattern built;
    if (!BuildPattern(p, place, selection, false, r.progress, built)) return false;
    p.NeedsRegeneration = 0;
    Report(r, 50);
    p.CachedTriangleCount = built.triangleCount;
    p.CachedPointCount = 3 * built.triangleCount;
    p.CachedTriangles = built.triangles;
    p.CachedPoints = built.points;
    Report(r, 55);
    return true;
}

bool EnsurePattern(const SceneRequest& r, const PatternPlacement& place) {
    return !r.parameters->NeedsRegeneration || Regenerate(r, place);
}

// Records of the scene around the cached pattern. False when memory is short for the moved
// points or the bump texels.
bool FillScene(const SceneRequest& r, const PatternPlacement& place, PreparedScene& s) {
    const EffectParameters& p = *r.parameters;
    s.width = r.width;
    s.height = r.height;
    s.centerX = r.width / 2;
    s.centerY = r.height / 2;
    s.drawMode = DrawModeFor(p.RenderMode);
    s.quality = r.quality;
    s.deep = r.sixteen;

    if (r.bumpSource) {
        s.texels.reset(
            ToLibraryTexture(r.bumpSource, kTextureSize, kTextureSize, s.deep ? 60 : 120, s.deep));
        if (!s.texels) return false;  // without them the frost would lose its bump
    }
    FillMaterial(p, s.texels != nullptr, s.material);
    std::memset(s.textures, 0, sizeof(s.textures));
    if (s.texels) {
        __Texture& bump = s.textures[PRISMCORE_BUMP_TEXTURE];
        bump.present = 1;
        bump.width = kTextureSize;
        bump.height = kTextureSize;
        bump.texels = s.texels.get();
        bump.is16 = s.deep ? 1 : 0;
    }
    FillLights(p, s.lights);
    FillGlass(p, place.viewRatio, s.glass);

    // The renderer centres the rectangle at (W / 2, H / 2); the cached points are centred
    // on the whole filter area, so each band or panned preview gets them moved by its own
    // offset — in a copy, the cache stays as it is.
    const float placeX =
        float(std::floor(place.SW / 2.0) - double(r.left) - std::floor(r.width / 2.0));
    const float placeY =
        float(std::floor(place.SH / 2.0) - double(r.top) - std::floor(r.height / 2.0));
    s.pointCount = p.CachedPoints ? p.CachedPointCount : 0;
    s.triangleCount = p.CachedTriangles ? p.CachedTriangleCount : 0;
    s.triangles = static_cast<const __Triangle3ds*>(p.CachedTriangles);
    s.points = static_cast<const __Point3ds*>(p.CachedPoints);
    PlaceLights(s.lights, placeX, placeY);
    if ((placeX == 0 && placeY == 0) || s.pointCount <= 0) return true;
    const std::optional<size_t> bytes = BlockBytes({s.pointCount, sizeof(__Point3ds)});
    if (!bytes) return false;
    s.movedPoints.reset(static_cast<__Point3ds*>(std::malloc(*bytes)));
    if (!s.movedPoints) return false;
    std::memcpy(s.movedPoints.get(), s.points, *bytes);
    TranslatePoints(s.movedPoints.get(), s.pointCount, placeX, placeY);
    s.points = s.movedPoints.get();
    return true;
}

bool Usable(const SceneRequest& r) {
    return r.parameters && r.width > 0 && r.height > 0;
}

}  // namespace

void PreparedScene::FreeBlock::operator()(void* p) const {
    std::free(p);
}

void EffectCentre(int fullW, int fullH, float centerX, float centerY, int offsetX, int offsetY,
                  float& cx, float& cy) {
    cx = float(fullW / 2.0 + fullW * double(centerX) / 2000.0 - offsetX);
    cy = float(fullH / 2.0 - fullH * double(centerY) / 2000.0 - offsetY);
}

uint8_t* LoadTexture() {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!platform::LoadBitmapRgb(kTextureBitmapId, w, h, rgb) || w < kTextureSize ||
        h < kTextureSize)
        return nullptr;
    auto* block = static_cast<uint8_t*>(std::calloc(kTextureBlockBytes, 1));
    if (!block) return nullptr;
    for (int y = 0; y < kTextureSize; ++y)
        for (int x = 0; x < kTextureSize; ++x)
            block[3 * (x + kTextureSize * y)] = rgb[(size_t(y) * w + x) * 3];
    return block;
}

SceneRequest WholeAreaRequest(EffectParameters& p, int32_t filterWidth, int32_t filterHeight,
                              double zoom) {
    SceneRequest r;
    r.parameters = &p;
    r.filterWidth = filterWidth;
    r.filterHeight = filterHeight;
    r.zoom = zoom > 0 ? zoom : 1.0;
    r.width = int32_t(filterWidth / r.zoom + 0.5);
    r.height = int32_t(filterHeight / r.zoom + 0.5);
    float cx = 0, cy = 0;
    EffectCentre(r.width, r.height, p.CenterX, p.CenterY, 0, 0, cx, cy);
    r.centreX = cx;
    r.centreY = cy;
    return r;
}

PatternPlacement PlaceScene(const SceneRequest& r) {
    const EffectParameters& p = *r.parameters;
    PatternPlacement place;
    place.zoom = r.zoom > 0 ? r.zoom : 1.0;
    place.SW = int32_t(r.filterWidth / place.zoom + 0.5);
    place.SH = int32_t(r.filterHeight / place.zoom + 0.5);
    place.viewRatio = ViewRatio(r.width, place.SW);
    place.budget = TriangleBudgetForArea(r.filterWidth, r.filterHeight);
    place.areaBudget = TriangleAreaBudget(place.SW, place.SH, double(p.Scale) / 100.0);
    PlacePattern(p, r.centreX, r.centreY, r.selectionPresent, place);
    return place;
}

bool PrepareScene(const SceneRequest& r, PreparedScene& scene) {
    if (!Usable(r)) return false;
    const PatternPlacement place = PlaceScene(r);
    return EnsurePattern(r, place) && FillScene(r, place, scene);
}

void DrawScene(const PreparedScene& s, uint8_t* background, const uint8_t* source) {
    __SetDrawMode(s.drawMode);
    __SetQuality(s.quality);
    __SetDeep(s.deep ? 1 : 0);
    __SetUseMultyRefract(0);
    __SetDubleSide(0);
    __RasterScene(background, source, s.width, s.height, 4 * s.width, s.pointCount, s.triangleCount,
                  s.triangles, s.points, s.centerX, s.centerY, 1, &s.material, s.textures, 2,
                  s.lights, &s.glass);
}

namespace {

// Whether the request's size can be addressed in the renderer's layout; `bytes` is set.
bool LibraryBytes(const SceneRequest& r, size_t& bytes) {
    const std::optional<size_t> one = BlockBytes({r.width, r.height, 4, r.sixteen ? 2 : 1});
    if (!one || !TotalBytes({one, one})) return false;
    bytes = *one;
    return true;
}

// The renderer's call with the progress a final render reports around it.
void DrawReported(const SceneRequest& r, const PreparedScene& scene, uint8_t* background,
                  const uint8_t* source) {
    for (int32_t done : {60, 65, 70, 74, 75}) Report(r, done);
    DrawScene(scene, background, source);
    Report(r, 95);
}

}  // namespace

bool RenderLibraryScene(const SceneRequest& r, uint8_t* background, const uint8_t* source) {
    size_t bytes = 0;
    if (!Usable(r) || !LibraryBytes(r, bytes)) return false;
    const PatternPlacement place = PlaceScene(r);
    if (!EnsurePattern(r, place)) return false;
    if (platform::RendererAvailable()) {
        PreparedScene scene;
        if (!FillScene(r, place, scene)) return false;
        DrawReported(r, scene, background, source);
    }
    Report(r, 100);
    Report(r, 0);
    return true;
}

bool RenderScene(const SceneRequest& r) {
    if (!Usable(r) || !r.output || !r.input || r.rowBytes <= 0) return true;
    const PatternPlacement place = PlaceScene(r);
    if (!EnsurePattern(r, place)) return false;

    // Everything is had before the output is touched, so a refusal leaves it as it was.
    const std::optional<size_t> bandBytes = BlockBytes({r.height, r.rowBytes});
    size_t libraryBytes = 0;
    if (!bandBytes || !LibraryBytes(r, libraryBytes)) return false;
    struct PageDeleter {
        void operator()(void* p) const { platform::FreePages(p); }
    };
    const bool drawn = platform::RendererAvailable();
    std::unique_ptr<void, PageDeleter> background, source;
    PreparedScene scene;
    if (drawn) {
        background.reset(platform::AllocatePages(libraryBytes));
        source.reset(platform::AllocatePages(libraryBytes));
        if (!background || !source || !FillScene(r, place, scene)) return false;
    }

    if (r.parameters->AlphaCut)
        std::memset(r.output, 0, *bandBytes);
    else if (r.output != r.input)
        std::memcpy(r.output, r.input, *bandBytes);
    if (!drawn) return true;  // the output keeps its background

    const int32_t stride = r.sixteen ? r.rowBytes / 2 : r.rowBytes;
    ToLibraryPixels(r.output, stride, background.get(), r.width, r.height, r.sixteen);
    ToLibraryPixels(r.input, stride, source.get(), r.width, r.height, r.sixteen);
    DrawReported(r, scene, static_cast<uint8_t*>(background.get()),
                 static_cast<const uint8_t*>(source.get()));
    FromLibraryPixels(background.get(), r.output, stride, r.width, r.height, r.sixteen);
    Report(r, 100);
    Report(r, 0);
    return true;
}

}  // namespace fw
