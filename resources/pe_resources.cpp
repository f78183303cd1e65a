#include "pe_resources.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace fw::pe {
namespace {

// Limits that keep a damaged file from sending the reader round in circles.
constexpr uint32_t kMaxSections = 96;  // the system loader's own limit
constexpr uint32_t kMaxExportNames = 1 << 16;
constexpr uint32_t kMaxImports = 4096;
constexpr uint32_t kMaxResourceEntries = 1 << 16;  // all levels together
constexpr size_t kMaxNameLength = 4096;

constexpr int kDirExport = 0;
constexpr int kDirImport = 1;
constexpr int kDirResource = 2;

// Little-endian reads that yield 0 outside the buffer and remember that they did.
class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Has(size_t at, size_t count) const { return at <= size_ && count <= size_ - at; }
    uint16_t U16(size_t at) {
        if (!Has(at, 2)) return Fail();
        return uint16_t(data_[at] | data_[at + 1] << 8);
    }
    uint32_t U32(size_t at) {
        if (!Has(at, 4)) return Fail();
        return uint32_t(data_[at]) | uint32_t(data_[at + 1]) << 8 | uint32_t(data_[at + 2]) << 16 |
               uint32_t(data_[at + 3]) << 24;
    }
    const uint8_t* At(size_t at) const { return data_ + at; }
    size_t Size() const { return size_; }
    bool Ok() const { return ok_; }

  private:
    uint16_t Fail() {
        ok_ = false;
        return 0;
    }
    const uint8_t* data_;
    size_t size_;
    bool ok_ = true;
};

struct Section {
    uint32_t address, rawSize, rawOffset;
};

struct Directory {
    uint32_t address = 0, size = 0;
};

class Parser {
  public:
    Parser(const uint8_t* file, size_t size) : bytes_(file, size) {}

    bool ReadHeaders(Image& image);
    void ReadExports(Image& image);
    void ReadImports(Image& image);
    void ReadResources(Image& image);
    bool Complete() const { return complete_ && bytes_.Ok(); }

  private:
    // File offset of an address, with the number of file bytes the section has from there.
    bool Locate(uint32_t address, size_t& offset, size_t& available) const;
    bool ReadString(uint32_t address, std::string& text) const;
    void ReadResourceLevel(size_t base, size_t available, uint32_t at, int level, Resource& path,
                           Image& image);
    ResourceId ReadResourceName(size_t base, size_t available, uint32_t field);

    Bytes bytes_;
    std::vector<Section> sections_;
    Directory dirs_[3];
    uint32_t resourceEntries_ = 0;
    bool complete_ = true;
};

bool Parser::ReadHeaders(Image& image) {
    if (!bytes_.Has(0, 64) || bytes_.At(0)[0] != 'M' || bytes_.At(0)[1] != 'Z') return false;
    const size_t pe = bytes_.U32(0x3C);
    if (!bytes_.Has(pe, 24) || bytes_.U32(pe) != 0x00004550) return false;  // "PE\0\0"
    image.machine = bytes_.U16(pe + 4);
    const uint32_t sectionCount = bytes_.U16(pe + 6);
    const size_t optionalSize = bytes_.U16(pe + 20);
    const size_t optional = pe + 24;
    if (!bytes_.Has(optional, optionalSize)) return false;

    const uint16_t magic = bytes_.U16(optional);
    if (magic != 0x10b && magic != 0x20b) return false;
    image.is64 = magic == 0x20b;
    const size_t countField = image.is64 ? 108 : 92;
    const size_t dirsField = countField + 4;
    if (optionalSize < dirsField) return false;
    const size_t dirCount =
        std::min<size_t>(bytes_.U32(optional + countField), (optionalSize - dirsField) / 8);
    for (size_t i = 0; i < std::min<size_t>(dirCount, 3); ++i) {
        dirs_[i].address = bytes_.U32(optional + dirsField + 8 * i);
        dirs_[i].size = bytes_.U32(optional + dirsField + 8 * i + 4);
    }

    if (sectionCount > kMaxSections) return false;
    const size_t table = optional + optionalSize;
    if (!bytes_.Has(table, size_t(sectionCount) * 40)) return false;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const size_t at = table + 40 * size_t(i);
        sections_.push_back({bytes_.U32(at + 12), bytes_.U32(at + 16), bytes_.U32(at + 20)});
    }
    return bytes_.Ok();
}

bool Parser::Locate(uint32_t address, size_t& offset, size_t& available) const {
    for (const Section& s : sections_) {
        if (address < s.address || address - s.address >= s.rawSize) continue;
        const size_t at = size_t(s.rawOffset) + (address - s.address);
        if (at >= bytes_.Size()) return false;
        offset = at;
        available = std::min<size_t>(s.rawSize - (address - s.address), bytes_.Size() - at);
        return true;
    }
    return false;
}

bool Parser::ReadString(uint32_t address, std::string& text) const {
    size_t at = 0, available = 0;
    if (!Locate(address, at, available)) return false;
    const uint8_t* begin = bytes_.At(at);
    const uint8_t* end = begin + std::min(available, kMaxNameLength);
    const uint8_t* nul = std::find(begin, end, uint8_t(0));
    if (nul == end) return false;
    text.assign(begin, nul);
    return true;
}

void Parser::ReadExports(Image& image) {
    const Directory& dir = dirs_[kDirExport];
    if (dir.address == 0) return;
    size_t at = 0, available = 0;
    if (!Locate(dir.address, at, available) || available < 40) {
        complete_ = false;
        return;
    }
    const uint32_t count = bytes_.U32(at + 24);
    size_t names = 0;
    if (count > kMaxExportNames || !Locate(bytes_.U32(at + 32), names, available) ||
        available / 4 < count) {
        complete_ = false;
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        std::string name;
        if (ReadString(bytes_.U32(names + 4 * size_t(i)), name))
            image.exports.push_back(name);
        else
            complete_ = false;
    }
}

void Parser::ReadImports(Image& image) {
    const Directory& dir = dirs_[kDirImport];
    if (dir.address == 0) return;
    size_t at = 0, available = 0;
    if (!Locate(dir.address, at, available)) {
        complete_ = false;
        return;
    }
    // Descriptors of 20 bytes; the table ends with an all-zero one.
    for (uint32_t i = 0; i < kMaxImports; ++i, at += 20) {
        if (available < 20 * size_t(i + 1)) {
            complete_ = false;
            return;
        }
        const uint32_t name = bytes_.U32(at + 12);
        if (name == 0 && bytes_.U32(at + 16) == 0) return;
        std::string text;
        if (ReadString(name, text))
            image.imports.push_back(text);
        else
            complete_ = false;
    }
    complete_ = false;
}

ResourceId Parser::ReadResourceName(size_t base, size_t available, uint32_t field) {
    if (!(field & 0x80000000u)) return ResourceId(int(field & 0xFFFF));
    // A counted UTF-16 string, relative to the start of the resource section.
    const size_t at = field & 0x7FFFFFFFu;
    std::string name;
    if (at < available && available - at >= 2) {
        const size_t length = bytes_.U16(base + at);
        if ((available - at - 2) / 2 >= length) {
            for (size_t i = 0; i < length; ++i) {
                const uint16_t c = bytes_.U16(base + at + 2 + 2 * i);
                name.push_back(c < 0x80 ? char(c) : '?');
            }
            return ResourceId(name.c_str());
        }
    }
    complete_ = false;
    return ResourceId("?");
}

// Levels: 0 type, 1 name, 2 language, then the data entries.
void Parser::ReadResourceLevel(size_t base, size_t available, uint32_t at, int level,
                               Resource& path, Image& image) {
    if (at > available || available - at < 16) {
        complete_ = false;
        return;
    }
    const size_t count = size_t(bytes_.U16(base + at + 12)) + bytes_.U16(base + at + 14);
    if ((available - at - 16) / 8 < count) {
        complete_ = false;
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        if (++resourceEntries_ > kMaxResourceEntries) {
            complete_ = false;
            return;
        }
        const size_t entry = base + at + 16 + 8 * i;
        const uint32_t nameField = bytes_.U32(entry);
        const uint32_t target = bytes_.U32(entry + 4);
        const bool isDirectory = target & 0x80000000u;
        if (isDirectory != (level < 2)) {
            complete_ = false;
            continue;
        }
        if (level == 0) {
            path.type = ReadResourceName(base, available, nameField);
        } else if (level == 1) {
            path.name = ReadResourceName(base, available, nameField);
        } else {
            path.language = uint16_t(nameField);
        }
        if (isDirectory) {
            ReadResourceLevel(base, available, target & 0x7FFFFFFFu, level + 1, path, image);
            continue;
        }
        // Data entry: address of the bytes, their size, code page, reserved.
        if (target > available || available - target < 16) {
            complete_ = false;
            continue;
        }
        size_t data = 0, dataAvailable = 0;
        const uint32_t size = bytes_.U32(base + target + 4);
        if (!Locate(bytes_.U32(base + target), data, dataAvailable) || dataAvailable < size) {
            complete_ = false;
            continue;
        }
        Resource found = path;
        found.data.assign(bytes_.At(data), bytes_.At(data) + size);
        image.resources.push_back(std::move(found));
    }
}

void Parser::ReadResources(Image& image) {
    const Directory& dir = dirs_[kDirResource];
    if (dir.address == 0) return;
    size_t base = 0, available = 0;
    if (!Locate(dir.address, base, available)) {
        complete_ = false;
        return;
    }
    Resource path;
    ReadResourceLevel(base, available, 0, 0, path, image);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

bool ResourceId::Matches(const ResourceId& other) const {
    if (id >= 0 || other.id >= 0) return id == other.id;
    return EqualNoCase(name, other.name);
}

bool ReadImage(const uint8_t* file, size_t size, Image& image, bool* complete) {
    image = Image{};
    Parser parser(file, size);
    const bool ok = parser.ReadHeaders(image);
    if (ok) {
        parser.ReadExports(image);
        parser.ReadImports(image);
        parser.ReadResources(image);
    }
    if (complete) *complete = ok && parser.Complete();
    return ok;
}

const Resource* FindResourceEntry(const Image& image, const ResourceId& type,
                                  const ResourceId& name) {
    for (const Resource& r : image.resources)
        if (r.type.Matches(type) && r.name.Matches(name)) return &r;
    return nullptr;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace fw::pe
