// The generator's output: a list of triangles in drawing order, and the common triangle maker.
//
// Vertex normals are deliberately not unit vectors: (nx, ny) of vertex k is the unit normal
// of the edge k -> k+1 and nz is minus the z of the face normal, which gives each triangle
// the bevelled, faceted look of ice.
//
// Growth budget. The number of triangles grows geometrically with the branching settings
// (two sub-branches per triangle, 1.5 times wider fans per level); settings inside the
// dialog's own ranges reach billions. Every growth operation therefore stops cleanly once
// the module-wide triangle counter reaches the budget: what has grown so far is the pattern,
// and every later random draw and append simply does not happen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace fw {

// Each triangle costs about 136 bytes in the renderer's records (three 40-byte points and a
// 16-byte triangle) plus 88 bytes here while the list lives: 8 million triangles take about
// 1.8 GB at the peak. The budget is the same in every build, so the same parameters give the
// same pattern on a 32-bit host as on a 64-bit one; a host that cannot hold the pattern gets
// the out-of-memory result instead of a pattern cut short.
constexpr int32_t kTriangleBudget = 8'000'000;

// The budget of a filter area: a base every picture gets, one more triangle for every 48
// pixels, never above kTriangleBudget. Triangles far below a pixel add nothing visible, so a
// small picture does not pay seconds and gigabytes for them; the shipped presets and the
// effects' defaults stay far below it at any size (the densest, about 0.2 million triangles
// on 12 megapixels, against 0.55 million there; with the renderer's own 90 bytes a triangle,
// a full budget on 24 megapixels takes under 200 MB). It depends on the whole filter area only,
// never on a preview's scale, so the preview grows what OK grows.
constexpr int32_t kBaseTriangleBudget = 300'000;
constexpr int64_t kPixelsPerBudgetTriangle = 48;
int32_t TriangleBudgetForArea(int64_t width, int64_t height);

// Triangles also grow longer with the branching settings: the densest Geometric settings
// make a million triangles that cover the picture hundreds of times, and the renderer pays
// for every pixel of each. Growth therefore also stops once the triangles made cover this
// many times the filter area; the shipped presets and effect defaults cover at most about 13
// times it (frozen-lace), from 64 x 48 to 3000 x 2000.
constexpr double kTriangleAreaPerFilterArea = 64;
// That area in growth units for a filter area of SW x SH scene units, the pattern being
// scaled by `scale` afterwards; unlimited when the scale is 0 or not a number.
double TriangleAreaBudget(int64_t SW, int64_t SH, double scale);

struct Point3 {
    float x, y, z;
};

struct PatternVertex {
    float x, y, z;
    float nx, ny, nz;
    uint8_t flag;  // always 1
};

struct PatternTriangle {
    PatternVertex vertex[3];
    int32_t level;  // recursion level of the branch that made it; 0 for base, frond, curl
};

// Append-only storage in blocks, so a million triangles are a few hundred allocations
// rather than a million; iteration order is append order, which is drawing order.
class TriangleList {
  public:
    TriangleList() = default;
    TriangleList(const TriangleList&) = delete;
    TriangleList& operator=(const TriangleList&) = delete;
    TriangleList(TriangleList&&) = default;
    TriangleList& operator=(TriangleList&&) = default;

    // Space for one more triangle at the end; null when memory is exhausted.
    PatternTriangle* Append();
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const PatternTriangle& operator[](size_t i) const {
        return blocks_[i / kBlockSize][i % kBlockSize];
    }
    void Clear();

    template <typename F>
    void ForEach(F&& f) const {
        for (size_t i = 0; i < size_; ++i) f(blocks_[i / kBlockSize][i % kBlockSize]);
    }
    // ForEach that frees each block once it has been read, leaving the list empty: a copy
    // into other records then never holds both in full.
    template <typename F>
    void Drain(F&& f) {
        for (size_t i = 0; i < size_; ++i) {
            f(blocks_[i / kBlockSize][i % kBlockSize]);
            if ((i + 1) % kBlockSize == 0) blocks_[i / kBlockSize].reset();
        }
        Clear();
    }

  private:
    static constexpr size_t kBlockSize = 4096;
    std::vector<std::unique_ptr<PatternTriangle[]>> blocks_;
    size_t size_ = 0;
};

// Module-wide triangle counter: the number of triangles made since the last reset. Growth
// code checks it against the budget set by the reset; the walk resets it.
void ResetTriangleCounter(int32_t budget = kTriangleBudget,
                          double areaBudget = std::numeric_limits<double>::infinity());
int32_t TriangleCounter();
// Adds a made triangle's area (in the xy plane) to the area budget's count.
void CountTriangleArea(const Point3& p0, const Point3& p1, const Point3& p2);
// The area counted since the last reset.
double GrownTriangleArea();
// True once either budget was reached (or memory ran out) since the last reset.
bool GrowthStopped();
// True once a triangle could not be stored since the last reset: the pattern is incomplete.
bool GrowthOutOfMemory();
// Claims the next counter value for a triangle about to be made: false (and growth stops)
// when the budget is used up.
bool ClaimTriangle();
// Gives back a claimed value whose triangle could not be stored (memory ran out).
void ReleaseTriangle();

// ((by - ay) / d, (ax - bx) / d) with d the distance; unnormalised when d is 0.
void EdgeNormal(float ax, float ay, float bx, float by, float* nx, float* ny);
// (p0 - p1) x (p2 - p1), normalised when its length is not 0.
Point3 FaceNormal(const Point3& p0, const Point3& p1, const Point3& p2);

// Fills positions, normals and flags of a triangle without touching the counter.
void FillTriangle(PatternTriangle& t, int32_t level, const Point3& p0, const Point3& p1,
                  const Point3& p2);
// Counts, builds and appends one triangle; nothing when growth has stopped.
void MakeTriangle(int32_t level, TriangleList& list, const Point3& p0, const Point3& p1,
                  const Point3& p2);

// FNV-1a over every field of every triangle in order (not the padding): two lists with the
// same digest hold the same triangles bit for bit.
uint64_t DigestTriangles(const TriangleList& list);

}  // namespace fw
