// The library's C interface: the settings the caller makes before each render and the render
// call itself. The settings are module-wide, as the caller sets them from one thread.
#include "prismcore/prismcore.h"

#include <atomic>

#include "prismcore/renderer.h"

namespace {

std::atomic<uint8_t> gDrawMode{6};
std::atomic<uint8_t> gQuality{0};
std::atomic<uint8_t> gDeep{0};
std::atomic<uint8_t> gDoubleSide{0};

}  // namespace

extern "C" {

PRISMCORE_API void PRISMCORE_CALL __SetDrawMode(uint8_t mode) {
    gDrawMode = mode;
}
PRISMCORE_API void PRISMCORE_CALL __SetQuality(uint8_t level) {
    gQuality = level;
}
PRISMCORE_API void PRISMCORE_CALL __SetDeep(uint8_t deep) {
    gDeep = deep;
}
PRISMCORE_API uint8_t PRISMCORE_CALL __GetDeep(void) {
    return gDeep;
}
// Refracting the picture drawn so far would make the result depend on drawing order across
// tiles; the caller always passes 0, so the source picture is what the glass shows.
PRISMCORE_API void PRISMCORE_CALL __SetUseMultyRefract(uint8_t) {}
PRISMCORE_API void PRISMCORE_CALL __SetDubleSide(uint8_t doubleSide) {
    gDoubleSide = doubleSide;
}

PRISMCORE_API void PRISMCORE_CALL __RasterScene(
    uint8_t* background, const uint8_t* source, int32_t width, int32_t height, int32_t rowLength,
    int32_t pointCount, int32_t triangleCount, const __Triangle3ds* triangles,
    const __Point3ds* points, int32_t centerX, int32_t centerY, int32_t materialCount,
    const material3ds* materials, const __Texture* textures, int32_t lightCount,
    const light3ds* lights, const GlassProp* glass) {
    using namespace fw::prismcore;
    if (background == nullptr || width <= 0 || height <= 0 || width > kMaxDimension ||
        height > kMaxDimension || rowLength < 4 * width) {
        return;
    }
    if (triangles == nullptr || points == nullptr || triangleCount <= 0 || pointCount <= 0) {
        return;
    }
    bool deep = gDeep != 0;
    RenderJob job;
    job.scene.triangles = triangles;
    job.scene.triangleCount = static_cast<uint32_t>(triangleCount);
    job.scene.points = points;
    job.scene.pointCount = static_cast<uint32_t>(pointCount);
    job.scene.centerX = centerX;
    job.scene.centerY = centerY;
    job.scene.width = width;
    job.scene.height = height;
    job.background = background;
    job.backgroundView = Picture(background, width, height, static_cast<size_t>(rowLength), deep);
    job.source = Picture(source, width, height, static_cast<size_t>(rowLength), deep);
    job.mode = DrawModeFromCode(gDrawMode);
    job.antialias = gQuality != 0;
    job.threads = ThreadCountFromEnvironment();
    job.wideLanes = WideLanesFromEnvironment();
    try {
        ShadingModel model = MakeShadingModel(
            materialCount > 0 ? materials : nullptr, textures, lightCount, lights, glass,
            gDoubleSide != 0, static_cast<float>(centerX), static_cast<float>(centerY));
        job.model = &model;
        RenderScene(job);
    } catch (...) {
        // Nothing may cross the C boundary; the background keeps what was drawn.
    }
}

}  // extern "C"
