#include "mask/growing_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace fw {
namespace {

// Growth crosses both sizes where the block changes hands: from the allocator's heap into a
// mapped block, and from one mapped block into a fresh larger one. Every element written
// before must still be there, in order.
TEST(GrowingArrayTest, KeepsEveryElementAcrossBothKindsOfGrowth) {
    GrowingArray<uint32_t> a;
    EXPECT_EQ(a.Size(), 0u);
    uint32_t next = 0;
    const uint64_t steps[] = {1, 4095, 4096, 300000, 7000000, 5000000, 3};
    for (uint64_t n : steps) {
        uint32_t* at = a.Extend(n);
        for (uint64_t i = 0; i < n; ++i) at[i] = next++;
    }
    ASSERT_EQ(a.Size(), next);
    for (uint32_t i = 0; i < next; ++i)
        if (a.Data()[i] != i) FAIL() << "element " << i << " is " << a.Data()[i];

    a.Shrink();
    EXPECT_EQ(a.Data()[next - 1], next - 1);
    uint32_t* block = a.Release();
    EXPECT_EQ(a.Size(), 0u);
    EXPECT_EQ(a.Data(), nullptr);
    EXPECT_EQ(block[12345], 12345u);
    std::free(block);  // the caller's now
}

TEST(GrowingArrayTest, SwapExchangesBlocksAndAnEmptyArrayReleasesNothing) {
    GrowingArray<float> a, b;
    a.Extend(3)[2] = 7.5f;
    a.Swap(b);
    EXPECT_EQ(a.Size(), 0u);
    ASSERT_EQ(b.Size(), 3u);
    EXPECT_EQ(b.Data()[2], 7.5f);
    a.Shrink();  // nothing to give back
    EXPECT_EQ(a.Release(), nullptr);
}

}  // namespace
}  // namespace fw
