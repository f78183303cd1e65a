#include "params/parameter_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

namespace fw {
namespace {

TEST(ParameterFields, EveryCarriedFieldOnceWithItsOwnKey) {
    std::set<uint32_t> keys;
    std::set<size_t> offsets;
    for (const ParameterField& f : kParameterFields) {
        EXPECT_TRUE(keys.insert(f.key).second) << f.name;
        EXPECT_TRUE(offsets.insert(f.offset).second) << f.name;
        EXPECT_EQ(FindField(f.name), &f);
        const char key[5] = {char(f.key >> 24), char(f.key >> 16), char(f.key >> 8), char(f.key),
                             0};
        EXPECT_EQ(FindField(key), &f);
    }
    EXPECT_EQ(FindField("mskk"), nullptr);  // keys are case-sensitive
    EXPECT_EQ(FindField("Texture"), nullptr);
    EXPECT_EQ(FindField("NeedsRegeneration"), nullptr);
}

TEST(ParameterFields, ValuesAreStoredInTheFieldsWidth) {
    EffectParameters p;
    std::memset(&p, 0, sizeof(p));
    SetDefaults(p);
    SetFieldInteger(p, *FindField("MskK"), 300);
    EXPECT_EQ(p.MaskKind, 44);
    SetFieldInteger(p, *FindField("AutoUpdate"), 257);
    EXPECT_EQ(p.AutoUpdate, 1);
    SetFieldInteger(p, *FindField("Diffuse"), 0xFF8040);
    EXPECT_EQ(p.Diffuse, 0xFF8040u);
    SetFieldReal(p, *FindField("Width"), 12.25);
    EXPECT_EQ(p.Width, 12.25f);
    SetFieldReal(p, *FindField("MaxIterations"), 4.9);
    EXPECT_EQ(p.MaxIterations, 4);
    SetFieldReal(p, *FindField("MaxIterations"), NAN);  // no undefined conversion
    EXPECT_EQ(p.MaxIterations, 0);
    EXPECT_EQ(GetFieldInteger(p, *FindField("EfKn")), 2);
    EXPECT_EQ(GetFieldReal(p, *FindField("Rfrc")), -50.0);
}

}  // namespace
}  // namespace fw
