// The one step between whoever wants frost drawn and the renderer: grows the frost pattern
// (or reuses the one cached in the parameter record), sets up material, lights, glass and
// bump texture, and draws the scene over a background. It knows no host: a SceneRequest
// says everything, so the filter run, the dialog's preview, the preset chooser, the
// command line and the benchmarks all go through the same code.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "params/effect_parameters.h"
#include "prismcore/prismcore.h"
#include "render/pattern_build.h"

namespace fw {

struct SceneRequest {
    // The settings. The record's pattern cache is reused, or grown again and stored when
    // its NeedsRegeneration is set (which this step then clears).
    EffectParameters* parameters = nullptr;

    // The whole filter area in document pixels, and document pixels per rendered pixel
    // (the preview's scale; 1 in the final render).
    int32_t filterWidth = 0, filterHeight = 0;
    double zoom = 1;
    // The rendered rectangle: its size in rendered pixels and its top-left corner within
    // the scaled filter area (a band's place, or a panned preview's offset). Bands placed
    // this way join without a seam.
    int32_t width = 0, height = 0;
    int32_t left = 0, top = 0;
    // The effect centre in rendered pixels of the whole scaled area.
    double centreX = 0, centreY = 0;

    bool sixteen = false;  // 16-bit components (of full scale 32768) in both buffers
    uint8_t quality = 1;   // the renderer's quality: 1 final, 0 the quick preview

    // Whether the picture has a selection (it decides where "By selection" centres the
    // pattern), and its mask when the pixels are at hand (null data: nothing to trace).
    bool selectionPresent = false;
    SelectionMask selection;

    // The bump texture block of LoadTexture, or null for no bump.
    const uint8_t* bumpSource = nullptr;

    // Working pixels (alpha, red, green, blue per pixel) of the rendered rectangle, rows
    // `rowBytes` apart in both buffers. Not needed by PrepareScene.
    const void* input = nullptr;
    void* output = nullptr;
    int32_t rowBytes = 0;

    // Percent done, when someone is watching (the final render).
    std::function<void(int32_t done)> progress;
};

// Everything the renderer is given for a request, pixels aside. The triangles (and the
// points, when they need no moving) are the parameter record's cache: the record must
// outlive the scene and keep its cache.
struct PreparedScene {
    int32_t width = 0, height = 0;
    int32_t centerX = 0, centerY = 0;
    uint8_t drawMode = 6, quality = 1;
    bool deep = false;
    int32_t pointCount = 0, triangleCount = 0;
    const __Triangle3ds* triangles = nullptr;
    const __Point3ds* points = nullptr;
    material3ds material{};
    __Texture textures[PRISMCORE_TEXTURE_COUNT]{};
    light3ds lights[2]{};
    GlassProp glass{};

    struct FreeBlock {
        void operator()(void* p) const;
    };
    std::unique_ptr<__Point3ds, FreeBlock> movedPoints;  // the cache moved to this rectangle
    std::unique_ptr<void, FreeBlock> texels;             // the bump texture for the renderer
};

// The effect centre in render pixels for an area of fullW x fullH render pixels whose
// rendered part starts at (offsetX, offsetY); centerX/Y are thousandths of half the area.
void EffectCentre(int fullW, int fullH, float centerX, float centerY, int offsetX, int offsetY,
                  float& cx, float& cy);

// The 40 x 40 bump texture from bitmap 999: a zero-filled block of kTextureBlockBytes whose
// 3-byte cells hold the bitmap's red value in their first byte. Null on failure; the
// caller frees it.
uint8_t* LoadTexture();

// A request for a whole area of filterWidth x filterHeight document pixels rendered in one
// piece at `zoom` document pixels per rendered pixel (1: the final render of a one-band
// run; more: the dialog's preview of it): the area, the rectangle and the effect centre of
// `p`. Depth, quality, selection, texture and pixels are left to the caller.
SceneRequest WholeAreaRequest(EffectParameters& p, int32_t filterWidth, int32_t filterHeight,
                              double zoom = 1);

// Where the request's pattern goes: the scaled filter area, the view ratio, the shift.
PatternPlacement PlaceScene(const SceneRequest& request);

// Grows the pattern when the record asks for it, then fills `scene`. False when memory is
// short for the pattern, the moved points or the bump texels: nothing should be drawn then.
bool PrepareScene(const SceneRequest& request, PreparedScene& scene);

// Sets the renderer's draw mode, quality and depth and draws the scene over `background`
// (the renderer's layout: red, green, blue, alpha; width x height), `source` behind glass.
void DrawScene(const PreparedScene& scene, uint8_t* background, const uint8_t* source);

// The whole step on working pixels: the output gets its background (the input, or
// nothing with "Alpha cut"), then the scene drawn over it. Without the renderer (a damaged
// installation) the output keeps the background. False when memory is short for the pattern
// or the buffers (sizes beyond what this build can address included): the output is then
// untouched.
bool RenderScene(const SceneRequest& request);

// The same step for a caller that keeps the pixels in the renderer's layout (red, green,
// blue, alpha; width x height of the request, 16-bit when `sixteen`): draws over
// `background`, which the caller has filled, with `source` behind the glass; the request's
// input and output are not used. False when memory is short for the pattern or the scene
// (the background is then untouched); without the renderer the background stays as it is.
bool RenderLibraryScene(const SceneRequest& request, uint8_t* background, const uint8_t* source);

}  // namespace fw
