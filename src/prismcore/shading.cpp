#include "prismcore/shading.h"

#include "prismcore/shading_lanes.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace fw::prismcore {
namespace {

// Records come from another module: anything non-finite counts as the fallback.
float Finite(float value, float fallback) {
    return std::isfinite(value) ? value : fallback;
}

Vec3 FiniteColor(const float rgb[3], Vec3 fallback) {
    return {Finite(rgb[0], fallback.x), Finite(rgb[1], fallback.y), Finite(rgb[2], fallback.z)};
}

// Larger textures are not bump maps but a caller's mistake; decoding them is pointless.
constexpr int kMaxTextureSize = 4096;
// Lights beyond this count would only cost time; the scene assembly passes two.
constexpr int kMaxLights = 8;

// Component order inside a texel after the scene assembly's exchange of components 0 and 2.
constexpr int kSwapped[4] = {2, 1, 0, 3};

}  // namespace

DrawMode DrawModeFromCode(uint8_t code) {
    switch (code) {
        case 0:
            return DrawMode::kRough;
        case 1:
            return DrawMode::kLine;
        case 2:
            return DrawMode::kWire;
        case 3:
            return DrawMode::kFlat;
        default:
            return DrawMode::kPhong;
    }
}

void Picture::Write(uint8_t* writable, int x, int y, int c, float value) const {
    size_t i = static_cast<size_t>(y) * rowLength_ + static_cast<size_t>(x) * 4 + c;
    float v = std::clamp(Finite(value, 0.0f), 0.0f, 1.0f);
    if (deep_) {
        reinterpret_cast<uint16_t*>(writable)[i] = static_cast<uint16_t>(v * 32768.0f + 0.5f);
    } else {
        writable[i] = static_cast<uint8_t>(v * 255.0f + 0.5f);
    }
}

namespace {

// Where a bilinear sample reads: the top-left component index, the steps to the right and
// downward neighbours (0 at the picture's edge) and the weights.
struct Bilinear {
    size_t i, dx, dy;
    float tx, ty;
};

inline Bilinear Locate(float x, float y, int width, int height, size_t rowLength) {
    // Comparisons written so that NaN lands on the first pixel.
    float fx = x - 0.5f, fy = y - 0.5f;
    fx = fx > 0 ? std::min(fx, static_cast<float>(width - 1)) : 0.0f;
    fy = fy > 0 ? std::min(fy, static_cast<float>(height - 1)) : 0.0f;
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    return {static_cast<size_t>(iy) * rowLength + static_cast<size_t>(ix) * 4,
            ix + 1 < width ? size_t{4} : 0, iy + 1 < height ? rowLength : 0, fx - ix, fy - iy};
}

template <class T>
inline float Blend(const T* p, const Bilinear& b) {
    float a = p[b.i], c = p[b.i + b.dx], d = p[b.i + b.dy], e = p[b.i + b.dy + b.dx];
    float top = a + (c - a) * b.tx, bottom = d + (e - d) * b.tx;
    return top + (bottom - top) * b.ty;
}

}  // namespace

float Picture::Sample(float x, float y, int c) const {
    Bilinear b = Locate(x, y, width_, height_, rowLength_);
    b.i += c;
    if (deep_) return Blend(reinterpret_cast<const uint16_t*>(data_), b) * (1.0f / 32768.0f);
    return Blend(data_, b) * (1.0f / 255.0f);
}

Vec3 Picture::SampleRgb(float x, float y) const {
    Bilinear b = Locate(x, y, width_, height_, rowLength_);
    Vec3 out;
    float* channel[3] = {&out.x, &out.y, &out.z};
    for (int c = 0; c < 3; ++c, ++b.i) {
        *channel[c] = deep_ ? Blend(reinterpret_cast<const uint16_t*>(data_), b) * (1.0f / 32768.0f)
                            : Blend(data_, b) * (1.0f / 255.0f);
    }
    return out;
}

float BumpMap::At(int x, int y) const {
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return heights[static_cast<size_t>(y) * width + x];
}

void BumpMap::Prepare() {
    // The central difference of the bilinear height surface is the bilinear interpolation
    // of the texels' central differences: precomputed once, four reads per sample remain.
    gradU.resize(heights.size());
    gradV.resize(heights.size());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            size_t i = static_cast<size_t>(y) * width + x;
            gradU[i] = (At(x + 1, y) - At(x - 1, y)) * 0.5f;
            gradV[i] = (At(x, y + 1) - At(x, y - 1)) * 0.5f;
        }
    }
}

void BumpMap::Gradient(float u, float v, float& du, float& dv) const {
    // Texel centres at (i + 0.5) / size; clamped at the border.
    float s = std::clamp(Finite(u, 0.5f), 0.0f, 1.0f) * width - 0.5f;
    float t = std::clamp(Finite(v, 0.5f), 0.0f, 1.0f) * height - 0.5f;
    // s, t >= -0.5: truncation of s + 1 is floor(s) + 1.
    int is = static_cast<int>(s + 1.0f) - 1, it = static_cast<int>(t + 1.0f) - 1;
    float fs = s - is, ft = t - it;
    int x0 = std::clamp(is, 0, width - 1), x1 = std::clamp(is + 1, 0, width - 1);
    int y0 = std::clamp(it, 0, height - 1), y1 = std::clamp(it + 1, 0, height - 1);
    size_t a = static_cast<size_t>(y0) * width, b = static_cast<size_t>(y1) * width;
    auto lerp = [&](const std::vector<float>& g) {
        float top = g[a + x0] + (g[a + x1] - g[a + x0]) * fs;
        float bottom = g[b + x0] + (g[b + x1] - g[b + x0]) * fs;
        return top + (bottom - top) * ft;
    };
    du = lerp(gradU);
    dv = lerp(gradV);
}

BumpMap DecodeBumpTexture(const __Texture& texture) {
    BumpMap map;
    int w = texture.width, h = texture.height;
    if (texture.present != 1 || texture.texels == nullptr || w < 2 || h < 2 ||
        w > kMaxTextureSize || h > kMaxTextureSize) {
        return map;
    }
    bool deep = texture.is16 != 0;
    if (deep && (w % 2) != 0) return map;  // 16-bit rows of 3-byte cells need an even width
    map.width = w;
    map.height = h;
    map.heights.resize(static_cast<size_t>(w) * h);
    // Each texel row holds 4 x w components read straight through the row of 3-byte cells;
    // the sample of cell x is byte 3x of that stream, i.e. the low or high byte of 16-bit
    // component 3x / 2 when the components are 16-bit.
    for (int y = 0; y < h; ++y) {
        size_t row = static_cast<size_t>(y) * 4 * w;
        for (int x = 0; x < w; ++x) {
            int value;
            if (!deep) {
                size_t j = 3 * static_cast<size_t>(x);
                value = static_cast<const uint8_t*>(
                    texture.texels)[row + (j / 4) * 4 + kSwapped[j % 4]];
            } else {
                size_t j = 3 * static_cast<size_t>(x) / 2;
                uint16_t c = static_cast<const uint16_t*>(
                    texture.texels)[row + (j / 4) * 4 + kSwapped[j % 4]];
                value = (x % 2) != 0 ? c >> 8 : c & 0xFF;
            }
            map.heights[static_cast<size_t>(y) * w + x] = value * (1.0f / 255.0f);
        }
    }
    map.Prepare();
    return map;
}

std::vector<uint8_t> PackBumpTexture(const std::vector<uint8_t>& cells, int width, int height,
                                     bool deep) {
    size_t componentBytes = deep ? 2 : 1;
    size_t stride = deep ? 3 * width / 2 : 3 * width;  // in components
    size_t reach = (static_cast<size_t>(height - 1) * stride + 4 * width) * componentBytes;
    std::vector<uint8_t> image(std::max<size_t>(reach, 3 * cells.size()), 0);
    for (size_t i = 0; i < cells.size(); ++i) image[3 * i] = cells[i];
    std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 4 * componentBytes);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int k = 0; k < 4; ++k) {
                size_t from = (y * stride + 4 * x + k) * componentBytes;
                size_t to =
                    ((static_cast<size_t>(y) * width + x) * 4 + kSwapped[k]) * componentBytes;
                for (size_t b = 0; b < componentBytes; ++b) texels[to + b] = image[from + b];
            }
        }
    }
    return texels;
}

namespace {

// log2 for normal x > 0: x = 2^k m with m in [sqrt(1/2), sqrt(2)), and the series of
// 2 atanh(t) / ln 2 with t = (m - 1) / (m + 1), |t| < 0.172; m - 1 is exact, so the result
// keeps its relative precision near x = 1, where highlights are.
float Log2(float x) {
    uint32_t bits = std::bit_cast<uint32_t>(x);
    int k = static_cast<int>(bits >> 23) - 127;
    if (k < -126 || k > 127) return k > 127 ? 128.0f : -150.0f;  // subnormal, zero, inf, NaN
    float m = std::bit_cast<float>((bits & 0x7FFFFFu) | 0x3F800000u);
    if (m > 1.41421356f) {
        m *= 0.5f;
        k += 1;
    }
    float t = (m - 1.0f) / (m + 1.0f), t2 = t * t;
    float series =
        2.88539008f +
        t2 * (0.961796694f + t2 * (0.577078016f + t2 * (0.412198583f + t2 * 0.320598898f)));
    return static_cast<float>(k) + t * series;
}

// 2^y: 2^k by the exponent bits, 2^f for f in [0, 1) by its Taylor series (exactly 1 at 0).
float Exp2(float y) {
    if (!(y > -126.0f)) return 0.0f;
    y = std::min(y, 127.0f);
    int k = static_cast<int>(y);
    if (static_cast<float>(k) > y) --k;
    float z = (y - static_cast<float>(k)) * 0.693147181f;
    float p = 2.75573192e-6f;
    for (float c : {2.48015873e-5f, 1.98412698e-4f, 1.38888889e-3f, 8.33333333e-3f, 4.16666667e-2f,
                    0.166666667f, 0.5f, 1.0f, 1.0f}) {
        p = c + z * p;
    }
    return p * std::bit_cast<float>(static_cast<uint32_t>(k + 127) << 23);
}

}  // namespace

float PowPositive(float x, float e) {
    return Exp2(e * Log2(x));
}

namespace {
// Most steps of the highlight table: linear interpolation between them stays within 1e-5 of
// the power (relative) for every exponent and strength.
constexpr int kHighlightSteps = 4096;
}  // namespace

void TabulateHighlight(ShadingModel& m) {
    m.highlight.clear();
    float lo = std::max(0.0f, m.specularCutoff);
    if (!(lo < 1.0f)) return;
    // A power-of-two step ending at 1: every node is exact in float, and so is a value's
    // position between them.
    float step = 1.0f;
    while (step > 1.0f / (1 << 24) && step * 0.5f * kHighlightSteps >= 1.0f - lo) step *= 0.5f;
    int steps = static_cast<int>(std::ceil((1.0f - lo) / step));
    m.highlightStart = 1.0f - static_cast<float>(steps) * step;
    m.highlightScale = 1.0f / step;
    m.highlightSteps = steps;
    m.highlight.resize(static_cast<size_t>(steps) + 2);
    for (int i = 0; i < steps + 2; ++i) {
        float x = m.highlightStart + step * static_cast<float>(i);
        m.highlight[i] = x > 0 ? PowPositive(x, m.specularExponent) : 0.0f;
    }
}

float Highlight(const ShadingModel& m, float ndh) {
    if (m.highlight.empty()) return PowPositive(ndh, m.specularExponent);
    // ndh may exceed 1 by rounding: the last interval extends past 1.
    float t = std::min((ndh - m.highlightStart) * m.highlightScale,
                       static_cast<float>(m.highlightSteps) + 0.999f);
    t = std::max(t, 0.0f);
    int i = static_cast<int>(t);
    float f = t - static_cast<float>(i);
    return m.highlight[i] + (m.highlight[i + 1] - m.highlight[i]) * f;
}

float SpecularExponent(float shininess) {
    float s = std::clamp(Finite(shininess, 0.0f), 0.0f, 100.0f);
    return 1.0f + 12.0f * s + 4.0f * s * s;
}

ShadingModel MakeShadingModel(const material3ds* material, const __Texture* textures,
                              int lightCount, const light3ds* lights, const GlassProp* glass,
                              bool doubleSide, float centerX, float centerY) {
    ShadingModel m;
    m.doubleSide = doubleSide;
    m.centerX = centerX;
    m.centerY = centerY;
    if (material != nullptr) {
        m.ambient = FiniteColor(material->ambient, {});
        m.diffuse = FiniteColor(material->diffuse, {});
        m.specular = FiniteColor(material->specular, {});
        m.specularExponent = SpecularExponent(material->shininess);
        m.specularStrength = std::max(0.0f, Finite(material->shinStrength, 0.0f)) / 10.0f;
        // Highlights weaker than a quarter of an 8-bit step are not worth computing.
        m.specularCutoff =
            m.specularStrength > 0
                ? PowPositive(1.0f / (1024.0f * m.specularStrength), 1.0f / m.specularExponent)
                : 2.0f;
        m.selfIllum = std::max(0.0f, Finite(material->selfIllum, 0.0f));
        m.opacity = 1.0f - std::clamp(std::fabs(Finite(material->transparency, 0.0f)), 0.0f, 1.0f);
        float amount = Finite(material->maps[PRISMCORE_BUMP_SLOT].amount, 0.0f);
        if (textures != nullptr && amount != 0.0f) {
            m.bump = DecodeBumpTexture(textures[PRISMCORE_BUMP_TEXTURE]);
            m.bumpTilt = std::clamp(amount, -10.0f, 10.0f) * kBumpGain;
        }
    }
    if (lights != nullptr) {
        for (int i = 0; i < std::min(lightCount, kMaxLights); ++i) {
            const light3ds& l = lights[i];
            Light light;
            light.position = FiniteColor(l.position, {0, 0, 2000});
            light.color = FiniteColor(l.color, {}) * Finite(l.multiplier, 0.0f);
            m.lights.push_back(light);
        }
    }
    TabulateHighlight(m);
    if (glass != nullptr && glass->useGlass == 1) {
        m.glass = true;
        m.glassMix = std::clamp(Finite(glass->koefficient, 0.0f) / 10.0f, -1.0f, 1.0f);
        m.refractPixels =
            std::clamp(Finite(glass->refraction, 0.0f), -1e4f, 1e4f) * PRISMCORE_REFRACTION_PIXELS;
        m.aberration = std::clamp(Finite(glass->aberration, 0.0f), 0.0f, 100.0f) / 100.0f;
    }
    return m;
}

Plane MakePlane(const Corner corners[3], double a0, double a1, double a2) {
    double x0 = corners[0].x, y0 = corners[0].y;
    double ex1 = corners[1].x - x0, ey1 = corners[1].y - y0;
    double ex2 = corners[2].x - x0, ey2 = corners[2].y - y0;
    double area2 = ex1 * ey2 - ey1 * ex2;
    Plane p;
    double dx = 0, dy = 0;
    if (std::fabs(area2) > 1e-12) {
        dx = ((a1 - a0) * ey2 - (a2 - a0) * ey1) / area2;
        dy = ((a2 - a0) * ex1 - (a1 - a0) * ex2) / area2;
    }
    p.x0 = static_cast<float>(x0);
    p.y0 = static_cast<float>(y0);
    p.a0 = static_cast<float>(a0 + dx * (p.x0 - x0) + dy * (p.y0 - y0));
    p.ax = static_cast<float>(dx);
    p.ay = static_cast<float>(dy);
    return p;
}

void MakeShadeSetup(const ShadingModel& model, uint32_t id, const Corner corners[3],
                    ShadeSetup& out, bool withFlatColor) {
    out.id = id;
    const __Point3ds& p0 = *corners[0].point;
    const __Point3ds& p1 = *corners[1].point;
    const __Point3ds& p2 = *corners[2].point;
    out.z = MakePlane(corners, p0.z, p1.z, p2.z);
    out.nx = MakePlane(corners, p0.nx, p1.nx, p2.nx);
    out.ny = MakePlane(corners, p0.ny, p1.ny, p2.ny);
    out.nz = MakePlane(corners, p0.nz, p1.nz, p2.nz);
    out.u = MakePlane(corners, p0.u, p1.u, p2.u);
    out.v = MakePlane(corners, p0.v, p1.v, p2.v);
    auto direction = [](const Plane& p, float& dx, float& dy, float fx, float fy) {
        float l = std::sqrt(p.ax * p.ax + p.ay * p.ay);
        if (l > 1e-20f && std::isfinite(l)) {
            dx = p.ax / l;
            dy = p.ay / l;
        } else {
            dx = fx;
            dy = fy;
        }
    };
    direction(out.u, out.uDirX, out.uDirY, 1, 0);
    direction(out.v, out.vDirX, out.vDirY, 0, 1);
    Vec3 n = Normalize(Vec3{p0.nx + p1.nx + p2.nx, p0.ny + p1.ny + p2.ny, p0.nz + p1.nz + p2.nz});
    if (model.doubleSide && n.z < 0) n = n * -1.0f;
    out.flatNormal = n;
    if (!withFlatColor) return;
    Vec3 centroid{static_cast<float>((corners[0].x + corners[1].x + corners[2].x) / 3),
                  static_cast<float>((corners[0].y + corners[1].y + corners[2].y) / 3), 0};
    centroid.z = (p0.z + p1.z + p2.z) / 3.0f;
    out.flatColor =
        LitDiffuse(model, n, {centroid.x - model.centerX, centroid.y - model.centerY, centroid.z});
}

namespace {

struct LightSum {
    Vec3 diffuse, specular;
};

LightSum Illuminate(const ShadingModel& model, Vec3 n, Vec3 position, bool specular) {
    LightSum sum;
    for (const Light& light : model.lights) {
        Vec3 l = Normalize(light.position - position);
        float ndl = Dot(n, l);
        if (!(ndl > 0)) continue;
        sum.diffuse = sum.diffuse + light.color * ndl;
        if (!specular) continue;
        // Blinn-Phong with the orthographic view direction (0, 0, 1).
        float ndh = Dot(n, Normalize(l + Vec3{0, 0, 1}));
        if (ndh > model.specularCutoff) {
            sum.specular = sum.specular + light.color * Highlight(model, ndh);
        }
    }
    return sum;
}

Vec3 Base(const ShadingModel& model, Vec3 lightDiffuse) {
    float lightShare = std::max(0.0f, 1.0f - model.selfIllum);
    return model.diffuse * model.selfIllum +
           (model.ambient * kAmbientLight + model.diffuse * lightDiffuse) * lightShare;
}

}  // namespace

// The source picture seen through the glass, displaced along the normal; with aberration
// the red and blue offsets spread apart from the green one.
Vec3 Refracted(const ShadingModel& model, const Picture& source, Vec3 n, float x, float y,
               bool aberration) {
    float dx = model.refractPixels * n.x, dy = model.refractPixels * n.y;
    float spread = aberration ? model.aberration : 0.0f;
    Vec3 out;
    float scale[3] = {1.0f - spread, 1.0f, 1.0f + spread};
    float* channel[3] = {&out.x, &out.y, &out.z};
    // Displacements on a 1/64-pixel grid keep the sample position exact, so a band moved
    // by whole pixels reads the same bilinear weights as the whole picture.
    auto grid = [](float d) {
        float t = d * 64.0f;
        // Round half to even as nearbyint does, without the library call: adding and taking
        // away 1.5 * 2^23 leaves the nearest integer for |t| < 2^22.
        if (std::fabs(t) < 4194304.0f) return ((t + 12582912.0f) - 12582912.0f) * (1.0f / 64.0f);
        return std::fabs(d) < 1e6f ? std::nearbyint(t) / 64.0f : d;
    };
    if (spread == 0) {
        float ox = grid(dx), oy = grid(dy);
        return source.SampleRgb(x + ox, y + oy);
    }
    for (int c = 0; c < 3; ++c) {
        *channel[c] = source.Sample(x + grid(dx * scale[c]), y + grid(dy * scale[c]), c);
    }
    return out;
}

Vec3 LitDiffuse(const ShadingModel& model, Vec3 normal, Vec3 position) {
    return Base(model, Illuminate(model, normal, position, false).diffuse);
}

Shade ShadeSurface(const ShadingModel& model, const ShadeSetup& s, DrawMode mode,
                   const Picture& source, float x, float y) {
    Vec3 n = s.flatNormal;
    if (mode == DrawMode::kPhong) {
        n = Normalize({s.nx.At(x, y), s.ny.At(x, y), s.nz.At(x, y)});
        if (model.doubleSide && n.z < 0) n = n * -1.0f;
        if (model.bumpTilt != 0 && !model.bump.empty()) {
            float du, dv;
            model.bump.Gradient(s.u.At(x, y), s.v.At(x, y), du, dv);
            float tx = du * s.uDirX + dv * s.vDirX, ty = du * s.uDirY + dv * s.vDirY;
            n = Normalize({n.x - model.bumpTilt * tx, n.y - model.bumpTilt * ty, n.z});
        }
    }
    Vec3 position{x - model.centerX, y - model.centerY, s.z.At(x, y)};
    LightSum light = Illuminate(model, n, position, true);
    Vec3 base = Base(model, light.diffuse);
    if (model.glass && source.valid()) {
        Vec3 g = Refracted(model, source, n, x, y, mode == DrawMode::kPhong);
        float w = model.glassMix;
        base = w >= 0 ? base + (g - base) * w : base * (1 + w) + (Vec3{1, 1, 1} - g) * -w;
    }
    return {base + model.specular * light.specular * model.specularStrength, model.opacity};
}

void ShadeSurface4(const ShadingModel& model, const ShadeSetup* const setups[4], DrawMode mode,
                   const Picture& source, const float x[4], const float y[4], Shade out[4]) {
    LaneShader<4>::Shade(model, setups, mode, source, x, y, out);
}

bool WideLanesAvailable() {
    // The processor and the system must both support the AVX2 registers; libgcc checks both.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}

}  // namespace fw::prismcore
