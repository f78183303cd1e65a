// Real generated patterns with the records the scene assembly hands the renderer, for the
// benchmarks: the whole picture as one band (the final render), or the dialog's preview of
// it. Everything BuildAndRenderScene computes for such a render is computed here the same
// way (pattern placement and growth, material, lights, glass, bump texels, draw mode,
// centre), so that a benchmark times the renderer on exactly what the filter would give it,
// and the OpenGL reference draws the identical triangles. The source picture is a
// colourful synthetic one; the background is a copy of it, as without "Alpha cut".
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/filter_run.h"
#include "params/effect_parameters.h"
#include "prismcore/prismcore.h"
#include "prismcore/synthetic_frost.h"
#include "render/pattern_build.h"
#include "render/scene_records.h"

namespace fw::bench {

struct RealScene {
    int32_t width = 0, height = 0;  // the rendered picture
    bool deep = false;              // 16-bit components (final renders of 16-bit pictures)
    uint8_t drawMode = 6, quality = 1;
    int32_t centerX = 0, centerY = 0;
    double viewRatio = 1;
    std::vector<__Point3ds> points;
    std::vector<__Triangle3ds> triangles;
    material3ds material{};
    __Texture textures[PRISMCORE_TEXTURE_COUNT]{};
    light3ds lights[2]{};
    GlassProp glass{};
    std::unique_ptr<void, decltype(&std::free)> texels{nullptr, &std::free};
    std::vector<uint8_t> source;  // the picture in the renderer's layout (8 or 16-bit)

    RealScene() = default;
    RealScene(const RealScene&) = delete;
    RealScene& operator=(const RealScene&) = delete;

    int32_t PointCount() const { return int32_t(points.size()); }
    int32_t TriangleCount() const { return int32_t(triangles.size()); }
    size_t PictureBytes() const { return size_t(width) * height * 4 * (deep ? 2 : 1); }
};

// The colourful test picture in the renderer's layout (red, green, blue, alpha).
inline std::vector<uint8_t> RealScenePicture(int32_t width, int32_t height, bool deep) {
    std::vector<uint8_t> bytes;
    if (deep) {
        const auto px = prismcore::testing::SourcePicture<uint16_t>(width, height, 32768.0f);
        bytes.resize(px.size() * 2);
        std::memcpy(bytes.data(), px.data(), bytes.size());
    } else {
        bytes = prismcore::testing::SourcePicture<uint8_t>(width, height, 255.0f);
    }
    return bytes;
}

// A picture of width x height whose whole area is filtered. final: one band covering the
// picture, quality 1, 16-bit when `sixteen`. Otherwise the open dialog's preview of it at
// preview scale `zoom` (document pixels per preview pixel): the pattern grows for the
// scaled-down area, 8-bit, quality 0. Null when the pattern cannot be converted.
inline std::unique_ptr<RealScene> MakeRealScene(const EffectParameters& p, int32_t width,
                                                int32_t height, bool final, bool sixteen,
                                                double zoom = 1) {
    auto s = std::make_unique<RealScene>();
    PatternPlacement place;
    place.zoom = final ? 1.0 : zoom;
    place.SW = int32_t(width / place.zoom + 0.5);
    place.SH = int32_t(height / place.zoom + 0.5);
    // The preview renders the scaled-down area, the final render the picture itself.
    s->width = final ? width : place.SW;
    s->height = final ? height : place.SH;
    s->deep = final && sixteen;
    place.viewRatio = ViewRatio(s->width, place.SW);
    s->viewRatio = place.viewRatio;

    float cx = 0, cy = 0;
    EffectCentre(place.SW, place.SH, p.CenterX, p.CenterY, 0, 0, cx, cy);
    PlacePattern(p, cx, cy, false, place);
    BuiltPattern built;
    BuildPattern(p, place, nullptr, false, {}, built);
    std::unique_ptr<__Point3ds, decltype(&std::free)> points(built.points, &std::free);
    std::unique_ptr<__Triangle3ds, decltype(&std::free)> triangles(built.triangles, &std::free);
    if (built.triangleCount > 0 && (!built.points || !built.triangles)) return nullptr;
    s->points.assign(built.points, built.points + 3 * size_t(built.triangleCount));
    s->triangles.assign(built.triangles, built.triangles + built.triangleCount);

    s->drawMode = DrawModeFor(p.RenderMode);
    s->quality = final ? 1 : 0;
    std::unique_ptr<uint8_t, decltype(&std::free)> bump(LoadTexture(), &std::free);
    if (bump)
        s->texels.reset(
            ToLibraryTexture(bump.get(), kTextureSize, kTextureSize, s->deep ? 60 : 120, s->deep));
    FillMaterial(p, s->texels != nullptr, s->material);
    if (s->texels) {
        __Texture& t = s->textures[PRISMCORE_BUMP_TEXTURE];
        t.present = 1;
        t.width = kTextureSize;
        t.height = kTextureSize;
        t.texels = s->texels.get();
        t.is16 = s->deep ? 1 : 0;
    }
    FillLights(p, s->lights);
    FillGlass(p, place.viewRatio, s->glass);
    // The whole area in one piece: the points stay where the pattern put them.
    PlaceLights(s->lights, 0, 0);
    s->centerX = s->width / 2;
    s->centerY = s->height / 2;
    s->source = RealScenePicture(s->width, s->height, s->deep);
    return s;
}

// Draws the scene over `background` (PictureBytes(), normally a copy of the source).
inline void RenderRealScene(const RealScene& s, uint8_t* background) {
    __SetDrawMode(s.drawMode);
    __SetQuality(s.quality);
    __SetDeep(s.deep ? 1 : 0);
    __SetUseMultyRefract(0);
    __SetDubleSide(0);
    __RasterScene(background, s.source.data(), s.width, s.height, 4 * s.width, s.PointCount(),
                  s.TriangleCount(), s.triangles.data(), s.points.data(), s.centerX, s.centerY, 1,
                  &s.material, s.textures, 2, s.lights, &s.glass);
}

// Writes red, green, blue of a picture in the renderer's layout (8-bit, or 16-bit of full
// scale 32768) to <FW_BENCH_PICTURES>/<name>.ppm, when that variable names a folder.
inline void WritePicture(const std::string& name, const uint8_t* px, int32_t w, int32_t h,
                         bool deep) {
    const char* folder = std::getenv("FW_BENCH_PICTURES");
    if (!folder || !*folder) return;
    const std::string path = std::string(folder) + "/" + name + ".ppm";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    std::vector<uint8_t> row(size_t(w) * 3);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                const size_t at = (size_t(y) * w + x) * 4 + c;
                if (deep) {
                    uint16_t v;
                    std::memcpy(&v, px + 2 * at, 2);
                    row[size_t(x) * 3 + c] = uint8_t(std::min(255, (v * 255 + 16384) / 32768));
                } else {
                    row[size_t(x) * 3 + c] = px[at];
                }
            }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
}

// The parameter sets the benchmarks use.
inline EffectParameters DefaultEffect() {
    EffectParameters p{};
    SetDefaults(p);
    return p;
}

// Geometric 1 with four iterations of six triangles: about 1.4 million triangles on an
// 800 x 600 picture, the densest setting the generator's tests pin.
inline EffectParameters DenseGeometricEffect() {
    EffectParameters p = DefaultEffect();
    SetEffectIndex(p, 0);
    p.MaxIterations = 4;
    p.MaxTriangles = 6;
    return p;
}

}  // namespace fw::bench
