// Triangle rasterisation of the frost renderer: fixed-point edge functions with the top-left
// rule, clipping of triangles that reach far outside the picture, tile binning, coverage of
// one or sixteen samples per pixel into a tile's visibility buffer, and one-pixel lines.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <thread>
#include <vector>

#include "prismcore/prismcore.h"
#include "prismcore/shading.h"

namespace fw::prismcore {

constexpr int kSubPixelBits = 8;  // 1/256 pixel
constexpr int64_t kSubPixel = int64_t{1} << kSubPixelBits;
constexpr int kTileSize = 32;
// Pictures larger than this on a side are refused: together with the guard band it keeps
// every fixed-point coordinate below 2^27 and every edge function value inside int64.
constexpr int kMaxDimension = 1 << 18;
// Triangles are clipped this many pixels outside the picture before going to fixed point.
constexpr double kGuardBand = 65536.0;
constexpr uint32_t kNoTriangle = 0xFFFFFFFFu;
constexpr int kMaxSamples = 16;

// The scene as the caller handed it, with the projection to pixel positions.
struct SceneView {
    const __Triangle3ds* triangles = nullptr;
    uint32_t triangleCount = 0;
    const __Point3ds* points = nullptr;
    uint32_t pointCount = 0;
    double centerX = 0, centerY = 0;
    int width = 0, height = 0;

    // Pixel positions of the triangle's corners; false for an index outside the point array
    // or a non-finite coordinate.
    bool Corners(uint32_t triangle, Corner out[3]) const;
    // The corners' depth range; false when Corners would fail on the depths.
    bool DepthRange(uint32_t triangle, float& minZ, float& maxZ) const;
};

// E(X, Y) = a X + b Y + c over sub-pixel coordinates; a sample is inside when E >= 0 for all
// three edges (the top-left rule is folded into c).
struct EdgeFunction {
    int64_t a = 0, b = 0, c = 0;
};

struct RasterPiece {
    EdgeFunction edge[3];
    int minX = 0, minY = 0, maxX = -1, maxY = -1;  // pixels, inclusive, inside the picture
};

// A clipped triangle is a fan of at most five pieces.
struct RasterTriangle {
    RasterPiece piece[5];
    int pieceCount = 0;
    Plane z;
    float minZ = 0, maxZ = 0;  // corner depths, for rejecting hidden triangles
    int minX = 0, minY = 0, maxX = -1, maxY = -1;
};

// False when the triangle covers nothing of the picture (or is invalid or of zero area).
// The depth plane is only made withDepth (binning needs none).
bool SetupRasterTriangle(const SceneView& scene, uint32_t triangle, RasterTriangle& out,
                         bool withDepth = true);
// Conservative: false only when no sample of the pixel rectangle can be inside.
bool TouchesRect(const RasterTriangle& t, int x0, int y0, int x1, int y1);

// Sample positions inside a pixel, in sub-pixel units from its top-left corner.
struct SamplePattern {
    int count = 1;
    int ox[kMaxSamples] = {kSubPixel / 2};
    int oy[kMaxSamples] = {kSubPixel / 2};
};
SamplePattern CentreSample();
SamplePattern SixteenSamples();

// Per-sample nearest depth and triangle of one tile.
struct TileVisibility {
    int x0 = 0, y0 = 0, width = 0, height = 0, samples = 1;
    std::vector<float> depth;
    std::vector<uint32_t> id;
    size_t uncovered = 0;  // samples no triangle holds yet
    // With every sample held: a lower bound of their depths (only rises as triangles win).
    float floorDepth = -std::numeric_limits<float>::infinity();
    bool floorValid = false;
    int sinceFloor = 0;  // triangles drawn since floorDepth was computed
    // Per row of the tile, a lower bound of its samples' depths (-inf while any is unheld),
    // and the rows drawn into since the bounds were last computed.
    float rowFloor[kTileSize];
    uint32_t dirtyRows = 0;
    // Per row, the pixels (from x0) that triangles may have drawn into: outside them every
    // sample is unheld. Empty when rowFirst > rowLast.
    int rowFirst[kTileSize], rowLast[kTileSize];
    void Reset(int x, int y, int w, int h, int sampleCount);
    // Recomputes the floors of the rows drawn into, and the tile's floor.
    void RefreshFloors();
    // True when a triangle with corner depths in [minZ, maxZ] cannot be strictly nearer
    // than any sample of the tile.
    bool Hides(float minZ, float maxZ);
    size_t Index(int px, int py) const {
        return (static_cast<size_t>(py - y0) * width + (px - x0)) * samples;
    }
};

// Depth-tests the triangle's covered samples into the tile: a sample takes the triangle only
// when it is strictly nearer than what the sample holds. Triangles are therefore drawn in
// reverse array order, so that at equal depth the later triangle, drawn first, keeps the
// sample; once the tile is covered, farther triangles are rejected whole (Hides).
// wideLanes: sixteen samples go eight at a time in AVX2 registers (WideLanesAvailable()).
void RasterizeIntoTile(const RasterTriangle& t, uint32_t id, const SamplePattern& pattern,
                       TileVisibility& tile, bool wideLanes = false);

// Calls plot(x, y, t) for every pixel of the segment from a to b inside the rectangle
// [x0, x1) x [y0, y1), t being the position along the segment (0 at a). One pixel per
// column or row along the major axis, so the line is one pixel wide and connected.
template <class Plot>
void WalkSegment(double ax, double ay, double bx, double by, int x0, int y0, int x1, int y1,
                 Plot plot) {
    bool alongX = std::fabs(bx - ax) >= std::fabs(by - ay);
    double ma = alongX ? ax : ay, mb = alongX ? bx : by;
    double na = alongX ? ay : ax, nb = alongX ? by : bx;
    int m0 = alongX ? x0 : y0, m1 = alongX ? x1 : y1;
    int n0 = alongX ? y0 : x0, n1 = alongX ? y1 : x1;
    double lo = std::min(ma, mb), hi = std::max(ma, mb);
    // Clamped in floating point first: the segment may reach far outside the rectangle.
    double first = std::max(std::floor(lo), static_cast<double>(m0));
    double last = std::min(std::floor(hi), static_cast<double>(m1 - 1));
    if (!(first <= last)) return;
    double length = mb - ma;
    for (int m = static_cast<int>(first); m <= static_cast<int>(last); ++m) {
        double centre = std::clamp(m + 0.5, lo, hi);
        double t = length != 0 ? (centre - ma) / length : 0.0;
        double n = std::floor(na + (nb - na) * t);
        if (!(n >= n0 && n < n1)) continue;
        int minor = static_cast<int>(n);
        plot(alongX ? m : minor, alongX ? minor : m, static_cast<float>(t));
    }
}

// Binning: for each tile the triangles that may touch it, in array order.
struct TileBins {
    int tilesX = 0, tilesY = 0;
    int firstRow = 0, rowCount = 0;  // the band of tile rows held
    std::vector<uint64_t> start;     // per tile of the band, plus one
    std::vector<uint32_t> ids;
    std::vector<uint64_t> cursor;  // where each chunk writes next, per tile of the band
    const uint32_t* Begin(int tx, int ty) const;
    const uint32_t* End(int tx, int ty) const;
};

// Counts per tile (all tiles), computed in parallel over triangle chunks.
class Binner {
  public:
    // lineMargin: bin by bounding box grown by a pixel, for edges drawn as lines.
    Binner(const SceneView& scene, int threads, bool lineMargin);
    // Total of all bins; bands let the caller bound the bin memory.
    uint64_t Total() const { return total_; }
    uint64_t RowTotal(int tileRow) const;
    int tilesX() const { return tilesX_; }
    int tilesY() const { return tilesY_; }
    // Room in `bins` for bands of up to `rows` tile rows holding up to `entries` in all, so
    // that Fill allocates nothing. Throws std::bad_alloc when it cannot be had.
    void Reserve(int rows, uint64_t entries, TileBins& bins) const;
    // Fills the bins of tile rows [firstRow, firstRow + rowCount).
    void Fill(int firstRow, int rowCount, TileBins& bins) const;

  private:
    template <class Visit>
    void ForEachTile(const RasterTriangle& t, int firstRow, int endRow, Visit visit) const;

    const SceneView& scene_;
    int threads_;
    bool lineMargin_;
    int tilesX_, tilesY_, chunks_;
    uint32_t chunkSize_;
    std::vector<uint32_t> counts_;  // chunk-major: chunk * tiles + tile
    // Per triangle: its one tile, or none, or many. Most frost triangles touch one tile, so
    // filling the bins rarely needs their set-up again.
    static constexpr uint32_t kNoTile = 0xFFFFFFFFu, kManyTiles = 0xFFFFFFFEu;
    std::vector<uint32_t> onlyTile_;
    uint64_t total_ = 0;
};

// Runs body(worker, i) for i in [0, count) on up to `threads` threads, the caller's one
// included; worker < threads identifies the thread's scratch. Threads that cannot be started
// leave their share to the others; nothing but the body can throw.
template <class Body>
void ParallelFor(int threads, int count, const Body& body) {
    if (count <= 0) return;
    threads = std::clamp(threads, 1, count);
    std::atomic<int> next{0};
    auto run = [&](int worker) {
        for (;;) {
            int i = next.fetch_add(1);
            if (i >= count) break;
            body(worker, i);
        }
    };
    std::vector<std::thread> pool;
    try {
        pool.reserve(threads - 1);
        for (int w = 1; w < threads; ++w) pool.emplace_back(run, w);
    } catch (const std::exception&) {
        // fewer threads (out of threads or memory); the work is still done by those that run
    }
    run(0);
    for (std::thread& thread : pool) thread.join();
}

}  // namespace fw::prismcore
