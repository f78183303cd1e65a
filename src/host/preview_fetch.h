// The preview's source pixels: the visible part of the filter area, fetched from the host
// at the preview's scale (the host samples every S-th pixel) into an 8-bit buffer.
#pragma once

#include "host/globals.h"
#include "host/preview_state.h"

namespace fw {

void FetchPreviewSource(PluginGlobals* g, PreviewSurfaceData& surface);
void ReleasePreviewBuffers(PreviewSurfaceData& surface);

}  // namespace fw
