// The scene step against a recording renderer: what it hands over, and when.
#include "render/scene_assembly.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "pattern/triangle_list.h"
#include "platform/platform.h"
#include "prismcore/prismcore.h"

namespace {

// What the last render was given.
struct Recorded {
    int calls = 0;
    uint8_t drawMode = 255, quality = 255, deep = 255;
    int32_t width = 0, height = 0, rowLength = 0, pointCount = -1, triangleCount = -1;
    int32_t centerX = 0, centerY = 0;
    std::vector<__Point3ds> points;
    material3ds material{};
    __Texture textures[4]{};
    light3ds lights[2]{};
    GlassProp glass{};
} g_rec;

}  // namespace

// The renderer's entry points, recorded instead of drawn (these definitions take the place
// of the library's in this test program).
extern "C" {
void __SetDrawMode(uint8_t m) {
    g_rec.drawMode = m;
}
void __SetQuality(uint8_t q) {
    g_rec.quality = q;
}
void __SetDeep(uint8_t d) {
    g_rec.deep = d;
}
uint8_t __GetDeep(void) {
    return g_rec.deep;
}
void __SetUseMultyRefract(uint8_t) {}
void __SetDubleSide(uint8_t) {}
void __RasterScene(uint8_t*, const uint8_t*, int32_t w, int32_t h, int32_t rowLength, int32_t p,
                   int32_t t, const __Triangle3ds*, const __Point3ds* points, int32_t cx,
                   int32_t cy, int32_t, const material3ds* m, const __Texture* tex, int32_t,
                   const light3ds* lights, const GlassProp* glass) {
    ++g_rec.calls;
    g_rec.width = w;
    g_rec.height = h;
    g_rec.rowLength = rowLength;
    g_rec.pointCount = p;
    g_rec.triangleCount = t;
    g_rec.centerX = cx;
    g_rec.centerY = cy;
    g_rec.points.assign(points, points + (points ? p : 0));
    g_rec.material = *m;
    std::memcpy(g_rec.textures, tex, sizeof(g_rec.textures));
    g_rec.lights[0] = lights[0];
    g_rec.lights[1] = lights[1];
    g_rec.glass = *glass;
}
}

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

// Scene requests as a caller without any host makes them: the whole area in one piece.
class SceneAssembly : public ::testing::Test {
  protected:
    void Open(int w, int h, int depth) {
        FreePatternCache(p_);
        FreeTexture(p_);
        p_ = EffectParameters{};
        SetDefaults(p_);
        w_ = w;
        h_ = h;
        depth_ = depth;
        texture_.reset(LoadTexture());
        ASSERT_TRUE(texture_);
        g_rec = Recorded{};
    }
    EffectParameters& P() { return p_; }
    // Renders the whole area in the working format: the final render, or a preview
    // (8-bit, quick quality).
    void Render(bool final = true) {
        const bool sixteen = depth_ == 16 && final;
        const size_t bytes = size_t(w_) * h_ * 4 * (sixteen ? 2 : 1);
        input_.assign(bytes, 0x40);
        output_.assign(bytes, 0x11);
        SceneRequest r = WholeAreaRequest(p_, w_, h_);
        r.sixteen = sixteen;
        r.quality = final ? 1 : 0;
        r.bumpSource = texture_.get();
        r.input = input_.data();
        r.output = output_.data();
        r.rowBytes = int32_t(bytes / h_);
        RenderScene(r);
    }
    void TearDown() override {
        FreePatternCache(p_);
        FreeTexture(p_);
    }

    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    EffectParameters p_{};
    std::unique_ptr<uint8_t, Free> texture_;
    int w_ = 0, h_ = 0, depth_ = 8;
    std::vector<uint8_t> input_, output_;
};

TEST_F(SceneAssembly, DrawModeQualityAndMaterial) {
    Open(120, 80, 8);
    const struct {
        uint8_t renderMode, drawMode;
    } modes[] = {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 6}, {6, 8}, {7, 9}, {0, 6}, {200, 6}};
    for (auto m : modes) {
        P().RenderMode = m.renderMode;
        Render();
        EXPECT_EQ(g_rec.drawMode, m.drawMode) << int(m.renderMode);
    }
    EXPECT_EQ(g_rec.quality, 1);
    P().Transparancy = 40;
    P().Diffuse = 0x0080FF;  // red 255, green 128, blue 0
    P().BumpPercent = -50;
    Render();
    EXPECT_FLOAT_EQ(g_rec.material.transparency, -0.4f);
    EXPECT_FLOAT_EQ(g_rec.material.diffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(g_rec.material.diffuse[1], 128 / 255.0f);
    EXPECT_FLOAT_EQ(g_rec.material.diffuse[2], 0.0f);
    EXPECT_STREQ(g_rec.material.name, "Material#0");
    EXPECT_STREQ(g_rec.material.maps[PRISMCORE_BUMP_SLOT].name, "Bump");
    EXPECT_FLOAT_EQ(g_rec.material.maps[PRISMCORE_BUMP_SLOT].amount, -0.1f);
    EXPECT_EQ(g_rec.textures[PRISMCORE_BUMP_TEXTURE].present, 1);
    EXPECT_EQ(g_rec.textures[0].present, 0);
    EXPECT_FLOAT_EQ(g_rec.glass.refraction, -5.0f);
    EXPECT_FLOAT_EQ(g_rec.glass.koefficient, 7.5f);
}

TEST_F(SceneAssembly, TheBackLightIsOppositeAndBelowTheHorizon) {
    Open(100, 100, 8);
    for (float beta : {45.0f, 80.0f, -10.0f}) {
        P().LightAlpha = 30;
        P().LightBeta = beta;
        Render();
        const float* a = g_rec.lights[0].position;
        const float* b = g_rec.lights[1].position;
        EXPECT_NEAR(std::atan2(a[1], a[0]) * 180 / M_PI, 30, 1e-3);
        EXPECT_NEAR(std::asin(a[2] / 2000) * 180 / M_PI, beta, 1e-2);
        EXPECT_NEAR(std::atan2(b[1], b[0]) * 180 / M_PI, -150, 1e-3);
        EXPECT_NEAR(std::asin(b[2] / 2000) * 180 / M_PI, -25, 1e-3);
        EXPECT_STREQ(g_rec.lights[1].name, "Light#2");
    }
}

TEST_F(SceneAssembly, SixteenBitRendersAndEightBitPreviews) {
    Open(64, 40, 16);
    Render();
    EXPECT_EQ(g_rec.deep, 1);
    EXPECT_EQ(g_rec.textures[PRISMCORE_BUMP_TEXTURE].is16, 1);
    EXPECT_EQ(g_rec.rowLength, 4 * 64);
    EXPECT_EQ(g_rec.centerX, 32);
    EXPECT_EQ(g_rec.centerY, 20);
    // The output holds what the renderer left in the background: the copied input.
    for (size_t i = 0; i < output_.size(); ++i) ASSERT_EQ(output_[i], input_[i]);

    Render(false);
    EXPECT_EQ(g_rec.deep, 0);
    EXPECT_EQ(g_rec.quality, 0);
    EXPECT_EQ(g_rec.textures[PRISMCORE_BUMP_TEXTURE].is16, 0);
}

TEST_F(SceneAssembly, EmptyPatternStillRendersTheBackground) {
    Open(50, 30, 8);
    SetEffectIndex(P(), 0);
    P().Completance = 0;
    P().CompletanceDist = 0;
    P().AlphaCut = 1;
    Render();
    EXPECT_EQ(g_rec.calls, 1);
    EXPECT_EQ(g_rec.pointCount, 0);
    EXPECT_EQ(g_rec.triangleCount, 0);
    for (uint8_t v : output_) ASSERT_EQ(v, 0);
}

TEST_F(SceneAssembly, TheCachedPatternIsReusedUntilRegenerationIsAsked) {
    Open(160, 120, 8);
    Render();
    ASSERT_GT(g_rec.pointCount, 0);
    EXPECT_EQ(P().NeedsRegeneration, 0);
    EXPECT_EQ(P().CachedPointCount, 3 * P().CachedTriangleCount);
    EXPECT_EQ(g_rec.pointCount, P().CachedPointCount);
    const std::vector<__Point3ds> first = g_rec.points;
    const int32_t counter = TriangleCounter();
    P().LightAlpha = 90;  // a material or light change does not grow the pattern again
    Render();
    EXPECT_EQ(TriangleCounter(), counter);
    ASSERT_EQ(g_rec.points.size(), first.size());
    EXPECT_EQ(std::memcmp(g_rec.points.data(), first.data(), first.size() * sizeof(__Point3ds)), 0);
}

// Settings that grow without end (the dialog's own maximum of iterations, a dispersion of
// -1e30) stop at the budgets of the filter area, not at the 8 million triangles every picture
// could once grow; triangles that grow longer at every level stop once they cover the area
// many times over. Ordinary settings stay far below both.
TEST_F(SceneAssembly, ExtremeSettingsStopAtTheBudgetsOfTheArea) {
    EXPECT_EQ(TriangleBudgetForArea(64, 48), kBaseTriangleBudget + 64 * 48 / 48);
    EXPECT_EQ(TriangleBudgetForArea(1, 30000), kBaseTriangleBudget + 30000 / 48);
    EXPECT_EQ(TriangleBudgetForArea(4000, 3000), 550'000);
    EXPECT_EQ(TriangleBudgetForArea(30000, 30000), kTriangleBudget);
    EXPECT_EQ(TriangleBudgetForArea(INT32_MAX, INT32_MAX), kTriangleBudget);
    EXPECT_EQ(TriangleAreaBudget(64, 48, 1.0), 64.0 * 64 * 48);
    EXPECT_EQ(TriangleAreaBudget(64, 48, 0.5), 4 * 64.0 * 64 * 48);
    EXPECT_EQ(TriangleAreaBudget(64, 48, 0.0), std::numeric_limits<double>::infinity());
    enum Stop { kNone, kCount, kArea };
    struct Case {
        const char* name;
        int w, h;
        void (*set)(EffectParameters&);
        Stop stop;
    } cases[] = {
        {"most iterations", 64, 48,
         [](EffectParameters& p) {
             SetEffectIndex(p, 0);
             p.MaxIterations = 6;
         },
         kArea},
        {"most fan triangles", 300, 200,
         [](EffectParameters& p) {
             SetEffectIndex(p, 0);
             p.MaxTriangles = INT32_MAX;
         },
         kArea},
        {"dispersion -1e30", 64, 48, [](EffectParameters& p) { p.Dispers = -1e30f; }, kCount},
        {"one column", 1, 3000, [](EffectParameters&) {}, kCount},  // grows without end on one column
        {"defaults", 64, 48, [](EffectParameters&) {}, kNone},
        {"defaults, half scale", 64, 48, [](EffectParameters& p) { p.Scale = 50; }, kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.w, c.h, 8);
        c.set(P());
        P().NeedsRegeneration = 1;
        Render();
        const int32_t budget = TriangleBudgetForArea(c.w, c.h);
        const double area = TriangleAreaBudget(c.w, c.h, P().Scale / 100.0);
        EXPECT_LE(P().CachedTriangleCount, budget);
        EXPECT_EQ(P().CachedTriangleCount, TriangleCounter());
        switch (c.stop) {
            case kCount:
                EXPECT_EQ(P().CachedTriangleCount, budget);
                EXPECT_LT(GrownTriangleArea(), area);
                break;
            case kArea:
                EXPECT_LT(P().CachedTriangleCount, budget);
                EXPECT_GE(GrownTriangleArea(), area);
                break;
            case kNone:
                EXPECT_LT(P().CachedTriangleCount, budget / 10);
                EXPECT_LT(GrownTriangleArea(), area / 10);
                break;
        }
    }
}

TEST_F(SceneAssembly, ScaleShrinksEveryCoordinateAndSingleEffectsGrowAtTheCentre) {
    Open(200, 200, 8);
    Render();
    const std::vector<__Point3ds> full = g_rec.points;
    P().Scale = 50;
    P().NeedsRegeneration = 1;
    Render();
    ASSERT_EQ(g_rec.points.size(), full.size());
    for (size_t i = 0; i < full.size(); ++i) {
        ASSERT_NEAR(g_rec.points[i].x, full[i].x / 2, 1.0 / 256);
        ASSERT_NEAR(g_rec.points[i].y, full[i].y / 2, 1.0 / 256);
        ASSERT_FLOAT_EQ(g_rec.points[i].z, full[i].z / 2);
    }

    SetEffectIndex(P(), 8);  // Single 3
    P().Scale = 100;
    P().CenterX = 500;   // three quarters across
    P().CenterY = -500;  // three quarters down
    P().NeedsRegeneration = 1;
    Render();
    ASSERT_GT(g_rec.points.size(), 0u);
    double sx = 0, sy = 0;
    for (const __Point3ds& pt : g_rec.points) {
        sx += pt.x;
        sy += pt.y;
    }
    // Scene coordinates are centred on the picture: the pattern sits around (+50, +50).
    EXPECT_NEAR(sx / g_rec.points.size(), 50, 25);
    EXPECT_NEAR(sy / g_rec.points.size(), 50, 25);
}

}  // namespace
}  // namespace fw
