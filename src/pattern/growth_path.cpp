#include "pattern/growth_path.h"

#include <cmath>

namespace fw {

void BuildLinePath(GrowthPath& path, float fixed, float start, float scale, float end,
                   float stepScale, float centre, float nx, float ny, float nz, bool alongX) {
    if (!(scale > 0.0f) || !(stepScale > 0.0f) || !std::isfinite(scale) ||
        !std::isfinite(stepScale) || !std::isfinite(start) || !std::isfinite(end)) {
        return;
    }
    float t = start;
    for (int k = 0; t <= end && k < kMaxLinePoints; ++k) {
        PathPoint p{};
        p.x = alongX ? t : fixed;
        p.y = alongX ? fixed : t;
        p.z = 0.0f;
        p.nx = nx;
        p.ny = ny;
        p.nz = nz;
        p.used = 1;
        path.points.push_back(p);
        const float step = stepScale * (std::fabs(t - centre) / scale + 0.01f);
        if (!(step > 0.0f)) break;
        const float next = t + step;
        if (k > 0) {
            const auto index = static_cast<uint32_t>(path.points.size() - 1);
            path.segments.push_back(PathSegment{index - 1, index, nx, ny, nz, step, 1});
        }
        if (next == t) break;  // the step vanished against t: nothing more to add
        t = next;
    }
}

namespace {

// One side of a rectangle: fixed coordinate, running coordinate from start over `length`.
void Side(GrowthPath& path, float fixed, float start, float length, float scale, float centre,
          float nx, float ny, bool alongX) {
    BuildLinePath(path, fixed, start, scale, start + length, scale / 2.0f, centre, nx, ny, 0.0f,
                  alongX);
}

// Left, right, bottom, top; vertical sides centred at cy, horizontal ones at cx.
void Rectangle(GrowthPath& path, float x0, float y0, float width, float height, float cx,
               float cy) {
    Side(path, x0, y0, height, height, cy, 1.0f, 0.0f, false);
    Side(path, x0 + width, y0, height, height, cy, -1.0f, 0.0f, false);
    Side(path, y0 + height, x0, width, width, cx, 0.0f, -1.0f, true);
    Side(path, y0, x0, width, width, cx, 0.0f, 1.0f, true);
}

}  // namespace

GrowthPath BuildBottomOrTopPath(float x0, float length, float y, float normalY) {
    GrowthPath path;
    BuildLinePath(path, y, x0, length, length / 2.0f, length / 2.0f, 0.0f, 0.0f, normalY, 0.0f,
                  true);
    return path;
}

GrowthPath BuildTopAndBottomPath(float x0, float length, float yTop, float yBottom) {
    GrowthPath path;
    BuildLinePath(path, yTop, x0, length, length / 2.0f, length / 2.0f, 0.0f, 0.0f, 1.0f, 0.0f,
                  true);
    BuildLinePath(path, yBottom, x0, length, length / 2.0f, length / 2.0f, 0.0f, 0.0f, -1.0f, 0.0f,
                  true);
    return path;
}

GrowthPath BuildPerimeterPath(float x0, float y0, float width, float height) {
    GrowthPath path;
    Rectangle(path, x0, y0, width, height, 0.0f, y0 + height / 2.0f);
    return path;
}

GrowthPath BuildULikePath(float x0, float y0, float width, float height) {
    GrowthPath path;
    // The arms start a third of the way down but keep the full height as their scale.
    const float armTop = y0 + height / 3.0f;
    const float armLength = y0 + height - armTop;
    Side(path, x0, armTop, armLength, height, armTop, 1.0f, 0.0f, false);
    Side(path, x0 + width, armTop, armLength, height, armTop, -1.0f, 0.0f, false);
    Side(path, y0 + height, x0, width, width, 0.0f, 0.0f, -1.0f, true);
    return path;
}

GrowthPath BuildWindowPath(float x0, float y0, float width, float height) {
    GrowthPath path;
    const float pw = width / 2.0f;
    const float ph = height / 2.0f;
    const float left[4] = {x0, x0, x0 + pw, x0 + pw};
    const float top[4] = {y0, y0 + ph, y0 + ph, y0};
    for (int i = 0; i < 4; ++i) {
        Rectangle(path, left[i], top[i], pw, ph, left[i] + pw / 2.0f, top[i] + ph / 2.0f);
    }
    return path;
}

GrowthPath BuildShapePath(int maskKind, int32_t W, int32_t H, int32_t SW, int32_t SH) {
    const auto x0 = static_cast<float>(-(W / 2));
    const auto y0 = static_cast<float>(-(H / 2));
    const auto sw = static_cast<float>(SW);
    const auto sh = static_cast<float>(SH);
    const auto bottom = static_cast<float>(static_cast<int64_t>(SH) - H / 2);
    switch (maskKind) {
        case 1:
            return BuildBottomOrTopPath(static_cast<float>(-W) / 2.0f, sw, bottom, -1.0f);
        case 2:
            return BuildBottomOrTopPath(x0, sw, y0, 1.0f);
        case 3:
            return BuildTopAndBottomPath(x0, sw, y0, bottom);
        case 4:
            return BuildPerimeterPath(x0, y0, sw, sh);
        case 5:
            return BuildULikePath(x0, y0, sw, sh);
        case 6:
            return BuildWindowPath(x0, y0, sw, sh);
        default:
            return {};
    }
}

PathSegment BorderSegment(const BorderLines& border, uint32_t s, float dx, float dy, PathPoint& a,
                          PathPoint& b) {
    const uint32_t first = border.pairs[2 * s];
    const uint32_t second = border.pairs[2 * s + 1];
    a = PathPoint{};
    a.x = dx + border.xy[2 * first];
    a.y = dy + border.xy[2 * first + 1];
    b = PathPoint{};
    b.x = dx + border.xy[2 * second];
    b.y = dy + border.xy[2 * second + 1];
    PathSegment seg{};
    seg.first = first;
    seg.second = second;
    const float ex = b.x - a.x;
    const float ey = b.y - a.y;
    seg.length = std::sqrt(ex * ex + ey * ey);
    if (seg.length != 0.0f) {
        seg.nx = ey / seg.length;
        seg.ny = -ex / seg.length;
    } else {
        seg.nx = 0.0f;  // a zero-length edge keeps its unnormalised (0, 0)
        seg.ny = 0.0f;
    }
    seg.used = 1;
    return seg;
}

GrowthPath ConvertBorderLines(const BorderLines& border, float dx, float dy) {
    GrowthPath path;
    if (border.pointCount == 0 || border.xy == nullptr) return path;
    path.points.resize(border.pointCount);
    for (uint32_t i = 0; i < border.pointCount; ++i) {
        PathPoint& p = path.points[i];
        p = PathPoint{};
        p.x = dx + border.xy[2 * i];
        p.y = dy + border.xy[2 * i + 1];
    }
    if (border.pairs == nullptr) return path;
    path.segments.reserve(border.segmentCount);
    PathPoint a, b;
    for (uint32_t s = 0; s < border.segmentCount; ++s) {
        if (border.pairs[2 * s] >= border.pointCount ||
            border.pairs[2 * s + 1] >= border.pointCount)
            continue;
        const PathSegment seg = BorderSegment(border, s, dx, dy, a, b);
        path.segments.push_back(seg);
        for (PathPoint* p : {&path.points[seg.first], &path.points[seg.second]}) {
            if (p->used) {
                p->nx = (p->nx + seg.nx) / 2.0f;
                p->ny = (p->ny + seg.ny) / 2.0f;
            } else {
                p->used = 1;
                p->nx = seg.nx;
                p->ny = seg.ny;
            }
            p->nz = 0.0f;
        }
    }
    return path;
}

}  // namespace fw
