#include "prismcore/renderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <new>
#include <thread>

namespace fw::prismcore {
namespace {

// Shading set-ups of the triangles a tile shows; few triangles are visible in one tile, so
// a small direct-mapped cache keeps the memory per worker fixed.
constexpr size_t kShadeCacheSize = 64;
// Lines in the hidden-line mode stay visible against a fill this far in front of them, so a
// triangle's own surface and coplanar neighbours never hide its edges.
constexpr float kLineDepthTolerance = 0.01f;
// Worker threads beyond this gain nothing and only cost stacks, which a 32-bit host's
// address space can least afford.
constexpr int kMaxThreads = sizeof(void*) == 4 ? 16 : 64;

// Mean of `samples` sub-pixel offsets summing to `sum`, rounded to 1/64 pixel.
float CentreOffset(int sum, int samples) {
    const double mean = double(sum) / (double(samples) * double(kSubPixel));
    // Round half to even as nearbyint does, without the library call (|mean| is tiny).
    return static_cast<float>(((mean * 64.0 + 6755399441055744.0) - 6755399441055744.0) / 64.0);
}

struct Scratch {
    TileVisibility visibility;
    std::array<ShadeSetup, kShadeCacheSize> cache;
    std::vector<uint32_t> lineId;
};

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
    }

    void Render(const TileBins& bins, int tx, int ty, Scratch& scratch) const {
        const uint32_t* begin = bins.Begin(tx, ty);
        const uint32_t* end = bins.End(tx, ty);
        if (begin == end) return;
        int x0 = tx * kTileSize, y0 = ty * kTileSize;
        int w = std::min(kTileSize, job_.scene.width - x0);
        int h = std::min(kTileSize, job_.scene.height - y0);
        for (ShadeSetup& s : scratch.cache) s.id = kNoTriangle;
        switch (job_.mode) {
            case DrawMode::kWire:
            case DrawMode::kLine:
                RenderLines(begin, end, x0, y0, w, h, scratch);
                break;
            case DrawMode::kRough:
            case DrawMode::kFlat:
            case DrawMode::kPhong:
                Rasterize(begin, end, x0, y0, w, h, scratch.visibility);
                Resolve(scratch);
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
            if (SetupRasterTriangle(job_.scene, *id, rt)) RasterizeIntoTile(rt, *id, pattern_, vis);
        }
    }

    const ShadeSetup& Setup(uint32_t id, Scratch& scratch) const {
        ShadeSetup& slot = scratch.cache[id % kShadeCacheSize];
        if (slot.id != id) {
            Corner corners[3];
            job_.scene.Corners(id, corners);  // valid: the triangle was rasterised
            MakeShadeSetup(model_, id, corners, slot);
        }
        return slot;
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

    void Resolve(Scratch& scratch) const {
        const TileVisibility& vis = scratch.visibility;
        const int count = pattern_.count;
        const float sampleWeight = 1.0f / count;
        struct Entry {
            uint32_t id;
            int samples, sumX, sumY;
        };
        struct Pending {
            int px, py;
            const ShadeSetup* setup;
        };
        Pending batch[4];
        int pending = 0;
        auto flush = [&] {
            if (pending == 0) return;
            const ShadeSetup* setups[4];
            float xs[4], ys[4];
            for (int k = 0; k < 4; ++k) {
                const Pending& p = batch[k < pending ? k : 0];
                setups[k] = p.setup;
                xs[k] = p.px + fullX_;
                ys[k] = p.py + fullY_;
            }
            Shade shades[4];
            ShadeSurface4(model_, setups, job_.mode, job_.source, xs, ys, shades);
            for (int k = 0; k < pending; ++k) {
                float a = count * sampleWeight * shades[k].opacity;
                Composite(batch[k].px, batch[k].py, Vec3{} + shades[k].color * a,
                          std::min(0 + a, 1.0f));
            }
            pending = 0;
        };
        // A set-up about to be replaced in the cache must first serve the pixels waiting for it.
        auto setupFor = [&](uint32_t id) -> const ShadeSetup& {
            if (scratch.cache[id % kShadeCacheSize].id != id) {
                for (int k = 0; k < pending; ++k) {
                    if (batch[k].setup == &scratch.cache[id % kShadeCacheSize]) {
                        flush();
                        break;
                    }
                }
            }
            return Setup(id, scratch);
        };
        for (int py = vis.y0; py < vis.y0 + vis.height; ++py) {
            for (int px = vis.x0; px < vis.x0 + vis.width; ++px) {
                size_t base = vis.Index(px, py);
                Entry entries[kMaxSamples];
                int n = 0;
                const uint32_t* ids = vis.id.data() + base;
                uint32_t differ = 0;
                for (int s = 1; s < count; ++s) differ |= ids[s] ^ ids[0];
                if (differ == 0) {
                    // One triangle or none over the whole pixel: the usual case.
                    if (ids[0] == kNoTriangle) continue;
                    entries[n++] = {ids[0], count, sumX_, sumY_};
                }
                for (int s = 0; s < count && differ != 0; ++s) {
                    uint32_t id = vis.id[base + s];
                    if (id == kNoTriangle) continue;
                    int k = 0;
                    while (k < n && entries[k].id != id) ++k;
                    if (k == n) entries[n++] = {id, 0, 0, 0};
                    entries[k].samples += 1;
                    entries[k].sumX += pattern_.ox[s];
                    entries[k].sumY += pattern_.oy[s];
                }
                if (n == 0) continue;
                if (n == 1 && entries[0].samples == count && job_.mode != DrawMode::kRough) {
                    // One triangle over the whole pixel: shaded four pixels at a time.
                    const ShadeSetup& setup = setupFor(entries[0].id);
                    batch[pending++] = {px, py, &setup};
                    if (pending == 4) flush();
                    continue;
                }
                Vec3 premultiplied;
                float alpha = 0;
                for (int k = 0; k < n; ++k) {
                    const Entry& e = entries[k];
                    const ShadeSetup& setup = setupFor(e.id);
                    float coverage = e.samples * sampleWeight;
                    if (job_.mode == DrawMode::kRough) {
                        premultiplied = premultiplied + setup.flatColor * coverage;
                        alpha += coverage;
                        continue;
                    }
                    // Shaded once per triangle and pixel, at the centre of its samples, which
                    // lies inside the triangle. The centre is kept on a 1/64-pixel grid: then
                    // every position the shading derives from it is exact, and a band of the
                    // picture moved by whole pixels shades exactly like the whole picture.
                    bool full = e.samples == count;
                    float x = px + (full ? fullX_ : CentreOffset(e.sumX, e.samples));
                    float y = py + (full ? fullY_ : CentreOffset(e.sumY, e.samples));
                    Shade shade = ShadeSurface(model_, setup, job_.mode, job_.source, x, y);
                    float a = coverage * shade.opacity;
                    premultiplied = premultiplied + shade.color * a;
                    alpha += a;
                }
                Composite(px, py, premultiplied, std::min(alpha, 1.0f));
            }
        }
        flush();
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
                if (id != kNoTriangle) Composite(px, py, Setup(id, scratch).flatColor, 1.0f);
            }
        }
    }

    const RenderJob& job_;
    const ShadingModel& model_;
    SamplePattern pattern_;
    int sumX_ = 0, sumY_ = 0;      // of all sample offsets
    float fullX_ = 0, fullY_ = 0;  // the shading position's offset in a fully covered pixel
};

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
        for (Scratch& s : scratch) {
            // Allocated before the workers start: they must not run out of memory.
            s.visibility.Reset(0, 0, kTileSize, kTileSize, samples16 ? 16 : 1);
            s.lineId.reserve(kTileSize * kTileSize);
        }
        TileBins bins;
        int tilesX = binner.tilesX(), tilesY = binner.tilesY();
        for (int row = 0; row < tilesY;) {
            uint64_t sum = binner.RowTotal(row);
            int rows = 1;
            while (row + rows < tilesY && sum + binner.RowTotal(row + rows) <= kBinBudget) {
                sum += binner.RowTotal(row + rows++);
            }
            binner.Fill(row, rows, bins);
            ParallelFor(threads, rows * tilesX, [&](int worker, int i) {
                renderer.Render(bins, i % tilesX, row + i / tilesX, scratch[worker]);
            });
            row += rows;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
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
