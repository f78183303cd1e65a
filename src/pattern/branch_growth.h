// Growth of the "Geometric" effects: a base triangle standing on the path at every seed, and
// a recursive fan of triangles that splits into two sub-branches at every triangle.
//
// All randomness comes from PatternRandom, in depth-first order: a triangle, its whole first
// sub-branch, its whole second sub-branch, then the next triangle of the fan.
#pragma once

#include <cstdint>

#include "pattern/triangle_list.h"

namespace fw {

struct Point2 {
    float x, y;
};

// The angle of s -> p as the branch grower measures it: a quadrant base (0, pi/2, pi,
// 3 pi/2) plus asin of |dx| / rho (quadrants 0 and 2) or |dy| / rho (1 and 3).
float TurnAngle(Point2 s, Point2 p);

// Base triangle at a seed: a and b are this and the next seed on the path (z = 0), the apex
// stands out along the normal by a random height.
void GrowBranchBase(TriangleList& list, Point2 a, Point2 b, Point2 normal, float size, float sizeF);

// Deeper levels than this are never grown: such a tree has at least 2^64 triangles and would
// have hit the growth budget long before, so only the recursion depth (the host's stack) is
// protected.
constexpr int32_t kMaxBranchLevel = 64;

// One fan of triangles from `origin` towards `direction`, with two sub-branches per
// triangle. pWidth shortens and pLength narrows the sub-branches (the parameter names are
// swapped on purpose: presets depend on it). maxIterations below 1 counts as 1.
void GrowBranch(int32_t segment, int32_t patternKind, TriangleList& list, int32_t level,
                Point2 origin, float z, Point2 direction, float width, float length, float pWidth,
                float pLength, float dispersion, float lose, int32_t maxTriangles,
                int32_t maxIterations);

}  // namespace fw
