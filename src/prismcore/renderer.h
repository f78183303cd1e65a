// The frame of one __RasterScene call: bins the triangles into tiles and renders the tiles
// on worker threads, each tile independently and its triangles in array order, so the
// picture is the same for any thread count.
#pragma once

#include <cstdint>

#include "prismcore/raster.h"
#include "prismcore/shading.h"

namespace fw::prismcore {

// Bin entries held at once (4 bytes each). Beyond it the picture is binned and drawn in
// bands of tile rows, so memory stays bounded whatever the triangle count.
constexpr uint64_t kBinBudget = uint64_t{16} << 20;

struct RenderJob {
    SceneView scene;
    const ShadingModel* model = nullptr;
    uint8_t* background = nullptr;  // written
    Picture backgroundView{nullptr, 0, 0, 0, false};
    Picture source{nullptr, 0, 0, 0, false};
    DrawMode mode = DrawMode::kPhong;
    bool antialias = false;
    int threads = 1;
    bool wideLanes = false;  // shade eight pixels at a time in AVX2 registers
};

// False only when memory ran out; nothing is drawn then (everything a frame needs is had
// before the first pixel is written).
bool RenderScene(const RenderJob& job);

// Eight-lane shading where the processor has AVX2, unless PRISMCORE_LANES is 4. The picture
// is the same either way.
bool WideLanesFromEnvironment();

// Thread count from PRISMCORE_THREADS (1 = no worker threads), default all cores.
int ThreadCountFromEnvironment();

}  // namespace fw::prismcore
