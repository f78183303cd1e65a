#include "pattern/path_walk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include "pattern/branch_growth.h"
#include "pattern/digest_cases.h"

namespace fw {
namespace {

// A straight path along y = 0 whose segments have the given extents (stored lengths equal).
GrowthPath Straight(std::initializer_list<float> extents, Point2 normal = {0, 1}) {
    GrowthPath path;
    float x = 0;
    path.points.push_back({x, 0, 0, normal.x, normal.y, 0, 1});
    for (float e : extents) {
        x += e;
        path.points.push_back({x, 0, 0, normal.x, normal.y, 0, 1});
        const auto i = static_cast<uint32_t>(path.points.size() - 1);
        path.segments.push_back({i - 1, i, normal.x, normal.y, 0, e, 1});
    }
    return path;
}

// Geometric, one fan triangle per seed and no sub-branches: every seed appends exactly a
// base triangle and a fan triangle whose first corner is the seed and whose second lies
// `length` * (r + 0.5) away from it.
EffectParameters SeedProbe() {
    EffectParameters p{};
    SetDefaults(p);
    SetEffectIndex(p, 1);
    p.MaxIterations = 1;
    p.MaxTriangles = 1;
    p.MinInterval = 10;  // interval 100 on a 1000-unit scene: a seed every 20
    p.IntervDepend = 0;
    return p;
}

GrowthScene Scene1000() {
    GrowthScene s;
    s.W = s.SW = 1000;
    s.H = s.SH = 1000;
    return s;
}

struct Seed {
    float x;      // seed position
    float reach;  // distance of the fan triangle's second corner
    Point2 apex;  // base triangle's corner off the path, relative to its base midpoint
};

std::vector<Seed> Seeds(const TriangleList& list) {
    std::vector<Seed> seeds;
    EXPECT_EQ(list.size() % 2, 0u);
    for (size_t i = 0; i + 1 < list.size(); i += 2) {
        const PatternTriangle& base = list[i];
        const PatternTriangle& fan = list[i + 1];
        Seed s{};
        s.x = fan.vertex[0].x;
        s.reach = std::hypot(fan.vertex[1].x - fan.vertex[0].x, fan.vertex[1].y - fan.vertex[0].y);
        float sum = 0;
        for (const PatternVertex& v : base.vertex) {
            if (v.y != 0.0f)
                s.apex = {v.x, v.y};
            else
                sum += v.x;
        }
        s.apex.x -= sum / 2.0f;
        seeds.push_back(s);
    }
    return seeds;
}

std::vector<Seed> Walk(const GrowthPath& path, const EffectParameters& p,
                       std::vector<int32_t>* progress = nullptr) {
    TriangleList list;
    GrowAlongPath(path, p, Scene1000(), list, [&](int32_t done) {
        if (progress) progress->push_back(done);
    });
    EXPECT_EQ(static_cast<size_t>(TriangleCounter()), list.size());
    return Seeds(list);
}

TEST(Coverage, FullCoverageWalksEverySegmentAtFullSize) {
    EffectParameters p = SeedProbe();
    p.Completance = 100;
    p.CompletanceDist = 0;
    const auto seeds = Walk(Straight({100, 100, 100, 100, 100, 100, 100}), p);
    ASSERT_EQ(seeds.size(), 35u);  // seeds at 0, 20, ..., 80 of every segment
    for (size_t k = 0; k < seeds.size(); ++k) EXPECT_EQ(seeds[k].x, 20.0f * k) << k;
}

TEST(Coverage, HalfCoverageTapersTheLastSegmentToNothingAtItsMiddle) {
    const GrowthPath path = Straight({100, 100, 100, 100, 100, 100, 100});
    EffectParameters p = SeedProbe();
    p.Completance = 100;
    p.CompletanceDist = 0;
    const auto full = Walk(path, p);
    p.Completance = 50;
    std::vector<int32_t> progress;
    const auto half = Walk(path, p, &progress);
    EXPECT_EQ(progress, (std::vector<int32_t>{10, 10, 20, 30, 40}));  // four segments walked
    ASSERT_EQ(half.size(), 3u * 5 + 3);  // the fourth only up to its middle
    for (size_t k = 0; k < 15; ++k) EXPECT_EQ(half[k].reach, full[k].reach) << k;
    const float taper[] = {1.0f, 0.6f, 0.2f};
    for (size_t j = 0; j < 3; ++j) {
        EXPECT_EQ(half[15 + j].x, 300.0f + 20.0f * j);
        EXPECT_NEAR(half[15 + j].reach / full[15 + j].reach, taper[j], 1e-5) << j;
    }
}

TEST(Coverage, FadingSegmentsShrinkByOneFadeStepEach) {
    const GrowthPath path = Straight({100, 100, 100, 100, 100, 100, 100});
    EffectParameters p = SeedProbe();
    p.Completance = 100;
    p.CompletanceDist = 0;
    const auto full = Walk(path, p);
    p.Completance = 50;
    p.CompletanceDist = 100;
    const auto fading = Walk(path, p);
    // All seven walked: 6 whole segments of 5 seeds, the last cut at its middle (3 seeds).
    ASSERT_EQ(fading.size(), 6u * 5 + 3);
    for (size_t k = 0; k < fading.size(); ++k) {
        const size_t segment = k / 5;
        float expected = segment < 3 ? 1.0f : 1.0f - (segment - 3) / 7.0f;
        if (segment == 6) expected *= 1.0f - 0.2f * (k % 5) / 0.5f;
        EXPECT_NEAR(fading[k].reach / full[k].reach, expected, 1e-5) << k;
    }
}

TEST(Coverage, AllDirectionsCyclesSevenModes) {
    std::initializer_list<float> extents = {100, 100, 100, 100, 100, 100, 100, 100,
                                            100, 100, 100, 100, 100, 100, 100};
    EffectParameters p = SeedProbe();
    p.GrowDirect = 8;
    const auto seeds = Walk(Straight(extents, {-0.6f, 0.8f}), p);
    ASSERT_EQ(seeds.size(), 15u * 5);
    const Point2 byMode[7] = {{-0.6f, 0.8f}, {-0.6f, 0.8f},  {0.6f, -0.8f}, {0.6f, 0.8f},
                              {0.6f, 0.8f},  {-0.6f, -0.8f}, {0.6f, 0.8f}};
    for (size_t segment = 0; segment < 15; ++segment) {
        const Point2 apex = seeds[segment * 5].apex;
        const float h = std::hypot(apex.x, apex.y);
        EXPECT_NEAR(apex.x / h, byMode[segment % 7].x, 1e-5) << segment;
        EXPECT_NEAR(apex.y / h, byMode[segment % 7].y, 1e-5) << segment;
    }
    // A fixed direction applies to every segment.
    p.GrowDirect = 2;
    const auto flipped = Walk(Straight({100, 100}, {-0.6f, 0.8f}), p);
    for (const Seed& s : flipped) EXPECT_LT(s.apex.y, 0.0f);
}

TEST(Coverage, ShortSegmentsGetOneSeedAndCarryIntoTheNext) {
    EffectParameters p = SeedProbe();
    // stepL 20: 5 gets one seed and carries 15 into 30 (one seed, at its own first point);
    // 10 carries 10 into 8, which gets none and passes 2 on to the last segment.
    const auto seeds = Walk(Straight({5, 30, 10, 8, 100}), p);
    std::vector<float> xs;
    for (const Seed& s : seeds) xs.push_back(s.x);
    EXPECT_EQ(xs, (std::vector<float>{0, 5, 35, 53, 73, 93, 113, 133}));
}

TEST(GrowAlongPath, MatchesIndependentTriangleCounts) {
    // Counts of "Geometric 1" at 800 x 600 from an independent implementation.
    EffectParameters p{};
    SetDefaults(p);
    SetEffectIndex(p, 0);
    GrowthScene scene;
    scene.W = scene.SW = 800;
    scene.H = scene.SH = 600;
    struct Case {
        int32_t iterations, triangles, expected;
    };
    for (const Case& c :
         {Case{3, 3, 4078}, Case{4, 3, 44453}, Case{5, 3, 841589}, Case{4, 6, 1366116}}) {
        p.MaxIterations = c.iterations;
        p.MaxTriangles = c.triangles;
        TriangleList list;
        EXPECT_EQ(GrowAlongPath(p, scene, list), c.expected) << c.iterations << " " << c.triangles;
        EXPECT_EQ(TriangleCounter(), c.expected);
    }
}

TEST(GrowAlongPath, GoldenDigestsArePlatformIndependent) {
    // The same text comes out of pattern_digest on every build; see the CTest that compares
    // the Windows build's output under Wine.
    const char* const expected =
        "Geometric 1                                        4078 0dd9c4472bbbf5b4\n"
        "Geometric 2                                        4078 76d7131ae5c20676\n"
        "Geometric 3                                        4078 f00b0fa33e450994\n"
        "Floral 1                                           3331 0f0af6ce6deb22c1\n"
        "Floral 2                                          18888 39fd700febf1ae2d\n"
        "Floral 3                                          10595 1aa5b434950892b1\n"
        "Single 1                                            139 d661a4af409fdbc8\n"
        "Single 2                                            109 5743e2a8eeb41ea8\n"
        "Single 3                                            410 f1901d81107053aa\n"
        "Single 4                                            410 2c4eeead2f3fedbf\n"
        "Geometric 1, MaxIterations 4                      44453 679fb53bc7788b7e\n"
        "Geometric 3, window, all directions, fading       12063 00532f152863e8f8\n"
        "Floral 1, perimeter, preview zoom 2                8263 b1816bfeff049ac2\n"
        "Floral 3, top and bottom, long                    25734 75dd7744f01abf3f\n"
        "Geometric 1, by selection                         15319 7a9ea2a2300c4d78\n"
        "Single 3, twisted                                   914 801255ed351cc174\n"
        "Geometric 1, budget 50000                         50000 eccb05a4824846c3\n";
    EXPECT_EQ(FormatDigests(ComputeGoldenDigests()), expected);
    // A 32-bit build once stopped at a quarter of this, growing other patterns.
    EXPECT_EQ(FormatGrowthBudget(), "Triangle budget 8000000\n");
}

TEST(GrowAlongPath, SingleEffectsGrowAtTheCentreWithoutAPath) {
    EffectParameters p{};
    SetDefaults(p);
    GrowthScene scene = Scene1000();
    scene.centreX = 40;
    scene.centreY = -30;
    for (int e = 6; e < 10; ++e) {
        SetEffectIndex(p, e);
        EXPECT_TRUE(BuildGrowthPath(p, scene).segments.empty());
        std::vector<int32_t> progress;
        TriangleList list;
        const int32_t n =
            GrowAlongPath(p, scene, list, [&](int32_t done) { progress.push_back(done); });
        EXPECT_GT(n, 0) << e;
        EXPECT_EQ(progress, (std::vector<int32_t>{10, 25}));
        // The pattern is grown around the effect centre, not the scene's.
        double sx = 0, sy = 0;
        list.ForEach([&](const PatternTriangle& t) {
            sx += t.vertex[0].x;
            sy += t.vertex[0].y;
        });
        EXPECT_NEAR(sx / n, 40, 200) << e;
        EXPECT_NEAR(sy / n, -30, 200) << e;
    }
}

TEST(GrowAlongPath, SelectionBorderBecomesThePath) {
    const float xy[] = {10, 10, 90, 10, 90, 90, 10, 90, 10, 10};
    const uint32_t pairs[] = {0, 1, 1, 2, 2, 3, 3, 4};
    const BorderLines border{5, 4, xy, pairs};
    EffectParameters p{};
    SetDefaults(p);
    SetEffectIndex(p, 0);
    p.MaskKind = kMaskBySelection;
    GrowthScene scene;
    scene.W = scene.SW = 100;
    scene.H = scene.SH = 100;
    TriangleList none;
    EXPECT_EQ(GrowAlongPath(p, scene, none), 0);  // no selection: empty path
    scene.selection = &border;
    const GrowthPath path = BuildGrowthPath(p, scene);
    ASSERT_EQ(path.segments.size(), 4u);
    EXPECT_EQ(path.points[0].x, -40.0f);
    EXPECT_EQ(path.points[2].y, 40.0f);
    TriangleList list;
    EXPECT_GT(GrowAlongPath(p, scene, list), 0);
}

// Walking the traced border segment by segment grows exactly what walking its converted path
// grows, pairs out of range, zero-length segments and coverage included.
TEST(GrowAlongPath, BorderWalkEqualsTheConvertedPath) {
    std::vector<float> xy;
    std::vector<uint32_t> pairs;
    for (int line = 0; line < 40; ++line) {  // small closed outlines, as a noisy mask gives
        const auto first = uint32_t(xy.size() / 2);
        const float x = float(7 * line % 90), y = float(11 * line % 70);
        const float corners[] = {x, y, x + 3, y, x + 3, y + 2.5f, x + 3, y + 2.5f, x, y + 4, x, y};
        xy.insert(xy.end(), std::begin(corners), std::end(corners));
        for (uint32_t k = 0; k + 1 < 6; ++k) {
            pairs.push_back(first + k);
            pairs.push_back(first + k + 1);
        }
        if (line % 9 == 4) {  // a pair the converter drops
            pairs.push_back(first);
            pairs.push_back(99999);
        }
    }
    const BorderLines border{uint32_t(xy.size() / 2), uint32_t(pairs.size() / 2), xy.data(),
                             pairs.data()};
    for (int effect : {0, 1, 3, 5}) {
        for (float completance : {100.0f, 37.5f}) {
            SCOPED_TRACE(testing::Message() << "effect " << effect << ", " << completance << "%");
            EffectParameters p{};
            SetDefaults(p);
            SetEffectIndex(p, effect);
            p.MaskKind = kMaskBySelection;
            p.Completance = completance;
            p.CompletanceDist = 20;
            GrowthScene scene;
            scene.W = scene.SW = 100;
            scene.H = scene.SH = 80;
            TriangleList viaPath, viaBorder;
            const int32_t n = GrowAlongPath(ConvertBorderLines(border, -50, -40), p, scene, viaPath);
            EXPECT_EQ(GrowAlongBorder(border, -50, -40, p, scene, viaBorder), n);
            EXPECT_GT(n, 0);
            EXPECT_EQ(DigestTriangles(viaBorder), DigestTriangles(viaPath));
        }
    }
}

TEST(GrowAlongPath, SceneHelpers) {
    EXPECT_EQ(DirectionAngle(1, 0), 90.0);
    EXPECT_EQ(DirectionAngle(-1, 0), 270.0);
    EXPECT_EQ(DirectionAngle(0, 1), 180.0);
    // The conversion factor is slightly above 180 / pi (presets depend on it): 45 degrees
    // come out as 45.0000094.
    const double quarter = 45.0 * 57.29579143313326 / (180.0 / 3.141592653589793);
    EXPECT_NEAR(DirectionAngle(-1, -1), 360.0 - quarter, 1e-9);
    EXPECT_NEAR(DirectionAngle(1, -1), quarter, 1e-9);
    EXPECT_NEAR(DirectionAngle(1, 1), 180.0 - quarter, 1e-9);
    EXPECT_EQ(SelectionTraceWindow(800, 800), 30);
    EXPECT_EQ(SelectionTraceWindow(400, 800), 60);
    EXPECT_EQ(SelectionTraceWindow(0, 800), 30);
    EXPECT_EQ(SelectionTraceWindow(800, 0), 30);
    EXPECT_EQ(SelectionTraceWindow(800, 7), 0);
}

TEST(GrowAlongPath, HostileParametersFinishWithinTheBudget) {
    constexpr int32_t kBudget = 5000;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto start = std::chrono::steady_clock::now();
    using Tweak = void (*)(EffectParameters&, float);
    const Tweak tweaks[] = {
        [](EffectParameters& p, float v) { p.MaxIterations = static_cast<int32_t>(v); },
        [](EffectParameters& p, float v) { p.MaxTriangles = static_cast<int32_t>(v); },
        [](EffectParameters& p, float v) { p.Width = v; },
        [](EffectParameters& p, float v) { p.Lenght = v; },
        [](EffectParameters& p, float v) { p.MinInterval = v; },
        [](EffectParameters& p, float v) { p.Completance = v; },
        [](EffectParameters& p, float v) { p.CompletanceDist = v; },
        [](EffectParameters& p, float v) { p.Dispers = v; },
        [](EffectParameters& p, float v) { p.Turn = v; },
        [](EffectParameters& p, float v) { p.IntervDepend = v; },
        [](EffectParameters& p, float v) { p.PWidth = v; },
        [](EffectParameters& p, float v) { p.MaxTriangles1 = static_cast<int32_t>(v); },
    };
    const float values[] = {0, -5, 1e9f, -1e30f, nan};
    for (int e = 0; e < kEffectCount; ++e) {
        for (Tweak tweak : tweaks) {
            for (float v : values) {
                EffectParameters p{};
                SetDefaults(p);
                SetEffectIndex(p, e);
                if (std::isnan(v) || std::fabs(v) > 2e9f) {
                    // Integer fields get the extremes of their range instead.
                    EffectParameters probe = p;
                    tweak(probe, 0);
                    if (probe.MaxIterations == 0 || probe.MaxTriangles == 0 ||
                        probe.MaxTriangles1 == 0) {
                        tweak(p, 0);
                        if (p.MaxIterations == 0) p.MaxIterations = v > 0 ? INT32_MAX : INT32_MIN;
                        if (p.MaxTriangles == 0) p.MaxTriangles = v > 0 ? INT32_MAX : INT32_MIN;
                        if (p.MaxTriangles1 == 0) p.MaxTriangles1 = v > 0 ? INT32_MAX : INT32_MIN;
                    } else {
                        tweak(p, v);
                    }
                } else {
                    tweak(p, v);
                }
                GrowthScene scene;
                scene.W = scene.SW = 200;
                scene.H = scene.SH = 150;
                scene.budget = kBudget;
                TriangleList list;
                const int32_t n = GrowAlongPath(p, scene, list);
                ASSERT_LE(n, kBudget) << e << " " << v;
                ASSERT_EQ(TriangleCounter(), n);
            }
        }
    }
    // Degenerate scenes and unknown enumerations.
    for (int32_t size : {0, 1, -7}) {
        for (uint8_t kind : {uint8_t{0}, uint8_t{1}, uint8_t{2}, uint8_t{3}, uint8_t{9}}) {
            EffectParameters p{};
            SetDefaults(p);
            p.EffectKind = kind;
            p.PatternKind = 200;
            p.GrowDirect = 0;
            p.MaskKind = static_cast<uint8_t>(size == 0 ? 6 : 200);
            GrowthScene scene;
            scene.W = scene.SW = size;
            scene.H = scene.SH = size;
            scene.budget = kBudget;
            TriangleList list;
            EXPECT_LE(GrowAlongPath(p, scene, list), kBudget);
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST(GrowAlongPath, SettingsThatExplodeStopAtTheBudget) {
    EffectParameters p{};
    SetDefaults(p);
    SetEffectIndex(p, 0);
    p.MaxIterations = 6;
    p.MaxTriangles = 15;
    GrowthScene scene;
    scene.W = scene.SW = 800;
    scene.H = scene.SH = 600;
    scene.budget = 300000;
    TriangleList list;
    EXPECT_EQ(GrowAlongPath(p, scene, list), 300000);
    EXPECT_TRUE(GrowthStopped());
    // Growing again starts afresh: the walk resets the counter.
    TriangleList again;
    EXPECT_EQ(GrowAlongPath(p, scene, again), 300000);
    EXPECT_EQ(DigestTriangles(list), DigestTriangles(again));
}

}  // namespace
}  // namespace fw
