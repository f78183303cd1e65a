#include "gimp/dialog_fields.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>

#include "cli/parameter_options.h"
#include "params/parameter_fields.h"

namespace fw::gimp {
namespace {

TEST(DialogFields, EveryFieldThatMattersHasOneWidgetWhoseRangeHoldsItsDefault) {
    std::map<std::string, int> shown;
    const EffectParameters defaults = cli::DefaultParameters();
    auto visit = [&](const DialogGroup& g) {
        for (int i = 0; i < g.count; ++i) {
            const DialogField& f = g.fields[i];
            const ParameterField* field = FindField(f.field);
            ASSERT_NE(field, nullptr) << f.field;
            ++shown[f.field];
            if (f.kind == DialogField::Kind::Number) {
                EXPECT_LT(f.min, f.max) << f.field;
                const double v = GetFieldReal(defaults, *field);
                EXPECT_TRUE(v >= f.min && v <= f.max) << f.field << " default " << v;
            }
            if (f.kind == DialogField::Kind::Choice) {
                ASSERT_GT(f.choiceCount, 0);
                if (std::string(f.field) != "EffectKind") {
                    const int64_t v = GetFieldInteger(defaults, *field);
                    EXPECT_TRUE(v >= f.comboFirst && v < f.comboFirst + f.choiceCount) << f.field;
                }
            }
        }
    };
    visit(kMainGroup);
    for (const DialogGroup& g : kFieldGroups) visit(g);
    // The preview's own switch stands for AutoUpdate; the effect row sets PatternKind too.
    for (const ParameterField& f : kParameterFields) {
        const std::string name = f.name;
        const int expected = name == "AutoUpdate" || name == "PatternKind" ? 0 : 1;
        EXPECT_EQ(shown[name], expected) << name;
    }
}

TEST(DialogFields, EveryEffectDependentControlIsFound) {
    std::map<int, int> found;
    for (const ParameterField& f : kParameterFields)
        if (auto c = EffectControlOf(f.name)) ++found[int(*c)];
    for (int c = 0; c < int(EffectControl::Count); ++c) EXPECT_EQ(found[c], 1) << c;
    EXPECT_FALSE(EffectControlOf("Scale").has_value());
}

TEST(DialogFields, EveryMnemonicReachesOneWidget) {
    std::map<char, std::string> owner;
    auto claim = [&](const std::string& label) {
        const size_t at = label.find('_');
        if (at == std::string::npos || at + 1 >= label.size()) return;
        const char key = char(std::tolower(static_cast<unsigned char>(label[at + 1])));
        EXPECT_TRUE(owner.emplace(key, label).second)
            << label << " and " << owner[key] << " share Alt+" << key;
    };
    for (const char* button : {"_OK", "_Cancel", "_Help", kResetLabel, kSavePresetLabel})
        claim(button);
    for (int i = 0; i < kMainGroup.count; ++i) claim(kMainGroup.fields[i].label);
    for (const DialogGroup& g : kFieldGroups) {
        claim(g.title);
        for (int i = 0; i < g.count; ++i) claim(g.fields[i].label);
    }
}

}  // namespace
}  // namespace fw::gimp
