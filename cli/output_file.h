// Files the program writes appear complete or not at all. Each is written under a unique
// temporary name beside its target, created exclusively and never through a link, and renamed
// over the target only when complete. SIGINT, SIGTERM and SIGHUP, at any moment, remove every
// temporary file, stop the worker processes and end the program with 128 + the signal; an
// existing target stays as it was.
#pragma once

#include <string>

namespace fw::cli {

class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // removes a temporary that was not committed

    // Creates the empty temporary for `target`. Its name keeps the target's extension
    // (libraries look at it): ".NAME.XXXXXXXX.partial.EXT".
    bool Create(const std::string& target, std::string& error);
    const std::string& TemporaryPath() const { return temp_; }
    // Renames the written temporary over the target, unless a stop signal came first or
    // the temporary's name no longer leads to the file created.
    bool Commit(std::string& error);
    // Removes the temporary now.
    void Discard();

  private:
    std::string target_;
    std::string temp_;
    int descriptor_ = -1;
    int slot_ = -1;
};

// Why `path` cannot be written, in the user's words ("it is a folder", "folder 'x' does not
// exist", ...); empty when it can be. Checked before any work starts.
std::string OutputProblem(const std::string& path);

// A write into `path` failed: "no space left on the device" when its folder's device is
// full, otherwise `reason`.
std::string WriteFailureReason(const std::string& path, const std::string& reason);

// Installs the handlers of SIGINT, SIGTERM and SIGHUP.
void InstallStopHandlers();

// Worker processes the signals are passed on to (and waited for) before the program ends.
void AddWorker(long pid);
void RemoveWorker(long pid);

// The environment variable that tells a worker process its parent's id.
constexpr const char* kParentVariable = "FROSTWEAVE_PARENT_PID";
// In a worker process: the kernel sends SIGTERM when the parent ends, so no worker writes
// after its parent is gone. Ends the process at once when the parent is already gone.
void FollowParent();

}  // namespace fw::cli
