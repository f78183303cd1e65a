// Between the filter run and the renderer: grows (or reuses) the frost pattern and
// renders it over the band's background into the output buffer.
#pragma once

#include <cstdint>

#include "host/globals.h"

namespace fw {

// `output` and `input` are W x H pixels in the working format (alpha, red, green, blue),
// `rowStride` bytes per row; W and H come from the host's out rectangle.
void BuildAndRenderScene(PluginGlobals* g, void* output, const void* input, float cx, float cy,
                         float offsetX, float offsetY, int32_t rowStride, bool final);

}  // namespace fw
