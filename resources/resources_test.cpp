// Reads the filter's resources back out of built PE files (the stand-in probes linked from
// this folder, and the real modules of the Windows build folders when configured) and
// checks them byte for byte against what hosts expect.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "pe_resources.h"
#include "platform/platform.h"
#include "plugin_resources.h"
#include "version_info.h"

namespace fw::platform {
bool FindCompiledBitmap(int id, const uint8_t*& bmp, size_t& size);
}

namespace fw::pe {
namespace {

struct Subject {
    const char* label;
    const char* path;
    bool win64;
    bool module;  // the real module rather than a probe
};

const Subject kSubjects[] = {
    {"Probe64", FW_PROBE_64, true, false},
    {"Probe32", FW_PROBE_32, false, false},
    {"Module64", FW_MODULE_64, true, true},
    {"Module32", FW_MODULE_32, false, true},
};

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
    return bytes;
}

std::string Text(const std::vector<uint8_t>& data, size_t from, size_t count) {
    return std::string(data.begin() + from, data.begin() + from + count);
}

// A NUL-terminated string at `from`, followed by nothing but NUL padding to the end.
::testing::AssertionResult CStringThenZeros(const std::vector<uint8_t>& data, size_t from,
                                            const std::string& expected) {
    if (data.size() < from + expected.size() + 1)
        return ::testing::AssertionFailure() << "too short for \"" << expected << "\"";
    if (Text(data, from, expected.size()) != expected)
        return ::testing::AssertionFailure()
               << "\"" << Text(data, from, expected.size()) << "\" != \"" << expected << "\"";
    for (size_t i = from + expected.size(); i < data.size(); ++i)
        if (data[i] != 0) return ::testing::AssertionFailure() << "non-zero byte at " << i;
    return ::testing::AssertionSuccess();
}

uint32_t LittleEndian32(const std::vector<uint8_t>& d, size_t at) {
    return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 |
           uint32_t(d[at + 3]) << 24;
}

class ModuleResources : public ::testing::TestWithParam<Subject> {
  protected:
    void SetUp() override {
        const Subject& s = GetParam();
        if (std::strlen(s.path) == 0)
            GTEST_SKIP() << s.label << ": not configured (no cross tools or build folder)";
        // A configured Windows build folder must hold its module.
        ASSERT_TRUE(std::filesystem::exists(s.path)) << s.path;
        const std::vector<uint8_t> bytes = FileBytes(s.path);
        bool complete = false;
        ASSERT_TRUE(ReadImage(bytes.data(), bytes.size(), image_, &complete)) << s.path;
        EXPECT_TRUE(complete);
    }

    const Resource& Find(const ResourceId& type, const ResourceId& name) {
        const Resource* r = FindResourceEntry(image_, type, name);
        if (!r) {
            ADD_FAILURE() << "resource missing";
            static const Resource empty;
            return empty;
        }
        return *r;
    }

    Image image_;
};

TEST_P(ModuleResources, MachineExportAndRuntimeMatchTheTarget) {
    const bool win64 = GetParam().win64;
    EXPECT_EQ(image_.machine, win64 ? kMachineAmd64 : kMachineI386);
    EXPECT_EQ(image_.is64, win64);
    // Hosts look the entry up by the exact name the property list gives.
    EXPECT_NE(std::find(image_.exports.begin(), image_.exports.end(), "PluginMain"),
              image_.exports.end());
    // The module's dialog procedure too, undecorated in the 32-bit module as well.
    if (GetParam().module) {
        EXPECT_NE(std::find(image_.exports.begin(), image_.exports.end(), "DissolveProc"),
                  image_.exports.end());
    }
    for (const std::string& name : image_.exports) {
        if (name.find("PluginMain") != std::string::npos) {
            EXPECT_EQ(name, "PluginMain");
        }
        EXPECT_EQ(name.find('@'), std::string::npos) << name;
    }
    // Hosts load the module alone: the compiler's runtime must be linked in statically.
    for (const std::string& dll : image_.imports) {
        EXPECT_NE(dll.rfind("libgcc", 0), 0u) << dll;
        EXPECT_NE(dll.rfind("libstdc++", 0), 0u) << dll;
        EXPECT_NE(dll.rfind("libwinpthread", 0), 0u) << dll;
    }
}

TEST_P(ModuleResources, PropertyListHoldsEveryPropertyInOrderPadded) {
    const bool win64 = GetParam().win64;
    // Hosts ask for the type in several spellings; the lookup is case-insensitive.
    const Resource& resource = Find("PiPL", 16000);
    EXPECT_EQ(resource.type.name, "PIPL");
    Pipl pipl;
    ASSERT_TRUE(ParsePipl(resource.data, pipl));
    EXPECT_EQ(pipl.reserved, 1);
    EXPECT_EQ(pipl.version, 0);
    EXPECT_EQ(pipl.trailing, 0u);

    std::vector<std::string> keys;
    for (const PiplProperty& p : pipl.properties) {
        keys.push_back(FourCCText(p.key));
        EXPECT_EQ(p.vendor, FourCC("8BIM")) << keys.back();
        EXPECT_EQ(p.id, 0) << keys.back();
        EXPECT_EQ(p.length % 4, 0u) << keys.back();
    }
    std::vector<std::string> expected = {"kind", "name", "catg", "vers", "wx86",
                                         "mode", "hstm", "enbl", "fici"};
    if (win64) expected.insert(expected.begin() + 5, "8664");
    ASSERT_EQ(keys, expected);

    auto data = [&](const char(&key)[5]) { return FindProperty(pipl, FourCC(key))->data; };
    ASSERT_EQ(data("kind").size(), 4u);
    EXPECT_EQ(LittleEndian32(data("kind"), 0), FourCC("8BFM"));
    EXPECT_EQ(data("name").size(), 16u);
    EXPECT_EQ(data("name")[0], 14);
    EXPECT_TRUE(CStringThenZeros(data("name"), 1, "Frost Weave..."));
    EXPECT_EQ(data("catg").size(), 12u);
    EXPECT_EQ(data("catg")[0], 10);
    EXPECT_TRUE(CStringThenZeros(data("catg"), 1, "Glacetrove"));
    ASSERT_EQ(data("vers").size(), 4u);
    EXPECT_EQ(LittleEndian32(data("vers"), 0), 0x00040000u);
    EXPECT_TRUE(CStringThenZeros(data("wx86"), 0, "PluginMain"));
    if (win64) {
        EXPECT_TRUE(CStringThenZeros(data("8664"), 0, "PluginMain"));
    }
    // A flag set read byte by byte, not a little-endian word.
    EXPECT_EQ(data("mode"), (std::vector<uint8_t>{0x5F, 0xC0, 0, 0}));

    const std::vector<uint8_t> hstm = data("hstm");
    ASSERT_GE(hstm.size(), 16u);
    EXPECT_EQ(LittleEndian32(hstm, 0), 0u);
    EXPECT_EQ(LittleEndian32(hstm, 4), FourCC("Qzk3"));
    EXPECT_EQ(LittleEndian32(hstm, 8), FourCC("Qzk3"));
    EXPECT_EQ(hstm[12] | hstm[13] << 8, 16000);
    const std::string scope(reinterpret_cast<const char*>(hstm.data() + 14));
    EXPECT_GE(scope.size(), 16u) << "the scope string must identify this filter";
    EXPECT_TRUE(CStringThenZeros(hstm, 14, scope));
    EXPECT_LT(hstm.size() - 14 - scope.size(), 5u) << "padding beyond a multiple of 4";

    const std::string expression =
        "in (PSHOP_ImageMode, RGBMode, GrayScaleMode,CMYKMode, HSLMode, HSBMode, "
        "MultichannelMode,DuotoneMode, LabMode, RGB48Mode, Gray16Mode) "
        "||PSHOP_ImageDepth == 16";
    EXPECT_EQ(data("enbl").size(), 160u);
    EXPECT_TRUE(CStringThenZeros(data("enbl"), 0, expression));

    // Filter cases 1..7: flat/no selection, flat/selection, floating, editable transparency
    // without/with selection, preserved transparency without/with selection. White matting
    // in and out; 0x06 without a selection, 0x0E (writes outside it) with one.
    const std::vector<uint8_t> fici = data("fici");
    ASSERT_EQ(fici.size(), 28u);
    const uint8_t flags[7] = {0x06, 0x0E, 0x0E, 0x06, 0x0E, 0x06, 0x0E};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(fici[4 * k + 0], 4) << "case " << k + 1;
        EXPECT_EQ(fici[4 * k + 1], 4) << "case " << k + 1;
        EXPECT_EQ(fici[4 * k + 2], flags[k]) << "case " << k + 1;
        EXPECT_EQ(fici[4 * k + 3], 0) << "case " << k + 1;
    }
}

struct ExpectedParameter {
    const char* key;
    const char* type;
    const char* name;
    const char* description;
};

const ExpectedParameter kParameters[44] = {
    {"AtUp", "bool", "Auto Update", "Use Automatic Preview Update"},
    {"CtnX", "doub", "Center X", "Center Lens Position"},
    {"CtnY", "doub", "Center Y", "Center Lens Position"},
    {"RndM", "long", "Render Mode", "Mode of Scene Rendering"},
    {"MskK", "long", "Mask Kind", "Type of Shape for pattern"},
    {"PtrK", "long", "Pattern Kind", "Type of Pattern"},
    {"GrwD", "long", "Grow Direct", "Direction for pattern growing"},
    {"RndS", "long", "Random Seed", "Initial state for random number generator"},
    {"MnIn", "doub", "Min Interval", "Minimal distance between elements"},
    {"MxIt", "long", "Max Iteration", "Maximal Number of Iterations"},
    {"MxTr", "long", "Max Triangles", "Maximal posible number in any element"},
    {"Wdth", "doub", "Width", "Width"},
    {"Lngh", "doub", "Length", "Length"},
    {"Comp", "doub", "Completance", "Completance of Path"},
    {"CmDs", "doub", "Compl. Dist.", "Completance Distance"},
    {"Dspr", "doub", "Dispersion", "Dispersion"},
    {"LsID", "doub", "Lose Direct", "Lose Initial Direction"},
    {"PLen", "doub", "Progr. Length", "Progress of Length"},
    {"PWid", "doub", "Progr. Width", "Progress of Width"},
    {"InDp", "doub", "Interv.Depend", "Dependance of Interval"},
    {"Scle", "doub", "Scale", "Scale"},
    {"Diff", "long", "Diffuse", "Diffuse Color"},
    {"Spec", "long", "Speculare", "Speculare Color"},
    {"Shin", "doub", "Shininess", "Shininess"},
    {"ShSt", "doub", "Shinstrength", "ShinStrength"},
    {"SlIl", "doub", "Self Illum.", "Self Illumination"},
    {"Trns", "doub", "Transparancy", "Transparancy"},
    {"BmpP", "doub", "Bump", "Bump Percent"},
    {"Rfrc", "doub", "Refraction", "Refraction"},
    {"Keff", "doub", "Opt. Coef.", "Optical Coefficient"},
    {"Abbr", "doub", "Aberration", "Aberration"},
    {"LgCl", "long", "Light Color", "Light Color"},
    {"LgAl", "doub", "Light DirA", "Light Direction Alpha"},
    {"LgBt", "doub", "Light DirB", "Light Direction Beta"},
    {"LgMt", "doub", "Multiplay", "Light Multiplay"},
    {"AlpC", "long", "Alpha Cut", "Cut Alpha chanal"},
    {"UsGl", "long", "Use Glass", "Use Glass"},
    {"UsGl", "long", "Use Glass", "Use Glass"},
    {"EfKn", "long", "Effect Kind", "Effect Kind"},
    {"Turn", "doub", "Turn", "Turn"},
    {"Trn1", "doub", "Turn 1", "Turn 1"},
    {"MxT1", "long", "Max Trngls 1", "Max number of triangless 1"},
    {"RttX", "doub", "Rotate", "Rotation"},
    {"Colr", "long", "Color", "Color"},
};

TEST_P(ModuleResources, TerminologyListsTheEventItsParametersAndTheEnumeration) {
    const Resource& resource = Find("AETE", 16000);
    Aete aete;
    ASSERT_TRUE(ParseAete(resource.data, aete));
    EXPECT_EQ(aete.reserved, 1);
    EXPECT_EQ(aete.major, 1);
    EXPECT_EQ(aete.minor, 0);
    EXPECT_EQ(aete.language, 0);
    EXPECT_EQ(aete.script, 0);
    EXPECT_EQ(aete.trailing, 0u);
    ASSERT_EQ(aete.suites.size(), 1u);

    const AeteSuite& suite = aete.suites[0];
    EXPECT_EQ(suite.name, "Glacetrove");
    EXPECT_EQ(suite.description, "Glacetrove plug-ins");
    EXPECT_EQ(suite.id, FourCC("Qzk3"));
    EXPECT_EQ(suite.level, 1);
    EXPECT_EQ(suite.version, 1);
    EXPECT_TRUE(suite.comparisons.empty());
    ASSERT_EQ(suite.events.size(), 1u);

    const AeteEvent& event = suite.events[0];
    EXPECT_EQ(event.name, "Frost Weave");
    EXPECT_EQ(event.description, "Frostweaves filter plug-in");
    EXPECT_EQ(event.eventClass, FourCC("Qzk3"));
    EXPECT_EQ(event.eventId, FourCC("Qzk3"));
    // Some hosts read type and description as one NUL-terminated string: both empty.
    EXPECT_EQ(event.replyType, FourCC("null"));
    EXPECT_EQ(event.replyDescription, "");
    EXPECT_EQ(event.replyFlags, 0);
    EXPECT_EQ(event.directType, FourCC("#ImR"));
    EXPECT_EQ(event.directDescription, "");
    EXPECT_EQ(event.directFlags, 0xB000);

    ASSERT_EQ(event.parameters.size(), 44u);
    for (size_t i = 0; i < 44; ++i) {
        const AeteParameter& p = event.parameters[i];
        const ExpectedParameter& e = kParameters[i];
        SCOPED_TRACE(testing::Message() << "parameter " << i + 1 << " " << e.key);
        EXPECT_EQ(FourCCText(p.key), e.key);
        EXPECT_EQ(FourCCText(p.type), e.type);
        EXPECT_EQ(p.name, e.name);
        EXPECT_EQ(p.description, e.description);
        EXPECT_EQ(p.flags, 0);
    }

    ASSERT_EQ(suite.enumerations.size(), 1u);
    const AeteEnumeration& mood = suite.enumerations[0];
    EXPECT_EQ(mood.type, FourCC("mooD"));
    const char* expected[4][3] = {{"clear", "moD0", "clear headed"},
                                  {"cool", "moD1", "got the blues"},
                                  {"hot", "moD2", "red-faced"},
                                  {"sick", "moD3", "green with envy"}};
    ASSERT_EQ(mood.enumerators.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(mood.enumerators[i].name, expected[i][0]);
        EXPECT_EQ(FourCCText(mood.enumerators[i].value), expected[i][1]);
        EXPECT_EQ(mood.enumerators[i].description, expected[i][2]);
    }
}

// Does `data` contain `text` as UTF-16LE?
bool HasWideText(const std::vector<uint8_t>& data, const std::string& text) {
    std::vector<uint8_t> wide;
    for (char c : text) wide.insert(wide.end(), {uint8_t(c), 0});
    return std::search(data.begin(), data.end(), wide.begin(), wide.end()) != data.end();
}

TEST_P(ModuleResources, AboutBoxAndBitmapsArePresent) {
    const Resource& dialog = Find(kTypeDialog, 16107);
    ASSERT_GE(dialog.data.size(), 26u);
    EXPECT_EQ(dialog.data[0] | dialog.data[1] << 8, 1) << "DIALOGEX version";
    EXPECT_EQ(dialog.data[2] | dialog.data[3] << 8, 0xFFFF) << "DIALOGEX signature";
    EXPECT_TRUE(HasWideText(dialog.data, "Close"));
    EXPECT_TRUE(HasWideText(dialog.data, std::string("Version ") + FW_VERSION_TEXT));
    // The picture control names bitmap 125 by ordinal (FFFF 007D).
    const std::vector<uint8_t> ordinal = {0xFF, 0xFF, 125, 0};
    EXPECT_NE(std::search(dialog.data.begin(), dialog.data.end(), ordinal.begin(), ordinal.end()),
              dialog.data.end());
    EXPECT_FALSE(Find(kTypeBitmap, 125).data.empty());

    // A bitmap resource is the .bmp file without its 14-byte file header.
    const std::vector<uint8_t> bmp = FileBytes(FW_RESOURCES_DIR "/texture999.bmp");
    ASSERT_GT(bmp.size(), 14u);
    EXPECT_EQ(Find(kTypeBitmap, 999).data, std::vector<uint8_t>(bmp.begin() + 14, bmp.end()));
}

TEST_P(ModuleResources, SetValueDialogNamesEveryField) {
    const Resource& dialog = Find(kTypeDialog, 15092);
    ASSERT_GE(dialog.data.size(), 26u);
    EXPECT_EQ(dialog.data[2] | dialog.data[3] << 8, 0xFFFF) << "DIALOGEX signature";
    for (const char* text : {"Set value", "Value name is:", "Recomended range is:",
                             "New max value is:", "OK", "Cancel"})
        EXPECT_TRUE(HasWideText(dialog.data, text)) << text;
    // Control ids 15901 ... 15909, each a 32-bit id in the item templates.
    for (uint32_t id = 15901; id <= 15909; ++id) {
        const std::vector<uint8_t> bytes = {uint8_t(id), uint8_t(id >> 8), 0, 0};
        EXPECT_NE(std::search(dialog.data.begin(), dialog.data.end(), bytes.begin(), bytes.end()),
                  dialog.data.end())
            << id;
    }
}

// The bitmaps the dialog loads: id, the file make_bitmaps.py draws, size, bits a pixel.
struct DialogBitmap {
    int id;
    const char* file;
    int width, height, bits;
};

const DialogBitmap kDialogBitmaps[] = {
    {104, "button104.bmp", 16, 16, 24}, {105, "button105.bmp", 16, 16, 24},
    {106, "button106.bmp", 16, 16, 24}, {107, "button107.bmp", 16, 16, 24},
    {111, "tab111.bmp", 10, 10, 24},    {112, "tabmask112.bmp", 10, 10, 1},
    {113, "tab113.bmp", 10, 10, 24},    {115, "sample115.bmp", 160, 160, 24},
    {125, "about125.bmp", 80, 80, 24},  {999, "texture999.bmp", 40, 40, 24},
};

struct BitmapHeader {
    uint32_t size = 0;
    int32_t width = 0, height = 0;
    uint16_t bits = 0;
    uint32_t compression = 0;
};

// The information header at the start of a bitmap resource (or at 14 in a .bmp file).
BitmapHeader ReadBitmapHeader(const std::vector<uint8_t>& d, size_t at = 0) {
    BitmapHeader h;
    if (d.size() < at + 40) return h;
    h.size = LittleEndian32(d, at);
    h.width = int32_t(LittleEndian32(d, at + 4));
    h.height = int32_t(LittleEndian32(d, at + 8));
    h.bits = uint16_t(d[at + 14] | d[at + 15] << 8);
    h.compression = LittleEndian32(d, at + 16);
    return h;
}

TEST_P(ModuleResources, DialogBitmapsAreTheDrawnFilesAtTheirSizes) {
    for (const DialogBitmap& b : kDialogBitmaps) {
        SCOPED_TRACE(b.file);
        const Resource& r = Find(kTypeBitmap, b.id);
        const BitmapHeader h = ReadBitmapHeader(r.data);
        EXPECT_EQ(h.size, 40u);
        // Positive height: stored bottom-up, as every loader accepts.
        EXPECT_EQ(h.width, b.width);
        EXPECT_EQ(h.height, b.height);
        EXPECT_EQ(h.bits, b.bits);
        EXPECT_EQ(h.compression, 0u);
        const std::vector<uint8_t> file = FileBytes(std::string(FW_RESOURCES_DIR "/") + b.file);
        ASSERT_GT(file.size(), 14u);
        EXPECT_EQ(r.data, std::vector<uint8_t>(file.begin() + 14, file.end()));
    }
}

TEST_P(ModuleResources, VersionResourceNamesTheProductAndCarriesTheProjectVersion) {
    VersionInfo info;
    ASSERT_TRUE(ParseVersionInfo(Find(kTypeVersion, 1).data, info));
    unsigned major = 0, minor = 0, patch = 0;
    std::sscanf(FW_VERSION_TEXT, "%u.%u.%u", &major, &minor, &patch);
    EXPECT_EQ(info.fileVersionMS, major << 16 | minor);
    EXPECT_EQ(info.fileVersionLS, patch << 16);
    EXPECT_EQ(info.productVersionMS, info.fileVersionMS);
    EXPECT_EQ(info.productVersionLS, info.fileVersionLS);
    EXPECT_EQ(info.fileType, 2u) << "a DLL";
    EXPECT_EQ(info.String("FileVersion"), FW_VERSION_TEXT);
    EXPECT_EQ(info.String("ProductVersion"), FW_VERSION_TEXT);
    EXPECT_EQ(info.String("ProductName"), "Frostweave");
    EXPECT_EQ(info.String("LegalCopyright"), "Copyright (C) 2026 The Frostweave developers");
    EXPECT_EQ(info.String("OriginalFilename"), "GLTFrostweave.8bf");
    EXPECT_NE(info.String("FileDescription").find("Frostweave"), std::string::npos);
    // US English, Unicode: the table the translation entry points at must be there.
    EXPECT_EQ(info.table, "040904B0");
    EXPECT_EQ(info.translations, std::vector<uint32_t>{0x04B00409u});
}

INSTANTIATE_TEST_SUITE_P(Builds, ModuleResources, ::testing::ValuesIn(kSubjects),
                         [](const ::testing::TestParamInfo<Subject>& info) {
                             return std::string(info.param.label);
                         });

TEST(Texture, CompiledInCopyIsTheBitmapFileAndAGreyHeightMapThatTiles) {
    const uint8_t* compiled = nullptr;
    size_t size = 0;
    ASSERT_TRUE(platform::FindCompiledBitmap(999, compiled, size));
    EXPECT_EQ(std::vector<uint8_t>(compiled, compiled + size),
              FileBytes(FW_RESOURCES_DIR "/texture999.bmp"))
        << "run resources/make_bitmaps.py after changing the texture";
    EXPECT_FALSE(platform::FindCompiledBitmap(998, compiled, size));

    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(platform::LoadBitmapRgb(999, w, h, rgb));
    ASSERT_EQ(w, 40);
    ASSERT_EQ(h, 40);
    auto height = [&](int x, int y) { return int(rgb[(size_t(y) * 40 + x) * 3]); };
    int low = 255, high = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const uint8_t* p = &rgb[(size_t(y) * 40 + x) * 3];
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
            low = std::min(low, height(x, y));
            high = std::max(high, height(x, y));
        }
    EXPECT_GT(high - low, 150) << "a bump map needs relief";

    // Repeated across a surface, the step from the last row/column to the first is no
    // larger than an ordinary step inside the texture.
    double inside = 0, seam = 0;
    for (int i = 0; i < 40; ++i) {
        for (int j = 0; j + 1 < 40; ++j)
            inside += std::abs(height(j, i) - height(j + 1, i)) +
                      std::abs(height(i, j) - height(i, j + 1));
        seam += std::abs(height(39, i) - height(0, i)) + std::abs(height(i, 39) - height(i, 0));
    }
    EXPECT_LE(seam / (2 * 40), 1.5 * inside / (2 * 40 * 39));
}

// Pixels of a 24-bit or 1-bit bottom-up .bmp file, top row first, as 0x00RRGGBB.
std::vector<std::vector<uint32_t>> BmpPixels(const std::string& file) {
    const std::vector<uint8_t> d = FileBytes(std::string(FW_RESOURCES_DIR "/") + file);
    const BitmapHeader h = ReadBitmapHeader(d, 14);
    const size_t offset = LittleEndian32(d, 10);
    const size_t stride = (size_t(h.width) * h.bits + 31) / 32 * 4;
    std::vector<std::vector<uint32_t>> rows(h.height, std::vector<uint32_t>(h.width));
    if (d.size() < offset + stride * h.height) {
        ADD_FAILURE() << file << " is short";
        return rows;
    }
    for (int y = 0; y < h.height; ++y) {
        const uint8_t* line = &d[offset + stride * (h.height - 1 - y)];
        for (int x = 0; x < h.width; ++x) {
            if (h.bits == 24) {
                const uint8_t* p = line + 3 * x;
                rows[y][x] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            } else {
                const int index = (line[x / 8] >> (7 - x % 8)) & 1;
                const uint8_t* entry = &d[14 + 40 + 4 * index];  // palette: blue, green, red
                rows[y][x] = uint32_t(entry[2]) << 16 | uint32_t(entry[1]) << 8 | entry[0];
            }
        }
    }
    return rows;
}

// Image lists draw a masked image by AND-ing the mask and OR-ing the image: wherever the
// mask is white (transparent) the image must be black, or it shows as a coloured fringe.
TEST(DialogBitmaps, TabImagesAreBlackWhereTheirMaskIsTransparent) {
    const auto mask = BmpPixels("tabmask112.bmp");
    int drawn = 0;
    for (const char* file : {"tab111.bmp", "tab113.bmp"}) {
        const auto image = BmpPixels(file);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                const uint32_t m = mask[y][x];
                ASSERT_TRUE(m == 0 || m == 0xFFFFFF) << "the mask is black and white only";
                if (m == 0xFFFFFF) {
                    EXPECT_EQ(image[y][x], 0u) << file << " at " << x << "," << y;
                } else {
                    drawn += image[y][x] != 0;
                }
            }
    }
    EXPECT_GT(drawn, 2 * 40) << "the gem covers a good part of the 10 x 10 image";
    EXPECT_NE(BmpPixels("tab111.bmp"), BmpPixels("tab113.bmp"))
        << "the selected tab must look different";
}

TEST(DialogBitmaps, ButtonsAreDistinctOnTheButtonFace) {
    std::set<std::vector<std::vector<uint32_t>>> seen;
    for (const char* file : {"button104.bmp", "button105.bmp", "button106.bmp", "button107.bmp"}) {
        const auto pixels = BmpPixels(file);
        EXPECT_TRUE(seen.insert(pixels).second) << file << " repeats another button";
        int face = 0, dark = 0;
        for (const auto& row : pixels)
            for (uint32_t p : row) {
                face += p == 0xF0F0F0;
                const int luma = ((p >> 16) * 3 + ((p >> 8) & 255) * 6 + (p & 255)) / 10;
                dark += luma < 110;
            }
        // Strong contrast against the face, so the picture reads at any scale.
        EXPECT_GT(face, 256 / 4) << file;
        EXPECT_GT(dark, 256 / 8) << file;
    }
}

}  // namespace
}  // namespace fw::pe
