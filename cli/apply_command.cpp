// frostweave apply IN... -o OUT
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "cli/commands.h"
#include "cli/image_io.h"
#include "cli/render_jobs.h"

namespace fw::cli {

namespace fs = std::filesystem;

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

bool CheckWritable(const std::string& out, std::string& error) {
    const ImageFormat f = FormatFromExtension(out);
    if (!CanWrite(f)) {
        error = "cannot write '" + out + "': unsupported output format (use .png, .jpg" +
                (CanWrite(ImageFormat::Tiff) ? ", .tif)" : ")");
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
        if (!CheckWritable(out, error)) {
            PrintError(error);
            return kExitFailure;
        }
    for (const std::string& in : args.inputs)
        if (!fs::is_regular_file(in, ec)) {
            PrintError("cannot read '" + in + "': no such file");
            return kExitFailure;
        }
    if (toFolder) {
        fs::create_directories(args.output, ec);
        if (ec) {
            PrintError("cannot create folder '" + args.output + "': " + ec.message());
            return kExitFailure;
        }
    }

    std::vector<Job> jobs;
    for (size_t i = 0; i < args.inputs.size(); ++i)
        jobs.push_back(Job{args.inputs[i], outputs[i], parameters});
    const int failures = RunJobs(jobs, args.run);
    if (CancelRequested()) return kExitCancelled;
    if (failures != 0) return kExitFailure;

    if (!args.savePreset.empty() && !WritePresetFile(args.savePreset, parameters, error)) {
        PrintError(error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace fw::cli
