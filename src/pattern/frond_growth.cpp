#include "pattern/frond_growth.h"

#include <cmath>
#include <utility>

#include "pattern/numeric.h"
#include "pattern/pattern_random.h"
#include "pattern/portable_math.h"

namespace fw {

namespace {

// Local frond coordinates -> scene: turn by angle - bend, then move to the origin.
struct Placement {
    float x, y, c, s;
    Placement(float x0, float y0, float angle, float bend)
        : x(x0), y(y0), c(pm::CosF(angle - bend)), s(pm::SinF(angle - bend)) {}
    Point2 operator()(Point2 p) const { return {p.x * c - p.y * s + x, p.x * s + p.y * c + y}; }
};

Point2 Polar(float radius, float phi) {
    float s, c;
    pm::SinCosF(phi, &s, &c);
    return {radius * c, radius * s};
}

Point2 Plus(Point2 a, Point2 b) {
    return {a.x + b.x, a.y + b.y};
}

}  // namespace

Point2 GrowFrondArc(TriangleList& list, float x, float y, float zBase, float angle, float bend,
                    float length, int32_t count, float width, int32_t depth) {
    if (count <= 0 || GrowthStopped()) return {x, y};
    if (depth < 0) depth = 0;  // side fronds nest at most twice
    const int32_t n = count < 7 ? 7 : count;
    const float dPhi = bend / static_cast<float>(n);
    const float dRho = length / static_cast<float>(n);
    const Point2 o{-length * pm::CosF(bend), -length * pm::SinF(bend)};
    const float thick = 5.0f * width;
    const float side = 1.0f * width;
    const Placement place(x, y, angle, bend);

    float phi = bend;
    float rho = length;
    float lastHR = 0.0f;
    for (int64_t i = 0; i <= n; ++i) {
        const Point2 p = Plus(Polar(rho, phi), o);
        const Point2 q = Plus(Polar(rho + dRho, phi + dPhi), o);
        const Point2 d{q.x - p.x, q.y - p.y};
        const Point2 r{p.x - thick * d.x, p.y - thick * d.y};
        phi += dPhi;
        float co, si;
        pm::SinCosF(bend < 0.0f ? phi : phi - 3.141592f, &si, &co);
        phi -= 2.0f * dPhi;
        const Point2 t{-rho * si + 2.0f * dRho * co, rho * co + 2.0f * dRho * si};
        const Point2 qs{p.x + side * t.x, p.y + side * t.y};

        const Point2 pp = place(p);
        Point2 pr = place(r);
        Point2 pq = place(qs);
        const float hP = zBase;
        const float hR = (zBase + rho) / 1.5f;
        const float hQ = (zBase + rho) * 1.5f;
        if (bend < 0.0f) std::swap(pr, pq);  // positions only; heights keep their places
        MakeTriangle(0, list, {pp.x, pp.y, hP}, {pr.x, pr.y, hR}, {pq.x, pq.y, hQ});
        if (GrowthStopped()) return pp;
        lastHR = hR;
        rho -= dRho;
    }
    const Point2 end = place(Plus(Polar(length / 2.0f, bend / 2.0f), o));

    // Drawn at every depth so the random sequence does not depend on it.
    const int32_t chance = PatternRandom::next() % 100;
    if (chance >= 36 && depth < 2) {
        const Point2 start = place(Plus(Polar(0.75f * length, 0.75f * bend), o));
        const float sideAngle = bend < 0.0f ? angle - 1.570796f : angle + 1.570796f;
        GrowFrondArc(list, start.x, start.y, lastHR + 50.0f, sideAngle, -0.85f * bend,
                     0.6f * length, TruncToInt(0.75f * static_cast<float>(n)), 0.8f * width,
                     depth + 1);
    }
    return end;
}

void GrowRosette(TriangleList& list, float x, float y, float zBase, float angle, float bend,
                 float length) {
    float step = 2.1991143f / 8.0f;
    float r = length / 3.0f;
    const float grow = length / 20.0f;
    float theta;
    if (bend <= 0.0f) {
        theta = angle - 2.1991144f;
        step = -step;
    } else {
        theta = angle + 2.1991144f;
    }
    for (int k = 0; k < 8; ++k) {
        if (k == 7) r /= 2.0f;
        Point2 p1 = Plus({x, y}, Polar(r, theta));
        Point2 p2 = Plus({x, y}, Polar(r + grow, theta + step));
        if (bend < 0.0f) std::swap(p1, p2);
        MakeTriangle(0, list, {x, y, zBase}, {p1.x, p1.y, zBase / 2.0f},
                     {p2.x, p2.y, 1.5f * zBase});
        if (GrowthStopped()) return;
        theta += step;
        r += grow;
    }
}

FrondLink NextFrondLink(const FrondLink& link, float u, float width) {
    FrondLink next = link;
    next.z = link.z + 10.0f;
    float turn = 0.3f * link.bend;
    if (turn < -0.785398f) turn = -0.785398f;
    if (turn > 0.785398f) turn = 0.785398f;
    next.angle = link.angle + turn;
    next.bend = -1.25f * link.bend;
    next.length = link.length * 0.8f * ((u + 1.0f) / 8.0f + 0.75f);
    next.width = 0.85f * width;
    next.count = TruncToInt(1.15 * link.count);
    return next;
}

void GrowFrond(int32_t count, TriangleList& list, float x, float y, float zBase, float angle,
               float bend, float length, float width, int32_t side, int32_t maxTriangles,
               float zoom) {
    if (GrowthStopped()) return;
    int32_t n;
    if (maxTriangles >= 1) {
        n = maxTriangles;
    } else {
        const float b = std::fabs(bend);
        n = TruncToInt((b + (b < 1.0f ? 1.0f - b : 0.0f) + 1.0f) * 4.0f);
        const float s = zoom * length / 100.0f;
        if (s > 1.0f) n = TruncToInt(static_cast<float>(n) * s);
    }
    if (n < 7) n = 7;

    if (side != 0) {
        GrowRosette(list, x, y, zBase, angle, bend, length);
    } else {
        const float leafAngle = (bend > 0.0f ? angle - 1.570796f : angle + 1.570796f) + bend / 3.0f;
        GrowFrondArc(list, x, y, zBase, leafAngle, bend / -2.0f, length / 2.0f, n / 2, width / 2.0f,
                     0);
    }

    Point2 p{x, y};
    FrondLink link{zBase, angle, bend, length, width, n};
    for (int32_t i = 0; i < count && !GrowthStopped(); ++i) {
        p = GrowFrondArc(list, p.x, p.y, link.z, link.angle, link.bend, link.length, link.count,
                         link.width, 0);
        if (GrowthStopped()) return;
        const float u = static_cast<float>(PatternRandom::next() % 2000 - 1000) / 2000.0f;
        link = NextFrondLink(link, u, width);
    }
}

void GrowCurl(int32_t variant, TriangleList& list, float x, float y, float zBase, float angle,
              float bend, float length, float width, int32_t count, int32_t subCount, float pWidth,
              float twist, float twistStep) {
    if (count < 1 || GrowthStopped()) return;
    const auto fcount = static_cast<float>(count);
    float dPhi = bend / fcount;
    float dRho = length / fcount;
    const float shrinkRho = pWidth * dRho / fcount;
    const float shrinkPhi = pWidth * dPhi / fcount;
    const Point2 o{-length * pm::CosF(bend), -length * pm::SinF(bend)};
    float m;
    if (subCount >= 1) {
        m = static_cast<float>(subCount);
    } else {
        m = std::fabs(twist) * 3.0f + length / 15.0f;
        if (!(m >= 7.0f)) m = 7.0f;
    }
    const Placement place(x, y, angle, bend);
    const bool spineAngle = variant != 0 && variant != 2;
    const bool mirrorPair = variant == 2 || variant == 3;

    float phi = bend, rho = length, z = zBase;
    for (int64_t k = count; k >= 0; --k) {
        const Point2 p = place(Plus(Polar(rho, phi), o));
        const float frond = length * (static_cast<float>(k) + 0.4f) / fcount * 0.25f;
        if (frond < 3.0f) return;
        float b = static_cast<float>(count - k) * twistStep + twist;
        if (std::fabs(b) < 0.00001f) b = bend < 0.0f ? -0.00001f : 0.00001f;
        float a = spineAngle ? 2.0f * dPhi + phi + (angle - bend) + 1.570796f : angle + 1.570796f;
        const int32_t sub = TruncToInt(m);
        GrowFrondArc(list, p.x, p.y, z, a, b, frond, sub, width, 3);
        a += 3.141592f;
        if (mirrorPair) b = -b;
        GrowFrondArc(list, p.x, p.y, z, a, b, frond, sub, width, 3);
        if (GrowthStopped()) return;
        z -= 50.0f;
        dRho -= shrinkRho;
        dPhi -= shrinkPhi;
        m -= 0.5f;
        if (m < 7.0f) m = 7.0f;
        rho -= dRho;
        phi -= dPhi;
    }
}

}  // namespace fw
