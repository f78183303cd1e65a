#include "mask/border_point_set.h"

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

constexpr double kGridScale = 64.0;
constexpr double kGridLimit = 1073741824.0;  // 2^30: cells stay far from int32 overflow

uint64_t Mix(uint64_t h) {  // splitmix64 finaliser
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 31;
    return h;
}

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
    const uint64_t key =
        static_cast<uint64_t>(static_cast<uint32_t>(cx)) << 32 | static_cast<uint32_t>(cy);
    return static_cast<size_t>(Mix(key)) & (slots_.size() - 1);
}

BorderPoint* BorderPointSet::Probe(int32_t cx, int32_t cy, float x, float y, float z,
                                   bool cellDecides) const {
    if (slots_.empty()) return nullptr;
    const size_t mask = slots_.size() - 1;
    for (size_t i = Home(cx, cy); slots_[i].point; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (s.cx == cx && s.cy == cy && (cellDecides || SameBorderPosition(*s.point, x, y, z)))
            return s.point;
    }
    return nullptr;
}

BorderPoint* BorderPointSet::Find(float x, float y, float z) const {
    if (useFew_) {
        for (const Few& f : few_)
            if (SameBorderPosition(*f.point, x, y, z)) return f.point;
        return nullptr;
    }
    for (BorderPoint* p : offGrid_)
        if (SameBorderPosition(*p, x, y, z)) return p;
    int32_t cx, cy;
    bool exactX, exactY;
    if (!Cell(x, cx, exactX) || !Cell(y, cy, exactY)) {
        // A point within 0.01 of a query this far out has the same float value, so it is
        // in offGrid_ too (or the query is NaN and equals nothing).
        return nullptr;
    }
    // With every entry exactly on the grid at the usual depth, a grid query equals an entry
    // exactly when it shares its cell.
    if (allOnGrid_ && exactX && exactY && z == kBorderPointZ) return Probe(cx, cy, x, y, z, true);
    for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx)
            if (BorderPoint* p = Probe(cx + dx, cy + dy, x, y, z, false)) return p;
    return nullptr;
}

BorderPoint* BorderPointSet::Intern(float x, float y, float z) {
    int32_t cx, cy;
    bool exactX, exactY;
    const bool indexable = Cell(x, cx, exactX) && Cell(y, cy, exactY);
    if (useFew_) {
        if (indexable && exactX && exactY && z == kBorderPointZ) {
            for (const Few& f : few_)
                if (f.x == x && f.y == y) return f.point;
            if (few_.size() < kFewLimit) {
                BorderPoint* p = pool_.New(x, y, z);
                few_.push_back(Few{x, y, p});
                ++size_;
                return p;
            }
        }
        LeaveFew();
    }
    if (indexable && allOnGrid_ && offGrid_.empty() && exactX && exactY && z == kBorderPointZ) {
        // The usual case: one probe finds the point or the free slot it goes into.
        GrowFor(size_ + 1);
        const size_t mask = slots_.size() - 1;
        size_t i = Home(cx, cy);
        for (; slots_[i].point; i = (i + 1) & mask)
            if (slots_[i].cx == cx && slots_[i].cy == cy) return slots_[i].point;
        BorderPoint* p = pool_.New(x, y, z);
        slots_[i] = Slot{cx, cy, p};
        used_.push_back(static_cast<uint32_t>(i));
        ++size_;
        return p;
    }
    if (BorderPoint* p = Find(x, y, z)) return p;
    BorderPoint* p = pool_.New(x, y, z);
    if (!indexable) {
        offGrid_.push_back(p);
    } else {
        if (!exactX || !exactY || z != kBorderPointZ) allOnGrid_ = false;
        GrowFor(size_ + 1);
        Place(cx, cy, p);
    }
    ++size_;
    return p;
}

BorderPoint* BorderPointSet::Add(BorderPoint* p) {
    if (useFew_) LeaveFew();
    if (BorderPoint* existing = Find(p->x, p->y, p->z)) return existing;
    int32_t cx, cy;
    bool exactX, exactY;
    if (!Cell(p->x, cx, exactX) || !Cell(p->y, cy, exactY)) {
        offGrid_.push_back(p);
    } else {
        if (!exactX || !exactY || p->z != kBorderPointZ) allOnGrid_ = false;
        GrowFor(size_ + 1);
        Place(cx, cy, p);
    }
    ++size_;
    return p;
}

void BorderPointSet::Place(int32_t cx, int32_t cy, BorderPoint* p) {
    const size_t mask = slots_.size() - 1;
    size_t i = Home(cx, cy);
    while (slots_[i].point) i = (i + 1) & mask;
    slots_[i] = Slot{cx, cy, p};
    used_.push_back(static_cast<uint32_t>(i));
}

// Keeps the load at most 0.7 (linear probing slows sharply above that).
void BorderPointSet::GrowFor(size_t entries) {
    if (!slots_.empty() && entries * 10 <= slots_.size() * 7) return;
    size_t size = slots_.empty() ? kMinSlots : slots_.size();
    while (entries * 10 > size * 7) size *= 2;
    if (size == slots_.size()) return;
    std::vector<Slot> old;
    old.swap(slots_);
    std::vector<uint32_t> oldUsed;
    oldUsed.swap(used_);
    slots_.assign(size, Slot{0, 0, nullptr});
    used_.reserve(entries);
    for (uint32_t i : oldUsed) Place(old[i].cx, old[i].cy, old[i].point);
}

// Moves the short list into the table (its entries are all on the grid).
void BorderPointSet::LeaveFew() {
    useFew_ = false;
    GrowFor(std::max(few_.size() + 1, expected_));
    for (const Few& f : few_) {
        int32_t cx = 0, cy = 0;  // set: the short list holds grid points only
        bool exact;
        Cell(f.x, cx, exact);
        Cell(f.y, cy, exact);
        Place(cx, cy, f.point);
    }
    few_.clear();
}

void BorderPointSet::Clear(size_t expected) {
    size_t wanted = kMinSlots;
    while (expected * 10 > wanted * 7) wanted *= 2;
    if (slots_.size() > 16 * wanted && slots_.size() > 16384) {
        // A small line after a long one: a compact table keeps its lookups in cache.
        std::vector<Slot>().swap(slots_);
        std::vector<uint32_t>().swap(used_);
    } else {
        for (uint32_t i : used_) slots_[i].point = nullptr;
        used_.clear();
    }
    offGrid_.clear();
    few_.clear();
    size_ = 0;
    allOnGrid_ = true;
    expected_ = expected;
    useFew_ = true;
    few_.reserve(kFewLimit);
}

}  // namespace fw
