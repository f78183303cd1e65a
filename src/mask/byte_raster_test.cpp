#include "mask/byte_raster.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw {
namespace {

TEST(ByteRasterTest, CreateRejectsEmptyShapesAndNarrowStrides) {
    ByteRaster r;
    EXPECT_FALSE(r.Create(0, 5));
    EXPECT_FALSE(r.Create(5, 0));
    EXPECT_FALSE(r.Create(-1, 5));
    EXPECT_FALSE(r.Create(2, 5, 4));
    EXPECT_TRUE(r.Empty());
    ASSERT_TRUE(r.Create(1, 1));
    EXPECT_EQ(r.Rows(), 1);
    EXPECT_EQ(r.Columns(), 1);
    EXPECT_EQ(r.Get(0, 0), 0);
}

TEST(ByteRasterTest, ReadsOutsideReturnTheOutsideValueAndWritesThereFail) {
    ByteRaster r(121);
    ASSERT_TRUE(r.Create(3, 4, 7));
    for (int32_t row = 0; row < 3; ++row)
        for (int32_t c = 0; c < 4; ++c) ASSERT_TRUE(r.Set(row, c, uint8_t(row * 10 + c)));
    EXPECT_EQ(r.Get(2, 3), 23);
    EXPECT_EQ(r.Row(1)[2], 12);
    EXPECT_EQ(r.Row(2) - r.Row(1), 7);  // rows lie `stride` apart in one block
    for (auto [row, c] : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 4}, {INT32_MIN, 0}})
        EXPECT_EQ(r.Get(row, c), 121) << row << "," << c;
    EXPECT_FALSE(r.Set(3, 0, 1));
    EXPECT_FALSE(r.Set(0, 4, 1));
    EXPECT_FALSE(r.Set(-1, -1, 1));
    EXPECT_EQ(r.Get(2, 3), 23);
}

TEST(ByteRasterTest, AttachedViewReadsCallerMemoryAndRefusesWrites) {
    std::vector<uint8_t> data = {1, 2, 3, 99, 4, 5, 6, 99};
    ByteRaster r(7);
    EXPECT_FALSE(r.Attach(nullptr, 2, 3, 4));
    EXPECT_FALSE(r.Attach(data.data(), 2, 5, 4));
    ASSERT_TRUE(r.Attach(data.data(), 2, 3, 4));
    EXPECT_EQ(r.Get(1, 0), 4);
    EXPECT_EQ(r.Get(0, 3), 7);  // the padding byte is outside the view
    EXPECT_FALSE(r.Set(0, 0, 50));
    data[5] = 42;
    EXPECT_EQ(r.Get(1, 1), 42);
    r.Release();
    EXPECT_EQ(r.Get(0, 0), 7);
}

}  // namespace
}  // namespace fw
