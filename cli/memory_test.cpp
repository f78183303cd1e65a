// Picture files in a process where large blocks cannot be had: a write that runs out of
// memory fails with a message and leaves no file, never a crash.
//
// The limit comes from AddressSanitizer, which here hands out nothing over 24 MB and returns
// null instead of stopping; builds without it skip this.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "cli/image_io.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=24";
}
constexpr bool kLimited = true;
#else
constexpr bool kLimited = false;
#endif

namespace fw::cli {
namespace {

namespace fs = std::filesystem;

// 1900 x 1800 16-bit RGB noise: 20.5 MB of samples that deflate cannot shrink, so a compressor
// holding its whole output in a block it doubles asks for 32 MB.
TEST(WritingShortOfMemory, APngThatCannotBeCompressedInMemoryIsRefusedWithoutAFile) {
    if (!kLimited) GTEST_SKIP() << "needs AddressSanitizer's allocation limit";
    Picture p(1900, 1800, 3, 16);
    std::mt19937 rng(3);
    for (uint16_t& s : p.samples) s = uint16_t(rng());
    const fs::path dir = fs::temp_directory_path() / "fw_cli_memory";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string path = (dir / "noise.png").string();
    std::string error;
    if (WritePicture(path, p, error)) {
        // A writer that streams (libpng) needs no such block: then the file must be whole.
        Picture back;
        ASSERT_TRUE(ReadPicture(path, back, error)) << error;
        EXPECT_EQ(back.samples, p.samples);
    } else {
        EXPECT_NE(error.find("out of memory"), std::string::npos) << error;
        EXPECT_TRUE(fs::is_empty(dir));
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace fw::cli
