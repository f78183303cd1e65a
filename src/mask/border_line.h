// BorderLine: one traced border as an ordered list of shared BorderPoints.
#pragma once

#include <cstdint>
#include <deque>

#include "mask/border_point_set.h"

namespace fw {

// What a read past the image edge returns; never a value of a two-valued selection mask, so
// the image edge always differs from the pixels inside.
constexpr uint8_t kNoColour = 121;

struct BorderLine {
    std::deque<BorderPoint*> points;
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

    // Backward tracing: the mirror image of AddBack.
    void AddFront(BorderPoint* p) {
        if (!points.empty()) {
            if (SameBorderPosition(*points.back(), p->x, p->y, p->z)) closed = true;
            if (SameBorderPosition(*points.front(), p->x, p->y, p->z)) return;
        }
        points.push_front(p);
    }
};

// Lines in tracing order. A deque: lines never move once traced (a deque of points cannot be
// moved without the risk of an exception, so a growing vector would copy every line).
using BorderLineList = std::deque<BorderLine>;

}  // namespace fw
