// What a final render of a picture would hand the renderer, without rendering: the path
// the walk used and the exact point and triangle arrays. For tests and the command line.
#pragma once

#include <cstdint>
#include <vector>

#include "params/effect_parameters.h"
#include "pattern/growth_path.h"
#include "prismcore/prismcore.h"

namespace fw {

struct PatternInspection {
    int32_t filterLeft = 0, filterTop = 0;  // the filter rectangle within the picture
    int32_t filterWidth = 0, filterHeight = 0;
    GrowthPath path;
    std::vector<__Point3ds> points;
    std::vector<__Triangle3ds> triangles;
    bool outOfMemory = false;  // why InspectPattern failed, when it did for that
};

// `selection` (width x height bytes, non-zero selected) may be null; with one, the filter
// rectangle is its bounding box, as a host makes it. False when the picture is empty,
// nothing is selected or memory ran out.
bool InspectPattern(const EffectParameters& p, int32_t width, int32_t height,
                    const uint8_t* selection, PatternInspection& out);

}  // namespace fw
