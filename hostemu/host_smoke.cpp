// Loads a filter module by path and runs the host's selector sequences on a small
// picture: about, a full run, a repeat without the parameters selector and two unknown
// selectors. Prints what happened; exits non-zero when the module misbehaves.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "hostemu/emulated_host.h"
#include "params/effect_parameters.h"

namespace {

int g_failures = 0;

void Expect(bool ok, const char* what, int got) {
    std::printf("%-48s %s (%d)\n", what, ok ? "ok" : "FAILED", got);
    if (!ok) ++g_failures;
}

hostemu::Image SamplePicture(int depth, int planes = 3) {
    hostemu::Image img(64, 48, planes, depth);
    const int full = img.FullScale();
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            img.At(x, y, 0) = uint16_t(full * x / (img.width - 1));
            img.At(x, y, 1) = uint16_t(full * y / (img.height - 1));
            img.At(x, y, 2) = uint16_t(full / 2);
            for (int p = 3; p < planes; ++p) img.At(x, y, p) = uint16_t(full - full * x / 127);
        }
    return img;
}

#if defined(_WIN32)
// The about box is modal: a user would close it. This thread does, once it appears.
DWORD WINAPI CloseAboutBox(LPVOID) {
    for (int i = 0; i < 200; ++i) {
        HWND box = FindWindowA("#32770", nullptr);
        DWORD pid = 0;
        if (box) GetWindowThreadProcessId(box, &pid);
        if (box && pid == GetCurrentProcessId()) {
            Sleep(200);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 1;
        }
        Sleep(50);
    }
    return 0;
}

// The module shows its dialog in runs that ask for it; this user presses OK on it each time,
// so every run goes on with the settings it had, as the native module's runs do.
BOOL CALLBACK PressOkOnDialog(HWND window, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char title[32] = {};
    GetWindowTextA(window, title, sizeof(title));
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) &&
        std::strcmp(title, "Frostweave") == 0)
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return TRUE;
}

DWORD WINAPI PressOkWhenAsked(LPVOID) {
    for (;;) {
        EnumWindows(PressOkOnDialog, 0);
        Sleep(20);
    }
}
#endif

int AboutWithCloser(hostemu::EmulatedHost& host) {
#if defined(_WIN32)
    HANDLE closer = CreateThread(nullptr, 0, CloseAboutBox, nullptr, 0, nullptr);
    const int r = host.About();
    WaitForSingleObject(closer, 15000);
    CloseHandle(closer);
    return r;
#else
    return host.About();
#endif
}

// Loads and unloads the module twice without running anything (the load log test).
int LoadTwice(const char* path) {
    for (int i = 0; i < 2; ++i) {
        std::string error;
        auto module = hostemu::Module::Load(path, error);
        if (!module) {
            std::fprintf(stderr, "host_smoke: %s\n", error.c_str());
            return 1;
        }
    }
    std::printf("loaded and unloaded twice\n");
    return 0;
}

// FNV-1a over the samples: a short name for a picture that both platforms can print.
uint64_t Digest(const hostemu::Image& img) {
    uint64_t h = 1469598103934665603ull;
    for (uint16_t v : img.samples) {
        h = (h ^ (v & 0xFF)) * 1099511628211ull;
        h = (h ^ (v >> 8)) * 1099511628211ull;
    }
    return h;
}

// The default effect without glass (glass reads across band seams) in one band, then in
// bands of five rows through advanceState and through the host-driven loop: the three
// pictures must be the same.
void BandSequences(hostemu::Module& module, int depth) {
    uint64_t oneBand = 0;
    const char* names[3] = {"one band", "advanceState bands", "host-driven bands"};
    for (int sequence = 0; sequence < 3; ++sequence) {
        hostemu::HostOptions options;
        if (sequence > 0) options.maxSpace = 5 * (64 + 2 * 3 * 64);
        options.advanceState = sequence != 2;
        hostemu::EmulatedHost host(module.Entry(), options);
        host.SetImage(SamplePicture(depth));
        int16_t r = host.Call(1);
        if (r == 0) {
            auto* p = reinterpret_cast<fw::EffectParameters*>(*host.ParametersHandle());
            p->UseGlass = 0;
            r = host.RunFilter(true);
        }
        const uint64_t digest = Digest(host.GetImage());
        if (sequence == 0) oneBand = digest;
        char what[96];
        std::snprintf(what, sizeof what, "%d-bit, %s", depth, names[sequence]);
        Expect(r == 0 && digest == oneBand, what, r);
        if (sequence == 0)
            std::printf("digest %d-bit %016llx\n", depth, static_cast<unsigned long long>(digest));
    }
}

std::vector<uint8_t> SampleSelection() {
    std::vector<uint8_t> mask(64 * 48, 0);
    for (int y = 6; y < 44; ++y)
        for (int x = 10; x < 58; ++x)
            if ((x - 34) * (x - 34) + 2 * (y - 25) * (y - 25) < 500) mask[size_t(y) * 64 + x] = 1;
    return mask;
}

void PrintDigest(const char* what, const hostemu::Image& img) {
    std::printf("digest %s %016llx\n", what, static_cast<unsigned long long>(Digest(img)));
}

// The default effect over every plane count, depth and with a selection; digests only
// (the native and the Windows module must agree).
void Pictures(hostemu::Module& module) {
    for (int planes = 3; planes <= 5; ++planes)
        for (int depth : {8, 16})
            for (bool selection : {false, true}) {
                hostemu::EmulatedHost host(module.Entry());
                host.SetImage(SamplePicture(depth, planes));
                if (selection) host.SetSelection(SampleSelection());
                const int16_t r = host.RunFilter();
                char what[64];
                std::snprintf(what, sizeof what, "planes=%d %d-bit%s", planes, depth,
                              selection ? " selection" : "");
                Expect(r == 0, what, r);
                PrintDigest(what, host.GetImage());
            }
}

// Records a run with the user's settings, replays it silently in a fresh host: the same
// picture. Then a run the user cancels leaves the picture as it was.
void ReplayAndCancel(hostemu::Module& module) {
    hostemu::EmulatedHost recorder(module.Entry());
    recorder.SetImage(SamplePicture(8));
    int16_t r = recorder.Call(1);
    if (r == 0) {
        auto* p = reinterpret_cast<fw::EffectParameters*>(*recorder.ParametersHandle());
        p->Width = 55;
        p->RandomSeed = 7;
        p->EffectKind = 1;  // "Geometric 2"
        p->PatternKind = 2;
        r = recorder.RunFilter(true);
    }
    Expect(r == 0 && recorder.HasRecorded(), "recorded run", r);

    hostemu::EmulatedHost player(module.Entry());
    player.SetImage(SamplePicture(8));
    r = player.RunFilter();  // a run of its own first, with the defaults
    player.SetImage(SamplePicture(8));
    player.SetDescriptor(recorder.Recorded());
    player.Options().playInfo = fw::sdk::kPlaySilent;
    if (r == 0) r = player.RunFilter(true);
    Expect(r == 0 && Digest(player.GetImage()) == Digest(recorder.GetImage()),
           "silent replay gives the recorded picture", r);
    PrintDigest("replay", player.GetImage());

    hostemu::HostOptions cancelling;
    cancelling.maxSpace = 5 * (64 + 2 * 3 * 64);
    cancelling.abortAfterCalls = 3;
    hostemu::EmulatedHost cancelled(module.Entry(), cancelling);
    cancelled.SetImage(SamplePicture(16));
    r = cancelled.RunFilter();
    Expect(r == -128 && cancelled.GetImage().samples == SamplePicture(16).samples,
           "cancel keeps the picture", r);
}

// Every host profile renders; the digests are compared across platforms.
void Profiles(hostemu::Module& module) {
    for (hostemu::HostProfile profile : hostemu::kAllHostProfiles)
        for (int depth : {8, 16}) {
            hostemu::EmulatedHost host(module.Entry(), hostemu::OptionsFor(profile));
            host.SetImage(SamplePicture(depth));
            host.SetSelection(SampleSelection());
            const int16_t r = host.RunFilter();
            char what[80];
            std::snprintf(what, sizeof what, "profile %s %d-bit", hostemu::HostProfileName(profile),
                          depth);
            for (char* c = what; *c; ++c)
                if (*c == ' ' && c > what + 7) *c = '_';
            Expect(r == 0, what, r);
            PrintDigest(what, host.GetImage());
        }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--load-twice") == 0) return LoadTwice(argv[2]);
    if (argc < 2) {
        std::fprintf(stderr, "usage: host_smoke [--load-twice] MODULE\n");
        return 2;
    }
    std::string error;
    auto module = hostemu::Module::Load(argv[1], error);
    if (!module) {
        std::fprintf(stderr, "host_smoke: %s\n", error.c_str());
        return 1;
    }
    std::printf("loaded %s\n", argv[1]);
#if defined(_WIN32)
    CloseHandle(CreateThread(nullptr, 0, PressOkWhenAsked, nullptr, 0, nullptr));
#endif

    for (int depth : {8, 16}) {
        hostemu::EmulatedHost host(module->Entry());
        host.SetImage(SamplePicture(depth));
        int16_t r = int16_t(AboutWithCloser(host));
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
    BandSequences(*module, 8);
    BandSequences(*module, 16);
    Pictures(*module);
    ReplayAndCancel(*module);
    Profiles(*module);
    std::printf("%d failed\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
