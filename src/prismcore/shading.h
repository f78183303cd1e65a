// Surface shading of the frost renderer: material, point lights, the bump texture, glass
// refraction of the source picture, and the pixel formats it reads and writes.
// Everything here is pure and thread-safe; one ShadingModel is shared by all workers.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "prismcore/prismcore.h"

namespace fw::prismcore {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline Vec3 operator*(Vec3 a, Vec3 b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}
inline float Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
// Degenerate and non-finite vectors become the view direction, so shading never sees NaN.
inline Vec3 Normalize(Vec3 v) {
    float l2 = Dot(v, v);
    if (!(l2 > 1e-30f) || !(l2 < 1e30f)) return {0, 0, 1};
    return v * (1.0f / std::sqrt(l2));
}

enum class DrawMode { kRough, kLine, kWire, kFlat, kPhong };
DrawMode DrawModeFromCode(uint8_t code);

// RGBA components, bytes or 16-bit with full scale 32768, rows rowLength components apart.
class Picture {
  public:
    Picture(const uint8_t* data, int width, int height, size_t rowLength, bool deep)
        : data_(data), width_(width), height_(height), rowLength_(rowLength), deep_(deep) {}

    int width() const { return width_; }
    int height() const { return height_; }
    bool deep() const { return deep_; }
    bool valid() const { return data_ != nullptr; }
    const uint8_t* data() const { return data_; }
    size_t rowLength() const { return rowLength_; }

    float Read(int x, int y, int c) const {
        size_t i = static_cast<size_t>(y) * rowLength_ + static_cast<size_t>(x) * 4 + c;
        if (deep_) return reinterpret_cast<const uint16_t*>(data_)[i] * (1.0f / 32768.0f);
        return data_[i] * (1.0f / 255.0f);
    }
    // Writes value clamped to 0..1, rounded to the nearest component value.
    void Write(uint8_t* writable, int x, int y, int c, float value) const;
    void WritePixel(uint8_t* writable, int x, int y, float r, float g, float b, float a) const {
        size_t i = static_cast<size_t>(y) * rowLength_ + static_cast<size_t>(x) * 4;
        float v[4] = {r, g, b, a};
        // Non-finite values become 0.
        for (float& c : v) c = std::isfinite(c) ? std::clamp(c, 0.0f, 1.0f) : 0.0f;
        if (deep_) {
            uint16_t* p = reinterpret_cast<uint16_t*>(writable) + i;
            for (int c = 0; c < 4; ++c) p[c] = static_cast<uint16_t>(v[c] * 32768.0f + 0.5f);
        } else {
            for (int c = 0; c < 4; ++c)
                writable[i + c] = static_cast<uint8_t>(v[c] * 255.0f + 0.5f);
        }
    }
    // Bilinear sample of one channel at a continuous pixel position (centres at i + 0.5),
    // clamped at the edges.
    float Sample(float x, float y, int c) const;
    // The same for red, green and blue at one position: the weights are found once.
    Vec3 SampleRgb(float x, float y) const;

  private:
    const uint8_t* data_;
    int width_, height_;
    size_t rowLength_;
    bool deep_;
};

// The bump image: one height 0..1 per texel.
struct BumpMap {
    int width = 0, height = 0;
    std::vector<float> heights;
    std::vector<float> gradU, gradV;  // central differences at the texels
    bool empty() const { return heights.empty(); }
    float At(int x, int y) const;  // clamped
    // Fills gradU and gradV from heights.
    void Prepare();
    // Height gradient per texel along u and v at texture coordinates u, v (0..1): the
    // central difference of the bilinear height surface.
    void Gradient(float u, float v, float& du, float& dv) const;
};
// Recovers the one sample per 3-byte cell from the texels the scene assembly hands over
// (see __Texture). Empty for an absent or implausible texture.
BumpMap DecodeBumpTexture(const __Texture& texture);
// The inverse, for tests and tools: packs heights (bytes) the way the scene assembly does.
std::vector<uint8_t> PackBumpTexture(const std::vector<uint8_t>& cells, int width, int height,
                                     bool deep);

struct Light {
    Vec3 position;
    Vec3 color;  // colour x multiplier
};

struct ShadingModel {
    Vec3 ambient{0.75f, 0.75f, 0.75f}, diffuse{0.75f, 0.75f, 0.75f}, specular{1, 1, 1};
    float specularExponent = 28;
    float specularStrength = 1;
    float specularCutoff = 0;  // N.H below this adds no visible highlight
    // N.H^exponent tabulated over [specularCutoff, 1] for linear interpolation (a pow per
    // light and pixel was the largest single cost); empty: computed.
    std::vector<float> highlight;
    float highlightStart = 0, highlightScale = 0;  // N.H of the first entry, entries per unit
    int highlightSteps = 0;
    float selfIllum = 0.1f;
    float opacity = 1;
    std::vector<Light> lights;
    BumpMap bump;
    float bumpTilt = 0;  // normal tilt per unit of height gradient (per texel)
    bool glass = false;
    float glassMix = 0;  // share of the refracted picture, -1..1 (negative: inverted)
    float refractPixels = 0;
    float aberration = 0;  // relative spread of the red and blue offsets
    bool doubleSide = false;
    float centerX = 0, centerY = 0;  // pixel position of the scene origin
};

// Ambient light so that facets facing away from both lights are not pitch black.
constexpr float kAmbientLight = 0.15f;
// Normal tilt per unit of bump amount and height gradient (per texel).
constexpr float kBumpGain = 25.0f;

ShadingModel MakeShadingModel(const material3ds* material, const __Texture* textures,
                              int lightCount, const light3ds* lights, const GlassProp* glass,
                              bool doubleSide, float centerX, float centerY);
float SpecularExponent(float shininess);
// Fills model.highlight from the exponent and cut-off.
void TabulateHighlight(ShadingModel& model);
// x^e for x > 0 (0 for subnormal x), relative error below 1e-6 (1 + |e log2 x| / 10). Our own
// rather than the C library's pow: those differ between platforms in the last bits, and the
// pictures of the Windows and Linux builds must not.
float PowPositive(float x, float e);
// N.H^exponent for N.H above the cut-off.
float Highlight(const ShadingModel& model, float ndh);

// A value affine in pixel coordinates, referred to a point near the triangle so that thin
// triangles far from the origin keep their precision.
struct Plane {
    float x0 = 0, y0 = 0, a0 = 0, ax = 0, ay = 0;
    float At(float x, float y) const { return a0 + ax * (x - x0) + ay * (y - y0); }
};

// What shading needs of one triangle, derived once per tile that shows it.
struct ShadeSetup {
    uint32_t id = 0xFFFFFFFFu;
    Plane z, nx, ny, nz, u, v;
    Vec3 flatNormal;
    Vec3 flatColor;  // lit diffuse colour at the centroid (rough, line and wire modes)
    float uDirX = 1, uDirY = 0, vDirX = 0, vDirY = 1;  // screen directions of rising u, v
};

struct Corner {
    double x, y;  // pixel position
    const __Point3ds* point;
};

// The plane through the corners' values a0, a1, a2; a zero-area triangle gets the first
// corner's value everywhere.
Plane MakePlane(const Corner corners[3], double a0, double a1, double a2);

// withFlatColor: also light the centroid for the modes that fill triangles in one colour.
void MakeShadeSetup(const ShadingModel& model, uint32_t id, const Corner corners[3],
                    ShadeSetup& out, bool withFlatColor = true);

struct Shade {
    Vec3 color;  // unclamped
    float opacity;
};
// Full shading at pixel position (x, y): flat or Phong normal, bump (Phong), lights, glass.
Shade ShadeSurface(const ShadingModel& model, const ShadeSetup& setup, DrawMode mode,
                   const Picture& source, float x, float y);
// ShadeSurface for four positions at once (flat and Phong modes), with identical results.
void ShadeSurface4(const ShadingModel& model, const ShadeSetup* const setups[4], DrawMode mode,
                   const Picture& source, const float x[4], const float y[4], Shade out[4]);
// The same for eight positions in AVX2 registers: only where WideLanesAvailable().
void ShadeSurface8(const ShadingModel& model, const ShadeSetup* const setups[8], DrawMode mode,
                   const Picture& source, const float x[8], const float y[8], Shade out[8]);
bool WideLanesAvailable();
Vec3 LitDiffuse(const ShadingModel& model, Vec3 normal, Vec3 position);

}  // namespace fw::prismcore
