// The eight-lane shading, compiled for AVX2 (see shading_lanes.h).
#include "prismcore/shading_lanes.h"

namespace fw::prismcore {

void ShadeSurface8(const ShadingModel& model, const ShadeSetup* const setups[8], DrawMode mode,
                   const Picture& source, const float x[8], const float y[8], Shade out[8]) {
    LaneShader<8>::Shade(model, setups, mode, source, x, y, out);
}

}  // namespace fw::prismcore
