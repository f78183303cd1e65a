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
//     smoother.Load(line);  // the line's points may be given back after this
//     smoother.Smooth(tolerance, window);
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

// A line on its own: each point object of the traced line once in `table`, however often
// the line passes it, and the line as indices into the table.
struct FlatBorderLine {
    std::vector<FlatBorderPoint> table;
    std::vector<uint32_t> ids;
    bool closed = false;
    uint8_t rightColour = kNoColour;
    uint8_t leftColour = kNoColour;

    void Swap(FlatBorderLine& other) {
        table.swap(other.table);
        ids.swap(other.ids);
        std::swap(closed, other.closed);
        std::swap(rightColour, other.rightColour);
        std::swap(leftColour, other.leftColour);
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
    // Copies `line` with the flags its smoothing starts from.
    void Load(const BorderLine& line);
    // Whether Smooth changes flags that later lines read: then it must run, and WriteBack
    // after it, before the next line is loaded.
    bool LeavesFlags() const { return !junctions_.empty(); }
    void WriteBack();
    // The loaded line, to be handed to another smoother (Take) or kept.
    FlatBorderLine& Line() { return line_; }
    void Take(FlatBorderLine& line) { line_.Swap(line); }

    // Smooths the loaded line; tolerance and window as PostProcessBorderLine takes them.
    void Smooth(float tolerance, int32_t window);
    // The smoothed line's positions (flags are meaningless here).
    const std::vector<FlatBorderPoint>& Result() const { return result_; }

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

    FlatBorderLine line_;
    std::vector<std::pair<uint32_t, BorderPoint*>> junctions_;  // of a closed line
    std::vector<uint32_t> points_, spare_;  // the line being rewritten, pass by pass
    std::vector<FlatBorderPoint> result_;
    IndexTable index_;
    std::vector<double> xs_, ys_;
    std::vector<std::pair<size_t, size_t>> stack_;
};

}  // namespace fw
