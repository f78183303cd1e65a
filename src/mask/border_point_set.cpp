#include "mask/border_point_set.h"

#include <cmath>

namespace fw {

namespace {
constexpr double kGridScale = 64.0;
constexpr double kGridLimit = 1073741824.0;  // 2^30: cells stay far from int32 overflow
}  // namespace

bool BorderPointSet::Cell(float v, int32_t& cell, bool& exact) {
    const double s = static_cast<double>(v) * kGridScale;
    if (!(s > -kGridLimit && s < kGridLimit)) return false;  // also NaN
    const double f = std::floor(s);
    cell = static_cast<int32_t>(f);
    exact = f == s;
    return true;
}

size_t BorderPointSet::Home(int32_t cx, int32_t cy) const {
    uint64_t h = static_cast<uint64_t>(static_cast<uint32_t>(cx)) * 0x9E3779B97F4A7C15ull ^
                 static_cast<uint64_t>(static_cast<uint32_t>(cy)) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 31;
    return static_cast<size_t>(h) & (slots_.size() - 1);
}

BorderPoint* BorderPointSet::Probe(int32_t cx, int32_t cy, float x, float y, float z) const {
    if (slots_.empty()) return nullptr;
    const size_t mask = slots_.size() - 1;
    for (size_t i = Home(cx, cy);; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (s.index == kEmpty) return nullptr;
        if (s.cx == cx && s.cy == cy) {
            const BorderPoint& p = arena_[s.index];
            if (SameBorderPosition(p, x, y, z)) return const_cast<BorderPoint*>(&p);
        }
    }
}

BorderPoint* BorderPointSet::Find(float x, float y, float z) const {
    for (uint32_t index : offGrid_) {
        const BorderPoint& p = arena_[index];
        if (SameBorderPosition(p, x, y, z)) return const_cast<BorderPoint*>(&p);
    }
    int32_t cx, cy;
    bool exactX, exactY;
    if (!Cell(x, cx, exactX) || !Cell(y, cy, exactY)) {
        // A stored point within 0.01 of an unindexable query would itself be off the grid.
        return nullptr;
    }
    if (allOnGrid_ && exactX && exactY) return Probe(cx, cy, x, y, z);
    for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx)
            if (BorderPoint* p = Probe(cx + dx, cy + dy, x, y, z)) return p;
    return nullptr;
}

BorderPoint* BorderPointSet::Intern(float x, float y, float z) {
    if (BorderPoint* p = Find(x, y, z)) return p;
    const uint32_t index = static_cast<uint32_t>(arena_.size());
    arena_.push_back(BorderPoint{x, y, z, 0});
    int32_t cx, cy;
    bool exactX, exactY;
    if (!Cell(x, cx, exactX) || !Cell(y, cy, exactY)) {
        offGrid_.push_back(index);
    } else {
        if (!exactX || !exactY) allOnGrid_ = false;
        Insert(cx, cy, index);
    }
    ++indexed_;
    return &arena_.back();
}

BorderPoint* BorderPointSet::NewLoose(float x, float y, float z) {
    arena_.push_back(BorderPoint{x, y, z, 0});
    return &arena_.back();
}

void BorderPointSet::Insert(int32_t cx, int32_t cy, uint32_t index) {
    if ((indexed_ + 1) * 10 > slots_.size() * 7) Grow();
    const size_t mask = slots_.size() - 1;
    size_t i = Home(cx, cy);
    while (slots_[i].index != kEmpty) i = (i + 1) & mask;
    slots_[i] = Slot{cx, cy, index};
}

void BorderPointSet::Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{0, 0, kEmpty});
    const size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
        if (s.index == kEmpty) continue;
        size_t i = Home(s.cx, s.cy);
        while (slots_[i].index != kEmpty) i = (i + 1) & mask;
        slots_[i] = s;
    }
}

void BorderPointSet::DropIndex() {
    std::vector<Slot>().swap(slots_);
    std::vector<uint32_t>().swap(offGrid_);
    indexed_ = 0;
    allOnGrid_ = true;
}

void BorderPointSet::Clear() {
    DropIndex();
    std::deque<BorderPoint>().swap(arena_);
}

}  // namespace fw
