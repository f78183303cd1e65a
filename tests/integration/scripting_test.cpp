// Recording a run into the host's descriptor and replaying it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "hostemu/emulated_host.h"
#include "params/effect_parameters.h"
#include "params/parameter_fields.h"

namespace {

using namespace fw;
using hostemu::Descriptor;
using hostemu::DescriptorItem;
using hostemu::EmulatedHost;
using hostemu::HostOptions;

constexpr uint32_t kNull = sdk::FourCC('n', 'u', 'l', 'l');

EffectParameters& Params(EmulatedHost& host) {
    return *reinterpret_cast<EffectParameters*>(*host.ParametersHandle());
}

DescriptorItem Integer(const char (&key)[5], int32_t v) {
    DescriptorItem i;
    i.key = KeyCode(key);
    i.type = sdk::kTypeInteger;
    i.integer = v;
    return i;
}

DescriptorItem Real(const char (&key)[5], double v) {
    DescriptorItem i;
    i.key = KeyCode(key);
    i.type = sdk::kTypeUnitFloat;
    i.unit = sdk::kUnitDistance;
    i.real = v;
    return i;
}

const DescriptorItem* Find(const Descriptor& d, const char (&key)[5]) {
    for (const DescriptorItem& i : d)
        if (i.key == KeyCode(key)) return &i;
    return nullptr;
}

// Settings a user might have chosen, unlike the defaults in every recorded field.
void Customise(EffectParameters& p) {
    for (const ParameterField& f : kParameterFields) {
        if (f.kind == FieldKind::Real)
            SetFieldReal(p, f, GetFieldReal(p, f) + 1.25);
        else
            SetFieldInteger(p, f, GetFieldInteger(p, f) + 3);
    }
    p.AutoUpdate = 0;
}

class Scripting : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        module_ = hostemu::Module::Load(FW_MODULE_PATH, error);
        ASSERT_TRUE(module_) << error;
    }
    std::unique_ptr<EmulatedHost> Host(HostOptions options = {}) {
        auto host = std::make_unique<EmulatedHost>(module_->Entry(), options);
        hostemu::Image img(24, 16, 3, 8);
        host->SetImage(img);
        return host;
    }
    // Whether the run asked for the dialog (the Linux module reports where it would show it).
    static bool RunAskedForDialog(EmulatedHost& host, bool repeat) {
        setenv("FROSTWEAVE_DEBUG", "1", 1);
        testing::internal::CaptureStderr();
        EXPECT_EQ(host.RunFilter(repeat), 0);
        const std::string said = testing::internal::GetCapturedStderr();
        unsetenv("FROSTWEAVE_DEBUG");
        return said.find("no dialog in this build") != std::string::npos;
    }
    std::unique_ptr<hostemu::Module> module_;
};

TEST_F(Scripting, ARecordedRunHoldsTheFortyThreeKeysInOrder) {
    auto host = Host();
    ASSERT_EQ(host->RunFilter(), 0);
    ASSERT_TRUE(host->HasRecorded());
    const Descriptor& d = host->Recorded();
    ASSERT_EQ(d.size(), 43u);
    EXPECT_EQ(d[0].key, KeyCode("AtUp"));
    EXPECT_EQ(d[0].type, sdk::kTypeBoolean);
    EXPECT_EQ(d[1].key, KeyCode("CtnX"));
    EXPECT_EQ(d[1].type, sdk::kTypeUnitFloat);
    EXPECT_EQ(d[1].unit, sdk::kUnitDistance);
    EXPECT_EQ(d[42].key, KeyCode("Colr"));
    EXPECT_EQ(d[42].integer, 0x00FFFF);
    EXPECT_EQ(Find(d, "Diff")->integer, 0xC0C0C0);
    EXPECT_EQ(Find(d, "EfKn")->integer, 2);
    EXPECT_EQ(Find(d, "Rfrc")->real, -50.0);
    EXPECT_EQ(Find(d, "UsBk"), nullptr);
    EXPECT_EQ(Find(d, "Alph"), nullptr);
    EXPECT_EQ(Find(d, "Beta"), nullptr);
}

TEST_F(Scripting, InteractiveRunsShowTheDialogAndSilentReplaysDoNot) {
    auto host = Host();
    EXPECT_TRUE(RunAskedForDialog(*host, false));
    host->SetDescriptor(host->Recorded());
    host->Options().playInfo = sdk::kPlaySilent;
    EXPECT_FALSE(RunAskedForDialog(*host, true));
    host->Options().playInfo = sdk::kPlayDisplay;
    EXPECT_TRUE(RunAskedForDialog(*host, true));
    // A host without descriptors leaves the choice to the parameters selector.
    HostOptions none;
    none.descriptors = false;
    auto plain = Host(none);
    EXPECT_TRUE(RunAskedForDialog(*plain, false));
    EXPECT_FALSE(RunAskedForDialog(*plain, true));
}

TEST_F(Scripting, ReplayTakesEveryRecordedValueAndKeepsTheUnrecordedOnes) {
    auto recorder = Host();
    ASSERT_EQ(recorder->Call(1), 0);
    Customise(Params(*recorder));
    ASSERT_EQ(recorder->RunFilter(true), 0);
    const EffectParameters recorded = Params(*recorder);
    const Descriptor action = recorder->Recorded();

    auto player = Host();
    ASSERT_EQ(player->RunFilter(), 0);  // a record of its own, with defaults
    player->SetDescriptor(action);
    player->Options().playInfo = sdk::kPlaySilent;
    ASSERT_EQ(player->RunFilter(true), 0);
    const EffectParameters& replayed = Params(*player);
    for (const ParameterField& f : kParameterFields) {
        const std::string key(f.name);
        if (key == "UseBackLight" || key == "Alpha" || key == "Beta") {
            EffectParameters defaults;
            std::memset(&defaults, 0, sizeof(defaults));
            SetDefaults(defaults);
            EXPECT_EQ(GetFieldReal(replayed, f), GetFieldReal(defaults, f)) << f.name;
        } else {
            EXPECT_EQ(GetFieldReal(replayed, f), GetFieldReal(recorded, f)) << f.name;
        }
    }
    EXPECT_EQ(replayed.ShowDialog, 0);
}

TEST_F(Scripting, MissingKeysKeepTheirFieldsAndAreNotAnError) {
    auto host = Host();
    ASSERT_EQ(host->RunFilter(), 0);
    host->SetDescriptor(
        {Integer("MskK", 300), Real("Wdth", 42.5), Integer("UsBk", 0), Real("Alph", 7.0)});
    host->Options().playInfo = sdk::kPlaySilent;
    EXPECT_EQ(host->RunFilter(true), 0);
    const EffectParameters& p = Params(*host);
    EXPECT_EQ(p.MaskKind, 44);  // the low eight bits
    EXPECT_EQ(p.Width, 42.5f);
    EXPECT_EQ(p.UseBackLight, 0);
    EXPECT_EQ(p.Alpha, 7.0f);
    EXPECT_EQ(p.Lenght, 15.0f);
    EXPECT_EQ(p.EffectKind, 2);
    (void)kNull;
}

TEST_F(Scripting, IncompleteDescriptorProceduresAreNotUsed) {
    HostOptions options;
    options.readProcCount = 17;
    auto host = Host(options);
    ASSERT_EQ(host->RunFilter(), 0);
    EXPECT_FALSE(host->HasRecorded());
    host->SetDescriptor({Integer("MskK", 3)});
    ASSERT_EQ(host->RunFilter(true), 0);
    EXPECT_EQ(Params(*host).MaskKind, 5);
}

}  // namespace
