#include "cli/filter_runner.h"

#include <algorithm>
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
    double shown = -1.0;
};
Shim g_shim;

// Never backwards: the module reports each band's own progress from 0 again.
void Report(double fraction) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction < g_shim.shown) return;
    g_shim.shown = fraction;
    if (g_shim.progress && *g_shim.progress) (*g_shim.progress)(fraction);
}

// The fraction of the filter rectangle done when the current band is `within` done.
void ReportBand(double within) {
    const FilterRecord* fr = g_shim.record;
    if (!fr) return;
    const int height = fr->filterRect.bottom - fr->filterRect.top;
    const int top = fr->outRect.top, bottom = std::min(fr->outRect.bottom, fr->filterRect.bottom);
    if (height > 0 && bottom > top)
        Report((top - fr->filterRect.top + within * (bottom - top)) / height);
}

Boolean ShimAbort() {
    return g_shim.hostAbort ? g_shim.hostAbort() : 0;
}

void ShimProgress(int32_t done, int32_t total) {
    if (total > 0) ReportBand(double(done) / total);
    if (g_shim.hostProgress) g_shim.hostProgress(done, total);
}

OSErr ShimAdvanceState() {
    const OSErr err = g_shim.hostAdvance ? g_shim.hostAdvance() : OSErr(kParamErr);
    if (err == kNoErr) ReportBand(0.0);
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
        if (selector == kSelectorContinue) ReportBand(0.0);
    }
    g_shim.entry(selector, block, data, result);
}

// Never destroyed: the hosts outlive every static destructor, as they would in an editor.
std::vector<std::unique_ptr<hostemu::EmulatedHost>>& KeptHosts() {
    static auto* hosts = new std::vector<std::unique_ptr<hostemu::EmulatedHost>>();
    return *hosts;
}

void CopyCarriedFields(const EffectParameters& from, EffectParameters& to) {
    for (const ParameterField& f : kParameterFields)
        std::memcpy(reinterpret_cast<char*>(&to) + f.offset,
                    reinterpret_cast<const char*>(&from) + f.offset,
                    f.kind == FieldKind::Byte ? 1 : 4);
    to.ShowDialog = 0;
    to.NeedsRegeneration = 1;
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

// Every carried field, typed as the module's scripting reader takes it: AutoUpdate as a
// boolean, reals as unit floats, the rest as 32-bit integers.
hostemu::Descriptor ActionFor(const EffectParameters& p) {
    hostemu::Descriptor d;
    for (const ParameterField& f : kParameterFields) {
        hostemu::DescriptorItem item;
        item.key = f.key;
        switch (f.kind) {
            case FieldKind::ByteInInt32:
                item.type = kTypeBoolean;
                item.boolean = (GetFieldInteger(p, f) & 0xFF) != 0;
                break;
            case FieldKind::Real:
                item.type = kTypeUnitFloat;
                item.unit = FourCC('#', 'R', 'l', 't');
                item.real = GetFieldReal(p, f);
                break;
            default:
                item.type = kTypeInteger;
                item.integer = int32_t(uint32_t(GetFieldInteger(p, f)));
        }
        d.push_back(item);
    }
    return d;
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

bool RunFilter(const FilterModule& module, hostemu::Image& image, RunRequest request,
               std::string& error) {
    hostemu::HostOptions options;
    if (request.host.maxSpace >= 0)
        options.maxSpace = int32_t(std::min<int64_t>(request.host.maxSpace, INT32_MAX));
    options.advanceState = !request.host.hostDrivenBands;
    options.handleProcs = !request.host.noHandleProcs;
    // A host old enough to lack handle procedures has no scripting descriptors either (and
    // the module could not give a descriptor handle back without them).
    options.descriptors = !request.host.noHandleProcs;
    options.playInfo = kPlaySilent;

    g_shim = Shim{};
    g_shim.entry = module.Entry();
    g_shim.progress = &request.progress;
    auto kept = std::make_unique<hostemu::EmulatedHost>(&ShimEntry, options);
    hostemu::EmulatedHost& host = *kept;
    // The document moves into the host for the run and comes back after it. A failed run
    // writes no file, so the host keeps no undo copy (a whole document at 100 megapixels).
    host.Options().undo = false;
    // Nor does it need the document apart from the filter's buffers.
    host.Options().inPlace = true;
    host.SetImage(std::move(image));
    if (!request.selection.empty()) host.SetSelection(std::move(request.selection));
    host.RunFilterRecordOnly();

    Report(0.0);
    int16_t err = kNoErr;
    if (options.descriptors) {
        // The parameters reach the module as a recorded action replayed without its dialog.
        host.SetDescriptor(ActionFor(request.parameters));
        err = host.RunFilter();
    } else {
        // Without descriptors the values go into the record the parameters selector made,
        // and the run goes on as a repeat, without the dialog.
        err = host.Call(kSelectorParameters);
        if (err == kNoErr && !host.ParametersHandle()) err = kMemFullErr;
        if (err == kNoErr) {
            CopyCarriedFields(request.parameters,
                              **reinterpret_cast<EffectParameters**>(host.ParametersHandle()));
            err = host.RunFilter(true);
        }
    }
    if (request.used && host.ParametersHandle())
        *request.used = **reinterpret_cast<EffectParameters**>(host.ParametersHandle());
    image = host.TakeImage();
    if (err == kNoErr) Report(1.0);
    g_shim = Shim{};
    // An editor keeps what a filter leaves with it (the parameter record, the data slot)
    // for as long as it runs; without handle procedures only the module can free those
    // blocks. So the host stays, without its document, until the program ends.
    KeptHosts().push_back(std::move(kept));
    if (err != kNoErr) {
        error = ResultText(err);
        return false;
    }
    return true;
}

}  // namespace fw::cli
