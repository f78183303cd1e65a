// The benchmarks' scenes are only worth timing if they are what the filter renders: the
// real renderer draws each one to exactly the pixels the scene assembly produces for the
// same picture and parameters (final bands of 8 and 16 bits, previews at scale 1 and 2).
#include "real_scene.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/filter_run.h"
#include "host/preview_fetch.h"
#include "hostemu/emulated_host.h"
#include "render/scene_assembly.h"

namespace fw::bench {
namespace {

class RealSceneMatchesTheFilter : public ::testing::Test {
  protected:
    void TearDown() override {
        DialogPreviewActive = false;
        PreviewScale = 1;
        if (EffectParameters* p = Parameters(&globals_)) {
            FreePatternCache(*p);
            FreeTexture(*p);
        }
    }

    // The picture's pixels as the scene assembly leaves them, in the renderer's layout.
    std::vector<uint8_t> FilterRender(const EffectParameters& params, int w, int h, int depth,
                                      bool final, double zoom) {
        host_ = std::make_unique<hostemu::EmulatedHost>(nullptr);
        host_->SetImage(hostemu::Image(w, h, 3, depth));
        host_->RunFilterRecordOnly();
        host_->Activate();
        sdk::FilterRecord& fr = host_->Record();
        CurrentFilterRecord = &fr;
        fr.inRect = fr.outRect = fr.filterRect;
        globals_.ResultRef = &result_;
        globals_.FilterRef = &fr;
        EXPECT_TRUE(EnsureParameters(&globals_));
        EffectParameters& p = *Parameters(&globals_);
        FreePatternCache(p);
        FreeTexture(p);
        p = params;
        p.NeedsRegeneration = 1;
        if (!final) {
            // The open dialog renders the scaled-down area with the texture it keeps.
            DialogPreviewActive = true;
            PreviewScale = zoom;
            p.Texture = LoadTexture();
            const int16_t sw = int16_t(w / zoom + 0.5), sh = int16_t(h / zoom + 0.5);
            SetOutRect(sdk::Rect{0, 0, sh, sw});
        }
        const sdk::Rect out = GetOutRect();
        const int ow = out.right - out.left, oh = out.bottom - out.top;
        const bool deep = final && depth == 16;
        // The input is the benchmarks' picture, turned into the working format.
        const std::vector<uint8_t> picture = RealScenePicture(ow, oh, deep);
        const int32_t rowBytes = ow * 4 * (deep ? 2 : 1);
        std::vector<uint8_t> input(picture.size()), output(picture.size(), 0x5A);
        FromLibraryPixels(picture.data(), input.data(), ow * 4, ow, oh, deep);
        float cx = 0, cy = 0;
        EffectCentre(ow, oh, p.CenterX, p.CenterY, 0, 0, cx, cy);
        BuildAndRenderScene(&globals_, output.data(), input.data(), cx, cy, 0, 0, rowBytes, final);
        std::vector<uint8_t> library(picture.size());
        ToLibraryPixels(output.data(), ow * 4, library.data(), ow, oh, deep);
        return library;
    }

    void ExpectSamePixels(const EffectParameters& p, int w, int h, int depth, bool final,
                          double zoom = 1) {
        const std::vector<uint8_t> filter = FilterRender(p, w, h, depth, final, zoom);
        const auto scene = MakeRealScene(p, w, h, final, depth == 16, zoom);
        ASSERT_TRUE(scene);
        ASSERT_GT(scene->TriangleCount(), 0);
        ASSERT_EQ(scene->PictureBytes(), filter.size());
        std::vector<uint8_t> ours = scene->source;
        RenderRealScene(*scene, ours.data());
        // A scene that draws nothing would match trivially.
        size_t changed = 0;
        for (size_t i = 0; i < ours.size(); ++i) changed += ours[i] != scene->source[i];
        EXPECT_GT(changed, ours.size() / 50);
        size_t first = 0;
        while (first < ours.size() && ours[first] == filter[first]) ++first;
        const size_t pixelBytes = scene->deep ? 8 : 4;
        EXPECT_EQ(first, ours.size()) << "first difference at pixel " << first / pixelBytes;
    }

    std::unique_ptr<hostemu::EmulatedHost> host_;
    PluginGlobals globals_{};
    int16_t result_ = 0;
};

TEST_F(RealSceneMatchesTheFilter, FinalBandsOfEightAndSixteenBits) {
    ExpectSamePixels(DefaultEffect(), 320, 240, 8, true);
    ExpectSamePixels(DefaultEffect(), 250, 170, 16, true);
}

TEST_F(RealSceneMatchesTheFilter, GeometricWithAnOffCentreEffect) {
    EffectParameters p = DenseGeometricEffect();
    p.MaxIterations = 3;  // the dense setting would take seconds to grow here
    p.CenterX = 300;
    p.CenterY = -200;
    p.LightAlpha = 60;
    ExpectSamePixels(p, 300, 200, 8, true);
}

TEST_F(RealSceneMatchesTheFilter, DialogPreviews) {
    ExpectSamePixels(DefaultEffect(), 200, 165, 8, false);
    ExpectSamePixels(DefaultEffect(), 400, 330, 16, false, 2);
}

}  // namespace
}  // namespace fw::bench
