// Runs copies of this program as separate processes, a few at a time.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace fw::cli {

// The path of the running program, for starting copies of it.
std::string SelfPath(const char* argv0);

// Runs `program` once per argument list, at most `jobs` at a time, and calls `finished`
// with the list's index and the exit code (-1 when the process could not be started or
// did not exit normally). Returns the number of runs that did not exit with 0.
int RunProcesses(const std::string& program, const std::vector<std::vector<std::string>>& runs,
                 int jobs, const std::function<void(size_t, int)>& finished);

}  // namespace fw::cli
