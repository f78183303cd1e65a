// BorderPoint, the pool that owns them, and BorderPointSet, the index that lets lines share
// one point object per position. Flags one line's smoothing leaves on a shared point are
// seen by the lines smoothed after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace fw {

// Flag bits of a BorderPoint.
enum BorderPointFlag : uint32_t {
    kBorderAnchor = 1,      // kept by the smoothing (and end points of open lines)
    kBorderKeepCorner = 2,  // left alone by the corner cutting
    kBorderRemove = 4,      // to be removed from its line
    kBorderDeleted = 256,   // belonged to a line that was dropped
    // Bookkeeping of the tracer, never read by the smoothing:
    kBorderJunctionPoint = 1u << 28,  // at a junction: lines through it end there
    kBorderShared = 1u << 29,         // at a corner where lines meet: other lines may hold it
    kBorderKept = 1u << 30,  // in the smoothed line (while its dropped points are sorted out)
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

// Owns every BorderPoint of one trace; addresses stay valid until Clear. Points come in
// blocks, so millions of them cost a few hundred allocations. Points nobody holds any more
// can be given back one by one (Recycle) and are handed out again first; or everything
// handed out since a Mark is taken back at once (ReleaseTo), which keeps the points of the
// line in hand contiguous and in the cache.
class BorderPointPool {
  public:
    struct Mark {
        size_t block, used;
    };

    BorderPoint* New(float x, float y, float z = kBorderPointZ) {
        if (!free_.empty()) {
            BorderPoint* p = free_.back();
            free_.pop_back();
            *p = BorderPoint{x, y, z, 0};
            return p;
        }
        if (used_ == kBlock || blocks_.empty()) NextBlock();
        BorderPoint* p = &blocks_[current_][used_++];
        *p = BorderPoint{x, y, z, 0};
        return p;
    }
    // p must come from this pool and be held by nobody.
    void Recycle(BorderPoint* p) { free_.push_back(p); }
    Mark Top() const { return Mark{current_, used_}; }
    // Takes back every point handed out since `mark`; none of them may have been recycled.
    // The blocks stay for the points to come.
    void ReleaseTo(Mark mark) {
        current_ = mark.block;
        used_ = mark.used;
    }
    // Points handed out and not given back.
    size_t Size() const { return (blocks_.empty() ? 0 : current_ * kBlock + used_) - free_.size(); }
    void Clear() {
        std::vector<std::unique_ptr<BorderPoint[]>>().swap(blocks_);
        std::vector<BorderPoint*>().swap(free_);
        current_ = used_ = 0;
    }

  private:
    static constexpr size_t kBlock = 16384;
    void NextBlock() {
        if (!blocks_.empty() && current_ + 1 < blocks_.size()) {
            ++current_;
        } else {
            blocks_.emplace_back(new BorderPoint[kBlock]);
            current_ = blocks_.size() - 1;
        }
        used_ = 0;
    }
    std::vector<std::unique_ptr<BorderPoint[]>> blocks_;
    std::vector<BorderPoint*> free_;
    size_t current_ = 0, used_ = 0;  // the block being filled and its points handed out
};

// Finds points by position (equal within 0.01 in x, y and z); new points come from a pool.
//
// Positions produced by tracing and smoothing are multiples of 1/8 at depth kBorderPointZ,
// so the index keys points by their exact 1/64 grid cell and a lookup is one probe. A point
// off that grid (or at another depth) switches the index to searching the 3 x 3 neighbouring
// cells with the full comparison, which keeps the 0.01 equality exact for any input. The
// first few grid points are kept in a short list instead, where equal cells are equal
// values: most lines of a noisy selection make fewer than that.
class BorderPointSet {
  public:
    explicit BorderPointSet(BorderPointPool& pool) : pool_(pool) {}
    BorderPointSet(const BorderPointSet&) = delete;
    BorderPointSet& operator=(const BorderPointSet&) = delete;

    // The indexed point equal to (x, y, z), or a new point with no flags entered there.
    BorderPoint* Intern(float x, float y, float z = kBorderPointZ);
    // Indexes an existing point of the pool; returns the point already indexed at its
    // position instead, if there is one.
    BorderPoint* Add(BorderPoint* p);
    // The indexed point equal to (x, y, z), or null.
    BorderPoint* Find(float x, float y, float z = kBorderPointZ) const;

    // Forgets every entry (the points stay in the pool); the table, once needed, is made for
    // about `expected` entries. Costs the number of entries, not the size of the table.
    void Clear(size_t expected = 0);
    size_t Size() const { return size_; }
    BorderPointPool& Pool() { return pool_; }
    // Calls f(point) for every entry.
    template <class F>
    void ForEach(F f) const {
        if (useFew_) {
            for (const Few& e : few_) f(e.point);
            return;
        }
        for (uint32_t i : used_) f(slots_[i].point);
        for (BorderPoint* p : offGrid_) f(p);
    }

  private:
    struct Slot {
        int32_t cx, cy;  // grid cell; point == null marks a free slot
        BorderPoint* point;
    };
    struct Few {
        float x, y;
        BorderPoint* point;
    };
    static constexpr size_t kMinSlots = 64;
    static constexpr size_t kFewLimit = 32;

    static bool Cell(float v, int32_t& cell, bool& exact);
    size_t Home(int32_t cx, int32_t cy) const;
    BorderPoint* Probe(int32_t cx, int32_t cy, float x, float y, float z, bool cellDecides) const;
    void Place(int32_t cx, int32_t cy, BorderPoint* p);
    void GrowFor(size_t entries);
    void LeaveFew();

    BorderPointPool& pool_;
    std::vector<Slot> slots_;
    std::vector<uint32_t> used_;         // occupied slots, for a cheap Clear
    std::vector<BorderPoint*> offGrid_;  // points too far out (or NaN) for a grid cell
    std::vector<Few> few_;               // every entry while useFew_
    size_t size_ = 0;
    size_t expected_ = 0;  // what the last Clear was told
    bool allOnGrid_ = true;
    bool useFew_ = true;
};

}  // namespace fw
