// Post-processing of one traced border line: straight runs and one-pixel staircases of the
// pixel outline become a few anchored vertices (corner and step anchors, corner cutting,
// Douglas-Peucker between anchors), then long segments are split so that growth seeds
// along them stay evenly spaced.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "mask/border_line.h"
#include "mask/border_point_set.h"

namespace fw {

// Working memory of the smoothing, kept from one line to the next: masks with hundreds of
// thousands of small outlines would otherwise spend their time in the allocator.
struct SmoothingBuffers {
    std::vector<BorderPoint*> points, spare;
    std::vector<BorderPoint*> replaced;  // the line's points before its last smoothing
    std::vector<double> xs, ys;
    std::vector<std::pair<size_t, size_t>> stack;
};

// Smooths `line` in place. Points it creates at corners, steps and edge midpoints are looked
// up in (and entered into) `set`; points inserted by the final subdivision belong to the line
// alone. All of them come from set.Pool().
// tolerance and window are taken as given (the caller clamps them). Flags on shared points
// are left as the smoothing needs them and are seen by lines smoothed later.
void PostProcessBorderLine(BorderLine& line, BorderPointSet& set, float tolerance, int32_t window,
                           SmoothingBuffers& buffers);
void PostProcessBorderLine(BorderLine& line, BorderPointSet& set, float tolerance, int32_t window);

}  // namespace fw
