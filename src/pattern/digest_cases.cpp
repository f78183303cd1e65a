#include "pattern/digest_cases.h"

#include <cinttypes>
#include <cstdio>

#include "params/effect_parameters.h"
#include "pattern/path_walk.h"
#include "pattern/portable_math.h"

namespace fw {

namespace {

GrowthScene Scene(int32_t w, int32_t h) {
    GrowthScene s;
    s.W = s.SW = w;
    s.H = s.SH = h;
    s.centreX = 12.5f;
    s.centreY = -7.25f;
    s.rotation = static_cast<float>((30.0 + 90.0) * pm::kPi / 180.0);
    return s;
}

DigestResult Run(const std::string& name, const EffectParameters& p, const GrowthScene& scene) {
    TriangleList list;
    const int32_t n = GrowAlongPath(p, scene, list);
    return {name, n, DigestTriangles(list)};
}

EffectParameters Defaults(int effectIndex) {
    EffectParameters p{};
    SetDefaults(p);
    SetEffectIndex(p, effectIndex);
    return p;
}

}  // namespace

std::vector<DigestResult> ComputeGoldenDigests() {
    std::vector<DigestResult> out;
    const GrowthScene scene = Scene(800, 600);
    for (int e = 0; e < kEffectCount; ++e) out.push_back(Run(kEffectNames[e], Defaults(e), scene));

    EffectParameters p = Defaults(0);
    p.MaxIterations = 4;
    out.push_back(Run("Geometric 1, MaxIterations 4", p, scene));

    p = Defaults(2);
    p.MaskKind = kMaskWindow;
    p.GrowDirect = 8;
    p.Completance = 50;
    p.CompletanceDist = 100;
    p.IntervDepend = 300;
    p.RandomSeed = 7;
    out.push_back(Run("Geometric 3, window, all directions, fading", p, scene));

    p = Defaults(3);
    p.MaskKind = kMaskPerimeter;
    p.Turn = -75;
    p.Dispers = 40;
    GrowthScene preview = Scene(400, 300);
    preview.SW = 800;
    preview.SH = 600;
    preview.zoom = 2.0f;
    out.push_back(Run("Floral 1, perimeter, preview zoom 2", p, preview));

    p = Defaults(5);
    p.MaskKind = kMaskTopAndBottom;
    p.RandomSeed = -123456;
    p.Lenght = 40;
    out.push_back(Run("Floral 3, top and bottom, long", p, Scene(1001, 777)));

    // An octagon traced around the middle of a 200 x 200 selection.
    static const float xy[] = {80,  40, 120, 40, 160, 80, 160, 120, 120,
                               160, 80, 160, 40, 120, 40, 80,  80,  40};
    static const uint32_t pairs[] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8};
    const BorderLines border{9, 8, xy, pairs};
    p = Defaults(0);
    p.MaskKind = kMaskBySelection;
    p.MinInterval = 5;
    GrowthScene selection = Scene(200, 200);
    selection.selection = &border;
    out.push_back(Run("Geometric 1, by selection", p, selection));

    p = Defaults(8);
    p.Turn1 = -200;
    p.MaxTriangles1 = 33;
    p.Turn = 400;
    out.push_back(Run("Single 3, twisted", p, Scene(1200, 900)));

    p = Defaults(0);
    p.MaxIterations = 6;
    p.MaxTriangles = 15;
    GrowthScene limited = scene;
    limited.budget = 50000;
    out.push_back(Run("Geometric 1, budget 50000", p, limited));
    return out;
}

std::string FormatDigests(const std::vector<DigestResult>& results) {
    std::string text;
    char line[200];
    for (const DigestResult& r : results) {
        std::snprintf(line, sizeof line, "%-45s %9" PRId32 " %016" PRIx64 "\n", r.name.c_str(),
                      r.triangles, r.digest);
        text += line;
    }
    return text;
}

std::string FormatGrowthBudget() {
    return "Triangle budget " + std::to_string(GrowthScene{}.budget) + "\n";
}

}  // namespace fw
