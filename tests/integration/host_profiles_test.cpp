// The module in hosts that behave differently: every profile renders the picture the
// well-behaved image editor renders, or as close as the profile allows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "hostemu/emulated_host.h"

namespace {

using hostemu::EmulatedHost;
using hostemu::HostProfile;
using hostemu::Image;

Image Picture(int depth) {
    Image img(180, 120, 3, depth);
    const int full = img.FullScale();
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            img.At(x, y, 0) = uint16_t(full * x / (img.width - 1));
            img.At(x, y, 1) = uint16_t(full * y / (img.height - 1));
            img.At(x, y, 2) = uint16_t(((x / 12 + y / 12) % 2) ? full : full / 3);
        }
    return img;
}

std::vector<uint8_t> Selection() {
    std::vector<uint8_t> mask(180 * 120, 0);
    for (int y = 10; y < 110; ++y)
        for (int x = 20; x < 170; ++x)
            if ((x - 95) * (x - 95) / 75 + (y - 60) * (y - 60) / 50 < 50)
                mask[size_t(y) * 180 + x] = 1;
    return mask;
}

struct Outcome {
    int16_t result = 0;
    Image image;
    int16_t rowsPerBand = 0;
};

class HostProfiles : public ::testing::TestWithParam<std::tuple<HostProfile, int, bool>> {
  protected:
    void SetUp() override {
        std::string error;
        module_ = hostemu::Module::Load(FW_MODULE_PATH, error);
        ASSERT_TRUE(module_) << error;
    }
    Outcome Run(HostProfile profile, int depth, bool selection) {
        EmulatedHost host(module_->Entry(), hostemu::OptionsFor(profile));
        host.SetImage(Picture(depth));
        if (selection) host.SetSelection(Selection());
        Outcome o;
        // Twice: hosts that keep nothing start from scratch again.
        o.result = host.RunFilter();
        if (o.result == 0) {
            host.SetImage(Picture(depth));
            if (selection) host.SetSelection(Selection());
            o.result = host.RunFilter();
        }
        o.image = host.GetImage();
        return o;
    }
    std::unique_ptr<hostemu::Module> module_;
};

TEST_P(HostProfiles, RendersThePictureOfTheImageEditor) {
    const auto [profile, depth, selection] = GetParam();
    const Outcome reference = Run(HostProfile::ImageEditor, depth, selection);
    ASSERT_EQ(reference.result, 0);
    ASSERT_NE(reference.image.samples, Picture(depth).samples);  // the frost is there
    const Outcome got = Run(profile, depth, selection);
    ASSERT_EQ(got.result, 0) << hostemu::HostProfileName(profile);

    // An 8-bit-only host renders a 16-bit document at 8 bits; the viewer's tiny maxSpace
    // makes bands, whose glass reads the rows around them and so joins without a seam.
    const int tolerance = profile == HostProfile::Bridge && depth == 16 ? 2 * 129 : 0;
    for (int y = 0; y < got.image.height; ++y)
        for (int x = 0; x < got.image.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(got.image.At(x, y, c) - reference.image.At(x, y, c));
                ASSERT_LE(d, tolerance)
                    << hostemu::HostProfileName(profile) << " at " << x << "," << y;
            }
}

INSTANTIATE_TEST_SUITE_P(Matrix, HostProfiles,
                         ::testing::Combine(::testing::ValuesIn(hostemu::kAllHostProfiles),
                                            ::testing::Values(8, 16), ::testing::Bool()),
                         [](const auto& info) {
                             std::string name = hostemu::HostProfileName(std::get<0>(info.param));
                             for (char& c : name)
                                 if (c == ' ') c = '_';
                             return name + "_" + std::to_string(std::get<1>(info.param)) + "bit" +
                                    (std::get<2>(info.param) ? "_selection" : "");
                         });

}  // namespace
