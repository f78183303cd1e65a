#include "render/pattern_build.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>

#include "mask/mesh_builder.h"
#include "platform/block_size.h"
#include "platform/large_pages.h"
#include "render/scene_records.h"

namespace fw {

namespace {

constexpr float kTraceTolerance = 1.0f;

// The selection's border as the tracer exports it, and where its pixel corners sit in
// coordinates centred on the filter area.
struct SelectionBorder {
    BorderLines lines;
    float dx = 0, dy = 0;
    SelectionBorder() = default;
    SelectionBorder(const SelectionBorder&) = delete;
    SelectionBorder& operator=(const SelectionBorder&) = delete;
    ~SelectionBorder() {
        CMeshBuilder::FreeArrays(const_cast<float*>(lines.xy), const_cast<uint32_t*>(lines.pairs));
    }
};

// Traces the selection; an empty border when it cannot be traced. Throws std::bad_alloc when
// memory runs out: the border is then unknown, not empty.
void TraceSelection(const SelectionMask& m, const PatternPlacement& place, SelectionBorder& out) {
    if (!m.data || m.width <= 0 || m.height <= 0) return;
    const std::optional<size_t> bytes = BlockBytes({m.width, m.height});
    if (!bytes) throw std::bad_alloc();
    std::unique_ptr<uint8_t[]> mask(new uint8_t[*bytes]);
    platform::AdviseLargePages(mask.get(), *bytes);
    for (int32_t y = 0; y < m.height; ++y) {
        const uint8_t* row = m.data + size_t(y) * m.rowBytes;
        for (int32_t x = 0; x < m.width; ++x) mask[size_t(y) * m.width + x] = row[x] ? 255 : 0;
    }
    CMeshBuilder builder;
    uint32_t pointCount = 0, segmentCount = 0;
    float* xy = nullptr;
    uint32_t* pairs = nullptr;
    const int32_t window =
        SelectionTraceWindow(int32_t(place.viewRatio * place.SW + 0.5), place.SW);
    if (!builder.LoadMask(m.width, m.height, m.width, mask.get(), kTraceTolerance, window,
                          pointCount, segmentCount, xy, pairs)) {
        if (builder.OutOfMemory()) throw std::bad_alloc();
        return;
    }
    out.lines.pointCount = pointCount;
    out.lines.segmentCount = segmentCount;
    out.lines.xy = xy;
    out.lines.pairs = pairs;
    // Pixel corners of the mask to coordinates centred on the filter area.
    out.dx = float(m.left) - float(place.SW) / 2.0f;
    out.dy = float(m.top) - float(place.SH) / 2.0f;
}

}  // namespace

void PlacePattern(const EffectParameters& p, double cx, double cy, bool selection,
                  PatternPlacement& place) {
    if (p.EffectKind != kSingle && p.MaskKind == kMaskBySelection && selection) {
        place.shiftX = float(place.SW * double(p.CenterX) / 2000.0);
        place.shiftY = float(-place.SH * double(p.CenterY) / 2000.0);
    } else {
        place.shiftX = float(cx - place.SW / 2.0);
        place.shiftY = float(cy - place.SH / 2.0);
    }
}

namespace {

bool Build(const EffectParameters& p, const PatternPlacement& place, const SelectionMask* selection,
           bool keepPath, const GrowthProgress& progress, BuiltPattern& out) {
    GrowthScene scene;
    scene.W = place.SW;  // the pattern belongs to the whole filter area, not to one band
    scene.H = place.SH;
    scene.SW = place.SW;
    scene.SH = place.SH;
    scene.zoom = float(place.zoom);
    scene.centreX = place.shiftX;
    scene.centreY = place.shiftY;
    scene.rotation = float((p.RotateX + 90.0) * 3.141592653589793 / 180.0);
    scene.budget = place.budget;
    scene.areaBudget = place.areaBudget;

    const bool bySelection = p.EffectKind != kSingle && p.MaskKind == kMaskBySelection;
    TriangleList list;
    int32_t count = 0;
    if (bySelection && !keepPath) {
        // The border is walked as traced: its converted path would be seven times its size.
        SelectionBorder border;
        if (selection) TraceSelection(*selection, place, border);
        count = GrowAlongBorder(border.lines, border.dx, border.dy, p, scene, list, progress);
    } else {
        GrowthPath path;
        if (bySelection) {
            SelectionBorder border;
            if (selection) TraceSelection(*selection, place, border);
            path = ConvertBorderLines(border.lines, border.dx, border.dy);
        } else {
            path = BuildGrowthPath(p, scene);
        }
        count = GrowAlongPath(path, p, scene, list, progress);
        if (keepPath) out.path = std::move(path);
    }
    // A pattern cut short for want of memory is not the pattern these parameters make.
    if (GrowthOutOfMemory()) return false;
    if (!ConvertTriangleList(list, count, out.triangles, out.points)) return false;
    out.triangleCount = count;
    list.Clear();

    const float factor = p.Scale / 100.0f;
    if (factor != 1.0f) ScalePoints(out.points, 3 * count, factor);
    // The Single effects grew at their centre already.
    if (p.EffectKind != kSingle && (place.shiftX != 0 || place.shiftY != 0))
        TranslatePoints(out.points, 3 * count, place.shiftX, place.shiftY);
    SnapToRenderGrid(out.points, 3 * count);
    return true;
}

}  // namespace

bool BuildPattern(const EffectParameters& p, const PatternPlacement& place,
                  const SelectionMask* selection, bool keepPath, const GrowthProgress& progress,
                  BuiltPattern& out) {
    out = BuiltPattern{};
    try {
        return Build(p, place, selection, keepPath, progress, out);
    } catch (const std::exception&) {  // bad_alloc, or length_error for an absurd size
        std::free(out.triangles);
        std::free(out.points);
        out = BuiltPattern{};
        return false;
    }
}

}  // namespace fw
