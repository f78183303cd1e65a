// Synthetic frost scenes for the renderer's tests and benchmarks: fern-like branches of thin
// triangles with the generator's conventions (three corners per triangle, nz positive,
// corner normals tilted outward from the triangle's centre), the records the scene assembly
// fills with default parameters, a bump texture and a colourful source picture.
// Header-only so that the benchmark program needs nothing but the library.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "prismcore/prismcore.h"

namespace fw::prismcore::testing {

struct Scene {
    std::vector<__Point3ds> points;
    std::vector<__Triangle3ds> triangles;

    // Corner normals lean outward from the centroid by `tilt` (0: all face the viewer).
    void AddTriangle(float x0, float y0, float x1, float y1, float x2, float y2, float z = 0,
                     float tilt = 0.8f) {
        float cx = (x0 + x1 + x2) / 3, cy = (y0 + y1 + y2) / 3;
        const float xs[3] = {x0, x1, x2}, ys[3] = {y0, y1, y2};
        const float us[3] = {0.5f, 0.01f, 0.98f}, vs[3] = {0.98f, 0.01f, 0.01f};
        __Triangle3ds t{};
        for (int k = 0; k < 3; ++k) {
            __Point3ds p{};
            p.x = xs[k];
            p.y = ys[k];
            p.z = z;
            p.used = 1;
            p.u = us[k];
            p.v = vs[k];
            float dx = xs[k] - cx, dy = ys[k] - cy, l = std::sqrt(dx * dx + dy * dy);
            float nx = l > 0 ? dx / l * tilt : 0, ny = l > 0 ? dy / l * tilt : 0;
            float n = std::sqrt(nx * nx + ny * ny + 1);
            p.nx = nx / n;
            p.ny = ny / n;
            p.nz = 1 / n;
            t.index[k] = static_cast<uint32_t>(points.size());
            points.push_back(p);
        }
        triangles.push_back(t);
    }
    int32_t P() const { return static_cast<int32_t>(points.size()); }
    int32_t T() const { return static_cast<int32_t>(triangles.size()); }
};

// A small deterministic generator (not the pattern's one; any sequence will do here).
class Random {
  public:
    explicit Random(uint32_t seed) : state_(seed) {}
    float Next() {  // 0..1
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) * (1.0f / 16777216.0f);
    }

  private:
    uint32_t state_;
};

// A fern-like branch: a tapering stem of needles with side needles, and sub-branches.
inline void GrowBranch(Scene& s, Random& r, float x, float y, float angle, float length,
                       float width, int level) {
    const float step = std::max(2.0f, width * 2.5f);
    float pos = 0;
    while (pos < length) {
        float taper = 1 - pos / length;
        float dx = std::cos(angle), dy = std::sin(angle);
        float px = x + dx * pos, py = y + dy * pos;
        float w = width * (0.4f + 0.6f * taper);
        // The stem needle.
        s.AddTriangle(px - dy * w, py + dx * w, px + dy * w, py - dx * w, px + dx * step * 1.6f,
                      py + dy * step * 1.6f, static_cast<float>(level));
        // Side needles at about 60 degrees, both sides.
        for (int side = -1; side <= 1; side += 2) {
            float a = angle + side * (0.9f + 0.3f * r.Next());
            float len = (length * 0.18f + 3) * taper * (0.6f + 0.5f * r.Next());
            float ax = std::cos(a), ay = std::sin(a), nw = w * 0.6f;
            s.AddTriangle(px - ay * nw, py + ax * nw, px + ay * nw, py - ax * nw, px + ax * len,
                          py + ay * len, static_cast<float>(level) + 0.5f);
        }
        if (level < 2 && r.Next() < 0.12f) {
            float side = r.Next() < 0.5f ? -1.0f : 1.0f;
            GrowBranch(s, r, px, py, angle + side * 0.8f, length * 0.45f * taper, width * 0.7f,
                       level + 1);
        }
        pos += step;
        angle += (r.Next() - 0.5f) * 0.08f;
    }
}

// Branches grown inward from the edges of a width x height picture until about
// `triangles` triangles exist; coordinates are centred on the picture.
inline Scene MakeFrost(int width, int height, int triangles, uint32_t seed = 7,
                       float scale = 1.0f) {
    Scene s;
    Random r(seed);
    float hw = width * 0.5f, hh = height * 0.5f;
    while (s.T() < triangles) {
        float t = r.Next();
        int edge = static_cast<int>(r.Next() * 4) % 4;
        float x, y, angle;
        switch (edge) {
            case 0:
                x = -hw + t * width, y = -hh, angle = 1.57f;
                break;
            case 1:
                x = -hw + t * width, y = hh, angle = -1.57f;
                break;
            case 2:
                x = -hw, y = -hh + t * height, angle = 0;
                break;
            default:
                x = hw, y = -hh + t * height, angle = 3.14f;
                break;
        }
        angle += (r.Next() - 0.5f) * 1.2f;
        float length = (40 + 80 * r.Next()) * scale;
        GrowBranch(s, r, x, y, angle, length, (2.0f + r.Next() * 1.5f) * scale, 0);
    }
    s.points.resize(static_cast<size_t>(triangles) * 3);
    s.triangles.resize(triangles);
    return s;
}

// The records the scene assembly fills with the default parameters.
struct Records {
    material3ds material{};
    __Texture textures[PRISMCORE_TEXTURE_COUNT]{};
    light3ds lights[2]{};
    GlassProp glass{};
    std::vector<uint8_t> bumpTexels;
};

// A 40 x 40 bump image of soft ridges, one byte a cell.
inline std::vector<uint8_t> BumpCells() {
    std::vector<uint8_t> cells(40 * 40);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            float v = 0.5f + 0.25f * std::sin(x * 0.45f + std::sin(y * 0.3f) * 2) +
                      0.2f * std::cos(y * 0.55f - x * 0.2f);
            cells[y * 40 + x] = static_cast<uint8_t>(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255);
        }
    }
    return cells;
}

// Packs cells like the scene assembly: 4-component texels read through the 3-byte cells,
// components 0 and 2 exchanged.
inline std::vector<uint8_t> PackTexels(const std::vector<uint8_t>& cells, bool deep) {
    const size_t bytes = deep ? 2 : 1, stride = deep ? 60 : 120;
    std::vector<uint8_t> image(5000, 0);
    for (size_t i = 0; i < cells.size(); ++i) image[3 * i] = cells[i];
    std::vector<uint8_t> texels(40 * 40 * 4 * bytes);
    for (size_t y = 0; y < 40; ++y) {
        for (size_t x = 0; x < 40; ++x) {
            const size_t order[4] = {2, 1, 0, 3};
            for (size_t k = 0; k < 4; ++k) {
                std::memcpy(&texels[((y * 40 + x) * 4 + order[k]) * bytes],
                            &image[(y * stride + 4 * x + k) * bytes], bytes);
            }
        }
    }
    return texels;
}

inline Records DefaultRecords(bool deep = false, float viewRatio = 1) {
    Records r;
    std::strcpy(r.material.name, "Material#0");
    for (int c = 0; c < 3; ++c) {
        r.material.ambient[c] = r.material.diffuse[c] = 192 / 255.0f;
        r.material.specular[c] = 1;
    }
    r.material.shininess = 1.5f;
    r.material.shinStrength = 10;
    r.material.transparency = -0.0f;
    r.material.selfIllum = 0.1f;
    std::strcpy(r.material.maps[PRISMCORE_BUMP_SLOT].name, "Bump");
    r.material.maps[PRISMCORE_BUMP_SLOT].amount = 2 * 20 / 1000.0f;
    r.material.maps[PRISMCORE_BUMP_SLOT].scaleU = r.material.maps[PRISMCORE_BUMP_SLOT].scaleV = 1;
    r.bumpTexels = PackTexels(BumpCells(), deep);
    __Texture& bump = r.textures[PRISMCORE_BUMP_TEXTURE];
    bump.present = 1;
    bump.width = bump.height = 40;
    bump.texels = r.bumpTexels.data();
    bump.is16 = deep ? 1 : 0;
    const double alpha = 0, beta = 45 * 3.141592653589793 / 180, e = -0.4363323129985824,
                 a = alpha + 3.141592653589793;
    float pos[2][3] = {{static_cast<float>(2000 * std::cos(beta) * std::cos(alpha)),
                        static_cast<float>(2000 * std::cos(beta) * std::sin(alpha)),
                        static_cast<float>(2000 * std::sin(beta))},
                       {static_cast<float>(2000 * std::cos(e) * std::cos(a)),
                        static_cast<float>(2000 * std::cos(e) * std::sin(a)),
                        static_cast<float>(2000 * std::sin(e))}};
    for (int i = 0; i < 2; ++i) {
        std::strcpy(r.lights[i].name, i == 0 ? "LightOne" : "Light#2");
        for (int c = 0; c < 3; ++c) {
            r.lights[i].position[c] = pos[i][c];
            r.lights[i].color[c] = 1;
        }
        r.lights[i].multiplier = 1;
    }
    r.glass.useGlass = 1;
    r.glass.koefficient = 7.5f;
    r.glass.refraction = -5 * viewRatio;
    r.glass.aberration = 20;
    return r;
}

// A colourful opaque picture with straight edges, so refraction is easy to see.
template <class T>
std::vector<T> SourcePicture(int width, int height, float fullScale) {
    std::vector<T> px(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float fx = x / static_cast<float>(width), fy = y / static_cast<float>(height);
            float r = 0.15f + 0.5f * fx, g = 0.25f + 0.35f * fy, b = 0.55f + 0.3f * (1 - fx);
            if (((x / 48) + (y / 48)) % 2 == 0) r += 0.25f, g += 0.15f;
            if ((x % 96) < 6) r = g = b = 0.05f;
            T* p = &px[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<T>(std::fmin(r, 1.0f) * fullScale + 0.5f);
            p[1] = static_cast<T>(std::fmin(g, 1.0f) * fullScale + 0.5f);
            p[2] = static_cast<T>(std::fmin(b, 1.0f) * fullScale + 0.5f);
            p[3] = static_cast<T>(fullScale);
        }
    }
    return px;
}

// Calls the library the way the scene assembly does.
inline void Render(uint8_t* background, const uint8_t* source, int width, int height,
                   const Scene& s, Records& r, uint8_t drawMode = 6, uint8_t quality = 1,
                   bool deep = false) {
    __SetDrawMode(drawMode);
    __SetQuality(quality);
    __SetDeep(deep ? 1 : 0);
    __SetUseMultyRefract(0);
    __SetDubleSide(0);
    __RasterScene(background, source, width, height, 4 * width, s.P(), s.T(), s.triangles.data(),
                  s.points.data(), width / 2, height / 2, 1, &r.material, r.textures, 2, r.lights,
                  &r.glass);
}

// Writes 8-bit RGBA as a binary PPM (alpha dropped), for looking at pictures.
inline bool WritePpm(const std::string& path, const uint8_t* rgba, int width, int height) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i)
        std::fwrite(rgba + 4 * i, 1, 3, f);
    std::fclose(f);
    return true;
}

}  // namespace fw::prismcore::testing
