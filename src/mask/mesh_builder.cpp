#include "mask/mesh_builder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <thread>

#include "mask/border_smoothing.h"
#include "platform/platform.h"

namespace fw {

namespace {

constexpr uint8_t kDirections[4] = {kBorderRight, kBorderDown, kBorderLeft, kBorderUp};
constexpr uint8_t kNoDirection = 15;
constexpr uint8_t kEdgeBits = 15;

// Pixels on either side of the edge that leaves corner (r, c) in direction `dir`; the
// corner is the top-left corner of pixel (r, c).
uint8_t RightPixel(const ByteRaster& m, int32_t r, int32_t c, uint8_t dir) {
    switch (dir) {
        case kBorderRight:
            return m.Get(r, c);
        case kBorderDown:
            return m.Get(r, c - 1);
        case kBorderLeft:
            return m.Get(r - 1, c - 1);
        default:
            return m.Get(r - 1, c);
    }
}

uint8_t LeftPixel(const ByteRaster& m, int32_t r, int32_t c, uint8_t dir) {
    switch (dir) {
        case kBorderRight:
            return m.Get(r - 1, c);
        case kBorderDown:
            return m.Get(r, c);
        case kBorderLeft:
            return m.Get(r, c - 1);
        default:
            return m.Get(r - 1, c - 1);
    }
}

void Step(uint8_t dir, int32_t& r, int32_t& c) {
    switch (dir) {
        case kBorderRight:
            ++c;
            break;
        case kBorderDown:
            ++r;
            break;
        case kBorderLeft:
            --c;
            break;
        default:
            --r;
            break;
    }
}

uint8_t Reverse(uint8_t dir) {
    uint8_t v = static_cast<uint8_t>(dir << 2);
    if (v > 8) v = static_cast<uint8_t>(v >> 4);
    return v;
}

int BitCount(uint32_t v) {
    int n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}

void ClearEdge(ByteRaster& border, int32_t r, int32_t c, uint8_t bit) {
    if (static_cast<uint32_t>(r) < static_cast<uint32_t>(border.Rows()) &&
        static_cast<uint32_t>(c) < static_cast<uint32_t>(border.Columns()))
        if (uint8_t* row = border.MutableRow(r)) row[c] &= static_cast<uint8_t>(~bit);
}

const char kLoadError[] = "Error! CMeshBuilder::LoadMask: Cannot load input mask!";
const char kRasterError[] =
    "Error! CMeshBuilder::FindBorderLines: Cannot create raster of borders.";
const char kTraceError[] = "Error! CMeshBuilder::FindBorderLines: Cannot trace line.";
const char kLookAheadError[] = "Error! CMeshBuilder::TraceDirection: Cannot trace line.";

}  // namespace

namespace {

// Batches big enough that handing one over costs little against smoothing it.
constexpr size_t kBatchPoints = 4096;
// The helper may fall this many points behind before the tracer smooths lines itself: enough
// that it never runs dry, little enough that it finishes soon after the trace.
constexpr size_t kMaxBacklog = 65536;

}  // namespace

CMeshBuilder::CMeshBuilder()
    : batchPoints_(std::thread::hardware_concurrency() > 1 ? kBatchPoints : 0),
      maxBacklog_(kMaxBacklog) {}
CMeshBuilder::~CMeshBuilder() = default;

void CMeshBuilder::Reset() {
    mask_.Release();
    BorderLineList().swap(lines_);
    corners_.Clear();
    linePoints_.Clear();
    pool_.Clear();
}

namespace {

constexpr uint8_t kSharedCorner = kBorderJunction | kBorderCrossing;

// Corners among n codes with a junction or crossing flag; eight at a time (bit 5 folded onto
// bit 4 of the same byte, the eight bits summed by one multiply: the baseline instruction set
// has no population count).
size_t CountSharedCorners(const uint8_t* codes, size_t n) {
    static_assert(kSharedCorner == 0x30);
    size_t count = 0, i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, codes + i, sizeof word);
        const uint64_t ones = ((word | word >> 1) & 0x1010101010101010ull) >> 4;
        count += static_cast<size_t>((ones * 0x0101010101010101ull) >> 56);
    }
    for (; i < n; ++i) count += (codes[i] & kSharedCorner) != 0;
    return count;
}

}  // namespace

void CMeshBuilder::CornerPoints::Build(const ByteRaster& border) {
    if (!points_.empty()) retired_.push_back(std::move(points_));
    ReleaseIndex();
    const size_t columns = static_cast<size_t>(border.Columns());
    blocksPerRow_ = (columns + 63) / 64;
    before_.resize(static_cast<size_t>(border.Rows()) * blocksPerRow_);
    size_t total = 0;
    for (int32_t r = 0; r < border.Rows(); ++r) {
        const uint8_t* codes = border.Row(r);
        size_t* before = before_.data() + static_cast<size_t>(r) * blocksPerRow_;
        for (size_t b = 0; b < blocksPerRow_; ++b) {
            before[b] = total;
            total += CountSharedCorners(codes + 64 * b, std::min<size_t>(64, columns - 64 * b));
        }
    }
    points_.assign(total, BorderPoint{0.0f, -1.0f, 0.0f, 0});
    rows_ = border.Rows();
    columns_ = border.Columns();
    firstRow_ = rows_ > 0 ? border.Row(0) : nullptr;
}

BorderPoint* CMeshBuilder::CornerPoints::At(const ByteRaster& border, int32_t row, int32_t column) {
    const size_t block = static_cast<size_t>(column) / 64;
    const size_t rank =
        before_[static_cast<size_t>(row) * blocksPerRow_ + block] +
        CountSharedCorners(border.Row(row) + 64 * block, static_cast<size_t>(column) - 64 * block);
    BorderPoint& p = points_[rank];
    if (p.y < 0.0f) {
        const uint8_t code = border.Row(row)[column];
        p = BorderPoint{static_cast<float>(column), static_cast<float>(row), kBorderPointZ,
                        kBorderShared | ((code & kBorderJunction) ? kBorderJunctionPoint : 0u)};
    }
    return &p;
}

void CMeshBuilder::CornerPoints::ReleaseIndex() {
    std::vector<size_t>().swap(before_);
    firstRow_ = nullptr;
    rows_ = columns_ = 0;
    blocksPerRow_ = 0;
}

void CMeshBuilder::CornerPoints::Clear() {
    ReleaseIndex();
    PointVector().swap(points_);
    std::vector<PointVector>().swap(retired_);
}

void CMeshBuilder::FreeArrays(float* points, uint32_t* segments) {
    std::free(points);
    std::free(segments);
}

bool CMeshBuilder::BuildBorderCodes(const ByteRaster& mask, ByteRaster& border) {
    const int32_t rows = mask.Rows();
    const int32_t columns = mask.Columns();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    if (rows < 1 || columns < 1 || rows == kMax || columns == kMax) return false;
    if (!border.Create(rows + 1, columns + 1, 0, false)) return false;  // every cell is written
    const uint8_t outside = mask.Outside();
    // Mask rows padded with the outside value on both ends, so every corner reads its four
    // pixels without bounds checks.
    std::vector<uint8_t> above, below;
    try {
        above.assign(static_cast<size_t>(columns) + 2, outside);
        below.assign(static_cast<size_t>(columns) + 2, outside);
    } catch (const std::bad_alloc&) {
        border.Release();
        return false;
    }
    for (int32_t r = 0; r <= rows; ++r) {
        if (r < rows) {
            std::memcpy(below.data() + 1, mask.Row(r), static_cast<size_t>(columns));
        } else {
            std::fill(below.begin(), below.end(), outside);
        }
        const uint8_t* top = above.data();
        const uint8_t* bottom = below.data();
        uint8_t* out = border.MutableRow(r);
        // Branch-free so that the compiler vectorises it: this loop sees every pixel.
        for (int32_t c = 0; c <= columns; ++c) {
            const uint8_t tl = top[c], tr = top[c + 1], bl = bottom[c], br = bottom[c + 1];
            const uint8_t right = tr != br, down = bl != br, left = tl != bl, up = tl != tr;
            const uint8_t edges = static_cast<uint8_t>(right + down + left + up);
            // Three edges only occur where three values meet; four edges are a crossing of
            // two borders unless the diagonals match (a two-valued chequerboard corner).
            const uint8_t junction =
                static_cast<uint8_t>((edges == 3) | ((edges == 4) & (bl != tr) & (tl != br)));
            const uint8_t crossing = edges == 4;
            out[c] = static_cast<uint8_t>(right | down << 1 | left << 2 | up << 3 | junction << 4 |
                                          crossing << 5);
        }
        above.swap(below);
    }
    return true;
}

bool CMeshBuilder::TraceDirection(bool forward, uint8_t colour, int32_t row, int32_t column,
                                  const ByteRaster& mask, ByteRaster& border, BorderLine& line) {
    // Edges must be cleared as they are walked, or a walk could circle for ever.
    if (!border.MutableRow(0)) return false;
    uint8_t code = border.Get(row, column);
    uint8_t dir = 0;
    for (uint8_t bit : kDirections) {
        if ((code & bit) && (colour == kNoColour || RightPixel(mask, row, column, bit) == colour)) {
            dir = bit;
            break;
        }
    }
    if (dir == 0) return false;
    if (colour == kNoColour && forward) {
        colour = RightPixel(mask, row, column, dir);
        line.rightColour = colour;
        line.leftColour = LeftPixel(mask, row, column, dir);
    }

    if (!corners_.Covers(border)) corners_.Build(border);
    // Points of a backward trace are put in front of the line on every way out.
    struct JoinOnExit {
        BorderLine& line;
        std::vector<BorderPoint*>& prefix;
        ~JoinOnExit() { line.JoinPrefix(prefix); }
    } join{line, prefix_};
    prefix_.clear();

    // A backward trace starts from the point the forward trace began with.
    BorderPoint* startPoint = nullptr;
    if (!line.points.empty()) {
        BorderPoint* front = line.points.front();
        if (SameBorderPosition(*front, static_cast<float>(column), static_cast<float>(row),
                               kBorderPointZ))
            startPoint = front;
    }
    auto addVertex = [&](int32_t r, int32_t c) {
        const float x = static_cast<float>(c), y = static_cast<float>(r);
        BorderPoint* p;
        if (border.Get(r, c) & kSharedCorner) {
            p = corners_.At(border, r, c);
        } else if (r == row && c == column) {
            if (!startPoint) startPoint = pool_.New(x, y);
            p = startPoint;
        } else {
            p = pool_.New(x, y);  // a corner of two edges, both on this line: never revisited
        }
        if (forward) {
            line.AddBack(p);
        } else {
            line.AddFront(prefix_, p);
        }
    };

    uint8_t last = kNoDirection, beforeLast = kNoDirection;
    int32_t r = row, c = column;
    for (;;) {
        if (dir != last) addVertex(r, c);
        beforeLast = last;
        last = dir;
        ClearEdge(border, r, c, dir);
        Step(dir, r, c);
        ClearEdge(border, r, c, Reverse(dir));
        code = border.Get(r, c);
        if ((code & kBorderJunction) || (r == row && c == column)) {
            addVertex(r, c);
            return true;
        }
        const uint8_t edges = code & kEdgeBits;
        if (edges == 0) return false;
        if (edges == kBorderRight || edges == kBorderDown || edges == kBorderLeft ||
            edges == kBorderUp) {
            dir = edges;
            continue;
        }
        // A crossing: prefer the exit whose next edge repeats the pattern of the last two
        // steps, so a staircase keeps its rhythm instead of doubling back.
        const uint8_t pair = static_cast<uint8_t>(last | beforeLast);
        uint8_t best = 0;
        int bestScore = std::numeric_limits<int>::max();
        for (uint8_t b1 : kDirections) {
            if (!(code & b1) || RightPixel(mask, r, c, b1) != colour) continue;
            int32_t r2 = r, c2 = c;
            Step(b1, r2, c2);
            const uint8_t next = border.Get(r2, c2);
            for (uint8_t b2 : kDirections) {
                if (!(next & b2) || RightPixel(mask, r2, c2, b2) != colour) continue;
                const int score = BitCount(static_cast<uint32_t>(pair ^ (b1 | b2)));
                if (score < bestScore) {
                    bestScore = score;
                    best = b1;
                }
            }
        }
        if (best == 0) throw BorderTraceError(kLookAheadError);
        dir = best;
    }
}

void CMeshBuilder::FindBorderLines(const ByteRaster& mask, BorderLineList& lines) {
    TraceLines(mask, lines, nullptr);
}

// With `smoothing`, each line is smoothed as soon as it is traced, while its points are still
// in the cache, which gives the same lines as smoothing them all after the whole trace: a
// trace writes flags only on the ends of open lines (always junctions), which every line
// through them anchors already and no smoothing clears, except a closed line through a
// junction. From the first such line on, the rest is smoothed after the trace.
// An exported line gives every point it took from the pool back at once, so the next line is
// traced and smoothed in the same few blocks.
void CMeshBuilder::TraceLines(const ByteRaster& mask, BorderLineList& lines,
                              const SmoothingSettings* smoothing) {
    ByteRaster border(0);
    if (mask.Rows() < 1 || mask.Columns() < 1) throw BorderTraceError(kRasterError);
    if (!BuildBorderCodes(mask, border)) {
        outOfMemory_ = true;  // a mask of that shape has a border raster
        throw BorderTraceError(kRasterError);
    }
    corners_.Build(border);  // each trace meets only its own points
    size_t smoothed = lines.size();
    bool smoothNow = smoothing != nullptr;
    const int32_t rows = border.Rows();
    const int32_t columns = border.Columns();
    for (int32_t r = 0; r < rows; ++r) {
        const uint8_t* codes = border.Row(r);
        int32_t c = 0;
        while (c < columns) {
            // Most corners have no edge: skip them eight at a time.
            if (c + 8 <= columns) {
                uint64_t word;
                std::memcpy(&word, codes + c, sizeof word);
                if ((word & 0x0F0F0F0F0F0F0F0Full) == 0) {
                    c += 8;
                    continue;
                }
            }
            // A corner where several borders meet starts one line per unused edge.
            while (codes[c] & kEdgeBits) {
                const bool junction = (codes[c] & kBorderJunction) != 0;
                const BorderPointPool::Mark mark = pool_.Top();
                BorderLine line;
                bool traced = TraceDirection(true, kNoColour, r, c, mask, border, line);
                if (traced && !junction && !line.closed)
                    traced = TraceDirection(false, line.leftColour, r, c, mask, border, line);
                if (!traced) throw BorderTraceError(kTraceError);
                if (!line.closed) {
                    line.points.front()->flags |= kBorderAnchor;
                    line.points.back()->flags |= kBorderAnchor;
                }
                if (junction && line.closed) smoothNow = false;
                if (smoothNow && export_) {
                    ExportFlat(line, *smoothing);
                    pool_.ReleaseTo(mark);
                    continue;
                }
                lines.push_back(std::move(line));
                if (smoothNow) SmoothLine(lines[smoothed++], *smoothing);
            }
            ++c;
        }
    }
    corners_.ReleaseIndex();  // the raster goes; the points stay with their lines
    if (!smoothing) return;
    if (export_) SubmitBatch(*smoothing);  // its lines come before the ones left
    for (; smoothed < lines.size(); ++smoothed) {
        const BorderPointPool::Mark mark = pool_.Top();
        SmoothLine(lines[smoothed], *smoothing);
        if (export_) pool_.ReleaseTo(mark);  // what the smoothing made; the trace's stay
    }
}

void CMeshBuilder::SmoothLine(BorderLine& line, const SmoothingSettings& settings) {
    linePoints_.Clear(line.points.size());  // a line makes fewer points than it has
    PostProcessBorderLine(line, linePoints_, settings.tolerance, settings.window, smoothing_);
    if (export_) {
        ExportLine(line);  // the caller takes its points back
        return;
    }
    // The points the smoothing dropped belong to no other line (unless they sit at a shared
    // corner): the next lines reuse them.
    for (BorderPoint* p : line.points) p->flags |= kBorderKept;
    auto drop = [this](BorderPoint* p) {
        if (p->flags & (kBorderKept | kBorderShared)) return;
        p->flags |= kBorderKept;  // a closed line holds its first point twice
        pool_.Recycle(p);
    };
    for (BorderPoint* p : smoothing_.replaced) drop(p);
    linePoints_.ForEach(drop);
    for (BorderPoint* p : line.points) p->flags &= ~uint32_t{kBorderKept};
}

bool CMeshBuilder::BuildLines(int32_t width, int32_t height, int32_t rowBytes, const uint8_t* mask,
                              float tolerance, int32_t window) {
    return Build(width, height, rowBytes, mask, tolerance, window, nullptr);
}

namespace {

// The export would need more than 32-bit indices: it fails without a word, as before.
struct ExportTooLarge {};

// Closed lines that smoothing shrank to a sliver are dropped.
bool IsSliver(const BorderLine& line) {
    return line.closed && line.points.size() < 4;
}

constexpr uint64_t kMaxEntries = std::numeric_limits<uint32_t>::max() / 2;

}  // namespace

// Borders against the image edge have kNoColour on one side and are not exported, nor are
// closed lines that smoothing shrank to a sliver. Each line goes out as soon as it is smoothed
// and its points return to the pool, so a noisy selection never holds all its lines.
void CMeshBuilder::ExportLine(BorderLine& line) {
    if (line.rightColour != kNoColour && line.leftColour != kNoColour && !IsSliver(line)) {
        std::vector<FlatBorderPoint> points;
        points.reserve(line.points.size());
        for (const BorderPoint* p : line.points) points.push_back(FlatBorderPoint{p->x, p->y, 0});
        Emit(points.data(), points.size());
    }
    std::vector<BorderPoint*>().swap(line.points);
}

void CMeshBuilder::ExportFlat(const BorderLine& line, const SmoothingSettings& settings) {
    Export& out = *export_;
    const bool exported = line.rightColour != kNoColour && line.leftColour != kNoColour;
    if (!exported && !line.closed) return;  // only a closed line can leave flags behind
    flat_.Load(line, batch_);
    if (exported && !flat_.LeavesFlags() && out.helper && out.helper->Backlog() < maxBacklog_) {
        if (batch_.Points() >= batchPoints_) SubmitBatch(settings);
        return;
    }
    // Smoothed here, and exported after the lines batched so far (which may be smoothed here
    // too, so the result is put aside).
    if (exported || flat_.LeavesFlags()) {
        flat_.Smooth(batch_, batch_.Size() - 1, settings.tolerance, settings.window);
        flat_.WriteBack();
        flat_.SwapResult(lineResult_);
    }
    batch_.PopBack();
    SubmitBatch(settings);
    if (!exported) return;
    if (line.closed && lineResult_.size() < 4) return;  // a sliver
    Emit(lineResult_.data(), lineResult_.size());
}

void CMeshBuilder::SubmitBatch(const SmoothingSettings& settings) {
    if (batch_.Size() == 0) return;
    Export& out = *export_;
    const size_t first = out.lengths.size();
    const size_t count = batch_.Size();
    const uint64_t at = out.xy.Size() / 2;
    size_t ticket;
    // A thread is started for a full batch only: a small selection costs none.
    const bool worth = out.helper->Started() || batch_.Points() >= batchPoints_;
    if (worth && out.helper->Submit(batch_, ticket)) {
        out.lengths.resize(first + count, 0);
        out.handed.push_back(Export::Handed{first, at, ticket});
        return;
    }
    // Smoothed here.
    for (size_t k = 0; k < count; ++k) {
        flat_.Smooth(batch_, k, settings.tolerance, settings.window);
        const std::vector<FlatBorderPoint>& points = flat_.Result();
        if (!(batch_.lines[k].closed && points.size() < 4)) Emit(points.data(), points.size());
    }
    FlatBorderLines().Swap(batch_);
}

void CMeshBuilder::Emit(const FlatBorderPoint* points, size_t n) {
    if (n < 2) return;
    Export& out = *export_;
    if (out.xy.Size() / 2 + n > kMaxEntries) throw ExportTooLarge();
    out.lengths.push_back(static_cast<uint32_t>(n));
    float* xy = out.xy.Extend(2 * n);
    for (size_t i = 0; i < n; ++i) {
        xy[2 * i] = points[i].x;
        xy[2 * i + 1] = points[i].y;
    }
}

void CMeshBuilder::FinishExport(Export& out) {
    const uint64_t here = out.xy.Size() / 2;
    uint64_t total = here;
    if (out.helper) {
        out.helper->Finish();
        for (const Export::Handed& h : out.handed) {
            const SmoothingHelper::Batch& batch = out.helper->Result(h.ticket);
            total += batch.points;
            if (total > kMaxEntries) throw ExportTooLarge();
            std::copy(batch.lengths.begin(), batch.lengths.end(),
                      out.lengths.begin() + static_cast<ptrdiff_t>(h.line));
        }
    }
    if (total > here) {
        // Into a fresh block: the lines of both threads in tracing order.
        GrowingArray<float> all;
        float* to = all.Extend(2 * total);
        const float* mine = out.xy.Data();
        const float* helped = out.helper->Points();
        uint64_t from = 0;
        for (const Export::Handed& h : out.handed) {
            const SmoothingHelper::Batch& batch = out.helper->Result(h.ticket);
            to = std::copy(mine + 2 * from, mine + 2 * h.at, to);
            to = std::copy(helped + 2 * batch.first, helped + 2 * (batch.first + batch.points), to);
            from = h.at;
        }
        std::copy(mine + 2 * from, mine + 2 * here, to);
        out.xy.Swap(all);
    }
    out.helper.reset();  // its block goes back before the segments are made
    out.xy.Shrink();
    uint64_t segments = 0;
    for (uint32_t n : out.lengths) segments += n > 0 ? n - 1 : 0;
    if (segments == 0) return;
    uint32_t* pair = out.pairs.Extend(2 * segments);
    uint32_t first = 0;
    for (uint32_t n : out.lengths) {
        for (uint32_t i = 1; i < n; ++i) {
            *pair++ = first + i - 1;
            *pair++ = first + i;
        }
        first += n;
    }
    out.pairs.Shrink();
}

bool CMeshBuilder::Build(int32_t width, int32_t height, int32_t rowBytes, const uint8_t* mask,
                         float tolerance, int32_t window, Export* out) {
    Reset();
    outOfMemory_ = false;
    export_ = out;
    struct ForgetExport {
        Export*& slot;
        ~ForgetExport() { slot = nullptr; }
    } forget{export_};
    // NaN counts as "not set" like any value that is not positive.
    if (!(tolerance > 0.0f)) tolerance = 1.0f;
    if (tolerance > 10.0f) tolerance = 10.0f;
    window = std::clamp(window, 2, 30);
    try {
        // The mask is read in place: a view costs no second image-sized copy.
        if (width < 1 || height < 1 || rowBytes < width || !mask ||
            !mask_.Attach(mask, height, width, rowBytes))
            throw BorderTraceError(kLoadError);
        const SmoothingSettings settings{tolerance, window};
        if (out && batchPoints_ > 0)
            out->helper = std::make_unique<SmoothingHelper>(tolerance, window);
        FlatBorderLines().Swap(batch_);
        TraceLines(mask_, lines_, &settings);
        mask_.Release();
        if (out) {
            Reset();  // every line went out already
            FinishExport(*out);
            return true;
        }

        for (const BorderLine& line : lines_)
            if (IsSliver(line))
                for (BorderPoint* p : line.points) p->flags = kBorderRemove | kBorderDeleted;
        lines_.erase(std::remove_if(lines_.begin(), lines_.end(), IsSliver), lines_.end());
        for (const BorderLine& line : lines_)
            for (BorderPoint* p : line.points)
                p->flags = (p->flags | kBorderAnchor) & ~uint32_t{kBorderRemove};
        // Nothing is looked up any more; the points live on with their lines.
        linePoints_.Clear();
    } catch (const BorderTraceError& e) {
        platform::DebugOutput(e.what());
        Reset();
        return false;
    } catch (const std::bad_alloc&) {
        outOfMemory_ = true;
        Reset();
        return false;
    } catch (const ExportTooLarge&) {
        Reset();
        return false;
    }
    return true;
}

bool CMeshBuilder::LoadMask(int32_t width, int32_t height, int32_t rowBytes, const uint8_t* mask,
                            float tolerance, int32_t window, uint32_t& pointCount,
                            uint32_t& segmentCount, float*& points, uint32_t*& segments) {
    pointCount = segmentCount = 0;
    points = nullptr;
    segments = nullptr;
    Export out;
    const bool built = Build(width, height, rowBytes, mask, tolerance, window, &out);
    if (!built || out.pairs.Size() == 0) return built;  // nothing to export is no failure
    pointCount = static_cast<uint32_t>(out.xy.Size() / 2);
    segmentCount = static_cast<uint32_t>(out.pairs.Size() / 2);
    points = out.xy.Release();
    segments = out.pairs.Release();
    return true;
}

}  // namespace fw
