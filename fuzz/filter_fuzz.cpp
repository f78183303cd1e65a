// Whole-effect fuzzing: arbitrary values in every carried setting (as presets and scripts
// may bring them), grown and rendered on a small picture. Nothing may crash, hang, read
// outside a buffer or leak.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "params/effect_parameters.h"
#include "params/parameter_fields.h"
#include "prismcore/prismcore.h"
#include "render/pattern_build.h"
#include "render/scene_records.h"

using namespace fw;

namespace {

// Enough triangles to exercise every growth form, few enough to stay fast.
constexpr int32_t kFuzzBudget = 20000;
constexpr int kW = 48, kH = 32;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EffectParameters p;
    std::memset(&p, 0, sizeof(p));
    SetDefaults(p);
    // Each field takes the next 4 bytes as it is stored (bytes keep the low eight bits).
    size_t at = 0;
    for (const ParameterField& f : kParameterFields) {
        if (at + 4 > size) break;
        uint32_t bits;
        std::memcpy(&bits, data + at, 4);
        at += 4;
        if (f.kind == FieldKind::Real) {
            float v;
            std::memcpy(&v, &bits, 4);
            SetFieldReal(p, f, v);
        } else {
            SetFieldInteger(p, f, int32_t(bits));
        }
    }
    std::vector<uint8_t> selection(kW * kH);
    for (size_t i = 0; i < selection.size(); ++i)
        selection[i] = at + i / 8 < size ? (data[at + i / 8] >> (i % 8)) & 1 : 0;

    PatternPlacement place;
    place.SW = kW;
    place.SH = kH;
    place.budget = kFuzzBudget;
    PlacePattern(p, kW / 2.0 + kW * double(p.CenterX) / 2000.0,
                 kH / 2.0 - kH * double(p.CenterY) / 2000.0, true, place);
    SelectionMask mask;
    mask.data = selection.data();
    mask.width = kW;
    mask.height = kH;
    mask.rowBytes = kW;
    BuiltPattern built;
    BuildPattern(p, place, &mask, false, {}, built);

    std::vector<uint8_t> background(kW * kH * 4, 128), source(kW * kH * 4, 200);
    material3ds material;
    FillMaterial(p, false, material);
    __Texture textures[PRISMCORE_TEXTURE_COUNT];
    std::memset(textures, 0, sizeof(textures));
    light3ds lights[2];
    FillLights(p, lights);
    GlassProp glass;
    FillGlass(p, 1.0, glass);
    __SetDrawMode(DrawModeFor(p.RenderMode));
    __SetQuality(p.AlphaCut & 1);
    __SetDeep(0);
    __RasterScene(background.data(), source.data(), kW, kH, 4 * kW, 3 * built.triangleCount,
                  built.triangleCount, built.triangles, built.points, kW / 2, kH / 2, 1, &material,
                  textures, 2, lights, &glass);
    std::free(built.points);
    std::free(built.triangles);
    return 0;
}
