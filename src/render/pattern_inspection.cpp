#include "render/pattern_inspection.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "render/pattern_build.h"
#include "render/scene_assembly.h"

namespace fw {

bool InspectPattern(const EffectParameters& p, int32_t width, int32_t height,
                    const uint8_t* selection, PatternInspection& out) {
    out = PatternInspection{};
    if (width <= 0 || height <= 0) return false;
    int32_t left = 0, top = 0, right = width, bottom = height;
    if (selection) {
        left = width;
        top = height;
        right = bottom = 0;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                if (selection[size_t(y) * width + x]) {
                    left = std::min(left, x);
                    top = std::min(top, y);
                    right = std::max(right, x + 1);
                    bottom = std::max(bottom, y + 1);
                }
        if (right <= left) return false;
    }
    out.filterLeft = left;
    out.filterTop = top;
    out.filterWidth = right - left;
    out.filterHeight = bottom - top;

    // The final render's request for the filter area in one piece, without pixels.
    EffectParameters settings = p;
    SceneRequest request = WholeAreaRequest(settings, out.filterWidth, out.filterHeight);
    request.selectionPresent = selection != nullptr;
    const PatternPlacement place = PlaceScene(request);

    SelectionMask mask;
    if (selection) {
        mask.data = selection + size_t(top) * width + left;
        mask.width = out.filterWidth;
        mask.height = out.filterHeight;
        mask.rowBytes = width;
    }
    BuiltPattern built;
    if (!BuildPattern(p, place, selection ? &mask : nullptr, true, {}, built)) {
        out.outOfMemory = true;
        return false;
    }
    bool copied = true;
    try {
        out.path = std::move(built.path);
        out.points.assign(built.points, built.points + 3 * size_t(built.triangleCount));
        out.triangles.assign(built.triangles, built.triangles + built.triangleCount);
    } catch (const std::bad_alloc&) {
        out = PatternInspection{};
        out.outOfMemory = true;
        copied = false;
    }
    std::free(built.points);
    std::free(built.triangles);
    return copied;
}

}  // namespace fw
