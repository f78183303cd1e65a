// The open dialog's preview, as the filter run sees it: which mode DoFilter renders in,
// the preview's scales and the surface it draws into. Module-wide, because the dialog,
// the preset chooser and DoFilter share them while the host waits in the dialog.
#pragma once

#include <cstdint>

namespace fw {

// Set by the main dialog while it is open, and by the preset chooser's preview; together
// they select DoFilter's mode.
extern bool DialogPreviewActive;
extern bool FilePreviewActive;

// Module-wide preview scales.
extern double PreviewZoom;   // Z: the dialog's zoom, 1 at start
extern double FitScale;      // F: document pixels per preview pixel to fit the filter area
extern double PreviewScale;  // S = F x Z, truncated

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

// The surface the open dialog renders into, or null.
extern PreviewSurfaceData* g_previewSurface;

}  // namespace fw
