#include "pattern/branch_growth.h"

#include <cmath>
#include <utility>

#include "pattern/numeric.h"
#include "pattern/pattern_random.h"
#include "pattern/portable_math.h"

namespace fw {

namespace {

// Random fraction k / divisor, k = next() mod 1000.
float Draw(float divisor) {
    return static_cast<float>(PatternRandom::next() % 1000) / divisor;
}

// Direction angle of the fan's first triangle, with the generator's own constants.
float BaseAngle(float dx, float dy) {
    if (dx == 0.0f && dy == 0.0f) return 0.0f;
    if (dx == 0.0f) return dy < 0.0f ? -1.5707964f : 1.5707964f;
    float beta = pm::AtanF(dy / dx);
    if (dx < 0.0f && dy <= 0.0f) beta -= 3.141592f;
    if (dx < 0.0f && dy > 0.0f) beta += 3.141592f;
    return beta;
}

}  // namespace

float TurnAngle(Point2 s, Point2 p) {
    const float dx = p.x - s.x;
    const float dy = p.y - s.y;
    const float rho = std::sqrt(dx * dx + dy * dy);
    constexpr float kBase[4] = {0.0f, static_cast<float>(pm::kPi / 2), static_cast<float>(pm::kPi),
                                static_cast<float>(3 * pm::kPi / 2)};
    int q;
    if (dy > 0.0f) {
        q = dx >= 0.0f ? 0 : 1;
    } else {
        q = dx < 0.0f ? 2 : 3;
    }
    if (rho == 0.0f) return kBase[q];  // s and p coincide: no turn to measure
    const float along = (q == 0 || q == 2) ? std::fabs(dx) : std::fabs(dy);
    return kBase[q] + pm::AsinF(along / rho);
}

void GrowBranchBase(TriangleList& list, Point2 a, Point2 b, Point2 normal, float size,
                    float sizeF) {
    if (GrowthStopped()) return;
    const Point2 m{(a.x + b.x) / 2.0f, (a.y + b.y) / 2.0f};
    const float r = Draw(1000.0f);
    float h = size * r + size / 2.0f;
    const float zA = r * h;
    const float zB = r * size;
    if (sizeF != 1.0f) {
        if (sizeF < 0.1f) sizeF = 0.1f;
        if (sizeF > 1.5f) sizeF = 1.5f;
        h *= sizeF;
    }
    Point2 pos[3] = {a, b, {m.x + h * normal.x, m.y + h * normal.y}};
    // Wind the triangle consistently: seen from its lowest point on screen (largest y, the
    // later one on ties) the other two must follow in increasing turn angle.
    int s = 0;
    for (int k = 1; k < 3; ++k) {
        if (pos[k].y >= pos[s].y) s = k;
    }
    const int u = (s + 1) % 3;
    const int v = (s + 2) % 3;
    const float d = TurnAngle(pos[s], pos[v]) - TurnAngle(pos[s], pos[u]);
    if (std::fabs(d) >= 0.00001f && (d < 0.0f || d > 3.141592f)) std::swap(pos[u], pos[v]);
    MakeTriangle(0, list, {pos[0].x, pos[0].y, zA}, {pos[1].x, pos[1].y, zB},
                 {pos[2].x, pos[2].y, 0.0f});
}

void GrowBranch(int32_t segment, int32_t patternKind, TriangleList& list, int32_t level,
                Point2 origin, float z, Point2 direction, float width, float length, float pWidth,
                float pLength, float dispersion, float lose, int32_t maxTriangles,
                int32_t maxIterations) {
    if (GrowthStopped() || level >= kMaxBranchLevel) return;
    if (level < 0) level = 0;  // the depth guard counts up from 0
    if (maxIterations < 1) maxIterations = 1;
    if (level == 0) {
        // Always grows at level 0; the draw still happens so later draws stay in step.
        const int32_t q = PatternRandom::next() % maxIterations;
        if (!(level < TruncToInt(q * 0.5 + (maxIterations / 2 + 1)))) return;
    } else if (level >= maxIterations) {
        return;
    }

    int32_t count = 1;
    const float r1 = Draw(2000.0f);
    if ((r1 + 0.5f) * static_cast<float>(maxTriangles) >= 1.0f) {
        const float r2 = Draw(2000.0f);
        count = TruncToInt((r2 + 0.5f) * static_cast<float>(maxTriangles));
    }
    const bool mirrored =
        (patternKind == 1 && level % 2 != 0) || (patternKind == 3 && segment % 2 != 0);

    const float x = origin.x, y = origin.y;
    float childWidth = width * (1.0f - pLength);
    if (childWidth <= 0.01f) childWidth = 0.01f;
    float childLength = length * (1.0f - pWidth);
    if (childLength < 0.001f) childLength = 0.001f;
    const int32_t childMax = TruncToInt(1.5 * maxTriangles);

    float angl = 0.0f;
    float lng = 0.0f;
    for (int32_t t = 0; t < count; ++t) {
        if (!ClaimTriangle()) return;
        const int32_t c = TriangleCounter();
        const float r = Draw(1000.0f);
        const float s = r * r - 0.5f;
        if (t == 0) {
            float beta = BaseAngle(direction.x, direction.y);
            if (mirrored) beta -= 2.0f * static_cast<float>(count) * width;
            angl = beta + s * dispersion;
            lng = length * (r + 0.5f);
        }
        if (t % 2 != 0) lng = length * (r + 0.5f);
        const Point3 p0{x, y, z};
        float sn, cs;
        pm::SinCosF(angl, &sn, &cs);
        const Point3 p1{x + lng * cs, y + lng * sn, z + lng * static_cast<float>(pm::Cos(c - 1.0))};
        angl += width * (r + 0.25f);
        lng += length * r * r;
        pm::SinCosF(angl, &sn, &cs);
        const Point3 p2{x + lng * cs, y + lng * sn,
                        z + lng * static_cast<float>(pm::Cos(static_cast<double>(c)))};
        PatternTriangle* tri = list.Append();
        if (tri == nullptr) {
            ReleaseTriangle();
            return;
        }
        FillTriangle(*tri, level, p0, p1, p2);
        CountTriangleArea(p0, p1, p2);

        const PatternVertex* v = tri->vertex;
        const Point2 a{lose * (v[0].nx + v[1].nx) / 2.0f + (1.0f - lose) * direction.x,
                       lose * (v[0].ny + v[1].ny) / 2.0f + (1.0f - lose) * direction.y};
        const Point2 b{(v[1].nx + v[2].nx) / 2.0f, (v[1].ny + v[2].ny) / 2.0f};
        GrowBranch(segment, patternKind, list, level + 1, {p1.x, p1.y}, z, a, childWidth,
                   childLength, pWidth, pLength, 1.2f * dispersion, lose, childMax, maxIterations);
        GrowBranch(segment, patternKind, list, level + 1, {p2.x, p2.y}, z, b, childWidth,
                   childLength, pWidth, pLength, 1.2f * dispersion, lose, childMax, maxIterations);
        if (GrowthStopped()) return;
    }
}

}  // namespace fw
