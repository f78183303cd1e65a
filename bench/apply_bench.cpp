// `frostweave apply` end to end on generated pictures, split into its steps: decode, the
// work between decode and encode other than the renderer (host, conversions, buffers), the
// renderer (the module's calls of __RasterScene, timed by interposing it), and encode. Each
// case runs in a child process of its own, so its peak resident memory is its own; the
// budget printed beside it is 4 x the picture's RGBA size + 64 MiB.
//
// Usage: apply_bench [--module PATH] [--work DIR] [--repeat N] [--only NAME] [--small-png]
// The default cases: 12 MP (4000 x 3000) and 100 MP (12000 x 8334), 8 and 16 bits, as
// TIFF (deflate, as the tool writes it) in and out and as PNG in and out. Default parameters.
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/filter_runner.h"
#include "cli/host_pixels.h"
#include "cli/image_io.h"
#include "cli/parameter_options.h"
#include "prismcore/prismcore.h"

namespace {

using Clock = std::chrono::steady_clock;
std::atomic<int64_t> g_rendererNanos{0};

using RasterScene = decltype(&__RasterScene);

RasterScene RealRenderer() {
    // The module brought the renderer in privately; it is found by its name once loaded.
    void* library = dlopen("libprismcore.so", RTLD_LAZY | RTLD_NOLOAD);
    void* real = library ? dlsym(library, "__RasterScene") : nullptr;
    if (!real) {
        std::fprintf(stderr, "apply_bench: the renderer is not loaded\n");
        std::abort();
    }
    return reinterpret_cast<RasterScene>(real);
}

}  // namespace

// The module's import resolves to this program first (it exports its symbols).
extern "C" __attribute__((visibility("default"))) void __RasterScene(
    uint8_t* background, const uint8_t* source, int32_t width, int32_t height, int32_t rowLength,
    int32_t pointCount, int32_t triangleCount, const __Triangle3ds* triangles,
    const __Point3ds* points, int32_t centerX, int32_t centerY, int32_t materialCount,
    const material3ds* materials, const __Texture* textures, int32_t lightCount,
    const light3ds* lights, const GlassProp* glass) {
    static const RasterScene next = RealRenderer();
    const Clock::time_point start = Clock::now();
    next(background, source, width, height, rowLength, pointCount, triangleCount, triangles, points,
         centerX, centerY, materialCount, materials, textures, lightCount, lights, glass);
    g_rendererNanos +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

namespace {

namespace fs = std::filesystem;
using fw::cli::Picture;

struct Case {
    std::string name;
    int width, height, depth;
    const char* extension;
};

struct Split {
    double decode = 0, between = 0, renderer = 0, encode = 0;
    long peakKiB = 0;
    bool ok = false;
};

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A photograph's kind of content: smooth gradients with fine grain, so that PNG has
// something to compress but not everything.
Picture Generate(int width, int height, int depth) {
    Picture p(width, height, 3, depth);
    const uint32_t full = depth == 16 ? 65535 : 255;
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 28) - 8;  // -8..7 in 8-bit steps
            const uint32_t base[3] = {uint32_t(uint64_t(x) * full / width),
                                      uint32_t(uint64_t(y) * full / height),
                                      uint32_t(uint64_t(x + y) * full / (width + height))};
            for (int c = 0; c < 3; ++c) {
                const int64_t v = int64_t(base[c]) + int64_t(grain) * int64_t(full / 255);
                p.At(x, y, c) = uint16_t(std::clamp<int64_t>(v, 0, full));
            }
        }
    return p;
}

// Runs in the child: the steps of `frostweave apply` as the tool takes them.
Split RunCase(const std::string& module, const std::string& in, const std::string& out) {
    Split s;
    std::string error;
    auto filter = fw::cli::FilterModule::Load(module, error);
    if (!filter) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return s;
    }
    const Clock::time_point t0 = Clock::now();
    Picture picture;
    if (!fw::cli::ReadPicture(in, picture, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return s;
    }
    const Clock::time_point t1 = Clock::now();
    fw::cli::RunRequest request;
    request.parameters = fw::cli::DefaultParameters();
    hostemu::Image image = fw::cli::ToHostImage(std::move(picture));
    if (!fw::cli::RunFilter(*filter, image, request, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return s;
    }
    const Picture result = fw::cli::FromHostImage(std::move(image));
    const Clock::time_point t2 = Clock::now();
    if (g_rendererNanos.load() == 0) {
        std::fprintf(stderr, "the renderer was not called\n");
        return s;
    }
    if (!fw::cli::WritePicture(out, result, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return s;
    }
    const Clock::time_point t3 = Clock::now();
    s.decode = Seconds(t0, t1);
    s.renderer = double(g_rendererNanos.load()) * 1e-9;
    s.between = Seconds(t1, t2) - s.renderer;
    s.encode = Seconds(t2, t3);
    s.ok = true;
    return s;
}

Split InChild(const std::string& module, const std::string& in, const std::string& out) {
    int fds[2];
    Split s;
    if (pipe(fds) != 0) return s;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const Split mine = RunCase(module, in, out);
        const ssize_t wrote = write(fds[1], &mine, sizeof mine);
        _exit(wrote == ssize_t(sizeof mine) && mine.ok ? 0 : 1);
    }
    close(fds[1]);
    const ssize_t got = read(fds[0], &s, sizeof s);
    close(fds[0]);
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    if (got != ssize_t(sizeof s) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return Split{};
    s.peakKiB = usage.ru_maxrss;
    return s;
}

bool MakeInput(const Case& c, const std::string& path) {
    if (fs::exists(path)) return true;
    const pid_t pid = fork();  // the picture's memory stays out of the measuring parent
    if (pid == 0) {
        std::string error;
        const bool ok = fw::cli::WritePicture(path, Generate(c.width, c.height, c.depth), error);
        if (!ok) std::fprintf(stderr, "%s\n", error.c_str());
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string Load() {
    double load[3] = {};
    if (getloadavg(load, 3) != 3) return "?";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::string module, work = (fs::temp_directory_path() / "frostweave-apply-bench").string();
    std::string only;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--module" && i + 1 < argc)
            module = argv[++i];
        else if (a == "--work" && i + 1 < argc)
            work = argv[++i];
        else if (a == "--repeat" && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (a == "--only" && i + 1 < argc)
            only = argv[++i];
        else if (a == "--small-png")
            fw::cli::SetPngEffort(fw::cli::PngEffort::Smallest);
        else {
            std::fprintf(stderr,
                         "usage: apply_bench [--module PATH] [--work DIR] [--repeat N] "
                         "[--only NAME] [--small-png]\n");
            return 2;
        }
    }
    if (module.empty()) module = fw::cli::DefaultModulePath(argv[0]);
    fs::create_directories(work);

    const std::vector<Case> cases = {
        {"12MP-8-tif", 4000, 3000, 8, ".tif"},   {"12MP-16-tif", 4000, 3000, 16, ".tif"},
        {"12MP-8-png", 4000, 3000, 8, ".png"},   {"12MP-16-png", 4000, 3000, 16, ".png"},
        {"100MP-8-tif", 12000, 8334, 8, ".tif"}, {"100MP-16-tif", 12000, 8334, 16, ".tif"},
        {"100MP-8-png", 12000, 8334, 8, ".png"}, {"100MP-16-png", 12000, 8334, 16, ".png"},
    };
    std::printf("%-13s %8s %8s %9s %8s %8s %9s %9s  %s\n", "case", "decode", "between", "renderer",
                "encode", "total", "peak MiB", "budget", "load (1, 5, 15 min)");
    int failures = 0;
    for (const Case& c : cases) {
        if (!only.empty() && c.name.find(only) == std::string::npos) continue;
        const std::string in = work + "/in-" + std::to_string(c.width) + "x" +
                               std::to_string(c.height) + "-" + std::to_string(c.depth) +
                               c.extension;
        const std::string out = work + "/out" + c.extension;
        if (!MakeInput(c, in)) {
            std::fprintf(stderr, "%s: cannot make the input\n", c.name.c_str());
            ++failures;
            continue;
        }
        const double rgbaMiB = double(c.width) * c.height * 4 * (c.depth / 8) / 1048576.0;
        for (int r = 0; r < repeat; ++r) {
            const Split s = InChild(module, in, out);
            if (!s.ok) {
                std::fprintf(stderr, "%s: the run failed\n", c.name.c_str());
                ++failures;
                break;
            }
            std::printf("%-13s %8.3f %8.3f %9.3f %8.3f %8.3f %9.0f %9.0f  %s\n", c.name.c_str(),
                        s.decode, s.between, s.renderer, s.encode,
                        s.decode + s.between + s.renderer + s.encode, s.peakKiB / 1024.0,
                        4 * rgbaMiB + 64, Load().c_str());
            std::fflush(stdout);
        }
        fs::remove(out);
    }
    return failures == 0 ? 0 : 1;
}
