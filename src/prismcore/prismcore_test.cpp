// The library through its C interface only, as the plug-in sees it.
#include "prismcore/prismcore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <set>

#include "prismcore/synthetic_frost.h"

namespace fw::prismcore {
namespace {

using testing::DefaultRecords;
using testing::Records;
using testing::Scene;

// A picture in the library's layout; scene coordinates equal pixel positions (centre 0, 0).
struct Canvas {
    int width, height;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> source;

    Canvas(int w, int h, uint8_t r = 40, uint8_t g = 80, uint8_t b = 120, uint8_t a = 255)
        : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4) {
        for (size_t i = 0; i < pixels.size(); i += 4) {
            pixels[i] = r, pixels[i + 1] = g, pixels[i + 2] = b, pixels[i + 3] = a;
        }
        source = pixels;
    }
    const uint8_t* At(int x, int y) const {
        return &pixels[(static_cast<size_t>(y) * width + x) * 4];
    }
    bool Unchanged(int x, int y) const {
        return std::equal(At(x, y), At(x, y) + 4,
                          &source[(static_cast<size_t>(y) * width + x) * 4]);
    }
};

void Draw(Canvas& c, const Scene& s, Records& r, uint8_t mode = 6, uint8_t quality = 0, int cx = 0,
          int cy = 0) {
    __SetDrawMode(mode);
    __SetQuality(quality);
    __SetDeep(0);
    __SetUseMultyRefract(0);
    __SetDubleSide(0);
    __RasterScene(c.pixels.data(), c.source.data(), c.width, c.height, 4 * c.width, s.P(), s.T(),
                  s.triangles.data(), s.points.data(), cx, cy, 1, &r.material, r.textures, 2,
                  r.lights, &r.glass);
}

// Unlit, glass-free material whose colour is exactly its diffuse colour.
Records PlainRecords(float r = 1, float g = 1, float b = 1) {
    Records rec = DefaultRecords();
    rec.glass.useGlass = 0;
    rec.material.maps[PRISMCORE_BUMP_SLOT].amount = 0;
    rec.material.selfIllum = 1;
    for (light3ds& l : rec.lights) l.multiplier = 0;
    float rgb[3] = {r, g, b};
    for (int k = 0; k < 3; ++k) {
        rec.material.diffuse[k] = rec.material.ambient[k] = rgb[k];
        rec.material.specular[k] = 0;
    }
    return rec;
}

void SetNormals(Scene& s, int triangle, float nx, float ny, float nz) {
    float l = std::sqrt(nx * nx + ny * ny + nz * nz);
    for (int k = 0; k < 3; ++k) {
        __Point3ds& p = s.points[s.triangles[triangle].index[k]];
        p.nx = nx / l, p.ny = ny / l, p.nz = nz / l;
    }
}

void SetDepth(Scene& s, int triangle, float z) {
    for (int k = 0; k < 3; ++k) s.points[s.triangles[triangle].index[k]].z = z;
}

double Cross(double ax, double ay, double bx, double by, double px, double py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

TEST(Geometry, TriangleCoversExactlyThePixelsWhoseCentresAreInside) {
    // Also on pictures whose width and height are no multiple of the tile size, and moved
    // across tile borders and past the picture's edges.
    const double base[3][2] = {{3.3, 2.1}, {27.8, 9.45}, {8.2, 22.7}};
    const struct {
        int w, h;
        double dx, dy;
    } layouts[] = {{32, 32, 0, 0}, {30, 29, 4, 9}, {45, 40, 14.5, 10.25}, {37, 21, -5, 3}};
    for (const auto& layout : layouts) {
        double v[3][2];
        for (int k = 0; k < 3; ++k) {
            v[k][0] = base[k][0] + layout.dx;
            v[k][1] = base[k][1] + layout.dy;
        }
        for (bool reversed : {false, true}) {
            Canvas c(layout.w, layout.h);
            Scene s;
            if (!reversed) {
                s.AddTriangle(v[0][0], v[0][1], v[1][0], v[1][1], v[2][0], v[2][1], 0, 0);
            } else {
                s.AddTriangle(v[2][0], v[2][1], v[1][0], v[1][1], v[0][0], v[0][1], 0, 0);
            }
            Records r = PlainRecords();
            Draw(c, s, r, 6, 0);
            for (int y = 0; y < layout.h; ++y) {
                for (int x = 0; x < layout.w; ++x) {
                    double px = x + 0.5, py = y + 0.5;
                    double e0 = Cross(v[0][0], v[0][1], v[1][0], v[1][1], px, py);
                    double e1 = Cross(v[1][0], v[1][1], v[2][0], v[2][1], px, py);
                    double e2 = Cross(v[2][0], v[2][1], v[0][0], v[0][1], px, py);
                    bool inside = e0 > 0 && e1 > 0 && e2 > 0;
                    ASSERT_EQ(inside, c.At(x, y)[0] == 255)
                        << x << "," << y << " reversed " << reversed << " in " << layout.w << " x "
                        << layout.h;
                }
            }
        }
    }
}

TEST(Geometry, EdgesThroughPixelCentresFollowTheTopLeftRule) {
    // A square from 2.5 to 10.5 as two triangles: its left and top rows of centres belong
    // to it, its right and bottom ones do not; the diagonal through centres is shared.
    Canvas c(16, 16, 0, 0, 0, 255);
    Scene s;
    s.AddTriangle(2.5f, 2.5f, 10.5f, 2.5f, 10.5f, 10.5f, 0, 0);
    s.AddTriangle(2.5f, 2.5f, 10.5f, 10.5f, 2.5f, 10.5f, 0, 0);
    Records r = PlainRecords();
    r.material.transparency = -0.5f;  // a pixel blended twice would show 0.75
    Draw(c, s, r, 6, 0);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            bool inside = x >= 2 && x < 10 && y >= 2 && y < 10;
            EXPECT_EQ(c.At(x, y)[0], inside ? 128 : 0) << x << "," << y;
        }
    }
}

TEST(Geometry, SharedEdgesBlendEachPixelExactlyOnceWithAntiAliasing) {
    // A fan of semi-transparent triangles around an inner point: with 16 samples the
    // inner pixels must look like one triangle, at any edge slope.
    Canvas c(64, 64, 0, 0, 0, 255);
    Scene s;
    const int kSlices = 11;
    for (int i = 0; i < kSlices; ++i) {
        double a0 = 2 * M_PI * i / kSlices, a1 = 2 * M_PI * (i + 1) / kSlices;
        s.AddTriangle(31.37f, 30.81f, 31.37f + 30 * std::cos(a0), 30.81f + 30 * std::sin(a0),
                      31.37f + 30 * std::cos(a1), 30.81f + 30 * std::sin(a1), 0, 0);
    }
    Records r = PlainRecords();
    r.material.transparency = -0.5f;
    for (uint8_t quality : {0, 1}) {
        Canvas d = c;
        Draw(d, s, r, 6, quality);
        for (int y = 12; y < 50; ++y) {
            for (int x = 12; x < 50; ++x) {
                ASSERT_EQ(d.At(x, y)[0], 128) << x << "," << y << " quality " << int(quality);
            }
        }
    }
}

TEST(Geometry, FinalQualityGivesSixteenCoverageLevelsPreviewQualityNone) {
    // A white triangle on black whose long edge is nearly vertical: along the edge the
    // coverage passes through every level.
    Scene s;
    s.AddTriangle(8.2f, -1, 8.2f + 3.1f, 65, -20, 65, 0, 0);
    Records r = PlainRecords();
    for (uint8_t quality : {0, 1}) {
        Canvas c(32, 64, 0, 0, 0, 255);
        Draw(c, s, r, 6, quality);
        std::set<int> levels;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 32; ++x) levels.insert(c.At(x, y)[0]);
        }
        if (quality == 0) {
            EXPECT_EQ(levels, (std::set<int>{0, 255}));
        } else {
            EXPECT_GE(levels.size(), 16u) << "coverage levels including 0 and full";
        }
    }
}

TEST(Geometry, NearerWinsAndEqualDepthLaterWins) {
    // Two overlapping facets told apart by their normals under one light.
    auto render = [](float zFirst, float zSecond) {
        Canvas c(32, 32);
        Scene s;
        s.AddTriangle(0, 0, 32, 0, 0, 32, 0, 0);
        s.AddTriangle(32, 32, 32, 0, 0, 32, 0, 0);
        s.AddTriangle(0, 0, 32, 0, 32, 32, 0, 0);  // overlaps both halves
        SetDepth(s, 0, zFirst);
        SetDepth(s, 1, zFirst);
        SetDepth(s, 2, zSecond);
        SetNormals(s, 0, 1, 0, 1);  // faces the light: bright
        SetNormals(s, 1, 1, 0, 1);
        SetNormals(s, 2, -1, 0, 1);  // faces away: dark
        Records r = PlainRecords();
        r.material.selfIllum = 0;
        r.lights[0].multiplier = 1;
        r.lights[0].position[0] = 1e5f, r.lights[0].position[1] = 0, r.lights[0].position[2] = 0;
        Draw(c, s, r, 3, 0);
        return c.At(28, 10)[0];  // inside the first and the third triangle
    };
    uint8_t bright = render(5, -5), dark = render(-5, 5);
    EXPECT_GT(bright, dark + 100);
    EXPECT_EQ(render(5, 5), dark) << "equal depth: the later triangle wins";
    EXPECT_EQ(render(5, 4.999f), bright);
}

TEST(Geometry, SlopedFacetsMeetWhereTheirDepthsCrossAtThePixelCentres) {
    // Two facets over the same area, the first rising toward +x (z = x), the later falling
    // (z = 40 - x): they are equally near at x = 20, a pixel border, so column 19 shows the
    // later one and column 20 the first. Depth taken at a pixel's corner instead of its
    // sample would tie column 20 and hand it to the later facet.
    for (uint8_t quality : {0, 1}) {
        Canvas c(64, 32);
        Scene s;
        s.AddTriangle(0, 0, 64, 0, 0, 64, 0, 0);
        s.AddTriangle(0, 0, 64, 0, 0, 64, 0, 0);
        const float zFirst[3] = {0, 64, 0}, zLater[3] = {40, -24, 40};
        for (int k = 0; k < 3; ++k) {
            s.points[s.triangles[0].index[k]].z = zFirst[k];
            s.points[s.triangles[1].index[k]].z = zLater[k];
        }
        SetNormals(s, 0, 1, 0, 1);   // faces the light: bright
        SetNormals(s, 1, -1, 0, 1);  // faces away: dark
        Records r = PlainRecords();
        r.material.selfIllum = 0;
        r.lights[0].multiplier = 1;
        r.lights[0].position[0] = 1e5f, r.lights[0].position[1] = 0, r.lights[0].position[2] = 0;
        Draw(c, s, r, 3, quality);
        for (int y = 2; y < 30; ++y) {
            EXPECT_LT(c.At(19, y)[0] + 100, c.At(20, y)[0])
                << "row " << y << " quality " << +quality;
            // With sixteen samples one of column 20's lies on x = 20 and goes to the later one.
            if (quality == 0) {
                EXPECT_EQ(c.At(20, y)[0], c.At(30, y)[0]) << "row " << y;
            }
            EXPECT_EQ(c.At(19, y)[0], c.At(5, y)[0]) << "row " << y << " quality " << +quality;
        }
    }
}

TEST(Geometry, NothingIsDrawnOutsideTheTrianglesInFlatAndPhongModes) {
    const int w = 200, h = 150;
    Scene s = testing::MakeFrost(w, h, 400, 3, 1.5f);
    // Pixels whose square no triangle's bounding box touches must stay as they were.
    std::vector<bool> near(w * h, false);
    for (const __Triangle3ds& t : s.triangles) {
        double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
        for (uint32_t i : t.index) {
            x0 = std::min<double>(x0, s.points[i].x + w / 2),
            x1 = std::max<double>(x1, s.points[i].x + w / 2);
            y0 = std::min<double>(y0, s.points[i].y + h / 2),
            y1 = std::max<double>(y1, s.points[i].y + h / 2);
        }
        for (int y = std::max(0, int(std::floor(y0))); y <= std::min(h - 1, int(y1)); ++y) {
            for (int x = std::max(0, int(std::floor(x0))); x <= std::min(w - 1, int(x1)); ++x) {
                near[y * w + x] = true;
            }
        }
    }
    for (uint8_t mode : {3, 6}) {
        for (uint8_t quality : {0, 1}) {
            Canvas c(w, h);
            c.source = testing::SourcePicture<uint8_t>(w, h, 255);
            c.pixels = c.source;
            Records r = DefaultRecords();
            r.glass.refraction = -10;
            Draw(c, s, r, mode, quality, w / 2, h / 2);
            int drawn = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    if (!near[y * w + x]) {
                        ASSERT_TRUE(c.Unchanged(x, y)) << x << "," << y;
                    }
                    drawn += !c.Unchanged(x, y);
                }
            }
            EXPECT_GT(drawn, 1000) << "mode " << int(mode);
        }
    }
}

TEST(DrawModes, LineModeHidesEdgesBehindNearerFillsWireShowsAll) {
    Scene s;
    s.AddTriangle(4, 4, 60, 4, 4, 60, 0, 0);      // far, its long edge crosses the near one
    s.AddTriangle(20, 20, 60, 20, 20, 60, 5, 0);  // near, drawn over it
    Records r = PlainRecords(1, 0, 0);
    Canvas line(64, 64, 0, 0, 0, 255), wire(64, 64, 0, 0, 0, 255);
    Draw(line, s, r, 1, 1);
    Draw(wire, s, r, 2, 1);
    // (32, 31) lies on the far triangle's diagonal, inside the near triangle.
    EXPECT_EQ(wire.At(32, 31)[0], 255);
    EXPECT_EQ(line.At(32, 31)[0], 0);
    // Edges of the near triangle and uncovered far edges show in both; interiors stay empty.
    EXPECT_EQ(line.At(40, 20)[0], 255);
    EXPECT_EQ(line.At(4, 30)[0], 255);
    EXPECT_EQ(line.At(30, 30)[0], 0);
    EXPECT_EQ(wire.At(10, 10)[0], 0);
    // One pixel wide: the row below the horizontal edge is empty.
    EXPECT_EQ(line.At(40, 21)[0], 0);
}

TEST(DrawModes, RoughFillsFlatWithoutGlassAndHighCodesDrawAsPhong) {
    const int w = 160, h = 120;
    Scene s = testing::MakeFrost(w, h, 300, 5, 2);
    auto render = [&](uint8_t mode, bool glass) {
        Canvas c(w, h);
        c.source = testing::SourcePicture<uint8_t>(w, h, 255);
        c.pixels = c.source;
        Records r = DefaultRecords();
        r.glass.useGlass = glass;
        Draw(c, s, r, mode, 1, w / 2, h / 2);
        return c.pixels;
    };
    EXPECT_EQ(render(0, true), render(0, false));
    EXPECT_NE(render(6, true), render(6, false));
    EXPECT_EQ(render(8, true), render(6, true));
    EXPECT_EQ(render(9, true), render(6, true));
    EXPECT_NE(render(3, true), render(6, true));
}

// A round facet: normals fan out from its centre like a dome.
Scene Dome(float cx, float cy, float radius, int slices = 48) {
    Scene s;
    for (int i = 0; i < slices; ++i) {
        double a0 = 2 * M_PI * i / slices, a1 = 2 * M_PI * (i + 1) / slices;
        s.AddTriangle(cx, cy, cx + radius * std::cos(a0), cy + radius * std::sin(a0),
                      cx + radius * std::cos(a1), cy + radius * std::sin(a1), 0, 0);
        __Point3ds* p = &s.points[3 * i];
        p[0].nx = p[0].ny = 0, p[0].nz = 1;
        for (int k = 1; k < 3; ++k) {
            double a = k == 1 ? a0 : a1;
            p[k].nx = 0.8 * std::cos(a), p[k].ny = 0.8 * std::sin(a), p[k].nz = 0.6;
        }
    }
    return s;
}

double Brightness(const Canvas& c, int x0, int y0, int x1, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) sum += c.At(x, y)[0] + c.At(x, y)[1] + c.At(x, y)[2];
    }
    return sum / ((x1 - x0) * (y1 - y0));
}

TEST(Shading, MovingTheLightBrightensTheFacetsFacingIt) {
    Scene s = Dome(50, 50, 45);
    for (int side : {-1, 1}) {
        Records r = DefaultRecords();
        r.glass.useGlass = 0;
        r.lights[1].multiplier = 0;
        r.lights[0].position[0] = side * 2000.0f, r.lights[0].position[1] = 0;
        r.lights[0].position[2] = 1000;
        Canvas c(100, 100);
        Draw(c, s, r, 6, 1);
        double left = Brightness(c, 15, 40, 35, 60), right = Brightness(c, 65, 40, 85, 60);
        EXPECT_GT(side * (right - left), 60) << "light on side " << side;
    }
}

TEST(Shading, HigherShininessShrinksTheHighlight) {
    Scene s = Dome(60, 60, 55);
    auto highlightPixels = [&](float shininess) {
        Records r = DefaultRecords();
        r.glass.useGlass = 0;
        r.material.maps[PRISMCORE_BUMP_SLOT].amount = 0;
        r.material.shininess = shininess;
        Canvas c(120, 120, 0, 0, 0, 255);
        Draw(c, s, r, 6, 1);
        int n = 0;
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 120; ++x) n += c.At(x, y)[2] > 250;
        }
        return n;
    };
    int broad = highlightPixels(0.5f), normal = highlightPixels(1.5f), tight = highlightPixels(6);
    EXPECT_GT(broad, normal);
    EXPECT_GT(normal, tight);
    EXPECT_GT(tight, 0);
}

TEST(Shading, SelfIlluminationWithoutLightShowsTheDiffuseColour) {
    Scene s = Dome(30, 30, 25);
    Records r = DefaultRecords();
    r.glass.useGlass = 0;
    r.material.selfIllum = 1;
    for (light3ds& l : r.lights) l.multiplier = 0;
    r.material.diffuse[0] = 0.2f, r.material.diffuse[1] = 0.6f, r.material.diffuse[2] = 0.8f;
    Canvas c(60, 60);
    Draw(c, s, r, 6, 1);
    EXPECT_EQ(c.At(30, 30)[0], 51);
    EXPECT_EQ(c.At(30, 30)[1], 153);
    EXPECT_EQ(c.At(30, 30)[2], 204);
    EXPECT_EQ(c.At(20, 35)[1], 153);
}

TEST(Shading, FullTransparencyShowsTheBackground) {
    Scene s = Dome(30, 30, 25);
    Records r = DefaultRecords();
    r.material.transparency = -1;
    Canvas c(60, 60);
    c.source = testing::SourcePicture<uint8_t>(60, 60, 255);
    std::vector<uint8_t> before = c.pixels;
    Draw(c, s, r, 6, 1);
    EXPECT_EQ(c.pixels, before);
}

// A left-black, right-white source under one big glass triangle with a constant normal.
struct GlassEdge {
    static constexpr int kW = 100, kH = 40, kEdge = 50;
    Canvas canvas{kW, kH};
    GlassEdge(float nx, float refraction, float aberration) {
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                uint8_t v = x < kEdge ? 0 : 255;
                uint8_t* p = &canvas.source[(y * kW + x) * 4];
                p[0] = p[1] = p[2] = v;
            }
        }
        Scene s;
        s.AddTriangle(-100, -100, 300, -100, 0, 300, 0, 0);
        SetNormals(s, 0, nx, 0, std::sqrt(1 - nx * nx));
        Records r = PlainRecords(0, 0, 0);
        r.glass.useGlass = 1;
        r.glass.koefficient = 10;  // the refracted picture only
        r.glass.refraction = refraction;
        r.glass.aberration = aberration;
        Draw(canvas, s, r, 6, 0);
    }
    // First column of the row at 20 whose channel is bright.
    int EdgeOf(int channel) const {
        for (int x = 0; x < kW; ++x) {
            if (canvas.At(x, 20)[channel] >= 128) return x;
        }
        return -1;
    }
};

TEST(Glass, ShiftsTheSourceAlongTheNormalByTheRefraction) {
    // Offset = refraction x PRISMCORE_REFRACTION_PIXELS x nx = 5 x 2 x 0.6 = 6 pixels: the
    // picture is read 6 pixels to the right, so the edge appears 6 pixels to the left.
    GlassEdge plus(0.6f, 5, 0), minus(0.6f, -5, 0), flat(0, 5, 0);
    EXPECT_EQ(flat.EdgeOf(1), 50);
    EXPECT_EQ(plus.EdgeOf(1), 44);
    EXPECT_EQ(minus.EdgeOf(1), 56);
    EXPECT_EQ(plus.EdgeOf(0), plus.EdgeOf(2)) << "no aberration: channels agree";
}

TEST(Glass, AberrationSplitsTheColours) {
    // Red moves by (1 - 0.5) x 6, green by 6, blue by (1 + 0.5) x 6.
    GlassEdge g(0.6f, 5, 50);
    EXPECT_EQ(g.EdgeOf(0), 47);
    EXPECT_EQ(g.EdgeOf(1), 44);
    EXPECT_EQ(g.EdgeOf(2), 41);
}

TEST(Alpha, AlphaCutLeavesOnlyThePatternOnTransparency) {
    const int w = 120, h = 90;
    Scene s = testing::MakeFrost(w, h, 300, 9, 2);
    Canvas c(w, h, 0, 0, 0, 0);  // the background the scene assembly zeroes
    c.source = testing::SourcePicture<uint8_t>(w, h, 255);
    Records r = DefaultRecords();
    Draw(c, s, r, 6, 1, w / 2, h / 2);
    int opaque = 0, clear = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = c.At(x, y);
            if (p[3] == 0) {
                ++clear;
                ASSERT_EQ(p[0] | p[1] | p[2], 0) << x << "," << y;
            }
            opaque += p[3] == 255;
        }
    }
    EXPECT_GT(opaque, 500);
    EXPECT_GT(clear, 2000);
}

TEST(Alpha, CompositesOverWithCoverageTimesOpacity) {
    // Background alpha 0.5, opacity 0.4: alpha = 0.4 + 0.5 x 0.6 = 0.7.
    Canvas c(16, 16, 0, 0, 0, 128);
    Scene s;
    s.AddTriangle(-10, -10, 40, -10, -10, 40, 0, 0);
    Records r = PlainRecords(1, 1, 1);
    r.material.transparency = -0.6f;
    Draw(c, s, r, 6, 1);
    EXPECT_NEAR(c.At(3, 3)[3], 0.7 * 255, 1);
    // Colour: (0.4 x 1 + 0.3 x 0) / 0.7.
    EXPECT_NEAR(c.At(3, 3)[0], 0.4 / 0.7 * 255, 1);
}

TEST(Components, SixteenBitPictureEqualsTheEightBitOneUpToQuantisation) {
    const int w = 160, h = 120;
    Scene s = testing::MakeFrost(w, h, 500, 11, 2);
    std::vector<uint8_t> src8 = testing::SourcePicture<uint8_t>(w, h, 255);
    std::vector<uint16_t> src16(src8.size());
    for (size_t i = 0; i < src8.size(); ++i)
        src16[i] = static_cast<uint16_t>(std::lround(src8[i] * 32768.0 / 255));
    for (uint8_t mode : {0, 3, 6}) {
        Records r8 = DefaultRecords(false), r16 = DefaultRecords(true);
        std::vector<uint8_t> out8 = src8;
        std::vector<uint16_t> out16 = src16;
        testing::Render(out8.data(), src8.data(), w, h, s, r8, mode, 1, false);
        testing::Render(reinterpret_cast<uint8_t*>(out16.data()),
                        reinterpret_cast<const uint8_t*>(src16.data()), w, h, s, r16, mode, 1,
                        true);
        EXPECT_EQ(__GetDeep(), 1);
        int worst = 0, changed = 0;
        for (size_t i = 0; i < out8.size(); ++i) {
            double a = out8[i] / 255.0, b = out16[i] / 32768.0;
            worst = std::max(worst, static_cast<int>(std::lround(std::fabs(a - b) * 255 * 100)));
            changed += out8[i] != src8[i];
        }
        EXPECT_LE(worst, 100) << "mode " << int(mode) << ": difference in 1/100 of a byte step";
        EXPECT_GT(changed, 1000);
    }
}

TEST(Interface, GetDeepReturnsTheLastSetDeep) {
    __SetDeep(1);
    EXPECT_EQ(__GetDeep(), 1);
    __SetDeep(0);
    EXPECT_EQ(__GetDeep(), 0);
}

uint64_t Checksum(const void* data, size_t bytes) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < bytes; ++i)
        h = (h ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211ull;
    return h;
}

TEST(Interface, LeavesEveryArgumentButTheBackgroundUnchanged) {
    const int w = 200, h = 150;
    Scene s = testing::MakeFrost(w, h, 800, 13, 2);
    Records r = DefaultRecords();
    std::vector<uint8_t> source = testing::SourcePicture<uint8_t>(w, h, 255);
    std::vector<uint8_t> out = source;
    auto sums = [&] {
        return std::vector<uint64_t>{
            Checksum(source.data(), source.size()),
            Checksum(s.points.data(), s.points.size() * sizeof(__Point3ds)),
            Checksum(s.triangles.data(), s.triangles.size() * sizeof(__Triangle3ds)),
            Checksum(&r.material, sizeof r.material),
            Checksum(r.textures, sizeof r.textures),
            Checksum(r.bumpTexels.data(), r.bumpTexels.size()),
            Checksum(r.lights, sizeof r.lights),
            Checksum(&r.glass, sizeof r.glass)};
    };
    std::vector<uint64_t> before = sums();
    for (uint8_t mode : {0, 1, 2, 3, 6})
        testing::Render(out.data(), source.data(), w, h, s, r, mode);
    EXPECT_EQ(sums(), before);
    EXPECT_NE(out, source);
}

TEST(Threads, OutputIsBitIdenticalForAnyThreadCountOrLaneWidth) {
    const int w = 300, h = 200;
    Scene s = testing::MakeFrost(w, h, 3000, 17, 1.5f);
    // Long slivers across the picture, whose edge values overflow 32-bit lanes.
    s.AddTriangle(-900, -40, 1200, 35, -850, 60, 3, 0.5f);
    s.AddTriangle(-200, 260, 500, -300, 520, -280, 2, 0.5f);
    std::vector<uint8_t> source = testing::SourcePicture<uint8_t>(w, h, 255);
    const char* old = std::getenv("PRISMCORE_THREADS");
    std::string saved = old != nullptr ? old : "";
    for (uint8_t mode : {1, 3, 6}) {
        std::vector<uint8_t> reference;
        // The last run shades four pixels at a time where the others may take eight.
        const struct {
            const char* threads;
            bool narrow;
        } runs[] = {{"1", false}, {"2", false}, {"3", false}, {"8", false}, {"2", true}};
        for (const auto& run : runs) {
            const char* threads = run.threads;
            setenv("PRISMCORE_THREADS", threads, 1);
            if (run.narrow) {
                setenv("PRISMCORE_LANES", "4", 1);
            } else {
                unsetenv("PRISMCORE_LANES");
            }
            Records r = DefaultRecords();
            std::vector<uint8_t> out = source;
            testing::Render(out.data(), source.data(), w, h, s, r, mode, 1);
            if (reference.empty()) {
                reference = out;
                continue;
            }
            // Name the first differing pixel, not just "differs".
            for (size_t i = 0; i < out.size(); ++i) {
                ASSERT_EQ(out[i], reference[i])
                    << threads << " threads, narrow " << run.narrow << ", mode " << int(mode)
                    << ", pixel " << (i / 4) % w << "," << (i / 4) / w;
            }
        }
    }
    unsetenv("PRISMCORE_LANES");
    if (old != nullptr)
        setenv("PRISMCORE_THREADS", saved.c_str(), 1);
    else
        unsetenv("PRISMCORE_THREADS");
}

TEST(Robustness, EmptySceneAndInvalidCallsLeaveTheBackgroundAlone) {
    Canvas c(40, 30);
    c.source = testing::SourcePicture<uint8_t>(40, 30, 255);
    c.pixels = c.source;
    Records r = DefaultRecords();
    Scene s = Dome(20, 15, 10);
    auto call = [&](uint8_t* bg, int w, int h, int row, int P, int T, const __Triangle3ds* t,
                    const __Point3ds* p) {
        __SetDrawMode(6);
        __SetQuality(1);
        __SetDeep(0);
        __RasterScene(bg, c.source.data(), w, h, row, P, T, t, p, 0, 0, 1, &r.material, r.textures,
                      2, r.lights, &r.glass);
    };
    call(c.pixels.data(), 40, 30, 160, 0, 0, nullptr, nullptr);
    call(c.pixels.data(), 40, 30, 160, 0, 0, s.triangles.data(), s.points.data());
    call(c.pixels.data(), 40, 30, 100, s.P(), s.T(), s.triangles.data(), s.points.data());
    call(c.pixels.data(), 0, 30, 160, s.P(), s.T(), s.triangles.data(), s.points.data());
    call(c.pixels.data(), 40, -3, 160, s.P(), s.T(), s.triangles.data(), s.points.data());
    call(c.pixels.data(), 40, 30, 160, -5, s.T(), s.triangles.data(), s.points.data());
    call(c.pixels.data(), 40, 30, 160, 2, s.T(), s.triangles.data(),
         s.points.data());  // indices >= P
    call(nullptr, 40, 30, 160, s.P(), s.T(), s.triangles.data(), s.points.data());
    EXPECT_EQ(c.pixels, c.source);
    // Null records are tolerated: the scene is drawn with defaults.
    __RasterScene(c.pixels.data(), nullptr, 40, 30, 160, s.P(), s.T(), s.triangles.data(),
                  s.points.data(), 0, 0, 0, nullptr, nullptr, 0, nullptr, nullptr);
    EXPECT_NE(c.pixels, c.source);
}

TEST(Robustness, HostileCoordinatesNeitherCrashNorSpill) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Scene s;
    s.AddTriangle(nan, 5, 10, 10, 5, 20);
    s.AddTriangle(5, 5, inf, 10, 5, 20);
    s.AddTriangle(5, 5, 10, 10, 5, 20, nan);
    s.AddTriangle(1e30f, 1e30f, -1e30f, 1e30f, 1e30f, -1e30f);  // far outside, huge
    s.AddTriangle(1e9f, 1e9f, 1e9f + 50, 1e9f, 1e9f, 1e9f + 50);
    s.AddTriangle(-5e6f, -5e6f, 3e6f, 5e6f, 2e6f, -4e6f);
    s.AddTriangle(8, 8, 8, 8, 8, 8);      // zero area
    s.AddTriangle(1, 1, 20, 20, 39, 39);  // collinear
    s.points[0].nx = nan;
    for (uint8_t mode : {0, 1, 2, 3, 6}) {
        for (uint8_t quality : {0, 1}) {
            Canvas c(40, 30);
            Records r = DefaultRecords();
            Draw(c, s, r, mode, quality, 3, 4);
        }
    }
    SUCCEED();
}

TEST(Robustness, HugeTrianglesAreClippedNotDistorted) {
    // A triangle reaching millions of pixels out still covers exactly the half-plane left of
    // its edge through the picture.
    Scene s;
    s.AddTriangle(-4e6f, -4e6f, 20.5f - 1e6f, 4e6f, 20.5f + 1e6f, -4e6f, 0, 0);
    Records r = PlainRecords();
    Canvas c(64, 64, 0, 0, 0, 255);
    Draw(c, s, r, 6, 0);
    // The right edge runs from (20.5 - 1e6, 4e6) to (20.5 + 1e6, -4e6): x = 20.5 - (y / 4).
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            bool inside = x + 0.5 < 20.5 - (y + 0.5) / 4;
            ASSERT_EQ(c.At(x, y)[0] == 255, inside) << x << "," << y;
        }
    }
}

TEST(Robustness, MillionsOfTrianglesRender) {
    // A million triangles, half of them piled on one spot, half on a grid.
    const int count = 1'000'000;
    Scene s;
    s.points.reserve(3 * count);
    s.triangles.reserve(count);
    for (int i = 0; i < count; ++i) {
        float x = (i % 2 == 0) ? 10.0f : static_cast<float>(i % 1000) * 0.25f;
        float y = (i % 2 == 0) ? 10.0f : static_cast<float>((i / 1000) % 200) * 0.5f;
        s.AddTriangle(x, y, x + 3, y + 0.5f, x + 1, y + 3, 0, 0.5f);
    }
    Canvas c(256, 128);
    Records r = DefaultRecords();
    Draw(c, s, r, 6, 1);
    EXPECT_FALSE(c.Unchanged(11, 11));
    EXPECT_TRUE(c.Unchanged(255, 127));
}

TEST(Bump, TextureTiltsNormalsOnlyInPhongAndItsSignMatters) {
    const int w = 160, h = 120;
    Scene s = testing::MakeFrost(w, h, 200, 21, 4);
    auto render = [&](uint8_t mode, float amount, uint8_t present) {
        Canvas c(w, h);
        Records r = DefaultRecords();
        r.glass.useGlass = 0;
        r.material.maps[PRISMCORE_BUMP_SLOT].amount = amount;
        r.textures[PRISMCORE_BUMP_TEXTURE].present = present;
        Draw(c, s, r, mode, 1, w / 2, h / 2);
        return c.pixels;
    };
    std::vector<uint8_t> none = render(6, 0, 1);
    EXPECT_NE(render(6, 0.04f, 1), none);
    EXPECT_NE(render(6, 0.04f, 1), render(6, -0.04f, 1));
    EXPECT_EQ(render(6, 0.04f, 0), none) << "absent texture: no bump";
    EXPECT_EQ(render(3, 0.04f, 1), render(3, 0, 1)) << "flat facets carry no bump";
}

}  // namespace
}  // namespace fw::prismcore
