#include "pattern/growth_path.h"

#include <gtest/gtest.h>

#include <cmath>

#include "pattern/pattern_random.h"

namespace fw {
namespace {

// Number of separate lines: a line starts at every point that no segment arrives at.
int LineCount(const GrowthPath& path) {
    std::vector<int> arriving(path.points.size(), 0);
    for (const PathSegment& s : path.segments) {
        EXPECT_EQ(s.second, s.first + 1);  // lines are stored point after point
        ++arriving[s.second];
    }
    int lines = 0;
    for (int a : arriving) lines += a == 0 ? 1 : 0;
    return lines;
}

TEST(PatternRandom, IsTheFixedLinearCongruentialRule) {
    PatternRandom::seed(0);
    EXPECT_EQ(PatternRandom::next(), 38);
    EXPECT_EQ(PatternRandom::state(), 2531011u);
    PatternRandom::seed(1);
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int32_t e : expected) EXPECT_EQ(PatternRandom::next(), e);
    // The state wraps modulo 2^32 and results stay within 15 bits.
    PatternRandom::seed(0xFFFFFFFFu);
    for (int i = 0; i < 1000; ++i) {
        const int32_t v = PatternRandom::next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

TEST(BuildLinePath, TopLineCrowdsTowardsTheCentre) {
    const GrowthPath path = BuildShapePath(2, 400, 300, 400, 300);
    ASSERT_GE(path.points.size(), 5u);
    EXPECT_FLOAT_EQ(path.points[0].x, -200.0f);
    EXPECT_FLOAT_EQ(path.points[1].x, -98.0f);  // first step 200 / 2 + 400 / 200 = 102
    EXPECT_FLOAT_EQ(path.points[2].x, -47.0f);
    for (const PathPoint& p : path.points) {
        EXPECT_EQ(p.y, -150.0f);
        EXPECT_EQ(p.nx, 0.0f);
        EXPECT_EQ(p.ny, 1.0f);
        EXPECT_EQ(p.used, 1);
        EXPECT_LE(p.x, 200.0f);
    }
    // The stored length is the step after the segment's second point, not its extent.
    EXPECT_FLOAT_EQ(path.segments[0].length, 51.0f);
    // The last point is the last one not beyond the end.
    const float last = path.points.back().x;
    EXPECT_GT(last + 200.0f * (std::fabs(last) / 400.0f + 0.01f), 200.0f);
    EXPECT_EQ(path.segments.size(), path.points.size() - 1);
    EXPECT_EQ(LineCount(path), 1);
}

TEST(BuildLinePath, DegenerateScalesAddNothingAndHugeLinesAreCapped) {
    GrowthPath path;
    BuildLinePath(path, 0, -10, 0.0f, 10, 0.0f, 0, 0, 1, 0, true);
    BuildLinePath(path, 0, -10, NAN, 10, NAN, 0, 0, 1, 0, true);
    BuildLinePath(path, 0, -10, 20, INFINITY, 10, 0, 0, 1, 0, true);
    EXPECT_TRUE(path.points.empty());
    // The step grows with the distance from the centre, so even a huge line ends quickly;
    // a tiny step relative to the line is capped.
    BuildLinePath(path, 0, -1e6f, 1.0f, 1e6f, 1e-6f, 0, 0, 1, 0, true);
    EXPECT_LE(path.points.size(), static_cast<size_t>(kMaxLinePoints));
}

TEST(ShapePaths, HaveTheirLinesNormalsAndExtents) {
    const GrowthPath bottom = BuildShapePath(1, 401, 301, 401, 301);
    EXPECT_FLOAT_EQ(bottom.points.front().x, -200.5f);  // halved in floating point
    EXPECT_FLOAT_EQ(bottom.points.front().y, 151.0f);   // SH - H / 2 with integer halving
    EXPECT_EQ(bottom.points.front().ny, -1.0f);
    const GrowthPath top = BuildShapePath(2, 401, 301, 401, 301);
    EXPECT_FLOAT_EQ(top.points.front().x, -200.0f);
    EXPECT_FLOAT_EQ(top.points.front().y, -150.0f);

    const GrowthPath both = BuildShapePath(3, 400, 300, 400, 300);
    EXPECT_EQ(LineCount(both), 2);
    EXPECT_EQ(both.segments.size(), both.points.size() - 2);
    EXPECT_EQ(both.points.front().ny, 1.0f);
    EXPECT_EQ(both.points.back().ny, -1.0f);

    const GrowthPath perimeter = BuildShapePath(4, 400, 300, 400, 300);
    EXPECT_EQ(LineCount(perimeter), 4);
    const GrowthPath window = BuildShapePath(6, 400, 300, 400, 300);
    EXPECT_EQ(LineCount(window), 16);
    EXPECT_EQ(window.segments.size(), window.points.size() - 16);
    for (const PathPoint& p : window.points) {
        EXPECT_GE(p.x, -200.0f);
        EXPECT_LE(p.x, 200.0f);
        EXPECT_GE(p.y, -150.0f);
        EXPECT_LE(p.y, 150.0f);
    }

    const GrowthPath u = BuildShapePath(5, 400, 300, 400, 300);
    EXPECT_EQ(LineCount(u), 3);
    EXPECT_FLOAT_EQ(u.points.front().y, -50.0f);  // arms start a third of the way down
    EXPECT_EQ(u.points.front().nx, 1.0f);
    EXPECT_EQ(u.points.back().ny, -1.0f);

    EXPECT_TRUE(BuildShapePath(7, 400, 300, 400, 300).points.empty());
    EXPECT_TRUE(BuildShapePath(0, 400, 300, 400, 300).points.empty());
    EXPECT_TRUE(BuildShapePath(4, 0, 0, 0, 0).points.empty());
}

TEST(ShapePaths, PerimeterSidesAreCentredOnTheirMiddle) {
    const GrowthPath p = BuildShapePath(4, 400, 300, 400, 300);
    // The left side comes first: from y0 = -150 with its densest points around y = 0.
    EXPECT_FLOAT_EQ(p.points[0].x, -200.0f);
    EXPECT_FLOAT_EQ(p.points[0].y, -150.0f);
    EXPECT_EQ(p.points[0].nx, 1.0f);
    // step = 150 (|t - 0| / 300 + 0.01) = 75 + 1.5 at t = -150
    EXPECT_FLOAT_EQ(p.points[1].y, -150.0f + 76.5f);
}

TEST(ConvertBorderLines, ShiftsPointsAndTurnsNormalsLeft) {
    // A square traced clockwise on screen (y down) keeps its region on the right, so the
    // normals point outwards; the last segment has length 0.
    const float xy[] = {0, 0, 10, 0, 10, 10, 0, 10, 0, 10};
    const uint32_t pairs[] = {0, 1, 1, 2, 2, 3, 3, 4, 7, 1};
    const GrowthPath path = ConvertBorderLines({5, 5, xy, pairs}, -5.0f, -5.0f);
    ASSERT_EQ(path.points.size(), 5u);
    ASSERT_EQ(path.segments.size(), 4u);  // the pair with index 7 is skipped
    EXPECT_EQ(path.points[0].x, -5.0f);
    EXPECT_EQ(path.points[2].y, 5.0f);
    EXPECT_EQ(path.points[0].ny, -1.0f);  // first segment met: its normal, not an average
    const PathSegment& s0 = path.segments[0];
    EXPECT_EQ(s0.length, 10.0f);
    EXPECT_EQ(s0.nx, 0.0f);
    EXPECT_EQ(s0.ny, -1.0f);  // travel +x, left-hand side is up on screen
    EXPECT_EQ(path.segments[1].nx, 1.0f);
    const PathSegment& zero = path.segments[3];
    EXPECT_EQ(zero.length, 0.0f);
    EXPECT_EQ(zero.nx, 0.0f);
    EXPECT_EQ(zero.ny, 0.0f);
    EXPECT_EQ(zero.used, 1);
    // Point 1 joins segments 0 and 1: the plain average (0.5, -0.5), not renormalised.
    EXPECT_EQ(path.points[1].nx, 0.5f);
    EXPECT_EQ(path.points[1].ny, -0.5f);
    // Point 3 gets segment 2's normal, then the average with the zero segment's (0, 0).
    EXPECT_EQ(path.points[3].nx, 0.0f);
    EXPECT_EQ(path.points[3].ny, 0.5f);
    EXPECT_TRUE(ConvertBorderLines({}, 0, 0).points.empty());
}

}  // namespace
}  // namespace fw
