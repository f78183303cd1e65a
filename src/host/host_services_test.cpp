#include "host/host_services.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace fw {
namespace {

using namespace sdk;

// ---- handles

TEST(HostHandles, OwnHandlesWhenTheHostTableIsUnusable) {
    HandleProcs v2{};
    v2.handleProcsVersion = 2;  // newer than we know: not trusted
    v2.numHandleProcs = 8;
    EXPECT_FALSE(HandleProcsAvailable(&v2));
    EXPECT_FALSE(HandleProcsAvailable(nullptr));

    for (const HandleProcs* procs :
         {static_cast<const HandleProcs*>(nullptr), static_cast<const HandleProcs*>(&v2)}) {
        Handle h = HostNewHandle(procs, 100);
        ASSERT_NE(h, nullptr);
        auto* data = static_cast<uint8_t*>(HostLockHandle(procs, h, true));
        ASSERT_EQ(data, reinterpret_cast<uint8_t*>(*h));
        for (int i = 0; i < 100; ++i) EXPECT_EQ(data[i], 0);
        // The tag sits after the data pointer.
        uint32_t tag;
        std::memcpy(&tag, reinterpret_cast<char*>(h) + sizeof(char*), 4);
        EXPECT_EQ(tag, FourCC('O', 'T', 'O', 'F'));
        HostUnlockHandle(procs, h);
        EXPECT_EQ(HostLockHandle(procs, h, false), data);  // still valid after unlock
        HostDisposeHandle(procs, h);
    }
}

int g_hostNewCalls = 0;
Handle CountingNew(int32_t size) {
    ++g_hostNewCalls;
    auto* cell = new char*;
    *cell = new char[size_t(size)]();
    return cell;
}
void CountingDispose(Handle h) {
    delete[] * h;
    delete h;
}
int32_t NoSize(Handle) {
    return 0;
}
OSErr NoSetSize(Handle, int32_t) {
    return 0;
}

TEST(HostHandles, HostTableOfVersionOneIsUsed) {
    HandleProcs procs{};
    procs.handleProcsVersion = 1;
    procs.numHandleProcs = 8;
    procs.newProc = CountingNew;
    procs.disposeProc = CountingDispose;
    procs.getSizeProc = NoSize;
    procs.setSizeProc = NoSetSize;
    ASSERT_TRUE(HandleProcsAvailable(&procs));
    g_hostNewCalls = 0;
    Handle h = HostNewHandle(&procs, 16);
    EXPECT_EQ(g_hostNewCalls, 1);
    EXPECT_EQ(HostLockHandle(&procs, h, false), *h);  // no lock procedure: data pointer
    HostDisposeHandle(&procs, h);

    procs.numHandleProcs = 7;
    EXPECT_FALSE(HandleProcsAvailable(&procs));
}

// ---- descriptors

void* AnyProc() {
    return nullptr;
}

struct FullDescriptorTables {
    ReadDescriptorProcs read{};
    WriteDescriptorProcs write{};
    PIDescriptorParameters params{};
    FullDescriptorTables() {
        read.numReadDescriptorProcs = 18;
        write.numWriteDescriptorProcs = 16;
        auto** r = reinterpret_cast<void**>(&read.openReadDescriptorProc);
        for (int i = 0; i < 18; ++i) r[i] = reinterpret_cast<void*>(&AnyProc);
        auto** w = reinterpret_cast<void**>(&write.openWriteDescriptorProc);
        for (int i = 0; i < 16; ++i) w[i] = reinterpret_cast<void*>(&AnyProc);
        params.readDescriptorProcs = &read;
        params.writeDescriptorProcs = &write;
    }
};

TEST(HostDescriptors, AvailableOnlyWithCompleteTablesOfVersionZero) {
    FullDescriptorTables t;
    EXPECT_TRUE(DescriptorAvailable(&t.params));
    EXPECT_FALSE(DescriptorAvailable(nullptr));

    t.read.numReadDescriptorProcs = 17;
    EXPECT_FALSE(DescriptorAvailable(&t.params));
    t.read.numReadDescriptorProcs = 18;

    t.write.putScopedObjectProc = nullptr;  // the last of the sixteen
    EXPECT_FALSE(DescriptorAvailable(&t.params));
    FullDescriptorTables u;
    u.params.descriptorParametersVersion = 1;
    EXPECT_FALSE(DescriptorAvailable(&u.params));
    FullDescriptorTables v;
    v.read.readDescriptorProcsVersion = 1;
    EXPECT_FALSE(DescriptorAvailable(&v.params));

    v.params.playInfo = kPlayDisplay;
    EXPECT_TRUE(PlayDialog(&v.params));
    v.params.playInfo = kPlaySilent;
    EXPECT_FALSE(PlayDialog(&v.params));
}

// ---- version resources

// Builds a VS_VERSIONINFO tree the way resource compilers lay it out.
class VersionBlob {
  public:
    struct Node {
        std::string key;
        std::vector<uint8_t> value;
        bool text = false;
        std::vector<Node> children;
    };

    static std::vector<uint8_t> Build(const Node& n) {
        std::vector<uint8_t> out;
        Append(out, n);
        return out;
    }

    static Node Text(const std::string& key, const std::string& value) {
        Node n{key, {}, true, {}};
        for (char c : value) {
            n.value.push_back(uint8_t(c));
            n.value.push_back(0);
        }
        n.value.push_back(0);
        n.value.push_back(0);
        return n;
    }

    static std::vector<uint8_t> FixedInfo(uint32_t fileOs) {
        std::vector<uint8_t> v(52, 0);
        Put32(v, 0, 0xFEEF04BD);
        Put32(v, 32, fileOs);
        return v;
    }

    static void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
        for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
    }

  private:
    static void Pad(std::vector<uint8_t>& out) {
        while (out.size() % 4) out.push_back(0);
    }
    static void Append(std::vector<uint8_t>& out, const Node& n) {
        Pad(out);
        const size_t start = out.size();
        out.resize(start + 6, 0);
        for (char c : n.key) {
            out.push_back(uint8_t(c));
            out.push_back(0);
        }
        out.push_back(0);
        out.push_back(0);
        Pad(out);
        out.insert(out.end(), n.value.begin(), n.value.end());
        for (const Node& c : n.children) Append(out, c);
        const size_t length = out.size() - start;
        const size_t valueLength = n.text ? n.value.size() / 2 : n.value.size();
        out[start] = uint8_t(length);
        out[start + 1] = uint8_t(length >> 8);
        out[start + 2] = uint8_t(valueLength);
        out[start + 3] = uint8_t(valueLength >> 8);
        out[start + 4] = n.text ? 1 : 0;
    }
};

std::vector<uint8_t> HostResource(const std::string& internalName, const std::string& version,
                                  uint32_t fileOs, const std::string& table, bool withTranslation) {
    using N = VersionBlob::Node;
    N strings{"StringFileInfo", {}, true, {}};
    strings.children.push_back(
        N{table,
          {},
          true,
          {VersionBlob::Text("CompanyName", "Someone"), VersionBlob::Text("FileVersion", version),
           VersionBlob::Text("InternalName", internalName)}});
    N root{"VS_VERSION_INFO", VersionBlob::FixedInfo(fileOs), false, {strings}};
    if (withTranslation) {
        const uint16_t lang = uint16_t(std::stoul(table.substr(0, 4), nullptr, 16));
        const uint16_t cp = uint16_t(std::stoul(table.substr(4, 4), nullptr, 16));
        N var{"Translation",
              {uint8_t(lang), uint8_t(lang >> 8), uint8_t(cp), uint8_t(cp >> 8)},
              false,
              {}};
        root.children.push_back(N{"VarFileInfo", {}, true, {var}});
    }
    return VersionBlob::Build(root);
}

constexpr uint32_t kNtWindows32 = 0x00040004;
constexpr uint32_t kDosWindows16 = 0x00010001;

TEST(HostIdentity, ReadsTheStringTableNamedByTheTranslation) {
    const HostInfo info = ParseHostVersionResource(
        HostResource("Adobe Premiere", "5.1.2", kNtWindows32, "040704B0", true));
    EXPECT_EQ(info.signature, FourCC('P', 'r', 'M', 'r'));
    EXPECT_EQ(info.platform, 10);
    EXPECT_EQ(info.major, 5);
    EXPECT_EQ(info.minor, 1);
    EXPECT_EQ(info.third, 2);
    const uint32_t version = HostVersionFor(info, FourCC('P', 'r', 'M', 'r'));
    EXPECT_EQ(version, (5u << 24) | (1u << 20) | (2u << 16) | 10u);
    EXPECT_TRUE(HostIsWindows(version));
    EXPECT_EQ(HostVersionFor(info, FourCC('8', 'B', 'I', 'M')), 0u);
}

TEST(HostIdentity, PlatformCodesAndTheDefaultTable) {
    // No translation table: the US English table is read.
    HostInfo info = ParseHostVersionResource(
        HostResource("adobe premiere", "6, 0, 1", kDosWindows16, "04090000", false));
    EXPECT_EQ(info.signature, FourCC('P', 'r', 'M', 'r'));  // case ignored
    EXPECT_EQ(info.platform, 11);
    EXPECT_EQ(info.major, 6);
    EXPECT_EQ(info.third, 1);
    info = ParseHostVersionResource(HostResource("Adobe Premiere", "7.0", 0, "04090000", false));
    EXPECT_EQ(info.platform, 12);
    EXPECT_TRUE(HostIsWindows(HostVersionFor(info, FourCC('P', 'r', 'M', 'r'))));
}

TEST(HostIdentity, PhotoshopIsNotPremiereAndGroupsMatchAnyMember) {
    const HostInfo ps = ParseHostVersionResource(
        HostResource("Photoshp", "21.0.0", kNtWindows32, "040904B0", true));
    EXPECT_EQ(ps.signature, FourCC('8', 'B', 'I', 'M'));
    EXPECT_EQ(HostVersionFor(ps, FourCC('P', 'r', 'M', 'r')), 0u);
    EXPECT_FALSE(HostIsWindows(HostVersionFor(ps, FourCC('P', 'r', 'M', 'r'))));
    EXPECT_NE(HostVersionFor(ps, FourCC('8', 'B', 'I', 'M')), 0u);

    const HostInfo pm6 =
        ParseHostVersionResource(HostResource("PM6", "6.0", kNtWindows32, "040904E4", true));
    EXPECT_NE(HostVersionFor(pm6, FourCC('A', 'L', 'D', '5')), 0u);  // same group
}

TEST(HostIdentity, FallsBackToSearchingTheRawData) {
    // A table the translation does not name: the tree walk fails, the raw search finds it.
    std::vector<uint8_t> blob =
        HostResource("Adobe Premiere", "4.2", kNtWindows32, "041104B0", false);
    const HostInfo info = ParseHostVersionResource(blob);
    EXPECT_EQ(info.signature, FourCC('P', 'r', 'M', 'r'));
    EXPECT_EQ(info.major, 4);
    EXPECT_EQ(info.minor, 2);

    EXPECT_EQ(ParseHostVersionResource({}).signature, 0u);
    EXPECT_EQ(HostVersionFor(ParseHostVersionResource({}), FourCC('P', 'r', 'M', 'r')), 0u);
    blob.resize(blob.size() / 3);  // truncated: must not read past the end
    ParseHostVersionResource(blob);
}

TEST(HostIdentity, LinuxHasNoHostVersion) {
    EXPECT_EQ(HostGetVersion(FourCC('8', 'B', 'I', 'M')), 0u);
    EXPECT_FALSE(IsHostPremiere());
}

}  // namespace
}  // namespace fw
