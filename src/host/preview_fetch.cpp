#include "host/preview_fetch.h"

#include <cmath>

#include "host/filter_run.h"
#include "platform/platform.h"

namespace fw {

using namespace sdk;

double PreviewZoom = 1.0;
double FitScale = 1.0;
double PreviewScale = 1.0;
PreviewSurfaceData* g_previewSurface = nullptr;

void ReleasePreviewBuffers(PreviewSurfaceData& s) {
    platform::FreePages(s.SourceBuffer);
    platform::FreePages(s.RenderBuffer);
    s.SourceBuffer = s.RenderBuffer = nullptr;
    s.BufferWidth = s.BufferHeight = 0;
}

void FetchPreviewSource(PluginGlobals* g, PreviewSurfaceData& s) {
    FilterRecord& fr = Filter(g);
    Rect& proxy = g->ProxyBounds;
    const Rect filter = GetFilterRect();
    const double filterW = filter.right - filter.left, filterH = filter.bottom - filter.top;

    // A preview without a size has nothing to show (and would divide by zero).
    if (proxy.right <= proxy.left || proxy.bottom <= proxy.top || filterW <= 0 || filterH <= 0)
        return;
    double f =
        std::fmax(filterW / (proxy.right - proxy.left), filterH / (proxy.bottom - proxy.top));
    if (f < 1) f = 1;
    FitScale = std::floor(f + 0.5);

    proxy.right = int16_t(proxy.right - proxy.left);
    proxy.bottom = int16_t(proxy.bottom - proxy.top);
    proxy.left = proxy.top = 0;

    SetInRect(filter);
    const double z = PreviewZoom;
    PreviewScale = std::trunc(FitScale * z);
    const int sOverZ = int(PreviewScale / z) > 0 ? int(PreviewScale / z) : 1;

    Rect r = filter;
    r.top = int16_t(r.top / sOverZ);
    r.left = int16_t(r.left / sOverZ);
    r.bottom = int16_t(r.bottom / sOverZ);
    r.right = int16_t(r.right / sOverZ);
    r.bottom = int16_t(std::fmin(std::trunc(r.bottom / z), s.ClientHeight));
    r.right = int16_t(std::fmin(std::trunc(r.right / z), s.ClientWidth));

    if (z > 1) {
        s.PanX = s.PanY = 0;
    } else {
        const double scale = PreviewScale > 0 ? PreviewScale : 1;
        const double maxX = fr.imageSize.h / scale - s.ClientWidth;
        const double maxY = fr.imageSize.v / scale - s.ClientHeight;
        if (s.PanX > maxX) s.PanX = int(maxX);
        if (s.PanY > maxY) s.PanY = int(maxY);
    }
    if (s.PanX < 0) s.PanX = 0;
    if (s.PanY < 0) s.PanY = 0;

    r.top = int16_t(r.top + s.PanY);
    r.bottom = int16_t(r.bottom + s.PanY);
    r.left = int16_t(r.left + s.PanX);
    r.right = int16_t(r.right + s.PanX);

    SetInRect(r);
    SetMaskRect(r);
    SetOutRect(r);
    fr.inLoPlane = fr.outLoPlane = 0;
    fr.inHiPlane = fr.outHiPlane = int16_t(fr.planes - 1);
    fr.inputRate = fr.maskRate = Fixed(PreviewScale * 65536);
    fr.inputPadding = fr.outputPadding = fr.maskPadding = 255;

    Result(g) = fr.advanceState ? fr.advanceState() : kParamErr;

    if (!s.ShowRendered) return;
    const Rect out = GetOutRect();
    const int w = out.right - out.left, h = out.bottom - out.top;
    ReleasePreviewBuffers(s);
    if (w <= 0 || h <= 0) return;
    s.SourceBuffer = static_cast<uint8_t*>(platform::AllocatePages(size_t(w) * h * 4));
    s.RenderBuffer = static_cast<uint8_t*>(platform::AllocatePages(size_t(w) * h * 4));
    if (!s.SourceBuffer || !s.RenderBuffer || !fr.inData) {
        ReleasePreviewBuffers(s);
        return;
    }
    s.BufferWidth = w;
    s.BufferHeight = h;
    const bool sixteen = fr.depth == 16;
    for (int y = 0; y < h; ++y) {
        const auto* row = static_cast<const uint8_t*>(fr.inData) + size_t(y) * fr.inRowBytes;
        uint8_t* dst = s.SourceBuffer + size_t(y) * w * 4;
        for (int x = 0; x < w; ++x, dst += 4) {
            auto component = [&](int plane) -> uint8_t {
                if (!sixteen) return row[size_t(x) * fr.planes + plane];
                const auto* px = reinterpret_cast<const uint16_t*>(row) + size_t(x) * fr.planes;
                const unsigned v = px[plane] >> 7u;
                return uint8_t(v > 255 ? 255 : v);
            };
            dst[1] = component(0);
            dst[2] = component(1);
            dst[3] = component(2);
            dst[0] = fr.planes >= 4 ? component(3) : 255;
        }
    }
}

}  // namespace fw
