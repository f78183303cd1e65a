#include "render/scene_assembly.h"

#include <cstring>

#include "host/filter_run.h"

namespace fw {

namespace {

// The background the scene is drawn over: the source, or nothing at all with "Alpha cut"
// so that the pattern stands alone on transparency.
void FillBackground(const EffectParameters& p, void* output, const void* input, int rows,
                    int32_t rowStride) {
    const size_t bytes = size_t(rows) * size_t(rowStride);
    if (p.AlphaCut)
        std::memset(output, 0, bytes);
    else if (input != output)
        std::memcpy(output, input, bytes);
}

}  // namespace

void BuildAndRenderScene(PluginGlobals* g, void* output, const void* input, float, float, float,
                         float, int32_t rowStride, bool) {
    EffectParameters* p = Parameters(g);
    if (!p) return;
    const sdk::Rect out = GetOutRect();
    const int h = out.bottom - out.top;
    if (h <= 0 || rowStride <= 0) return;
    // The pattern is empty until the generator is wired in: the band shows its background.
    FillBackground(*p, output, input, h, rowStride);
}

}  // namespace fw
