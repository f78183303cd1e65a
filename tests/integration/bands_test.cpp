// One pattern, many bands: an image done band by band is the image done at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

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

int SelectionTop() {
    const std::vector<uint8_t> mask = Selection();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (mask[size_t(y) * kW + x]) return y;
    return 0;
}

int SelectionBottom() {
    const std::vector<uint8_t> mask = Selection();
    for (int y = kH - 1; y >= 0; --y)
        for (int x = 0; x < kW; ++x)
            if (mask[size_t(y) * kW + x]) return y + 1;
    return kH;
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
    // Renders with `rows` rows a band (0: one band) through advanceState or the host-driven
    // loop, with glass of `refraction` and `aberration` (no glass when both are 0).
    Image Render(const Case& c, int rows, bool advanceState, float refraction = 0,
                 float aberration = 0, int inputRowsBeyondOutput = -1) {
        HostOptions options;
        options.advanceState = advanceState;
        options.inputRowsBeyondOutput = inputRowsBeyondOutput;
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
        p.UseGlass = refraction != 0 || aberration != 0 ? 1 : 0;
        p.Refraction = refraction;
        p.Aberration = aberration;
        p.MinInterval = 12;  // a denser pattern on this small picture
        if (c.selection) p.MaskKind = kMaskBySelection;
        EXPECT_EQ(host.RunFilter(true), 0);
        if (rows > 0) {
            const int height = c.selection ? SelectionBottom() - SelectionTop() : kH;
            EXPECT_EQ(p.RowsPerBand, std::min(rows, height));
        }
        for (int writes : host.RowWrites()) EXPECT_EQ(writes, 1);
        return host.GetImage();
    }
    std::unique_ptr<hostemu::Module> module_;
};

TEST_P(Bands, WithoutGlassEveryBandingGivesTheSamePicture) {
    const Case c = GetParam();
    const Image once = Render(c, 0, true);
    ASSERT_NE(once.samples, Picture(c.depth).samples) << "no frost was drawn";
    for (int rows : {1, 7, 40})
        for (bool advance : {true, false}) {
            const Image banded = Render(c, rows, advance);
            ASSERT_EQ(banded.samples, once.samples)
                << rows << " rows a band, " << (advance ? "advanceState" : "host-driven");
        }
}

// Glass reads the picture around each pixel, so these run on a few effects only.
class GlassBands : public Bands {};

// Strong refraction and aberration reach 41 rows across the seams; a band reads them from
// the input rows the host gives around it.
TEST_P(GlassBands, EveryBandingGivesTheSamePicture) {
    const Case c = GetParam();
    for (const auto& [refraction, aberration] : {std::pair{-100.0f, 100.0f}, {35.0f, 60.0f}}) {
        const Image once = Render(c, 0, true, refraction, aberration);
        ASSERT_NE(once.samples, Render(c, 0, true).samples) << "the glass changed nothing";
        for (int rows : {1, 7, 64, 13, 33})
            for (bool advance : {true, false}) {
                const Image banded = Render(c, rows, advance, refraction, aberration);
                ASSERT_EQ(banded.samples, once.samples)
                    << rows << " rows a band, " << (advance ? "advanceState" : "host-driven")
                    << ", refraction " << refraction << ", aberration " << aberration;
            }
    }
}

// A host that gives less input than asked: each band still gets every one of its rows,
// right wherever its glass needs nothing the host kept back.
TEST_P(GlassBands, AHostThatCutsTheInputOnlyChangesTheSeams) {
    const Case c = GetParam();
    const float refraction = -50, aberration = 20;  // a reach of 14 rows
    const Image once = Render(c, 0, true, refraction, aberration);
    const int rows = 40, top = c.selection ? SelectionTop() : 0;
    for (bool advance : {true, false}) {
        ASSERT_EQ(Render(c, rows, advance, refraction, aberration, 14).samples, once.samples);
        for (int beyond : {0, 5}) {
            const Image banded = Render(c, rows, advance, refraction, aberration, beyond);
            for (int y = top; y < banded.height; ++y) {
                const int inBand = (y - top) % rows;
                const int fromSeam = std::min(inBand, rows - 1 - inBand) + beyond;
                for (int x = 0; x < kW; ++x)
                    for (int p = 0; p < 4; ++p)
                        if (fromSeam >= 14) {
                            ASSERT_EQ(banded.At(x, y, p), once.At(x, y, p)) << x << "," << y;
                        }
            }
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

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name = kEffectNames[info.param.effect];
    for (char& ch : name)
        if (ch == ' ') ch = '_';
    return name + "_" + std::to_string(info.param.depth) + "bit" +
           (info.param.selection ? "_selection" : "");
}

INSTANTIATE_TEST_SUITE_P(EveryEffect, Bands, ::testing::ValuesIn(AllCases()), CaseName);

INSTANTIATE_TEST_SUITE_P(SomeEffects, GlassBands,
                         ::testing::Values(Case{0, 8, false}, Case{0, 16, true}, Case{4, 16, false},
                                           Case{4, 8, true}, Case{8, 16, false}),
                         CaseName);

}  // namespace

namespace {

// The tool's host hands a document done in one band over as its own rows (16-bit) or as
// one buffer for input and output (8-bit); the filter reads all of its input before it
// writes, so the picture is the one of separate buffers.
TEST(InPlaceHost, GivesThePictureOfSeparateBuffers) {
    std::string error;
    auto module = hostemu::Module::Load(FW_MODULE_PATH, error);
    ASSERT_TRUE(module) << error;
    auto render = [&](bool inPlace, const Image& img) {
        HostOptions options;
        options.inPlace = inPlace;
        EmulatedHost host(module->Entry(), options);
        host.SetImage(img);
        EXPECT_EQ(host.RunFilter(), 0);
        return host.GetImage().samples;
    };
    for (int depth : {8, 16})
        for (int planes : {3, 4}) {
            const Image rgba = Picture(depth);
            Image img(kW, kH, planes, depth);
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    for (int p = 0; p < planes; ++p) img.At(x, y, p) = rgba.At(x, y, p);
            const auto separate = render(false, img);
            ASSERT_NE(separate, img.samples) << "no frost was drawn";
            EXPECT_EQ(render(true, img), separate) << planes << " planes, " << depth << "-bit";
        }
}

}  // namespace
