#include "platform/block_size.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace fw {
namespace {

// A 32-bit build's limits, so that every build checks the arithmetic a 32-bit one relies on.
constexpr uint64_t kBlock32 = INT32_MAX;
constexpr uint64_t kAddress32 = UINT32_MAX;

TEST(BlockBytes, PicturesPastTwoGigabytesDoNotFitA32BitBlock) {
    // 32000 x 32000 pixels of four 16-bit components: 8 GB, which wraps to 3.9 GB in 32 bits.
    EXPECT_FALSE(BlockBytes({32000, 32000, 4, 2}, kBlock32));
    EXPECT_EQ(BlockBytes({32000, 32000, 4, 2}).has_value(), sizeof(size_t) == 8);
    // The largest 8-bit band a 32-bit block holds, and one row more.
    EXPECT_EQ(BlockBytes({32767, 16384, 4}, kBlock32), size_t(32767) * 16384 * 4);
    EXPECT_FALSE(BlockBytes({32767, 16385, 4}, kBlock32));
    // Factors that wrap 64 bits on their own way are refused, not wrapped.
    EXPECT_FALSE(BlockBytes({INT64_MAX, INT64_MAX, 2}, UINT64_MAX));
}

TEST(BlockBytes, NegativeFactorsAreRefusedAndZeroIsEmpty) {
    EXPECT_FALSE(BlockBytes({-1, 4}));
    EXPECT_FALSE(BlockBytes({4, -1}));
    EXPECT_EQ(BlockBytes({0, INT64_MAX, INT64_MAX}), size_t(0));
    EXPECT_EQ(BlockBytes({}), size_t(1));
}

TEST(TotalBytes, BlocksThatFitAloneMayNotFitTogether) {
    const auto band = BlockBytes({30000, 9000, 8}, kBlock32);  // 2.16 GB: over a 32-bit block
    EXPECT_FALSE(band);
    const auto half = BlockBytes({30000, 4000, 8}, kBlock32);  // 960 MB
    ASSERT_TRUE(half);
    EXPECT_EQ(TotalBytes({half, half, half, half}, kAddress32), size_t(3'840'000'000));
    const auto more = BlockBytes({30000, 4500, 8}, kBlock32);  // 1.08 GB: four pass 4 GB
    EXPECT_FALSE(TotalBytes({more, more, more, more}, kAddress32));
    EXPECT_FALSE(TotalBytes({half, band}));  // a block that did not fit spoils the sum
}

}  // namespace
}  // namespace fw
