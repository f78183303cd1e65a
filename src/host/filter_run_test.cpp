#include "host/filter_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "host/preview_state.h"

namespace fw {
namespace {

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

// The request the filter run hands the scene step, from a record made by hand.
class SceneRequestFromTheHost : public ::testing::Test {
  protected:
    void SetUp() override {
        SetDefaults(p_);
        block_ = &p_;
        fr_.parameters = reinterpret_cast<sdk::Handle>(&block_);
        fr_.filterRect = sdk::Rect{10, 20, 110, 220};  // 200 x 100 at (20, 10)
        fr_.depth = 16;
        CurrentFilterRecord = &fr_;
        g_.FilterRef = &fr_;
        g_.ResultRef = &result_;
        progress_.clear();
    }
    void TearDown() override {
        DialogPreviewActive = false;
        PreviewScale = 1;
        CurrentFilterRecord = nullptr;
        FreeTexture(p_);
    }
    static void RecordProgress(int32_t done, int32_t total) {
        progress_.push_back(done);
        EXPECT_EQ(total, 100);
    }

    EffectParameters p_{};
    void* block_ = nullptr;
    sdk::FilterRecord fr_{};
    PluginGlobals g_{};
    int16_t result_ = 0;
    uint8_t pixels_[4] = {};
    static inline std::vector<int32_t> progress_;
};

TEST_F(SceneRequestFromTheHost, AFinalBandKeepsItsPlaceDepthAndProgress) {
    fr_.outRect = sdk::Rect{40, 20, 60, 220};  // rows 30 to 50 of the filter area
    fr_.progressProc = RecordProgress;
    const SceneRequest r = SceneRequestFor(&g_, pixels_, pixels_, 150, 25, 0, 0, 1600, true);
    EXPECT_EQ(r.parameters, &p_);
    EXPECT_EQ(r.filterWidth, 200);
    EXPECT_EQ(r.filterHeight, 100);
    EXPECT_EQ(r.zoom, 1);
    EXPECT_EQ(r.width, 200);
    EXPECT_EQ(r.height, 20);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.centreX, 150);
    EXPECT_EQ(r.centreY, 25);
    EXPECT_TRUE(r.sixteen);
    EXPECT_EQ(r.quality, 1);
    EXPECT_EQ(r.rowBytes, 1600);
    EXPECT_EQ(r.bumpSource, nullptr);  // the run loads a fresh texture itself
    EXPECT_FALSE(r.selectionPresent);
    ASSERT_TRUE(r.progress);
    r.progress(42);
    EXPECT_EQ(progress_, std::vector<int32_t>{42});

    fr_.depth = 0;  // some hosts leave the depth unset: 8 bits
    EXPECT_FALSE(SceneRequestFor(&g_, pixels_, pixels_, 0, 0, 0, 0, 800, true).sixteen);
}

TEST_F(SceneRequestFromTheHost, APreviewIsScaledQuickEightBitAndSilent) {
    DialogPreviewActive = true;
    PreviewScale = 4;
    p_.Texture = static_cast<uint8_t*>(std::calloc(kTextureBlockBytes, 1));
    fr_.outRect = sdk::Rect{0, 0, 25, 40};
    fr_.progressProc = RecordProgress;
    const SceneRequest r = SceneRequestFor(&g_, pixels_, pixels_, 18, 9.5f, 7, 3, 160, false);
    EXPECT_EQ(r.zoom, 4);
    EXPECT_EQ(r.width, 40);
    EXPECT_EQ(r.height, 25);
    EXPECT_EQ(r.left, 7);  // the pan
    EXPECT_EQ(r.top, 3);
    EXPECT_EQ(r.centreX, 25);  // back in the whole scaled area
    EXPECT_EQ(r.centreY, 12.5);
    EXPECT_FALSE(r.sixteen);
    EXPECT_EQ(r.quality, 0);
    EXPECT_EQ(r.bumpSource, p_.Texture);
    EXPECT_FALSE(r.progress);
}

TEST_F(SceneRequestFromTheHost, TheSelectionIsTheMaskRectangleWithinTheFilterArea) {
    std::vector<uint8_t> mask(300 * 100, 255);
    fr_.outRect = fr_.filterRect;
    fr_.haveMask = 1;
    const SceneRequest without = SceneRequestFor(&g_, pixels_, pixels_, 0, 0, 0, 0, 1600, true);
    EXPECT_TRUE(without.selectionPresent);  // centres "By selection" even with no pixels
    EXPECT_EQ(without.selection.data, nullptr);

    fr_.maskData = mask.data();
    fr_.maskRowBytes = 300;
    fr_.maskRect = sdk::Rect{12, 25, 110, 220};
    const SceneRequest r = SceneRequestFor(&g_, pixels_, pixels_, 0, 0, 0, 0, 1600, true);
    EXPECT_EQ(r.selection.data, mask.data());
    EXPECT_EQ(r.selection.width, 195);
    EXPECT_EQ(r.selection.height, 98);
    EXPECT_EQ(r.selection.rowBytes, 300);
    EXPECT_EQ(r.selection.left, 5);
    EXPECT_EQ(r.selection.top, 2);
}

// 32000 x 32000 pixels at 16 bits need 8 GB a working buffer, which wraps round to 3.9 GB in
// a 32-bit size_t: such a band must be refused before anything is allocated or touched.
TEST_F(SceneRequestFromTheHost, ABandNoBlockOfThisBuildHoldsIsRefusedUntouched) {
    fr_.filterRect = fr_.outRect = sdk::Rect{0, 0, 32000, 32000};
    fr_.imageMode = sdk::kModeRGB48;
    fr_.planes = 3;
    EXPECT_EQ(BandBuffersFit(&g_, 32000), sizeof(size_t) == 8);
    // The bands of a host offering 2 GB: 9587 rows, 2.45 GB a buffer.
    EXPECT_EQ(BandBuffersFit(&g_, 9587), sizeof(size_t) == 8);
    EXPECT_TRUE(BandBuffersFit(&g_, 100));
    if (sizeof(size_t) == 8)
        GTEST_SKIP() << "a 64-bit build may get 8 GB: tests/address_space runs it under a limit";

    std::vector<uint8_t> in(64, 0x11), out(64, 0x22);
    fr_.inData = in.data();
    fr_.outData = out.data();
    fr_.inRowBytes = fr_.outRowBytes = 32000 * 3 * 2;
    DoFilter(&g_, true);
    EXPECT_EQ(result_, sdk::kMemFullErr);
    EXPECT_EQ(in, std::vector<uint8_t>(64, 0x11));
    EXPECT_EQ(out, std::vector<uint8_t>(64, 0x22));
}

}  // namespace
}  // namespace fw
