#include "prismcore/shading.h"

#include <algorithm>
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

void Picture::WritePixel(uint8_t* writable, int x, int y, float r, float g, float b,
                         float a) const {
    size_t i = static_cast<size_t>(y) * rowLength_ + static_cast<size_t>(x) * 4;
    const float v[4] = {r, g, b, a};
    if (deep_) {
        uint16_t* p = reinterpret_cast<uint16_t*>(writable) + i;
        for (int c = 0; c < 4; ++c) {
            p[c] =
                static_cast<uint16_t>(std::clamp(Finite(v[c], 0.0f), 0.0f, 1.0f) * 32768.0f + 0.5f);
        }
    } else {
        for (int c = 0; c < 4; ++c) {
            writable[i + c] =
                static_cast<uint8_t>(std::clamp(Finite(v[c], 0.0f), 0.0f, 1.0f) * 255.0f + 0.5f);
        }
    }
}

float Picture::Sample(float x, float y, int c) const {
    // Comparisons written so that NaN lands on the first pixel.
    float fx = x - 0.5f, fy = y - 0.5f;
    fx = fx > 0 ? std::min(fx, static_cast<float>(width_ - 1)) : 0.0f;
    fy = fy > 0 ? std::min(fy, static_cast<float>(height_ - 1)) : 0.0f;
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = fx - ix, ty = fy - iy;
    size_t dx = ix + 1 < width_ ? 4 : 0;
    size_t dy = iy + 1 < height_ ? rowLength_ : 0;
    size_t i = static_cast<size_t>(iy) * rowLength_ + static_cast<size_t>(ix) * 4 + c;
    float a, b, d, e;
    if (deep_) {
        const uint16_t* p = reinterpret_cast<const uint16_t*>(data_);
        a = p[i], b = p[i + dx], d = p[i + dy], e = p[i + dy + dx];
    } else {
        a = data_[i], b = data_[i + dx], d = data_[i + dy], e = data_[i + dy + dx];
    }
    float top = a + (b - a) * tx, bottom = d + (e - d) * tx;
    return (top + (bottom - top) * ty) * (deep_ ? 1.0f / 32768.0f : 1.0f / 255.0f);
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
        // Highlights weaker than a quarter of an 8-bit step are not worth a pow().
        m.specularCutoff = m.specularStrength > 0 ? std::pow(1.0f / (1024.0f * m.specularStrength),
                                                             1.0f / m.specularExponent)
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
                    ShadeSetup& out) {
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
            sum.specular = sum.specular + light.color * std::pow(ndh, model.specularExponent);
        }
    }
    return sum;
}

Vec3 Base(const ShadingModel& model, Vec3 lightDiffuse) {
    float lightShare = std::max(0.0f, 1.0f - model.selfIllum);
    return model.diffuse * model.selfIllum +
           (model.ambient * kAmbientLight + model.diffuse * lightDiffuse) * lightShare;
}

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
    auto grid = [](float d) { return std::fabs(d) < 1e6f ? std::nearbyint(d * 64.0f) / 64.0f : d; };
    for (int c = 0; c < 3; ++c) {
        *channel[c] = source.Sample(x + grid(dx * scale[c]), y + grid(dy * scale[c]), c);
    }
    return out;
}

}  // namespace

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

}  // namespace fw::prismcore
