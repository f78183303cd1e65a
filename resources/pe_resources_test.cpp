#include "pe_resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "plugin_resources.h"

namespace fw::pe {
namespace {

// The reader's own checks run on the stand-in DLL of either width that this build linked.
std::vector<uint8_t> ProbeBytes() {
    std::vector<uint8_t> bytes;
    for (const char* path : {FW_PROBE_64, FW_PROBE_32})
        if (std::strlen(path) > 0 && ReadFileBytes(path, bytes)) break;
    return bytes;
}

bool SameResources(const Image& a, const Image& b) {
    if (a.resources.size() != b.resources.size()) return false;
    for (size_t i = 0; i < a.resources.size(); ++i) {
        const Resource& x = a.resources[i];
        const Resource& y = b.resources[i];
        if (!x.type.Matches(y.type) || !x.name.Matches(y.name) || x.language != y.language ||
            x.data != y.data)
            return false;
    }
    return true;
}

// Parses a copy of exactly `size` bytes, so a read past the end is caught by the sanitizer.
bool ParseCopy(const std::vector<uint8_t>& bytes, size_t size, Image& image, bool& complete) {
    std::vector<uint8_t> copy(bytes.begin(), bytes.begin() + size);
    copy.shrink_to_fit();
    return ReadImage(copy.data(), copy.size(), image, &complete);
}

TEST(PeReader, ReadsTheProbeCompletely) {
    const std::vector<uint8_t> bytes = ProbeBytes();
    if (bytes.empty()) GTEST_SKIP() << "no mingw-w64 tools: no probe";
    Image image;
    bool complete = false;
    ASSERT_TRUE(ReadImage(bytes.data(), bytes.size(), image, &complete));
    EXPECT_TRUE(complete);
    EXPECT_EQ(image.exports, std::vector<std::string>{"PluginMain"});
    bool kernel = false;
    for (const std::string& dll : image.imports) kernel |= (dll == "KERNEL32.dll");
    EXPECT_TRUE(kernel);
    // Integer ids and names never match each other; names match in any case.
    EXPECT_NE(FindResourceEntry(image, "pipl", 16000), nullptr);
    EXPECT_EQ(FindResourceEntry(image, "PIPL", "16000"), nullptr);
    EXPECT_EQ(FindResourceEntry(image, "PIPL", 16001), nullptr);
    EXPECT_NE(FindResourceEntry(image, kTypeBitmap, 999), nullptr);
    EXPECT_EQ(FindResourceEntry(image, "2", 999), nullptr);
}

TEST(PeReader, RejectsWhatIsNotAPeFile) {
    Image image;
    EXPECT_FALSE(ReadImage(nullptr, 0, image));
    const std::string text = "MZ but nothing after it";
    EXPECT_FALSE(ReadImage(reinterpret_cast<const uint8_t*>(text.data()), text.size(), image));
    std::vector<uint8_t> header(256, 0);
    header[0] = 'M';
    header[1] = 'Z';
    header[0x3C] = 0xF0;  // PE header would start past the end
    EXPECT_FALSE(ReadImage(header.data(), header.size(), image));
}

TEST(PeReader, TruncatedFilesNeverYieldWrongData) {
    const std::vector<uint8_t> bytes = ProbeBytes();
    if (bytes.empty()) GTEST_SKIP() << "no mingw-w64 tools: no probe";
    Image full;
    ASSERT_TRUE(ReadImage(bytes.data(), bytes.size(), full));
    // Every cut inside the headers, then a spread of cuts through the sections: what the
    // reader reports as complete must equal the whole file's content.
    for (size_t size = 0; size < bytes.size(); size += size < 2048 ? 1 : 37) {
        Image image;
        bool complete = false;
        if (!ParseCopy(bytes, size, image, complete)) continue;
        if (complete) {
            EXPECT_TRUE(SameResources(image, full)) << "cut at " << size;
            EXPECT_EQ(image.exports, full.exports) << "cut at " << size;
            EXPECT_EQ(image.imports, full.imports) << "cut at " << size;
        }
        for (const Resource& r : image.resources) EXPECT_LE(r.data.size(), size);
    }
}

TEST(PeReader, SurvivesDamagedTablesAndLoops) {
    std::vector<uint8_t> bytes = ProbeBytes();
    if (bytes.empty()) GTEST_SKIP() << "no mingw-w64 tools: no probe";
    Image full;
    ASSERT_TRUE(ReadImage(bytes.data(), bytes.size(), full));

    // Point every entry of the root resource directory back at the root itself.
    const size_t pe = bytes[0x3C] | bytes[0x3D] << 8;
    const size_t optional = pe + 24;
    const size_t dirs = optional + (full.is64 ? 112 : 96);
    const uint32_t rsrc = bytes[dirs + 16] | bytes[dirs + 17] << 8 | bytes[dirs + 18] << 16 |
                          uint32_t(bytes[dirs + 19]) << 24;
    const size_t sections = optional + (bytes[pe + 20] | bytes[pe + 21] << 8);
    size_t root = 0;
    for (size_t s = sections; s + 40 <= bytes.size() && root == 0; s += 40) {
        auto u32 = [&](size_t at) {
            return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 |
                   uint32_t(bytes[at + 2]) << 16 | uint32_t(bytes[at + 3]) << 24;
        };
        if (u32(s + 12) == rsrc) root = u32(s + 20);
    }
    ASSERT_NE(root, 0u);
    std::vector<uint8_t> looped = bytes;
    const size_t entries = size_t(looped[root + 12] | looped[root + 13] << 8) +
                           (looped[root + 14] | looped[root + 15] << 8);
    for (size_t i = 0; i < entries; ++i) {
        const size_t target = root + 16 + 8 * i + 4;
        looped[target] = looped[target + 1] = looped[target + 2] = 0;
        looped[target + 3] = 0x80;
    }
    Image image;
    bool complete = true;
    ASSERT_TRUE(ReadImage(looped.data(), looped.size(), image, &complete));
    EXPECT_FALSE(complete);
    EXPECT_TRUE(image.resources.empty());

    // Random damage to the headers and the resource tree: no crash, no read outside.
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> damaged = bytes;
        for (int k = 0; k < 4; ++k) {
            const size_t span = round % 2 ? 1024 : 512;
            const size_t at = (round % 2 ? root : 0) + random() % span;
            if (at < damaged.size()) damaged[at] = uint8_t(random());
        }
        ReadImage(damaged.data(), damaged.size(), image, &complete);
    }
}

TEST(PluginResourceFormats, RejectOverrunsAndUnpaddedLengths) {
    // One property whose length claims more bytes than follow.
    std::vector<uint8_t> pipl = {1,   0,   0,   0, 0, 0, 1, 0, 0, 0, 'M', 'I', 'B', '8', 'd',
                                 'n', 'i', 'k', 0, 0, 0, 0, 8, 0, 0, 0,   'M', 'F', 'B', '8'};
    Pipl parsed;
    EXPECT_FALSE(ParsePipl(pipl, parsed));
    // A count no data could hold.
    std::vector<uint8_t> huge = {1, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(ParsePipl(huge, parsed));
    // A stored length of 3 for a 4-byte value: a host stepping by the stored length reads
    // the next property one byte early, and so does this reader.
    pipl[22] = 4;
    EXPECT_TRUE(ParsePipl(pipl, parsed));
    pipl[22] = 3;
    ASSERT_TRUE(ParsePipl(pipl, parsed));
    EXPECT_EQ(parsed.trailing, 1u);

    Aete aete;
    const std::vector<uint8_t> header = {1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 10, 'G', 'l'};
    EXPECT_FALSE(ParseAete(header, aete));  // suite name cut short
    EXPECT_FALSE(ParseAete({}, aete));
}

}  // namespace
}  // namespace fw::pe
