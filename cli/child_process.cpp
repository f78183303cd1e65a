#include "cli/child_process.h"

#include <deque>
#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>

#include "cli/output_file.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
extern char** environ;
#endif

namespace fw::cli {

namespace fs = std::filesystem;

std::string SelfPath(const char* argv0) {
    std::error_code ec;
#if !defined(_WIN32)
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return self.string();
#endif
    return fs::absolute(fs::path(argv0 ? argv0 : ""), ec).string();
}

#if defined(_WIN32)

namespace {
// The C runtime joins the arguments with spaces; quote each so paths with spaces survive.
std::string Quoted(const std::string& arg) {
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
        } else {
            if (c == '"') out.append(slashes + 1, '\\');
            slashes = 0;
        }
        out += c;
    }
    out.append(slashes, '\\');
    return out + "\"";
}
}  // namespace

int RunProcesses(const std::string& program, const std::vector<std::vector<std::string>>& runs,
                 int jobs, const std::function<void(size_t, int)>& finished) {
    // Without a wait-for-any in the C runtime, the oldest run is waited for first.
    std::deque<std::pair<size_t, intptr_t>> running;
    int failures = 0;
    auto waitOldest = [&] {
        auto [index, handle] = running.front();
        running.pop_front();
        int status = -1;
        if (_cwait(&status, handle, 0) == -1) status = -1;
        if (status != 0) ++failures;
        finished(index, status);
    };
    for (size_t i = 0; i < runs.size(); ++i) {
        if (int(running.size()) >= jobs) waitOldest();
        std::vector<std::string> quoted{Quoted(program)};
        for (const std::string& a : runs[i]) quoted.push_back(Quoted(a));
        std::vector<const char*> argv;
        for (const std::string& a : quoted) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        const intptr_t handle = _spawnv(_P_NOWAIT, program.c_str(), argv.data());
        if (handle == -1) {
            ++failures;
            finished(i, -1);
            continue;
        }
        running.emplace_back(i, handle);
    }
    while (!running.empty()) waitOldest();
    return failures;
}

#else

int RunProcesses(const std::string& program, const std::vector<std::vector<std::string>>& runs,
                 int jobs, const std::function<void(size_t, int)>& finished) {
    std::map<pid_t, size_t> running;
    int failures = 0;
    auto waitAny = [&] {
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0);
        auto it = running.find(pid);
        if (pid < 0 || it == running.end()) {
            // Nothing of ours left to wait for: count the rest as lost.
            for (auto& [p, index] : running) {
                ++failures;
                finished(index, -1);
            }
            running.clear();
            return;
        }
        RemoveWorker(pid);
        const size_t index = it->second;
        running.erase(it);
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (code != 0) ++failures;
        finished(index, code);
    };
    // Workers learn who their parent is, so they end with it.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).substr(0, std::strlen(kParentVariable) + 1) !=
            std::string(kParentVariable) + "=")
            environment.emplace_back(*e);
    environment.push_back(std::string(kParentVariable) + "=" + std::to_string(getpid()));
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    for (size_t i = 0; i < runs.size(); ++i) {
        while (int(running.size()) >= jobs) waitAny();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : runs[i]) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
            ++failures;
            finished(i, -1);
            continue;
        }
        running[pid] = i;
        AddWorker(pid);
    }
    while (!running.empty()) waitAny();
    return failures;
}

#endif

}  // namespace fw::cli
