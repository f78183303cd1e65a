#include "host/filter_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/platform.h"

namespace fw {
namespace {

TEST(EffectCentre, ThousandthsOfHalfTheAreaFromTheCentre) {
    float cx, cy;
    EffectCentre(1000, 600, 500, 0, 0, 0, cx, cy);
    EXPECT_FLOAT_EQ(cx, 750);
    EXPECT_FLOAT_EQ(cy, 300);
    EffectCentre(1000, 600, 1000, 1000, 0, 0, cx, cy);  // right edge, top edge
    EXPECT_FLOAT_EQ(cx, 1000);
    EXPECT_FLOAT_EQ(cy, 0);
    EffectCentre(1000, 600, -1000, -1000, 0, 0, cx, cy);
    EXPECT_FLOAT_EQ(cx, 0);
    EXPECT_FLOAT_EQ(cy, 600);
    EffectCentre(200, 120, 0, 0, 30, 10, cx, cy);  // a panned preview
    EXPECT_FLOAT_EQ(cx, 70);
    EXPECT_FLOAT_EQ(cy, 50);
}

// Host pixels: rows padded past the pixels, `planes` interleaved components.
template <typename T>
std::vector<uint8_t> HostRows(int w, int h, int planes, int32_t rowBytes,
                              T (*value)(int x, int y, int p)) {
    std::vector<uint8_t> buf(size_t(rowBytes) * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int p = 0; p < planes; ++p)
                reinterpret_cast<T*>(buf.data() + size_t(y) * rowBytes)[x * planes + p] =
                    value(x, y, p);
    return buf;
}

TEST(PixelConversion, EightBitRoundTripForEveryPlaneCount) {
    const int w = 5, h = 3;
    for (int planes = 3; planes <= 5; ++planes) {
        const int32_t rowBytes = w * planes + 7;
        auto in = HostRows<uint8_t>(w, h, planes, rowBytes, [](int x, int y, int p) {
            return uint8_t(40 * p + 7 * x + 3 * y);
        });
        std::vector<uint8_t> work(size_t(w) * h * 4);
        HostToWorking(work.data(), in.data(), w, h, rowBytes, planes, false);
        EXPECT_EQ(work[0], planes >= 4 ? in[3] : 255);  // alpha
        EXPECT_EQ(work[1], in[0]);                      // red
        std::vector<uint8_t> out(in.size(), 0);
        WorkingToHost(work.data(), out.data(), in.data(), w, h, rowBytes, rowBytes, planes, false);
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < w * planes; ++i)
                EXPECT_EQ(out[size_t(y) * rowBytes + i], in[size_t(y) * rowBytes + i])
                    << planes << " planes";
    }
}

TEST(PixelConversion, AlphaIsAppliedByPlaneCount) {
    // One pixel rendered as colour (200, 100, 50) with alpha 128.
    const uint8_t work8[4] = {128, 200, 100, 50};
    const uint8_t in5[5] = {1, 2, 3, 4, 99};
    uint8_t out[5] = {0, 0, 0, 0, 0};
    WorkingToHost(work8, out, in5, 1, 1, 5, 5, 3, false);
    EXPECT_EQ(out[0], 200 * 128 / 255);  // laid over black, truncated
    EXPECT_EQ(out[1], 100 * 128 / 255);
    EXPECT_EQ(out[2], 50 * 128 / 255);
    WorkingToHost(work8, out, in5, 1, 1, 5, 5, 4, false);
    EXPECT_EQ(out[0], 200);
    EXPECT_EQ(out[3], 128);
    WorkingToHost(work8, out, in5, 1, 1, 5, 5, 5, false);
    EXPECT_EQ(out[4], 99);  // the extra channel is kept from the input

    const uint16_t work16[4] = {16384, 32768, 1000, 0};
    uint16_t out16[3] = {};
    const uint16_t in16[3] = {};
    WorkingToHost(work16, out16, in16, 1, 1, 6, 6, 3, true);
    EXPECT_EQ(out16[0], 16384);
    EXPECT_EQ(out16[1], 500);
}

TEST(PixelConversion, SixteenBitAlphaIsFullScaleWithoutTransparency) {
    const uint16_t in[3] = {32768, 12345, 0};
    uint16_t work[4] = {};
    HostToWorking(work, in, 1, 1, 6, 3, true);
    EXPECT_EQ(work[0], 32768);
    EXPECT_EQ(work[1], 32768);
    EXPECT_EQ(work[2], 12345);
    EXPECT_EQ(work[3], 0);
}

TEST(Texture, RedOfTheBitmapInTheFirstByteOfEachCell) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(platform::LoadBitmapRgb(999, w, h, rgb));
    ASSERT_EQ(w, 40);
    ASSERT_EQ(h, 40);
    uint8_t* t = LoadTexture();
    ASSERT_NE(t, nullptr);
    int distinct[256] = {};
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const int cell = 3 * (x + 40 * y);
            EXPECT_EQ(t[cell], rgb[(size_t(y) * 40 + x) * 3]);
            EXPECT_EQ(t[cell + 1], 0);
            EXPECT_EQ(t[cell + 2], 0);
            distinct[t[cell]] = 1;
        }
    for (int i = kTextureBytes; i < kTextureBlockBytes; ++i) ASSERT_EQ(t[i], 0);
    int levels = 0;
    for (int v : distinct) levels += v;
    EXPECT_GT(levels, 16);  // a height pattern, not a flat or two-level picture
    std::free(t);
}

}  // namespace
}  // namespace fw
