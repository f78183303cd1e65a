// Decoder of a module's version resource (VS_VERSIONINFO, resource type 16, name 1): the
// fixed version numbers and the strings of its string table, as the system's file
// properties show them. Strict and bounds-checked: a block whose lengths do not nest, a
// missing signature or a truncated string gives false, never a read outside the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fw::pe {

inline constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;

struct VersionInfo {
    // Each pair of 32-bit words holds four 16-bit parts, most significant first.
    uint32_t fileVersionMS = 0, fileVersionLS = 0;
    uint32_t productVersionMS = 0, productVersionLS = 0;
    uint32_t fileOS = 0, fileType = 0;
    std::string table;  // key of the first string table, e.g. "040904B0"
    std::vector<std::pair<std::string, std::string>> strings;  // that table, in order
    std::vector<uint32_t> translations;  // language in the low word, code page in the high

    // The value of `key` in the string table, or empty.
    std::string String(const std::string& key) const;
};

// Characters outside ASCII read as '?'.
bool ParseVersionInfo(const std::vector<uint8_t>& bytes, VersionInfo& info);

}  // namespace fw::pe
