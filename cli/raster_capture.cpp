// Test helper (Linux): preloaded into a frostweave run, it records what the module hands
// the renderer and passes the call on. Each call appends to $FW_RASTER_CAPTURE: six int32
// (width, height, centreX, centreY, pointCount, triangleCount), then the point and the
// triangle arrays as they are in memory.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "prismcore/prismcore.h"

using RasterScene = decltype(&__RasterScene);

extern "C" __attribute__((visibility("default"))) void __RasterScene(
    uint8_t* background, const uint8_t* source, int32_t width, int32_t height, int32_t rowLength,
    int32_t pointCount, int32_t triangleCount, const __Triangle3ds* triangles,
    const __Point3ds* points, int32_t centerX, int32_t centerY, int32_t materialCount,
    const material3ds* materials, const __Texture* textures, int32_t lightCount,
    const light3ds* lights, const GlassProp* glass) {
    if (const char* path = std::getenv("FW_RASTER_CAPTURE")) {
        if (FILE* f = std::fopen(path, "ab")) {
            const int32_t head[6] = {width, height, centerX, centerY, pointCount, triangleCount};
            std::fwrite(head, sizeof head, 1, f);
            if (pointCount > 0) std::fwrite(points, sizeof(__Point3ds), size_t(pointCount), f);
            if (triangleCount > 0)
                std::fwrite(triangles, sizeof(__Triangle3ds), size_t(triangleCount), f);
            std::fclose(f);
        }
    }
    static const auto next = reinterpret_cast<RasterScene>(dlsym(RTLD_NEXT, "__RasterScene"));
    if (next)
        next(background, source, width, height, rowLength, pointCount, triangleCount, triangles,
             points, centerX, centerY, materialCount, materials, textures, lightCount, lights,
             glass);
}
