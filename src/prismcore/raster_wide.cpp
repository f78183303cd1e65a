// The sixteen-sample rasteriser's rows in AVX2 registers (see raster_lanes.h).
#include "prismcore/raster_lanes.h"

namespace fw::prismcore {

size_t SixteenSampleSpan8(const SixteenSampleRow& row) {
    return SixteenSampleSpanLanes<8>(row);
}

}  // namespace fw::prismcore
