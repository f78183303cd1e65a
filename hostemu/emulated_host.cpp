#include "hostemu/emulated_host.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <iterator>
#include <new>
#include <optional>
#include <set>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "host/parallel_rows.h"
#include "platform/block_size.h"
#include "platform/large_pages.h"

namespace hostemu {

using namespace fw::sdk;

Image::Image(int w, int h, int planes_, int depth_)
    : width(w),
      height(h),
      planes(planes_),
      depth(depth_),
      mode(depth_ == 16 ? kModeRGB48 : kModeRGBColor),
      samples(size_t(w) * h * planes_, 0) {}

Image Image::Unfilled(int w, int h, int planes, int depth) {
    Image image(0, 0, planes, depth);
    image.width = w;
    image.height = h;
    image.samples.resize(size_t(w) * size_t(h) * size_t(planes));
    return image;
}

Rect SelectionBounds(const std::vector<uint8_t>& mask, int width, int height) {
    // Row by row from both ends: a noisy mask costs a look at each end of a row, not a
    // mispredicted branch a pixel.
    int top = height, left = width, bottom = 0, right = 0;
    auto selected = [](uint8_t v) { return v != 0; };
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = mask.data() + size_t(y) * size_t(width);
        const uint8_t* first = std::find_if(row, row + width, selected);
        if (first == row + width) continue;
        const auto last = std::find_if(std::make_reverse_iterator(row + width),
                                       std::make_reverse_iterator(first), selected);
        top = std::min(top, y);
        bottom = y + 1;
        left = std::min(left, int(first - row));
        right = std::max(right, int(last.base() - row));
    }
    if (bottom <= top) return Rect{0, 0, 0, 0};
    return Rect{int16_t(top), int16_t(left), int16_t(bottom), int16_t(right)};
}

const char* HostProfileName(HostProfile profile) {
    switch (profile) {
        case HostProfile::ImageEditor:
            return "image editor";
        case HostProfile::Bridge:
            return "bridge";
        case HostProfile::NoParameters:
            return "no parameters selector";
        case HostProfile::Viewer:
            return "viewer";
        case HostProfile::BrokenSizes:
            return "broken handle sizes";
    }
    return "?";
}

HostOptions OptionsFor(HostProfile profile) {
    HostOptions o;
    switch (profile) {
        case HostProfile::ImageEditor:
            o.bigDocument = true;
            break;
        case HostProfile::Bridge:
            o.hostSig = FourCC('P', 'M', 'I', 'G');
            o.descriptors = false;
            o.displayPixels = false;
            o.eightBitOnly = true;
            o.maxSpace = 100'000'000;
            o.filterCase = 0;
            o.keepParameters = false;
            o.keepDataSlot = false;
            o.callFinishAfterSuccess = false;
            break;
        case HostProfile::NoParameters:
            o.callParameters = false;
            o.keepParameters = false;
            o.clipAndReplicate = true;
            break;
        case HostProfile::Viewer:
            o.hostSig = FourCC('U', 'P', '2', '0');
            o.maxSpace = 100'000'000 / 1024;  // meant as kilobytes
            o.keepParameters = false;
            o.keepDataSlot = false;
            o.descriptors = false;
            break;
        case HostProfile::BrokenSizes:
            o.brokenHandleSizes = true;
            break;
    }
    return o;
}

// ------------------------------------------------------------------ module loading

std::unique_ptr<Module> Module::Load(const std::string& path, std::string& error) {
    std::unique_ptr<Module> m(new Module());
#if defined(_WIN32)
    HMODULE lib = LoadLibraryA(path.c_str());
    if (!lib) {
        error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    m->library_ = lib;
    m->entry_ =
        reinterpret_cast<PluginEntry>(reinterpret_cast<void*>(GetProcAddress(lib, "PluginMain")));
#else
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* why = dlerror();
        error = why ? why : ("cannot load " + path);
        return nullptr;
    }
    m->library_ = lib;
    m->entry_ = reinterpret_cast<PluginEntry>(dlsym(lib, "PluginMain"));
#endif
    if (!m->entry_) {
        error = path + " has no PluginMain entry";
        return nullptr;
    }
    return m;
}

Module::~Module() {
    if (!library_) return;
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(library_));
#else
    dlclose(library_);
#endif
}

// ------------------------------------------------------------------ host callbacks

namespace {

EmulatedHost* g_active = nullptr;

// Host handles: the first word is the data pointer, as the interface requires.
struct HandleCell {
    char* data;
    int32_t size;
    int lockDepth;
};

// Like a host's, the handles live until the process ends; the set is never destroyed, so
// what the module keeps in them (its parameter record and pattern cache) stays reachable.
std::set<HandleCell*>& g_handles = *new std::set<HandleCell*>();
int g_newHandleCalls = 0;

bool IsEmpty(const Rect& r) {
    return r.top >= r.bottom || r.left >= r.right;
}

}  // namespace

Handle HostNewHandleForStore(int32_t size) {
    auto* cell = new HandleCell{new char[size_t(size) + 1](), size, 0};
    g_handles.insert(cell);
    return reinterpret_cast<Handle>(cell);
}

struct EmulatedHost::Callbacks {
    static Handle NewHandle(int32_t size) {
        ++g_newHandleCalls;
        if (g_active && g_active->options_.failNewHandle) return nullptr;
        if (size < 0) return nullptr;
        auto* cell = new HandleCell{new char[size_t(size) + 1](), size, 0};
        g_handles.insert(cell);
        return reinterpret_cast<Handle>(cell);
    }
    static void DisposeHandle(Handle h) {
        auto* cell = reinterpret_cast<HandleCell*>(h);
        if (!g_handles.erase(cell)) return;
        ForgetDescriptorHandle(h);
        delete[] cell->data;
        delete cell;
    }
    static int32_t GetSize(Handle h) {
        if (g_active && g_active->options_.brokenHandleSizes) return 0;
        auto* cell = reinterpret_cast<HandleCell*>(h);
        return g_handles.count(cell) ? cell->size : 0;
    }
    static OSErr SetSize(Handle h, int32_t size) {
        if (g_active && g_active->options_.brokenHandleSizes) return kNoErr;
        auto* cell = reinterpret_cast<HandleCell*>(h);
        if (!g_handles.count(cell) || size < 0) return kParamErr;
        char* data = new char[size_t(size) + 1]();
        std::memcpy(data, cell->data, size_t(std::min(size, cell->size)));
        delete[] cell->data;
        cell->data = data;
        cell->size = size;
        return kNoErr;
    }
    static Ptr Lock(Handle h, Boolean) {
        auto* cell = reinterpret_cast<HandleCell*>(h);
        if (!g_handles.count(cell)) return nullptr;
        ++cell->lockDepth;
        return cell->data;
    }
    static void Unlock(Handle h) {
        auto* cell = reinterpret_cast<HandleCell*>(h);
        if (g_handles.count(cell) && cell->lockDepth > 0) --cell->lockDepth;
    }
    static void RecoverSpace(int32_t) {}

    static Boolean Abort() {
        EmulatedHost* h = g_active;
        if (!h) return 0;
        ++h->abortCalls_;
        return h->options_.abortAfterCalls >= 0 && h->abortCalls_ >= h->options_.abortAfterCalls;
    }
    static void Progress(int32_t done, int32_t total) {
        if (g_active) g_active->progress_.push_back({done, total});
    }
    static OSErr AdvanceState() {
        EmulatedHost* h = g_active;
        if (!h) return kParamErr;
        ++h->advanceCalls_;
        if (h->options_.advanceErrorAt >= 0 && h->advanceCalls_ >= h->options_.advanceErrorAt)
            return h->options_.advanceStateError;
        h->CommitOutput();
        return h->FetchBuffers() ? kNoErr : kMemFullErr;
    }
    static OSErr DisplayPixels(const PSPixelMap*, const VRect*, int32_t, int32_t, void*) {
        return kNoErr;
    }
};

int EmulatedHost::NewHandleCalls() const {
    return g_newHandleCalls;
}
int EmulatedHost::LiveHandles() const {
    return int(g_handles.size());
}
int EmulatedHost::LockDepth(Handle h) const {
    auto* cell = reinterpret_cast<HandleCell*>(h);
    return g_handles.count(cell) ? cell->lockDepth : -1;
}

// ------------------------------------------------------------------ the host

EmulatedHost::EmulatedHost(PluginEntry entry, HostOptions options)
    : entry_(entry), options_(options), record_(new FilterRecord()) {
    handleProcs_.handleProcsVersion = options_.handleProcsVersion;
    handleProcs_.numHandleProcs = 8;
    handleProcs_.newProc = &Callbacks::NewHandle;
    handleProcs_.disposeProc = &Callbacks::DisposeHandle;
    handleProcs_.getSizeProc = &Callbacks::GetSize;
    handleProcs_.setSizeProc = &Callbacks::SetSize;
    handleProcs_.lockProc = &Callbacks::Lock;
    handleProcs_.unlockProc = &Callbacks::Unlock;
    handleProcs_.recoverSpaceProc = &Callbacks::RecoverSpace;
    handleProcs_.disposeRegularHandleProc = &Callbacks::DisposeHandle;
    BuildRecord();
}

EmulatedHost::~EmulatedHost() {
    if (g_active == this) g_active = nullptr;
    // A host keeps a filter's globals and parameters until it quits, whichever kind of
    // handle they are in; so does this one, for the life of the process.
    static auto& kept = *new std::vector<intptr_t>();
    kept.push_back(dataSlot_);
    kept.push_back(reinterpret_cast<intptr_t>(parameters_));
}

void EmulatedHost::SetImage(const Image& image) {
    image_ = image;
    ClearSelection();
}

void EmulatedHost::SetImage(Image&& image) {
    image_ = std::move(image);
    ClearSelection();
}

Image EmulatedHost::TakeImage() {
    Image taken = std::move(image_);
    image_ = Image();
    return taken;
}

void EmulatedHost::SetSelection(std::vector<uint8_t> mask) {
    selection_ = std::move(mask);
    haveSelection_ = true;
}

void EmulatedHost::ClearSelection() {
    selection_.clear();
    haveSelection_ = false;
}

void EmulatedHost::BuildRecord() {
    FilterRecord& fr = *record_;
    std::memset(&fr, 0, sizeof(fr));
    handleProcs_.handleProcsVersion = options_.handleProcsVersion;
    fr.handleProcs = options_.handleProcs ? &handleProcs_ : nullptr;
    fr.abortProc = &Callbacks::Abort;
    fr.progressProc = &Callbacks::Progress;
    fr.parameters = parameters_;
    fr.imageSize = Point{int16_t(image_.height), int16_t(image_.width)};
    fr.planes = int16_t(image_.planes);
    fr.imageMode = image_.mode;
    fr.depth = options_.depthField >= 0 ? options_.depthField : image_.depth;
    fr.maxSpace = options_.maxSpace;
    fr.hostSig = options_.hostSig;
    fr.platformData = &platform_;
    fr.advanceState = options_.advanceState ? &Callbacks::AdvanceState : nullptr;
    fr.displayPixels = options_.displayPixels ? &Callbacks::DisplayPixels : nullptr;
    fr.supportsPadding = 1;
    fr.samplingSupport = 1;
    fr.inputRate = fr.maskRate = kFixedOne;
    fr.inputPadding = fr.outputPadding = fr.maskPadding = -3;
    fr.filterCase = options_.filterCase >= 0 ? options_.filterCase : haveSelection_ ? 2 : 1;

    if (descriptorParams_.descriptor) Callbacks::DisposeHandle(descriptorParams_.descriptor);
    descriptorParams_ = PIDescriptorParameters{};
    if (options_.descriptors) {
        descriptorParams_.playInfo = options_.playInfo;
        descriptorParams_.recordInfo = kRecordRequired;
        descriptorParams_.readDescriptorProcs = DescriptorReadProcs(options_.readProcCount);
        descriptorParams_.writeDescriptorProcs = DescriptorWriteProcs();
        descriptorParams_.descriptor = haveReplay_ ? MakeDescriptorHandle(replay_) : nullptr;
        fr.descriptorParameters = &descriptorParams_;
    }

    // The filter works on the selection's bounding box, or on the whole image.
    Rect filter{0, 0, int16_t(image_.height), int16_t(image_.width)};
    if (haveSelection_) {
        const Rect selected = SelectionBounds(selection_, image_.width, image_.height);
        if (!IsEmpty(selected)) filter = selected;
        fr.haveMask = 1;
    }
    fr.filterRect = filter;
    if (options_.bigDocument) {
        bigDoc_ = BigDocumentStruct{};
        bigDoc_.imageSize32 = VPoint{image_.height, image_.width};
        bigDoc_.filterRect32 = VRect{filter.top, filter.left, filter.bottom, filter.right};
        fr.bigDocumentData = &bigDoc_;
    }
}

Rect EmulatedHost::ReadRect(int which) const {
    const FilterRecord& fr = *record_;
    if (fr.bigDocumentData && fr.bigDocumentData->PluginUsing32BitCoordinates) {
        const VRect& v = which == 0   ? fr.bigDocumentData->inRect32
                         : which == 1 ? fr.bigDocumentData->outRect32
                                      : fr.bigDocumentData->maskRect32;
        return Rect{int16_t(v.top), int16_t(v.left), int16_t(v.bottom), int16_t(v.right)};
    }
    return which == 0 ? fr.inRect : which == 1 ? fr.outRect : fr.maskRect;
}

bool EmulatedHost::AnyRectNonEmpty() const {
    return !IsEmpty(ReadRect(0)) || !IsEmpty(ReadRect(1)) || !IsEmpty(ReadRect(2));
}

namespace {

// The sample the host hands over for document position (x, y), with padding outside.
// `rowOf(y)` is the document row y as the filter is to see it.
template <class RowOf>
uint16_t SampleOrPad(const Image& img, const RowOf& rowOf, int x, int y, int plane,
                     int16_t padding) {
    if (x >= 0 && y >= 0 && x < img.width && y < img.height)
        return rowOf(y)[size_t(x) * img.planes + plane];
    if (padding == -1) {  // edge replication
        x = std::clamp(x, 0, img.width - 1);
        y = std::clamp(y, 0, img.height - 1);
        return rowOf(y)[size_t(x) * img.planes + plane];
    }
    if (padding >= 0 && padding <= 255)
        return img.depth == 16 ? uint16_t((padding * 32768 + 127) / 255) : uint16_t(padding);
    return 0;
}

void Store(uint8_t* buf, size_t at, uint16_t v, int bytes) {
    if (bytes == 2)
        std::memcpy(buf + at, &v, 2);
    else
        buf[at] = uint8_t(v);
}

uint16_t Load(const uint8_t* buf, size_t at, int bytes) {
    if (bytes == 2) {
        uint16_t v;
        std::memcpy(&v, buf + at, 2);
        return v;
    }
    return buf[at];
}

// `count` document samples into a buffer row of `bytes`-wide samples, and back.
void SamplesToRow(const uint16_t* from, uint8_t* to, size_t count, int bytes) {
    if (bytes == 2) {
        std::memcpy(to, from, count * 2);
        return;
    }
    for (size_t i = 0; i < count; ++i) to[i] = uint8_t(from[i]);
}

void RowToSamples(const uint8_t* from, uint16_t* to, size_t count, int bytes) {
    if (bytes == 2) {
        std::memcpy(to, from, count * 2);
        return;
    }
    for (size_t i = 0; i < count; ++i) to[i] = from[i];
}

}  // namespace

void EmulatedHost::Buffer::Allocate(size_t n) {
    if (n != 0 && n == size) return;  // the band before's block, already touched
    Free();
    if (n == 0) return;
    bytes.reset(new uint8_t[n]);
    size = n;
    fw::platform::AdviseLargePages(bytes.get(), n);
}

bool EmulatedHost::FetchBuffers() {
    try {
        FetchBuffersOrThrow();
        return true;
    } catch (const std::exception&) {  // a band larger than this process can hold
        FreeBuffers();
        return false;
    }
}

void EmulatedHost::FetchBuffersOrThrow() {
    FilterRecord& fr = *record_;
    const int bytes = image_.depth == 16 ? 2 : 1;
    const int inScale = std::max(1, fr.inputRate >> 16);
    const int maskScale = std::max(1, fr.maskRate >> 16);

    if (options_.clipAndReplicate) {
        // This host cuts what is asked for to the document and repeats its edges.
        auto clip = [&](Rect& r, int scale) {
            if (IsEmpty(r)) return;
            r.left = int16_t(std::max<int>(r.left, 0));
            r.top = int16_t(std::max<int>(r.top, 0));
            r.right = int16_t(std::min<int>(r.right, (image_.width + scale - 1) / scale));
            r.bottom = int16_t(std::min<int>(r.bottom, (image_.height + scale - 1) / scale));
        };
        clip(fr.inRect, inScale);
        clip(fr.outRect, inScale);
        clip(fr.maskRect, maskScale);
        fr.inputPadding = fr.outputPadding = fr.maskPadding = -1;
    }
    if (options_.inputRowsBeyondOutput >= 0 && !IsEmpty(fr.inRect) && !IsEmpty(fr.outRect)) {
        // This host gives less input than asked and says so in the record.
        const int beyond = options_.inputRowsBeyondOutput;
        fr.inRect.top = int16_t(std::max<int>(fr.inRect.top, fr.outRect.top - beyond));
        fr.inRect.bottom = int16_t(std::min<int>(fr.inRect.bottom, fr.outRect.bottom + beyond));
    }
    const Rect in = ReadRect(0), out = ReadRect(1), mask = ReadRect(2);
    const int inPlanes = fr.inHiPlane - fr.inLoPlane + 1;
    const int outPlanes = fr.outHiPlane - fr.outLoPlane + 1;
    const bool masked = haveSelection_ && !IsEmpty(mask);

    // Bytes of the buffer for `r` (0 for none) and its row length; throws for a buffer this
    // process cannot have.
    auto layout = [&](const Rect& r, int n, int sampleBytes, int32_t& rowBytes) -> size_t {
        rowBytes = 0;
        if (IsEmpty(r) || n < 1) return 0;
        const std::optional<size_t> row =
            fw::BlockBytes({r.right - r.left, n, sampleBytes}, INT32_MAX - 1024);
        const std::optional<size_t> size =
            row ? fw::BlockBytes({int64_t(*row) + options_.rowPadding, r.bottom - r.top})
                : std::nullopt;
        if (!size || *size > SIZE_MAX / 2) throw std::bad_alloc();
        rowBytes = int32_t(*row) + options_.rowPadding;
        return *size + 16;
    };
    // One band of the whole document, every plane, 16 bits: the filter works on the
    // document's own rows, as a host that filters in place hands them over.
    const Rect whole{0, 0, int16_t(image_.height), int16_t(image_.width)};
    auto same = [](const Rect& a, const Rect& b) {
        return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
    };
    // 8-bit ones (the document holds wider samples) get one buffer as in and out data.
    const bool oneBand = options_.inPlace && inScale == 1 && same(in, whole) && same(out, whole) &&
                         fr.inLoPlane == 0 && fr.outLoPlane == 0 && inPlanes == image_.planes &&
                         outPlanes == image_.planes;
    const bool inPlace = oneBand && bytes == 2;
    int32_t inRow = 0, outRow = 0, maskRow = 0;
    const size_t inBytes = inPlace ? 0 : layout(in, inPlanes, bytes, inRow);
    const size_t outBytes = oneBand ? 0 : layout(out, outPlanes, bytes, outRow);
    const size_t maskBytes = masked ? layout(mask, 1, 1, maskRow) : 0;
    // Every buffer is had before any is filled: a band that cannot be served fails at once.
    // A band as large as the one before gets its buffers again: the bands of a walk mostly
    // have one size, and fresh pages cost their first touch every time.
    if (inBuf_.size != inBytes) inBuf_.Free();
    if (outBuf_.size != outBytes) outBuf_.Free();
    if (maskBuf_.size != maskBytes) maskBuf_.Free();
    inBuf_.Allocate(inBytes);
    outBuf_.Allocate(outBytes);
    maskBuf_.Allocate(maskBytes);

    // The input is the document as it was before the run, whatever bands went back since.
    if (!IsEmpty(in) && !IsEmpty(out) && (in.top < out.top || in.bottom > out.bottom)) {
        keepOriginals_ = true;
        // An input the filter rectangle stopped says nothing of how far the filter reaches.
        const Rect& filter = fr.filterRect;
        if (in.top > filter.top) inputReach_ = std::max(inputReach_, out.top - in.top);
        if (in.bottom < filter.bottom) inputReach_ = std::max(inputReach_, in.bottom - out.bottom);
    }
    // Band walks go down the picture: what lies above this input is not asked for again.
    if (!IsEmpty(in))
        for (int y = 0; y < std::min<int>(in.top, int(originals_.size())); ++y)
            originals_[size_t(y)].reset();
    auto original = [&](int y) -> const uint16_t* {
        if (size_t(y) < originals_.size() && originals_[size_t(y)])
            return originals_[size_t(y)].get();
        return &image_.At(0, y, 0);
    };
    auto current = [&](int y) -> const uint16_t* { return &image_.At(0, y, 0); };
    auto fill = [&](const Rect& r, int lo, int n, int scale, int16_t padding, int32_t rowBytes,
                    Buffer& buf, const auto& rowOf) -> void* {
        if (buf.size == 0) return nullptr;
        const int w = r.right - r.left, h = r.bottom - r.top;
        const size_t used = size_t(w) * n * bytes;
        // Whole document rows of every plane go across as they are.
        const bool direct =
            scale == 1 && lo == 0 && n == image_.planes && r.left >= 0 && r.right <= image_.width;
        fw::ForRowRanges(h, size_t(rowBytes), [&](int first, int count) {
            for (int y = first; y < first + count; ++y) {
                uint8_t* row = buf.data() + size_t(y) * rowBytes;
                const int docY = r.top + y;
                if (direct && docY >= 0 && docY < image_.height) {
                    SamplesToRow(rowOf(docY) + size_t(r.left) * n, row, size_t(w) * n, bytes);
                } else {
                    for (int x = 0; x < w; ++x)
                        for (int p = 0; p < n; ++p)
                            Store(row, (size_t(x) * n + p) * bytes,
                                  SampleOrPad(image_, rowOf, (r.left + x) * scale, docY * scale,
                                              std::min(lo + p, image_.planes - 1), padding),
                                  bytes);
                }
                std::memset(row + used, 0xCD, size_t(rowBytes) - used);  // catches unwritten reads
            }
        });
        std::memset(buf.data() + size_t(h) * rowBytes, 0xCD, buf.size - size_t(h) * rowBytes);
        return buf.data();
    };
    if (inPlace) {
        fr.inData = fr.outData = image_.samples.data();
        fr.inRowBytes = fr.outRowBytes = int32_t(size_t(image_.width) * image_.planes * 2);
    } else {
        fr.inData =
            fill(in, fr.inLoPlane, inPlanes, inScale, fr.inputPadding, inRow, inBuf_, original);
        fr.inRowBytes = inRow;
        fr.outData = oneBand ? fr.inData
                             : fill(out, fr.outLoPlane, outPlanes, inScale, fr.outputPadding,
                                    outRow, outBuf_, current);
        fr.outRowBytes = oneBand ? inRow : outRow;
    }
    inPlace_ = inPlace;
    outRows_ = static_cast<const uint8_t*>(fr.outData);
    outFetched_ = out;
    outLo_ = fr.outLoPlane;
    outHi_ = fr.outHiPlane;
    outScale_ = inScale;
    outPending_ = fr.outData != nullptr;

    fr.maskData = nullptr;
    fr.maskRowBytes = maskRow;
    if (masked) {
        const int w = mask.right - mask.left, h = mask.bottom - mask.top;
        std::memset(maskBuf_.data(), 0, maskBuf_.size);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int dx = (mask.left + x) * maskScale, dy = (mask.top + y) * maskScale;
                uint8_t v = 0;
                if (dx >= 0 && dy >= 0 && dx < image_.width && dy < image_.height)
                    v = selection_[size_t(dy) * image_.width + dx] ? 255 : 0;
                else if (fr.maskPadding >= 0)
                    v = uint8_t(fr.maskPadding);
                maskBuf_.data()[size_t(y) * maskRow + x] = v;
            }
        fr.maskData = maskBuf_.data();
    }
}

void EmulatedHost::CommitOutput() {
    if (!outPending_) return;
    outPending_ = false;
    if (outScale_ != 1) return;  // sampled fetches are previews: nothing to write back
    const FilterRecord& fr = *record_;
    const int bytes = image_.depth == 16 ? 2 : 1;
    const Rect& r = outFetched_;
    const int w = r.right - r.left, n = outHi_ - outLo_ + 1;
    const int top = std::max<int>(r.top, 0), bottom = std::min<int>(r.bottom, image_.height);
    for (int y = top; y < bottom; ++y) {
        const int written = y - fr.filterRect.top;
        if (written >= 0) {
            if (size_t(written) >= rowWrites_.size()) rowWrites_.resize(size_t(written) + 1, 0);
            ++rowWrites_[size_t(written)];
        }
        if (keepOriginals_ && (inputReach_ < 0 || y >= r.bottom - inputReach_)) {
            // A later band's input may reach back into these rows.
            if (originals_.size() < size_t(image_.height)) originals_.resize(size_t(image_.height));
            auto& kept = originals_[size_t(y)];
            const size_t samples = size_t(image_.width) * image_.planes;
            if (!kept) {
                kept.reset(new uint16_t[samples]);
                std::memcpy(kept.get(), &image_.At(0, y, 0), samples * 2);
            }
        }
    }
    if (inPlace_) return;  // the filter wrote into the document itself
    const bool direct = outLo_ == 0 && n == image_.planes && r.left >= 0 && r.right <= image_.width;
    fw::ForRowRanges(bottom - top, size_t(fr.outRowBytes), [&](int first, int count) {
        for (int y = top + first; y < top + first + count; ++y) {
            const uint8_t* row = outRows_ + size_t(y - r.top) * fr.outRowBytes;
            if (direct) {
                RowToSamples(row, &image_.At(r.left, y, 0), size_t(w) * n, bytes);
                continue;
            }
            for (int x = 0; x < w; ++x) {
                const int dx = r.left + x;
                if (dx < 0 || dx >= image_.width) continue;
                for (int p = 0; p < n && outLo_ + p < image_.planes; ++p)
                    image_.At(dx, y, outLo_ + p) = Load(row, (size_t(x) * n + p) * bytes, bytes);
            }
        }
    });
}

void EmulatedHost::FreeBuffers() {
    inBuf_.Free();
    outBuf_.Free();
    maskBuf_.Free();
    record_->inData = record_->outData = record_->maskData = nullptr;
    outPending_ = false;
}

int16_t EmulatedHost::Invoke(int16_t selector) {
    g_active = this;
    selectors_.push_back(selector);
    // A careless host leaves whatever was there; a selector that forgets to answer fails.
    result_ = kUnansweredResult;
    entry_(selector, record_.get(), &dataSlot_, &result_);
    parameters_ = record_->parameters;
    return result_;
}

int16_t EmulatedHost::Call(int16_t selector) {
    return Invoke(selector);
}

void EmulatedHost::Activate() {
    g_active = this;
}

void EmulatedHost::CallRaw(int16_t selector, void* block, int16_t* result) {
    g_active = this;
    selectors_.push_back(selector);
    entry_(selector, block, &dataSlot_, result);
}

int16_t EmulatedHost::About() {
    AboutRecord about{};
    about.platformData = &platform_;
    int16_t result = kUnansweredResult;
    CallRaw(kSelectorAbout, &about, &result);
    return result;
}

int16_t EmulatedHost::RunFilter(bool repeat) {
    const Image before = options_.undo ? image_ : Image();
    progress_.clear();
    rowWrites_.clear();
    abortCalls_ = advanceCalls_ = continueCalls_ = 0;
    originals_.clear();
    keepOriginals_ = false;
    inputReach_ = -1;
    if (!options_.keepParameters) parameters_ = nullptr;
    if (!options_.keepDataSlot) dataSlot_ = 0;
    BuildRecord();

    // A host that takes only 8-bit data converts the document there and back.
    const bool narrowed = options_.eightBitOnly && image_.depth == 16;
    if (narrowed) {
        for (uint16_t& v : image_.samples) v = uint16_t((v * 255 + 16384) / 32768);
        image_.depth = 8;
        image_.mode = kModeRGBColor;
        BuildRecord();
    }

    int16_t err = 0;
    if (!repeat && options_.callParameters) err = Invoke(kSelectorParameters);
    if (err == 0) err = Invoke(kSelectorPrepare);
    bool started = false;
    if (err == 0) {
        FetchBuffers();  // rectangles are empty before start: nothing is fetched
        err = Invoke(kSelectorStart);
        CommitOutput();
        started = true;
    }
    while (err == 0 && AnyRectNonEmpty()) {
        if (!FetchBuffers()) {
            err = kMemFullErr;
            break;
        }
        ++continueCalls_;
        err = Invoke(kSelectorContinue);
        if (err == 0) CommitOutput();
    }
    if (started && (err != 0 || options_.callFinishAfterSuccess)) {
        const int16_t finishErr = Invoke(kSelectorFinish);
        if (err == 0) err = finishErr;
    }
    FreeBuffers();
    originals_.clear();
    keepOriginals_ = false;
    inputReach_ = -1;
    if (narrowed) {
        for (uint16_t& v : image_.samples) v = uint16_t((v * 32768 + 127) / 255);
        image_.depth = 16;
        image_.mode = kModeRGB48;
    }
    if (err != 0 && options_.undo) image_ = before;
    // The host keeps what the filter recorded, as an action would.
    hasRecorded_ = false;
    recorded_.clear();
    if (options_.descriptors && descriptorParams_.descriptor) {
        hasRecorded_ = ReadDescriptorHandle(descriptorParams_.descriptor, recorded_);
        Callbacks::DisposeHandle(descriptorParams_.descriptor);
        descriptorParams_.descriptor = nullptr;
    }
    return err;
}

}  // namespace hostemu
