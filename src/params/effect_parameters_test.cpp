#include "params/effect_parameters.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(EffectIndex, RoundTripsEveryIndexAndMapsUnknownKindsToZero) {
    EffectParameters p{};
    for (int i = 0; i < kEffectCount; ++i) {
        SetEffectIndex(p, i);
        EXPECT_EQ(EffectIndexOf(p), i) << kEffectNames[i];
    }
    p.EffectKind = 0;
    EXPECT_EQ(EffectIndexOf(p), 0);
    p.EffectKind = 4;
    EXPECT_EQ(EffectIndexOf(p), 0);
}

}  // namespace
}  // namespace fw
