// The scene step called with a request made by hand, without any host, draws exactly the
// pixels a filter run of the loaded module leaves in the document: what the dialog's
// preview, the preset chooser and the GIMP plug-in rely on when they call it directly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "hostemu/emulated_host.h"
#include "params/effect_parameters.h"
#include "render/scene_assembly.h"

namespace {

using namespace fw;
using hostemu::EmulatedHost;
using hostemu::Image;

Image Picture(int w, int h, int depth) {
    Image img(w, h, 4, depth);
    const int full = img.FullScale();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            img.At(x, y, 0) = uint16_t(full * x / (w - 1));
            img.At(x, y, 1) = uint16_t(full * y / (h - 1));
            img.At(x, y, 2) = uint16_t((x / 9 + y / 7) % 2 ? full / 5 : full);
            img.At(x, y, 3) = uint16_t(full);
        }
    return img;
}

void Configure(EffectParameters& p, int effect) {
    SetEffectIndex(p, effect);
    p.MinInterval = 12;  // a denser pattern on this small picture
    p.CenterX = 250;
    p.CenterY = -150;
    p.UseGlass = 1;
}

// The document after a whole run of the module.
Image FilterRun(const Image& picture, int effect) {
    std::string error;
    auto module = hostemu::Module::Load(FW_MODULE_PATH, error);
    EXPECT_TRUE(module) << error;
    if (!module) return {};
    EmulatedHost host(module->Entry());
    host.SetImage(picture);
    EXPECT_EQ(host.Call(1), 0);
    Configure(*reinterpret_cast<EffectParameters*>(*host.ParametersHandle()), effect);
    EXPECT_EQ(host.RunFilter(true), 0);
    return host.GetImage();
}

// The same picture through RenderScene, in working pixels (alpha, red, green, blue).
Image DirectRender(const Image& picture, int effect) {
    const int w = picture.width, h = picture.height;
    const bool sixteen = picture.depth == 16;
    std::vector<uint16_t> input(size_t(w) * h * 4), output(input.size());
    std::vector<uint8_t> input8(input.size()), output8(input.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) {
                const uint16_t v = picture.At(x, y, (c + 3) % 4);
                input[(size_t(y) * w + x) * 4 + c] = v;
                input8[(size_t(y) * w + x) * 4 + c] = uint8_t(v);
            }

    EffectParameters p{};
    SetDefaults(p);
    Configure(p, effect);
    std::unique_ptr<uint8_t, decltype(&std::free)> bump(LoadTexture(), &std::free);
    SceneRequest r = WholeAreaRequest(p, w, h);
    r.sixteen = sixteen;
    r.bumpSource = bump.get();
    r.input = sixteen ? static_cast<const void*>(input.data()) : input8.data();
    r.output = sixteen ? static_cast<void*>(output.data()) : output8.data();
    r.rowBytes = w * 4 * (sixteen ? 2 : 1);
    RenderScene(r);
    EXPECT_EQ(p.NeedsRegeneration, 0);
    EXPECT_GT(p.CachedTriangleCount, 0);
    FreePatternCache(p);

    Image out = picture;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) {
                const size_t at = (size_t(y) * w + x) * 4 + c;
                out.At(x, y, (c + 3) % 4) = sixteen ? output[at] : output8[at];
            }
    return out;
}

TEST(SceneStepWithoutAHost, DrawsWhatTheFilterRunDraws) {
    for (int depth : {8, 16})
        for (int effect : {0, 5, 7}) {
            const Image picture = Picture(90, 70, depth);
            const Image run = FilterRun(picture, effect);
            ASSERT_NE(run.samples, picture.samples) << "no frost was drawn";
            const Image direct = DirectRender(picture, effect);
            size_t first = 0;
            while (first < run.samples.size() && run.samples[first] == direct.samples[first])
                ++first;
            EXPECT_EQ(first, run.samples.size()) << depth << "-bit, effect " << effect
                                                 << ": first difference at pixel " << first / 4;
        }
}

}  // namespace
