#include "ui/preset_chooser.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw::ui {
namespace {

TEST(PresetChooser, BitmapRowsArePaddedBottomUpAndBlackWhereTransparent) {
    for (int w : {4, 5, 6, 7, 81}) {
        const int h = 3;
        EXPECT_EQ(Dib24RowBytes(w) % 4, 0u);
        EXPECT_GE(Dib24RowBytes(w), size_t(3 * w));
        EXPECT_LT(Dib24RowBytes(w), size_t(3 * w + 4));
        std::vector<uint8_t> working(size_t(w) * h * 4);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* px = &working[(size_t(y) * w + x) * 4];
                px[0] = (x + y) % 3 == 0 ? 0 : 200;  // some pixels transparent
                px[1] = uint8_t(10 * x + y);         // red
                px[2] = uint8_t(50 + y);             // green
                px[3] = uint8_t(100 + x);            // blue
            }
        std::vector<uint8_t> dib(Dib24RowBytes(w) * h, 0xEE);
        WorkingToDib24(working.data(), w, h, dib.data());
        for (int y = 0; y < h; ++y) {
            const uint8_t* row = &dib[Dib24RowBytes(w) * (h - 1 - y)];
            for (int x = 0; x < w; ++x) {
                const uint8_t* src = &working[(size_t(y) * w + x) * 4];
                const bool clear = src[0] == 0;
                EXPECT_EQ(row[3 * x], clear ? 0 : src[3]) << w << " " << x << "," << y;
                EXPECT_EQ(row[3 * x + 1], clear ? 0 : src[2]);
                EXPECT_EQ(row[3 * x + 2], clear ? 0 : src[1]);
            }
            for (size_t pad = 3 * size_t(w); pad < Dib24RowBytes(w); ++pad)
                EXPECT_EQ(row[pad], 0) << "padding of a row " << w << " wide";
        }
    }
}

TEST(PresetChooser, TheSampleFillsTheBoxWhereItReaches) {
    const int pw = 3, ph = 2;
    const uint8_t rgb[pw * ph * 3] = {1,  2,  3,  4,  5,  6,  7,  8,  9,
                                      10, 11, 12, 13, 14, 15, 16, 17, 18};
    std::vector<uint8_t> working(4 * 2 * 4, 0x77);
    FillSampleBuffer(rgb, pw, ph, 4, 2, working.data());
    const uint8_t first[4] = {255, 1, 2, 3};
    const uint8_t lastOfRow1[4] = {255, 16, 17, 18};
    EXPECT_EQ(std::vector<uint8_t>(working.begin(), working.begin() + 4),
              std::vector<uint8_t>(first, first + 4));
    EXPECT_EQ(std::vector<uint8_t>(working.begin() + 24, working.begin() + 28),
              std::vector<uint8_t>(lastOfRow1, lastOfRow1 + 4));
    for (int y = 0; y < 2; ++y)  // the fourth column lies beyond the picture
        for (int c = 0; c < 4; ++c) EXPECT_EQ(working[(size_t(y) * 4 + 3) * 4 + c], 0);
}

}  // namespace
}  // namespace fw::ui
