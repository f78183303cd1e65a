#include "prismcore/renderer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <thread>

#include <emmintrin.h>

namespace fw::prismcore {
namespace {

// Shading waits in a queue per worker; set-ups of the triangles it needs are made once per
// tile. Both are fixed in size, so the memory per worker stays bounded: a full queue or
// table is shaded and emptied between two pixels.
constexpr uint32_t kSetupCapacity = 256;
constexpr uint32_t kSetupTableSize = 1024;  // power of two, a quarter full at most
constexpr size_t kRequestCapacity = 2048;
// Lines in the hidden-line mode stay visible against a fill this far in front of them, so a
// triangle's own surface and coplanar neighbours never hide its edges.
constexpr float kLineDepthTolerance = 0.01f;
// Worker threads beyond this gain nothing and only cost stacks, which a 32-bit host's
// address space can least afford.
constexpr int kMaxThreads = sizeof(void*) == 4 ? 16 : 64;

// Mean of `samples` sub-pixel offsets summing to `sum` (>= 0), rounded half to even to 1/64
// pixel. In integers: the mean in 1/64 pixel is sum / (4 samples) for 1/256-pixel offsets.
float CentreOffset(int sum, int samples) {
    static_assert(kSubPixel == 256);
    const int d = 4 * samples;
    int q = sum / d;
    const int twice = 2 * (sum - q * d);
    if (twice > d || (twice == d && (q & 1) != 0)) ++q;
    return static_cast<float>(q) * (1.0f / 64.0f);
}

// One surface sample to shade: a triangle at a position in a pixel of the tile, and its
// share of the pixel's samples.
struct ShadeRequest {
    float x, y;
    uint32_t slot;
    uint16_t lx, ly;
    float weight;
};

struct Scratch {
    TileVisibility visibility;
    std::vector<ShadeSetup> setups;
    uint32_t setupCount = 0;
    std::vector<uint32_t> tableId, tableSlot;  // open addressing: triangle -> set-up
    std::vector<ShadeRequest> requests;
    std::vector<Shade> shades;
    size_t requestCount = 0;
    std::vector<uint32_t> lineId;

    void Allocate(int samples) {
        visibility.Reset(0, 0, kTileSize, kTileSize, samples);
        setups.resize(kSetupCapacity);
        tableId.assign(kSetupTableSize, kNoTriangle);
        tableSlot.resize(kSetupTableSize);
        requests.resize(kRequestCapacity);
        shades.resize(kRequestCapacity + 7);  // batches of up to eight
        lineId.reserve(kTileSize * kTileSize);
    }
    // Room for one more pixel of `samples` entries.
    bool HasRoom(int samples) const {
        return setupCount + samples <= kSetupCapacity && requestCount + samples <= kRequestCapacity;
    }
    void Request(const ShadeRequest& r) { requests[requestCount++] = r; }
    // The set-up slot of triangle id: true when it already holds the triangle, else a new
    // slot for the caller to fill.
    bool Find(uint32_t id, uint32_t& slot) {
        uint32_t h = (id * 2654435761u) >> 22;  // top 10 bits
        for (;; h = (h + 1) & (kSetupTableSize - 1)) {
            if (tableId[h] == id) {
                slot = tableSlot[h];
                return true;
            }
            if (tableId[h] == kNoTriangle) {
                tableId[h] = id;
                slot = tableSlot[h] = setupCount++;
                return false;
            }
        }
    }
    void Clear() {
        if (setupCount > 0) std::fill(tableId.begin(), tableId.end(), kNoTriangle);
        setupCount = 0;
        requestCount = 0;
    }
};

// The pixel's samples (bits) that hold triangle id.
template <int kCount>
uint32_t SamplesOf(const uint32_t* ids, uint32_t id) {
    if constexpr (kCount == 1) {
        return ids[0] == id ? 1u : 0u;
    } else {
        static_assert(kCount % 4 == 0 && kCount < 32);
        const __m128i key = _mm_set1_epi32(static_cast<int>(id));
        uint32_t mask = 0;
        for (int g = 0; g < kCount / 4; ++g) {
            __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ids + 4 * g));
            mask |= static_cast<uint32_t>(
                        _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(lanes, key))))
                    << (4 * g);
        }
        return mask;
    }
}

// The pixel's samples (bits) that no triangle holds: depth still -inf.
template <int kCount>
uint32_t UncoveredOf(const float* depth) {
    if constexpr (kCount == 1) {
        return depth[0] == -std::numeric_limits<float>::infinity() ? 1u : 0u;
    } else {
        const __m128 none = _mm_set1_ps(-std::numeric_limits<float>::infinity());
        uint32_t mask = 0;
        for (int g = 0; g < kCount / 4; ++g) {
            mask |= static_cast<uint32_t>(
                        _mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(depth + 4 * g), none)))
                    << (4 * g);
        }
        return mask;
    }
}

// Bits set in a sample mask; std::popcount becomes a library call without the popcnt
// instruction, which the baseline processors lack.
int SampleCount(uint32_t mask) {
    mask = mask - ((mask >> 1) & 0x55555555u);
    mask = (mask & 0x33333333u) + ((mask >> 2) & 0x33333333u);
    mask = (mask + (mask >> 4)) & 0x0F0F0F0Fu;
    return static_cast<int>((mask * 0x01010101u) >> 24);
}

int SumOf(uint32_t mask, const std::array<int, 256>& low, const std::array<int, 256>& high) {
    return low[mask & 0xFF] + high[(mask >> 8) & 0xFF];
}

class TileRenderer {
  public:
    TileRenderer(const RenderJob& job, const SamplePattern& pattern)
        : job_(job), model_(*job.model), pattern_(pattern) {
        for (int s = 0; s < pattern.count; ++s) {
            sumX_ += pattern.ox[s];
            sumY_ += pattern.oy[s];
        }
        fullX_ = CentreOffset(sumX_, pattern.count);
        fullY_ = CentreOffset(sumY_, pattern.count);
        for (int m = 0; m < 256; ++m) {
            for (int s = 0; s < 8; ++s) {
                if ((m >> s & 1) == 0) continue;
                if (s < pattern.count) {
                    sumLowX_[m] += pattern.ox[s];
                    sumLowY_[m] += pattern.oy[s];
                }
                if (s + 8 < pattern.count) {
                    sumHighX_[m] += pattern.ox[s + 8];
                    sumHighY_[m] += pattern.oy[s + 8];
                }
            }
        }
    }

    void Render(const TileBins& bins, int tx, int ty, Scratch& scratch) const {
        const uint32_t* begin = bins.Begin(tx, ty);
        const uint32_t* end = bins.End(tx, ty);
        if (begin == end) return;
        int x0 = tx * kTileSize, y0 = ty * kTileSize;
        int w = std::min(kTileSize, job_.scene.width - x0);
        int h = std::min(kTileSize, job_.scene.height - y0);
        scratch.Clear();
        switch (job_.mode) {
            case DrawMode::kWire:
            case DrawMode::kLine:
                RenderLines(begin, end, x0, y0, w, h, scratch);
                break;
            case DrawMode::kRough:
            case DrawMode::kFlat:
            case DrawMode::kPhong:
                Rasterize(begin, end, x0, y0, w, h, scratch.visibility);
                if (pattern_.count == 16) {
                    Resolve<16>(scratch);
                } else {
                    Resolve<1>(scratch);
                }
                break;
        }
    }

  private:
    void Rasterize(const uint32_t* begin, const uint32_t* end, int x0, int y0, int w, int h,
                   TileVisibility& vis) const {
        vis.Reset(x0, y0, w, h, pattern_.count);
        RasterTriangle rt;
        // Last triangle first: see RasterizeIntoTile.
        for (const uint32_t* id = end; id != begin;) {
            --id;
            // Hidden triangles are rejected before their set-up.
            float minZ, maxZ;
            if (vis.uncovered == 0 && job_.scene.DepthRange(*id, minZ, maxZ) &&
                vis.Hides(minZ, maxZ)) {
                continue;
            }
            if (SetupRasterTriangle(job_.scene, *id, rt))
                RasterizeIntoTile(rt, *id, pattern_, vis, job_.wideLanes);
        }
    }

    // Composites premultiplied surface colour of total alpha `alpha` over the background
    // pixel with "over"; a pixel nothing was drawn onto stays as it was.
    void Composite(int px, int py, Vec3 premultiplied, float alpha) const {
        if (!(alpha > 0)) return;
        const Picture& bg = job_.backgroundView;
        if (alpha >= 1) {
            // Nothing of the background shows: the same result without reading it.
            bg.WritePixel(job_.background, px, py, premultiplied.x, premultiplied.y,
                          premultiplied.z, 1.0f);
            return;
        }
        float bgAlpha = bg.Read(px, py, 3);
        float keep = bgAlpha * (1 - alpha);
        float outAlpha = alpha + keep;
        Vec3 color = (premultiplied +
                      Vec3{bg.Read(px, py, 0), bg.Read(px, py, 1), bg.Read(px, py, 2)} * keep) *
                     (1 / outAlpha);
        bg.WritePixel(job_.background, px, py, color.x, color.y, color.z, outAlpha);
    }

    // Shading goes through the lanes in batches of four or eight requests, whole pixels and
    // triangle edges alike; requests are kept in pixel order and composited in that order.
    template <int kCount>
    void Resolve(Scratch& scratch) const {
        const TileVisibility& vis = scratch.visibility;
        if (vis.uncovered == vis.id.size()) return;
        const float sampleWeight = 1.0f / kCount;
        constexpr uint32_t kAllSamples = (1u << kCount) - 1;
        struct Entry {
            uint32_t id;
            int samples, sumX, sumY;
        };
        for (int py = vis.y0; py < vis.y0 + vis.height; ++py) {
            const int first = vis.x0 + vis.rowFirst[py - vis.y0];
            const int last = vis.x0 + vis.rowLast[py - vis.y0];
            for (int px = first; px <= last; ++px) {
                const size_t at = vis.Index(px, py);
                const uint32_t* ids = vis.id.data() + at;
                // Samples no triangle holds keep depth -inf and a meaningless id.
                const uint32_t held = ~UncoveredOf<kCount>(vis.depth.data() + at) & kAllSamples;
                if (held == 0) continue;
                const bool one =
                    held == kAllSamples && SamplesOf<kCount>(ids, ids[0]) == kAllSamples;
                if (!scratch.HasRoom(kCount)) Flush(scratch);
                const uint16_t lx = static_cast<uint16_t>(px - vis.x0);
                const uint16_t ly = static_cast<uint16_t>(py - vis.y0);
                if (one) {
                    // One triangle over the whole pixel: the usual case.
                    scratch.Request({px + fullX_, py + fullY_, SlotFor(ids[0], scratch), lx, ly,
                                     kCount * sampleWeight});
                    continue;
                }
                Entry entries[kMaxSamples];
                int n = 0;
                // Triangles in order of their first sample, each with the samples it holds.
                uint32_t rest = held;
                while (rest != 0) {
                    const uint32_t id = ids[std::countr_zero(rest)];
                    const uint32_t mine = SamplesOf<kCount>(ids, id) & held;
                    entries[n++] = {id, SampleCount(mine), SumOf(mine, sumLowX_, sumHighX_),
                                    SumOf(mine, sumLowY_, sumHighY_)};
                    rest &= ~mine;
                }
                for (int k = 0; k < n; ++k) {
                    const Entry& e = entries[k];
                    // Shaded once per triangle and pixel, at the centre of its samples, which
                    // lies inside the triangle. The centre is kept on a 1/64-pixel grid: then
                    // every position the shading derives from it is exact, and a band of the
                    // picture moved by whole pixels shades exactly like the whole picture.
                    bool full = e.samples == kCount;
                    float x = px + (full ? fullX_ : CentreOffset(e.sumX, e.samples));
                    float y = py + (full ? fullY_ : CentreOffset(e.sumY, e.samples));
                    scratch.Request(
                        {x, y, SlotFor(e.id, scratch), lx, ly, e.samples * sampleWeight});
                }
            }
        }
        Flush(scratch);
    }

    uint32_t SlotFor(uint32_t id, Scratch& scratch) const {
        uint32_t slot;
        if (scratch.Find(id, slot)) return slot;
        Corner corners[3];
        job_.scene.Corners(id, corners);  // valid: the triangle was rasterised
        MakeShadeSetup(model_, id, corners, scratch.setups[slot],
                       job_.mode != DrawMode::kFlat && job_.mode != DrawMode::kPhong);
        return slot;
    }

    // Shades the waiting requests and composites their pixels.
    void Flush(Scratch& scratch) const {
        const size_t n = scratch.requestCount;
        const ShadeRequest* requests = scratch.requests.data();
        Shade* shades = scratch.shades.data();
        const size_t lanes = job_.wideLanes ? 8 : 4;
        for (size_t i = 0; i < n; i += lanes) {
            const ShadeSetup* setups[8];
            float xs[8], ys[8];
            for (size_t k = 0; k < lanes; ++k) {
                const ShadeRequest& r = requests[std::min(i + k, n - 1)];
                setups[k] = &scratch.setups[r.slot];
                xs[k] = r.x;
                ys[k] = r.y;
            }
            if (job_.mode == DrawMode::kRough) {
                for (size_t k = 0; k < lanes; ++k) shades[i + k] = {setups[k]->flatColor, 1.0f};
            } else if (lanes == 8) {
                ShadeSurface8(model_, setups, job_.mode, job_.source, xs, ys, shades + i);
            } else {
                ShadeSurface4(model_, setups, job_.mode, job_.source, xs, ys, shades + i);
            }
        }
        const TileVisibility& vis = scratch.visibility;
        for (size_t i = 0; i < n;) {
            const uint16_t lx = requests[i].lx, ly = requests[i].ly;
            Vec3 premultiplied;
            float alpha = 0;
            for (; i < n && requests[i].lx == lx && requests[i].ly == ly; ++i) {
                float a = requests[i].weight * shades[i].opacity;
                premultiplied = premultiplied + shades[i].color * a;
                alpha += a;
            }
            Composite(vis.x0 + lx, vis.y0 + ly, premultiplied, std::min(alpha, 1.0f));
        }
        scratch.Clear();
    }

    void RenderLines(const uint32_t* begin, const uint32_t* end, int x0, int y0, int w, int h,
                     Scratch& scratch) const {
        bool hidden = job_.mode == DrawMode::kLine;
        if (hidden) Rasterize(begin, end, x0, y0, w, h, scratch.visibility);
        scratch.lineId.assign(static_cast<size_t>(w) * h, kNoTriangle);
        const TileVisibility& vis = scratch.visibility;
        for (const uint32_t* id = begin; id != end; ++id) {
            Corner c[3];
            if (!job_.scene.Corners(*id, c)) continue;
            for (int e = 0; e < 3; ++e) {
                const Corner& a = c[e];
                const Corner& b = c[(e + 1) % 3];
                float za = a.point->z, zb = b.point->z;
                WalkSegment(a.x, a.y, b.x, b.y, x0, y0, x0 + w, y0 + h,
                            [&](int px, int py, float t) {
                                if (hidden) {
                                    float z = za + (zb - za) * t;
                                    if (z + kLineDepthTolerance < vis.depth[vis.Index(px, py)]) {
                                        return;
                                    }
                                }
                                scratch.lineId[static_cast<size_t>(py - y0) * w + (px - x0)] = *id;
                            });
            }
        }
        for (int py = y0; py < y0 + h; ++py) {
            for (int px = x0; px < x0 + w; ++px) {
                uint32_t id = scratch.lineId[static_cast<size_t>(py - y0) * w + (px - x0)];
                if (id == kNoTriangle) continue;
                if (!scratch.HasRoom(1)) scratch.Clear();
                Composite(px, py, scratch.setups[SlotFor(id, scratch)].flatColor, 1.0f);
            }
        }
    }

    const RenderJob& job_;
    const ShadingModel& model_;
    SamplePattern pattern_;
    int sumX_ = 0, sumY_ = 0;  // of all sample offsets
    // Offset sums of the samples in a mask's low and high byte.
    std::array<int, 256> sumLowX_{}, sumLowY_{}, sumHighX_{}, sumHighY_{};
    float fullX_ = 0, fullY_ = 0;  // the shading position's offset in a fully covered pixel
};

}  // namespace

namespace {

struct Band {
    int row, rows;
};

// Bands of whole tile rows holding at most `budget` bin entries each (a single row may hold
// more); `most` is the largest band's.
std::vector<Band> PlanBands(const Binner& binner, uint64_t budget, uint64_t& most, int& tallest) {
    std::vector<Band> bands;
    most = 0;
    tallest = 0;
    for (int row = 0; row < binner.tilesY();) {
        uint64_t sum = binner.RowTotal(row);
        int rows = 1;
        while (row + rows < binner.tilesY() && sum + binner.RowTotal(row + rows) <= budget) {
            sum += binner.RowTotal(row + rows++);
        }
        bands.push_back({row, rows});
        most = std::max(most, sum);
        tallest = std::max(tallest, rows);
        row += rows;
    }
    return bands;
}

}  // namespace

bool RenderScene(const RenderJob& job) {
    try {
        if (job.scene.triangleCount == 0) return true;
        int threads = std::clamp(job.threads, 1, kMaxThreads);
        bool lines = job.mode == DrawMode::kLine || job.mode == DrawMode::kWire;
        Binner binner(job.scene, threads, lines);
        if (binner.Total() == 0) return true;
        bool samples16 =
            job.antialias && (job.mode == DrawMode::kFlat || job.mode == DrawMode::kPhong);
        TileRenderer renderer(job, samples16 ? SixteenSamples() : CentreSample());
        std::vector<Scratch> scratch(threads);
        // Allocated before the workers start: they must not run out of memory.
        for (Scratch& s : scratch) s.Allocate(samples16 ? 16 : 1);
        // So are the bins of the largest band, before anything is drawn: the picture is
        // drawn whole or not at all. Where memory is short, bands get smaller.
        TileBins bins;
        std::vector<Band> bands;
        for (uint64_t budget = kBinBudget;; budget /= 4) {
            uint64_t most = 0;
            int tallest = 0;
            bands = PlanBands(binner, budget, most, tallest);
            try {
                binner.Reserve(tallest, most, bins);
                break;
            } catch (const std::bad_alloc&) {
                bins = TileBins();
                if (budget < most) throw;  // already one tile row a band
            }
        }
        int tilesX = binner.tilesX();
        for (const Band& band : bands) {
            binner.Fill(band.row, band.rows, bins);
            ParallelFor(threads, band.rows * tilesX, [&](int worker, int i) {
                renderer.Render(bins, i % tilesX, band.row + i / tilesX, scratch[worker]);
            });
        }
        return true;
    } catch (const std::exception&) {  // bad_alloc, or length_error for tables no build holds
        return false;
    }
}

bool WideLanesFromEnvironment() {
    const char* text = std::getenv("PRISMCORE_LANES");
    if (text != nullptr && std::strtol(text, nullptr, 10) == 4) return false;
    static const bool available = WideLanesAvailable();
    return available;
}

int ThreadCountFromEnvironment() {
    const char* text = std::getenv("PRISMCORE_THREADS");
    if (text != nullptr) {
        char* end = nullptr;
        long n = std::strtol(text, &end, 10);
        if (end != text && n >= 1) return static_cast<int>(std::min<long>(n, kMaxThreads));
    }
    unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMaxThreads));
}

}  // namespace fw::prismcore
