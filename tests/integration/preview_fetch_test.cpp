#include "host/preview_fetch.h"

#include <gtest/gtest.h>

#include "host/filter_run.h"
#include "hostemu/emulated_host.h"

namespace fw {
namespace {

class PreviewFetch : public ::testing::Test {
  protected:
    // A document and filter area of w x h, a preview of pw x ph.
    void Open(int w, int h, int pw, int ph, int depth = 8) {
        host_ = std::make_unique<hostemu::EmulatedHost>(nullptr);
        hostemu::Image img(w, h, 3, depth);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) img.At(x, y, 0) = uint16_t(x % 256);
        host_->SetImage(img);
        host_->Options().maxSpace = 1 << 30;
        host_->RunFilterRecordOnly();
        host_->Activate();
        CurrentFilterRecord = &host_->Record();
        globals_.ResultRef = &result_;
        globals_.FilterRef = &host_->Record();
        globals_.ProxyBounds = sdk::Rect{0, 0, int16_t(ph), int16_t(pw)};
        ReleasePreviewBuffers(surface_);
        surface_ = PreviewSurfaceData{};
        surface_.ClientWidth = pw;
        surface_.ClientHeight = ph;
        surface_.ShowRendered = true;
        PreviewZoom = 1;
    }
    void TearDown() override { ReleasePreviewBuffers(surface_); }

    std::unique_ptr<hostemu::EmulatedHost> host_;
    PluginGlobals globals_{};
    int16_t result_ = 0;
    PreviewSurfaceData surface_;
};

TEST_F(PreviewFetch, FitsTheFilterAreaIntoThePreview) {
    Open(1000, 600, 200, 150);
    FetchPreviewSource(&globals_, surface_);
    EXPECT_EQ(result_, 0);
    EXPECT_EQ(FitScale, 5);
    EXPECT_EQ(PreviewScale, 5);
    const sdk::Rect out = GetOutRect();
    EXPECT_EQ(out.right - out.left, 200);
    EXPECT_EQ(out.bottom - out.top, 120);
    EXPECT_EQ(host_->Record().inputRate, 5 * 65536);
    ASSERT_NE(surface_.SourceBuffer, nullptr);
    // Every fifth document pixel: red = x % 256 of document column 5 * i.
    EXPECT_EQ(surface_.SourceBuffer[4 * 3 + 1], 15);
    EXPECT_EQ(surface_.SourceBuffer[0], 255);  // alpha without transparency
}

TEST_F(PreviewFetch, SmallAreaIsFetchedWholeAtFullResolution) {
    Open(120, 80, 200, 150);
    FetchPreviewSource(&globals_, surface_);
    EXPECT_EQ(FitScale, 1);
    EXPECT_EQ(PreviewScale, 1);
    const sdk::Rect out = GetOutRect();
    EXPECT_EQ(out.right, 120);
    EXPECT_EQ(out.bottom, 80);
}

TEST_F(PreviewFetch, PanIsLimitedToTheDocument) {
    Open(1000, 600, 200, 150);
    PreviewZoom = 0.5;  // magnified: S = 2
    surface_.PanX = 10000;
    surface_.PanY = -30;
    FetchPreviewSource(&globals_, surface_);
    EXPECT_EQ(PreviewScale, 2);
    EXPECT_EQ(surface_.PanX, 1000 / 2 - 200);  // the preview ends at the right edge
    EXPECT_EQ(surface_.PanY, 0);

    Open(1000, 600, 200, 150);
    PreviewZoom = 2;  // zoomed out: no pan at all
    surface_.PanX = 40;
    surface_.PanY = 40;
    FetchPreviewSource(&globals_, surface_);
    EXPECT_EQ(surface_.PanX, 0);
    EXPECT_EQ(surface_.PanY, 0);
    EXPECT_EQ(PreviewScale, 10);
}

TEST_F(PreviewFetch, SixteenBitSamplesBecomeEightBit) {
    Open(4, 1, 200, 150, 16);
    hostemu::Image img = host_->GetImage();
    const uint16_t values[4] = {0, 128, 32767, 32768};
    for (int x = 0; x < 4; ++x) img.At(x, 0, 0) = values[x];
    host_->SetImage(img);
    host_->RunFilterRecordOnly();
    FetchPreviewSource(&globals_, surface_);
    ASSERT_NE(surface_.SourceBuffer, nullptr);
    const uint8_t expected[4] = {0, 1, 255, 255};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(surface_.SourceBuffer[4 * x + 1], expected[x]) << x;
}

TEST_F(PreviewFetch, AHostWithoutAdvanceStateTurnsThePreviewOff) {
    Open(100, 100, 50, 50);
    host_->Record().advanceState = nullptr;
    FetchPreviewSource(&globals_, surface_);
    EXPECT_NE(result_, 0);
}

}  // namespace
}  // namespace fw
