// libFuzzer target for the command line's picture readers (PNG, JPEG, TIFF), through the
// same ReadPicture the tool calls: header checks, then the decoders. Any bytes must give a
// picture or a message, never a crash, a leak or an allocation the header cannot justify.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/image_io.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// The readers take a path; one file a process, removed at the end.
struct ScratchFile {
    std::string path = "/tmp/fw_reader_fuzz_" + std::to_string(getpid());
    ~ScratchFile() { std::remove(path.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile scratch;
    const std::string& path = scratch.path;
    FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr);
    Check(std::fwrite(data, 1, size, f) == size);
    std::fclose(f);
    fw::cli::Picture picture;
    std::string error;
    // Small enough that no accepted picture nears the fuzzer's memory limit.
    if (fw::cli::ReadPicture(path, picture, error, 4'000'000)) {
        Check(picture.width > 0 && picture.height > 0);
        Check(picture.channels >= 1 && picture.channels <= 4);
        Check(picture.depth == 8 || picture.depth == 16);
        Check(picture.samples.size() ==
              size_t(picture.width) * size_t(picture.height) * size_t(picture.channels));
    } else {
        Check(!error.empty());
    }
    return 0;
}
