#include "gimp/plugin_settings.h"

#include <gtest/gtest.h>

#include <cstring>

#include "cli/parameter_options.h"
#include "params/parameter_fields.h"
#include "params/preset_file.h"

namespace fw::gimp {
namespace {

TEST(ParameterString, SplitsOnAnyRunOfBlanks) {
    EXPECT_EQ(SplitParameterString("  RenderMode=4\tScale=50.5\n\r RandomSeed=7  "),
              (std::vector<std::string>{"RenderMode=4", "Scale=50.5", "RandomSeed=7"}));
    EXPECT_TRUE(SplitParameterString(" \t ").empty());
}

TEST(Arguments, PresetThenItemsOverTheDefaults) {
    const std::string preset = std::string(FW_PRESET_DIR) + "/frost-wreath.fwv";
    EffectParameters fromPreset = cli::DefaultParameters();
    ASSERT_TRUE(LoadPresetFile(preset, fromPreset));

    EffectParameters p = cli::DefaultParameters();
    std::string error;
    ASSERT_TRUE(SettingsFromArguments(preset, "RandomSeed=42 Diffuse=0x102030", p, error)) << error;
    EXPECT_EQ(p.RandomSeed, 42);
    EXPECT_EQ(p.Diffuse, 0x302010u);  // the record holds 0x00BBGGRR
    EXPECT_EQ(p.Scale, fromPreset.Scale);
    EXPECT_EQ(p.EffectKind, fromPreset.EffectKind);
    EXPECT_EQ(p.NeedsRegeneration, 1);

    // An empty preset and string give the defaults.
    ASSERT_TRUE(SettingsFromArguments("", "", p, error));
    EXPECT_EQ(FormatPreset(p), FormatPreset(cli::DefaultParameters()));
}

TEST(Arguments, RefusedWithAMessageAndNothingChanged) {
    const struct {
        const char* preset;
        const char* items;
        const char* says;
    } cases[] = {
        {"/nonexistent/x.fwv", "", "cannot open preset '/nonexistent/x.fwv'"},
        {"", "Nonsense=3", "parameter Nonsense=3: unknown field \"Nonsense\""},
        {"", "RenderMode=300", "RenderMode=300: expected a whole number from 0 to 255"},
        {"", "Scale", "parameter Scale: expected NAME=VALUE"},
        {"", "RandomSeed=5 Scale=abc", "Scale=abc: expected a number"},
    };
    for (const auto& c : cases) {
        EffectParameters p = cli::DefaultParameters();
        p.RandomSeed = 99;
        std::string error;
        EXPECT_FALSE(SettingsFromArguments(c.preset, c.items, p, error)) << c.items;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(p.RandomSeed, 99) << c.items;
    }
}

TEST(LastValues, EveryCarriedFieldComesBack) {
    EffectParameters p = cli::DefaultParameters();
    std::string error;
    ASSERT_TRUE(SettingsFromArguments(
        "", "RandomSeed=-17 Scale=33.25 LightColor=0xABCDEF AlphaCut=1 MaskKind=7", p, error));
    const std::string text = LastValuesText(p);
    EXPECT_TRUE(HasPresetHeader(text));

    EffectParameters back = cli::DefaultParameters();
    ASSERT_TRUE(ReadLastValues(text, back));
    for (const ParameterField& f : kParameterFields)
        EXPECT_EQ(cli::FieldValueText(back, f), cli::FieldValueText(p, f)) << f.name;

    EffectParameters untouched = cli::DefaultParameters();
    EXPECT_FALSE(ReadLastValues("RandomSeed 5", untouched));
    EXPECT_EQ(untouched.RandomSeed, cli::DefaultParameters().RandomSeed);
}

TEST(Selection, AnySelectedAmountCounts) {
    EXPECT_EQ(HostSelection({0.0f, 1e-6f, 0.5f, 1.0f, 0.0f}),
              (std::vector<uint8_t>{0, 1, 1, 1, 0}));
}

}  // namespace
}  // namespace fw::gimp
