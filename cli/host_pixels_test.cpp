#include "cli/host_pixels.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

}  // namespace
}  // namespace fw::cli
