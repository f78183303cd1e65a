// One pattern, many bands: an image done band by band is the image done at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "hostemu/emulated_host.h"
#include "params/effect_parameters.h"

namespace {

using namespace fw;
using hostemu::EmulatedHost;
using hostemu::HostOptions;
using hostemu::Image;

constexpr int kW = 96, kH = 64;

Image Picture(int depth) {
    Image img(kW, kH, 4, depth);
    const int full = img.FullScale();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            img.At(x, y, 0) = uint16_t(full * x / (kW - 1));
            img.At(x, y, 1) = uint16_t(full * y / (kH - 1));
            img.At(x, y, 2) = uint16_t((x + y) % 7 ? full / 2 : full);
            img.At(x, y, 3) = uint16_t(full);
        }
    return img;
}

std::vector<uint8_t> Selection() {
    std::vector<uint8_t> mask(kW * kH, 0);
    for (int y = 6; y < 58; ++y)
        for (int x = 8; x < 90; ++x)
            if ((x - 48) * (x - 48) + 2 * (y - 32) * (y - 32) < 1500 || (x > 70 && y > 40))
                mask[size_t(y) * kW + x] = 255;
    return mask;
}

int SelectionWidth() {
    const std::vector<uint8_t> mask = Selection();
    int left = kW, right = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (mask[size_t(y) * kW + x]) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
            }
    return right - left;
}

struct Case {
    int effect;
    int depth;
    bool selection;
};

class Bands : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        std::string error;
        module_ = hostemu::Module::Load(FW_MODULE_PATH, error);
        ASSERT_TRUE(module_) << error;
    }
    // Renders with `rows` rows a band (0: one band), both band sequences when banded.
    Image Render(const Case& c, int rows, bool advanceState, bool glass) {
        HostOptions options;
        options.advanceState = advanceState;
        // The filter rectangle is the selection's bounding box; a row costs a mask row and
        // an input and an output row of it.
        const int w = c.selection ? SelectionWidth() : kW;
        if (rows > 0) options.maxSpace = rows * (w + 2 * 4 * w);
        EmulatedHost host(module_->Entry(), options);
        host.SetImage(Picture(c.depth));
        if (c.selection) host.SetSelection(Selection());
        EXPECT_EQ(host.Call(1), 0);
        auto& p = *reinterpret_cast<EffectParameters*>(*host.ParametersHandle());
        SetEffectIndex(p, c.effect);
        p.UseGlass = glass ? 1 : 0;
        p.MinInterval = 12;  // a denser pattern on this small picture
        if (c.selection) p.MaskKind = kMaskBySelection;
        EXPECT_EQ(host.RunFilter(true), 0);
        if (rows > 0) {
            EXPECT_EQ(p.RowsPerBand, rows);
        }
        return host.GetImage();
    }
    std::unique_ptr<hostemu::Module> module_;
};

TEST_P(Bands, WithoutGlassEveryBandingGivesTheSamePicture) {
    const Case c = GetParam();
    const Image once = Render(c, 0, true, false);
    ASSERT_NE(once.samples, Picture(c.depth).samples) << "no frost was drawn";
    for (int rows : {1, 7, 40})
        for (bool advance : {true, false}) {
            const Image banded = Render(c, rows, advance, false);
            ASSERT_EQ(banded.samples, once.samples)
                << rows << " rows a band, " << (advance ? "advanceState" : "host-driven");
        }
}

TEST_P(Bands, WithGlassOnlyTheSeamsMayDiffer) {
    const Case c = GetParam();
    const Image once = Render(c, 0, true, true);
    const int rows = 7;
    const Image banded = Render(c, rows, false, true);
    const int reach = 14;  // see the host profile test
    for (int y = 0; y < kH; ++y) {
        const int fromSeam = std::min(y % rows, rows - y % rows);
        for (int x = 0; x < kW; ++x)
            for (int p = 0; p < 4; ++p)
                if (banded.At(x, y, p) != once.At(x, y, p)) {
                    ASSERT_LE(fromSeam, reach) << x << "," << y;
                }
    }
}

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (int effect = 0; effect < kEffectCount; ++effect)
        for (int depth : {8, 16})
            for (bool selection : {false, true})
                if (!selection || effect < 6) cases.push_back({effect, depth, selection});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryEffect, Bands, ::testing::ValuesIn(AllCases()), [](const auto& info) {
    std::string name = kEffectNames[info.param.effect];
    for (char& ch : name)
        if (ch == ' ') ch = '_';
    return name + "_" + std::to_string(info.param.depth) + "bit" +
           (info.param.selection ? "_selection" : "");
});

}  // namespace
