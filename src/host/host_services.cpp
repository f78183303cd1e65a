#include "host/host_services.h"

#include <cctype>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace fw {

using namespace sdk;

int16_t g_lastHandleError = 0;

namespace {

constexpr OSType kOwnHandleTag = FourCC('O', 'T', 'O', 'F');

// Our own handle: the first word is the data pointer, as with host handles, so *h works
// for both kinds.
struct OwnHandle {
    char* data;
    uint32_t tag;
};

}  // namespace

bool HandleProcsAvailable(const HandleProcs* procs) {
    return procs && procs->handleProcsVersion == kCurrentHandleProcsVersion &&
           procs->numHandleProcs >= 8 && procs->newProc && procs->disposeProc &&
           procs->getSizeProc && procs->setSizeProc;
}

Handle HostNewHandle(const HandleProcs* procs, int32_t size) {
    if (HandleProcsAvailable(procs)) return procs->newProc(size);
    auto* own = static_cast<OwnHandle*>(platform::AllocateGlobal(sizeof(OwnHandle)));
    if (!own) {
        g_lastHandleError = kMemFullErr;
        return nullptr;
    }
    own->data = static_cast<char*>(platform::AllocateGlobal(size > 0 ? size_t(size) : 1));
    if (!own->data) {
        platform::FreeGlobal(own);
        g_lastHandleError = kMemFullErr;
        return nullptr;
    }
    own->tag = kOwnHandleTag;
    return &own->data;
}

void HostDisposeHandle(const HandleProcs* procs, Handle h) {
    if (!h) return;
    if (HandleProcsAvailable(procs)) {
        procs->disposeProc(h);
        return;
    }
    // Only our own handles are freed here: a handle the host made (a descriptor, say) is
    // not ours to release without its procedures.
    auto* own = reinterpret_cast<OwnHandle*>(h);
    if (own->tag != kOwnHandleTag) return;
    own->tag = 0;
    platform::FreeGlobal(own->data);
    platform::FreeGlobal(own);
}

void* HostLockHandle(const HandleProcs* procs, Handle h, bool moveHigh) {
    if (!h) return nullptr;
    if (HandleProcsAvailable(procs)) {
        return procs->lockProc ? procs->lockProc(h, moveHigh) : *h;
    }
    return *h;  // our blocks never move
}

void HostUnlockHandle(const HandleProcs* procs, Handle h) {
    if (h && HandleProcsAvailable(procs) && procs->unlockProc) procs->unlockProc(h);
}

bool DescriptorAvailable(const PIDescriptorParameters* params) {
    if (!params || params->descriptorParametersVersion != kCurrentDescriptorParametersVersion)
        return false;
    const ReadDescriptorProcs* r = params->readDescriptorProcs;
    const WriteDescriptorProcs* w = params->writeDescriptorProcs;
    if (!r || !w || r->readDescriptorProcsVersion != kCurrentReadDescriptorProcsVersion ||
        w->writeDescriptorProcsVersion != kCurrentWriteDescriptorProcsVersion ||
        r->numReadDescriptorProcs < kReadDescriptorProcCount ||
        w->numWriteDescriptorProcs < kWriteDescriptorProcCount)
        return false;
    // Every procedure slot must be filled; the tables are plain arrays of pointers.
    const void* const* rp = reinterpret_cast<const void* const*>(&r->openReadDescriptorProc);
    for (int i = 0; i < kReadDescriptorProcCount; ++i)
        if (!rp[i]) return false;
    const void* const* wp = reinterpret_cast<const void* const*>(&w->openWriteDescriptorProc);
    for (int i = 0; i < kWriteDescriptorProcCount; ++i)
        if (!wp[i]) return false;
    return true;
}

OSErr CloseReader(PIDescriptorParameters* params, const HandleProcs* procs,
                  PIReadDescriptor& token) {
    const OSErr err = params->readDescriptorProcs->closeReadDescriptorProc(token);
    HostDisposeHandle(procs, params->descriptor);
    params->descriptor = nullptr;
    token = nullptr;
    return err;
}

OSErr CloseWriter(PIDescriptorParameters* params, const HandleProcs* procs,
                  PIWriteDescriptor& token) {
    if (params->descriptor) {
        HostDisposeHandle(procs, params->descriptor);
        params->descriptor = nullptr;
    }
    Handle out = nullptr;
    params->writeDescriptorProcs->closeWriteDescriptorProc(token, &out);
    params->descriptor = out;
    params->recordInfo = kRecordOptional;
    token = nullptr;
    return kNoErr;
}

bool PlayDialog(const PIDescriptorParameters* params) {
    return params && params->playInfo == kPlayDisplay;
}

// ---------------------------------------------------------------- host identification

namespace {

struct HostName {
    const char* internalName;
    OSType signature;
};

constexpr HostName kHostNames[] = {
    {"CorelDrw", FourCC('C', 'd', 'r', 'w')},
    {"PhotoPnt", FourCC('M', 'p', 'r', 'n')},
    {"DeBabelizer Pro", FourCC('B', 'A', 'B', 'L')},
    {"Adobe After Effects", FourCC('F', 'X', 'T', 'C')},
    {"Adobe Illustrator", FourCC('A', 'R', 'T', '5')},
    {"PM5", FourCC('A', 'L', 'D', '5')},
    {"PM6", FourCC('A', 'L', 'D', '6')},
    {"PM65", FourCC('A', 'D', '6', '5')},
    {"PhotoDeluxe", FourCC('P', 'H', 'U', 'T')},
    {"Photoshp", FourCC('8', 'B', 'I', 'M')},
    {"Adobe Premiere", FourCC('P', 'r', 'M', 'r')},
};

// Groups of signatures; a query names a group by its first member.
constexpr OSType kHostGroups[][4] = {
    {FourCC('C', 'd', 'r', 'w')},
    {FourCC('M', 'p', 'r', 'n')},
    {FourCC('B', 'A', 'B', 'L')},
    {FourCC('F', 'X', 'T', 'C')},
    {FourCC('A', 'R', 'T', '3'), FourCC('A', 'R', 'T', 'Z'), FourCC('A', 'R', 'T', 'Y'),
     FourCC('A', 'R', 'T', '5')},
    {FourCC('A', 'L', 'D', '5'), FourCC('A', 'L', 'D', '6'), FourCC('A', 'D', '6', '5')},
    {FourCC('P', 'H', 'U', 'T')},
    {FourCC('8', 'B', 'I', 'M')},
    {FourCC('P', 'r', 'M', 'r')},
};

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kOsWindows16 = 0x0001;  // low word of dwFileOS
constexpr uint32_t kOsNt = 0x0004;         // high word of dwFileOS

// A node of the version resource tree: length, value length, type, UTF-16 key, value,
// children, each part aligned to 4 bytes from the start of the resource.
struct VersionNode {
    size_t start = 0, end = 0;  // byte range of the whole node
    std::u16string key;
    size_t valueStart = 0;
    size_t valueBytes = 0;  // value length in bytes
    size_t childrenStart = 0;
};

size_t Align4(size_t at) {
    return (at + 3) & ~size_t(3);
}

uint16_t Word(const std::vector<uint8_t>& d, size_t at) {
    return at + 2 <= d.size() ? uint16_t(d[at] | d[at + 1] << 8) : 0;
}

uint32_t Dword(const std::vector<uint8_t>& d, size_t at) {
    return uint32_t(Word(d, at)) | uint32_t(Word(d, at + 2)) << 16;
}

bool ReadNode(const std::vector<uint8_t>& d, size_t at, size_t limit, VersionNode& node) {
    if (at + 6 > limit) return false;
    const size_t length = Word(d, at);
    const size_t valueLength = Word(d, at + 2);
    const bool text = Word(d, at + 4) == 1;
    if (length < 6 || at + length > limit) return false;
    node.start = at;
    node.end = at + length;
    node.key.clear();
    size_t p = at + 6;
    while (p + 2 <= node.end) {
        const char16_t c = static_cast<char16_t>(Word(d, p));
        p += 2;
        if (c == 0) break;
        node.key.push_back(c);
    }
    node.valueStart = Align4(p);
    // Text values count UTF-16 units, binary values count bytes.
    node.valueBytes = text ? valueLength * 2 : valueLength;
    if (node.valueStart + node.valueBytes > node.end) node.valueBytes = 0;
    node.childrenStart = Align4(node.valueStart + node.valueBytes);
    return true;
}

// Finds the child named `key` (ignoring case) among the children of `parent`.
bool FindChild(const std::vector<uint8_t>& d, const VersionNode& parent, const std::u16string& key,
               VersionNode& out) {
    size_t at = parent.childrenStart;
    while (at + 6 <= parent.end) {
        VersionNode child;
        if (!ReadNode(d, at, parent.end, child)) return false;
        if (child.key.size() == key.size()) {
            bool same = true;
            for (size_t i = 0; i < key.size() && same; ++i)
                same = std::tolower(int(child.key[i] & 0xFF)) == std::tolower(int(key[i] & 0xFF)) &&
                       (child.key[i] >> 8) == (key[i] >> 8);
            if (same) {
                out = child;
                return true;
            }
        }
        at = Align4(child.end);
    }
    return false;
}

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

std::string Narrow(const std::vector<uint8_t>& d, size_t at, size_t end) {
    std::string s;
    for (size_t p = at; p + 2 <= end; p += 2) {
        const uint16_t c = Word(d, p);
        if (c == 0) break;
        s.push_back(c < 128 ? char(c) : '?');
    }
    return s;
}

bool QueryString(const std::vector<uint8_t>& d, const VersionNode& root, const std::string& table,
                 const std::string& name, std::string& value) {
    VersionNode info, tableNode, entry;
    if (!FindChild(d, root, u"StringFileInfo", info)) return false;
    if (!FindChild(d, info, Wide(table), tableNode)) return false;
    if (!FindChild(d, tableNode, Wide(name), entry)) return false;
    value = Narrow(d, entry.valueStart, entry.valueStart + entry.valueBytes);
    return true;
}

// Last resort for resources whose tree cannot be walked: the text that follows the name.
bool SearchRawString(const std::vector<uint8_t>& d, const std::string& name, std::string& value) {
    const std::u16string key = Wide(name);
    for (size_t at = 0; at + key.size() * 2 + 2 <= d.size(); ++at) {
        bool match = true;
        for (size_t i = 0; i < key.size() && match; ++i) match = Word(d, at + 2 * i) == key[i];
        if (!match) continue;
        size_t p = at + key.size() * 2;
        while (p + 2 <= d.size() && Word(d, p) == 0) p += 2;  // terminator and padding
        value = Narrow(d, p, d.size());
        return !value.empty();
    }
    return false;
}

bool EqualIgnoringCase(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void ParseVersionNumbers(const std::string& text, HostInfo& info) {
    int numbers[3] = {0, 0, 0};
    size_t i = 0;
    for (int k = 0; k < 3; ++k) {
        while (i < text.size() && !std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (k > 0 && text[i] != '.' && text[i] != ',' && text[i] != ' ') return;
            ++i;
        }
        if (i >= text.size()) break;
        int v = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && v < 100000)
            v = v * 10 + (text[i++] - '0');
        numbers[k] = v;
    }
    info.major = numbers[0];
    info.minor = numbers[1];
    info.third = numbers[2];
}

}  // namespace

HostInfo ParseHostVersionResource(const std::vector<uint8_t>& d) {
    HostInfo info;
    VersionNode root;
    const bool tree = ReadNode(d, 0, d.size(), root);
    if (tree && root.valueBytes >= 52 && Dword(d, root.valueStart) == kFixedInfoSignature) {
        const uint32_t os = Dword(d, root.valueStart + 32);
        if ((os & 0xFFFF) == kOsWindows16)
            info.platform = 11;
        else if ((os >> 16) == kOsNt)
            info.platform = 10;
        else
            info.platform = 12;
    }

    uint32_t translation = 0x04090000;  // US English, when the resource lists none
    VersionNode varInfo, var;
    if (tree && FindChild(d, root, u"VarFileInfo", varInfo) &&
        FindChild(d, varInfo, u"Translation", var) && var.valueBytes >= 4) {
        translation = uint32_t(Word(d, var.valueStart)) << 16 | Word(d, var.valueStart + 2);
    }
    char table[9];
    static const char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < 8; ++i) table[i] = kHex[(translation >> (28 - 4 * i)) & 0xF];
    table[8] = 0;

    std::string internalName, fileVersion;
    const bool byPath = tree && QueryString(d, root, table, "InternalName", internalName);
    if (byPath) {
        QueryString(d, root, table, "FileVersion", fileVersion);
    } else {
        SearchRawString(d, "InternalName", internalName);
        SearchRawString(d, "FileVersion", fileVersion);
    }
    for (const HostName& h : kHostNames) {
        if (EqualIgnoringCase(internalName, h.internalName)) {
            info.signature = h.signature;
            break;
        }
    }
    ParseVersionNumbers(fileVersion, info);
    return info;
}

uint32_t HostVersionFor(const HostInfo& info, OSType groupSignature) {
    if (info.signature == 0 || info.platform == 0) return 0;
    for (const auto& group : kHostGroups) {
        if (group[0] != groupSignature) continue;
        for (OSType member : group) {
            if (member != 0 && member == info.signature) {
                return uint32_t(info.major & 0xFF) << 24 | uint32_t(info.minor & 0xF) << 20 |
                       uint32_t(info.third & 0xF) << 16 | uint32_t(info.platform);
            }
        }
        return 0;
    }
    return 0;
}

uint32_t HostGetVersion(OSType groupSignature) {
    static bool identified = false;
    static HostInfo info;
    if (!identified) {
        identified = true;
        std::vector<uint8_t> data;
        if (platform::ReadHostVersionResource(data)) info = ParseHostVersionResource(data);
    }
    return HostVersionFor(info, groupSignature);
}

bool HostIsWindows(uint32_t version) {
    const uint32_t platformCode = version & 0xFF;
    return platformCode == 10 || platformCode == 11 || platformCode == 12;
}

bool IsHostPremiere() {
    return HostIsWindows(HostGetVersion(FourCC('P', 'r', 'M', 'r')));
}

}  // namespace fw
