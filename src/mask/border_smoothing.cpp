#include "mask/border_smoothing.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "mask/smoothing_steps.h"

namespace fw {

namespace {

using PointList = std::vector<BorderPoint*>;
using Rewrite = ListRewrite<BorderPoint*>;

constexpr uint32_t kSmoothingFlags = kBorderAnchor | kBorderKeepCorner | kBorderRemove;

bool IsAnchor(const BorderPoint* p) {
    return (p->flags & kBorderAnchor) != 0;
}
bool KeepsCorner(const BorderPoint* p) {
    return (p->flags & kBorderKeepCorner) != 0;
}

float Sign(float v) {
    return v > 0 ? 1.0f : (v < 0 ? -1.0f : 0.0f);
}

// The end points of an open line keep their flags: they are anchors from the tracing.
void ClearSmoothingFlags(PointList& pts, bool closed) {
    const size_t n = pts.size();
    const size_t begin = closed ? 0 : 1;
    const size_t end = closed ? n : (n > 0 ? n - 1 : 0);
    for (size_t i = begin; i < end; ++i) pts[i]->flags &= ~kSmoothingFlags;
}

// Anchors where the outline turns after a run longer than one step, so that corner cutting
// and simplification keep real corners sharp while they flatten one-pixel jaggies.
void MarkCorners(PointList& pts, PointList& spare, size_t first, BorderPointSet& set) {
    Rewrite w(pts, spare, nullptr);
    for (size_t i = 0; i < first && !w.Done(); ++i) w.Advance();
    while (w.Ahead(2)) {
        BorderPoint* p0 = w.Ahead(0);
        BorderPoint* p1 = w.Ahead(1);
        BorderPoint* p2 = w.Ahead(2);
        const float d1x = p1->x - p0->x, d1y = p1->y - p0->y;
        const float d2x = p2->x - p1->x, d2y = p2->y - p1->y;
        const float ax1 = std::fabs(d1x), ay1 = std::fabs(d1y);
        const float ax2 = std::fabs(d2x), ay2 = std::fabs(d2y);
        if ((ax1 > 2 && ay2 > 2) || (ay1 > 2 && ax2 > 2) || (ay1 == 2 && ax2 == 2) ||
            (ax1 == 2 && ay2 == 2)) {
            p1->flags |= kBorderAnchor;
        } else if ((ax2 == 2 && ay1 > 2) || (ay2 == 2 && ax1 > 2)) {
            BorderPoint* a = set.Intern(p1->x - 0.5f * Sign(d1x), p1->y - 0.5f * Sign(d1y));
            a->flags |= kBorderAnchor;
            w.Insert(1, a);
        } else if ((ay1 == 2 && ax2 > 2) || (ax1 == 2 && ay2 > 2)) {
            BorderPoint* a = set.Intern(p1->x + 0.5f * Sign(d2x), p1->y + 0.5f * Sign(d2y));
            a->flags |= kBorderAnchor;
            w.Insert(2, a);
        }
        w.Advance();
    }
    w.Finish();
    pts.swap(spare);
}

// Anchors the middle of every staircase step (an edge whose neighbours run the same way),
// and shields it from corner cutting.
void MarkSteps(PointList& pts, PointList& spare, BorderPointSet& set) {
    Rewrite w(pts, spare, nullptr);
    while (BorderPoint* p0 = w.Ahead(0)) {
        if (!KeepsCorner(p0)) {
            const size_t j = (w.Ahead(1) && KeepsCorner(w.Ahead(1))) ? 2 : 1;
            if (!w.Ahead(j + 2)) break;
            BorderPoint* p1 = w.Ahead(j);
            BorderPoint* p2 = w.Ahead(j + 1);
            BorderPoint* p3 = w.Ahead(j + 2);
            if (!(IsAnchor(p1) && IsAnchor(p2))) {
                const float e1x = p1->x - p0->x, e1y = p1->y - p0->y;
                const float bx = p2->x - p1->x, by = p2->y - p1->y;
                const float e3x = p3->x - p2->x, e3y = p3->y - p2->y;
                if (e1x * e3x > 0 || e1y * e3y > 0) {
                    BorderPoint* s = std::fabs(bx) > 0 ? set.Intern(p1->x + bx / 2, p1->y)
                                                       : set.Intern(p1->x, p1->y + by / 2);
                    s->flags |= kBorderAnchor | kBorderKeepCorner;
                    w.Insert(j + 1, s);
                }
            }
        }
        w.Advance();
    }
    w.Finish();
    pts.swap(spare);
}

// Gives a closed line without two anchors its leftmost and rightmost points (the first
// found on ties), so rotation and simplification have something to hold on to.
void AnchorExtremes(PointList& pts) {
    const BorderPoint* firstAnchor = nullptr;
    for (const BorderPoint* p : pts) {
        if (!IsAnchor(p)) continue;
        if (!firstAnchor) {
            firstAnchor = p;
        } else if (p != firstAnchor) {
            return;  // two distinct anchors
        }
    }
    if (pts.empty()) return;
    BorderPoint* left = pts[0];
    BorderPoint* right = pts[0];
    for (BorderPoint* p : pts) {
        if (p->x < left->x) left = p;
        if (p->x > right->x) right = p;
    }
    left->flags |= kBorderAnchor;
    right->flags |= kBorderAnchor;
}

// Drops the first point and appends the new first until the line starts at an anchor.
void RotateToAnchor(PointList& pts, PointList& rotated) {
    const size_t n = pts.size();
    if (n < 2) return;
    size_t k = 0;
    while (k < n && !IsAnchor(pts[k])) ++k;
    if (k == 0 || k == n) return;
    rotated.clear();
    rotated.reserve(n);
    rotated.insert(rotated.end(), pts.begin() + static_cast<ptrdiff_t>(k), pts.end());
    rotated.insert(rotated.end(), pts.begin() + 1, pts.begin() + static_cast<ptrdiff_t>(k) + 1);
    pts.swap(rotated);
}

// Replaces the corners between unshielded neighbours by the midpoints of their edges.
void CutCorners(PointList& pts, PointList& out, BorderPointSet& set) {
    const size_t n = pts.size();
    if (n < 2) return;
    out.clear();
    out.reserve(2 * n);
    for (size_t i = 0; i + 1 < n; ++i) {
        BorderPoint* p = pts[i];
        BorderPoint* q = pts[i + 1];
        out.push_back(p);
        if (KeepsCorner(p) || KeepsCorner(q)) continue;
        out.push_back(set.Intern((p->x + q->x) / 2, (p->y + q->y) / 2));
        if (!IsAnchor(p)) p->flags |= kBorderRemove;
        if (!IsAnchor(q)) q->flags |= kBorderRemove;
    }
    out.push_back(pts[n - 1]);
    out.erase(std::remove_if(out.begin(), out.end(),
                             [](const BorderPoint* p) { return (p->flags & kBorderRemove) != 0; }),
              out.end());
    pts.swap(out);
}

// Douglas-Peucker between consecutive anchors: marks the points that must stay.
void Simplify(PointList& pts, double tolerance, SmoothingBuffers& buffers) {
    // The scans revisit points many times: read the coordinates once.
    buffers.xs.resize(pts.size());
    buffers.ys.resize(pts.size());
    for (size_t k = 0; k < pts.size(); ++k) {
        buffers.xs[k] = pts[k]->x;
        buffers.ys[k] = pts[k]->y;
    }
    SimplifyBetweenAnchors(
        buffers.xs, buffers.ys, tolerance, buffers.stack,
        [&pts](size_t k) { return IsAnchor(pts[k]); },
        [&pts](size_t k) { pts[k]->flags |= kBorderAnchor; });
}

// Splits each segment into pieces whose |dx| + |dy| is below the window.
void Subdivide(PointList& pts, PointList& out, int32_t window, BorderPointPool& pool) {
    const size_t n = pts.size();
    if (n < 2) return;
    out.clear();
    out.reserve(n);
    for (size_t i = 0; i + 1 < n; ++i) {
        const BorderPoint* p = pts[i];
        const BorderPoint* q = pts[i + 1];
        out.push_back(pts[i]);
        SplitSegment(p->x, p->y, q->x, q->y, window,
                     [&](float x, float y) { out.push_back(pool.New(x, y)); });
    }
    out.push_back(pts[n - 1]);
    pts.swap(out);
}

}  // namespace

void PostProcessBorderLine(BorderLine& line, BorderPointSet& set, float tolerance, int32_t window,
                           SmoothingBuffers& buffers) {
    buffers.replaced.clear();
    if (line.points.size() < 3) return;
    const bool closed = line.closed;
    PointList& pts = buffers.points;
    PointList& spare = buffers.spare;
    pts.clear();
    if (closed) {
        // Borrow a neighbour on each side so every real vertex sits between two others.
        pts.reserve(line.points.size() + 2);
        pts.push_back(line.points[line.points.size() - 2]);
        pts.insert(pts.end(), line.points.begin(), line.points.end());
        pts.push_back(line.points[1]);
        ClearSmoothingFlags(line.points, closed);
    } else {
        pts.assign(line.points.begin(), line.points.end());
        ClearSmoothingFlags(pts, closed);
    }
    MarkCorners(pts, spare, closed ? 1 : 0, set);
    MarkSteps(pts, spare, set);
    if (closed) {
        pts.erase(pts.begin());
        pts.pop_back();
        AnchorExtremes(pts);
        RotateToAnchor(pts, spare);
    }
    CutCorners(pts, spare, set);

    ClearSmoothingFlags(pts, closed);
    if (closed && pts.size() >= 2) {
        pts.front()->flags |= kBorderAnchor;
        pts[pts.size() - 2]->flags |= kBorderAnchor;
    }
    Simplify(pts, std::max(tolerance - 0.5f, 0.0f), buffers);
    pts.erase(
        std::remove_if(pts.begin(), pts.end(), [](const BorderPoint* p) { return !IsAnchor(p); }),
        pts.end());

    if (!closed || pts.size() > 3) Subdivide(pts, spare, window, set.Pool());
    // A copy of its own size: the line keeps it, the buffers stay for the next line.
    buffers.replaced.swap(line.points);
    line.points = PointList(pts.begin(), pts.end());
}

void PostProcessBorderLine(BorderLine& line, BorderPointSet& set, float tolerance, int32_t window) {
    SmoothingBuffers buffers;
    PostProcessBorderLine(line, set, tolerance, window, buffers);
}

}  // namespace fw
