// The preview's source pixels: the visible part of the filter area, fetched from the host
// at the preview's scale (the host samples every S-th pixel) into an 8-bit buffer.
#pragma once

#include <cstdint>

#include "host/globals.h"

namespace fw {

// What the fetch and the preview render need of the dialog's preview surface. On Windows
// the surface control carries these; here they are plain data.
struct PreviewSurfaceData {
    int ClientWidth = 0;
    int ClientHeight = 0;
    int PanX = 0;
    int PanY = 0;
    bool ShowRendered = false;
    uint8_t* SourceBuffer = nullptr;  // alpha, red, green, blue; 8-bit
    uint8_t* RenderBuffer = nullptr;
    int BufferWidth = 0;  // size of the two buffers
    int BufferHeight = 0;
};

// Module-wide preview scales, shared with the dialog and DoFilter.
extern double PreviewZoom;   // Z: the dialog's zoom, 1 at start
extern double FitScale;      // F: document pixels per preview pixel to fit the filter area
extern double PreviewScale;  // S = F x Z, truncated

// The surface the open dialog renders into, or null.
extern PreviewSurfaceData* g_previewSurface;

void FetchPreviewSource(PluginGlobals* g, PreviewSurfaceData& surface);
void ReleasePreviewBuffers(PreviewSurfaceData& surface);

}  // namespace fw
