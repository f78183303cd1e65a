#include "render/scene_records.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/block_size.h"
#include "platform/large_pages.h"

namespace fw {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr float kCornerU[3] = {0.5f, 0.01f, 0.98f};
constexpr float kCornerV[3] = {0.98f, 0.01f, 0.01f};

void Rgb(ColourRef c, float out[3]) {
    out[0] = float(c & 0xFF) / 255.0f;
    out[1] = float((c >> 8) & 0xFF) / 255.0f;
    out[2] = float((c >> 16) & 0xFF) / 255.0f;
}

void Name(char* dst, size_t size, const char* text) {
    std::memset(dst, 0, size);
    std::strncpy(dst, text, size - 1);
}

}  // namespace

bool ConvertTriangleList(TriangleList& list, int32_t count, __Triangle3ds*& triangles,
                         __Point3ds*& points) {
    triangles = nullptr;
    points = nullptr;
    if (count <= 0) return true;
    const std::optional<size_t> triangleBytes = BlockBytes({count, sizeof(__Triangle3ds)});
    const std::optional<size_t> pointBytes = BlockBytes({count, 3, sizeof(__Point3ds)});
    if (!TotalBytes({triangleBytes, pointBytes})) return false;
    triangles = static_cast<__Triangle3ds*>(std::calloc(*triangleBytes, 1));
    points = static_cast<__Point3ds*>(std::calloc(*pointBytes, 1));
    platform::AdviseLargePages(triangles, *triangleBytes);
    platform::AdviseLargePages(points, *pointBytes);
    if (!triangles || !points) {
        std::free(triangles);
        std::free(points);
        triangles = nullptr;
        points = nullptr;
        return false;
    }
    int32_t k = 0;
    list.Drain([&](const PatternTriangle& t) {
        if (k >= count) return;
        for (int c = 0; c < 3; ++c) {
            const PatternVertex& v = t.vertex[c];
            __Point3ds& pt = points[3 * k + c];
            pt.x = v.x;
            pt.y = v.y;
            pt.z = v.z;
            pt.used = 1;
            pt.u = kCornerU[c];
            pt.v = kCornerV[c];
            pt.flags = v.flag;
            pt.nx = v.nx;
            pt.ny = v.ny;
            pt.nz = v.nz;
            triangles[k].index[c] = uint32_t(3 * k + c);
        }
        ++k;
    });
    return true;
}

void ScalePoints(__Point3ds* points, int32_t count, float factor) {
    for (int32_t i = 0; i < count; ++i) {
        points[i].x *= factor;
        points[i].y *= factor;
        points[i].z *= factor;
    }
}

void TranslatePoints(__Point3ds* points, int32_t count, float dx, float dy) {
    for (int32_t i = 0; i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
}

namespace {

float Snap(float v) {
    // Beyond 2^15 pixels the grid no longer fits in a float; such points are off any picture.
    if (!(std::fabs(v) < 32768.0f)) return v;
    return float(std::nearbyint(double(v) * kRenderGrid) / kRenderGrid);
}

}  // namespace

void SnapToRenderGrid(__Point3ds* points, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        points[i].x = Snap(points[i].x);
        points[i].y = Snap(points[i].y);
    }
}

void PlaceLights(light3ds lights[2], float dx, float dy) {
    for (int i = 0; i < 2; ++i) {
        lights[i].position[0] = Snap(lights[i].position[0]) + dx;
        lights[i].position[1] = Snap(lights[i].position[1]) + dy;
    }
}

void FillMaterial(const EffectParameters& p, bool withBump, material3ds& m) {
    std::memset(&m, 0, sizeof(m));
    Name(m.name, sizeof(m.name), "Material#0");
    Rgb(p.Diffuse, m.ambient);
    Rgb(p.Diffuse, m.diffuse);
    Rgb(p.Speculare, m.specular);
    m.shininess = p.Shininess / 10.0f;
    m.shinStrength = p.Shinstrength / 10.0f;
    m.transparency = -p.Transparancy / 100.0f;
    m.selfIllum = p.SelfIllumination / 100.0f;
    map3ds& bump = m.maps[PRISMCORE_BUMP_SLOT];
    if (withBump) Name(bump.name, sizeof(bump.name), "Bump");
    bump.amount = 2.0f * p.BumpPercent / 1000.0f;
    bump.scaleU = bump.scaleV = 1.0f;
    bump.offsetU = bump.offsetV = 0.0f;
}

void FillLights(const EffectParameters& p, light3ds lights[2]) {
    const double alpha = p.LightAlpha * kPi / 180.0;
    const double beta = p.LightBeta * kPi / 180.0;
    // The back light sits opposite in azimuth, 25 degrees below the horizon.
    const double e = -0.4363323129985824;
    const double a = alpha + 3.141592653589793;
    const double pos[2][3] = {
        {2000 * std::cos(beta) * std::cos(alpha), 2000 * std::cos(beta) * std::sin(alpha),
         2000 * std::sin(beta)},
        {2000 * std::cos(e) * std::cos(a), 2000 * std::cos(e) * std::sin(a), 2000 * std::sin(e)}};
    const char* names[2] = {"LightOne", "Light#2"};
    for (int i = 0; i < 2; ++i) {
        light3ds& l = lights[i];
        std::memset(&l, 0, sizeof(l));
        Name(l.name, sizeof(l.name), names[i]);
        for (int c = 0; c < 3; ++c) l.position[c] = float(pos[i][c]);
        Rgb(p.LightColor, l.color);
        l.multiplier = p.LightMultiplay / 100.0f;
    }
}

void FillGlass(const EffectParameters& p, double viewRatio, GlassProp& glass) {
    std::memset(&glass, 0, sizeof(glass));
    glass.useGlass = p.UseGlass;
    glass.koefficient = p.Koefficient / 10.0f;
    glass.refraction = float(p.Refraction / 10.0f * viewRatio);
    glass.aberration = p.Aberration;
}

int32_t GlassReach(const EffectParameters& p, double viewRatio) {
    GlassProp glass;
    FillGlass(p, viewRatio, glass);
    if (glass.useGlass != 1) return 0;
    // The renderer's own limits on what it is given.
    const double refraction =
        std::isfinite(glass.refraction) ? std::clamp(double(glass.refraction), -1e4, 1e4) : 0.0;
    const double spread =
        std::isfinite(glass.aberration) ? std::clamp(double(glass.aberration), 0.0, 100.0) : 0.0;
    const double pixels = std::fabs(refraction) * PRISMCORE_REFRACTION_PIXELS * (1 + spread / 100);
    return int32_t(std::ceil(pixels * 1.0001 + 1.0 / 64)) + 1;
}

uint8_t DrawModeFor(uint8_t renderMode) {
    switch (renderMode) {
        case 1:
            return 0;
        case 2:
            return 1;
        case 3:
            return 2;
        case 4:
            return 3;
        case 5:
            return 6;
        case 6:
            return 8;
        case 7:
            return 9;
        default:
            return 6;
    }
}

namespace {

template <typename T>
void ToLibrary(const T* working, int32_t stride, T* library, int w, int h) {
    for (int y = 0; y < h; ++y) {
        const T* s = working + size_t(y) * stride;
        T* d = library + size_t(y) * 4 * w;
        for (int x = 0; x < w; ++x, s += 4, d += 4) {
            d[0] = s[1];
            d[1] = s[2];
            d[2] = s[3];
            d[3] = s[0];
        }
    }
}

template <typename T>
void FromLibrary(const T* library, T* working, int32_t stride, int w, int h) {
    for (int y = 0; y < h; ++y) {
        const T* d = library + size_t(y) * 4 * w;
        T* s = working + size_t(y) * stride;
        for (int x = 0; x < w; ++x, s += 4, d += 4) {
            s[0] = d[3];
            s[1] = d[0];
            s[2] = d[1];
            s[3] = d[2];
        }
    }
}

template <typename T>
void* Texture(const T* source, int w, int h, int32_t stride) {
    T* t = static_cast<T*>(std::calloc(size_t(w) * h * 4, sizeof(T)));
    if (!t) return nullptr;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const T* s = source + size_t(y) * stride + 4 * x;
            T* d = t + (size_t(y) * w + x) * 4;
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
            d[3] = s[3];
        }
    return t;
}

}  // namespace

void ToLibraryPixels(const void* working, int32_t stride, void* library, int w, int h,
                     bool sixteen) {
    if (sixteen)
        ToLibrary(static_cast<const uint16_t*>(working), stride, static_cast<uint16_t*>(library), w,
                  h);
    else
        ToLibrary(static_cast<const uint8_t*>(working), stride, static_cast<uint8_t*>(library), w,
                  h);
}

void FromLibraryPixels(const void* library, void* working, int32_t stride, int w, int h,
                       bool sixteen) {
    if (sixteen)
        FromLibrary(static_cast<const uint16_t*>(library), static_cast<uint16_t*>(working), stride,
                    w, h);
    else
        FromLibrary(static_cast<const uint8_t*>(library), static_cast<uint8_t*>(working), stride, w,
                    h);
}

void* ToLibraryTexture(const uint8_t* source, int w, int h, int32_t stride, bool sixteen) {
    if (sixteen) return Texture(reinterpret_cast<const uint16_t*>(source), w, h, stride);
    return Texture(source, w, h, stride);
}

}  // namespace fw
