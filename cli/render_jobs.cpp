#include "cli/render_jobs.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <utility>

#include "cli/child_process.h"
#include "cli/host_pixels.h"
#include "cli/image_io.h"
#include "cli/progress_bar.h"

namespace fw::cli {

namespace fs = std::filesystem;

std::string ModulePathFor(const RunArgs& run) {
    return run.plugin.empty() ? DefaultModulePath(run.argv0.c_str()) : run.plugin;
}

namespace {

bool RunJobOrThrow(const FilterModule& module, const Job& job, const RunArgs& run,
                   std::string& error) {
    Picture picture;
    const uint64_t maxPixels = uint64_t(run.maxMegapixels) * 1'000'000;
    if (!ReadPicture(job.input, picture, error, maxPixels)) return false;
    RunRequest request;
    request.parameters = job.parameters;
    request.host = run.host;
    if (!run.selection.empty()) {
        Picture mask;
        if (!ReadPicture(run.selection, mask, error, maxPixels)) return false;
        if (!SelectionFromPicture(mask, picture.width, picture.height, request.selection, error)) {
            error = "'" + run.selection + "': " + error;
            return false;
        }
        if (SelectionBounds(request.selection, picture.width, picture.height).Width() == 0) {
            error = "'" + run.selection + "' selects nothing (every pixel is zero)";
            return false;
        }
    }
    hostemu::Image image = ToHostImage(std::move(picture));  // the host holds the pixels now

    ProgressBar bar(!run.quiet && StderrIsTerminal(), fs::path(job.input).filename().string());
    request.progress = [&bar](double f) { bar.Update(f); };
    const bool ran = RunFilter(module, image, std::move(request), error);  // the mask moves on
    bar.Finish();
    if (!ran) {
        error = "'" + job.input + "': " + error;
        return false;
    }
    const Picture result = FromHostImage(std::move(image));
    return WritePicture(job.output, result, error);
}

}  // namespace

bool RunJob(const FilterModule& module, const Job& job, const RunArgs& run, std::string& error) {
    try {
        return RunJobOrThrow(module, job, run, error);
    } catch (const std::exception&) {  // bad_alloc, or length_error for a size no build holds
        error = "'" + job.input +
                "': out of memory (the picture needs more than this process can have)";
        return false;
    }
}

namespace {

std::vector<std::string> ChildArguments(const Job& job, const RunArgs& run,
                                        const std::string& module) {
    std::vector<std::string> args{"apply",   job.input,  "-o",  job.output,
                                  "--quiet", "--plugin", module};
    if (run.host.maxSpace >= 0) {
        args.push_back("--max-space");
        args.push_back(std::to_string(run.host.maxSpace));
    }
    args.push_back("--max-megapixels");
    args.push_back(std::to_string(run.maxMegapixels));
    if (run.host.hostDrivenBands) args.push_back("--host-driven-bands");
    if (run.smallPng) args.push_back("--small-png");
    if (run.host.noHandleProcs) args.push_back("--no-handle-procs");
    if (!run.selection.empty()) {
        args.push_back("--selection");
        args.push_back(run.selection);
    }
    // The record travels whole, so the child needs no preset file and no names.
    for (std::string& a : ParametersAsSetArguments(job.parameters)) args.push_back(a);
    return args;
}

}  // namespace

int RunJobs(const std::vector<Job>& jobs, const RunArgs& run) {
    SetPngEffort(run.smallPng ? PngEffort::Smallest : PngEffort::Fast);
    const std::string modulePath = ModulePathFor(run);
    std::string error;
    auto module = FilterModule::Load(modulePath, error);
    if (!module) {
        PrintError(error);
        return -1;
    }
    if (run.jobs > 1 && jobs.size() > 1) {
        std::vector<std::vector<std::string>> runs;
        for (const Job& job : jobs) runs.push_back(ChildArguments(job, run, modulePath));
        module.reset();
        return RunProcesses(SelfPath(run.argv0.c_str()), runs, run.jobs, [&](size_t i, int code) {
            if (code == 0 && !run.quiet)
                std::printf("%s\n", jobs[i].output.c_str());
            else if (code < 0)
                PrintError("'" + jobs[i].input + "': the worker process did not finish");
            std::fflush(stdout);
        });
    }
    int failures = 0;
    for (const Job& job : jobs) {
        if (!RunJob(*module, job, run, error)) {
            PrintError(error);
            ++failures;
            continue;
        }
        if (!run.quiet) std::printf("%s\n", job.output.c_str());
        std::fflush(stdout);
    }
    return failures;
}

}  // namespace fw::cli
