#include "version_info.h"

#include <algorithm>

namespace fw::pe {
namespace {

// One block of the resource: length, value length, type (0 binary, 1 text), a UTF-16 key,
// the value and the child blocks, each aligned to 4 bytes from the start of the resource.
struct Block {
    size_t end = 0;
    uint16_t valueLength = 0;
    uint16_t type = 0;
    std::string key;
    size_t value = 0;     // offset of the value
    size_t children = 0;  // offset of the first child
};

size_t Align4(size_t offset) {
    return (offset + 3) & ~size_t(3);
}

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(U16(b, at)) | uint32_t(U16(b, at + 2)) << 16;
}

// UTF-16 text from `at` up to its NUL, which must come before `end`.
bool ReadText(const std::vector<uint8_t>& b, size_t& at, size_t end, std::string& text) {
    text.clear();
    while (end - at >= 2) {
        const uint16_t c = U16(b, at);
        at += 2;
        if (c == 0) return true;
        text += c < 128 ? char(c) : '?';
    }
    return false;
}

bool ReadBlock(const std::vector<uint8_t>& b, size_t at, size_t limit, Block& block) {
    if (at > limit || limit - at < 6) return false;
    const size_t length = U16(b, at);
    if (length < 6 || length > limit - at) return false;
    block.end = at + length;
    block.valueLength = U16(b, at + 2);
    block.type = U16(b, at + 4);
    size_t p = at + 6;
    if (!ReadText(b, p, block.end, block.key)) return false;
    block.value = std::min(Align4(p), block.end);
    // Text values count UTF-16 units; some writers count bytes, so a text value is only
    // required to end inside its block.
    const size_t valueBytes = block.type == 1 ? 2u * block.valueLength : block.valueLength;
    if (block.type != 1 && valueBytes > block.end - block.value) return false;
    block.children =
        std::min(Align4(block.value + std::min(valueBytes, block.end - block.value)), block.end);
    return true;
}

// Calls `visit` for each child block of `parent`; false when one does not parse.
template <typename Visit>
bool ForEachChild(const std::vector<uint8_t>& b, const Block& parent, Visit visit) {
    for (size_t at = parent.children; at < parent.end;) {
        Block child;
        if (!ReadBlock(b, at, parent.end, child) || !visit(child)) return false;
        at = Align4(child.end);
    }
    return true;
}

bool ReadStringTable(const std::vector<uint8_t>& b, const Block& table, VersionInfo& info) {
    return ForEachChild(b, table, [&](const Block& s) {
        std::string value;
        size_t at = s.value;
        if (s.valueLength > 0 && !ReadText(b, at, s.end, value)) return false;
        info.strings.emplace_back(s.key, value);
        return true;
    });
}

}  // namespace

std::string VersionInfo::String(const std::string& key) const {
    for (const auto& [k, v] : strings)
        if (k == key) return v;
    return {};
}

bool ParseVersionInfo(const std::vector<uint8_t>& bytes, VersionInfo& info) {
    info = VersionInfo{};
    Block root;
    if (!ReadBlock(bytes, 0, bytes.size(), root) || root.key != "VS_VERSION_INFO") return false;
    // The fixed part: 13 words, of which the signature, the four version words, the
    // system and the file type are kept.
    if (root.type != 0 || root.valueLength < 52 || U32(bytes, root.value) != kFixedInfoSignature)
        return false;
    const size_t f = root.value;
    info.fileVersionMS = U32(bytes, f + 8);
    info.fileVersionLS = U32(bytes, f + 12);
    info.productVersionMS = U32(bytes, f + 16);
    info.productVersionLS = U32(bytes, f + 20);
    info.fileOS = U32(bytes, f + 32);
    info.fileType = U32(bytes, f + 36);

    bool haveTable = false;
    return ForEachChild(bytes, root, [&](const Block& part) {
        if (part.key == "StringFileInfo") {
            return ForEachChild(bytes, part, [&](const Block& table) {
                if (haveTable) return true;
                haveTable = true;
                info.table = table.key;
                return ReadStringTable(bytes, table, info);
            });
        }
        if (part.key == "VarFileInfo") {
            return ForEachChild(bytes, part, [&](const Block& var) {
                if (var.key != "Translation") return true;
                for (size_t at = var.value; at + 4 <= var.value + var.valueLength; at += 4)
                    info.translations.push_back(U32(bytes, at));
                return true;
            });
        }
        return true;  // blocks of other kinds are allowed and skipped
    });
}

}  // namespace fw::pe
