#include "host/filter_run.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "host/parallel_rows.h"
#include "host/preview_state.h"
#include "platform/block_size.h"
#include "platform/platform.h"
#include "render/scene_assembly.h"
#include "render/scene_records.h"

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

namespace {

// Host pixels (planes components apart) to four-component pixels with alpha first (the
// working format) or last (the renderer's layout); without a transparency plane alpha is
// full. `copy`, when given, gets the same pixels.
template <typename T, uint32_t kFull, bool kAlphaFirst>
void HostRowsToFour(const uint8_t* in, int32_t inRowBytes, T* four, T* copy, int w, int first,
                    int count, int planes) {
    constexpr int kAlpha = kAlphaFirst ? 0 : 3, kRed = kAlphaFirst ? 1 : 0;
    for (int y = first; y < first + count; ++y) {
        const T* s = reinterpret_cast<const T*>(in + size_t(y) * inRowBytes);
        T* d = four + size_t(y) * w * 4;
        for (int x = 0; x < w; ++x, s += planes, d += 4) {
            d[kRed] = s[0];
            d[kRed + 1] = s[1];
            d[kRed + 2] = s[2];
            d[kAlpha] = planes >= 4 ? s[3] : T(kFull);
        }
        if (copy)
            std::memcpy(copy + size_t(y) * w * 4, d - size_t(w) * 4, size_t(w) * 4 * sizeof(T));
    }
}

// Back to the host: without transparency the colour is laid over black by its alpha; with
// it, alpha goes to plane 3 and a fifth plane is kept from the input.
template <typename T, uint32_t kFull, bool kAlphaFirst>
void FourRowsToHost(const T* four, uint8_t* out, int32_t outRowBytes, const uint8_t* in,
                    int32_t inRowBytes, int w, int first, int count, int planes) {
    constexpr int kAlpha = kAlphaFirst ? 0 : 3, kRed = kAlphaFirst ? 1 : 0;
    for (int y = first; y < first + count; ++y) {
        const T* s = four + size_t(y) * w * 4;
        T* d = reinterpret_cast<T*>(out + size_t(y) * outRowBytes);
        const T* extra = reinterpret_cast<const T*>(in + size_t(y) * inRowBytes);
        for (int x = 0; x < w; ++x, s += 4, d += planes, extra += planes) {
            if (planes < 4) {
                const uint32_t a = s[kAlpha];
                d[0] = T(s[kRed] * a / kFull);
                d[1] = T(s[kRed + 1] * a / kFull);
                d[2] = T(s[kRed + 2] * a / kFull);
            } else {
                d[0] = s[kRed];
                d[1] = s[kRed + 1];
                d[2] = s[kRed + 2];
                d[3] = s[kAlpha];
                if (planes >= 5) d[4] = extra[4];
            }
        }
    }
}

}  // namespace

void HostToWorking(void* working, const void* inData, int w, int h, int32_t inRowBytes, int planes,
                   bool sixteen) {
    const auto* in = static_cast<const uint8_t*>(inData);
    if (sixteen)
        HostRowsToFour<uint16_t, 32768, true>(in, inRowBytes, static_cast<uint16_t*>(working),
                                              nullptr, w, 0, h, planes);
    else
        HostRowsToFour<uint8_t, 255, true>(in, inRowBytes, static_cast<uint8_t*>(working), nullptr,
                                           w, 0, h, planes);
}

void WorkingToHost(const void* working, void* outData, const void* inData, int w, int h,
                   int32_t outRowBytes, int32_t inRowBytes, int planes, bool sixteen) {
    auto* out = static_cast<uint8_t*>(outData);
    const auto* in = static_cast<const uint8_t*>(inData);
    if (sixteen)
        FourRowsToHost<uint16_t, 32768, true>(static_cast<const uint16_t*>(working), out,
                                              outRowBytes, in, inRowBytes, w, 0, h, planes);
    else
        FourRowsToHost<uint8_t, 255, true>(static_cast<const uint8_t*>(working), out, outRowBytes,
                                           in, inRowBytes, w, 0, h, planes);
}

namespace {

// The scene request for `area` (the out rectangle, or a band with the rows its glass reads).
SceneRequest RequestForArea(PluginGlobals* g, const Rect& area, void* output, const void* input,
                            float cx, float cy, float offsetX, float offsetY, int32_t rowStride,
                            bool final) {
    FilterRecord& fr = Filter(g);
    EffectParameters* p = Parameters(g);
    SceneRequest r;
    if (!p) return r;
    const Rect filter = GetFilterRect();
    const int depth = fr.depth == 0 ? 8 : fr.depth;
    r.parameters = p;
    r.filterWidth = filter.right - filter.left;
    r.filterHeight = filter.bottom - filter.top;
    r.zoom = DialogPreviewActive && PreviewScale > 0 ? PreviewScale : 1.0;
    r.width = area.right - area.left;
    r.height = area.bottom - area.top;
    // A band's place in the filter area, or the panned preview's offset.
    r.left = final ? area.left - filter.left : int32_t(offsetX);
    r.top = final ? area.top - filter.top : int32_t(offsetY);
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

bool RenderRequest(SceneRequest r) {
    if (!r.parameters) return true;
    uint8_t* freshTexture = DialogPreviewActive ? nullptr : LoadTexture();
    if (freshTexture) r.bumpSource = freshTexture;
    const bool rendered = RenderScene(r);
    std::free(freshTexture);
    return rendered;
}

std::optional<size_t> WorkingBytes(int w, int h, bool sixteen) {
    return BlockBytes({w, h, 4, sixteen ? 2 : 1});
}

// The rows a final render of the current band draws: the band with as much of its glass's
// margin as the host gave. Empty when the host's input does not cover the band.
Rect RenderedRows(PluginGlobals* g) {
    const Rect out = GetOutRect(), in = GetInRect();
    if (in.left > out.left || in.right < out.right || in.top > out.top || in.bottom < out.bottom)
        return Rect{0, 0, 0, 0};
    const int margin = BandInputMargin(g);
    return Rect{int16_t(std::max(int(in.top), out.top - margin)), out.left,
                int16_t(std::min(int(in.bottom), out.bottom + margin)), out.right};
}

// The renderer's two buffers of a band walk, kept from band to band: every band but the
// last has the same size, and fresh pages cost their first touch every time.
struct BandBuffers {
    void* source = nullptr;
    void* background = nullptr;
    size_t bytes = 0;
};
BandBuffers g_bandBuffers;

bool HaveBandBuffers(size_t bytes) {
    if (g_bandBuffers.source && g_bandBuffers.bytes >= bytes) return true;
    ReleaseBandBuffers();
    g_bandBuffers.source = platform::AllocatePages(bytes);
    g_bandBuffers.background = g_bandBuffers.source ? platform::AllocatePages(bytes) : nullptr;
    if (!g_bandBuffers.background) {
        ReleaseBandBuffers();
        return false;
    }
    g_bandBuffers.bytes = bytes;
    return true;
}

// Host pixels straight into the renderer's layout (red, green, blue, alpha): the working
// format's two conversions in one, on the renderer's cores. The background gets the same
// pixels when it is given.
template <typename T, uint32_t kFull>
void HostToLibrary(const uint8_t* in, int32_t inRowBytes, void* source, void* background, int w,
                   int rows, int planes) {
    ForRowRanges(rows, size_t(w) * 4 * sizeof(T), [&](int first, int count) {
        HostRowsToFour<T, kFull, false>(in, inRowBytes, static_cast<T*>(source),
                                        static_cast<T*>(background), w, first, count, planes);
    });
}

// The renderer's layout back to the host, as WorkingToHost does from the working format.
template <typename T, uint32_t kFull>
void LibraryToHost(const void* library, uint8_t* out, int32_t outRowBytes, const uint8_t* in,
                   int32_t inRowBytes, int w, int rows, int planes) {
    ForRowRanges(rows, size_t(w) * 4 * sizeof(T), [&](int first, int count) {
        FourRowsToHost<T, kFull, false>(static_cast<const T*>(library), out, outRowBytes, in,
                                        inRowBytes, w, first, count, planes);
    });
}

// The final render of the current band: host pixels into the renderer's buffers, the scene
// drawn over them, the band's own rows back to the host. False when memory is short.
bool RenderBand(PluginGlobals* g, float cx, float cy) {
    FilterRecord& fr = Filter(g);
    EffectParameters& p = *Parameters(g);
    const Rect out = GetOutRect();
    // The band is drawn with the rows of input around it that its glass reads, so that it
    // refracts what the whole picture would; only its own rows go back.
    const Rect area = RenderedRows(g);
    const int w = area.right - area.left, rows = area.bottom - area.top;
    if (rows <= 0) return true;  // no input for the band: its output stays as the host prepared it
    const bool sixteen = (fr.depth == 0 ? 8 : fr.depth) == 16;
    const std::optional<size_t> bytes = WorkingBytes(w, rows, sixteen);
    if (!bytes || !HaveBandBuffers(*bytes)) return false;
    void* source = g_bandBuffers.source;
    void* background = g_bandBuffers.background;

    const auto* in =
        static_cast<const uint8_t*>(fr.inData) + size_t(area.top - GetInRect().top) * fr.inRowBytes;
    // "Alpha cut" draws over nothing.
    void* copy = p.AlphaCut ? nullptr : background;
    if (sixteen)
        HostToLibrary<uint16_t, 32768>(in, fr.inRowBytes, source, copy, w, rows, fr.planes);
    else
        HostToLibrary<uint8_t, 255>(in, fr.inRowBytes, source, copy, w, rows, fr.planes);
    if (p.AlphaCut) std::memset(background, 0, *bytes);

    SceneRequest r = RequestForArea(g, area, nullptr, nullptr, cx, cy, 0, 0, 0, true);
    uint8_t* freshTexture = LoadTexture();
    r.bumpSource = freshTexture;
    const bool rendered = RenderLibraryScene(r, static_cast<uint8_t*>(background),
                                             static_cast<const uint8_t*>(source));
    std::free(freshTexture);
    if (!rendered) return false;

    const size_t skip = size_t(out.top - area.top);
    const size_t componentBytes = sixteen ? 2 : 1;
    const auto* band = static_cast<const uint8_t*>(background) + skip * w * 4 * componentBytes;
    const int h = out.bottom - out.top;
    auto* outData = static_cast<uint8_t*>(fr.outData);
    if (sixteen)
        LibraryToHost<uint16_t, 32768>(band, outData, fr.outRowBytes, in + skip * fr.inRowBytes,
                                       fr.inRowBytes, w, h, fr.planes);
    else
        LibraryToHost<uint8_t, 255>(band, outData, fr.outRowBytes, in + skip * fr.inRowBytes,
                                    fr.inRowBytes, w, h, fr.planes);
    return true;
}

}  // namespace

void ReleaseBandBuffers() {
    platform::FreePages(g_bandBuffers.source);
    platform::FreePages(g_bandBuffers.background);
    g_bandBuffers = BandBuffers{};
}

SceneRequest SceneRequestFor(PluginGlobals* g, void* output, const void* input, float cx, float cy,
                             float offsetX, float offsetY, int32_t rowStride, bool final) {
    return RequestForArea(g, GetOutRect(), output, input, cx, cy, offsetX, offsetY, rowStride,
                          final);
}

bool BuildAndRenderScene(PluginGlobals* g, void* output, const void* input, float cx, float cy,
                         float offsetX, float offsetY, int32_t rowStride, bool final) {
    return RenderRequest(
        SceneRequestFor(g, output, input, cx, cy, offsetX, offsetY, rowStride, final));
}

int BandInputMargin(PluginGlobals* g) {
    const EffectParameters* p = Parameters(g);
    // A final band is as wide as the filter area: its view ratio is 1.
    return p ? int(std::min<int32_t>(GlassReach(*p, 1.0), INT16_MAX)) : 0;
}

Rect BandInputRect(PluginGlobals* g, const Rect& band) {
    const Rect filter = GetFilterRect();
    const int margin = BandInputMargin(g);
    return Rect{int16_t(std::max(int(filter.top), band.top - margin)), band.left,
                int16_t(std::min(int(filter.bottom), band.bottom + margin)), band.right};
}

bool BandBuffersFit(PluginGlobals* g, int rows) {
    const Rect filter = GetFilterRect();
    const int depth = Filter(g).depth == 0 ? 8 : Filter(g).depth;
    const int h = std::min(rows + 2 * BandInputMargin(g), filter.bottom - filter.top);
    const std::optional<size_t> one = WorkingBytes(filter.right - filter.left, h, depth == 16);
    return TotalBytes({one, one}).has_value();
}

void DoFilter(PluginGlobals* g, bool final) {
    FilterRecord& fr = Filter(g);
    EffectParameters* p = Parameters(g);
    if (!p) return;
    const Rect out = GetOutRect();
    const int w = out.right - out.left, h = out.bottom - out.top;

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

    float cx = 0, cy = 0;
    EffectCentre(fullW, fullH, p->CenterX, p->CenterY, offsetX, offsetY, cx, cy);
    if (!final) {
        void* input = fr.inData;
        void* output = fr.outData;
        int32_t stride = fr.outRowBytes;
        if (dialogPreview) {
            input = g_previewSurface->SourceBuffer;
            output = g_previewSurface->RenderBuffer;
            stride = w * 4;
        }
        if (output)
            BuildAndRenderScene(g, output, input, cx, cy, float(offsetX), float(offsetY), stride,
                                final);
        return;
    }

    if (!fr.inData || !fr.outData) return;                // nothing to render from or into
    if (!RenderBand(g, cx, cy)) Result(g) = kMemFullErr;  // the output stays as it was
    FreeTexture(*p);
}

}  // namespace fw
