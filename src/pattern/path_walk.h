// GrowAlongPath: one whole frost pattern from the effect parameters.
//
// Builds the path of the chosen mask kind, decides how much of it is covered
// (Completance, CompletanceDist), places seeds along every covered segment at the interval
// set by MinInterval, turns each segment's normal by the grow direction and, at every seed,
// grows the chosen effect kind; the "Single" effects grow one pattern at the effect centre
// instead. PatternRandom is re-seeded at fixed points, so equal parameters and scene give
// equal triangles on every platform.
//
// The scene assembly fills GrowthScene from the host's filter record and the parameters:
//   W, H       rendered area in pixels (out rectangle width and height)
//   SW, SH     scene size: trunc(filter rectangle width / zoom + 0.5), same for the height
//   zoom       the preview's scale factor while the dialog is open, 1 in the final render
//   centre     the effect centre: (cx - W / 2, cy - H / 2) for the Single effects (cx, cy:
//              the centre DoFilter passes in render pixels, real division); only the Single
//              effects read it here
//   rotation   (RotateX + 90) * pi / 180, the Single effects' start angle
//   selection  for "By selection": the border lines traced from the whole host selection
//              (255 where the mask is non-zero) with tolerance 1.0 and the window given by
//              SelectionTraceWindow(W, SW); null when there is no selection or the trace
//              failed, which leaves the path empty
//   budget     the triangle budget (kTriangleBudget; tests lower it)
//   areaBudget the most triangle area to grow, in growth units (TriangleAreaBudget)
// progress, when set, is told 10 before the walk, 10 + 40 * i / walked before segment i and
// 25 before the centre pattern (each out of 100); the final render passes the host's
// progress callback, previews pass nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>

#include "params/effect_parameters.h"
#include "pattern/growth_path.h"
#include "pattern/triangle_list.h"

namespace fw {

struct GrowthScene {
    int32_t W = 0, H = 0;
    int32_t SW = 0, SH = 0;
    float zoom = 1.0f;
    float centreX = 0.0f, centreY = 0.0f;
    float rotation = 0.0f;
    const BorderLines* selection = nullptr;
    int32_t budget = kTriangleBudget;
    double areaBudget = std::numeric_limits<double>::infinity();  // see TriangleAreaBudget
};

using GrowthProgress = std::function<void(int32_t done)>;

// W / SW as a real number, 1 when that is exactly 0 (or not a number).
double ViewRatio(int32_t W, int32_t SW);

// The tracer's subdivision window for "By selection": trunc(30 / ViewRatio).
int32_t SelectionTraceWindow(int32_t W, int32_t SW);

// The path GrowAlongPath walks for these parameters: a built-in shape, the converted
// selection border, or nothing (Single effects, unknown mask kinds, no selection).
GrowthPath BuildGrowthPath(const EffectParameters& p, const GrowthScene& scene);

// Degrees: 90 or 270 when b is 0, else -atan(a / b) in degrees, +360 when both are
// negative, +180 when b > 0.
double DirectionAngle(double a, double b);

// Resets the triangle counter (with scene.budget), appends the pattern to `list` and returns
// the number of triangles appended. The counter afterwards equals the list's growth.
int32_t GrowAlongPath(const EffectParameters& p, const GrowthScene& scene, TriangleList& list,
                      const GrowthProgress& progress = {});

// Same, walking a path the caller built (inspection and tests).
int32_t GrowAlongPath(const GrowthPath& path, const EffectParameters& p, const GrowthScene& scene,
                      TriangleList& list, const GrowthProgress& progress = {});
// Same as walking ConvertBorderLines(border, dx, dy), segment by segment without building the
// path, which for a noisy selection would take hundreds of megabytes.
int32_t GrowAlongBorder(const BorderLines& border, float dx, float dy, const EffectParameters& p,
                        const GrowthScene& scene, TriangleList& list,
                        const GrowthProgress& progress = {});

}  // namespace fw
