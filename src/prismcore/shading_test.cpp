#include "prismcore/shading.h"

#include <gtest/gtest.h>

#include <limits>

#include "prismcore/synthetic_frost.h"

namespace fw::prismcore {
namespace {

TEST(BumpTexture, RecoversTheCellsFromTheSceneAssemblysPacking) {
    std::vector<uint8_t> cells(40 * 40);
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<uint8_t>(i * 37 + i / 40);
    for (bool deep : {false, true}) {
        std::vector<uint8_t> texels = testing::PackTexels(cells, deep);
        EXPECT_EQ(PackBumpTexture(cells, 40, 40, deep), texels);
        __Texture t{};
        t.present = 1;
        t.width = t.height = 40;
        t.texels = texels.data();
        t.is16 = deep;
        BumpMap map = DecodeBumpTexture(t);
        ASSERT_EQ(map.heights.size(), cells.size());
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 40; ++x) {
                ASSERT_FLOAT_EQ(map.At(x, y), cells[y * 40 + x] / 255.0f) << x << "," << y;
            }
        }
    }
}

TEST(BumpTexture, AbsentOrImplausibleTexturesGiveNoBump) {
    std::vector<uint8_t> texels(64 * 64 * 8, 7);
    __Texture t{};
    t.present = 1;
    t.width = t.height = 40;
    t.texels = texels.data();
    EXPECT_FALSE(DecodeBumpTexture(t).empty());
    __Texture absent = t;
    absent.present = 0;
    EXPECT_TRUE(DecodeBumpTexture(absent).empty());
    __Texture null = t;
    null.texels = nullptr;
    EXPECT_TRUE(DecodeBumpTexture(null).empty());
    __Texture negative = t;
    negative.width = -40;
    EXPECT_TRUE(DecodeBumpTexture(negative).empty());
    __Texture oddDeep = t;
    oddDeep.width = 39;
    oddDeep.is16 = 1;
    EXPECT_TRUE(DecodeBumpTexture(oddDeep).empty());
    __Texture huge = t;
    huge.width = 1 << 20;
    EXPECT_TRUE(DecodeBumpTexture(huge).empty());
}

TEST(BumpTexture, GradientFollowsTheHeights) {
    BumpMap ramp;
    ramp.width = ramp.height = 40;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) ramp.heights.push_back(x / 39.0f);
    }
    ramp.Prepare();
    float du, dv;
    ramp.Gradient(0.5f, 0.3f, du, dv);
    EXPECT_NEAR(du, 1 / 39.0f, 1e-5);
    EXPECT_NEAR(dv, 0, 1e-6);
    ramp.Gradient(std::numeric_limits<float>::quiet_NaN(), 7, du, dv);  // clamped, finite
    EXPECT_TRUE(std::isfinite(du) && std::isfinite(dv));
}

TEST(PictureAccess, SamplesBilinearlyClampsAndQuantises) {
    std::vector<uint8_t> px = {0, 0, 0, 255, 255, 255, 255, 255};  // 2 x 1: black, white
    Picture p(px.data(), 2, 1, 8, false);
    EXPECT_FLOAT_EQ(p.Sample(0.5f, 0.5f, 0), 0);
    EXPECT_FLOAT_EQ(p.Sample(1.0f, 0.5f, 0), 0.5f);
    EXPECT_FLOAT_EQ(p.Sample(1.5f, 0.5f, 0), 1);
    EXPECT_FLOAT_EQ(p.Sample(-100, -100, 0), 0);
    EXPECT_FLOAT_EQ(p.Sample(1e30f, 0.5f, 0), 1);
    EXPECT_FLOAT_EQ(p.Sample(std::numeric_limits<float>::quiet_NaN(), 0.5f, 0), 0);
    p.Write(px.data(), 0, 0, 0, 2.0f);
    p.Write(px.data(), 0, 0, 1, -1.0f);
    p.Write(px.data(), 0, 0, 2, 0.5f);
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 0);
    EXPECT_EQ(px[2], 128);
    std::vector<uint16_t> deep = {0, 0, 0, 0};
    Picture q(reinterpret_cast<uint8_t*>(deep.data()), 1, 1, 4, true);
    q.Write(reinterpret_cast<uint8_t*>(deep.data()), 0, 0, 0, 1.0f);
    q.Write(reinterpret_cast<uint8_t*>(deep.data()), 0, 0, 1, 0.25f);
    EXPECT_EQ(deep[0], 32768);
    EXPECT_EQ(deep[1], 8192);
    EXPECT_FLOAT_EQ(q.Read(0, 0, 1), 0.25f);
}

TEST(Model, ReadsTheRecordsAndDiscardsNonFiniteValues) {
    testing::Records r = testing::DefaultRecords();
    r.material.transparency = -0.4f;
    ShadingModel m = MakeShadingModel(&r.material, r.textures, 2, r.lights, &r.glass, false, 0, 0);
    EXPECT_FLOAT_EQ(m.opacity, 0.6f);
    EXPECT_FLOAT_EQ(m.specularStrength, 1);
    EXPECT_FLOAT_EQ(m.glassMix, 0.75f);
    EXPECT_FLOAT_EQ(m.refractPixels, -5 * PRISMCORE_REFRACTION_PIXELS);
    EXPECT_FLOAT_EQ(m.aberration, 0.2f);
    EXPECT_FLOAT_EQ(m.bumpTilt, 0.04f * kBumpGain);
    EXPECT_FALSE(m.bump.empty());
    ASSERT_EQ(m.lights.size(), 2u);
    EXPECT_GT(m.lights[0].position.z, 0);
    EXPECT_LT(m.lights[1].position.z, 0);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    r.material.diffuse[1] = nan;
    r.material.transparency = nan;
    r.material.shininess = nan;
    r.lights[0].multiplier = nan;
    r.glass.refraction = std::numeric_limits<float>::infinity();
    m = MakeShadingModel(&r.material, r.textures, 2, r.lights, &r.glass, false, 0, 0);
    EXPECT_EQ(m.diffuse.y, 0);
    EXPECT_EQ(m.opacity, 1);
    EXPECT_TRUE(std::isfinite(m.specularExponent));
    EXPECT_EQ(m.lights[0].color.x, 0);
    EXPECT_EQ(m.refractPixels, 0);
}

TEST(Model, ShininessTightensTheHighlightMonotonically) {
    float previous = 0;
    for (float s = 0; s <= 15; s += 0.5f) {
        EXPECT_GT(SpecularExponent(s), previous);
        previous = SpecularExponent(s);
    }
    EXPECT_EQ(SpecularExponent(-3), SpecularExponent(0));
}

TEST(Model, DoubleSideTurnsNormalsTowardTheViewer) {
    testing::Scene s;
    s.AddTriangle(0, 0, 10, 0, 0, 10, 0, 0);
    for (__Point3ds& p : s.points) p.nz = -1;
    Corner c[3];
    for (int k = 0; k < 3; ++k) c[k] = {s.points[k].x, s.points[k].y, &s.points[k]};
    for (bool doubleSide : {false, true}) {
        ShadingModel m = MakeShadingModel(nullptr, nullptr, 0, nullptr, nullptr, doubleSide, 0, 0);
        ShadeSetup setup;
        MakeShadeSetup(m, 0, c, setup);
        EXPECT_EQ(setup.flatNormal.z, doubleSide ? 1 : -1);
    }
}

}  // namespace
}  // namespace fw::prismcore
