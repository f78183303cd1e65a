// BorderLine: one traced border as an ordered list of shared BorderPoints.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "mask/border_point_set.h"

namespace fw {

// What a read past the image edge returns; never a value of a two-valued selection mask, so
// the image edge always differs from the pixels inside.
constexpr uint8_t kNoColour = 121;

struct BorderLine {
    std::vector<BorderPoint*> points;
    // Set when a point being added equals the point at the opposite end: a closed line
    // therefore ends with the point it started with.
    bool closed = false;
    // Mask values on the right-hand and left-hand side of travel (rows grow downwards).
    uint8_t rightColour = kNoColour;
    uint8_t leftColour = kNoColour;

    // Forward tracing. A point equal to the last one is not repeated.
    void AddBack(BorderPoint* p) {
        if (!points.empty()) {
            if (SameBorderPosition(*points.front(), p->x, p->y, p->z)) closed = true;
            if (SameBorderPosition(*points.back(), p->x, p->y, p->z)) return;
        }
        points.push_back(p);
    }

    // Backward tracing, the mirror image of AddBack. The points gather in `prefix` in
    // reverse order (prepending to a vector one by one would cost the square of the length)
    // until JoinPrefix puts them in front.
    void AddFront(std::vector<BorderPoint*>& prefix, BorderPoint* p) {
        if (!points.empty() || !prefix.empty()) {
            const BorderPoint* back = points.empty() ? prefix.front() : points.back();
            const BorderPoint* front = prefix.empty() ? points.front() : prefix.back();
            if (SameBorderPosition(*back, p->x, p->y, p->z)) closed = true;
            if (SameBorderPosition(*front, p->x, p->y, p->z)) return;
        }
        prefix.push_back(p);
    }
    void JoinPrefix(std::vector<BorderPoint*>& prefix) {
        points.insert(points.begin(), prefix.rbegin(), prefix.rend());
        prefix.clear();
    }
};

// Lines in tracing order; a deque, so a line stays where it is while later ones are traced.
using BorderLineList = std::deque<BorderLine>;

}  // namespace fw
