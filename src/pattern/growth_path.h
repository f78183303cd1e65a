// The growth path: points joined by straight segments, each segment carrying the normal
// along which frost grows from it.
//
// Coordinates are scene units centred on the filtered area, x to the right, y down (image
// rows). W, H are the rendered area in pixels, SW, SH the scene size in scene units (equal
// when the scene scale is 1). The built-in shapes lay lines along the image edges whose
// points crowd towards the middle of each line; "By selection" converts the border
// polylines traced from the host's selection (ConvertBorderLines).
#pragma once

#include <cstdint>
#include <vector>

namespace fw {

struct PathPoint {
    float x, y, z;     // z is always 0
    float nx, ny, nz;  // nz is always 0
    uint8_t used;      // 1 when the normal is valid
};

struct PathSegment {
    uint32_t first, second;  // indices into the points; travel runs from first to second
    float nx, ny, nz;        // growth normal, nz always 0
    // Built-in shapes: the step that follows `second` (not the distance covered); the walk
    // divides by it, so seed spacing on those shapes follows the point spacing.
    // Selection borders: the true length.
    float length;
    uint8_t used;  // always 1
};

struct GrowthPath {
    std::vector<PathPoint> points;
    std::vector<PathSegment> segments;
};

// Appends one straight line from `start` while t <= end, the step after each point being
// stepScale * (|t - centre| / scale + 0.01). alongX: points at (t, fixed), else (fixed, t).
// Lines are never joined to earlier ones. A non-positive or non-finite scale or step adds
// nothing; at most kMaxLinePoints points are added.
void BuildLinePath(GrowthPath& path, float fixed, float start, float scale, float end,
                   float stepScale, float centre, float nx, float ny, float nz, bool alongX);

// No real image needs more points on one line; the cap only stops absurd inputs.
constexpr int kMaxLinePoints = 1 << 20;

// Shapes of mask kinds 1 to 6. All lines use stepScale = scale / 2.
GrowthPath BuildBottomOrTopPath(float x0, float length, float y, float normalY);
GrowthPath BuildTopAndBottomPath(float x0, float length, float yTop, float yBottom);
GrowthPath BuildPerimeterPath(float x0, float y0, float width, float height);
GrowthPath BuildULikePath(float x0, float y0, float width, float height);
GrowthPath BuildWindowPath(float x0, float y0, float width, float height);

// The path of a built-in mask kind (1 ... 6) for a W x H area shown as SW x SH scene
// units; any other kind gives an empty path.
GrowthPath BuildShapePath(int maskKind, int32_t W, int32_t H, int32_t SW, int32_t SH);

// Border polylines of the selection tracer: pointCount (x, y) pairs in pixel-corner units
// and segmentCount (first, second) index pairs. Owned by whoever traced them.
struct BorderLines {
    uint32_t pointCount = 0;
    uint32_t segmentCount = 0;
    const float* xy = nullptr;
    const uint32_t* pairs = nullptr;
};

// Points are shifted by (dx, dy); each segment's normal is its direction turned to the
// left (away from the traced region), and point normals average the normals of the
// segments that meet there. Pairs with an index out of range are skipped.
GrowthPath ConvertBorderLines(const BorderLines& border, float dx, float dy);
// The segment ConvertBorderLines makes of pair s (both indices in range) and its two points
// with their positions (normals and used flags left 0).
PathSegment BorderSegment(const BorderLines& border, uint32_t s, float dx, float dy, PathPoint& a,
                          PathPoint& b);

}  // namespace fw
