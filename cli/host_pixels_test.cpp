#include "cli/host_pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

namespace fw::cli {
namespace {

TEST(HostPixels, SixteenBitScalingNeverDrifts) {
    for (int h = 0; h <= 32768; ++h) ASSERT_EQ(FileToHost16(HostToFile16(uint16_t(h))), h) << h;
    for (int v = 0; v <= 65535; ++v) {
        const uint16_t once = HostToFile16(FileToHost16(uint16_t(v)));
        ASSERT_LE(std::abs(int(once) - v), 2) << v;
        ASSERT_EQ(HostToFile16(FileToHost16(once)), once) << v;
    }
    EXPECT_EQ(FileToHost16(65535), 32768);
    EXPECT_EQ(HostToFile16(32768), 65535);
    EXPECT_EQ(FileToHost16(0), 0);
}

TEST(HostPixels, GreyIsRepeatedAndAlphaBecomesTheTransparencyPlane) {
    Picture grey(2, 1, 2, 16);
    grey.samples = {65535, 0, 1000, 65535};
    const hostemu::Image image = ToHostImage(grey);
    ASSERT_EQ(image.planes, 4);
    EXPECT_EQ(image.depth, 16);
    EXPECT_EQ(image.mode, fw::sdk::kModeRGB48);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(image.At(0, 0, c), 32768);
        EXPECT_EQ(image.At(1, 0, c), FileToHost16(1000));
    }
    EXPECT_EQ(image.At(0, 0, 3), 0);
    EXPECT_EQ(image.At(1, 0, 3), 32768);

    const Picture back = FromHostImage(image);
    EXPECT_EQ(back.channels, 4);
    EXPECT_EQ(back.depth, 16);
    EXPECT_EQ(back.At(1, 0, 1), HostToFile16(FileToHost16(1000)));
    EXPECT_EQ(back.At(1, 0, 3), 65535);

    Picture rgb(1, 1, 3, 8);
    rgb.samples = {1, 2, 3};
    const hostemu::Image flat = ToHostImage(rgb);
    EXPECT_EQ(flat.planes, 3);
    EXPECT_EQ(flat.mode, fw::sdk::kModeRGBColor);
    EXPECT_EQ(FromHostImage(flat).samples, rgb.samples);
}

// The tool hands its pictures over without a second copy; what arrives must be what the
// copying conversion makes, for every layout (grey still goes through a copy).
TEST(HostPixels, TakingThePixelsOverGivesWhatACopyGives) {
    for (int channels = 1; channels <= 4; ++channels)
        for (int depth : {8, 16}) {
            SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(depth));
            Picture p(5, 3, channels, depth);
            for (size_t i = 0; i < p.samples.size(); ++i)
                p.samples[i] = uint16_t((i * 7919) % size_t(p.MaxValue() + 1));
            p.samples.back() = uint16_t(p.MaxValue());
            const hostemu::Image copied = ToHostImage(p);
            Picture taken = p;
            const hostemu::Image moved = ToHostImage(std::move(taken));
            EXPECT_EQ(moved.width, copied.width);
            EXPECT_EQ(moved.height, copied.height);
            EXPECT_EQ(moved.planes, copied.planes);
            EXPECT_EQ(moved.depth, copied.depth);
            EXPECT_EQ(moved.mode, copied.mode);
            EXPECT_EQ(moved.samples, copied.samples);

            hostemu::Image document = copied;
            document.samples.front() = 40000;  // past the host's full scale: written as full
            const Picture back = FromHostImage(document);
            const Picture backMoved = FromHostImage(std::move(document));
            EXPECT_EQ(backMoved.width, back.width);
            EXPECT_EQ(backMoved.channels, back.channels);
            EXPECT_EQ(backMoved.depth, back.depth);
            EXPECT_EQ(backMoved.samples, back.samples);
        }
}

TEST(HostPixels, SelectionIsEveryNonZeroPixelAndItsBoundingBox) {
    Picture mask(5, 4, 3, 8);
    mask.At(1, 1, 2) = 7;  // any colour channel counts
    mask.At(3, 2, 0) = 255;
    std::vector<uint8_t> selection;
    std::string error;
    ASSERT_TRUE(SelectionFromPicture(mask, 5, 4, selection, error));
    EXPECT_EQ(selection[1 * 5 + 1], 1);
    EXPECT_EQ(selection[2 * 5 + 3], 1);
    EXPECT_EQ(selection[0], 0);
    const PixelRect r = SelectionBounds(selection, 5, 4);
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.top, 1);
    EXPECT_EQ(r.right, 4);
    EXPECT_EQ(r.bottom, 3);

    EXPECT_FALSE(SelectionFromPicture(mask, 5, 5, selection, error));
    EXPECT_NE(error.find("5 x 4"), std::string::npos) << error;
    EXPECT_EQ(SelectionBounds(std::vector<uint8_t>(20, 0), 5, 4).Width(), 0);
}

TEST(HostPixels, BoundingBoxOfScatteredSelectionsMatchesEveryPixelLookedAt) {
    uint32_t seed = 7;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 300; ++round) {
        const int w = 1 + int(next() % 40), h = 1 + int(next() % 30);
        std::vector<uint8_t> selection(size_t(w) * size_t(h), 0);
        const int dots = int(next() % 6);
        for (int i = 0; i < dots; ++i) selection[next() % selection.size()] = 1;
        PixelRect expected{w, h, 0, 0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (selection[size_t(y) * size_t(w) + size_t(x)]) {
                    expected = {std::min(expected.left, x), std::min(expected.top, y),
                                std::max(expected.right, x + 1), std::max(expected.bottom, y + 1)};
                }
        if (expected.right <= expected.left) expected = PixelRect{};
        const PixelRect r = SelectionBounds(selection, w, h);
        EXPECT_TRUE(r.left == expected.left && r.top == expected.top && r.right == expected.right &&
                    r.bottom == expected.bottom)
            << w << " x " << h << " with " << dots << " dots, round " << round;
    }
}

}  // namespace
}  // namespace fw::cli
