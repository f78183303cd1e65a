#include "cli/progress_bar.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define FW_ISATTY _isatty
#define FW_FILENO _fileno
#else
#include <unistd.h>
#define FW_ISATTY isatty
#define FW_FILENO fileno
#endif

namespace fw::cli {

namespace {
constexpr int kBarWidth = 30;
}

bool StderrIsTerminal() {
    return FW_ISATTY(FW_FILENO(stderr)) != 0;
}

ProgressBar::ProgressBar(bool enabled, std::string label)
    : enabled_(enabled), label_(std::move(label)) {}

ProgressBar::~ProgressBar() {
    Finish();
}

void ProgressBar::Update(double fraction) {
    if (!enabled_) return;
    const int perMille = int(fraction * 1000.0 + 0.5);
    if (perMille == shown_) return;
    shown_ = perMille;
    const int filled = perMille * kBarWidth / 1000;
    std::string bar(size_t(filled), '#');
    bar.append(size_t(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(), perMille / 10);
    std::fflush(stderr);
}

void ProgressBar::Finish() {
    if (!enabled_ || shown_ < 0) return;
    std::fprintf(stderr, "\r%*s\r", int(label_.size()) + kBarWidth + 8, "");
    std::fflush(stderr);
    shown_ = -1;
}

}  // namespace fw::cli
