// Decoders of the two resources a host reads from a filter module without running it: the
// plug-in property list (PIPL) and the scripting terminology (AETE), in their Windows byte
// layouts (little-endian, four-character codes stored byte-reversed, length-prefixed
// strings). Bounds-checked: malformed input gives false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fw::pe {

// A four-character code as the host's value: first character in the high byte.
constexpr uint32_t FourCC(const char (&c)[5]) {
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 |
           uint32_t(uint8_t(c[2])) << 8 | uint32_t(uint8_t(c[3]));
}
std::string FourCCText(uint32_t code);

struct PiplProperty {
    uint32_t vendor = 0;
    uint32_t key = 0;
    int32_t id = 0;
    uint32_t length = 0;        // as stored, padding included
    std::vector<uint8_t> data;  // `length` bytes
};

struct Pipl {
    int16_t reserved = 0;
    int32_t version = 0;
    std::vector<PiplProperty> properties;
    size_t trailing = 0;  // bytes after the last property
};

// Steps from property to property by the stored length, as the strictest hosts do, so a
// list whose lengths are not padded fails here instead of in a host.
bool ParsePipl(const std::vector<uint8_t>& bytes, Pipl& pipl);
const PiplProperty* FindProperty(const Pipl& pipl, uint32_t key);

struct AeteParameter {
    std::string name;
    uint32_t key = 0;
    uint32_t type = 0;
    std::string description;
    uint16_t flags = 0;
};

struct AeteEvent {
    std::string name, description;
    uint32_t eventClass = 0, eventId = 0;
    uint32_t replyType = 0;
    std::string replyDescription;
    uint16_t replyFlags = 0;
    uint32_t directType = 0;
    std::string directDescription;
    uint16_t directFlags = 0;
    std::vector<AeteParameter> parameters;
};

struct AeteEnumerator {
    std::string name;
    uint32_t value = 0;
    std::string description;
};

struct AeteEnumeration {
    uint32_t type = 0;
    std::vector<AeteEnumerator> enumerators;
};

struct AeteComparison {
    std::string name;
    uint32_t id = 0;
    std::string description;
};

struct AeteSuite {
    std::string name, description;
    uint32_t id = 0;
    int16_t level = 0, version = 0;
    std::vector<AeteEvent> events;
    std::vector<AeteComparison> comparisons;
    std::vector<AeteEnumeration> enumerations;
};

struct Aete {
    int16_t reserved = 0;
    uint8_t major = 0, minor = 0;
    int16_t language = 0, script = 0;
    std::vector<AeteSuite> suites;
    size_t trailing = 0;  // bytes after the last suite
};

// Suites with classes are not decoded (a filter's terminology has none): false.
bool ParseAete(const std::vector<uint8_t>& bytes, Aete& aete);

}  // namespace fw::pe
