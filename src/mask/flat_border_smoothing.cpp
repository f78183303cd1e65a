#include "mask/flat_border_smoothing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "mask/smoothing_steps.h"

namespace fw {

namespace {

constexpr uint32_t kSmoothingFlags = kBorderAnchor | kBorderKeepCorner | kBorderRemove;
constexpr uint32_t kNone = 0xFFFFFFFFu;

float Sign(float v) {
    return v > 0 ? 1.0f : (v < 0 ? -1.0f : 0.0f);
}

uint64_t Bits(float v) {
    v += 0.0f;  // -0 and +0 are one position
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The passes create points only on the 1/8 grid, where two positions within 0.01 of each
// other are equal: exact keys find what the shared index would.
uint64_t PositionKey(float x, float y) {
    return Bits(x) << 32 | Bits(y);
}

using Rewrite = ListRewrite<uint32_t>;

}  // namespace

void IndexTable::Reset(size_t expected) {
    size_t wanted = 16;
    while (wanted < 2 * expected) wanted *= 2;
    if (slots_.size() < wanted || ++generation_ == 0) {
        // Stale generations in reused slots never match; fresh slots start below them all.
        slots_.assign(std::max(slots_.size(), wanted), Slot{0, 0, 0});
        generation_ = 1;
    }
    mask_ = wanted - 1;
    size_ = 0;
}

uint32_t IndexTable::FindOrAdd(uint64_t key, uint32_t fresh) {
    if (2 * (size_ + 1) > mask_ + 1) Grow();
    size_t i = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
    for (;; i = (i + 1) & mask_) {
        Slot& s = slots_[i];
        if (s.generation != generation_) {
            s = Slot{key, fresh, generation_};
            ++size_;
            return fresh;
        }
        if (s.key == key) return s.id;
    }
}

void IndexTable::Grow() {
    std::vector<Slot> live;
    live.reserve(size_);
    for (size_t i = 0; i <= mask_; ++i)
        if (slots_[i].generation == generation_) live.push_back(slots_[i]);
    Reset(2 * (mask_ + 1));
    for (const Slot& s : live) FindOrAdd(s.key, s.id);
}

void FlatBorderSmoother::Load(const BorderLine& line, FlatBorderLines& into) {
    const size_t base = into.table.size();
    const size_t n = line.points.size();
    // Room for the line at once, growing by half at least: a batch takes many lines.
    auto room = [](auto& v, size_t more) {
        if (v.size() + more > v.capacity())
            v.reserve(std::max(v.size() + more, v.capacity() * 3 / 2));
    };
    room(into.table, n);
    room(into.ids, n);
    // Only points at corners where lines meet, and a closed line's first point, come twice.
    index_.Reset(0);
    junctions_.clear();
    const size_t firstId = into.ids.size();
    for (size_t i = 0; i < n; ++i) {
        BorderPoint* p = line.points[i];
        const auto fresh = static_cast<uint32_t>(into.table.size() - base);
        uint32_t id = fresh;
        if (i > 0 && p == line.points[0]) {
            id = into.ids[firstId];
        } else if (p->flags & kBorderShared) {
            id = index_.FindOrAdd(reinterpret_cast<uintptr_t>(p), fresh);
        }
        if (id == fresh) {
            into.table.push_back(FlatBorderPoint{p->x, p->y, p->flags & kSmoothingFlags});
            if (line.closed && (p->flags & kBorderJunctionPoint)) junctions_.emplace_back(id, p);
        }
        into.ids.push_back(id);
    }
    // Smoothing starts by clearing its flags everywhere but at the ends of an open line.
    if (n >= 3)
        for (size_t i = line.closed ? 0 : 1; i < (line.closed ? n : n - 1); ++i)
            into.table[base + into.ids[firstId + i]].flags = 0;
    into.lines.push_back(FlatBorderLines::Line{into.table.size(), into.ids.size(), line.closed});
}

void FlatBorderSmoother::WriteBack() {
    for (const auto& [id, p] : junctions_)
        p->flags = (p->flags & ~kSmoothingFlags) | table_[id].flags;
}

// Every point the passes make lies inside one straight run of the trace (between two of its
// vertices), and the runs of a line share no edge. So a made point can only meet another
// where two runs cross, at a pixel corner, or on the two runs a closed line borrows at its
// ends, which the passes walk twice; only those are looked up.
uint32_t FlatBorderSmoother::Intern(float x, float y) {
    const auto fresh = static_cast<uint32_t>(table_.size());
    auto on = [x, y](const FlatBorderPoint& a, const FlatBorderPoint& b) {
        return x >= std::min(a.x, b.x) && x <= std::max(a.x, b.x) && y >= std::min(a.y, b.y) &&
               y <= std::max(a.y, b.y);
    };
    const bool corner = x == std::floor(x) && y == std::floor(y);
    const bool borrowed = closed_ && (on(table_[ends_[0]], table_[ends_[1]]) ||
                                      on(table_[ends_[2]], table_[ends_[0]]));
    const uint32_t id = corner || borrowed ? index_.FindOrAdd(PositionKey(x, y), fresh) : fresh;
    if (id == fresh) table_.push_back(FlatBorderPoint{x, y, 0});
    return id;
}

// The passes below mirror their namesakes in border_smoothing.cpp step for step.

void FlatBorderSmoother::MarkCorners(size_t first) {
    std::vector<FlatBorderPoint>& t = table_;
    Rewrite w(points_, spare_, kNone);
    for (size_t i = 0; i < first && !w.Done(); ++i) w.Advance();
    while (w.Ahead(2) != kNone) {
        const FlatBorderPoint p0 = t[w.Ahead(0)];
        const FlatBorderPoint p1 = t[w.Ahead(1)];
        const FlatBorderPoint p2 = t[w.Ahead(2)];
        const float d1x = p1.x - p0.x, d1y = p1.y - p0.y;
        const float d2x = p2.x - p1.x, d2y = p2.y - p1.y;
        const float ax1 = std::fabs(d1x), ay1 = std::fabs(d1y);
        const float ax2 = std::fabs(d2x), ay2 = std::fabs(d2y);
        if ((ax1 > 2 && ay2 > 2) || (ay1 > 2 && ax2 > 2) || (ay1 == 2 && ax2 == 2) ||
            (ax1 == 2 && ay2 == 2)) {
            t[w.Ahead(1)].flags |= kBorderAnchor;
        } else if ((ax2 == 2 && ay1 > 2) || (ay2 == 2 && ax1 > 2)) {
            const uint32_t a = Intern(p1.x - 0.5f * Sign(d1x), p1.y - 0.5f * Sign(d1y));
            t[a].flags |= kBorderAnchor;
            w.Insert(1, a);
        } else if ((ay1 == 2 && ax2 > 2) || (ax1 == 2 && ay2 > 2)) {
            const uint32_t a = Intern(p1.x + 0.5f * Sign(d2x), p1.y + 0.5f * Sign(d2y));
            t[a].flags |= kBorderAnchor;
            w.Insert(2, a);
        }
        w.Advance();
    }
    w.Finish();
    points_.swap(spare_);
}

void FlatBorderSmoother::MarkSteps() {
    std::vector<FlatBorderPoint>& t = table_;
    auto keeps = [&t](uint32_t id) { return (t[id].flags & kBorderKeepCorner) != 0; };
    auto anchored = [&t](uint32_t id) { return (t[id].flags & kBorderAnchor) != 0; };
    Rewrite w(points_, spare_, kNone);
    for (uint32_t i0 = w.Ahead(0); i0 != kNone; i0 = w.Ahead(0)) {
        if (!keeps(i0)) {
            const uint32_t next = w.Ahead(1);
            const size_t j = (next != kNone && keeps(next)) ? 2 : 1;
            if (w.Ahead(j + 2) == kNone) break;
            const uint32_t i1 = w.Ahead(j), i2 = w.Ahead(j + 1);
            if (!(anchored(i1) && anchored(i2))) {
                const FlatBorderPoint p0 = t[i0], p1 = t[i1], p2 = t[i2], p3 = t[w.Ahead(j + 2)];
                const float e1x = p1.x - p0.x, e1y = p1.y - p0.y;
                const float bx = p2.x - p1.x, by = p2.y - p1.y;
                const float e3x = p3.x - p2.x, e3y = p3.y - p2.y;
                if (e1x * e3x > 0 || e1y * e3y > 0) {
                    const uint32_t s = std::fabs(bx) > 0 ? Intern(p1.x + bx / 2, p1.y)
                                                         : Intern(p1.x, p1.y + by / 2);
                    t[s].flags |= kBorderAnchor | kBorderKeepCorner;
                    w.Insert(j + 1, s);
                }
            }
        }
        w.Advance();
    }
    w.Finish();
    points_.swap(spare_);
}

void FlatBorderSmoother::AnchorExtremes() {
    std::vector<FlatBorderPoint>& t = table_;
    uint32_t firstAnchor = kNone;
    for (uint32_t id : points_) {
        if (!(t[id].flags & kBorderAnchor)) continue;
        if (firstAnchor == kNone) {
            firstAnchor = id;
        } else if (id != firstAnchor) {
            return;
        }
    }
    if (points_.empty()) return;
    uint32_t left = points_[0], right = points_[0];
    for (uint32_t id : points_) {
        if (t[id].x < t[left].x) left = id;
        if (t[id].x > t[right].x) right = id;
    }
    t[left].flags |= kBorderAnchor;
    t[right].flags |= kBorderAnchor;
}

void FlatBorderSmoother::RotateToAnchor() {
    const size_t n = points_.size();
    if (n < 2) return;
    size_t k = 0;
    while (k < n && !(table_[points_[k]].flags & kBorderAnchor)) ++k;
    if (k == 0 || k == n) return;
    spare_.clear();
    spare_.insert(spare_.end(), points_.begin() + static_cast<ptrdiff_t>(k), points_.end());
    spare_.insert(spare_.end(), points_.begin() + 1,
                  points_.begin() + static_cast<ptrdiff_t>(k) + 1);
    points_.swap(spare_);
}

void FlatBorderSmoother::CutCorners() {
    const size_t n = points_.size();
    if (n < 2) return;
    std::vector<FlatBorderPoint>& t = table_;
    spare_.clear();
    spare_.reserve(2 * n);
    for (size_t i = 0; i + 1 < n; ++i) {
        const uint32_t p = points_[i], q = points_[i + 1];
        spare_.push_back(p);
        if ((t[p].flags | t[q].flags) & kBorderKeepCorner) continue;
        spare_.push_back(Intern((t[p].x + t[q].x) / 2, (t[p].y + t[q].y) / 2));
        if (!(t[p].flags & kBorderAnchor)) t[p].flags |= kBorderRemove;
        if (!(t[q].flags & kBorderAnchor)) t[q].flags |= kBorderRemove;
    }
    spare_.push_back(points_[n - 1]);
    std::erase_if(spare_, [&t](uint32_t id) { return (t[id].flags & kBorderRemove) != 0; });
    points_.swap(spare_);
}

void FlatBorderSmoother::ClearFlags() {
    const size_t n = points_.size();
    const size_t begin = closed_ ? 0 : 1;
    const size_t end = closed_ ? n : (n > 0 ? n - 1 : 0);
    for (size_t i = begin; i < end; ++i) table_[points_[i]].flags &= ~kSmoothingFlags;
}

void FlatBorderSmoother::Simplify(double tolerance) {
    std::vector<FlatBorderPoint>& t = table_;
    xs_.resize(points_.size());
    ys_.resize(points_.size());
    for (size_t k = 0; k < points_.size(); ++k) {
        xs_[k] = t[points_[k]].x;
        ys_[k] = t[points_[k]].y;
    }
    SimplifyBetweenAnchors(
        xs_, ys_, tolerance, stack_,
        [&](size_t k) { return (t[points_[k]].flags & kBorderAnchor) != 0; },
        [&](size_t k) { t[points_[k]].flags |= kBorderAnchor; });
    std::erase_if(points_, [&t](uint32_t id) { return !(t[id].flags & kBorderAnchor); });
}

// Subdivided points belong to nobody else: they go straight into the result.
void FlatBorderSmoother::Subdivide(int32_t window) {
    const std::vector<FlatBorderPoint>& t = table_;
    const size_t n = points_.size();
    result_.clear();
    result_.reserve(n);
    for (size_t i = 0; i + 1 < n; ++i) {
        const FlatBorderPoint p = t[points_[i]], q = t[points_[i + 1]];
        result_.push_back(p);
        SplitSegment(p.x, p.y, q.x, q.y, window, [this](float x, float y) {
            result_.push_back(FlatBorderPoint{x, y, 0});
        });
    }
    if (n > 0) result_.push_back(t[points_[n - 1]]);
}

void FlatBorderSmoother::Output() {
    result_.clear();
    result_.reserve(points_.size());
    for (uint32_t id : points_) result_.push_back(table_[id]);
}

void FlatBorderSmoother::Smooth(const FlatBorderLines& lines, size_t k, float tolerance,
                                int32_t window) {
    const size_t tableBegin = k > 0 ? lines.lines[k - 1].tableEnd : 0;
    const size_t idsBegin = k > 0 ? lines.lines[k - 1].idsEnd : 0;
    const FlatBorderLines::Line& line = lines.lines[k];
    table_.assign(lines.table.begin() + static_cast<ptrdiff_t>(tableBegin),
                  lines.table.begin() + static_cast<ptrdiff_t>(line.tableEnd));
    const uint32_t* ids = lines.ids.data() + idsBegin;
    const size_t n = line.idsEnd - idsBegin;
    closed_ = line.closed;
    points_.clear();
    if (n < 3) {
        points_.assign(ids, ids + n);
        Output();
        return;
    }
    index_.Reset(0);  // few points are looked up: it grows when they are many
    ends_[0] = ids[0];
    ends_[1] = ids[1];
    ends_[2] = ids[n - 2];
    if (closed_) {
        // A neighbour borrowed on each side, so every real vertex sits between two others.
        points_.reserve(n + 2);
        points_.push_back(ids[n - 2]);
        points_.insert(points_.end(), ids, ids + n);
        points_.push_back(ids[1]);
    } else {
        points_.assign(ids, ids + n);
    }
    MarkCorners(closed_ ? 1 : 0);
    MarkSteps();
    if (closed_) {
        points_.erase(points_.begin());
        points_.pop_back();
        AnchorExtremes();
        RotateToAnchor();
    }
    CutCorners();
    ClearFlags();
    if (closed_ && points_.size() >= 2) {
        table_[points_.front()].flags |= kBorderAnchor;
        table_[points_[points_.size() - 2]].flags |= kBorderAnchor;
    }
    Simplify(std::max(tolerance - 0.5f, 0.0f));
    if (!closed_ || points_.size() > 3) {
        Subdivide(window);
    } else {
        Output();
    }
}

}  // namespace fw
