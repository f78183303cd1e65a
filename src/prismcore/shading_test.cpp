#include "prismcore/shading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

TEST(Model, OwnPowerFollowsTheLibrarysOverTheHighlightRange) {
    // Highlight exponents reach 41 201; the bases lie between the cut-off and just above 1.
    for (float e : {1.0f, 2.5f, 28.0f, 1000.0f, 41201.0f, 0.05f}) {
        for (float x = 1e-30f; x < 1.00001f; x = x < 0.999f ? x * 1.37f + 1e-4f : x + 1e-6f) {
            double expected = std::pow(static_cast<double>(x), static_cast<double>(e));
            if (expected < 1e-37) continue;
            // Float rounding of e log2 x bounds the precision: it grows with that magnitude.
            double y = std::fabs(std::log2(expected));
            ASSERT_NEAR(PowPositive(x, e), expected, (1e-6 + 1e-7 * y) * expected) << x << "^" << e;
        }
    }
    EXPECT_EQ(PowPositive(1, 41201), 1);
    EXPECT_EQ(PowPositive(0.5f, 1e6f), 0);  // underflow, not garbage
    EXPECT_EQ(PowPositive(0, 3), 0);
    EXPECT_EQ(PowPositive(std::numeric_limits<float>::denorm_min(), 2), 0);
}

TEST(Model, HighlightTableFollowsThePowerAboveTheCutoff) {
    testing::Records r = testing::DefaultRecords(false, 1);
    for (float shininess : {0.0f, 1.5f, 4.0f, 20.0f, 100.0f}) {
        for (float strength : {1.0f, 10.0f, 1000.0f}) {
            r.material.shininess = shininess;
            r.material.shinStrength = strength;
            ShadingModel m =
                MakeShadingModel(&r.material, r.textures, 2, r.lights, &r.glass, false, 0, 0);
            ASSERT_FALSE(m.highlight.empty());
            for (float x = m.specularCutoff; x <= 1.0f; x += (1.0f - m.specularCutoff) / 777) {
                if (!(x > m.specularCutoff)) continue;
                float expected = PowPositive(x, m.specularExponent);
                ASSERT_NEAR(Highlight(m, x), expected, 1e-5f * expected + 1e-8f)
                    << shininess << " " << strength << " " << x;
            }
            EXPECT_EQ(Highlight(m, 1.0f), 1.0f);
        }
    }
}

// Four lanes (SSE2) and eight (AVX2, where the processor has it) against the scalar code,
// on 8- and 16-bit sources, with and without aberration, and with refraction so strong that
// the samples clamp at the picture's edges.
TEST(Shading, PixelsSideBySideMatchOneAtATimeToTheBit) {
    testing::Scene scene = testing::MakeFrost(200, 150, 400);
    std::vector<uint8_t> source8 = testing::SourcePicture<uint8_t>(200, 150, 255.0f);
    std::vector<uint16_t> source16 = testing::SourcePicture<uint16_t>(200, 150, 32768.0f);
    std::vector<int> widths = {4};
    if (WideLanesAvailable()) widths.push_back(8);
    testing::Records r = testing::DefaultRecords();
    for (bool deep : {false, true}) {
        Picture picture(deep ? reinterpret_cast<const uint8_t*>(source16.data()) : source8.data(),
                        200, 150, 200 * 4, deep);
        for (float refraction : {10.0f, 1e6f}) {
            for (bool doubleSide : {false, true}) {
                for (float aberration : {0.0f, 20.0f}) {
                    r.glass.aberration = aberration;
                    r.glass.refraction = refraction;
                    ShadingModel m = MakeShadingModel(&r.material, r.textures, 2, r.lights,
                                                      &r.glass, doubleSide, 100, 75);
                    std::vector<ShadeSetup> setups(scene.triangles.size());
                    for (size_t t = 0; t < setups.size(); ++t) {
                        Corner c[3];
                        for (int k = 0; k < 3; ++k) {
                            const __Point3ds& p = scene.points[scene.triangles[t].index[k]];
                            c[k] = {100.0 + p.x, 75.0 + p.y, &p};
                        }
                        MakeShadeSetup(m, static_cast<uint32_t>(t), c, setups[t]);
                    }
                    for (int lanes : widths) {
                        for (DrawMode mode : {DrawMode::kFlat, DrawMode::kPhong}) {
                            for (size_t t = 0; t + lanes <= setups.size(); t += 3) {
                                const ShadeSetup* some[8];
                                float x[8], y[8];
                                for (int k = 0; k < lanes; ++k) {
                                    some[k] = &setups[t + k];
                                    x[k] = some[k]->nx.x0 + 0.25f * k - 0.5f;
                                    y[k] = some[k]->nx.y0 + 0.125f * k;
                                }
                                Shade out[8];
                                if (lanes == 8) {
                                    ShadeSurface8(m, some, mode, picture, x, y, out);
                                } else {
                                    ShadeSurface4(m, some, mode, picture, x, y, out);
                                }
                                for (int k = 0; k < lanes; ++k) {
                                    Shade one =
                                        ShadeSurface(m, *some[k], mode, picture, x[k], y[k]);
                                    ASSERT_EQ(std::memcmp(&one.color, &out[k].color, sizeof(Vec3)),
                                              0)
                                        << t + k << " mode " << static_cast<int>(mode) << " lanes "
                                        << lanes << " deep " << deep << " refraction "
                                        << refraction;
                                    ASSERT_EQ(one.opacity, out[k].opacity);
                                }
                            }
                        }
                    }
                }
            }
        }
    }
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
