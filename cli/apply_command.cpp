// frostweave apply IN... -o OUT
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "cli/commands.h"
#include "cli/image_io.h"
#include "cli/output_file.h"
#include "cli/render_jobs.h"

namespace fw::cli {

namespace fs = std::filesystem;

int DefaultMaxMegapixels() {
    constexpr int kMost = int(kMaxPicturePixels / 1'000'000);
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        const double megapixels = double(pages) * double(pageSize) / 32.0 / 1e6;
        return megapixels < kMost ? std::max(1, int(megapixels)) : kMost;
    }
#endif
    return kMost;
}

void PrintError(const std::string& message) {
    std::fprintf(stderr, "frostweave: %s\n", message.c_str());
}

namespace {

// Output names for inputs that go into a folder: the input's name with the chosen format.
bool OutputsInFolder(const ApplyArgs& args, std::vector<std::string>& outputs, std::string& error) {
    std::set<std::string> seen;
    for (const std::string& in : args.inputs) {
        fs::path name = fs::path(in).filename();
        if (!args.format.empty())
            name.replace_extension("." +
                                   (args.format[0] == '.' ? args.format.substr(1) : args.format));
        const std::string out = (fs::path(args.output) / name).string();
        if (!seen.insert(out).second) {
            error = "two inputs would both be written to '" + out + "'";
            return false;
        }
        outputs.push_back(out);
    }
    return true;
}

bool CheckWritable(const std::string& out, bool inFolder, std::string& error) {
    const ImageFormat f = FormatFromExtension(out);
    if (!CanWrite(f)) {
        error = "cannot write '" + out + "': unsupported output format (use .png, .jpg" +
                (CanWrite(ImageFormat::Tiff) ? ", .tif)" : ")");
        return false;
    }
    // A folder output is created later; its pictures' names are checked when it exists.
    if (const std::string problem = OutputProblem(out); !problem.empty() && !inFolder) {
        error = "cannot write '" + out + "': " + problem;
        return false;
    }
    return true;
}

}  // namespace

int RunApply(const ApplyArgs& args) {
    std::string error;
    EffectParameters parameters = DefaultParameters();
    if (!ApplyParameterOptions(args.run.parameters, parameters, error)) {
        PrintError(error);
        return kExitFailure;
    }
    if (args.inputs.empty()) {
        PrintError("no input pictures");
        return kExitFailure;
    }
    std::error_code ec;
    const bool toFolder =
        args.inputs.size() > 1 || fs::is_directory(args.output, ec) ||
        (!args.output.empty() && (args.output.back() == '/' || args.output.back() == '\\'));
    std::vector<std::string> outputs;
    if (toFolder) {
        if (!OutputsInFolder(args, outputs, error)) {
            PrintError(error);
            return kExitFailure;
        }
    } else {
        outputs.push_back(args.output);
    }
    for (const std::string& out : outputs)
        if (!CheckWritable(out, toFolder, error)) {
            PrintError(error);
            return kExitFailure;
        }
    if (!args.savePreset.empty())
        if (const std::string problem = OutputProblem(args.savePreset); !problem.empty()) {
            PrintError("cannot write preset '" + args.savePreset + "': " + problem);
            return kExitFailure;
        }
    for (const std::string& in : args.inputs)
        if (const std::string problem = InputProblem(in); !problem.empty()) {
            PrintError("cannot read '" + in + "': " + problem);
            return kExitFailure;
        }
    if (toFolder) {
        fs::create_directories(args.output, ec);
        if (ec) {
            PrintError("cannot create folder '" + args.output + "': " + ec.message());
            return kExitFailure;
        }
        for (const std::string& out : outputs)
            if (const std::string problem = OutputProblem(out); !problem.empty()) {
                PrintError("cannot write '" + out + "': " + problem);
                return kExitFailure;
            }
    }

    std::vector<Job> jobs;
    for (size_t i = 0; i < args.inputs.size(); ++i)
        jobs.push_back(Job{args.inputs[i], outputs[i], parameters});
    const int failures = RunJobs(jobs, args.run);
    if (failures != 0) return kExitFailure;

    if (!args.savePreset.empty() && !WritePresetFile(args.savePreset, parameters, error)) {
        PrintError(error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace fw::cli
