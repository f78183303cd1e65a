// An emulated image-editor host: it builds a filter record around an in-memory image and
// drives a filter module through its selectors the way a real host does — bands through
// advanceState or the host-driven loop, sampling and padding, a selection mask, handle
// procedures (or none), progress and cancel, and a host-kept parameters handle and data
// slot that survive between runs. Used by the tests, the command-line tool and the
// Windows test programs under Wine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostemu/descriptor_store.h"
#include "platform/large_pages.h"
#include "sdk/host_api.h"

namespace hostemu {

// Interleaved document pixels; 16-bit samples use the host's 0..32768 scale.
struct Image {
    int width = 0;
    int height = 0;
    int planes = 3;  // 3 RGB, 4 RGB + transparency, 5 with one more channel
    int depth = 8;   // 8 or 16
    int16_t mode = fw::sdk::kModeRGBColor;
    fw::platform::SampleVector samples;  // width * height * planes

    Image() = default;
    Image(int w, int h, int planes_, int depth_);  // black
    // Samples left unset, for a conversion that writes every one of them.
    static Image Unfilled(int w, int h, int planes, int depth);
    uint16_t& At(int x, int y, int plane) {
        return samples[(size_t(y) * width + x) * planes + plane];
    }
    uint16_t At(int x, int y, int plane) const {
        return samples[(size_t(y) * width + x) * planes + plane];
    }
    int FullScale() const { return depth == 16 ? 32768 : 255; }
};

// What the host puts into the result before every call, as a careless host does (one
// free host puts 1 there and checks it afterwards): a selector that does not answer fails.
constexpr int16_t kUnansweredResult = 1;

struct HostOptions {
    fw::sdk::OSType hostSig = fw::sdk::FourCC('8', 'B', 'I', 'M');
    bool handleProcs = true;
    int16_t handleProcsVersion = 1;
    bool failNewHandle = false;  // every new-handle request fails
    bool advanceState = true;
    bool displayPixels = true;
    bool descriptors = true;
    int16_t readProcCount = 18;
    int32_t maxSpace = 100'000'000;
    bool bigDocument = false;       // offer the 32-bit coordinate record
    int rowPadding = 12;            // extra bytes at the end of each buffer row
    int abortAfterCalls = -1;       // abortProc reports cancel from this call on (-1 never)
    int16_t advanceStateError = 0;  // advanceState answers this from call `advanceErrorAt`
    int advanceErrorAt = -1;
    bool keepParameters = true;  // the parameters handle survives between runs
    bool keepDataSlot = true;    // the entry point's data slot survives between runs
    bool callFinishAfterSuccess = true;
    int16_t depthField = -1;  // value of the record's depth field; -1 = the image's depth
    int16_t playInfo = fw::sdk::kPlayDisplay;  // what the host says about showing the dialog
    bool callParameters = true;      // false: the host never calls the parameters selector
    bool clipAndReplicate = false;   // requested rectangles are cut to the image, edges repeated
    int inputRowsBeyondOutput = -1;  // the input is cut to this many rows around the output
                                     // rectangle (-1: as asked)
    bool eightBitOnly = false;       // the host hands over 8-bit data whatever the document
    bool brokenHandleSizes = false;  // getSizeProc answers 0, setSizeProc does nothing
    int16_t filterCase = -1;         // -1: set from the selection; 0: not set, as some hosts
    bool undo = true;                // keep a copy to restore after a failed run (costs a document)
    bool inPlace = false;            // a document done in one band: its own rows as in and out data
                                     // (16-bit), or one buffer for both (8-bit)
};

// How real hosts differ from each other, as the module meets them.
enum class HostProfile {
    ImageEditor,   // keeps parameters and data, advanceState, padding, descriptors, big documents
    Bridge,        // a free editor's bridge: no descriptors, no big documents, 8-bit only,
                   // fixed maxSpace, filterCase 0, nothing kept between runs, no finish call
    NoParameters,  // never calls the parameters selector; clips rectangles, repeats edges
    Viewer,        // states maxSpace in kilobytes, signature 'UP20', keeps nothing
    BrokenSizes,   // handle procedures whose size calls do nothing
};
constexpr HostProfile kAllHostProfiles[] = {HostProfile::ImageEditor, HostProfile::Bridge,
                                            HostProfile::NoParameters, HostProfile::Viewer,
                                            HostProfile::BrokenSizes};
const char* HostProfileName(HostProfile profile);
HostOptions OptionsFor(HostProfile profile);

// The bounding box of the non-zero entries of a `width` x `height` mask (row-major, one
// byte a pixel); empty (all 0) when there are none.
fw::sdk::Rect SelectionBounds(const std::vector<uint8_t>& mask, int width, int height);

struct ProgressCall {
    int32_t done;
    int32_t total;
};

// A filter module loaded from a file, or an entry point linked in.
class Module {
  public:
    static std::unique_ptr<Module> Load(const std::string& path, std::string& error);
    explicit Module(fw::sdk::PluginEntry entry) : entry_(entry) {}
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    fw::sdk::PluginEntry Entry() const { return entry_; }

  private:
    Module() = default;
    fw::sdk::PluginEntry entry_ = nullptr;
    void* library_ = nullptr;
};

class EmulatedHost {
  public:
    EmulatedHost(fw::sdk::PluginEntry entry, HostOptions options = {});
    ~EmulatedHost();
    EmulatedHost(const EmulatedHost&) = delete;
    EmulatedHost& operator=(const EmulatedHost&) = delete;

    // The document to filter and, optionally, a selection (non-zero = selected; same size).
    void SetImage(const Image& image);
    void SetImage(Image&& image);
    // Hands the document back, leaving the host without one.
    Image TakeImage();
    void SetSelection(std::vector<uint8_t> mask);
    void ClearSelection();
    const Image& GetImage() const { return image_; }

    // One whole filter run: parameters (unless `repeat`), prepare, start, the continue loop,
    // finish. Returns the first non-zero result, or 0. A failed or cancelled run leaves
    // the document as it was, as a host's undo would.
    int16_t RunFilter(bool repeat = false);
    int16_t About();
    // A single selector call with the current record (for entry-point tests).
    int16_t Call(int16_t selector);
    // Prepares the filter record for the current image without calling the module.
    void RunFilterRecordOnly() { BuildRecord(); }
    // Makes this host the one whose callbacks answer (for code called outside the entry).
    void Activate();
    // Raw access for tests that call with their own parameter block.
    void CallRaw(int16_t selector, void* block, int16_t* result);

    // Scripting: the descriptor the next run reads (a recorded action), and what the last
    // run wrote (empty when it wrote none).
    void SetDescriptor(const Descriptor& d) {
        replay_ = d;
        haveReplay_ = true;
    }
    void ClearDescriptor() { haveReplay_ = false; }
    const Descriptor& Recorded() const { return recorded_; }
    bool HasRecorded() const { return hasRecorded_; }

    // Observations.
    fw::sdk::FilterRecord& Record() { return *record_; }
    intptr_t DataSlot() const { return dataSlot_; }
    fw::sdk::Handle ParametersHandle() const { return parameters_; }
    const std::vector<ProgressCall>& Progress() const { return progress_; }
    int NewHandleCalls() const;
    int LiveHandles() const;
    int LockDepth(fw::sdk::Handle h) const;
    int AdvanceStateCalls() const { return advanceCalls_; }
    int ContinueCalls() const { return continueCalls_; }
    // Rows written back by the filter, per row of the filter rectangle (bands must cover each
    // row exactly once).
    const std::vector<int>& RowWrites() const { return rowWrites_; }
    const std::vector<int16_t>& Selectors() const { return selectors_; }
    HostOptions& Options() { return options_; }

    // Internal: callbacks reach the host through the one active instance.
    struct Callbacks;

  private:
    void BuildRecord();
    // The buffers of the current rectangles; false (and none) when memory is short.
    bool FetchBuffers();
    void FetchBuffersOrThrow();
    void CommitOutput();
    void FreeBuffers();
    int16_t Invoke(int16_t selector);
    bool AnyRectNonEmpty() const;
    fw::sdk::Rect ReadRect(int which) const;

    fw::sdk::PluginEntry entry_;
    HostOptions options_;
    Image image_;
    std::vector<uint8_t> selection_;
    bool haveSelection_ = false;

    std::unique_ptr<fw::sdk::FilterRecord> record_;
    fw::sdk::HandleProcs handleProcs_{};
    fw::sdk::PlatformData platform_{};
    fw::sdk::BigDocumentStruct bigDoc_{};
    fw::sdk::PIDescriptorParameters descriptorParams_{};
    Descriptor replay_, recorded_;
    bool haveReplay_ = false;
    bool hasRecorded_ = false;
    intptr_t dataSlot_ = 0;
    fw::sdk::Handle parameters_ = nullptr;
    int16_t result_ = 0;

    // Buffers handed to the filter for the current rectangles.
    // Left uninitialised where they are about to be written whole.
    struct Buffer {
        std::unique_ptr<uint8_t[]> bytes;
        size_t size = 0;
        void Allocate(size_t n);  // throws bad_alloc
        void Free() {
            bytes.reset();
            size = 0;
        }
        uint8_t* data() { return bytes.get(); }
    };
    Buffer inBuf_, outBuf_, maskBuf_;
    // Rows as they were before the run's bands went back, kept once a filter asks for input
    // beyond its output rectangle (a real host filters from an unchanged copy), down to the
    // top of the latest input. Band walks go down the picture with one margin of input
    // around each band: once that margin is seen, only the rows of a band within it from
    // the band's bottom can be asked for again.
    std::vector<std::unique_ptr<uint16_t[]>> originals_;
    bool keepOriginals_ = false;
    int inputReach_ = -1;   // rows of input beyond the output rectangle; -1 not seen yet
    bool inPlace_ = false;  // the current buffers are the document's own rows
    const uint8_t* outRows_ = nullptr;  // what goes back: the out buffer, or the one shared
    fw::sdk::Rect outFetched_{};
    int outLo_ = 0, outHi_ = -1;
    int outScale_ = 1;
    bool outPending_ = false;

    std::vector<ProgressCall> progress_;
    std::vector<int> rowWrites_;
    std::vector<int16_t> selectors_;
    int abortCalls_ = 0;
    int advanceCalls_ = 0;
    int continueCalls_ = 0;
};

}  // namespace hostemu
