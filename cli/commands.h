// The subcommands of the frostweave program, each given its parsed arguments and
// returning the process's exit code. Messages go to stderr, one line each; the paths of
// the pictures written go to stdout.
#pragma once

#include <string>
#include <vector>

#include "cli/filter_runner.h"
#include "cli/parameter_options.h"

namespace fw::cli {

enum ExitCode { kExitOk = 0, kExitFailure = 1 };

// The most megapixels read by default: 400, fewer where the machine's memory cannot hold the
// filter run of a 16-bit picture with alpha that large (about 32 bytes a pixel).
int DefaultMaxMegapixels();

// Options every filtering command shares.
struct RunArgs {
    std::string argv0;
    std::string plugin;  // empty: the module beside the program
    ParameterOptions parameters;
    HostSettings host;
    std::string selection;  // mask picture
    int jobs = 1;
    bool quiet = false;
    // Pictures whose header claims more are refused before decoding.
    int maxMegapixels = DefaultMaxMegapixels();
    bool smallPng = false;  // PNG files as small as they can be made, however long it takes
};

struct ApplyArgs {
    RunArgs run;
    std::vector<std::string> inputs;
    std::string output;
    std::string format;  // extension for outputs in a folder; empty: the input's
    std::string savePreset;
};

struct GalleryArgs {
    RunArgs run;
    std::string input;
    std::string output;
    std::string presets;  // folder of .fwv files; empty: the ten effects
    std::string format;
};

struct PatternArgs {
    RunArgs run;
    std::string size;  // WxH
    std::string output;
};

int RunApply(const ApplyArgs& args);
int RunGallery(const GalleryArgs& args);
int RunPattern(const PatternArgs& args);
int RunPresetShow(const std::string& file);
int RunPresetWrite(const ParameterOptions& parameters, const std::string& output);

// Saves a preset file through a temporary name, so a failed write leaves no file.
bool WritePresetFile(const std::string& path, const EffectParameters& parameters,
                     std::string& error);

// "frostweave: message" on stderr.
void PrintError(const std::string& message);

}  // namespace fw::cli
