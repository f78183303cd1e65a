#include "cli/filter_runner.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "params/parameter_fields.h"

namespace fw::cli {

namespace fs = std::filesystem;
using namespace fw::sdk;

namespace {

// The host's callbacks are plain function pointers, so the run's progress reporting and
// cancel check hang off one process-wide state, patched into the record on every call.
struct Shim {
    PluginEntry entry = nullptr;
    const std::function<void(double)>* progress = nullptr;
    TestAbortProc hostAbort = nullptr;
    ProgressProc hostProgress = nullptr;
    AdvanceStateProc hostAdvance = nullptr;
    FilterRecord* record = nullptr;
};
Shim g_shim;
std::atomic<bool> g_cancel{false};

void Report(double fraction) {
    if (g_shim.progress && *g_shim.progress) (*g_shim.progress)(std::clamp(fraction, 0.0, 1.0));
}

// The fraction of the filter rectangle above the band about to be filtered.
void ReportBand() {
    const FilterRecord* fr = g_shim.record;
    if (!fr) return;
    const int height = fr->filterRect.bottom - fr->filterRect.top;
    if (height > 0 && fr->inRect.bottom > fr->inRect.top)
        Report(double(fr->inRect.top - fr->filterRect.top) / height);
}

Boolean ShimAbort() {
    if (g_cancel.load()) return 1;
    return g_shim.hostAbort ? g_shim.hostAbort() : 0;
}

void ShimProgress(int32_t done, int32_t total) {
    if (total > 0) Report(double(done) / total);
    if (g_shim.hostProgress) g_shim.hostProgress(done, total);
}

OSErr ShimAdvanceState() {
    const OSErr err = g_shim.hostAdvance ? g_shim.hostAdvance() : OSErr(kParamErr);
    if (err == kNoErr) ReportBand();
    return err;
}

void ShimEntry(int16_t selector, void* block, intptr_t* data, int16_t* result) {
    if (selector != kSelectorAbout && block) {
        auto* fr = static_cast<FilterRecord*>(block);
        g_shim.record = fr;
        // The host rebuilds its record for every run; take its callbacks each time.
        if (fr->abortProc != &ShimAbort) {
            g_shim.hostAbort = fr->abortProc;
            fr->abortProc = &ShimAbort;
        }
        if (fr->progressProc != &ShimProgress) {
            g_shim.hostProgress = fr->progressProc;
            fr->progressProc = &ShimProgress;
        }
        if (fr->advanceState && fr->advanceState != &ShimAdvanceState) {
            g_shim.hostAdvance = fr->advanceState;
            fr->advanceState = &ShimAdvanceState;
        }
        if (selector == kSelectorContinue) ReportBand();
    }
    g_shim.entry(selector, block, data, result);
}

std::string ResultText(int16_t err) {
    switch (err) {
        case kUserCanceledErr:
            return "the filter was cancelled";
        case kMemFullErr:
            return "the filter ran out of memory";
        default:
            return "the filter failed (host result " + std::to_string(err) + ")";
    }
}

size_t FieldBytes(FieldKind kind) {
    return kind == FieldKind::Byte ? 1 : 4;
}

}  // namespace

std::string DefaultModulePath(const char* argv0) {
#if defined(_WIN32)
    const char* name = "GLTFrostweave.8bf";
#else
    const char* name = "libfrostweave.so";
#endif
    std::error_code ec;
    fs::path self;
#if !defined(_WIN32)
    self = fs::read_symlink("/proc/self/exe", ec);
#endif
    if (self.empty() || ec) self = fs::absolute(fs::path(argv0 ? argv0 : ""), ec);
    return (self.parent_path() / name).string();
}

std::unique_ptr<FilterModule> FilterModule::Load(const std::string& path, std::string& error) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        error = "no filter module at '" + path + "' (use --plugin PATH)";
        return nullptr;
    }
    std::string why;
    auto module = hostemu::Module::Load(path, why);
    if (!module) {
        error = "cannot load the filter module: " + why;
        return nullptr;
    }
    std::unique_ptr<FilterModule> m(new FilterModule());
    m->module_ = std::move(module);
    m->path_ = path;
    return m;
}

bool RunFilter(const FilterModule& module, hostemu::Image& image, const RunRequest& request,
               std::string& error) {
    hostemu::HostOptions options;
    if (request.host.maxSpace >= 0)
        options.maxSpace = int32_t(std::min<int64_t>(request.host.maxSpace, INT32_MAX));
    options.advanceState = !request.host.hostDrivenBands;
    options.handleProcs = !request.host.noHandleProcs;

    g_shim = Shim{};
    g_shim.entry = module.Entry();
    g_shim.progress = &request.progress;
    hostemu::EmulatedHost host(&ShimEntry, options);
    // The host keeps its own copy of the document; ours goes until the run is over.
    host.SetImage(image);
    image = hostemu::Image();
    if (!request.selection.empty()) host.SetSelection(request.selection);
    host.RunFilterRecordOnly();

    // The parameters selector makes the module create its record; the values then go in as a
    // replayed action's would, and the run itself skips the dialog.
    int16_t err = host.Call(kSelectorParameters);
    Handle handle = host.ParametersHandle();
    if (err == kNoErr && !handle) err = kMemFullErr;
    if (err == kNoErr) {
        auto* record = *reinterpret_cast<EffectParameters**>(handle);
        for (const ParameterField& f : kParameterFields)
            std::memcpy(reinterpret_cast<char*>(record) + f.offset,
                        reinterpret_cast<const char*>(&request.parameters) + f.offset,
                        FieldBytes(f.kind));
        record->ShowDialog = 0;
        record->NeedsRegeneration = 1;
        Report(0.0);
        err = host.RunFilter(true);
    }
    image = host.GetImage();
    if (err == kNoErr) Report(1.0);
    g_shim = Shim{};
    if (err != kNoErr) {
        error = ResultText(err);
        return false;
    }
    return true;
}

void RequestCancel() {
    g_cancel.store(true);
}

bool CancelRequested() {
    return g_cancel.load();
}

}  // namespace fw::cli
