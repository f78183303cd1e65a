// Border tracing speed and memory on full-size selections.
//
// Counters: points/segments exported, peak_MiB = most heap memory the builder held at once
// (counted by the replaced operator new below; the caller's mask is not included),
// export_MiB = the exported arrays on top of it (malloc'd), mask_MiB = size of the mask for
// comparison. The pixel-noise runs are timed with the smoothing shared with a second thread
// (the default) and on the calling thread alone.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "mask/mesh_builder.h"

namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};

void Track(size_t bytes) {
    const size_t now = g_live.fetch_add(bytes) + bytes;
    size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}

}  // namespace

// Every allocation carries its size in a 16-byte header so frees can be counted.
void* operator new(size_t bytes) {
    void* block = std::malloc(bytes + 16);
    if (!block) throw std::bad_alloc();
    *static_cast<size_t*>(block) = bytes;
    Track(bytes);
    return static_cast<char*>(block) + 16;
}
void* operator new[](size_t bytes) {
    return operator new(bytes);
}
void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
    try {
        return operator new(bytes);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept {
    return operator new(bytes, std::nothrow);
}
void operator delete(void* p) noexcept {
    if (!p) return;
    char* block = static_cast<char*>(p) - 16;
    g_live.fetch_sub(*reinterpret_cast<size_t*>(block));
    std::free(block);
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}
void operator delete[](void* p, size_t) noexcept {
    operator delete(p);
}

namespace {

constexpr int kSide = 8000;

// Thresholded value noise: blobs with long, irregular borders in every direction.
std::vector<uint8_t> NoiseMask(int side, int cell, uint32_t seed) {
    const int lattice = side / cell + 2;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    std::vector<float> fine(size_t(lattice) * lattice), coarse(size_t(lattice) * lattice);
    for (float& v : fine) v = u(rng);
    for (float& v : coarse) v = u(rng);
    auto sample = [&](const std::vector<float>& grid, float x, float y) {
        const int ix = int(x), iy = int(y);
        float fx = x - ix, fy = y - iy;
        fx = fx * fx * (3 - 2 * fx);
        fy = fy * fy * (3 - 2 * fy);
        const float* row0 = &grid[size_t(iy) * lattice + ix];
        const float* row1 = row0 + lattice;
        const float top = row0[0] + (row0[1] - row0[0]) * fx;
        const float bottom = row1[0] + (row1[1] - row1[0]) * fx;
        return top + (bottom - top) * fy;
    };
    std::vector<uint8_t> mask(size_t(side) * side);
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const float v =
                sample(coarse, float(c) / (4 * cell) + 0.5f, float(r) / (4 * cell) + 0.5f) +
                0.5f * sample(fine, float(c) / cell, float(r) / cell);
            mask[size_t(r) * side + c] = v > 0.75f ? 255 : 0;
        }
    return mask;
}

// Rows of "text": every 48 x 64 cell holds a glyph of thick strokes (bars, diagonals,
// rings), so the selection has tens of thousands of separate outlines, holes and staircases.
std::vector<uint8_t> TextMask(int side, uint32_t seed) {
    std::vector<uint8_t> mask(size_t(side) * side, 0);
    std::mt19937 rng(seed);
    auto plot = [&](int r, int c) {
        if (r >= 0 && c >= 0 && r < side && c < side) mask[size_t(r) * side + c] = 255;
    };
    auto stroke = [&](float x0, float y0, float x1, float y1, float width) {
        const int steps = int(std::hypot(x1 - x0, y1 - y0)) + 1;
        for (int i = 0; i <= steps; ++i) {
            const float x = x0 + (x1 - x0) * i / steps, y = y0 + (y1 - y0) * i / steps;
            for (int dy = -int(width); dy <= int(width); ++dy)
                for (int dx = -int(width); dx <= int(width); ++dx)
                    if (dx * dx + dy * dy <= width * width) plot(int(y) + dy, int(x) + dx);
        }
    };
    for (int top = 8; top + 64 <= side; top += 72)
        for (int left = 8; left + 48 <= side; left += 56) {
            const int strokes = 2 + int(rng() % 3);
            for (int s = 0; s < strokes; ++s) {
                const float w = 2.5f + float(rng() % 3);
                switch (rng() % 4) {
                    case 0:
                        stroke(left + 4, top + 8 + rng() % 48, left + 44, top + 8 + rng() % 48, w);
                        break;
                    case 1:
                        stroke(left + 8 + rng() % 32, top + 4, left + 8 + rng() % 32, top + 60, w);
                        break;
                    case 2:
                        stroke(left + 4, top + 60, left + 44, top + 4, w);
                        break;
                    default: {
                        const float cx = left + 24.0f, cy = top + 32.0f, rad = 12.0f + rng() % 8;
                        for (int a = 0; a < 24; ++a) {
                            const float t0 = a * 0.2618f, t1 = (a + 1) * 0.2618f;
                            stroke(cx + rad * std::cos(t0), cy + rad * std::sin(t0),
                                   cx + rad * std::cos(t1), cy + rad * std::sin(t1), w);
                        }
                    }
                }
            }
        }
    return mask;
}

void RunLoadMask(benchmark::State& state, const std::vector<uint8_t>& mask, int side,
                 bool oneThread = false) {
    uint32_t pointCount = 0, segmentCount = 0;
    size_t peak = 0;
    for (auto _ : state) {
        const size_t base = g_live.load();
        g_peak.store(base);
        fw::CMeshBuilder builder;
        if (oneThread) builder.SetHelper(0, 0);
        float* points = nullptr;
        uint32_t* segments = nullptr;
        if (!builder.LoadMask(side, side, side, mask.data(), 1.0f, 30, pointCount, segmentCount,
                              points, segments)) {
            state.SkipWithError("LoadMask failed");
            return;
        }
        benchmark::DoNotOptimize(points);
        fw::CMeshBuilder::FreeArrays(points, segments);
        peak = g_peak.load() - base;
    }
    state.counters["points"] = pointCount;
    state.counters["segments"] = segmentCount;
    state.counters["peak_MiB"] = double(peak) / (1 << 20);
    state.counters["export_MiB"] = double(pointCount + segmentCount) * 8 / (1 << 20);
    state.counters["mask_MiB"] = double(mask.size()) / (1 << 20);
}

void BM_LoadMaskNoise8000(benchmark::State& state) {
    static const std::vector<uint8_t> mask = NoiseMask(kSide, int(state.range(0)), 11);
    RunLoadMask(state, mask, kSide);
}
BENCHMARK(BM_LoadMaskNoise8000)->Arg(24)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadMaskText8000(benchmark::State& state) {
    static const std::vector<uint8_t> mask = TextMask(kSide, 5);
    RunLoadMask(state, mask, kSide);
}
BENCHMARK(BM_LoadMaskText8000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadMaskEmpty8000(benchmark::State& state) {
    static const std::vector<uint8_t> mask(size_t(kSide) * kSide, 0);
    RunLoadMask(state, mask, kSide);
}
BENCHMARK(BM_LoadMaskEmpty8000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Worst case: every pixel a coin toss, so about half of all pixel edges are border.
void BM_LoadMaskPixelNoise(benchmark::State& state) {
    const int side = int(state.range(0));
    std::vector<uint8_t> mask(size_t(side) * side);
    std::mt19937 rng(3);
    for (uint8_t& v : mask) v = (rng() & 1) ? 255 : 0;
    RunLoadMask(state, mask, side, state.range(1) == 1);
    state.counters["pixels"] = double(side) * side;
}
BENCHMARK(BM_LoadMaskPixelNoise)
    ->ArgNames({"side", "one_thread"})
    ->Args({1000, 0})
    ->Args({2000, 0})
    ->Args({4000, 0})
    ->Args({4000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
