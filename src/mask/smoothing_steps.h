// Steps shared by both smoothings of a border line (border_smoothing.cpp on shared points,
// flat_border_smoothing.cpp on a line's own copy), whatever a point is to them: a pointer or
// an index. Private to the mask folder.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "mask/border_point_set.h"

namespace fw {

// A list rewritten front to back: `out` has the points the pass has moved past; the cursor
// looks a few points ahead, where the passes insert, through a small window over the input.
// `end` is what Ahead returns past the last point.
template <class P>
class ListRewrite {
  public:
    ListRewrite(const std::vector<P>& in, std::vector<P>& out, P end)
        : in_(in), out_(out), end_(end) {
        out_.clear();
        out_.reserve(in.size() + in.size() / 2);
    }

    // The point `k` places ahead of the cursor, or `end`.
    P Ahead(size_t k) {
        while (count_ <= k && next_ < in_.size()) window_[count_++] = in_[next_++];
        return k < count_ ? window_[k] : end_;
    }
    // Inserts p `k` places ahead (k <= the points already looked at).
    void Insert(size_t k, P p) {
        for (size_t i = count_; i > k; --i) window_[i] = window_[i - 1];
        window_[k] = p;
        ++count_;
    }
    bool Done() { return Ahead(0) == end_; }
    void Advance() {
        out_.push_back(window_[0]);
        for (size_t i = 1; i < count_; ++i) window_[i - 1] = window_[i];
        --count_;
    }
    // The rewritten list is now `out`.
    void Finish() {
        out_.insert(out_.end(), window_, window_ + count_);
        out_.insert(out_.end(), in_.begin() + static_cast<ptrdiff_t>(next_), in_.end());
    }

  private:
    const std::vector<P>& in_;
    std::vector<P>& out_;
    const P end_;
    size_t next_ = 0;
    P window_[8];  // passes look at most 4 ahead and insert 1 at a time
    size_t count_ = 0;
};

// Douglas-Peucker between consecutive anchors of the points (xs[k], ys[k]): anchor(k) marks
// the points that must stay, isAnchor(k) tells the anchors so far.
template <class IsAnchor, class Anchor>
void SimplifyBetweenAnchors(const std::vector<double>& xs, const std::vector<double>& ys,
                            double tolerance, std::vector<std::pair<size_t, size_t>>& stack,
                            IsAnchor isAnchor, Anchor anchor) {
    const size_t n = xs.size();
    size_t a = 0;
    while (a < n && !isAnchor(a)) ++a;
    stack.clear();
    while (a < n) {
        size_t b = a + 1;
        while (b < n && !isAnchor(b)) ++b;
        if (b >= n) break;
        stack.emplace_back(a, b);
        while (!stack.empty()) {
            const auto [i, j] = stack.back();
            stack.pop_back();
            if (j - i < 2) continue;
            // Distances from the line through A and B share the divisor |AB|, so the largest
            // |cross product| marks the farthest point (the first one on ties). Double
            // precision keeps the products of these dyadic coordinates exact.
            const double ax = xs[i], ay = ys[i];
            const double dx = xs[j] - ax, dy = ys[j] - ay;
            const double length = std::sqrt(dx * dx + dy * dy);
            size_t best = i + 1;
            double bestCross = -1.0;
            for (size_t k = i + 1; k < j; ++k) {
                const double cross = std::fabs((xs[k] - ax) * dy - (ys[k] - ay) * dx);
                if (cross > bestCross) {
                    bestCross = cross;
                    best = k;
                }
            }
            // Ends less than 0.01 apart give every point distance 0.
            const double bestDistance = length < kBorderPointEpsilon ? 0.0 : bestCross / length;
            if (bestDistance > 0.0 && bestDistance >= tolerance) {
                anchor(best);
                stack.emplace_back(best, j);
                stack.emplace_back(i, best);
            }
        }
        a = b;
    }
}

// Calls emit(x, y) for the points that split the segment from (px, py) to (qx, qy) into
// pieces whose |dx| + |dy| is below the window (its ends not included).
template <class Emit>
void SplitSegment(float px, float py, float qx, float qy, int32_t window, Emit emit) {
    const double dx = static_cast<double>(qx) - px;
    const double dy = static_cast<double>(qy) - py;
    const double pieces = std::floor((std::fabs(dx) + std::fabs(dy)) / window);
    const int64_t k = pieces > 0 ? static_cast<int64_t>(pieces) : 0;
    for (int64_t j = 1; j <= k; ++j) {
        const double t = static_cast<double>(j) / static_cast<double>(k + 1);
        emit(static_cast<float>(px + t * dx), static_cast<float>(py + t * dy));
    }
}

}  // namespace fw
