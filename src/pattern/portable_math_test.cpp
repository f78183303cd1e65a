#include "pattern/portable_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace fw::pm {
namespace {

// The runtime's functions serve only as a reference for accuracy here; the generator never
// calls them.
TEST(PortableMath, SinCosMatchTheReferenceOverEveryArgumentRange) {
    uint64_t state = 88172645463325252ull;
    auto uniform = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) / 9007199254740992.0 * 2.0 - 1.0;
    };
    const double scales[] = {1.0, 4.0, 1e3, 3e6, 4e8, 1e12, 1e100, 1e300};
    for (double scale : scales) {
        for (int i = 0; i < 20000; ++i) {
            const double x = uniform() * scale;
            ASSERT_NEAR(Sin(x), std::sin(x), 4e-16) << x;
            ASSERT_NEAR(Cos(x), std::cos(x), 4e-16) << x;
        }
    }
    // Counter values feed cos(c) in the branch grower.
    for (int c = 0; c < 20'000'000; c += 997) ASSERT_NEAR(Cos(c), std::cos(c), 4e-16) << c;
}

TEST(PortableMath, HugeArgumentsAreReducedExactly) {
    EXPECT_NEAR(Sin(1e22), -0.8522008497671888, 2.5e-16);
    EXPECT_NEAR(Sin(1.7976931348623157e308), 0.004961954789184062, 2.5e-16);
    EXPECT_NEAR(Cos(-1e300), std::cos(1e300), 2.5e-16);
    double s, c;
    SinCos(-5e10, &s, &c);
    EXPECT_EQ(s, Sin(-5e10));
    EXPECT_EQ(c, Cos(-5e10));
}

TEST(PortableMath, NonFiniteArgumentsGiveNaN) {
    EXPECT_TRUE(std::isnan(Sin(INFINITY)));
    EXPECT_TRUE(std::isnan(Cos(-INFINITY)));
    EXPECT_TRUE(std::isnan(Sin(NAN)));
    EXPECT_TRUE(std::isnan(Atan(NAN)));
    EXPECT_TRUE(std::isnan(Asin(1.0000001)));
    EXPECT_TRUE(std::isnan(Asin(NAN)));
    EXPECT_EQ(Atan(INFINITY), kHalfPi);
    EXPECT_EQ(Atan(-INFINITY), -kHalfPi);
}

TEST(PortableMath, AtanAndAsinMatchTheReference) {
    for (double x = -50.0; x <= 50.0; x += 0.00731) {
        ASSERT_NEAR(Atan(x), std::atan(x), 4e-16) << x;
    }
    for (double x = -1e-8; x <= 1e-8; x += 3.7e-11) ASSERT_NEAR(Atan(x), std::atan(x), 1e-24);
    for (double x = -1.0; x <= 1.0; x += 0.000613) {
        ASSERT_NEAR(Asin(x), std::asin(x), 1e-15) << x;
    }
    EXPECT_EQ(Asin(1.0), kHalfPi);
    EXPECT_EQ(Asin(-1.0), -kHalfPi);
    EXPECT_EQ(Asin(0.0), 0.0);
}

}  // namespace
}  // namespace fw::pm
