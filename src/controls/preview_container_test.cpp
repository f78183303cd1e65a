#include "controls/preview_container.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw::controls {
namespace {

TEST(PreviewContainer, LayoutCentresASmallAreaAndCutsALargeOne) {
    PreviewLayout l = LayoutPreview(300, 200, 203, 150);
    EXPECT_EQ(l.displayWidth, 200);
    EXPECT_EQ(l.displayHeight, 150);
    EXPECT_EQ(l.drawX, 48);
    EXPECT_EQ(l.drawY, 25);
    l = LayoutPreview(302, 200, 500, 400);
    EXPECT_EQ(l.displayWidth, 300);
    EXPECT_EQ(l.displayHeight, 200);
    EXPECT_EQ(l.drawX, 0);
    EXPECT_EQ(l.drawY, 0);
    l = LayoutPreview(3, 10, 0, 0);
    EXPECT_EQ(l.displayWidth, 0);
    EXPECT_EQ(l.displayHeight, 0);
}

// The output pixel (x, y) counted from the top, as blue, green, red.
const uint8_t* At(const std::vector<uint8_t>& bgr, int width, int height, int x, int y) {
    return &bgr[size_t(height - 1 - y) * 3 * width + 3 * x];
}

void ExpectRgb(const uint8_t* bgr, int r, int g, int b) {
    EXPECT_EQ(bgr[2], r);
    EXPECT_EQ(bgr[1], g);
    EXPECT_EQ(bgr[0], b);
}

TEST(PreviewContainer, RenderedPixelsArePremultipliedAndFlipped) {
    const int filterWidth = 6, w = 4, h = 2;  // the display takes the top-left part
    std::vector<uint8_t> render(size_t(filterWidth) * 4 * 3, 77);
    const uint8_t row0[4][4] = {
        {128, 255, 255, 255}, {0, 10, 20, 30}, {255, 10, 20, 30}, {51, 100, 200, 250}};
    for (int x = 0; x < 4; ++x)
        for (int c = 0; c < 4; ++c) render[size_t(4 * x + c)] = row0[x][c];
    PreviewSource src;
    src.pixels = render.data();
    src.rowBytes = 4 * filterWidth;
    src.rendered = true;
    std::vector<uint8_t> bgr(size_t(3) * w * h, 1);
    FillPreviewPixels(src, w, h, bgr.data());
    ExpectRgb(At(bgr, w, h, 0, 0), 128, 128, 128);
    ExpectRgb(At(bgr, w, h, 1, 0), 0, 0, 0);
    ExpectRgb(At(bgr, w, h, 2, 0), 10, 20, 30);
    ExpectRgb(At(bgr, w, h, 3, 0), 20, 40, 50);
    ExpectRgb(At(bgr, w, h, 0, 1), 23, 23, 23);  // 77 x 77 / 255
    EXPECT_EQ(bgr[0], 23);                       // the bottom row comes first
}

TEST(PreviewContainer, SixteenBitSourcesScaleDownAndClip) {
    const int planes = 4, w = 4, h = 1;
    const uint16_t samples[w][planes] = {
        {32768, 16384, 0, 0}, {127, 128, 32767, 0}, {256, 512, 1024, 0}, {1, 2, 3, 32768}};
    std::vector<uint8_t> row;
    for (const auto& px : samples)
        for (uint16_t v : px) {
            row.push_back(uint8_t(v));  // little endian
            row.push_back(uint8_t(v >> 8));
        }
    PreviewSource src;
    src.pixels = row.data();
    src.rowBytes = int32_t(row.size());
    src.planes = planes;
    src.depth = 16;
    std::vector<uint8_t> bgr(size_t(3) * w * h);
    FillPreviewPixels(src, w, h, bgr.data());
    ExpectRgb(At(bgr, w, h, 0, 0), 255, 128, 0);
    ExpectRgb(At(bgr, w, h, 1, 0), 0, 1, 255);
    ExpectRgb(At(bgr, w, h, 2, 0), 2, 4, 8);
    ExpectRgb(At(bgr, w, h, 3, 0), 0, 0, 0);  // the fourth plane is no alpha here
}

TEST(PreviewContainer, EightBitSourcesCopyOrApplyTheirAlpha) {
    const int w = 4, h = 2;
    PreviewSource src;
    std::vector<uint8_t> rgb(40 * h, 0);  // padded rows
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < 3 * w; ++i) rgb[size_t(40 * y + i)] = uint8_t(10 * y + i);
    src.pixels = rgb.data();
    src.rowBytes = 40;
    std::vector<uint8_t> bgr(size_t(3) * w * h);
    FillPreviewPixels(src, w, h, bgr.data());
    ExpectRgb(At(bgr, w, h, 0, 0), 0, 1, 2);
    ExpectRgb(At(bgr, w, h, 3, 1), 19, 20, 21);

    for (int planes : {4, 5}) {
        std::vector<uint8_t> rgba(size_t(planes) * w * h, 200);
        rgba[3] = 128;
        rgba[size_t(planes) + 3] = 0;
        rgba[size_t(2 * planes) + 3] = 255;
        src.pixels = rgba.data();
        src.rowBytes = planes * w;
        src.planes = planes;
        FillPreviewPixels(src, w, h, bgr.data());
        ExpectRgb(At(bgr, w, h, 0, 0), 100, 100, 100);
        ExpectRgb(At(bgr, w, h, 1, 0), 0, 0, 0);
        ExpectRgb(At(bgr, w, h, 2, 0), 200, 200, 200);
        ExpectRgb(At(bgr, w, h, 3, 0), 156, 156, 156);
    }
}

TEST(PreviewContainer, PatternPositionSpansTheDisplayedImage) {
    // A 400 x 300 area shown at half size, 200 x 150, drawn at (50, 25).
    float px = 1, py = 1;
    ASSERT_TRUE(PatternPositionAt(150, 100, 0, 0, 50, 25, 400, 300, 2.0, px, py));
    EXPECT_FLOAT_EQ(px, 0);
    EXPECT_FLOAT_EQ(py, 0);
    ASSERT_TRUE(PatternPositionAt(250, 25, 0, 0, 50, 25, 400, 300, 2.0, px, py));
    EXPECT_FLOAT_EQ(px, 1000);
    EXPECT_FLOAT_EQ(py, 1000);
    ASSERT_TRUE(PatternPositionAt(50, 175, 0, 0, 50, 25, 400, 300, 2.0, px, py));
    EXPECT_FLOAT_EQ(px, -1000);
    EXPECT_FLOAT_EQ(py, -1000);
    ASSERT_TRUE(PatternPositionAt(-30, -7, 0, 0, 50, 25, 400, 300, 2.0, px, py));
    EXPECT_FLOAT_EQ(px, -1500);
    EXPECT_FLOAT_EQ(py, 1333.3334f);
    // Panned right by 30 and down by 20: the centre is met that much earlier.
    ASSERT_TRUE(PatternPositionAt(120, 80, 30, 20, 50, 25, 400, 300, 2.0, px, py));
    EXPECT_FLOAT_EQ(px, 0);
    EXPECT_FLOAT_EQ(py, 0);
    // An odd size keeps the centre between pixels.
    ASSERT_TRUE(PatternPositionAt(50, 50, 0, 0, 0, 0, 101, 101, 1.0, px, py));
    EXPECT_NEAR(px, -9.9, 0.01);
    EXPECT_NEAR(py, 9.9, 0.01);
    // No usable scale counts as 1.
    ASSERT_TRUE(PatternPositionAt(100, 0, 0, 0, 0, 0, 200, 100, 0.0, px, py));
    EXPECT_FLOAT_EQ(px, 0);
    EXPECT_FLOAT_EQ(py, 1000);
}

TEST(PreviewContainer, NoPatternPositionWithoutAnImage) {
    float px = 7, py = 8;
    EXPECT_FALSE(PatternPositionAt(10, 10, 0, 0, 0, 0, 0, 300, 1.0, px, py));
    EXPECT_FALSE(PatternPositionAt(10, 10, 0, 0, 0, 0, 300, 3, 4.0, px, py));
    EXPECT_EQ(px, 7);
    EXPECT_EQ(py, 8);
}

}  // namespace
}  // namespace fw::controls
