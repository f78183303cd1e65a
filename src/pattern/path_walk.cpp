#include "pattern/path_walk.h"

#include <algorithm>
#include <cmath>

#include "pattern/branch_growth.h"
#include "pattern/frond_growth.h"
#include "pattern/numeric.h"
#include "pattern/pattern_random.h"
#include "pattern/portable_math.h"

namespace fw {

namespace {

// No real image has more seeds than this; the cap only stops a hostile scene size from
// walking billions of seeds that grow nothing.
constexpr int64_t kMaxSeeds = int64_t{1} << 26;

float Radians(float degrees) {
    return static_cast<float>(degrees * pm::kPi / 180.0);
}

// The normal a segment grows along under grow direction `mode`.
Point2 DirectedNormal(int mode, float nx, float ny) {
    switch (mode) {
        case 2:
            return {-nx, -ny};
        case 3:
            return {std::fabs(nx), std::fabs(ny)};
        case 4:
            return {-nx, ny};
        case 5:
            return {nx, -ny};
        case 6:
            return {std::fabs(nx), ny};
        case 7:
            return {nx, std::fabs(ny)};
        default:
            return {nx, ny};
    }
}

// Growth values derived once from the parameters, after the effect kind's adjustments.
struct WalkInputs {
    float interval, width0, length0, turn, dispersion, lose, pLength, pWidth, depend;
    int32_t maxTriangles, maxIterations;
};

WalkInputs DeriveInputs(const EffectParameters& p, const GrowthScene& scene) {
    const auto sw = static_cast<float>(scene.SW);
    WalkInputs in{};
    in.interval = p.MinInterval / 100.0f * sw;
    in.width0 = p.Width / 100.0f;
    in.length0 = p.Lenght;
    in.turn = Radians(p.Turn);
    in.dispersion = p.Dispers / 25.0f;
    in.lose = p.LoseInitDir / 100.0f;
    in.pLength = p.PLenght / 200.0f;
    in.pWidth = p.PWidth / 200.0f;
    in.depend = p.IntervDepend / 1000.0f;
    in.maxTriangles = p.MaxTriangles;
    // A divisor: presets and scripts may carry 0 or less, the generator needs at least 1.
    in.maxIterations = p.MaxIterations < 1 ? 1 : p.MaxIterations;
    switch (p.EffectKind) {
        case kGeometric:
            in.length0 = sw / 400.0f * p.Lenght;
            break;
        case kFloral:
            in.length0 = sw / 100.0f * p.Lenght;
            in.width0 = 2.0f * p.Width / 100.0f;
            in.maxTriangles = ClampToInt(int64_t{5} * p.MaxTriangles);
            break;
        case kSingle:
            in.length0 = p.Lenght;
            in.width0 = p.Width;
            in.maxTriangles = ClampToInt(int64_t{5} * p.MaxTriangles);
            break;
        default:
            break;
    }
    return in;
}

uint32_t SeedValue(int64_t a, int32_t randomSeed, int64_t b) {
    return static_cast<uint32_t>(a) + static_cast<uint32_t>(randomSeed) + static_cast<uint32_t>(b);
}

// State the walk carries from seed to seed and segment to segment.
struct Walk {
    const EffectParameters& p;
    const GrowthScene& scene;
    const WalkInputs& in;
    TriangleList& list;
    int32_t chain = 0;  // last draw of the Floral seeding, feeds the next seed's re-seeding
    float carry = 0.0f;
    int64_t seeds = 0;
};

void GrowFloral(Walk& w, int32_t i, Point2 seed, Point2 normal, float turnSeg, float width,
                float length) {
    const WalkInputs& in = w.in;
    float angle =
        static_cast<float>(DirectionAngle(-normal.x, -normal.y) * pm::kPi / 180.0 - pm::kPi / 2.0);
    PatternRandom::seed(SeedValue(i, w.p.RandomSeed, w.chain));
    w.chain = PatternRandom::next();
    const int32_t chain = w.chain;
    const float r = static_cast<float>(chain % 1000) / 1000.0f;
    angle += (r - 0.5f) * in.dispersion;
    float bend = turnSeg * (r * in.dispersion / 3.0f + 0.5f);
    if (r < 0.5f) bend = -bend;
    const int32_t count = chain % in.maxIterations + 1;
    const auto zBase = static_cast<float>(chain % 50 + 20);
    float twist = bend + in.dispersion + bend * 2.5f * (r - 0.5f);
    if (std::fabs(twist) < 0.5f) twist = twist < 0.0f ? -0.5f : 0.5f;
    int32_t variant = w.p.PatternKind;
    if (variant == 3) {
        if (chain % 2 != 0) {
            variant = 1;
            bend *= 1.5f;
        } else {
            variant = 2;
        }
    }
    const int32_t side = r > 0.5f ? 1 : 0;
    if (variant == 2) {
        GrowCurl(side + 2, w.list, seed.x, seed.y, zBase, angle, bend, length, width,
                 in.maxTriangles, -1, in.pWidth, twist, 0.0f);
    } else {
        GrowFrond(count, w.list, seed.x, seed.y, zBase, angle, bend, length, width, side, -1,
                  w.scene.zoom);
    }
}

struct Coverage {
    double full = 0.0, frac = 1.0;
    int64_t whole = 0, fade = 0, walked = 0;
};

Coverage CoverageOf(size_t segCount, const EffectParameters& p) {
    Coverage c;
    const auto n = static_cast<double>(segCount);
    c.full = n * p.Completance / 100.0;
    c.whole = TruncToInt(c.full);
    c.frac = c.full - static_cast<double>(c.whole);
    int64_t covered = c.whole;
    if (c.frac > 0.0) {
        covered = c.whole + 1;
    } else {
        c.frac = 1.0;
    }
    c.fade = TruncToInt(n * p.CompletanceDist / 100.0);
    c.walked = std::min<int64_t>(covered + c.fade, static_cast<int64_t>(segCount));
    return c;
}

// a, b: the segment's end points, null when its index is out of range.
void WalkSegment(Walk& w, const PathSegment& seg, const PathPoint* a, const PathPoint* b, int32_t i,
                 const Coverage& cov) {
    const WalkInputs& in = w.in;
    const double fraction = i == cov.walked - 1 ? cov.frac : 1.0;
    PatternRandom::seed(SeedValue(i, w.p.RandomSeed, 1212));

    const int mode = w.p.GrowDirect == kGrowDirectionCount ? i % 7 : w.p.GrowDirect;
    const Point2 normal = DirectedNormal(mode, seg.nx, seg.ny);

    float lengthSeg = in.length0, widthSeg = in.width0, turnSeg = in.turn;
    float startF = 1.0f, endF = 1.0f;
    if (!(i < cov.whole || cov.fade == 0)) {
        const int64_t k = i - cov.whole;
        startF = 1.0f - static_cast<float>(k) / static_cast<float>(cov.fade);
        endF = 1.0f - static_cast<float>(k + 1) / static_cast<float>(cov.fade);
        lengthSeg = startF * in.length0;
        widthSeg = startF * in.width0;
        turnSeg = startF * in.turn;
    }

    const float L = seg.length;
    if (!(L > 0.0f && in.interval > 0.0f)) return;
    if (!a || !b) return;
    const Point2 dir{(b->x - a->x) / L, (b->y - a->y) / L};
    float stepL = in.interval / 5.0f;
    float pos = w.carry;
    if (stepL > L) {
        w.carry = pos <= L ? stepL - L : w.carry - L;
    } else {
        w.carry = 0.0f;
    }
    if (stepL < 0.25f) stepL = 0.25f;
    Point2 seed{a->x, a->y};
    if (!(pos < L)) return;

    const float zoom = w.scene.zoom;
    float sizeF = (L / 10.0f) * in.depend * zoom + (1.0f - in.depend);
    sizeF = std::clamp(sizeF, 0.05f, 10.0f);
    float width = ((L / 10.0f) * in.depend / 4.0f * zoom + (1.0f - in.depend / 4.0f)) * widthSeg;
    if (width < 0.01f) width = 0.01f;
    const float length = lengthSeg * sizeF;
    turnSeg *= sizeF;

    while (!GrowthStopped() && w.seeds < kMaxSeeds) {
        ++w.seeds;
        float wSeed = width, lSeed = length;
        if ((fraction < 1.0 && L != 0.0f) || i >= cov.whole) {
            const float t = pos / L;
            if (i >= cov.whole) {
                float f = endF * t + (1.0f - t) * startF;
                if (cov.fade > 0) f += static_cast<float>(cov.full / static_cast<double>(cov.fade));
                if (f > 1.0f) f = 1.0f;
                wSeed = width * f;
                lSeed = length * f;
            }
            if (fraction < 1.0) {
                if (t > fraction) break;
                const auto taper = static_cast<float>(1.0 - t / fraction);
                wSeed *= taper;
                lSeed *= taper;
            }
        }
        const Point2 next{seed.x + stepL * dir.x, seed.y + stepL * dir.y};
        if (w.p.EffectKind == kGeometric) {
            const float size = stepL / 2.0f < L ? stepL / 2.0f : L;
            GrowBranchBase(w.list, seed, next, normal, size, sizeF);
            GrowBranch(i, w.p.PatternKind, w.list, 0, seed, 0.0f, normal, wSeed, lSeed, in.pWidth,
                       in.pLength, in.dispersion, in.lose, in.maxTriangles, in.maxIterations);
        } else {
            GrowFloral(w, i, seed, normal, turnSeg, wSeed, lSeed);
        }
        const float advanced = pos + stepL;
        if (advanced == pos) break;
        pos = advanced;
        seed = next;
        if (pos >= L) break;
    }
}

void GrowCentrePattern(const EffectParameters& p, const GrowthScene& scene, const WalkInputs& in,
                       TriangleList& list) {
    const auto sw = static_cast<float>(scene.SW);
    const float zoom = scene.zoom;
    if (p.PatternKind == 1 || p.PatternKind == 2) {
        GrowFrond(in.maxIterations, list, scene.centreX, scene.centreY, 0.0f, scene.rotation,
                  in.turn, sw * in.length0 / 200.0f, sw * in.width0 / 50000.0f * zoom,
                  p.PatternKind == 2 ? 1 : 0, in.maxTriangles, zoom);
    } else if (p.PatternKind == 3 || p.PatternKind == 4) {
        const auto ratio = static_cast<float>(ViewRatio(scene.W, scene.SW));
        GrowCurl(p.PatternKind == 3 ? 2 : 3, list, scene.centreX, scene.centreY, 0.0f,
                 scene.rotation, in.turn / 2.0f, sw * in.length0 / 100.0f,
                 static_cast<float>(scene.W) * in.width0 / (50000.0f * ratio) * zoom,
                 in.maxTriangles / 2, ClampToInt(int64_t{2} * p.MaxTriangles1), in.pWidth,
                 Radians(p.Turn1), 1.0f);
    }
}

}  // namespace

double ViewRatio(int32_t W, int32_t SW) {
    if (SW == 0) return 1.0;
    const double r = static_cast<double>(W) / static_cast<double>(SW);
    return r == 0.0 || !std::isfinite(r) ? 1.0 : r;
}

int32_t SelectionTraceWindow(int32_t W, int32_t SW) {
    return TruncToInt(30.0 / ViewRatio(W, SW));
}

double DirectionAngle(double a, double b) {
    if (b == 0.0) return a >= 0.0 ? 90.0 : 270.0;
    double theta = -pm::Atan(a / b) * 57.29579143313326;
    if (b < 0.0 && a < 0.0) theta += 360.0;
    if (b > 0.0) theta += 180.0;
    return theta;
}

GrowthPath BuildGrowthPath(const EffectParameters& p, const GrowthScene& scene) {
    if (p.EffectKind == kSingle) return {};
    if (p.MaskKind >= kMaskBottom && p.MaskKind <= kMaskWindow) {
        return BuildShapePath(p.MaskKind, scene.W, scene.H, scene.SW, scene.SH);
    }
    if (p.MaskKind == kMaskBySelection && scene.selection != nullptr) {
        return ConvertBorderLines(*scene.selection, static_cast<float>(-scene.W) / 2.0f,
                                  static_cast<float>(-scene.H) / 2.0f);
    }
    return {};
}

namespace {

// The walk over any source of segments: segment(i, seg, a, b) fills segment i and points a
// and b at its end points (null when out of range).
template <class SegmentAt>
int32_t Grow(size_t segmentCount, const SegmentAt& segment, const EffectParameters& p,
             const GrowthScene& scene, TriangleList& list, const GrowthProgress& progress) {
    const size_t before = list.size();
    const WalkInputs in = DeriveInputs(p, scene);
    ResetTriangleCounter(scene.budget, scene.areaBudget);
    PatternRandom::seed(SeedValue(0, p.RandomSeed, 1212));
    if (progress) progress(10);

    const Coverage cov = CoverageOf(segmentCount, p);
    // Only these kinds grow anything at a seed; other values walk nothing.
    const bool grows = p.EffectKind == kGeometric || p.EffectKind == kFloral;
    Walk walk{p, scene, in, list};
    PathSegment seg{};
    const PathPoint* a = nullptr;
    const PathPoint* b = nullptr;
    for (int64_t i = 0; i < cov.walked && !GrowthStopped(); ++i) {
        if (progress) progress(TruncToInt(10.0 + 40.0 * static_cast<double>(i) / cov.walked));
        if (!grows) continue;
        segment(static_cast<size_t>(i), seg, a, b);
        WalkSegment(walk, seg, a, b, static_cast<int32_t>(i), cov);
    }

    if (p.EffectKind == kSingle) {
        if (progress) progress(25);
        GrowCentrePattern(p, scene, in, list);
    }
    return static_cast<int32_t>(list.size() - before);
}

}  // namespace

int32_t GrowAlongPath(const GrowthPath& path, const EffectParameters& p, const GrowthScene& scene,
                      TriangleList& list, const GrowthProgress& progress) {
    const auto segment = [&path](size_t i, PathSegment& seg, const PathPoint*& a,
                                 const PathPoint*& b) {
        seg = path.segments[i];
        a = seg.first < path.points.size() ? &path.points[seg.first] : nullptr;
        b = seg.second < path.points.size() ? &path.points[seg.second] : nullptr;
    };
    return Grow(path.segments.size(), segment, p, scene, list, progress);
}

int32_t GrowAlongBorder(const BorderLines& border, float dx, float dy, const EffectParameters& p,
                        const GrowthScene& scene, TriangleList& list,
                        const GrowthProgress& progress) {
    // ConvertBorderLines drops the pairs with an index out of range; so does this walk.
    const auto inRange = [&border](uint32_t s) {
        return border.pairs[2 * s] < border.pointCount &&
               border.pairs[2 * s + 1] < border.pointCount;
    };
    size_t valid = 0;
    if (border.xy != nullptr && border.pairs != nullptr)
        for (uint32_t s = 0; s < border.segmentCount; ++s) valid += inRange(s);
    PathPoint pa{}, pb{};
    uint32_t pair = 0;  // the pair after the last segment walked; segments come in order
    const auto segment = [&](size_t, PathSegment& seg, const PathPoint*& a, const PathPoint*& b) {
        while (!inRange(pair)) ++pair;
        seg = BorderSegment(border, pair++, dx, dy, pa, pb);
        a = &pa;
        b = &pb;
    };
    return Grow(valid, segment, p, scene, list, progress);
}

int32_t GrowAlongPath(const EffectParameters& p, const GrowthScene& scene, TriangleList& list,
                      const GrowthProgress& progress) {
    return GrowAlongPath(BuildGrowthPath(p, scene), p, scene, list, progress);
}

}  // namespace fw
