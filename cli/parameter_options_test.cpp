#include "cli/parameter_options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "params/preset_file.h"

namespace fw::cli {
namespace {

bool SameField(const EffectParameters& a, const EffectParameters& b, const ParameterField& f) {
    return std::memcmp(reinterpret_cast<const char*>(&a) + f.offset,
                       reinterpret_cast<const char*>(&b) + f.offset,
                       f.kind == FieldKind::Byte ? 1 : 4) == 0;
}

TEST(ParameterOptions, SetTakesNamesKeysAndTheFieldsOwnUnits) {
    ParameterOptions o;
    o.sets = {"MaxIterations=5", "MskK=6",       "Width=12.5", "Diffuse=0xFF8000",
              "Spec=255",        "CenterX=-250", "RndS=0x10"};
    EffectParameters p = DefaultParameters();
    std::string error;
    ASSERT_TRUE(ApplyParameterOptions(o, p, error)) << error;
    EXPECT_EQ(p.MaxIterations, 5);
    EXPECT_EQ(p.MaskKind, 6);
    EXPECT_EQ(p.Width, 12.5f);
    EXPECT_EQ(p.Diffuse, 0x0080FFu);  // 0xRRGGBB in, colour reference stored
    EXPECT_EQ(p.Speculare, 255u);     // decimal is the stored value
    EXPECT_EQ(p.CenterX, -250.0f);
    EXPECT_EQ(p.RandomSeed, 16);
    EXPECT_EQ(FieldValueText(p, *FindField("Diffuse")), "0xFF8000");
    EXPECT_EQ(FieldValueDescription(p, *FindField("Color")), "#FFFF00 (65535)");
    EXPECT_EQ(FieldValueDescription(p, *FindField("MaskKind")), "6 (Window)");
}

TEST(ParameterOptions, BadValuesAreRefusedWithTheFieldNamed) {
    const char* bad[] = {"MaxIterations=abc", "MaxIterations=12.5",
                         "MaxIterations=",    "MaxIterations=99999999999",
                         "MaskKind=256",      "MaskKind=-1",
                         "Diffuse=0x1000000", "Diffuse=red",
                         "Width=1e999",       "Width=nan",
                         "Width=3,5",         "Width",
                         "Nothing=1",         "mskk=1"};
    for (const char* set : bad) {
        ParameterOptions o;
        o.sets = {set};
        EffectParameters p = DefaultParameters();
        const EffectParameters before = p;
        std::string error;
        EXPECT_FALSE(ApplyParameterOptions(o, p, error)) << set;
        EXPECT_NE(error.find("--set"), std::string::npos) << error;
        EXPECT_EQ(std::memcmp(&p.MaxIterations, &before.MaxIterations, 4), 0);
    }
}

TEST(ParameterOptions, DialogNamesAndShortcuts) {
    EXPECT_EQ(EffectIndexFromName("Floral 3"), 5);
    EXPECT_EQ(EffectIndexFromName("single4"), 9);
    EXPECT_EQ(EffectIndexFromName("Floral 4"), -1);
    EXPECT_EQ(MaskKindFromName("u-like"), 5);
    EXPECT_EQ(MaskKindFromName("Top and bottom"), 3);
    EXPECT_EQ(MaskKindFromName("7"), 7);
    EXPECT_EQ(MaskKindFromName("8"), -1);
    EXPECT_EQ(GrowDirectionFromName("All directions"), 8);
    EXPECT_EQ(RenderModeFromName("wire"), 3);

    ParameterOptions o;
    o.effect = "Single 2";
    o.maskKind = "Window";
    o.renderMode = "Flat";
    o.growDirection = "Direction 3";
    o.seed = 42;
    o.center = "500,-1000";
    o.alphaCut = true;
    EffectParameters p = DefaultParameters();
    std::string error;
    ASSERT_TRUE(ApplyParameterOptions(o, p, error)) << error;
    EXPECT_EQ(p.EffectKind, kSingle);
    EXPECT_EQ(p.PatternKind, 2);
    EXPECT_EQ(p.MaskKind, kMaskWindow);
    EXPECT_EQ(p.RenderMode, kFlat);
    EXPECT_EQ(p.GrowDirect, 3);
    EXPECT_EQ(p.RandomSeed, 42);
    EXPECT_EQ(p.CenterX, 500.0f);
    EXPECT_EQ(p.CenterY, -1000.0f);
    EXPECT_EQ(p.AlphaCut, 1);

    for (auto edit : {+[](ParameterOptions& x) { x.effect = "Frosty"; },
                      +[](ParameterOptions& x) { x.center = "5"; },
                      +[](ParameterOptions& x) { x.maskKind = "Circle"; }}) {
        ParameterOptions q;
        edit(q);
        EffectParameters r = DefaultParameters();
        EXPECT_FALSE(ApplyParameterOptions(q, r, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(ParameterOptions, PresetFirstThenSetWins) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "fw_options_test.fwv").string();
    EffectParameters saved = DefaultParameters();
    saved.MaxIterations = 6;
    saved.Width = 99.0f;
    ASSERT_TRUE(SavePresetFile(path, saved));
    ParameterOptions o;
    o.preset = path;
    o.sets = {"Width=7"};
    EffectParameters p = DefaultParameters();
    std::string error;
    ASSERT_TRUE(ApplyParameterOptions(o, p, error)) << error;
    EXPECT_EQ(p.MaxIterations, 6);
    EXPECT_EQ(p.Width, 7.0f);
    std::filesystem::remove(path);

    o.preset = path;  // gone now
    EXPECT_FALSE(ApplyParameterOptions(o, p, error));
    EXPECT_NE(error.find("cannot open preset"), std::string::npos) << error;
}

TEST(ParameterOptions, SetArgumentsRebuildAnyRecordExactly) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        EffectParameters p = DefaultParameters();
        for (const ParameterField& f : kParameterFields) {
            const uint32_t r = rng();
            switch (f.kind) {
                case FieldKind::Byte:
                case FieldKind::ByteInInt32:
                    SetFieldInteger(p, f, r & 0xFF);
                    break;
                case FieldKind::Integer:
                    SetFieldInteger(p, f, int32_t(r));
                    break;
                case FieldKind::Colour:
                    SetFieldInteger(p, f, r);
                    break;
                case FieldKind::Real: {
                    float v;
                    do {
                        const uint32_t bits = rng();
                        std::memcpy(&v, &bits, 4);
                    } while (!std::isfinite(v));
                    SetFieldReal(p, f, v);
                }
            }
        }
        const std::vector<std::string> args = ParametersAsSetArguments(p);
        ParameterOptions o;
        for (size_t i = 1; i < args.size(); i += 2) o.sets.push_back(args[i]);
        EffectParameters q = DefaultParameters();
        std::string error;
        ASSERT_TRUE(ApplyParameterOptions(o, q, error)) << error;
        for (const ParameterField& f : kParameterFields)
            EXPECT_TRUE(SameField(p, q, f)) << f.name << " " << FieldValueText(p, f);
    }
}

}  // namespace
}  // namespace fw::cli
