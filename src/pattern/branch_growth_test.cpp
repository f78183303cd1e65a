#include "pattern/branch_growth.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>

#include "pattern/pattern_random.h"
#include "pattern/portable_math.h"

namespace fw {
namespace {

struct Fan {
    int32_t segment = 0, patternKind = 2, level = 0;
    Point2 origin{0, 0};
    Point2 direction{1, 0};
    float width = 0.3f, length = 10.0f, pWidth = 0.05f, pLength = 0.05f;
    float dispersion = 0.25f, lose = 0.15f;
    int32_t maxTriangles = 3, maxIterations = 3;
};

TriangleList Grow(const Fan& f, uint32_t seed = 5, int32_t budget = kTriangleBudget) {
    ResetTriangleCounter(budget);
    PatternRandom::seed(seed);
    TriangleList list;
    GrowBranch(f.segment, f.patternKind, list, f.level, f.origin, 0.0f, f.direction, f.width,
               f.length, f.pWidth, f.pLength, f.dispersion, f.lose, f.maxTriangles,
               f.maxIterations);
    return list;
}

float AngleOf(const PatternVertex& from, const PatternVertex& to) {
    return std::atan2(to.y - from.y, to.x - from.x);
}

TEST(MakeTriangle, GivesEdgeNormalsAndTheNegatedFaceNormal) {
    ResetTriangleCounter();
    TriangleList list;
    MakeTriangle(4, list, {0, 0, 0}, {4, 0, 0}, {0, 3, 0});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(TriangleCounter(), 1);
    const PatternTriangle& t = list[0];
    EXPECT_EQ(t.level, 4);
    // Edge 0 -> 1 runs along +x: its normal is (0, -1); edge 1 -> 2 has length 5.
    EXPECT_EQ(t.vertex[0].nx, 0.0f);
    EXPECT_EQ(t.vertex[0].ny, -1.0f);
    EXPECT_FLOAT_EQ(t.vertex[1].nx, 3.0f / 5.0f);
    EXPECT_FLOAT_EQ(t.vertex[1].ny, 4.0f / 5.0f);
    // (p0 - p1) x (p2 - p1) = (-4, 0, 0) x (-4, 3, 0) = (0, 0, -12) -> unit z -1, nz = 1.
    for (const PatternVertex& v : t.vertex) {
        EXPECT_EQ(v.nz, 1.0f);
        EXPECT_EQ(v.flag, 1);
    }
    const Point3 flat = FaceNormal({1, 1, 1}, {1, 1, 1}, {2, 2, 2});
    EXPECT_EQ(flat.x, 0.0f);
    EXPECT_EQ(flat.z, 0.0f);
    float nx, ny;
    EdgeNormal(3, 3, 3, 3, &nx, &ny);
    EXPECT_EQ(nx, 0.0f);
    EXPECT_EQ(ny, 0.0f);
}

TEST(TurnAngle, MeasuresByQuadrant) {
    EXPECT_FLOAT_EQ(TurnAngle({0, 0}, {1, 1}), static_cast<float>(pm::kPi / 4));
    EXPECT_FLOAT_EQ(TurnAngle({0, 0}, {-1, 0}), static_cast<float>(3 * pm::kPi / 2));
    EXPECT_FLOAT_EQ(TurnAngle({0, 0}, {1, 0}), static_cast<float>(3 * pm::kPi / 2));
    EXPECT_FLOAT_EQ(TurnAngle({0, 0}, {0, 2}), 0.0f);
    EXPECT_FLOAT_EQ(TurnAngle({0, 0}, {-1, 1}), static_cast<float>(pm::kPi * 0.75));
}

TEST(GrowBranchBase, WindsConsistentlyAndKeepsHeightsInTheirPlaces) {
    // Apex below the path: from the apex, a = (10, 0) and b = (0, 0) wind the wrong way
    // and are exchanged; the heights stay with the places.
    for (bool reversed : {false, true}) {
        ResetTriangleCounter();
        PatternRandom::seed(9);
        TriangleList list;
        const Point2 a = reversed ? Point2{10, 0} : Point2{0, 0};
        const Point2 b = reversed ? Point2{0, 0} : Point2{10, 0};
        GrowBranchBase(list, a, b, {0, 1}, 4.0f, 1.0f);
        ASSERT_EQ(list.size(), 1u);
        const PatternTriangle& t = list[0];
        EXPECT_EQ(t.vertex[0].x, 0.0f) << reversed;
        EXPECT_EQ(t.vertex[1].x, 10.0f) << reversed;
        EXPECT_EQ(t.vertex[2].x, 5.0f);
        PatternRandom::seed(9);
        const float r = static_cast<float>(PatternRandom::next() % 1000) / 1000.0f;
        const float h = 4.0f * r + 2.0f;
        EXPECT_EQ(t.vertex[0].z, r * h);
        EXPECT_EQ(t.vertex[1].z, r * 4.0f);
        EXPECT_EQ(t.vertex[2].z, 0.0f);
        EXPECT_EQ(t.vertex[2].y, h);
    }
}

TEST(GrowBranchBase, ApexOnTheLineKeepsTheOrderAndSizeFactorIsClamped) {
    ResetTriangleCounter();
    PatternRandom::seed(3);
    TriangleList list;
    GrowBranchBase(list, {0, 0}, {10, 0}, {0, 0}, 4.0f, 1.0f);
    GrowBranchBase(list, {10, 0}, {0, 0}, {0, 0}, 4.0f, 1.0f);
    EXPECT_EQ(list[0].vertex[0].x, 0.0f);
    EXPECT_EQ(list[1].vertex[0].x, 10.0f);
    // sizeF 100 is clamped to 1.5, 0.001 to 0.1.
    for (float sizeF : {100.0f, 0.001f}) {
        PatternRandom::seed(3);
        TriangleList one;
        GrowBranchBase(one, {0, 0}, {10, 0}, {0, 1}, 4.0f, sizeF);
        PatternRandom::seed(3);
        const float r = static_cast<float>(PatternRandom::next() % 1000) / 1000.0f;
        const float h = (4.0f * r + 2.0f) * (sizeF > 1 ? 1.5f : 0.1f);
        float apexY = 0;
        for (const PatternVertex& v : one[0].vertex) apexY = std::fmax(apexY, v.y);
        EXPECT_EQ(apexY, h) << sizeF;
    }
}

TEST(GrowBranch, SingleTriangleFansAndDepthFirstOrder) {
    Fan f;
    f.maxTriangles = 1;  // (r1 + 0.5) * 1 < 1 always: one triangle per fan
    f.maxIterations = 4;
    const TriangleList one = Grow(f);
    EXPECT_EQ(one.size(), 15u);  // full binary tree of fans over levels 0 ... 3
    const int32_t expectedLevels[] = {0, 1, 2, 3, 3, 2, 3, 3, 1, 2, 3, 3, 2, 3, 3};
    for (size_t i = 0; i < one.size(); ++i) EXPECT_EQ(one[i].level, expectedLevels[i]) << i;
    EXPECT_EQ(TriangleCounter(), 15);

    f.maxIterations = 1;
    f.maxTriangles = 6;
    const TriangleList flat = Grow(f);
    ASSERT_GE(flat.size(), 3u);  // trunc((r2 + 0.5) * 6) >= 3
    EXPECT_LE(flat.size(), 5u);
    for (size_t i = 0; i < flat.size(); ++i) EXPECT_EQ(flat[i].level, 0);
}

TEST(GrowBranch, EverySubBranchFollowsItsTriangleBeforeTheNextOne) {
    Fan f;
    f.maxIterations = 2;
    f.maxTriangles = 6;
    const TriangleList list = Grow(f, 11);
    // Level 0 triangles, each followed by its two level-1 fans.
    int level0 = 0;
    for (size_t i = 0; i < list.size(); ++i) level0 += list[i].level == 0 ? 1 : 0;
    ASSERT_GE(level0, 3);
    EXPECT_EQ(list[0].level, 0);
    // Each level-1 fan starts at a corner of the level-0 triangle before it.
    const PatternTriangle* parent = nullptr;
    int fansSeen = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        const PatternTriangle& t = list[i];
        if (t.level == 0) {
            parent = &t;
            continue;
        }
        const bool fromP1 =
            t.vertex[0].x == parent->vertex[1].x && t.vertex[0].y == parent->vertex[1].y;
        const bool fromP2 =
            t.vertex[0].x == parent->vertex[2].x && t.vertex[0].y == parent->vertex[2].y;
        EXPECT_TRUE(fromP1 || fromP2) << i;
        fansSeen += (fromP1 && (i == 0 || list[i - 1].level == 0)) ? 1 : 0;
        EXPECT_EQ(t.vertex[0].z, 0.0f);  // children keep the parent's z
    }
    EXPECT_EQ(fansSeen, level0);
}

TEST(GrowBranch, ZeroDirectionStartsAtAngleZeroAndMirroringFollowsThePatternKind) {
    Fan f;
    f.direction = {0, 0};
    f.dispersion = 0.0f;
    f.maxIterations = 1;
    f.maxTriangles = 1;
    const TriangleList straight = Grow(f);
    EXPECT_EQ(straight[0].vertex[1].y, 0.0f);
    EXPECT_GT(straight[0].vertex[1].x, 0.0f);

    // Level 1 (odd): pattern kind 1 starts 2 * count * width earlier, kind 2 never does,
    // kind 3 only on odd segments.
    f.level = 1;
    f.maxIterations = 5;
    f.width = 0.2f;
    auto firstAngle = [&](int32_t kind, int32_t segment) {
        Fan g = f;
        g.patternKind = kind;
        g.segment = segment;
        const TriangleList l = Grow(g);
        return AngleOf(l[0].vertex[0], l[0].vertex[1]);
    };
    EXPECT_NEAR(firstAngle(2, 1), 0.0f, 1e-6);
    EXPECT_NEAR(firstAngle(1, 0), -0.4f, 1e-6);
    EXPECT_NEAR(firstAngle(3, 0), 0.0f, 1e-6);
    EXPECT_NEAR(firstAngle(3, 1), -0.4f, 1e-6);
    f.level = 2;
    EXPECT_NEAR(firstAngle(1, 0), 0.0f, 1e-6);
}

TEST(GrowBranch, StopsCleanlyAtTheBudget) {
    Fan f;
    f.maxIterations = 30;  // about 2^30 fans
    f.maxTriangles = 15;
    const TriangleList list = Grow(f, 1, 5000);
    EXPECT_EQ(list.size(), 5000u);
    EXPECT_EQ(TriangleCounter(), 5000);
    EXPECT_TRUE(GrowthStopped());
    // Nothing more is drawn or appended afterwards.
    const uint32_t state = PatternRandom::state();
    TriangleList more;
    GrowBranch(0, 1, more, 0, {0, 0}, 0, {1, 0}, 1, 1, 0, 0, 0, 0, 3, 3);
    GrowBranchBase(more, {0, 0}, {1, 0}, {0, 1}, 1, 1);
    EXPECT_TRUE(more.empty());
    EXPECT_EQ(PatternRandom::state(), state);
    // The first triangles are those of the unlimited growth.
    f.maxIterations = 3;
    const TriangleList small = Grow(f, 1);
    const TriangleList cut = Grow(f, 1, 20);
    ASSERT_EQ(cut.size(), 20u);
    for (size_t i = 0; i < cut.size(); ++i) {
        EXPECT_EQ(std::memcmp(&cut[i].vertex[0].x, &small[i].vertex[0].x, sizeof(float) * 6), 0);
    }
}

TEST(GrowBranch, HostileValuesNeitherCrashNorHang) {
    const auto start = std::chrono::steady_clock::now();
    for (int32_t iterations : {0, -5, 1000000000, INT32_MAX}) {
        for (int32_t triangles : {0, -7, 1000, INT32_MAX, INT32_MIN}) {
            for (float width : {0.3f, 1e30f, NAN, -INFINITY}) {
                Fan f;
                f.maxIterations = iterations;
                f.maxTriangles = triangles;
                f.width = width;
                f.length = width;
                const TriangleList list = Grow(f, 2, 5000);
                EXPECT_LE(list.size(), 5000u);
                EXPECT_EQ(static_cast<size_t>(TriangleCounter()), list.size());
            }
        }
    }
    Fan deep;
    deep.level = -1000000;  // counted from 0, so the stack stays shallow
    deep.maxIterations = 3;
    EXPECT_EQ(Grow(deep, 2).size(), Grow(Fan{}, 2).size());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace fw
