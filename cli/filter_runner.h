// Runs the filter module on one document the way an image editor does: the emulated host
// builds the filter record around the picture, the module's entry is called through the
// selector sequence, and the result replaces the document only when the run succeeds.
//
// The parameters reach the module as a host gives them to a replayed action: a scripting
// descriptor with every field, played with the dialog off. A host without handle procedures
// has no descriptors: there the values go into the record the parameters selector creates.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hostemu/emulated_host.h"
#include "params/effect_parameters.h"

namespace fw::cli {

// How the emulated host behaves; the defaults are those of a common image editor.
struct HostSettings {
    int64_t maxSpace = -1;         // bytes the host offers (-1: the host's default)
    bool hostDrivenBands = false;  // no advanceState: the host drives the bands
    bool noHandleProcs = false;    // the host offers no handle procedures
};

// The module installed beside this program (libfrostweave.so, or GLTFrostweave.8bf on
// Windows); `argv0` is the fallback when the program's own path cannot be found.
std::string DefaultModulePath(const char* argv0);

class FilterModule {
  public:
    static std::unique_ptr<FilterModule> Load(const std::string& path, std::string& error);
    const std::string& Path() const { return path_; }
    fw::sdk::PluginEntry Entry() const { return module_->Entry(); }

  private:
    std::unique_ptr<hostemu::Module> module_;
    std::string path_;
};

struct RunRequest {
    EffectParameters parameters;
    HostSettings host;
    std::vector<uint8_t> selection;  // empty: the whole picture; else 1 = selected
    // Called with the fraction done (0..1) while the filter runs.
    std::function<void(double)> progress;
    // Receives the module's parameter record as the run left it (may be null).
    EffectParameters* used = nullptr;
};

// Filters `image` in place. On failure the image is left as it was and `error` says why.
// One run at a time per process: the host's callbacks are process-wide. The request is taken
// by value so that a caller done with it can move its selection into the host.
bool RunFilter(const FilterModule& module, hostemu::Image& image, RunRequest request,
               std::string& error);

}  // namespace fw::cli
