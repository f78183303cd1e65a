#include "pattern/triangle_list.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace fw {

PatternTriangle* TriangleList::Append() {
    if (size_ == blocks_.size() * kBlockSize) {
        std::unique_ptr<PatternTriangle[]> block(new (std::nothrow) PatternTriangle[kBlockSize]);
        if (!block) return nullptr;
        try {
            blocks_.push_back(std::move(block));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    PatternTriangle* t = &blocks_[size_ / kBlockSize][size_ % kBlockSize];
    ++size_;
    return t;
}

void TriangleList::Clear() {
    blocks_.clear();
    size_ = 0;
}

namespace {
int32_t g_counter = 0;
int32_t g_budget = kTriangleBudget;
double g_area = 0;
double g_areaBudget = std::numeric_limits<double>::infinity();
bool g_stopped = false;
bool g_outOfMemory = false;
}  // namespace

int32_t TriangleBudgetForArea(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return kBaseTriangleBudget;
    // Sides beyond the budget's reach cannot overflow the product.
    const int64_t cap = int64_t(kTriangleBudget) * kPixelsPerBudgetTriangle;
    const int64_t area = std::min(width, cap) * std::min(height, cap);
    const int64_t budget = kBaseTriangleBudget + std::min(area, cap) / kPixelsPerBudgetTriangle;
    return int32_t(std::min<int64_t>(budget, kTriangleBudget));
}

double TriangleAreaBudget(int64_t SW, int64_t SH, double scale) {
    const double squared = scale * scale;
    if (!(squared > 0) || !std::isfinite(squared)) return std::numeric_limits<double>::infinity();
    return kTriangleAreaPerFilterArea * double(std::max<int64_t>(SW, 1)) *
           double(std::max<int64_t>(SH, 1)) / squared;
}

void ResetTriangleCounter(int32_t budget, double areaBudget) {
    g_counter = 0;
    g_budget = budget < 0 ? 0 : budget;
    g_area = 0;
    g_areaBudget = std::isnan(areaBudget) ? std::numeric_limits<double>::infinity() : areaBudget;
    g_stopped = false;
    g_outOfMemory = false;
}

int32_t TriangleCounter() {
    return g_counter;
}
bool GrowthStopped() {
    return g_stopped;
}

bool ClaimTriangle() {
    if (g_stopped || g_counter >= g_budget) {
        g_stopped = true;
        return false;
    }
    ++g_counter;
    return true;
}

void CountTriangleArea(const Point3& p0, const Point3& p1, const Point3& p2) {
    const double cross = (double(p1.x) - p0.x) * (double(p2.y) - p0.y) -
                         (double(p2.x) - p0.x) * (double(p1.y) - p0.y);
    const double area = std::fabs(cross) / 2;
    if (!(area >= 0)) return;  // not a number: covers nothing the renderer draws
    g_area += area;
    if (g_area >= g_areaBudget) g_stopped = true;
}

double GrownTriangleArea() {
    return g_area;
}

bool GrowthOutOfMemory() {
    return g_outOfMemory;
}

void ReleaseTriangle() {
    --g_counter;
    g_stopped = true;
    g_outOfMemory = true;
}

void EdgeNormal(float ax, float ay, float bx, float by, float* nx, float* ny) {
    const float ex = by - ay;
    const float ey = ax - bx;
    const float d = std::sqrt(ex * ex + ey * ey);
    if (d != 0.0f) {
        *nx = ex / d;
        *ny = ey / d;
    } else {
        *nx = ex;
        *ny = ey;
    }
}

Point3 FaceNormal(const Point3& p0, const Point3& p1, const Point3& p2) {
    const float ax = p0.x - p1.x, ay = p0.y - p1.y, az = p0.z - p1.z;
    const float bx = p2.x - p1.x, by = p2.y - p1.y, bz = p2.z - p1.z;
    Point3 n{ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
    const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (len != 0.0f) {
        n.x /= len;
        n.y /= len;
        n.z /= len;
    }
    return n;
}

void FillTriangle(PatternTriangle& t, int32_t level, const Point3& p0, const Point3& p1,
                  const Point3& p2) {
    const Point3* p[3] = {&p0, &p1, &p2};
    const float nz = -FaceNormal(p0, p1, p2).z;
    for (int k = 0; k < 3; ++k) {
        const Point3& a = *p[k];
        const Point3& b = *p[(k + 1) % 3];
        PatternVertex& v = t.vertex[k];
        v.x = a.x;
        v.y = a.y;
        v.z = a.z;
        EdgeNormal(a.x, a.y, b.x, b.y, &v.nx, &v.ny);
        v.nz = nz;
        v.flag = 1;
    }
    t.level = level;
}

void MakeTriangle(int32_t level, TriangleList& list, const Point3& p0, const Point3& p1,
                  const Point3& p2) {
    if (!ClaimTriangle()) return;
    PatternTriangle* t = list.Append();
    if (t == nullptr) {
        ReleaseTriangle();
        return;
    }
    FillTriangle(*t, level, p0, p1, p2);
    CountTriangleArea(p0, p1, p2);
}

namespace {

void Mix(uint64_t& h, const void* data, size_t n) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
}

}  // namespace

uint64_t DigestTriangles(const TriangleList& list) {
    uint64_t h = 14695981039346656037ull;
    list.ForEach([&](const PatternTriangle& t) {
        for (const PatternVertex& v : t.vertex) {
            const float f[6] = {v.x, v.y, v.z, v.nx, v.ny, v.nz};
            Mix(h, f, sizeof f);
            Mix(h, &v.flag, 1);
        }
        Mix(h, &t.level, sizeof t.level);
    });
    return h;
}

}  // namespace fw
