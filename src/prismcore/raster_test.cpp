#include "prismcore/raster.h"

#include <gtest/gtest.h>

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
                bool covered = std::count(tile.id.begin(), tile.id.end(), i) > 0;
                bool binned = std::binary_search(a.Begin(tx, ty), a.End(tx, ty), i);
                ASSERT_TRUE(!covered || binned) << "triangle " << i << " tile " << tx << "," << ty;
            }
        }
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
