// Growing the whole frost pattern for a filter area and turning it into the renderer's
// arrays, scaled and placed: what the scene assembly caches, and what inspection reports.
#pragma once

#include <cstdint>
#include <limits>

#include "params/effect_parameters.h"
#include "pattern/growth_path.h"
#include "pattern/path_walk.h"
#include "pattern/triangle_list.h"
#include "prismcore/prismcore.h"

namespace fw {

// Where the pattern goes in a filter area of SW x SH scene units.
struct PatternPlacement {
    int32_t SW = 0, SH = 0;
    double zoom = 1;
    double viewRatio = 1;              // rendered width / SW
    float shiftX = 0, shiftY = 0;      // the effect centre, scene coordinates centred on the area
    int32_t budget = kTriangleBudget;  // most triangles to grow
    double areaBudget = std::numeric_limits<double>::infinity();  // most triangle area
};

// The host's selection for "By selection": non-zero bytes are selected. Its top-left pixel
// sits at (left, top) of the filter area.
struct SelectionMask {
    const uint8_t* data = nullptr;
    int32_t width = 0, height = 0, rowBytes = 0;
    int32_t left = 0, top = 0;
};

struct BuiltPattern {
    GrowthPath path;  // the path the walk used (kept only when asked for)
    int32_t triangleCount = 0;
    __Triangle3ds* triangles = nullptr;  // malloc'd; the caller owns both arrays
    __Point3ds* points = nullptr;        // 3 x triangleCount
};

// The effect centre shift for these parameters (cx, cy: the centre in pixels of the
// whole filter area; selection: whether "By selection" has a host selection to trace).
void PlacePattern(const EffectParameters& p, double cx, double cy, bool selection,
                  PatternPlacement& place);

// Grows, converts, scales and shifts. With "By selection" and no usable selection the
// pattern is empty. `keepPath` keeps the walked path in out.path. False (and `out` empty)
// when memory ran out anywhere on the way: the pattern would not be the one asked for.
bool BuildPattern(const EffectParameters& p, const PatternPlacement& place,
                  const SelectionMask* selection, bool keepPath, const GrowthProgress& progress,
                  BuiltPattern& out);

}  // namespace fw
