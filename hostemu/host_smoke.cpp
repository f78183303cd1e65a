// Loads a filter module by path and runs the host's selector sequences on a small
// picture: about, a full run, a repeat without the parameters selector and two unknown
// selectors. Prints what happened; exits non-zero when the module misbehaves.
#include <cstdio>
#include <string>

#include "hostemu/emulated_host.h"

namespace {

int g_failures = 0;

void Expect(bool ok, const char* what, int got) {
    std::printf("%-48s %s (%d)\n", what, ok ? "ok" : "FAILED", got);
    if (!ok) ++g_failures;
}

hostemu::Image SamplePicture(int depth) {
    hostemu::Image img(64, 48, 3, depth);
    const int full = img.FullScale();
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            img.At(x, y, 0) = uint16_t(full * x / (img.width - 1));
            img.At(x, y, 1) = uint16_t(full * y / (img.height - 1));
            img.At(x, y, 2) = uint16_t(full / 2);
        }
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: host_smoke MODULE\n");
        return 2;
    }
    std::string error;
    auto module = hostemu::Module::Load(argv[1], error);
    if (!module) {
        std::fprintf(stderr, "host_smoke: %s\n", error.c_str());
        return 1;
    }
    std::printf("loaded %s\n", argv[1]);

    for (int depth : {8, 16}) {
        hostemu::EmulatedHost host(module->Entry());
        host.SetImage(SamplePicture(depth));
        int16_t r = host.About();
        Expect(r == 0 && host.DataSlot() == 0, "about leaves the data slot empty", r);
        r = host.RunFilter();
        Expect(r == 0, depth == 8 ? "8-bit run" : "16-bit run", r);
        Expect(host.ParametersHandle() != nullptr, "parameters handle kept by the host",
               host.ParametersHandle() != nullptr);
        r = host.RunFilter(true);
        Expect(r == 0, "repeat without the parameters selector", r);
        for (int selector : {6, -1}) {
            r = host.Call(int16_t(selector));
            Expect(r == -30100, selector == 6 ? "selector 6 refused" : "selector -1 refused", r);
        }
    }
    std::printf("%d failed\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
