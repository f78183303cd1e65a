// Filtering picture files: one input picture, one parameter record, one output file. Runs
// jobs one after the other in this process, or several at once in copies of the program.
#pragma once

#include <string>
#include <vector>

#include "cli/commands.h"

namespace fw::cli {

struct Job {
    std::string input;
    std::string output;
    EffectParameters parameters;
};

// Reads, filters and writes one job with the loaded module. Prints nothing.
bool RunJob(const FilterModule& module, const Job& job, const RunArgs& run, std::string& error);

// Runs every job (in `run.jobs` processes when more than one); reports each failure on
// stderr and each written file on stdout. Returns the number of failed jobs, or -1 when
// the module cannot be loaded.
int RunJobs(const std::vector<Job>& jobs, const RunArgs& run);

// The module path the run uses.
std::string ModulePathFor(const RunArgs& run);

}  // namespace fw::cli
