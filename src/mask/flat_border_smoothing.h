// FlatBorderSmoother: the smoothing of border_smoothing.h for a line that is only exported,
// on a private copy of its points (positions and flags in one table, the line as indices).
//
// That gives the same lines as PostProcessBorderLine as long as the flags a line starts from
// are the same: its interior points start without smoothing flags in both, and the ends of
// an open line (junctions) carry what the trace and earlier smoothing left there. Only a
// closed line through a junction changes a junction's flags (it treats it as any other
// point): its smoothing writes them back (WriteBack) before the next line is loaded. Every
// other line reads and writes no shared point, so it can be smoothed on any thread. The
// tracer keeps to the shared points for lines after a closed line that starts at a junction,
// whose smoothing clears an anchor that later traces set.
//
//     FlatBorderSmoother smoother;
//     FlatBorderLines lines;
//     smoother.Load(line, lines);  // the line's points may be given back after this
//     smoother.Smooth(lines, 0, tolerance, window);
//     smoother.WriteBack();
//     for (const FlatBorderPoint& p : smoother.Result()) ...
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "mask/border_line.h"

namespace fw {

struct FlatBorderPoint {
    float x, y;
    uint32_t flags;  // kBorderAnchor, kBorderKeepCorner and kBorderRemove only
};

// Lines on their own, one after another: each point object of a traced line once in
// `table`, however often the line passes it, and the line as indices into its own part of
// the table.
struct FlatBorderLines {
    struct Line {
        size_t tableEnd, idsEnd;
        bool closed;
    };
    std::vector<FlatBorderPoint> table;
    std::vector<uint32_t> ids;
    std::vector<Line> lines;

    size_t Size() const { return lines.size(); }
    size_t Points() const { return ids.size(); }
    void PopBack() {
        lines.pop_back();
        table.resize(lines.empty() ? 0 : lines.back().tableEnd);
        ids.resize(lines.empty() ? 0 : lines.back().idsEnd);
    }
    void Swap(FlatBorderLines& other) {
        table.swap(other.table);
        ids.swap(other.ids);
        lines.swap(other.lines);
    }
};

// Positions or pointers to indices, for one line at a time: a new generation forgets every
// entry without touching the slots.
class IndexTable {
  public:
    void Reset(size_t expected);
    // The index entered for `key`, or `fresh`, which is then entered.
    uint32_t FindOrAdd(uint64_t key, uint32_t fresh);

  private:
    struct Slot {
        uint64_t key;
        uint32_t id;
        uint32_t generation;
    };
    void Grow();
    std::vector<Slot> slots_;
    size_t mask_ = 0, size_ = 0;
    uint32_t generation_ = 0;
};

class FlatBorderSmoother {
  public:
    // Appends `line` to `into`, with the flags its smoothing starts from.
    void Load(const BorderLine& line, FlatBorderLines& into);
    // Whether smoothing the line loaded last changes flags that later lines read: then it
    // must be smoothed, and WriteBack called, before the next line is loaded.
    bool LeavesFlags() const { return !junctions_.empty(); }

    // Smooths line k of `lines`; tolerance and window as PostProcessBorderLine takes them.
    void Smooth(const FlatBorderLines& lines, size_t k, float tolerance, int32_t window);
    // Gives the junctions of the line loaded last, smoothed last, their new flags.
    void WriteBack();
    // The smoothed line's positions (flags are meaningless here).
    const std::vector<FlatBorderPoint>& Result() const { return result_; }
    void SwapResult(std::vector<FlatBorderPoint>& other) { result_.swap(other); }

  private:
    uint32_t Intern(float x, float y);
    void MarkCorners(size_t first);
    void MarkSteps();
    void AnchorExtremes();
    void RotateToAnchor();
    void CutCorners();
    void ClearFlags();
    void Simplify(double tolerance);
    void Subdivide(int32_t window);
    void Output();

    std::vector<FlatBorderPoint> table_;  // the line's points and those its smoothing makes
    bool closed_ = false;
    uint32_t ends_[3] = {};                 // the first, second and last but one point of the line
    std::vector<uint32_t> points_, spare_;  // the line being rewritten, pass by pass
    std::vector<FlatBorderPoint> result_;
    std::vector<std::pair<uint32_t, BorderPoint*>> junctions_;  // of a closed line
    IndexTable index_;
    std::vector<double> xs_, ys_;
    std::vector<std::pair<size_t, size_t>> stack_;
};

}  // namespace fw
