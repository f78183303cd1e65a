#include "version_info.h"

#include <gtest/gtest.h>

#include <cstring>

#include "pe_resources.h"

namespace fw::pe {
namespace {

// The version resource as the resource compiler wrote it into a stand-in DLL.
std::vector<uint8_t> ProbeVersionResource() {
    for (const char* path : {FW_PROBE_64, FW_PROBE_32}) {
        std::vector<uint8_t> bytes;
        Image image;
        if (std::strlen(path) == 0 || !ReadFileBytes(path, bytes) ||
            !ReadImage(bytes.data(), bytes.size(), image))
            continue;
        if (const Resource* r = FindResourceEntry(image, kTypeVersion, 1)) return r->data;
    }
    return {};
}

// Parses a copy of exactly `size` bytes, so a read past the end is caught by the sanitizer.
bool ParseCopy(const std::vector<uint8_t>& bytes, size_t size, VersionInfo& info) {
    std::vector<uint8_t> copy(bytes.begin(), bytes.begin() + size);
    copy.shrink_to_fit();
    return ParseVersionInfo(copy, info);
}

TEST(VersionInfo, CompiledResourceDecodesAndEveryTruncationIsRejected) {
    const std::vector<uint8_t> bytes = ProbeVersionResource();
    if (bytes.empty()) GTEST_SKIP() << "no mingw-w64 tools: no probe";
    VersionInfo info;
    ASSERT_TRUE(ParseVersionInfo(bytes, info));
    EXPECT_EQ(info.table, "040904B0");
    EXPECT_EQ(info.translations, std::vector<uint32_t>{0x04B00409u});
    EXPECT_GE(info.strings.size(), 8u);
    EXPECT_EQ(info.String("ProductName"), "Frostweave");
    EXPECT_EQ(info.String("NoSuchKey"), "");

    // The outer length covers the whole block: any cut loses part of it.
    for (size_t size = 0; size < bytes.size(); ++size) {
        const uint16_t outer = uint16_t(bytes[0] | bytes[1] << 8);
        if (size >= outer) break;  // padding after the block
        EXPECT_FALSE(ParseCopy(bytes, size, info)) << size;
    }
}

TEST(VersionInfo, DamagedBlocksFailWithoutReadingOutside) {
    const std::vector<uint8_t> bytes = ProbeVersionResource();
    if (bytes.empty()) GTEST_SKIP() << "no mingw-w64 tools: no probe";
    VersionInfo info;
    std::vector<uint8_t> bad = bytes;
    bad[40] ^= 0xFF;  // inside the fixed part's signature
    EXPECT_FALSE(ParseVersionInfo(bad, info));
    bad = bytes;
    bad[6] = 'X';  // the root key
    EXPECT_FALSE(ParseVersionInfo(bad, info));

    // Every length field set to values that do not nest: the parse may fail or succeed,
    // but stays inside the bytes (checked under the sanitizer) and keeps strings intact.
    for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
        for (uint16_t value : {uint16_t(0), uint16_t(5), uint16_t(7), uint16_t(0xFFFF)}) {
            bad = bytes;
            bad[at] = uint8_t(value);
            bad[at + 1] = uint8_t(value >> 8);
            if (ParseCopy(bad, bad.size(), info)) {
                for (const auto& [key, text] : info.strings)
                    EXPECT_EQ(key.find('\0'), std::string::npos);
            }
        }
    }
}

}  // namespace
}  // namespace fw::pe
