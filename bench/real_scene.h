// Real generated patterns as the filter hands them to the renderer, for the benchmarks:
// the whole picture as one band (the final render), or the dialog's preview of it. The
// scene comes from the filter's own scene step (PrepareScene), so a benchmark times the
// renderer on exactly what the filter gives it, and the OpenGL reference draws the
// identical triangles. The source picture is a colourful synthetic one; the background is
// a copy of it, as without "Alpha cut".
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "params/effect_parameters.h"
#include "prismcore/prismcore.h"
#include "prismcore/synthetic_frost.h"
#include "render/scene_assembly.h"

namespace fw::bench {

struct RealScene : PreparedScene {
    EffectParameters parameters{};  // owns the pattern cache the scene's arrays belong to
    std::vector<uint8_t> source;    // the picture in the renderer's layout (8 or 16-bit)

    RealScene() = default;
    RealScene(const RealScene&) = delete;
    RealScene& operator=(const RealScene&) = delete;
    ~RealScene() { FreePatternCache(parameters); }

    int32_t PointCount() const { return pointCount; }
    int32_t TriangleCount() const { return triangleCount; }
    std::span<const __Point3ds> Points() const { return {points, size_t(pointCount)}; }
    std::span<const __Triangle3ds> Triangles() const { return {triangles, size_t(triangleCount)}; }
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
// scaled-down area, 8-bit, quality 0. Null when the scene cannot be prepared.
inline std::unique_ptr<RealScene> MakeRealScene(const EffectParameters& p, int32_t width,
                                                int32_t height, bool final, bool sixteen,
                                                double zoom = 1) {
    auto s = std::make_unique<RealScene>();
    s->parameters = p;
    s->parameters.Texture = nullptr;  // the cache and texture belong to `p`, not to the copy
    s->parameters.CachedTriangles = s->parameters.CachedPoints = nullptr;
    s->parameters.CachedTriangleCount = s->parameters.CachedPointCount = 0;
    s->parameters.NeedsRegeneration = 1;

    SceneRequest r = WholeAreaRequest(s->parameters, width, height, final ? 1.0 : zoom);
    r.sixteen = final && sixteen;
    r.quality = final ? 1 : 0;
    std::unique_ptr<uint8_t, decltype(&std::free)> bump(LoadTexture(), &std::free);
    r.bumpSource = bump.get();
    if (!PrepareScene(r, *s)) return nullptr;
    s->source = RealScenePicture(s->width, s->height, s->deep);
    return s;
}

// Draws the scene over `background` (PictureBytes(), normally a copy of the source).
inline void RenderRealScene(const RealScene& s, uint8_t* background) {
    DrawScene(s, background, s.source.data());
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
