// CMeshBuilder: turns a selection mask into ordered border polylines, the path that frost
// grows along for "By selection".
//
// Usage: one builder per path walk.
//
//     fw::CMeshBuilder builder;
//     uint32_t pointCount, segmentCount;
//     float* points;       // pointCount pairs (x, y)
//     uint32_t* segments;  // segmentCount pairs (first, second)
//     if (builder.LoadMask(w, h, rowBytes, mask, 1.0f, window, pointCount, segmentCount,
//                          points, segments)) {
//         ...
//         fw::CMeshBuilder::FreeArrays(points, segments);
//     }
//
// Output arrays (each one block, owned by the caller; release with FreeArrays):
//   points    float[2 * pointCount]: x0, y0, x1, y1, ... in pixel-corner units, x = column,
//             y = row, origin at the image's top-left corner (the right edge is x = width).
//   segments  uint32_t[2 * segmentCount]: first0, second0, first1, second1, ... indices into
//             the points; travel runs from first to second and keeps the traced region on
//             its right (image coordinates, rows growing downwards).
// Both are null and both counts 0 when there is nothing to export. Each exported line
// contributes its points in order and one segment per consecutive pair, so segments never
// join two lines; a closed line repeats its first point at its end (as a separate entry).
// Only borders between two in-image pixels are exported, never the image edge itself.
//
// Failures (LoadMask returns false, counts 0, arrays null): an empty mask, a raster that cannot
// be allocated or a border that cannot be traced write one line to the debugger output;
// running out of memory for the output arrays fails silently. OutOfMemory() tells a failure
// for want of memory (the selection may well have borders) from one of the mask itself.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "mask/border_line.h"
#include "mask/border_point_set.h"
#include "mask/border_smoothing.h"
#include "mask/byte_raster.h"
#include "mask/flat_border_smoothing.h"
#include "mask/growing_array.h"
#include "mask/smoothing_helper.h"
#include "platform/large_pages.h"

namespace fw {

// Border-code raster bits: the four edges that leave a pixel corner, plus the junction flag
// for corners where three or more values meet.
enum BorderDirection : uint8_t {
    kBorderRight = 1,
    kBorderDown = 2,
    kBorderLeft = 4,
    kBorderUp = 8,
    kBorderJunction = 16,
    kBorderCrossing = 32,  // four edges: two lines may pass this corner
};

// An internal failure of the tracer; its text is what LoadMask writes to the debugger.
class BorderTraceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class CMeshBuilder {
  public:
    CMeshBuilder();
    CMeshBuilder(const CMeshBuilder&) = delete;
    CMeshBuilder& operator=(const CMeshBuilder&) = delete;
    ~CMeshBuilder();

    // Traces `mask` (height rows of rowBytes bytes, the first width of each used) and exports
    // the smoothed borders; see the top of this file. tolerance: Douglas-Peucker tolerance in
    // pixels (<= 0 means 1, capped at 10); window: longest piece of an exported segment,
    // measured as |dx| + |dy| (clamped to 2..30).
    bool LoadMask(int32_t width, int32_t height, int32_t rowBytes, const uint8_t* mask,
                  float tolerance, int32_t window, uint32_t& pointCount, uint32_t& segmentCount,
                  float*& points, uint32_t*& segments);

    static void FreeArrays(float* points, uint32_t* segments);

    // Everything LoadMask does before the export: traces and smooths the borders and keeps
    // them in Lines() (image-edge borders included). Same failures as LoadMask.
    bool BuildLines(int32_t width, int32_t height, int32_t rowBytes, const uint8_t* mask,
                    float tolerance, int32_t window);

    // Builds the border-code raster of `mask` and traces every border into `lines`, in
    // raster order of their start corners. Throws BorderTraceError.
    void FindBorderLines(const ByteRaster& mask, BorderLineList& lines);

    // Traces one line from corner (row, column), forward (vertices appended) or backward
    // (vertices prepended), keeping pixels of `colour` on the right of travel; kNoColour on
    // a forward trace takes the colour of the first edge found and records both sides in
    // the line. Clears every edge it walks. False when no edge of that colour starts here,
    // the border breaks off or `border` is read-only; throws BorderTraceError when a crossing
    // has no continuation.
    bool TraceDirection(bool forward, uint8_t colour, int32_t row, int32_t column,
                        const ByteRaster& mask, ByteRaster& border, BorderLine& line);

    // Computes the border codes of `mask` into `border` ((rows + 1) x (columns + 1) corners,
    // outside value 0). False when the raster cannot be created.
    static bool BuildBorderCodes(const ByteRaster& mask, ByteRaster& border);

    // How LoadMask shares the smoothing with a second thread: lines go over in batches of
    // about `batchPoints` points (0: no second thread) while it is less than `maxBacklog`
    // points behind; otherwise the tracing thread smooths them itself. By default a second
    // thread is used when there is a second core.
    void SetHelper(size_t batchPoints, size_t maxBacklog) {
        batchPoints_ = batchPoints;
        maxBacklog_ = maxBacklog;
    }

    // Whether the last LoadMask or BuildLines failed because memory ran out.
    bool OutOfMemory() const { return outOfMemory_; }

    // The lines of the last BuildLines or FindBorderLines (LoadMask clears them).
    const BorderLineList& Lines() const { return lines_; }

  private:
    struct SmoothingSettings {
        float tolerance;
        int32_t window;
    };
    // LoadMask's arrays while they grow (malloc'd): the positions of the lines smoothed on
    // this thread and the length of every exported line in order. A line left to the helper
    // has its place noted; its positions go in when the trace is over.
    struct Export {
        struct Handed {
            size_t line;  // its first line in lengths
            uint64_t at;  // points exported before it on this thread
            size_t ticket;
        };
        GrowingArray<float> xy;
        GrowingArray<uint32_t> pairs;
        std::vector<uint32_t> lengths;
        std::vector<Handed> handed;
        std::unique_ptr<SmoothingHelper> helper;
    };
    // Puts the helper's lines in their places and makes the segments.
    static void FinishExport(Export& out);
    void Reset();
    // BuildLines; with `out`, each line is exported as it is finished and not kept.
    bool Build(int32_t width, int32_t height, int32_t rowBytes, const uint8_t* mask,
               float tolerance, int32_t window, Export* out);
    void ExportLine(BorderLine& line);
    // Smooths and exports a line, now or in a batch, on copies of its points.
    void ExportFlat(const BorderLine& line, const SmoothingSettings& settings);
    void SubmitBatch(const SmoothingSettings& settings);
    void Emit(const FlatBorderPoint* points, size_t count);
    void TraceLines(const ByteRaster& mask, BorderLineList& lines,
                    const SmoothingSettings* smoothing);
    void SmoothLine(BorderLine& line, const SmoothingSettings& settings);

    // The shared points at corners with a junction or crossing flag, one point per such
    // corner, found by its rank among them in raster order: a count kept per 64 corners and
    // a short count within the row. Flags never change while edges are walked, so the
    // ranks hold for the whole trace. The points live in the table itself, outside the
    // pool, whose points a line gives back when it is exported; a table built for another
    // raster keeps the old points for the lines that hold them.
    class CornerPoints {
      public:
        void Build(const ByteRaster& border);  // throws std::bad_alloc
        bool Covers(const ByteRaster& border) const {
            return border.Rows() == rows_ && border.Columns() == columns_ && rows_ > 0 &&
                   border.Row(0) == firstRow_;
        }
        // The point of a flagged corner, made (flags kBorderShared) when first met.
        BorderPoint* At(const ByteRaster& border, int32_t row, int32_t column);
        // Forgets the raster; the points stay.
        void ReleaseIndex();
        void Clear();

      private:
        const uint8_t* firstRow_ = nullptr;
        int32_t rows_ = 0, columns_ = 0;
        size_t blocksPerRow_ = 0;
        std::vector<size_t> before_;  // flagged corners before each block
        using PointVector = std::vector<BorderPoint, platform::SampleAllocator<BorderPoint>>;
        PointVector points_;  // y < 0 until first met
        std::vector<PointVector> retired_;
    };

    ByteRaster mask_{kNoColour};
    BorderLineList lines_;
    // Every point of every line lives in pool_, or in corners_ where lines meet. Two indexes
    // together answer every lookup the same way one set of all points would:
    // - Tracing only meets an earlier point at corners with four edges or a junction (where
    //   lines meet or one line crosses itself) and at the start corner of a closed line, so
    //   only those corners are indexed (corners_); the start point is held by the trace.
    // - Smoothing creates points strictly inside the straight runs of its own line, which no
    //   other line and none of the line's own vertices touch, so each line is smoothed with
    //   an index of just the points its own smoothing made (linePoints_), emptied in between.
    BorderPointPool pool_;
    CornerPoints corners_;
    BorderPointSet linePoints_{pool_};
    std::vector<BorderPoint*> prefix_;  // a backward trace's points, last first
    SmoothingBuffers smoothing_;
    FlatBorderSmoother flat_;
    FlatBorderLines batch_;  // lines for the helper, in tracing order
    std::vector<FlatBorderPoint> lineResult_;
    Export* export_ = nullptr;
    size_t batchPoints_, maxBacklog_;
    bool outOfMemory_ = false;
};

}  // namespace fw
