#include "mask/border_point_set.h"

#include <gtest/gtest.h>

#include <vector>

#include "mask/border_line.h"

namespace fw {
namespace {

TEST(BorderPointSetTest, PositionsWithinAHundredthShareOnePoint) {
    BorderPointPool pool;
    BorderPointSet set(pool);
    BorderPoint* a = set.Intern(3, 4);
    EXPECT_EQ(a->z, kBorderPointZ);
    EXPECT_EQ(a->flags, 0u);
    EXPECT_EQ(set.Intern(3, 4), a);
    EXPECT_EQ(set.Intern(3.009f, 3.991f), a);
    EXPECT_NE(set.Intern(3.011f, 4), a);
    EXPECT_NE(set.Intern(3, 4, 0.0f), a);  // z counts too
    EXPECT_EQ(set.Find(2.995f, 4.005f), a);
    EXPECT_EQ(set.Find(3, 4.02f), nullptr);
}

TEST(BorderPointSetTest, OffGridPointIsFoundFromAGridPosition) {
    BorderPointPool pool;
    BorderPointSet set(pool);
    BorderPoint* odd = set.Intern(10.006f, 20.0f);
    // 10.0 is a grid position; the stored point sits in the next cell up.
    EXPECT_EQ(set.Find(10.0f, 20.0f), odd);
    EXPECT_EQ(set.Find(10.0f, 19.997f), odd);
    EXPECT_EQ(set.Intern(9.9965f, 20.0f), odd);  // the cell below, still within 0.01
    EXPECT_NE(set.Intern(9.995f, 20.0f), odd);
}

TEST(BorderPointSetTest, ManyPointsKeepTheirIdentityAcrossGrowthAndClearing) {
    BorderPointPool pool;
    BorderPointSet set(pool);
    std::vector<BorderPoint*> made;
    for (int i = 0; i < 300; ++i)
        for (int j = 0; j < 300; ++j) made.push_back(set.Intern(i * 0.125f, j * 0.5f - 7.0f));
    EXPECT_EQ(set.Size(), made.size());
    EXPECT_EQ(pool.Size(), made.size());
    size_t k = 0;
    for (int i = 0; i < 300; ++i)
        for (int j = 0; j < 300; ++j, ++k) {
            ASSERT_EQ(set.Intern(i * 0.125f, j * 0.5f - 7.0f), made[k]);
            ASSERT_EQ(made[k]->x, i * 0.125f);
        }
    BorderPoint* loose = pool.New(1.0f, -6.75f);
    EXPECT_EQ(set.Find(1.0f, -6.75f), nullptr);  // pool points are not indexed by themselves
    EXPECT_EQ(loose->flags, 0u);

    set.Clear(10);  // shrinks the table; the points stay
    EXPECT_EQ(set.Size(), 0u);
    EXPECT_EQ(set.Find(0.0f, -7.0f), nullptr);
    EXPECT_EQ(made.back()->y, 299 * 0.5f - 7.0f);
    BorderPoint* again = set.Intern(0.0f, -7.0f);
    EXPECT_NE(again, made[0]);
    EXPECT_EQ(set.Intern(0.0f, -7.0f), again);
    set.Intern(0.3f, 0.0f);  // off the grid: lookups search the neighbouring cells from now
    EXPECT_EQ(set.Intern(0.0f, -7.005f), again);
    set.Clear();
    EXPECT_EQ(set.Find(0.3f, 0.0f), nullptr);
    EXPECT_EQ(pool.Size(), made.size() + 3);
}

// A line's points are handed back at once: the points after the mark are handed out again
// from the same blocks, across a block boundary, and the pool grows no further.
TEST(BorderPointSetTest, PoolReleasedToAMarkHandsOutTheSameBlocksAgain) {
    BorderPointPool pool;
    pool.New(0.0f, 0.0f);
    const BorderPointPool::Mark mark = pool.Top();
    std::vector<BorderPoint*> first;
    for (int i = 0; i < 40000; ++i) first.push_back(pool.New(float(i), 1.0f));
    EXPECT_EQ(pool.Size(), 40001u);
    pool.ReleaseTo(mark);
    EXPECT_EQ(pool.Size(), 1u);
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 40000; ++i) {
            BorderPoint* p = pool.New(2.0f, float(i));
            ASSERT_EQ(p, first[size_t(i)]) << "point " << i << " of round " << round;
            ASSERT_EQ(p->flags, 0u);
        }
        pool.ReleaseTo(mark);
    }
}

TEST(BorderLineTest, AddingAtEitherEndClosesOnTheOppositeEndAndSkipsRepeats) {
    BorderPointPool pool;
    BorderPointSet set(pool);
    BorderPoint* a = set.Intern(0, 0);
    BorderPoint* b = set.Intern(1, 0);
    BorderPoint* c = set.Intern(1, 1);
    BorderLine line;
    line.AddBack(a);
    line.AddBack(b);
    line.AddBack(b);
    line.AddBack(c);
    EXPECT_FALSE(line.closed);
    EXPECT_EQ(line.points.size(), 3u);
    line.AddBack(a);
    EXPECT_TRUE(line.closed);
    EXPECT_EQ(line.points.back(), a);

    // A backward trace gathers its points apart and joins them in front at the end; the
    // checks see the joined line, forward points and gathered ones alike.
    BorderLine back;
    std::vector<BorderPoint*> prefix;
    back.AddFront(prefix, b);
    back.AddFront(prefix, c);
    back.AddFront(prefix, c);
    EXPECT_FALSE(back.closed);
    back.AddFront(prefix, b);
    EXPECT_TRUE(back.closed);
    back.JoinPrefix(prefix);
    ASSERT_EQ(back.points.size(), 3u);
    EXPECT_EQ(back.points.front(), b);
    EXPECT_EQ(back.points[1], c);
    EXPECT_TRUE(prefix.empty());

    BorderLine both;
    both.AddBack(a);
    both.AddBack(b);
    both.AddFront(prefix, a);  // equals the front: skipped, and the back differs
    EXPECT_FALSE(both.closed);
    both.AddFront(prefix, c);
    both.AddFront(prefix, b);  // equals the back
    EXPECT_TRUE(both.closed);
    both.JoinPrefix(prefix);
    EXPECT_EQ(both.points, (std::vector<BorderPoint*>{b, c, a, b}));
}

}  // namespace
}  // namespace fw
