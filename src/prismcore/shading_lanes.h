// Shading of N pixels side by side (4 in SSE2 lanes, 8 in AVX2 lanes). Every lane performs
// exactly the operations of ShadeSurface in the same order and no operation is fused, so
// the result is the same to the bit whichever path a processor takes.
//
// Included by shading.cpp (N = 4) and by shading_wide.cpp, which is compiled for AVX2 and
// used only where the processor has it. Everything here has internal linkage, so that no
// AVX2 copy of a function can stand in for the SSE2 one at link time; for the same reason
// the code reads the records' data directly rather than through shared inline helpers.
#pragma once

#include <cstdint>

#include "prismcore/lanes.h"
#include "prismcore/shading.h"

namespace fw::prismcore {

// The scalar glass the lanes fall back on, defined in shading.cpp.
Vec3 Refracted(const ShadingModel& model, const Picture& source, Vec3 n, float x, float y,
               bool aberration);

namespace {  // NOLINT: internal linkage on purpose, see above

template <int N>
struct LaneShader {
    using F = typename Lanes<N>::F;
    using I = typename Lanes<N>::I;
    struct V {
        F x, y, z;
    };

    static F Splat(float v) { return F{} + v; }
    // m: lanes of comparison results (all bits set or none).
    static bool Any(I m) { return Lanes<N>::Signs(m) != 0; }
    static bool All(I m) { return Lanes<N>::Signs(m) == (1 << N) - 1; }
    static F Dot(const V& a, const V& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
    static V Normalize(const V& v) {
        F l2 = Dot(v, v);
        I ok = (l2 > Splat(1e-30f)) & (l2 < Splat(1e30f));
        F inv = Splat(1.0f) / Lanes<N>::Sqrt(l2);
        return {ok ? v.x * inv : Splat(0), ok ? v.y * inv : Splat(0), ok ? v.z * inv : Splat(1)};
    }
    static F At(const ShadeSetup* const s[N], Plane ShadeSetup::*member, F x, F y) {
        F a0, ax, ay, x0, y0;
        for (int k = 0; k < N; ++k) {
            const Plane& p = s[k]->*member;
            a0[k] = p.a0;
            ax[k] = p.ax;
            ay[k] = p.ay;
            x0[k] = p.x0;
            y0[k] = p.y0;
        }
        return a0 + ax * (x - x0) + ay * (y - y0);
    }
    static F Field(const ShadeSetup* const s[N], float ShadeSetup::*member) {
        F out;
        for (int k = 0; k < N; ++k) out[k] = s[k]->*member;
        return out;
    }

    // The highlight table's linear interpolation, as Highlight does it.
    static F Highlight(const ShadingModel& m, F ndh) {
        F t = (ndh - Splat(m.highlightStart)) * Splat(m.highlightScale);
        const F top = Splat(static_cast<float>(m.highlightSteps) + 0.999f);
        t = top < t ? top : t;                  // std::min(t, top)
        t = t < Splat(0.0f) ? Splat(0.0f) : t;  // std::max(t, 0)
        const I i = __builtin_convertvector(t, I);
        const F f = t - __builtin_convertvector(i, F);
        const float* table = m.highlight.data();
        F a, b;
        for (int k = 0; k < N; ++k) {
            a[k] = table[i[k]];
            b[k] = table[i[k] + 1];
        }
        return a + (b - a) * f;
    }

    // BumpMap::Gradient, the same arithmetic; only the table reads are per lane.
    static void Gradient(const BumpMap& map, F u, F v, F& du, F& dv) {
        auto position = [](F c, int size) {
            F finite = ((c - c) == Splat(0)) ? c : Splat(0.5f);  // c - c is NaN for inf and NaN
            F clamped = finite < Splat(0) ? Splat(0) : (Splat(1) < finite ? Splat(1) : finite);
            return clamped * Splat(static_cast<float>(size)) - Splat(0.5f);
        };
        const F s = position(u, map.width), t = position(v, map.height);
        const I is = __builtin_convertvector(s + Splat(1), I) - 1;
        const I it = __builtin_convertvector(t + Splat(1), I) - 1;
        const F fs = s - __builtin_convertvector(is, F), ft = t - __builtin_convertvector(it, F);
        const float* gradU = map.gradU.data();
        const float* gradV = map.gradV.data();
        const int lastX = map.width - 1, lastY = map.height - 1;
        F g[2][4];  // gradient along u, v; corners top left, top right, bottom left, bottom right
        for (int k = 0; k < N; ++k) {
            auto clampTo = [](int value, int last) {
                return value < 0 ? 0 : (value > last ? last : value);
            };
            int x0 = clampTo(is[k], lastX), x1 = clampTo(is[k] + 1, lastX);
            int y0 = clampTo(it[k], lastY), y1 = clampTo(it[k] + 1, lastY);
            size_t a = static_cast<size_t>(y0) * map.width, b = static_cast<size_t>(y1) * map.width;
            const size_t at[4] = {a + x0, a + x1, b + x0, b + x1};
            for (int c = 0; c < 4; ++c) {
                g[0][c][k] = gradU[at[c]];
                g[1][c][k] = gradV[at[c]];
            }
        }
        F out[2];
        for (int d = 0; d < 2; ++d) {
            F top = g[d][0] + (g[d][1] - g[d][0]) * fs, bottom = g[d][2] + (g[d][3] - g[d][2]) * fs;
            out[d] = top + (bottom - top) * ft;
        }
        du = out[0];
        dv = out[1];
    }

    // The refracted picture; false when a displacement is too large (or not finite) for the
    // quick rounding, and the caller takes the scalar path.
    template <class T>
    static bool Refracted(const ShadingModel& model, const T* data, int width, int height,
                          size_t rowLength, float scaleToUnit, const V& n, F x, F y,
                          bool aberration, V& out) {
        const F dx = Splat(model.refractPixels) * n.x, dy = Splat(model.refractPixels) * n.y;
        const float spread = aberration ? model.aberration : 0.0f;
        const float scale[3] = {1.0f - spread, 1.0f, 1.0f + spread};
        F* channel[3] = {&out.x, &out.y, &out.z};
        const F lastX = Splat(static_cast<float>(width - 1));
        const F lastY = Splat(static_cast<float>(height - 1));
        for (int c = 0; c < 3; ++c) {
            F tx = dx * Splat(scale[c]) * Splat(64.0f), ty = dy * Splat(scale[c]) * Splat(64.0f);
            const F limit = Splat(4194304.0f);
            if (!All((tx < limit) & (tx > -limit) & (ty < limit) & (ty > -limit))) return false;
            const F magic = Splat(12582912.0f), sixtyFourth = Splat(1.0f / 64.0f);
            // Locate, lane by lane as the scalar sample does.
            F fx = x + ((tx + magic) - magic) * sixtyFourth - Splat(0.5f);
            F fy = y + ((ty + magic) - magic) * sixtyFourth - Splat(0.5f);
            fx = fx > Splat(0) ? (lastX < fx ? lastX : fx) : Splat(0);
            fy = fy > Splat(0) ? (lastY < fy ? lastY : fy) : Splat(0);
            I ix = __builtin_convertvector(fx, I), iy = __builtin_convertvector(fy, I);
            F wx = fx - __builtin_convertvector(ix, F), wy = fy - __builtin_convertvector(iy, F);
            F a, b, d, e;
            for (int k = 0; k < N; ++k) {
                size_t i =
                    static_cast<size_t>(iy[k]) * rowLength + static_cast<size_t>(ix[k]) * 4 + c;
                size_t right = ix[k] + 1 < width ? 4 : 0, down = iy[k] + 1 < height ? rowLength : 0;
                a[k] = static_cast<float>(data[i]);
                b[k] = static_cast<float>(data[i + right]);
                d[k] = static_cast<float>(data[i + down]);
                e[k] = static_cast<float>(data[i + down + right]);
            }
            F top = a + (b - a) * wx, bottom = d + (e - d) * wx;
            *channel[c] = (top + (bottom - top) * wy) * Splat(scaleToUnit);
        }
        return true;
    }

    static void Shade(const ShadingModel& model, const ShadeSetup* const s[N], DrawMode mode,
                      const Picture& source, const float px[N], const float py[N], Shade out[N]) {
        const F x = LoadLanes<F>(px), y = LoadLanes<F>(py);
        V n;
        if (mode == DrawMode::kPhong) {
            n = Normalize({At(s, &ShadeSetup::nx, x, y), At(s, &ShadeSetup::ny, x, y),
                           At(s, &ShadeSetup::nz, x, y)});
            if (model.doubleSide) {
                I flip = n.z < Splat(0);
                n = {flip ? n.x * -1.0f : n.x, flip ? n.y * -1.0f : n.y, flip ? n.z * -1.0f : n.z};
            }
            if (model.bumpTilt != 0 && !model.bump.heights.empty()) {
                F du, dv;
                Gradient(model.bump, At(s, &ShadeSetup::u, x, y), At(s, &ShadeSetup::v, x, y), du,
                         dv);
                F tx = du * Field(s, &ShadeSetup::uDirX) + dv * Field(s, &ShadeSetup::vDirX);
                F ty = du * Field(s, &ShadeSetup::uDirY) + dv * Field(s, &ShadeSetup::vDirY);
                F tilt = Splat(model.bumpTilt);
                n = Normalize({n.x - tilt * tx, n.y - tilt * ty, n.z});
            }
        } else {
            for (int k = 0; k < N; ++k) {
                n.x[k] = s[k]->flatNormal.x;
                n.y[k] = s[k]->flatNormal.y;
                n.z[k] = s[k]->flatNormal.z;
            }
        }
        const V position{x - Splat(model.centerX), y - Splat(model.centerY),
                         At(s, &ShadeSetup::z, x, y)};
        V diffuse{Splat(0), Splat(0), Splat(0)}, specular = diffuse;
        for (const Light& light : model.lights) {
            V l = Normalize({Splat(light.position.x) - position.x,
                             Splat(light.position.y) - position.y,
                             Splat(light.position.z) - position.z});
            F ndl = Dot(n, l);
            I lit = ndl > Splat(0);
            if (!Any(lit)) continue;
            diffuse = {lit ? diffuse.x + Splat(light.color.x) * ndl : diffuse.x,
                       lit ? diffuse.y + Splat(light.color.y) * ndl : diffuse.y,
                       lit ? diffuse.z + Splat(light.color.z) * ndl : diffuse.z};
            F ndh = Dot(n, Normalize({l.x + Splat(0), l.y + Splat(0), l.z + Splat(1)}));
            const I shiny = lit & (ndh > Splat(model.specularCutoff));
            if (!Any(shiny)) continue;
            F h;
            if (model.highlight.empty()) {
                for (int k = 0; k < N; ++k)
                    h[k] = shiny[k] != 0 ? prismcore::Highlight(model, ndh[k]) : 0.0f;
            } else {
                h = Highlight(model, ndh);
            }
            specular = {shiny ? specular.x + Splat(light.color.x) * h : specular.x,
                        shiny ? specular.y + Splat(light.color.y) * h : specular.y,
                        shiny ? specular.z + Splat(light.color.z) * h : specular.z};
        }
        float lightShare = 1.0f - model.selfIllum;
        lightShare = 0.0f < lightShare ? lightShare : 0.0f;  // std::max(0.0f, lightShare)
        auto base = [&](float d, float a, F light) {
            return Splat(d * model.selfIllum) +
                   (Splat(a * kAmbientLight) + Splat(d) * light) * Splat(lightShare);
        };
        const V b{base(model.diffuse.x, model.ambient.x, diffuse.x),
                  base(model.diffuse.y, model.ambient.y, diffuse.y),
                  base(model.diffuse.z, model.ambient.z, diffuse.z)};
        V glass;
        const bool glassy = model.glass && source.valid();
        bool quick = false;
        if (glassy) {
            const bool aberration = mode == DrawMode::kPhong;
            quick = source.deep()
                        ? Refracted(model, reinterpret_cast<const uint16_t*>(source.data()),
                                    source.width(), source.height(), source.rowLength(),
                                    1.0f / 32768.0f, n, x, y, aberration, glass)
                        : Refracted(model, source.data(), source.width(), source.height(),
                                    source.rowLength(), 1.0f / 255.0f, n, x, y, aberration, glass);
        }
        if (glassy && !quick) {
            for (int k = 0; k < N; ++k) {
                Vec3 r = prismcore::Refracted(model, source, {n.x[k], n.y[k], n.z[k]}, px[k], py[k],
                                              mode == DrawMode::kPhong);
                glass.x[k] = r.x;
                glass.y[k] = r.y;
                glass.z[k] = r.z;
            }
        }
        V lane = b;
        if (glassy) {
            const float w = model.glassMix;
            auto mix = [&](F base, F g) {
                return w >= 0 ? base + (g - base) * Splat(w)
                              : base * Splat(1 + w) + (Splat(1.0f) - g) * Splat(-w);
            };
            lane = {mix(b.x, glass.x), mix(b.y, glass.y), mix(b.z, glass.z)};
        }
        const F strength = Splat(model.specularStrength);
        const V color{lane.x + Splat(model.specular.x) * specular.x * strength,
                      lane.y + Splat(model.specular.y) * specular.y * strength,
                      lane.z + Splat(model.specular.z) * specular.z * strength};
        for (int k = 0; k < N; ++k) {
            out[k].color = {color.x[k], color.y[k], color.z[k]};
            out[k].opacity = model.opacity;
        }
    }
};

}  // namespace
}  // namespace fw::prismcore
