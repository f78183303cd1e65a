// Whole filter runs in a process where large blocks cannot be had, as in a host whose address
// space is used up: the run ends with -108 and leaves the document as it was.
//
// The limit comes from AddressSanitizer, which here hands out nothing over 32 MB and returns
// null instead of stopping; builds without it skip these (the address-space runs of the
// plain builds meet the same failures under ulimit -v).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hostemu/emulated_host.h"
#include "params/effect_parameters.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=32";
}
constexpr bool kLimited = true;
#else
constexpr bool kLimited = false;
#endif

namespace {

using namespace fw;
using hostemu::EmulatedHost;
using hostemu::HostOptions;
using hostemu::Image;

Image Picture(int w, int h, int depth) {
    Image img(w, h, 3, depth);
    for (size_t i = 0; i < img.samples.size(); ++i)
        img.samples[i] = uint16_t((i * 7919) % size_t(img.FullScale() + 1));
    return img;
}

class ShortOfMemory : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!kLimited) GTEST_SKIP() << "needs AddressSanitizer's allocation limit";
        std::string error;
        module_ = hostemu::Module::Load(FW_MODULE_PATH, error);
        ASSERT_TRUE(module_) << error;
    }
    // The host keeps no undo copy: what the document holds afterwards is the module's doing.
    int16_t Run(const Image& img, HostOptions options, void (*edit)(EffectParameters&)) {
        options.undo = false;
        host_ = std::make_unique<EmulatedHost>(module_->Entry(), options);
        host_->SetImage(img);
        EXPECT_EQ(host_->Call(sdk::kSelectorParameters), 0);
        edit(**reinterpret_cast<EffectParameters**>(host_->ParametersHandle()));
        return host_->RunFilter(true);
    }
    std::unique_ptr<hostemu::Module> module_;
    std::unique_ptr<EmulatedHost> host_;
};

// 2200 x 2200 at 16 bits: the host's document and band are 29 MB, a working buffer 38.7 MB.
TEST_F(ShortOfMemory, WorkingBuffersThatCannotBeHadGiveMinus108) {
    const Image img = Picture(2200, 2200, 16);
    EXPECT_EQ(Run(img, {}, [](EffectParameters&) {}), -108);
    EXPECT_EQ(host_->GetImage().samples, img.samples);
}

// A full triangle budget on 400 x 300 (302 500 tiny triangles) needs 36 MB of points: the
// pattern cannot be had, in the first of two bands or in any later one, and no band is
// written with a pattern missing.
TEST_F(ShortOfMemory, APatternThatCannotBeHadGivesMinus108InEveryBandWalk) {
    const Image img = Picture(400, 300, 8);
    for (bool advance : {true, false}) {
        HostOptions options;
        options.maxSpace = 150 * (400 + 6 * 400);  // two bands of 150 rows
        options.advanceState = advance;
        EXPECT_EQ(Run(img, options,
                      [](EffectParameters& p) {
                          SetEffectIndex(p, 0);
                          p.MaxIterations = 2147483647;
                      }),
                  -108)
            << (advance ? "advanceState" : "host-driven bands");
        EXPECT_EQ(host_->GetImage().samples, img.samples);
    }
}

}  // namespace
