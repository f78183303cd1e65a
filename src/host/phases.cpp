#include "host/phases.h"

#include <algorithm>
#include <cstdint>

#include "host/filter_run.h"
#include "host/host_services.h"
#include "host/scripting_hooks.h"

namespace fw {

using namespace sdk;

namespace {

constexpr Rect kEmptyRect{0, 0, 0, 0};

void SetAllRects(const Rect& r) {
    SetInRect(r);
    SetOutRect(r);
    SetMaskRect(r);
}

// The band from `top`, `rows` high, cut at the filter rectangle's bottom so nothing
// outside the filter rectangle is handed back to the host.
Rect Band(int top, int rows) {
    const Rect f = GetFilterRect();
    const int bottom = std::min(top + rows, int(f.bottom));
    return Rect{int16_t(top), f.left, int16_t(bottom), f.right};
}

void SetWholePlanes(FilterRecord& fr) {
    fr.inLoPlane = fr.outLoPlane = 0;
    fr.inHiPlane = fr.outHiPlane = int16_t(fr.planes - 1);
    fr.inputRate = fr.maskRate = kFixedOne;
}

bool Cancelled(FilterRecord& fr) {
    return fr.abortProc && fr.abortProc();
}

// "By selection" grows from the whole selection, so the band that grows the pattern (the
// first) asks the host for the mask of the whole filter area.
bool NeedsWholeMask(const FilterRecord& fr, const EffectParameters& p) {
    return fr.haveMask && p.MaskKind == kMaskBySelection && p.EffectKind != kSingle;
}

// Out and mask rectangles are the band; the input has the rows around it its glass reads.
void SetBandRects(PluginGlobals* g, int top, int rows) {
    const Rect band = Band(top, rows);
    SetOutRect(band);
    SetMaskRect(band);
    SetInRect(BandInputRect(g, band));
    const Rect filter = GetFilterRect();
    if (top == filter.top && NeedsWholeMask(Filter(g), *Parameters(g))) SetMaskRect(filter);
}

void RunAllBands(PluginGlobals* g) {
    FilterRecord& fr = Filter(g);
    EffectParameters* p = Parameters(g);
    SetWholePlanes(fr);
    const Rect filter = GetFilterRect();
    SetAllRects(filter);
    const int rows = std::max<int>(1, p->RowsPerBand);
    for (int y = filter.top; y < filter.bottom; y += rows) {
        if (Cancelled(fr) || Result(g) != kNoErr) {
            Result(g) = kUserCanceledErr;
            return;
        }
        SetBandRects(g, y, rows);
        Result(g) = fr.advanceState();
        if (Result(g) != kNoErr) return;
        DoFilter(g, true);
        if (Result(g) != kNoErr) return;  // a band short of memory: -108 goes back as it is
    }
    SetAllRects(kEmptyRect);
}

void StartBands(PluginGlobals* g) {
    FilterRecord& fr = Filter(g);
    SetWholePlanes(fr);
    fr.inputPadding = fr.outputPadding = fr.maskPadding = 255;
    const Rect filter = GetFilterRect();
    EffectParameters* p = Parameters(g);
    SetBandRects(g, filter.top, std::max<int>(1, p->RowsPerBand));
}

}  // namespace

void DoParameters(PluginGlobals* g) {
    if (!EnsureParameters(g)) return;
    Parameters(g)->ShowDialog = 1;
}

void DoPrepare(PluginGlobals* g) {
    FilterRecord& fr = Filter(g);
    fr.bufferSpace = 0;
    if (!EnsureParameters(g)) return;
    const Rect f = GetFilterRect();
    const int64_t w = f.right - f.left, h = f.bottom - f.top;
    // A mask row plus an input and an output row.
    const int64_t rowCost = std::max<int64_t>(1, w + 2 * int64_t(fr.planes) * w);
    int64_t rows = 1;
    while (rows * rowCost < fr.maxSpace && rows < h && rows < INT16_MAX) ++rows;
    Parameters(g)->RowsPerBand = int16_t(rows);
    fr.maxSpace = int32_t(std::min<int64_t>(rows * rowCost, INT32_MAX));
}

void DoStart(PluginGlobals* g) {
    if (!EnsureParameters(g)) return;
    FilterRecord& fr = Filter(g);
    EffectParameters* p = Parameters(g);
    p->UseAdvanceState = fr.advanceState && fr.displayPixels && !p->HostIsPremiere ? 1 : 0;
    ReadScriptParams(g);
    if (p->ShowDialog) {
        RunMainDialog(g);
        p->ShowDialog = 0;
    }
    p->NeedsRegeneration = 1;
    if (Result(g) != kNoErr) return;
    if (!BandBuffersFit(g, std::max<int>(1, p->RowsPerBand))) {
        Result(g) = kMemFullErr;
        return;
    }
    if (p->UseAdvanceState) {
        RunAllBands(g);
        ReleaseBandBuffers();
    } else {
        StartBands(g);
    }
}

void DoContinue(PluginGlobals* g) {
    FilterRecord& fr = Filter(g);
    if (Cancelled(fr) || Result(g) != kNoErr) {
        Result(g) = kUserCanceledErr;
        ReleaseBandBuffers();
        return;
    }
    EffectParameters* p = Parameters(g);
    if (!p || p->UseAdvanceState) {
        SetAllRects(kEmptyRect);
        return;
    }
    DoFilter(g, true);
    const int rows = std::max<int>(1, p->RowsPerBand);
    const int top = GetOutRect().top + rows;
    if (top < GetFilterRect().bottom) {
        SetBandRects(g, top, rows);
    } else {
        SetAllRects(kEmptyRect);
        ReleaseBandBuffers();
    }
}

void DoFinish(PluginGlobals* g) {
    ReleaseBandBuffers();
    WriteScriptParams(g);
}

}  // namespace fw
