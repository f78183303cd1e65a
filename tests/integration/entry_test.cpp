// The module's entry point as a host sees it: globals, parameter record, selectors.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "hostemu/emulated_host.h"
#include "params/effect_parameters.h"

namespace {

using namespace fw;
using hostemu::EmulatedHost;
using hostemu::HostOptions;

class EntryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        module_ = hostemu::Module::Load(FW_MODULE_PATH, error);
        ASSERT_TRUE(module_) << error;
    }
    std::unique_ptr<EmulatedHost> MakeHost(HostOptions options = {}) {
        auto host = std::make_unique<EmulatedHost>(module_->Entry(), options);
        host->SetImage(hostemu::Image(32, 24, 3, 8));
        return host;
    }
    static const EffectParameters& Params(EmulatedHost& host) {
        return *reinterpret_cast<const EffectParameters*>(*host.ParametersHandle());
    }
    std::unique_ptr<hostemu::Module> module_;
};

TEST_F(EntryTest, AboutTouchesNeitherGlobalsNorParameters) {
    auto host = MakeHost();
    const int before = host->NewHandleCalls();
    EXPECT_EQ(host->About(), 0);
    EXPECT_EQ(host->DataSlot(), 0);
    EXPECT_EQ(host->ParametersHandle(), nullptr);
    EXPECT_EQ(host->NewHandleCalls(), before);
}

TEST_F(EntryTest, GlobalsAreMadeOnceAndUnlockedAfterEveryCall) {
    auto host = MakeHost();
    const int before = host->NewHandleCalls();
    EXPECT_EQ(host->Call(1), 0);
    const intptr_t slot = host->DataSlot();
    ASSERT_NE(slot, 0);
    ASSERT_NE(host->ParametersHandle(), nullptr);
    EXPECT_EQ(host->NewHandleCalls() - before, 2);  // globals and the parameter record
    auto globals = reinterpret_cast<sdk::Handle>(slot);
    EXPECT_EQ(host->LockDepth(globals), 0);

    EXPECT_EQ(host->Call(2), 0);
    EXPECT_EQ(host->DataSlot(), slot);
    EXPECT_EQ(host->NewHandleCalls() - before, 2);  // initialised only once

    for (int16_t selector : {int16_t(6), int16_t(-1)}) {
        EXPECT_EQ(host->Call(selector), -30100);
        EXPECT_EQ(host->LockDepth(globals), 0) << selector;
    }
}

TEST_F(EntryTest, OutOfMemoryForTheGlobalsDoesNothingElse) {
    HostOptions options;
    options.failNewHandle = true;
    auto host = MakeHost(options);
    EXPECT_EQ(host->Call(1), -108);
    EXPECT_EQ(host->DataSlot(), 0);
    EXPECT_EQ(host->ParametersHandle(), nullptr);
}

TEST_F(EntryTest, AFreshRecordHoldsExactlyTheDefaults) {
    auto host = MakeHost();
    ASSERT_EQ(host->Call(1), 0);
    EffectParameters expected;
    std::memset(&expected, 0, sizeof(expected));
    SetDefaults(expected);
    expected.ShowDialog = 1;  // the parameters selector asks for the dialog
    const EffectParameters& got = Params(*host);
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof(expected)), 0);
    EXPECT_EQ(EffectIndexOf(got), 5);
    EXPECT_EQ(got.NeedsRegeneration, 1);
    EXPECT_EQ(got.CachedTriangles, nullptr);
    EXPECT_EQ(got.CachedPointCount, 0);
}

TEST_F(EntryTest, AHostThatDropsTheParametersGetsAFreshRecordInEveryPhase) {
    for (int16_t selector : {int16_t(1), int16_t(2), int16_t(3)}) {
        auto host = MakeHost();
        ASSERT_EQ(host->Call(1), 0);
        auto* p = reinterpret_cast<EffectParameters*>(*host->ParametersHandle());
        p->Width = 77.0f;
        host->Record().parameters = nullptr;  // the host forgot it
        EXPECT_EQ(host->Call(selector), 0);
        ASSERT_NE(host->ParametersHandle(), nullptr) << selector;
        EXPECT_EQ(Params(*host).Width, 30.0f) << selector;
    }
}

TEST_F(EntryTest, RunsWithoutUsableHandleProcedures) {
    for (int16_t version : {int16_t(0), int16_t(2)}) {
        HostOptions options;
        options.handleProcsVersion = version;
        auto host = MakeHost(options);
        const int before = host->NewHandleCalls();
        EXPECT_EQ(host->RunFilter(), 0);
        EXPECT_EQ(host->NewHandleCalls(), before);  // the module used its own handles
        ASSERT_NE(host->ParametersHandle(), nullptr);
        EXPECT_EQ(Params(*host).MaxTriangles1, 15);
        EXPECT_EQ(host->RunFilter(true), 0);
    }
    HostOptions none;
    none.handleProcs = false;
    auto host = MakeHost(none);
    EXPECT_EQ(host->RunFilter(), 0);
}

}  // namespace
