#include "cli/output_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#endif

namespace fw::cli {

namespace fs = std::filesystem;

namespace {

// What the signal handler may touch: fixed storage and lock-free atomics only.
enum SlotState : int { kFree, kClaimed, kPending, kCommitting, kStopped };
constexpr int kSlots = 16;
constexpr size_t kPathCapacity = 4096;
struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathCapacity];
};
Slot g_slots[kSlots];

constexpr int kMaxWorkers = 64;
std::atomic<long> g_workers[kMaxWorkers];
std::atomic<bool> g_terminalOutput{false};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<long>::is_always_lock_free);

void WriteStderr(const char* text) {
#if defined(_WIN32)
    _write(2, text, unsigned(std::strlen(text)));
#else
    const ssize_t ignored = write(2, text, std::strlen(text));
    (void)ignored;
#endif
}

void RemovePath(const char* path) {
#if defined(_WIN32)
    _unlink(path);
#else
    unlink(path);
#endif
}

extern "C" void OnStopSignal(int signal) {
    for (Slot& slot : g_slots) {
        int state = kPending;
        if (slot.state.compare_exchange_strong(state, kStopped)) {
            RemovePath(slot.path);
        } else if (state == kCommitting) {
            // Another thread is renaming a complete file; let that finish (it never takes long).
#if !defined(_WIN32)
            for (int i = 0; i < 2000 && slot.state.load() == kCommitting; ++i) usleep(1000);
#endif
        }
    }
#if !defined(_WIN32)
    for (auto& worker : g_workers)
        if (const long pid = worker.load(); pid > 0) kill(pid_t(pid), signal);
    for (auto& worker : g_workers)
        if (const long pid = worker.load(); pid > 0) waitpid(pid_t(pid), nullptr, 0);
#endif
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    WriteStderr(g_terminalOutput.load() ? "\nfrostweave: stopped by " : "frostweave: stopped by ");
    WriteStderr(name);
    WriteStderr("\n");
    _exit(128 + signal);
}

#if !defined(_WIN32)
// Blocks the stop signals on this thread while a rename decides the target's content.
class StopSignalsHeld {
  public:
    StopSignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~StopSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

  private:
    sigset_t previous_;
};
#else
struct StopSignalsHeld {
    StopSignalsHeld() {}  // Windows runs signal handlers on a thread of their own
};
#endif

std::string RandomPart() {
    static std::mt19937_64 generator(
        std::random_device{}() ^
        uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string part(8, 'x');
    for (char& c : part) c = kLetters[generator() % (sizeof kLetters - 1)];
    return part;
}

int CreateExclusively(const std::string& path) {
#if defined(_WIN32)
    return _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    // O_EXCL never opens an existing name, a link included; O_NOFOLLOW says so twice.
    return open(path.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY | O_CLOEXEC, 0666);
#endif
}

void CloseDescriptor(int descriptor) {
#if defined(_WIN32)
    _close(descriptor);
#else
    close(descriptor);
#endif
}

// Whether `path` still names the file behind `descriptor`, not a link or a replacement.
bool SameFile(int descriptor, const std::string& path) {
#if defined(_WIN32)
    (void)descriptor;
    (void)path;
    return true;
#else
    struct stat opened {
    }, named{};
    return fstat(descriptor, &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
           S_ISREG(named.st_mode) && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
#endif
}

}  // namespace

OutputFile::~OutputFile() {
    Discard();
}

bool OutputFile::Create(const std::string& target, std::string& error) {
    Discard();
    const fs::path path(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".";  // built in steps: GCC 12 warns falsely on "." + string
        name += path.stem().string();
        name += '.';
        name += RandomPart();
        name += ".partial";
        name += path.extension().string();
        const std::string temp = fs::path(path).replace_filename(name).string();
        if (temp.size() >= kPathCapacity) {
            error = "cannot write '" + target + "': the name is too long";
            return false;
        }
        int slot = -1;
        for (int i = 0; i < kSlots && slot < 0; ++i) {
            int state = kFree;
            if (g_slots[i].state.compare_exchange_strong(state, kClaimed)) slot = i;
        }
        if (slot < 0) {
            error = "cannot write '" + target + "': too many files written at once";
            return false;
        }
        std::memcpy(g_slots[slot].path, temp.c_str(), temp.size() + 1);
        // Registered before it exists, so a signal between the two cannot leave it behind.
        g_slots[slot].state.store(kPending);
        const int descriptor = CreateExclusively(temp);
        if (descriptor >= 0) {
            target_ = target;
            temp_ = temp;
            descriptor_ = descriptor;
            slot_ = slot;
            return true;
        }
        const int cause = errno;
        int state = kPending;
        g_slots[slot].state.compare_exchange_strong(state, kFree);
        if (cause != EEXIST) {
            error = "cannot write '" + target + "': " + std::strerror(cause);
            return false;
        }
    }
    error = "cannot write '" + target + "': no unused temporary name in its folder";
    return false;
}

bool OutputFile::Commit(std::string& error) {
    if (slot_ < 0) {
        error = "cannot write '" + target_ + "': nothing was written";
        return false;
    }
    if (!SameFile(descriptor_, temp_)) {
        // Someone replaced our temporary; whatever is there now is not ours to move or remove.
        CloseDescriptor(descriptor_);
        descriptor_ = -1;
        g_slots[slot_].state.store(kFree);
        slot_ = -1;
        error = "cannot write '" + target_ + "': its temporary file was replaced while writing";
        return false;
    }
    bool renamed = false;
    std::error_code ec;
    {
        StopSignalsHeld held;
        int state = kPending;
        if (g_slots[slot_].state.compare_exchange_strong(state, kCommitting)) {
            fs::rename(temp_, target_, ec);
            renamed = !ec;
            g_slots[slot_].state.store(renamed ? int(kFree) : int(kPending));
        }
    }
    if (!renamed) {
        error = "cannot write '" + target_ + "': " + (ec ? ec.message() : "stopped");
        Discard();
        return false;
    }
    CloseDescriptor(descriptor_);
    descriptor_ = -1;
    slot_ = -1;
    return true;
}

void OutputFile::Discard() {
    if (descriptor_ >= 0) {
        CloseDescriptor(descriptor_);
        descriptor_ = -1;
    }
    if (slot_ >= 0) {
        int state = kPending;
        if (g_slots[slot_].state.compare_exchange_strong(state, kClaimed)) {
            RemovePath(temp_.c_str());  // never follows a link planted there
            g_slots[slot_].state.store(kFree);
        }
        slot_ = -1;
    }
}

std::string OutputProblem(const std::string& path) {
    std::error_code ec;
    const fs::path target(path);
    if (fs::is_directory(target, ec)) return "it is a folder";
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    const fs::file_status status = fs::status(folder, ec);
    std::string problem = "folder '";  // built in steps: GCC 12 warns falsely on "'" + string
    problem += folder.string();
    if (!fs::exists(status)) return problem + "' does not exist";
    if (!fs::is_directory(status)) return problem.substr(7) + "' is not a folder";
#if !defined(_WIN32)
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return problem + "' is not writable (" + std::strerror(errno) + ")";
#endif
    return {};
}

std::string WriteFailureReason(const std::string& path, const std::string& reason) {
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    const fs::space_info space = fs::space(folder, ec);
    // A full device makes every library say something of its own ("Write Error").
    if (!ec && space.available < 64 * 1024) return "no space left on the device";
    return reason;
}

void InstallStopHandlers() {
#if defined(_WIN32)
    g_terminalOutput = _isatty(2) != 0;
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#else
    g_terminalOutput = isatty(2) != 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // One stop at a time: a second signal waits for the first one's cleanup.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGHUP);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
#endif
}

void AddWorker(long pid) {
    for (auto& worker : g_workers) {
        long none = 0;
        if (worker.compare_exchange_strong(none, pid)) return;
    }
}

void RemoveWorker(long pid) {
    for (auto& worker : g_workers) {
        long expected = pid;
        if (worker.compare_exchange_strong(expected, 0)) return;
    }
}

void FollowParent() {
#if !defined(_WIN32)
    const char* value = std::getenv(kParentVariable);
    if (!value) return;
    const long parent = std::strtol(value, nullptr, 10);
#if defined(__linux__)
    prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    // The parent may have ended before the line above took effect.
    if (long(getppid()) != parent) OnStopSignal(SIGTERM);
#endif
}

}  // namespace fw::cli
