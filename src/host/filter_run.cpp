#include "host/filter_run.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "host/preview_state.h"
#include "platform/block_size.h"
#include "platform/platform.h"
#include "render/scene_assembly.h"

namespace fw {

using namespace sdk;

bool DialogPreviewActive = false;
bool FilePreviewActive = false;

namespace {

// The host's 32-bit coordinate record, when it has one and expects us to use it.
BigDocumentStruct* BigDocument() {
    FilterRecord* fr = CurrentFilterRecord;
    if (!fr || !fr->bigDocumentData || !fr->bigDocumentData->PluginUsing32BitCoordinates)
        return nullptr;
    return fr->bigDocumentData;
}

Rect FromV(const VRect& v) {
    return Rect{int16_t(v.top), int16_t(v.left), int16_t(v.bottom), int16_t(v.right)};
}
VRect ToV(const Rect& r) {
    return VRect{r.top, r.left, r.bottom, r.right};
}

// Copies the current rectangle through unchanged, every plane, in the document's depth.
void CopyInputToOutput(const FilterRecord& fr) {
    if (!fr.inData || !fr.outData) return;
    const Rect out = GetOutRect();
    const int w = out.right - out.left, h = out.bottom - out.top;
    const int depth = fr.depth == 0 ? 8 : fr.depth;
    const int bytes = depth >= 32 ? 4 : depth == 16 ? 2 : 1;
    const int inPlanes = fr.inHiPlane - fr.inLoPlane + 1;
    const int outPlanes = fr.outHiPlane - fr.outLoPlane + 1;
    const int planes = inPlanes < outPlanes ? inPlanes : outPlanes;
    if (w <= 0 || h <= 0 || planes <= 0) return;
    for (int y = 0; y < h; ++y) {
        const auto* src = static_cast<const uint8_t*>(fr.inData) + size_t(y) * fr.inRowBytes;
        auto* dst = static_cast<uint8_t*>(fr.outData) + size_t(y) * fr.outRowBytes;
        if (inPlanes == outPlanes) {
            std::memcpy(dst, src, size_t(w) * planes * bytes);
            continue;
        }
        for (int x = 0; x < w; ++x)
            std::memcpy(dst + size_t(x) * outPlanes * bytes, src + size_t(x) * inPlanes * bytes,
                        size_t(planes) * bytes);
    }
}

}  // namespace

Rect GetFilterRect() {
    if (BigDocumentStruct* big = BigDocument()) return FromV(big->filterRect32);
    return CurrentFilterRecord->filterRect;
}

Rect GetInRect() {
    if (BigDocumentStruct* big = BigDocument()) return FromV(big->inRect32);
    return CurrentFilterRecord->inRect;
}

Rect GetOutRect() {
    if (BigDocumentStruct* big = BigDocument()) return FromV(big->outRect32);
    return CurrentFilterRecord->outRect;
}

Rect GetMaskRect() {
    if (BigDocumentStruct* big = BigDocument()) return FromV(big->maskRect32);
    return CurrentFilterRecord->maskRect;
}

void SetInRect(const Rect& r) {
    if (BigDocumentStruct* big = BigDocument())
        big->inRect32 = ToV(r);
    else
        CurrentFilterRecord->inRect = r;
}

void SetOutRect(const Rect& r) {
    if (BigDocumentStruct* big = BigDocument())
        big->outRect32 = ToV(r);
    else
        CurrentFilterRecord->outRect = r;
}

void SetMaskRect(const Rect& r) {
    if (BigDocumentStruct* big = BigDocument())
        big->maskRect32 = ToV(r);
    else
        CurrentFilterRecord->maskRect = r;
}

void HostToWorking(void* working, const void* inData, int w, int h, int32_t inRowBytes, int planes,
                   bool sixteen) {
    for (int y = 0; y < h; ++y) {
        if (sixteen) {
            const auto* src = reinterpret_cast<const uint16_t*>(
                static_cast<const uint8_t*>(inData) + size_t(y) * inRowBytes);
            auto* dst = static_cast<uint16_t*>(working) + size_t(y) * w * 4;
            for (int x = 0; x < w; ++x, src += planes, dst += 4) {
                dst[0] = planes >= 4 ? src[3] : 32768;
                dst[1] = src[0];
                dst[2] = src[1];
                dst[3] = src[2];
            }
        } else {
            const auto* src = static_cast<const uint8_t*>(inData) + size_t(y) * inRowBytes;
            auto* dst = static_cast<uint8_t*>(working) + size_t(y) * w * 4;
            for (int x = 0; x < w; ++x, src += planes, dst += 4) {
                dst[0] = planes >= 4 ? src[3] : 255;
                dst[1] = src[0];
                dst[2] = src[1];
                dst[3] = src[2];
            }
        }
    }
}

namespace {

template <typename T>
void WorkingRowToHost(const T* src, T* dst, const T* in, int w, int planes, uint32_t full) {
    for (int x = 0; x < w; ++x, src += 4, dst += planes, in += planes) {
        if (planes < 4) {
            const uint32_t a = src[0];
            dst[0] = T(src[1] * a / full);
            dst[1] = T(src[2] * a / full);
            dst[2] = T(src[3] * a / full);
        } else {
            dst[0] = src[1];
            dst[1] = src[2];
            dst[2] = src[3];
            dst[3] = src[0];
            if (planes >= 5) dst[4] = in[4];
        }
    }
}

}  // namespace

void WorkingToHost(const void* working, void* outData, const void* inData, int w, int h,
                   int32_t outRowBytes, int32_t inRowBytes, int planes, bool sixteen) {
    for (int y = 0; y < h; ++y) {
        auto* outRow = static_cast<uint8_t*>(outData) + size_t(y) * outRowBytes;
        const auto* inRow = static_cast<const uint8_t*>(inData) + size_t(y) * inRowBytes;
        if (sixteen)
            WorkingRowToHost(static_cast<const uint16_t*>(working) + size_t(y) * w * 4,
                             reinterpret_cast<uint16_t*>(outRow),
                             reinterpret_cast<const uint16_t*>(inRow), w, planes, 32768);
        else
            WorkingRowToHost(static_cast<const uint8_t*>(working) + size_t(y) * w * 4, outRow,
                             inRow, w, planes, 255);
    }
}

SceneRequest SceneRequestFor(PluginGlobals* g, void* output, const void* input, float cx, float cy,
                             float offsetX, float offsetY, int32_t rowStride, bool final) {
    FilterRecord& fr = Filter(g);
    EffectParameters* p = Parameters(g);
    SceneRequest r;
    if (!p) return r;
    const Rect out = GetOutRect();
    const Rect filter = GetFilterRect();
    const int depth = fr.depth == 0 ? 8 : fr.depth;
    r.parameters = p;
    r.filterWidth = filter.right - filter.left;
    r.filterHeight = filter.bottom - filter.top;
    r.zoom = DialogPreviewActive && PreviewScale > 0 ? PreviewScale : 1.0;
    r.width = out.right - out.left;
    r.height = out.bottom - out.top;
    // A band's place in the filter area, or the panned preview's offset.
    r.left = final ? out.left - filter.left : int32_t(offsetX);
    r.top = final ? out.top - filter.top : int32_t(offsetY);
    r.centreX = double(cx) + offsetX;
    r.centreY = double(cy) + offsetY;
    r.sixteen = depth == 16 && !DialogPreviewActive;  // previews are always 8-bit
    r.quality = DialogPreviewActive ? 0 : 1;

    r.selectionPresent = fr.haveMask != 0;
    if (fr.haveMask && fr.maskData) {
        // The band walk makes the mask rectangle the whole filter area for the band that
        // grows the pattern.
        const Rect m = GetMaskRect();
        r.selection.data = static_cast<const uint8_t*>(fr.maskData);
        r.selection.width = m.right - m.left;
        r.selection.height = m.bottom - m.top;
        r.selection.rowBytes = fr.maskRowBytes;
        r.selection.left = m.left - filter.left;
        r.selection.top = m.top - filter.top;
    }

    // The open dialog keeps its texture; a final render loads a fresh one.
    if (DialogPreviewActive) r.bumpSource = p->Texture;

    r.input = input;
    r.output = output;
    r.rowBytes = rowStride;
    if (final && fr.progressProc) {
        const ProgressProc progress = fr.progressProc;
        r.progress = [progress](int32_t done) { progress(done, 100); };
    }
    return r;
}

bool BuildAndRenderScene(PluginGlobals* g, void* output, const void* input, float cx, float cy,
                         float offsetX, float offsetY, int32_t rowStride, bool final) {
    SceneRequest r = SceneRequestFor(g, output, input, cx, cy, offsetX, offsetY, rowStride, final);
    if (!r.parameters) return true;
    uint8_t* freshTexture = DialogPreviewActive ? nullptr : LoadTexture();
    if (freshTexture) r.bumpSource = freshTexture;
    const bool rendered = RenderScene(r);
    std::free(freshTexture);
    return rendered;
}

namespace {

std::optional<size_t> WorkingBytes(int w, int h, bool sixteen) {
    return BlockBytes({w, h, 4, sixteen ? 2 : 1});
}

}  // namespace

bool BandBuffersFit(PluginGlobals* g, int rows) {
    const Rect filter = GetFilterRect();
    const int depth = Filter(g).depth == 0 ? 8 : Filter(g).depth;
    const int h = std::min(rows, filter.bottom - filter.top);
    const std::optional<size_t> one = WorkingBytes(filter.right - filter.left, h, depth == 16);
    return TotalBytes({one, one, one, one}).has_value();
}

void DoFilter(PluginGlobals* g, bool final) {
    FilterRecord& fr = Filter(g);
    EffectParameters* p = Parameters(g);
    if (!p) return;
    const Rect out = GetOutRect();
    const int w = out.right - out.left, h = out.bottom - out.top;
    const int depth = fr.depth == 0 ? 8 : fr.depth;
    const bool sixteen = depth == 16;

    // The preset chooser's preview renders the record's own small buffers instead.
    const bool dialogPreview =
        !final && DialogPreviewActive && !FilePreviewActive && g_previewSurface;
    const double scale = dialogPreview ? PreviewScale : 1.0;
    const int offsetX = dialogPreview ? g_previewSurface->PanX : 0;
    const int offsetY = dialogPreview ? g_previewSurface->PanY : 0;

    if (!p->Texture) p->Texture = LoadTexture();

    const Rect filter = GetFilterRect();
    const int fullW = int((filter.right - filter.left) / scale + 0.5);
    const int fullH = int((filter.bottom - filter.top) / scale + 0.5);

    if (fr.imageMode != kModeRGBColor && fr.imageMode != kModeRGB48) {
        platform::ShowMessage("Sory", "dont support this image mode");
        CopyInputToOutput(fr);
        return;
    }
    if (w <= 0 || h <= 0) return;

    void* input = nullptr;
    void* output = nullptr;
    int32_t stride = 0;
    bool ownBuffers = false;
    if (final) {
        if (!fr.inData || !fr.outData) return;  // nothing to render from or into
        const std::optional<size_t> bytes = WorkingBytes(w, h, sixteen);
        if (bytes) {
            input = platform::AllocatePages(*bytes);
            output = platform::AllocatePages(*bytes);
        }
        if (!input || !output) {
            // Nothing is rendered; the host's output stays as it prepared it.
            platform::FreePages(input);
            platform::FreePages(output);
            Result(g) = kMemFullErr;
            return;
        }
        ownBuffers = true;
        HostToWorking(input, fr.inData, w, h, fr.inRowBytes, fr.planes, sixteen);
        stride = w * 4 * (sixteen ? 2 : 1);
    } else if (dialogPreview) {
        input = g_previewSurface->SourceBuffer;
        output = g_previewSurface->RenderBuffer;
        stride = w * 4;
    } else {
        input = fr.inData;
        output = fr.outData;
        stride = fr.outRowBytes;
    }

    float cx = 0, cy = 0;
    EffectCentre(fullW, fullH, p->CenterX, p->CenterY, offsetX, offsetY, cx, cy);
    bool rendered = true;
    if (output)
        rendered = BuildAndRenderScene(g, output, input, cx, cy, float(offsetX), float(offsetY),
                                       stride, final);

    if (ownBuffers) {
        platform::FreePages(input);
        if (rendered)
            WorkingToHost(output, fr.outData, fr.inData, w, h, fr.outRowBytes, fr.inRowBytes,
                          fr.planes, sixteen);
        else
            Result(g) = kMemFullErr;
        platform::FreePages(output);
        FreeTexture(*p);
    }
}

}  // namespace fw
