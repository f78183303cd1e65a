#include "pattern/frond_growth.h"

#include <gtest/gtest.h>

#include <cmath>

#include "pattern/pattern_random.h"

namespace fw {
namespace {

TriangleList Arc(uint32_t seed, int32_t count, int32_t depth, float bend = 0.8f) {
    ResetTriangleCounter();
    PatternRandom::seed(seed);
    TriangleList list;
    GrowFrondArc(list, 10, 20, 30, 0.5f, bend, 40, count, 0.5f, depth);
    return list;
}

TEST(GrowFrondArc, DrawsAtLeastEightTrianglesAndTheSideFrondDrawAtAnyDepth) {
    for (int32_t depth : {2, 3}) {
        const TriangleList list = Arc(1, 3, depth);
        EXPECT_EQ(list.size(), 8u);  // max(3, 7) + 1
        // Exactly one draw: the side-frond decision.
        PatternRandom::seed(1);
        PatternRandom::next();
        const uint32_t afterOne = PatternRandom::state();
        Arc(1, 3, depth);
        EXPECT_EQ(PatternRandom::state(), afterOne);
    }
    EXPECT_EQ(Arc(1, 12, 2).size(), 13u);
    // count <= 0: nothing drawn, nothing appended.
    PatternRandom::seed(4);
    ResetTriangleCounter();
    TriangleList none;
    const Point2 end = GrowFrondArc(none, 3, 4, 0, 0, 1, 10, 0, 1, 0);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(PatternRandom::state(), 4u);
    EXPECT_EQ(end.x, 3.0f);
}

TEST(GrowFrondArc, SideFrondFollowsTheDraw) {
    int withSide = 0, without = 0;
    for (uint32_t seed = 0; seed < 40; ++seed) {
        PatternRandom::seed(seed);
        const bool side = PatternRandom::next() % 100 >= 36;
        const TriangleList list = Arc(seed, 3, 1);
        // At depth 1 a side frond of trunc(0.75 * 7) -> 8 triangles, and no further one.
        EXPECT_EQ(list.size(), side ? 16u : 8u) << seed;
        (side ? withSide : without)++;
        if (side) {
            // It starts at height hR of the last triangle + 50.
            const float hRLast = (30.0f + (40.0f - 7 * (40.0f / 7))) / 1.5f;
            EXPECT_NEAR(list[8].vertex[0].z, hRLast + 50.0f, 1e-3);
        }
    }
    EXPECT_GT(withSide, 0);
    EXPECT_GT(without, 0);
}

TEST(GrowFrondArc, NegativeBendExchangesPositionsButNotHeights) {
    const TriangleList pos = Arc(2, 7, 2, 0.8f);
    const TriangleList neg = Arc(2, 7, 2, -0.8f);
    for (size_t i = 0; i < pos.size(); ++i) {
        EXPECT_EQ(pos[i].vertex[1].z, neg[i].vertex[1].z);
        EXPECT_EQ(pos[i].vertex[2].z, neg[i].vertex[2].z);
        EXPECT_LT(neg[i].vertex[1].z, neg[i].vertex[2].z);  // hR < hQ
    }
}

TEST(GrowRosette, EightTrianglesAroundTheCentre) {
    ResetTriangleCounter();
    TriangleList list;
    GrowRosette(list, 5, 6, 20, 0, 1, 30);
    GrowRosette(list, 5, 6, 20, 0, -1, 30);
    ASSERT_EQ(list.size(), 16u);
    for (size_t i = 0; i < 16; ++i) {
        const PatternTriangle& t = list[i];
        EXPECT_EQ(t.vertex[0].x, 5.0f);
        EXPECT_EQ(t.vertex[0].y, 6.0f);
        EXPECT_EQ(t.vertex[0].z, 20.0f);
        EXPECT_EQ(t.vertex[1].z, 10.0f);
        EXPECT_EQ(t.vertex[2].z, 30.0f);
    }
    // r = 10, grow 1.5; the last triangle's inner radius is halved.
    const float r0 = std::hypot(list[0].vertex[1].x - 5, list[0].vertex[1].y - 6);
    EXPECT_NEAR(r0, 10.0f, 1e-4);
    const float r7 = std::hypot(list[7].vertex[1].x - 5, list[7].vertex[1].y - 6);
    EXPECT_NEAR(r7, (10.0f + 7 * 1.5f) / 2.0f, 1e-4);
    // Negative bend: P1 and P2 exchanged, so the outer point comes first.
    const float r8 = std::hypot(list[8].vertex[1].x - 5, list[8].vertex[1].y - 6);
    EXPECT_NEAR(r8, 11.5f, 1e-4);
}

TEST(FrondChain, AlternatesTheBendAndLimitsTheTurn) {
    FrondLink link{20, 0.3f, 2.0f, 50, 1.0f, 8};
    for (int i = 0; i < 12; ++i) {
        const float u = (i % 5) / 5.0f - 0.5f;
        const FrondLink next = NextFrondLink(link, u, 1.0f);
        EXPECT_EQ(std::signbit(next.bend), !std::signbit(link.bend)) << i;
        EXPECT_FLOAT_EQ(next.bend, -1.25f * link.bend);
        EXPECT_LE(std::fabs(next.angle - link.angle), 0.785398f + 1e-6f) << i;
        EXPECT_FLOAT_EQ(next.z, link.z + 10);
        EXPECT_FLOAT_EQ(next.width, 0.85f);  // from the chain's first width, not compounding
        EXPECT_EQ(next.count, static_cast<int32_t>(1.15 * link.count));
        link = next;
    }
    // A small bend turns by 0.3 bend.
    const FrondLink small = NextFrondLink({0, 1, 0.5f, 10, 1, 7}, 0, 1);
    EXPECT_FLOAT_EQ(small.angle, 1.15f);
}

TEST(GrowFrond, RosetteOrLeafBaseThenTheChain) {
    auto grow = [](int32_t side, int32_t count, int32_t maxTriangles) {
        ResetTriangleCounter();
        PatternRandom::seed(77);
        TriangleList list;
        GrowFrond(count, list, 0, 0, 20, 0, 0.4f, 30, 0.5f, side, maxTriangles);
        return list;
    };
    const TriangleList rosette = grow(1, 1, -1);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(rosette[i].vertex[0].x, 0.0f);
    // A longer chain starts with the same triangles.
    const TriangleList longer = grow(1, 4, -1);
    ASSERT_GT(longer.size(), rosette.size());
    for (size_t i = 0; i < rosette.size(); ++i)
        EXPECT_EQ(longer[i].vertex[2].x, rosette[i].vertex[2].x);
    // Fixed arc size: n = 12 -> the leaf has 6 (as 7) + 1, the first frond 13 triangles.
    const TriangleList leaf = grow(0, 1, 12);
    EXPECT_GE(leaf.size(), 8u + 13u);
    // count 0 grows only the base.
    EXPECT_EQ(grow(1, 0, -1).size(), 8u);
}

TEST(GrowCurl, StopsWhenTheFrondsGetShorterThanThree) {
    auto curl = [](float length, int32_t count, int32_t subCount) {
        ResetTriangleCounter();
        PatternRandom::seed(5);
        TriangleList list;
        GrowCurl(3, list, 0, 0, 0, 0, 1.0f, length, 0.5f, count, subCount, 0.1f, 0.7f, 0.1f);
        return list.size();
    };
    // length (k + 0.4) / count / 4 < 3 already at k = count.
    EXPECT_EQ(curl(10, 10, 7), 0u);
    // length 40, count 10: fronds of k + 0.4, so k = 10 ... 3 grow, two fronds of 8 each
    // (depth 3: never a side frond).
    EXPECT_EQ(curl(40, 10, 7), 8u * 2 * 8);
    EXPECT_EQ(curl(40, 0, 7), 0u);
    EXPECT_EQ(curl(40, -3, 7), 0u);
    // subCount < 1: the frond size follows twist and length, at least 7.
    EXPECT_EQ(curl(40, 10, 0), 8u * 2 * 8);
}

TEST(FrondGrowth, HostileValuesStayWithinTheBudget) {
    for (float v : {1e30f, NAN, -INFINITY, 0.0f}) {
        ResetTriangleCounter(30000);
        PatternRandom::seed(1);
        TriangleList list;
        GrowFrond(INT32_MAX, list, 0, 0, v, v, v, v, v, 0, -1, v);
        GrowCurl(2, list, v, v, v, v, v, v, v, INT32_MAX, 0, v, v, v);
        GrowCurl(2, list, 0, 0, 0, 0, 1, 1e30f, 1, INT32_MAX, INT32_MAX, 1, 1, 1);
        GrowFrondArc(list, 0, 0, 0, 0, v, v, INT32_MAX, v, 0);
        GrowFrondArc(list, 0, 0, 0, 0, 1, 10, 7, 1, -1000000);  // nests no deeper than 2
        EXPECT_LE(list.size(), 30000u);
        EXPECT_EQ(static_cast<size_t>(TriangleCounter()), list.size());
    }
}

}  // namespace
}  // namespace fw
