// Growth of the "Floral" and "Single" effects: curved fronds, rosettes and curls.
//
// Angles are radians; (x, y) is the pattern origin in scene units and zBase a height that
// becomes the z of the triangles. "Rotate and place" turns a local point by angle - bend and
// moves it to (x, y). Everything appends level-0 triangles through MakeTriangle and draws
// from PatternRandom; after the growth budget is reached nothing more is drawn or appended.
#pragma once

#include <cstdint>

#include "pattern/branch_growth.h"
#include "pattern/triangle_list.h"

namespace fw {

// One curved frond of max(count, 7) + 1 triangles, and with a random chance (drawn on every
// call, whatever the depth) a smaller side frond while depth < 2. Returns the middle of the
// arc; nothing is drawn, and (x, y) comes back, when count <= 0.
Point2 GrowFrondArc(TriangleList& list, float x, float y, float zBase, float angle, float bend,
                    float length, int32_t count, float width, int32_t depth);

// A fan of 8 triangles around (x, y), turning the way bend does.
void GrowRosette(TriangleList& list, float x, float y, float zBase, float angle, float bend,
                 float length);

// One link of a frond chain: where the next frond starts from and how it is shaped.
struct FrondLink {
    float z, angle, bend, length, width;
    int32_t count;  // triangles of the frond, less one
};

// The link after `link`: 10 higher, turned by 0.3 bend (never more than 0.785398 either
// way), bent 1.25 times as much the other way, shortened by u (-0.5 ... 0.5) and 0.85 times
// as wide as the chain's first frond (`width`), with 1.15 times the triangles.
FrondLink NextFrondLink(const FrondLink& link, float u, float width);

// A base (rosette when side != 0, else a leaf) and a chain of `count` fronds that alternate
// their bend. maxTriangles >= 1 fixes the triangles per frond, otherwise they follow the bend
// and zoom * length / 100 (zoom: the preview's scale factor, 1 in the final render).
void GrowFrond(int32_t count, TriangleList& list, float x, float y, float zBase, float angle,
               float bend, float length, float width, int32_t side, int32_t maxTriangles,
               float zoom = 1.0f);

// A curved spine of count + 1 stations carrying a pair of fronds each, stopping as soon as
// the fronds would be shorter than 3. subCount >= 1 fixes the triangles per frond, otherwise
// they follow twist and length. count below 1 grows nothing.
void GrowCurl(int32_t variant, TriangleList& list, float x, float y, float zBase, float angle,
              float bend, float length, float width, int32_t count, int32_t subCount, float pWidth,
              float twist, float twistStep);

}  // namespace fw
