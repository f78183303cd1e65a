// BorderPoint and the shared point set of the border tracer. Every vertex the tracer or the
// line smoothing creates is looked up here first, so lines that meet share one point object
// and the flags one line's smoothing leaves on a point are seen by the next line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace fw {

// Flag bits of a BorderPoint.
enum BorderPointFlag : uint32_t {
    kBorderAnchor = 1,      // kept by the smoothing (and end points of open lines)
    kBorderKeepCorner = 2,  // left alone by the corner cutting
    kBorderRemove = 4,      // to be removed from its line
    kBorderDeleted = 256,   // belonged to a line that was dropped
};

// Depth given to every border point; nothing reads it afterwards.
constexpr float kBorderPointZ = -10.0f;

struct BorderPoint {
    float x;  // pixel-corner column
    float y;  // pixel-corner row
    float z;
    uint32_t flags;
};

// Positions closer than this in every coordinate are the same point.
constexpr float kBorderPointEpsilon = 0.01f;

inline bool SameBorderPosition(const BorderPoint& p, float x, float y, float z) {
    auto near = [](float a, float b) {
        const float d = a - b;
        return d < kBorderPointEpsilon && d > -kBorderPointEpsilon;
    };
    return near(p.x, x) && near(p.y, y) && near(p.z, z);
}

// Owns every BorderPoint of one trace (an arena: addresses stay valid until Clear) and
// indexes the shared ones by position.
//
// Positions produced by tracing and smoothing are multiples of 1/8, so the index keys points
// by their exact 1/64 grid cell and a lookup is one probe. A point off that grid switches the
// set to searching the 3 x 3 neighbouring cells, which keeps the 0.01 equality exact for any
// input.
class BorderPointSet {
  public:
    BorderPointSet() = default;
    BorderPointSet(const BorderPointSet&) = delete;
    BorderPointSet& operator=(const BorderPointSet&) = delete;

    // The indexed point equal to (x, y, z), or a new point with no flags entered there.
    BorderPoint* Intern(float x, float y, float z = kBorderPointZ);
    // The indexed point equal to (x, y, z), or null.
    BorderPoint* Find(float x, float y, float z = kBorderPointZ) const;
    // A point that is not indexed (it belongs to one line only).
    BorderPoint* NewLoose(float x, float y, float z = kBorderPointZ);

    // Forgets the index (lookups are over) but keeps the points alive.
    void DropIndex();
    void Clear();

    size_t IndexedCount() const { return indexed_; }
    size_t PointCount() const { return arena_.size(); }

  private:
    struct Slot {
        int32_t cx, cy;  // grid cell; index == kEmpty marks a free slot
        uint32_t index;
    };
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;

    static bool Cell(float v, int32_t& cell, bool& exact);
    size_t Home(int32_t cx, int32_t cy) const;
    BorderPoint* Probe(int32_t cx, int32_t cy, float x, float y, float z) const;
    void Insert(int32_t cx, int32_t cy, uint32_t index);
    void Grow();

    std::deque<BorderPoint> arena_;
    std::vector<Slot> slots_;
    size_t indexed_ = 0;
    std::vector<uint32_t> offGrid_;  // points too far out (or NaN) for a grid cell
    bool allOnGrid_ = true;
};

}  // namespace fw
