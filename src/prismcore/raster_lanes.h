// The sixteen samples of a pixel tested and depth-sorted W at a time (4 in SSE2 lanes, 8 in
// AVX2 lanes); either way every sample gets the same comparisons, so the picture is the same.
//
// Included by raster.cpp (W = 4) and by raster_wide.cpp, compiled for AVX2 and used only
// where the processor has it. Everything here has internal linkage, so that no AVX2 copy of
// a function can stand in for the SSE2 one at link time.
#pragma once

#include <cstdint>

#include "prismcore/lanes.h"
#include "prismcore/raster.h"

namespace fw::prismcore {

// One row of a triangle piece at sixteen samples per pixel, as the rasteriser hands it over.
struct SixteenSampleRow {
    int from = 0, to = -1, py = 0;                // pixels [from, to] of row py
    int64_t e[3] = {0, 0, 0};                     // edge values at the first pixel's corner
    int64_t step[3] = {0, 0, 0};                  // their change per pixel
    const int64_t (*off)[kMaxSamples] = nullptr;  // edge value offsets of the samples
    const int64_t* lo = nullptr;                  // per edge, the smallest and largest offset
    const int64_t* hi = nullptr;
    bool narrow = false;                   // edge values fit in 32 bits over the row
    const int32_t (*off32)[16] = nullptr;  // the offsets in 32 bits (narrow only)
    const float* dz = nullptr;             // depth offsets of the samples
    const Plane* plane = nullptr;          // depth
    uint32_t id = 0;
    int tileX0 = 0;
    float* depthRow = nullptr;  // the tile's row of samples
    uint32_t* idRow = nullptr;
};

// The AVX2 version, defined in raster_wide.cpp: only where WideLanesAvailable().
size_t SixteenSampleSpan8(const SixteenSampleRow& row);

namespace {  // NOLINT: internal linkage on purpose, see above

// Returns the samples the row took from "uncovered". A sample takes the triangle when it is
// inside and strictly nearer than what it holds.
template <int W>
size_t SixteenSampleSpanLanes(const SixteenSampleRow& row) {
    using F = typename Lanes<W>::F;
    using I = typename Lanes<W>::I;
    constexpr int G = 16 / W;  // groups of lanes per pixel
    I off32[3][G], bits[G];
    F dz[G];
    for (int g = 0; g < G; ++g) {
        for (int e = 0; e < 3; ++e)
            off32[e][g] = row.narrow ? LoadLanes<I>(row.off32[e] + g * W) : I{};
        dz[g] = LoadLanes<F>(row.dz + g * W);
        for (int k = 0; k < W; ++k) bits[g][k] = 1 << (g * W + k);
    }
    const int64_t* lo = row.lo;
    const int64_t* hi = row.hi;
    const auto* off = row.off;
    const F none = F{} - std::numeric_limits<float>::infinity();
    const I idLanes = I{} + static_cast<int32_t>(row.id);
    int64_t e0 = row.e[0], e1 = row.e[1], e2 = row.e[2];
    I taken = I{};
    for (int px = row.from; px <= row.to;
         ++px, e0 += row.step[0], e1 += row.step[1], e2 += row.step[2]) {
        if (e0 + hi[0] < 0 || e1 + hi[1] < 0 || e2 + hi[2] < 0) continue;
        I inside[G];
        if (e0 + lo[0] >= 0 && e1 + lo[1] >= 0 && e2 + lo[2] >= 0) {
            for (I& lanes : inside) lanes = I{} - 1;
        } else if (row.narrow) {
            // An edge crosses the pixel: a sample is in when no edge value is negative, i.e.
            // when the sign bit of their OR is clear. The values fit in 32 bits here.
            const I b0 = I{} + static_cast<int32_t>(e0), b1 = I{} + static_cast<int32_t>(e1),
                    b2 = I{} + static_cast<int32_t>(e2);
            for (int g = 0; g < G; ++g) {
                inside[g] = ((b0 + off32[0][g]) | (b1 + off32[1][g]) | (b2 + off32[2][g])) >= 0;
            }
        } else {
            int32_t mask = 0;
            for (int s = 0; s < 16; ++s) {
                mask |= static_cast<int32_t>(
                            ((e0 + off[0][s]) | (e1 + off[1][s]) | (e2 + off[2][s])) >= 0)
                        << s;
            }
            for (int g = 0; g < G; ++g) inside[g] = ((I{} + mask) & bits[g]) != 0;
        }
        const Plane& plane = *row.plane;
        const F zp = F{} + (plane.a0 + plane.ax * (static_cast<float>(px) - plane.x0) +
                            plane.ay * (static_cast<float>(row.py) - plane.y0));
        const size_t base = static_cast<size_t>(px - row.tileX0) * 16;
        F z[G], held[G];
        I nearer[G];
        I any = I{};
        for (int g = 0; g < G; ++g) {
            z[g] = zp + dz[g];
            held[g] = LoadLanes<F>(row.depthRow + base + g * W);
            nearer[g] = inside[g] & (z[g] > held[g]);
            any |= nearer[g];
        }
        // Behind what the pixel holds: the usual fate of a triangle in overlapping frost.
        if (Lanes<W>::Signs(any) == 0) continue;
        for (int g = 0; g < G; ++g) {
            uint32_t* ids = row.idRow + base + g * W;
            const I heldId = LoadLanes<I>(ids);
            taken -= nearer[g] & (held[g] == none);
            const F depth = nearer[g] ? z[g] : held[g];
            const I newIds = nearer[g] ? idLanes : heldId;
            StoreLanes(row.depthRow + base + g * W, depth);
            StoreLanes(ids, newIds);
        }
    }
    size_t count = 0;
    for (int k = 0; k < W; ++k) count += static_cast<size_t>(taken[k]);
    return count;
}

}  // namespace
}  // namespace fw::prismcore
