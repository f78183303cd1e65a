#include "prismcore/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <set>

#include "prismcore/synthetic_frost.h"

namespace fw::prismcore {
namespace {

TEST(Segment, OnePixelPerStepConnectedAndInsideTheRectangle) {
    struct Case {
        double ax, ay, bx, by;
    } cases[] = {{2.3, 3.1, 40.7, 17.9},
                 {30.2, 2.5, 5.5, 44.4},
                 {10, 10, 10, 10},
                 {-1e12, 5.5, 1e12, 20.5},
                 {3.5, -1e15, 3.5, 1e15}};
    for (const Case& c : cases) {
        std::vector<std::pair<int, int>> pixels;
        WalkSegment(c.ax, c.ay, c.bx, c.by, 0, 0, 48, 48, [&](int x, int y, float t) {
            EXPECT_GE(t, 0);
            EXPECT_LE(t, 1);
            pixels.emplace_back(x, y);
        });
        ASSERT_LE(pixels.size(), 48u);
        std::set<std::pair<int, int>> unique(pixels.begin(), pixels.end());
        EXPECT_EQ(unique.size(), pixels.size());
        for (size_t i = 0; i < pixels.size(); ++i) {
            EXPECT_TRUE(pixels[i].first >= 0 && pixels[i].first < 48);
            EXPECT_TRUE(pixels[i].second >= 0 && pixels[i].second < 48);
            if (i > 0) {
                EXPECT_LE(std::abs(pixels[i].first - pixels[i - 1].first), 1);
                EXPECT_LE(std::abs(pixels[i].second - pixels[i - 1].second), 1);
            }
        }
    }
}

TEST(Samples, SixteenSamplesFillEveryRowAndColumnOfTheSubGrid) {
    SamplePattern p = SixteenSamples();
    std::set<int> xs, ys;
    for (int s = 0; s < p.count; ++s) {
        EXPECT_TRUE(p.ox[s] >= 0 && p.ox[s] < kSubPixel);
        xs.insert(p.ox[s]);
        ys.insert(p.oy[s]);
    }
    EXPECT_EQ(xs.size(), 16u);
    EXPECT_EQ(ys.size(), 16u);
}

SceneView View(const testing::Scene& s, int w, int h) {
    SceneView v;
    v.triangles = s.triangles.data();
    v.triangleCount = s.T();
    v.points = s.points.data();
    v.pointCount = s.P();
    v.centerX = w / 2;
    v.centerY = h / 2;
    v.width = w;
    v.height = h;
    return v;
}

TEST(Binning, BinsHoldEveryTouchingTriangleInArrayOrderForAnyThreadCountAndBand) {
    const int w = 300, h = 200;
    testing::Scene s = testing::MakeFrost(w, h, 8000, 4, 2);
    SceneView view = View(s, w, h);
    Binner one(view, 1, false), four(view, 4, false);
    ASSERT_EQ(one.Total(), four.Total());
    TileBins a, b;
    one.Fill(0, one.tilesY(), a);
    four.Fill(0, four.tilesY(), b);
    EXPECT_EQ(a.ids, b.ids);
    EXPECT_EQ(a.start, b.start);
    for (int ty = 0; ty < one.tilesY(); ++ty) {
        TileBins band;
        four.Fill(ty, 1, band);
        EXPECT_EQ(band.start.back(), four.RowTotal(ty));
        for (int tx = 0; tx < one.tilesX(); ++tx) {
            std::vector<uint32_t> whole(a.Begin(tx, ty), a.End(tx, ty));
            std::vector<uint32_t> part(band.Begin(tx, ty), band.End(tx, ty));
            ASSERT_EQ(whole, part) << tx << "," << ty;
            EXPECT_TRUE(std::is_sorted(whole.begin(), whole.end()));
        }
    }
    // Every triangle that covers a sample of a tile is in that tile's bin.
    SamplePattern pattern = SixteenSamples();
    for (uint32_t i = 0; i < view.triangleCount; i += 37) {
        RasterTriangle rt;
        if (!SetupRasterTriangle(view, i, rt)) continue;
        for (int ty = std::max(0, rt.minY / kTileSize - 1);
             ty <= std::min(one.tilesY() - 1, rt.maxY / kTileSize + 1); ++ty) {
            for (int tx = std::max(0, rt.minX / kTileSize - 1);
                 tx <= std::min(one.tilesX() - 1, rt.maxX / kTileSize + 1); ++tx) {
                TileVisibility tile;
                tile.Reset(tx * kTileSize, ty * kTileSize, std::min(kTileSize, w - tx * kTileSize),
                           std::min(kTileSize, h - ty * kTileSize), 16);
                RasterizeIntoTile(rt, i, pattern, tile);
                bool covered = tile.uncovered < tile.depth.size();
                bool binned = std::binary_search(a.Begin(tx, ty), a.End(tx, ty), i);
                ASSERT_TRUE(!covered || binned) << "triangle " << i << " tile " << tx << "," << ty;
            }
        }
    }
}

// A frame has all its bins before it draws: filling bands within the reserved room allocates
// nothing, and a count no vector can hold is refused rather than cut to 32 bits.
TEST(Binning, ReservedRoomHoldsEveryBandAndImpossibleCountsAreRefused) {
    const int w = 300, h = 200;
    testing::Scene s = testing::MakeFrost(w, h, 8000, 4, 2);
    SceneView view = View(s, w, h);
    Binner binner(view, 2, false);
    uint64_t most = 0;
    for (int row = 0; row < binner.tilesY(); row += 2)
        most = std::max(most, binner.RowTotal(row) +
                                  (row + 1 < binner.tilesY() ? binner.RowTotal(row + 1) : 0));
    TileBins bins;
    binner.Reserve(2, most, bins);
    const uint32_t* ids = bins.ids.data();
    const uint64_t* start = bins.start.data();
    for (int row = 0; row < binner.tilesY(); row += 2) {
        binner.Fill(row, std::min(2, binner.tilesY() - row), bins);
        EXPECT_EQ(bins.ids.data(), ids) << row;
        EXPECT_EQ(bins.start.data(), start) << row;
    }
    EXPECT_THROW(binner.Reserve(1, UINT64_MAX, bins), std::bad_alloc);
    // Cut to 32 bits this would be room for 16 entries.
    if (sizeof(size_t) == 4) {
        EXPECT_THROW(binner.Reserve(1, (uint64_t{1} << 32) + 16, bins), std::bad_alloc);
    }
}

TEST(Binning, TrianglesOutsideThePictureAreNotBinned) {
    testing::Scene s;
    s.AddTriangle(-500, -500, -400, -500, -500, -400);
    s.AddTriangle(5000, 10, 5100, 10, 5000, 60);
    s.AddTriangle(10, 10, 20, 10, 10, 20);
    SceneView view = View(s, 64, 64);
    view.centerX = view.centerY = 0;
    Binner binner(view, 2, false);
    EXPECT_EQ(binner.Total(), 1u);
}

}  // namespace
}  // namespace fw::prismcore

namespace fw::prismcore {
namespace {

TEST(Visibility, ReverseOrderWithRejectionPicksTheNearestAndAtTiesTheLatest) {
    // Many layers with depth ties and sloped planes: what the tile ends up holding must be,
    // per sample, the covering triangle of largest depth and, among equal depths, of largest
    // index, as drawing every triangle in array order with ">=" would give.
    testing::Scene s;
    testing::Random r(5);
    for (int i = 0; i < 600; ++i) {
        float x = r.Next() * 40 - 4, y = r.Next() * 40 - 4;
        s.AddTriangle(x, y, x + 6 + r.Next() * 20, y + r.Next() * 6, x + r.Next() * 6,
                      y + 6 + r.Next() * 20, static_cast<float>(static_cast<int>(r.Next() * 3)));
        if (i % 5 == 0) s.points.back().z += r.Next();  // a sloped one now and then
    }
    SceneView view = View(s, 32, 32);
    view.centerX = view.centerY = 0;
    for (const SamplePattern& pattern : {CentreSample(), SixteenSamples()}) {
        TileVisibility tile;
        tile.Reset(0, 0, 32, 32, pattern.count);
        std::vector<RasterTriangle> setups(view.triangleCount);
        std::vector<bool> valid(view.triangleCount);
        for (uint32_t i = 0; i < view.triangleCount; ++i)
            valid[i] = SetupRasterTriangle(view, i, setups[i]);
        int rejected = 0;
        for (uint32_t i = view.triangleCount; i-- > 0;) {
            if (!valid[i]) continue;
            if (tile.Hides(setups[i].minZ, setups[i].maxZ)) {
                ++rejected;
                continue;
            }
            RasterizeIntoTile(setups[i], i, pattern, tile);
        }
        TileVisibility expected;
        expected.Reset(0, 0, 32, 32, pattern.count);
        for (uint32_t i = 0; i < view.triangleCount; ++i) {
            if (!valid[i]) continue;
            TileVisibility alone;
            alone.Reset(0, 0, 32, 32, pattern.count);
            RasterizeIntoTile(setups[i], i, pattern, alone);
            for (size_t k = 0; k < alone.id.size(); ++k) {
                if (alone.depth[k] > -std::numeric_limits<float>::infinity() && alone.id[k] == i &&
                    alone.depth[k] >= expected.depth[k]) {
                    expected.depth[k] = alone.depth[k];
                    expected.id[k] = i;
                }
            }
        }
        // Ids count only where a triangle holds the sample.
        auto held = [](const TileVisibility& v) {
            std::vector<uint32_t> ids = v.id;
            for (size_t k = 0; k < ids.size(); ++k) {
                if (v.depth[k] == -std::numeric_limits<float>::infinity()) ids[k] = kNoTriangle;
            }
            return ids;
        };
        EXPECT_EQ(held(tile), held(expected)) << pattern.count << " samples";
        EXPECT_EQ(tile.uncovered, 0u);
        EXPECT_GT(rejected, 100) << "hidden triangles are rejected whole";
    }
}

}  // namespace
}  // namespace fw::prismcore
