#include "prismcore/raster.h"

#include "prismcore/raster_lanes.h"

#include <emmintrin.h>

#include <atomic>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

namespace fw::prismcore {
namespace {

struct Point2 {
    double x, y;
};

// One Sutherland-Hodgman step: keeps the part of the polygon where sign * (coord - bound) >= 0.
int ClipAgainst(const Point2* in, int n, Point2* out, bool alongX, double bound, double sign) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const Point2& p = in[i];
        const Point2& q = in[(i + 1) % n];
        double dp = sign * ((alongX ? p.x : p.y) - bound);
        double dq = sign * ((alongX ? q.x : q.y) - bound);
        if (dp >= 0) out[m++] = p;
        if ((dp >= 0) != (dq >= 0)) {
            double t = dp / (dp - dq);
            out[m++] = {p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t};
        }
    }
    return m;
}

// The first k >= 0 with reach + k step >= 0 (reach < 0 < step), from an estimate by the
// reciprocal made exact by stepping: a division per row and edge cost more than the rows.
int64_t FirstReached(int64_t reach, int64_t step, double inverse) {
    int64_t k = static_cast<int64_t>(static_cast<double>(-reach) * inverse);
    while (reach + k * step < 0) ++k;
    while (k > 0 && reach + (k - 1) * step >= 0) --k;
    return k;
}
// The last k with reach - k fall >= 0 (0 < fall); -1 when reach < 0.
int64_t LastReached(int64_t reach, int64_t fall, double inverse) {
    if (reach < 0) return -1;
    int64_t k = static_cast<int64_t>(static_cast<double>(reach) * inverse);
    while (reach - (k + 1) * fall >= 0) ++k;
    while (k > 0 && reach - k * fall < 0) --k;
    return k;
}

// The largest depth a sample of a triangle with corner depths in [minZ, maxZ] can have: the
// plane's rounding may exceed the corners a little, so a triangle is set aside as hidden
// only when no sample of it could win.
float NearestSampleBound(float minZ, float maxZ) {
    return maxZ + 1e-4f * (1.0f + std::fabs(maxZ) + std::fabs(minZ));
}

// Round half up; inputs are inside the guard band, so the result fits easily.
int64_t ToFixed(double v) {
    // floor without the library call (no rounding instruction in the baseline instruction set)
    const double scaled = v * kSubPixel + 0.5;
    const int64_t t = static_cast<int64_t>(scaled);  // toward zero
    return static_cast<double>(t) > scaled ? t - 1 : t;
}

void AddPiece(const Point2& p0, const Point2& p1, const Point2& p2, int width, int height,
              RasterTriangle& out) {
    int64_t x[3] = {ToFixed(p0.x), ToFixed(p1.x), ToFixed(p2.x)};
    int64_t y[3] = {ToFixed(p0.y), ToFixed(p1.y), ToFixed(p2.y)};
    int64_t area2 = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    if (area2 == 0) return;
    if (area2 < 0) {
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
    }
    RasterPiece piece;
    for (int e = 0; e < 3; ++e) {
        int a = e, b = (e + 1) % 3;
        EdgeFunction& f = piece.edge[e];
        f.a = -(y[b] - y[a]);
        f.b = x[b] - x[a];
        f.c = -(f.a * x[a] + f.b * y[a]);
        // Top-left rule (rows downward, interior on the positive side): samples exactly on a
        // left or top edge belong to this triangle, on other edges to the neighbour.
        bool topLeft = f.a > 0 || (f.a == 0 && f.b > 0);
        if (!topLeft) f.c -= 1;
    }
    int64_t minX = std::min({x[0], x[1], x[2]}), maxX = std::max({x[0], x[1], x[2]});
    int64_t minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
    piece.minX = static_cast<int>(std::max<int64_t>(minX >> kSubPixelBits, 0));
    piece.minY = static_cast<int>(std::max<int64_t>(minY >> kSubPixelBits, 0));
    piece.maxX = static_cast<int>(std::min<int64_t>(maxX >> kSubPixelBits, width - 1));
    piece.maxY = static_cast<int>(std::min<int64_t>(maxY >> kSubPixelBits, height - 1));
    if (piece.minX > piece.maxX || piece.minY > piece.maxY) return;
    out.piece[out.pieceCount++] = piece;
    out.minX = std::min(out.minX, piece.minX);
    out.minY = std::min(out.minY, piece.minY);
    out.maxX = std::max(out.maxX, piece.maxX);
    out.maxY = std::max(out.maxY, piece.maxY);
}

}  // namespace

bool SceneView::Corners(uint32_t triangle, Corner out[3]) const {
    const __Triangle3ds& t = triangles[triangle];
    for (int k = 0; k < 3; ++k) {
        uint32_t index = t.index[k];
        if (index >= pointCount) return false;
        const __Point3ds& p = points[index];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
        out[k] = {centerX + p.x, centerY + p.y, &p};
    }
    return true;
}

bool SetupRasterTriangle(const SceneView& scene, uint32_t triangle, RasterTriangle& out,
                         bool withDepth) {
    Corner c[3];
    out.pieceCount = 0;
    if (!scene.Corners(triangle, c)) return false;
    double minX = std::min({c[0].x, c[1].x, c[2].x}), maxX = std::max({c[0].x, c[1].x, c[2].x});
    double minY = std::min({c[0].y, c[1].y, c[2].y}), maxY = std::max({c[0].y, c[1].y, c[2].y});
    double w = scene.width, h = scene.height;
    if (maxX < 0 || maxY < 0 || minX > w || minY > h) return false;
    out.minX = scene.width;
    out.minY = scene.height;
    out.maxX = out.maxY = -1;
    if (withDepth) {
        out.z = MakePlane(c, c[0].point->z, c[1].point->z, c[2].point->z);
        out.minZ = std::min({c[0].point->z, c[1].point->z, c[2].point->z});
        out.maxZ = std::max({c[0].point->z, c[1].point->z, c[2].point->z});
    }

    Point2 poly[10];
    for (int k = 0; k < 3; ++k) poly[k] = {c[k].x, c[k].y};
    int n = 3;
    if (minX < -kGuardBand || minY < -kGuardBand || maxX > w + kGuardBand ||
        maxY > h + kGuardBand) {
        Point2 tmp[10];
        n = ClipAgainst(poly, n, tmp, true, -kGuardBand, 1);
        n = ClipAgainst(tmp, n, poly, true, w + kGuardBand, -1);
        n = ClipAgainst(poly, n, tmp, false, -kGuardBand, 1);
        n = ClipAgainst(tmp, n, poly, false, h + kGuardBand, -1);
    }
    for (int i = 1; i + 1 < n; ++i) {
        AddPiece(poly[0], poly[i], poly[i + 1], scene.width, scene.height, out);
    }
    return out.pieceCount > 0;
}

bool TouchesRect(const RasterTriangle& t, int x0, int y0, int x1, int y1) {
    int64_t fx[2] = {int64_t{x0} * kSubPixel, int64_t{x1} * kSubPixel};
    int64_t fy[2] = {int64_t{y0} * kSubPixel, int64_t{y1} * kSubPixel};
    for (int p = 0; p < t.pieceCount; ++p) {
        const RasterPiece& piece = t.piece[p];
        if (piece.maxX < x0 || piece.minX >= x1 || piece.maxY < y0 || piece.minY >= y1) continue;
        bool outside = false;
        for (const EdgeFunction& e : piece.edge) {
            int64_t best = std::numeric_limits<int64_t>::min();
            for (int64_t X : fx) {
                for (int64_t Y : fy) best = std::max(best, e.a * X + e.b * Y + e.c);
            }
            if (best < 0) outside = true;
        }
        if (!outside) return true;
    }
    return false;
}

SamplePattern CentreSample() {
    return SamplePattern{};
}

SamplePattern SixteenSamples() {
    // A rotated 16-sample pattern (in 1/16 pixel from the centre): every row and column of
    // the 16 x 16 grid holds one sample, so near-horizontal and near-vertical edges get 16
    // coverage levels.
    static const int kPattern[16][2] = {{1, 1},  {-1, -3}, {-3, 2}, {4, -1}, {-5, -2}, {2, 5},
                                        {5, 3},  {3, -5},  {-2, 6}, {0, -7}, {-4, -6}, {-6, 4},
                                        {-8, 0}, {7, -4},  {6, 7},  {-7, -8}};
    SamplePattern p;
    p.count = 16;
    for (int s = 0; s < 16; ++s) {
        p.ox[s] = static_cast<int>(kSubPixel / 2) + kPattern[s][0] * 16;
        p.oy[s] = static_cast<int>(kSubPixel / 2) + kPattern[s][1] * 16;
    }
    return p;
}

void TileVisibility::Reset(int x, int y, int w, int h, int sampleCount) {
    x0 = x;
    y0 = y;
    width = w;
    height = h;
    samples = sampleCount;
    size_t n = static_cast<size_t>(w) * h * sampleCount;
    depth.assign(n, -std::numeric_limits<float>::infinity());
    // A sample no triangle holds keeps depth -inf (no triangle can be nearer than that and
    // not win), so its stale id needs no clearing.
    id.resize(n);
    uncovered = n;
    floorDepth = -std::numeric_limits<float>::infinity();
    floorValid = false;
    sinceFloor = 0;
    std::fill(std::begin(rowFloor), std::end(rowFloor), -std::numeric_limits<float>::infinity());
    dirtyRows = 0;
    std::fill(std::begin(rowFirst), std::end(rowFirst), kTileSize);
    std::fill(std::begin(rowLast), std::end(rowLast), -1);
}

void TileVisibility::RefreshFloors() {
    const size_t rowSamples = static_cast<size_t>(width) * samples;
    for (uint32_t rows = dirtyRows; rows != 0; rows &= rows - 1) {
        const int r = std::countr_zero(rows);
        const float* row = depth.data() + r * rowSamples;
        // Four running minima (depths are never NaN); rows hold a multiple of four samples
        // except in one-sample tiles narrower than four pixels.
        __m128 low = _mm_set1_ps(std::numeric_limits<float>::infinity());
        size_t i = 0;
        for (; i + 4 <= rowSamples; i += 4) low = _mm_min_ps(low, _mm_loadu_ps(row + i));
        float lanes[4];
        _mm_storeu_ps(lanes, low);
        float m = std::min({lanes[0], lanes[1], lanes[2], lanes[3]});
        for (; i < rowSamples; ++i) m = std::min(m, row[i]);
        rowFloor[r] = m;
    }
    dirtyRows = 0;
    floorDepth = *std::min_element(rowFloor, rowFloor + height);
    floorValid = true;
    sinceFloor = 0;
}

bool TileVisibility::Hides(float minZ, float maxZ) {
    if (uncovered > 0) return false;
    // The floor only rises as triangles win samples, so a stale one is still safe; it is
    // refreshed after a number of triangles were drawn, not for rejected ones.
    if (!floorValid || sinceFloor >= 64) RefreshFloors();
    return NearestSampleBound(minZ, maxZ) <= floorDepth;
}

bool SceneView::DepthRange(uint32_t triangle, float& minZ, float& maxZ) const {
    const __Triangle3ds& t = triangles[triangle];
    float z[3];
    for (int k = 0; k < 3; ++k) {
        if (t.index[k] >= pointCount) return false;
        z[k] = points[t.index[k]].z;
        if (!std::isfinite(z[k])) return false;
    }
    minZ = std::min({z[0], z[1], z[2]});
    maxZ = std::max({z[0], z[1], z[2]});
    return true;
}

namespace {

using F4 = Lanes<4>::F;
using I4 = Lanes<4>::I;

// What the one-sample rows of a triangle piece share: edge steps for four pixels side by
// side in wrapping 32-bit arithmetic (exact in the lanes inside a row's span, whatever the
// masked ones hold), and the depth plane as Plane::At evaluates it.
struct SingleSampleLanes {
    using U4 = uint32_t __attribute__((vector_size(16)));
    U4 step[3], step4[3];
    F4 a0, ax, x0;
    I4 idLanes;
    const Plane* plane;
    float dz;
    uint32_t id;
    int tileX0, lastGroup;  // the last pixel a group of four may start at

    SingleSampleLanes(const EdgeFunction* f, const Plane& z, float sampleDz, uint32_t triangle,
                      int tileLeft, int tileWidth)
        : plane(&z),
          dz(sampleDz),
          id(triangle),
          tileX0(tileLeft),
          lastGroup(tileLeft + tileWidth - 4) {
        for (int e = 0; e < 3; ++e) {
            // Built from scalars: SSE2 has no 32-bit lane multiply.
            const uint32_t u = static_cast<uint32_t>(f[e].a * kSubPixel);
            step[e] = U4{0, u, 2 * u, 3 * u};
            step4[e] = U4{} + 4 * u;
        }
        a0 = F4{} + z.a0;
        ax = F4{} + z.ax;
        x0 = F4{} + z.x0;
        idLanes = I4{} + static_cast<int32_t>(triangle);
    }
};

// The pixels [from, to] of row py at one sample each, four side by side; e[] are the edge
// values at the first pixel's sample, s[] their steps per pixel. Groups may reach past `to`
// (those lanes are masked) but not past the tile's row.
size_t SingleSampleSpan(const SingleSampleLanes& lanes, int from, int to, int py,
                        const int64_t e[3], const int64_t s[3], float* depthRow, uint32_t* idRow) {
    using U4 = SingleSampleLanes::U4;
    int px = from;
    int64_t e0 = e[0], e1 = e[1], e2 = e[2];
    const Plane& plane = *lanes.plane;
    const int tileX0 = lanes.tileX0;
    I4 taken = I4{};
    if (px <= lanes.lastGroup) {
        U4 l0 = U4{} + static_cast<uint32_t>(e0) + lanes.step[0];
        U4 l1 = U4{} + static_cast<uint32_t>(e1) + lanes.step[1];
        U4 l2 = U4{} + static_cast<uint32_t>(e2) + lanes.step[2];
        const F4 none = F4{} - std::numeric_limits<float>::infinity();
        const I4 laneOffsets{0, 1, 2, 3};
        const F4 rowTerm = F4{} + plane.ay * (static_cast<float>(py) - plane.y0);
        for (; px <= to && px <= lanes.lastGroup;
             px += 4, l0 += lanes.step4[0], l1 += lanes.step4[1], l2 += lanes.step4[2]) {
            const I4 pixels = I4{} + px + laneOffsets;
            const I4 inside = (__builtin_convertvector(l0 | l1 | l2, I4) >= 0) & (pixels <= to);
            if (Lanes<4>::Signs(inside) == 0) continue;
            const F4 x = __builtin_convertvector(pixels, F4);
            const F4 z = (lanes.a0 + lanes.ax * (x - lanes.x0) + rowTerm) + lanes.dz;
            float* depth = depthRow + (px - tileX0);
            uint32_t* ids = idRow + (px - tileX0);
            const F4 held = LoadLanes<F4>(depth);
            const I4 heldId = LoadLanes<I4>(ids);
            const I4 nearer = inside & (z > held);
            taken -= nearer & (held == none);
            StoreLanes(depth, nearer ? z : held);
            StoreLanes(ids, nearer ? lanes.idLanes : heldId);
        }
        const int64_t done = px - from;
        e0 += s[0] * done;
        e1 += s[1] * done;
        e2 += s[2] * done;
    }
    size_t count = static_cast<size_t>(taken[0]) + taken[1] + taken[2] + taken[3];
    for (; px <= to; ++px, e0 += s[0], e1 += s[1], e2 += s[2]) {
        if ((e0 | e1 | e2) < 0) continue;
        float z = plane.At(static_cast<float>(px), static_cast<float>(py)) + lanes.dz;
        float& depth = depthRow[px - tileX0];
        if (z > depth) {
            uint32_t& held = idRow[px - tileX0];
            count += depth == -std::numeric_limits<float>::infinity();
            depth = z;
            held = lanes.id;
        }
    }
    return count;
}

// kCount > 0: the pattern's sample count known at compile time, which lets the compiler
// unroll and vectorise the per-sample loops of the two patterns in use.
template <int kCount>
void RasterizeWith(const RasterTriangle& t, uint32_t id, const SamplePattern& pattern,
                   TileVisibility& tile, bool wideLanes) {
    const int count = kCount > 0 ? kCount : pattern.count;
    // The tile's fields in locals: the stores into its buffers could otherwise alias them.
    float* const depthData = tile.depth.data();
    uint32_t* const idData = tile.id.data();
    const int tileX0 = tile.x0, tileY0 = tile.y0;
    const size_t tileWidth = static_cast<size_t>(tile.width);
    size_t uncovered = tile.uncovered;
    // Rows whose every sample is at least as near as any sample of the triangle could be
    // are skipped: no sample there could take it.
    const float* const rowFloor = tile.rowFloor;
    const float reach = NearestSampleBound(t.minZ, t.maxZ);
    uint32_t drawnRows = 0;
    float dz[kMaxSamples];
    for (int s = 0; s < count; ++s) {
        dz[s] = t.z.ax * (pattern.ox[s] / static_cast<float>(kSubPixel)) +
                t.z.ay * (pattern.oy[s] / static_cast<float>(kSubPixel));
    }
    for (int p = 0; p < t.pieceCount; ++p) {
        const RasterPiece& piece = t.piece[p];
        int xa = std::max(piece.minX, tile.x0), xb = std::min(piece.maxX, tile.x0 + tile.width - 1);
        int ya = std::max(piece.minY, tile.y0),
            yb = std::min(piece.maxY, tile.y0 + tile.height - 1);
        if (xa > xb || ya > yb) continue;
        int64_t off[3][kMaxSamples], lo[3], hi[3];
        for (int e = 0; e < 3; ++e) {
            lo[e] = std::numeric_limits<int64_t>::max();
            hi[e] = std::numeric_limits<int64_t>::min();
            for (int s = 0; s < count; ++s) {
                off[e][s] = piece.edge[e].a * pattern.ox[s] + piece.edge[e].b * pattern.oy[s];
                lo[e] = std::min(lo[e], off[e][s]);
                hi[e] = std::max(hi[e], off[e][s]);
            }
        }
        const EdgeFunction* f = piece.edge;
        // Over this piece's part of the tile every edge value fits in 31 bits unless the
        // triangle is hundreds of pixels long: its samples are then tested in 32-bit lanes.
        // One sample per pixel gains from it only along rows of four pixels or more.
        bool narrow = kCount == 16 || xb - xa >= 3;
        for (int e = 0; e < 3 && narrow; ++e) {
            int64_t lowest = std::numeric_limits<int64_t>::max();
            int64_t highest = std::numeric_limits<int64_t>::min();
            for (int64_t X : {int64_t{xa} * kSubPixel, int64_t{xb + 1} * kSubPixel}) {
                for (int64_t Y : {int64_t{ya} * kSubPixel, int64_t{yb + 1} * kSubPixel}) {
                    int64_t v = f[e].a * X + f[e].b * Y + f[e].c;
                    lowest = std::min(lowest, v);
                    highest = std::max(highest, v);
                }
            }
            narrow = lowest >= -(int64_t{1} << 30) && highest < (int64_t{1} << 30);
        }
        // Wide rows look for their span of covered pixels (below), with the reciprocals of
        // the edges' steps; one sample per pixel in 32-bit lanes tests short rows whole.
        const bool wide = xb - xa >= (kCount == 1 && narrow ? 12 : 4);
        double inverseStep[3] = {0, 0, 0};
        for (int e = 0; e < 3 && wide; ++e) {
            if (f[e].a != 0) inverseStep[e] = 1.0 / static_cast<double>(f[e].a * kSubPixel);
        }
        std::optional<SingleSampleLanes> lanes1;
        if (kCount == 1 && narrow) lanes1.emplace(f, t.z, dz[0], id, tileX0, tile.width);
        int32_t off32[3][16] = {};
        SixteenSampleRow row16;
        if constexpr (kCount == 16) {
            for (int e = 0; e < 3 && narrow; ++e) {
                for (int s = 0; s < 16; ++s) off32[e][s] = static_cast<int32_t>(off[e][s]);
            }
            row16.off = off;
            row16.lo = lo;
            row16.hi = hi;
            row16.narrow = narrow;
            row16.off32 = off32;
            row16.dz = dz;
            row16.plane = &t.z;
            row16.id = id;
            row16.tileX0 = tileX0;
            for (int e = 0; e < 3; ++e) row16.step[e] = f[e].a * kSubPixel;
        }
        const uint32_t allSamples = count == 32 ? 0xFFFFFFFFu : (1u << count) - 1;
        const int64_t s0 = f[0].a * kSubPixel, s1 = f[1].a * kSubPixel, s2 = f[2].a * kSubPixel;
        // Edge values at the first pixel's corner of each row, stepped from row to row.
        int64_t rowStart[3], rowStep[3];
        for (int e = 0; e < 3; ++e) {
            rowStart[e] = f[e].a * (xa * kSubPixel) + f[e].b * ((ya - 1) * kSubPixel) + f[e].c;
            rowStep[e] = f[e].b * kSubPixel;
        }
        for (int py = ya; py <= yb; ++py) {
            for (int e = 0; e < 3; ++e) rowStart[e] += rowStep[e];
            if (reach <= rowFloor[py - tileY0]) continue;
            // Thin diagonal triangles fill a small part of their bounding box: step only over
            // the span of pixels that may hold a covered sample. Narrow rows skip the divisions:
            // the test per pixel rejects the same pixels.
            int first = 0, last = xb - xa;
            for (int e = 0; e < 3 && first <= last && wide; ++e) {
                int64_t step = f[e].a * kSubPixel, reach = rowStart[e] + hi[e];
                if (step == 0) {
                    if (reach < 0) last = -1;
                } else if (step > 0) {
                    if (reach < 0) {
                        first = static_cast<int>(std::max<int64_t>(
                            first, std::min<int64_t>(last + 1,
                                                     FirstReached(reach, step, inverseStep[e]))));
                    }
                } else {
                    last = static_cast<int>(
                        std::min<int64_t>(last, LastReached(reach, -step, -inverseStep[e])));
                }
            }
            if (first > last) continue;
            drawnRows |= 1u << (py - tileY0);
            int& rowFirst = tile.rowFirst[py - tileY0];
            int& rowLast = tile.rowLast[py - tileY0];
            rowFirst = std::min(rowFirst, xa + first - tileX0);
            rowLast = std::max(rowLast, xa + last - tileX0);
            const size_t rowBase = static_cast<size_t>(py - tileY0) * tileWidth * count;
            int64_t e0 = rowStart[0] + s0 * first, e1 = rowStart[1] + s1 * first,
                    e2 = rowStart[2] + s2 * first;
            if constexpr (kCount == 1) {
                if (narrow) {
                    const int64_t e[3] = {e0 + off[0][0], e1 + off[1][0], e2 + off[2][0]};
                    const int64_t s[3] = {s0, s1, s2};
                    uncovered -= SingleSampleSpan(*lanes1, xa + first, xa + last, py, e, s,
                                                  depthData + rowBase, idData + rowBase);
                    continue;
                }
            }
            if constexpr (kCount == 16) {
                row16.from = xa + first;
                row16.to = xa + last;
                row16.py = py;
                row16.e[0] = e0;
                row16.e[1] = e1;
                row16.e[2] = e2;
                row16.depthRow = depthData + rowBase;
                row16.idRow = idData + rowBase;
                uncovered -=
                    wideLanes ? SixteenSampleSpan8(row16) : SixteenSampleSpanLanes<4>(row16);
                continue;
            }
            for (int px = xa + first; px <= xa + last; ++px, e0 += s0, e1 += s1, e2 += s2) {
                if (e0 + hi[0] < 0 || e1 + hi[1] < 0 || e2 + hi[2] < 0) continue;
                uint32_t mask = allSamples;
                if (e0 + lo[0] < 0 || e1 + lo[1] < 0 || e2 + lo[2] < 0) {
                    // An edge crosses the pixel: a sample is in when no edge value is negative,
                    // i.e. when the sign bit of their OR is clear.
                    mask = 0;
                    for (int s = 0; s < count; ++s) {
                        mask |= static_cast<uint32_t>(
                                    ((e0 + off[0][s]) | (e1 + off[1][s]) | (e2 + off[2][s])) >= 0)
                                << s;
                    }
                }
                float zp = t.z.At(static_cast<float>(px), static_cast<float>(py));
                const size_t base = rowBase + static_cast<size_t>(px - tileX0) * count;
                float* depth = depthData + base;
                uint32_t* ids = idData + base;
                if (mask == allSamples) {
                    // Inside the triangle: a branch-free pass the compiler vectorises.
                    size_t taken = 0;
                    for (int s = 0; s < count; ++s) {
                        float z = zp + dz[s];
                        bool nearer = z > depth[s];
                        taken += nearer && depth[s] == -std::numeric_limits<float>::infinity();
                        depth[s] = nearer ? z : depth[s];
                        ids[s] = nearer ? id : ids[s];
                    }
                    uncovered -= taken;
                    continue;
                }
                for (; mask != 0; mask &= mask - 1) {
                    int s = std::countr_zero(mask);
                    float z = zp + dz[s];
                    if (z > depth[s]) {
                        uncovered -= depth[s] == -std::numeric_limits<float>::infinity();
                        depth[s] = z;
                        ids[s] = id;
                    }
                }
            }
        }
    }
    tile.uncovered = uncovered;
    tile.dirtyRows |= drawnRows;
}

}  // namespace

void RasterizeIntoTile(const RasterTriangle& t, uint32_t id, const SamplePattern& pattern,
                       TileVisibility& tile, bool wideLanes) {
    // Row floors fresh enough to skip rows of triangles hidden behind the nearer ones.
    if (++tile.sinceFloor >= 16 && tile.dirtyRows != 0) tile.RefreshFloors();
    switch (pattern.count) {
        case 1:
            return RasterizeWith<1>(t, id, pattern, tile, wideLanes);
        case 16:
            return RasterizeWith<16>(t, id, pattern, tile, wideLanes);
        default:
            return RasterizeWith<0>(t, id, pattern, tile, wideLanes);
    }
}

const uint32_t* TileBins::Begin(int tx, int ty) const {
    return ids.data() + start[static_cast<size_t>(ty - firstRow) * tilesX + tx];
}

const uint32_t* TileBins::End(int tx, int ty) const {
    return ids.data() + start[static_cast<size_t>(ty - firstRow) * tilesX + tx + 1];
}

Binner::Binner(const SceneView& scene, int threads, bool lineMargin)
    : scene_(scene), threads_(threads), lineMargin_(lineMargin) {
    tilesX_ = (scene.width + kTileSize - 1) / kTileSize;
    tilesY_ = (scene.height + kTileSize - 1) / kTileSize;
    // Chunks of at least a few thousand triangles: fewer chunks keep the count table small.
    uint32_t t = scene.triangleCount;
    chunks_ = static_cast<int>(std::clamp<uint32_t>(t / 4096, 1, std::max(1, threads)));
    chunkSize_ = (t + chunks_ - 1) / chunks_;
    size_t tiles = static_cast<size_t>(tilesX_) * tilesY_;
    counts_.assign(static_cast<size_t>(chunks_) * tiles, 0);
    // Only a shortcut for the fill: without the memory for it every triangle is set up again.
    try {
        onlyTile_.assign(t, kNoTile);
    } catch (const std::bad_alloc&) {
        onlyTile_.clear();
    }
    const bool remember = !onlyTile_.empty();
    ParallelFor(threads_, chunks_, [&](int, int chunk) {
        uint32_t* counts = counts_.data() + static_cast<size_t>(chunk) * tiles;
        uint32_t end = std::min<uint32_t>(t, (chunk + 1) * chunkSize_);
        RasterTriangle rt;
        uint32_t unused = kNoTile;
        for (uint32_t i = chunk * chunkSize_; i < end; ++i) {
            if (!SetupRasterTriangle(scene_, i, rt, false)) continue;
            uint32_t& only = remember ? onlyTile_[i] : unused;
            ForEachTile(rt, 0, tilesY_, [&](size_t tile) {
                ++counts[tile];
                only = only == kNoTile ? static_cast<uint32_t>(tile) : kManyTiles;
            });
        }
    });
    for (uint32_t c : counts_) total_ += c;
}

uint64_t Binner::RowTotal(int row) const {
    uint64_t sum = 0;
    size_t tiles = static_cast<size_t>(tilesX_) * tilesY_;
    for (int c = 0; c < chunks_; ++c) {
        const uint32_t* counts = counts_.data() + c * tiles + static_cast<size_t>(row) * tilesX_;
        for (int x = 0; x < tilesX_; ++x) sum += counts[x];
    }
    return sum;
}

template <class Visit>
void Binner::ForEachTile(const RasterTriangle& t, int firstRow, int endRow, Visit visit) const {
    int margin = lineMargin_ ? 1 : 0;
    int minX = std::max(t.minX - margin, 0), maxX = std::min(t.maxX + margin, scene_.width - 1);
    int minY = std::max(t.minY - margin, 0), maxY = std::min(t.maxY + margin, scene_.height - 1);
    int tx0 = minX / kTileSize, tx1 = maxX / kTileSize;
    int ty0 = std::max(minY / kTileSize, firstRow), ty1 = std::min(maxY / kTileSize, endRow - 1);
    // Small triangles go by their bounding box; long thin ones are tested tile by tile.
    bool exact =
        !lineMargin_ &&
        (tx1 - tx0 + 1) * static_cast<int64_t>(maxY / kTileSize - minY / kTileSize + 1) > 2;
    for (int ty = ty0; ty <= ty1; ++ty) {
        for (int tx = tx0; tx <= tx1; ++tx) {
            if (exact && !TouchesRect(t, tx * kTileSize, ty * kTileSize, (tx + 1) * kTileSize,
                                      (ty + 1) * kTileSize)) {
                continue;
            }
            visit(static_cast<size_t>(ty) * tilesX_ + tx);
        }
    }
}

void Binner::Reserve(int rows, uint64_t entries, TileBins& bins) const {
    // In a 32-bit build the count may pass what a vector can hold at all.
    if (entries > bins.ids.max_size()) throw std::bad_alloc();
    const size_t bandTiles = static_cast<size_t>(rows) * tilesX_;
    bins.start.reserve(bandTiles + 1);
    bins.cursor.reserve(static_cast<size_t>(chunks_) * bandTiles);
    bins.ids.reserve(static_cast<size_t>(entries));
}

void Binner::Fill(int firstRow, int rowCount, TileBins& bins) const {
    size_t tiles = static_cast<size_t>(tilesX_) * tilesY_;
    size_t first = static_cast<size_t>(firstRow) * tilesX_;
    size_t bandTiles = static_cast<size_t>(rowCount) * tilesX_;
    bins.tilesX = tilesX_;
    bins.tilesY = tilesY_;
    bins.firstRow = firstRow;
    bins.rowCount = rowCount;
    bins.start.assign(bandTiles + 1, 0);
    // Each chunk writes its own slice of every bin: chunk order is triangle order, so the
    // bins come out in array order whatever the thread count.
    bins.cursor.assign(static_cast<size_t>(chunks_) * bandTiles, 0);
    uint64_t position = 0;
    for (size_t i = 0; i < bandTiles; ++i) {
        bins.start[i] = position;
        for (int c = 0; c < chunks_; ++c) {
            bins.cursor[c * bandTiles + i] = position;
            position += counts_[c * tiles + first + i];
        }
    }
    bins.start[bandTiles] = position;
    if (position > bins.ids.max_size()) throw std::bad_alloc();
    bins.ids.resize(static_cast<size_t>(position));
    uint32_t t = scene_.triangleCount;
    ParallelFor(threads_, chunks_, [&](int, int chunk) {
        uint64_t* mine = bins.cursor.data() + static_cast<size_t>(chunk) * bandTiles;
        uint32_t end = std::min<uint32_t>(t, (chunk + 1) * chunkSize_);
        RasterTriangle rt;
        for (uint32_t i = chunk * chunkSize_; i < end; ++i) {
            uint32_t only = onlyTile_.empty() ? kManyTiles : onlyTile_[i];
            if (only == kNoTile) continue;
            if (only != kManyTiles) {
                if (only >= first && only < first + bandTiles) bins.ids[mine[only - first]++] = i;
                continue;
            }
            if (!SetupRasterTriangle(scene_, i, rt, false)) continue;
            ForEachTile(rt, firstRow, firstRow + rowCount,
                        [&](size_t tile) { bins.ids[mine[tile - first]++] = i; });
        }
    });
}

}  // namespace fw::prismcore
