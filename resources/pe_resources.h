// A small reader of Windows PE files (.dll, .8bf, .exe) for checking what our builds produce:
// the machine type, the exported names, the imported DLLs and the resources. Portable (no
// Windows headers); every read is bounds-checked, so a truncated or damaged file gives false
// (or fewer entries), never a read outside the buffer.
//
//   std::vector<uint8_t> bytes;
//   fw::pe::Image image;
//   if (fw::pe::ReadFileBytes(path, bytes) && fw::pe::ReadImage(bytes.data(), bytes.size(), image))
//       if (auto* pipl = fw::pe::FindResourceEntry(image, fw::pe::ResourceId("PIPL"), 16000)) ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fw::pe {

inline constexpr uint16_t kMachineI386 = 0x14c;
inline constexpr uint16_t kMachineAmd64 = 0x8664;

// Resource types used by the module.
inline constexpr int kTypeBitmap = 2;
inline constexpr int kTypeDialog = 5;
inline constexpr int kTypeVersion = 16;

// A resource type or name: an integer id, or a string (compared case-insensitively, as
// the system's resource lookup does). Non-ASCII characters of stored names read as '?'.
struct ResourceId {
    ResourceId(int number) : id(number) {}
    ResourceId(const char* text) : name(text) {}
    int id = -1;  // -1 when this is a name
    std::string name;

    bool Matches(const ResourceId& other) const;
};

struct Resource {
    ResourceId type = 0;
    ResourceId name = 0;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

struct Image {
    uint16_t machine = 0;
    bool is64 = false;                 // PE32+ optional header
    std::vector<std::string> exports;  // exported names, as stored (undecorated or not)
    std::vector<std::string> imports;  // imported DLL names
    std::vector<Resource> resources;   // every leaf of the resource tree
};

// Parses a whole PE file. False when the headers are unusable; damaged export, import or
// resource tables are skipped and leave their lists short (and `complete` false).
bool ReadImage(const uint8_t* file, size_t size, Image& image, bool* complete = nullptr);

// First resource of that type and name (any language), or null.
const Resource* FindResourceEntry(const Image& image, const ResourceId& type,
                                  const ResourceId& name);

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes);

}  // namespace fw::pe
