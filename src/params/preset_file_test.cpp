#include "params/preset_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace fw {
namespace {

using namespace std::string_view_literals;

// The file a default record must produce, typed out line by line.
const char* const kDefaultLines[kPresetLineCount] = {
    "pUtA 1 \t\t\t\t;Auto Apdates \n",
    "XntC 0.000000 \t\t\t\t;Center X \n",
    "YntC 0.000000  \n",
    "MdnR 5 \t\t\t\t;RenderMode \n",
    "KksM 5 \t\t\t\t;MaskKind \n",
    "KrtP 3 \t\t\t\t;PatternKind \n",
    "DwrG 1 \t\t\t\t;GrowDirect \n",
    "SdnR 0 \t\t\t\t;RandomSeed\n",
    "nInM 25.000000 \t\t\t\t;MinInterval \n",
    "tIxM 3 \t\t\t\t;MaxIterations\n",
    "rTxM 3 \t\t\t\t;MaxTriangles\n",
    "htdW 30.000000 \t\t\t\t;Width \n",
    "hgnL 15.000000 \t\t\t\t;Lenght \n",
    "pmoC 100.000000 \t\t\t\t;Completance \n",
    "sDmC 100.000000 \t\t\t\t;CompletanceDist \n",
    "rpsD 6.250000 \t\t\t\t;Dispers \n",
    "DIsL 15.000000 \t\t\t\t;LoseInitDir \n",
    "neLP 10.000000 \t\t\t\t;PLenght \n",
    "diWP 10.000000 \t\t\t\t;PWidth \n",
    "pDnI 0.000000 \t\t\t\t;IntervDepend \n",
    "elcS 100.000000 \t\t\t\t;Scale \n",
    "ffiD 12632256 \t\t\t\t;Diffuse\n",
    "cepS 16777215 \t\t\t\t;Speculare\n",
    "nihS 15.000000 \t\t\t\t;Shininess \n",
    "tShS 100.000000 \t\t\t\t;Shinstrength \n",
    "lIlS 10.000000 \t\t\t\t;SelfIllumination \n",
    "snrT 0.000000 \t\t\t\t;Transparancy \n",
    "PpmB 20.000000 \t\t\t\t;BumpPercent \n",
    "crfR -50.000000 \t\t\t\t;Refraction \n",
    "ffeK 75.000000 \t\t\t\t;Koefficient \n",
    "rbbA 20.000000 \t\t\t\t;Aberration \n",
    "lCgL 16777215 \t\t\t\t;LightColor\n",
    "lAgL 0.000000 \t\t\t\t;LightAlpha \n",
    "tBgL 45.000000 \t\t\t\t;LightBeta \n",
    "tMgL 100.000000 \t\t\t\t;LightMultiplay \n",
    "kBsU 1 \t\t\t\t;UseBackLight \n",
    "CplA 0 \t\t\t\t;AlphaCut \n",
    "lGsU 1 \t\t\t\t;UseGlass \n",
    "nKfE 2 \t\t\t\t;EffectKind \n",
    "nruT 180.000000 \t\t\t\t;Turn \n",
    "1nrT 180.000000 \t\t\t\t;Turn1 \n",
    "1TxM 15 \t\t\t\t;MaxTriangles1\n",
    "XttR 0.000000 \t\t\t\t;RotateX \n",
    "hplA 0.000000 \t\t\t\t;Alpha \n",
    "ateB 45.000000 \t\t\t\t;Beta \n",
    "rloC 65535 \t\t\t\t;Color\n",
};

std::string DefaultText() {
    std::string text;
    for (const char* line : kDefaultLines) text += line;
    return text;
}

EffectParameters Defaults() {
    EffectParameters p{};
    SetDefaults(p);
    return p;
}

// Every preset field named explicitly, so a table entry pointing at the wrong field shows.
void ExpectSameSettings(const EffectParameters& a, const EffectParameters& b) {
    EXPECT_EQ(a.AutoUpdate, b.AutoUpdate);
    EXPECT_EQ(a.CenterX, b.CenterX);
    EXPECT_EQ(a.CenterY, b.CenterY);
    EXPECT_EQ(a.RenderMode, b.RenderMode);
    EXPECT_EQ(a.MaskKind, b.MaskKind);
    EXPECT_EQ(a.PatternKind, b.PatternKind);
    EXPECT_EQ(a.GrowDirect, b.GrowDirect);
    EXPECT_EQ(a.RandomSeed, b.RandomSeed);
    EXPECT_EQ(a.MinInterval, b.MinInterval);
    EXPECT_EQ(a.MaxIterations, b.MaxIterations);
    EXPECT_EQ(a.MaxTriangles, b.MaxTriangles);
    EXPECT_EQ(a.Width, b.Width);
    EXPECT_EQ(a.Lenght, b.Lenght);
    EXPECT_EQ(a.Completance, b.Completance);
    EXPECT_EQ(a.CompletanceDist, b.CompletanceDist);
    EXPECT_EQ(a.Dispers, b.Dispers);
    EXPECT_EQ(a.LoseInitDir, b.LoseInitDir);
    EXPECT_EQ(a.PLenght, b.PLenght);
    EXPECT_EQ(a.PWidth, b.PWidth);
    EXPECT_EQ(a.IntervDepend, b.IntervDepend);
    EXPECT_EQ(a.Scale, b.Scale);
    EXPECT_EQ(a.Diffuse, b.Diffuse);
    EXPECT_EQ(a.Speculare, b.Speculare);
    EXPECT_EQ(a.Shininess, b.Shininess);
    EXPECT_EQ(a.Shinstrength, b.Shinstrength);
    EXPECT_EQ(a.SelfIllumination, b.SelfIllumination);
    EXPECT_EQ(a.Transparancy, b.Transparancy);
    EXPECT_EQ(a.BumpPercent, b.BumpPercent);
    EXPECT_EQ(a.Refraction, b.Refraction);
    EXPECT_EQ(a.Koefficient, b.Koefficient);
    EXPECT_EQ(a.Aberration, b.Aberration);
    EXPECT_EQ(a.LightColor, b.LightColor);
    EXPECT_EQ(a.LightAlpha, b.LightAlpha);
    EXPECT_EQ(a.LightBeta, b.LightBeta);
    EXPECT_EQ(a.LightMultiplay, b.LightMultiplay);
    EXPECT_EQ(a.UseBackLight, b.UseBackLight);
    EXPECT_EQ(a.AlphaCut, b.AlphaCut);
    EXPECT_EQ(a.UseGlass, b.UseGlass);
    EXPECT_EQ(a.EffectKind, b.EffectKind);
    EXPECT_EQ(a.Turn, b.Turn);
    EXPECT_EQ(a.Turn1, b.Turn1);
    EXPECT_EQ(a.MaxTriangles1, b.MaxTriangles1);
    EXPECT_EQ(a.RotateX, b.RotateX);
    EXPECT_EQ(a.Alpha, b.Alpha);
    EXPECT_EQ(a.Beta, b.Beta);
    EXPECT_EQ(a.Color, b.Color);
}

// A record with a distinct, non-default value in every preset field.
EffectParameters Unusual() {
    EffectParameters p{};
    p.AutoUpdate = 0;
    p.CenterX = -999.5f;
    p.CenterY = 123.456789f;
    p.RenderMode = 2;
    p.MaskKind = 255;
    p.PatternKind = 4;
    p.GrowDirect = 8;
    p.RandomSeed = -2147483647 - 1;
    p.MinInterval = 0.000001f;
    p.MaxIterations = 6;
    p.MaxTriangles = 2147483647;
    p.Width = 149.999999f;
    p.Lenght = 0.1f;
    p.Completance = 0.333333f;
    p.CompletanceDist = 99.25f;
    p.Dispers = 12.5f;
    p.LoseInitDir = 77.75f;
    p.PLenght = -100.0f;
    p.PWidth = -0.5f;
    p.IntervDepend = 3.141593f;
    p.Scale = 1000.0f;
    p.Diffuse = 0x123456;
    p.Speculare = 0xFFFFFFFF;
    p.Shininess = 1.5f;
    p.Shinstrength = 499.0f;
    p.SelfIllumination = 2.25f;
    p.Transparancy = 55.0f;
    p.BumpPercent = -200.0f;
    p.Refraction = 33.0f;
    p.Koefficient = -75.125f;
    p.Aberration = 0.0625f;
    p.LightColor = 0x80000000;
    p.LightAlpha = 359.0f;
    p.LightBeta = -45.0f;
    p.LightMultiplay = 150.0f;
    p.UseBackLight = 0;
    p.AlphaCut = 1;
    p.UseGlass = 0;
    p.EffectKind = 3;
    p.Turn = -360.0f;
    p.Turn1 = 12.0f;
    p.MaxTriangles1 = 40;
    p.RotateX = 90.5f;
    p.Alpha = 7.0f;
    p.Beta = 8.0f;
    p.Color = 0x00ABCDEF;
    return p;
}

EffectParameters Read(const std::string& text, EffectParameters p = Defaults()) {
    ReadPresetText(p, text);
    return p;
}

class PresetFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("fw_preset_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string PathOf(const char* name) const { return (dir_ / name).string(); }
    std::string WriteFile(const char* name, const std::string& bytes) const {
        const std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string ReadFile(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path dir_;
};

TEST(PresetWriter, DefaultRecordGivesTheReferenceFile) {
    const std::string text = FormatPreset(Defaults());
    const std::string expected = DefaultText();
    ASSERT_EQ(text.size(), expected.size());
    // Line by line first, so a failure names the line.
    size_t pos = 0;
    for (const char* line : kDefaultLines) {
        EXPECT_EQ(text.substr(pos, std::strlen(line)), line);
        pos += std::strlen(line);
    }
    EXPECT_EQ(text, expected);
}

TEST(PresetWriter, FormatsValuesWithoutTheCRuntime) {
    EffectParameters p = Defaults();
    p.CenterX = 1.0f / 128;  // 0.0078125: exact tie, rounds to even
    p.CenterY = 3.0f / 128;  // 0.0234375: exact tie, rounds up to even
    p.MinInterval = 1e30f;   // the exact binary value, not 17 digits and zeros
    p.Width = -0.0f;
    p.AutoUpdate = 0x1FF;    // only the low byte is written
    p.MaskKind = 200;        // bytes are unsigned
    p.Diffuse = 0xFFFFFFFF;  // colours are written signed
    p.RandomSeed = -17;
    const std::string text = FormatPreset(p);
    EXPECT_NE(text.find("XntC 0.007812 \t"), std::string::npos);
    EXPECT_NE(text.find("YntC 0.023438  \n"), std::string::npos);
    EXPECT_NE(text.find("nInM 1000000015047466219876688855040.000000 \t"), std::string::npos);
    EXPECT_NE(text.find("htdW -0.000000 \t"), std::string::npos);
    EXPECT_NE(text.find("pUtA 255 \t"), std::string::npos);
    EXPECT_NE(text.find("KksM 200 \t"), std::string::npos);
    EXPECT_NE(text.find("ffiD -1 \t"), std::string::npos);
    EXPECT_NE(text.find("SdnR -17 \t"), std::string::npos);
}

TEST_F(PresetFileTest, SaveWritesHeaderAndLinesAndLoadGivesEveryFieldBack) {
    const EffectParameters saved = Unusual();
    const std::string path = PathOf("unusual.fwv");
    ASSERT_TRUE(SavePresetFile(path, saved));
    const std::string bytes = ReadFile(path);
    EXPECT_EQ(bytes.substr(0, 16), "Max Frostweave1\n");
    EXPECT_EQ(bytes.substr(16), FormatPreset(saved));

    EffectParameters loaded = Defaults();
    loaded.NeedsRegeneration = 0;
    ASSERT_TRUE(LoadPresetFile(path, loaded));
    ExpectSameSettings(loaded, saved);
    EXPECT_EQ(loaded.NeedsRegeneration, 1);

    // Saving replaces the file rather than appending to it.
    ASSERT_TRUE(SavePresetFile(path, Defaults()));
    EXPECT_EQ(ReadFile(path), std::string(kPresetHeader) + DefaultText());
}

TEST_F(PresetFileTest, BadHeaderShortFileOrMissingFileLoadNothing) {
    const EffectParameters before = Unusual();
    std::string wrong = std::string(kPresetHeader) + "pUtA 1 \n";
    wrong[14] = '2';  // "Max Frostweave2\n"
    const std::string cases[] = {
        WriteFile("wrong.fwv", wrong),
        WriteFile("cr_only_header.fwv", "Max Frostweave1\rpUtA 1 \n"),
        WriteFile("mark_after_header.fwv", "Max Frostweave1\xEF\xBB\xBF\npUtA 1 \n"),
        WriteFile("half_mark.fwv", "\xEF\xBBMax Frostweave1\npUtA 1 \n"),
        WriteFile("short.fwv", std::string(kPresetHeader, 15)),
        WriteFile("empty.fwv", ""),
        PathOf("missing.fwv"),
        dir_.string(),  // a folder opens on some systems but reads nothing
    };
    for (const std::string& path : cases) {
        EffectParameters p;
        std::memcpy(&p, &before, sizeof p);
        EXPECT_FALSE(LoadPresetFile(path, p)) << path;
        EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0) << path;
    }
    // The bare header is a valid, empty preset.
    EffectParameters p;
    std::memcpy(&p, &before, sizeof p);
    EXPECT_TRUE(LoadPresetFile(WriteFile("header.fwv", kPresetHeader), p));
    ExpectSameSettings(p, before);
    EXPECT_EQ(p.NeedsRegeneration, 1);
}

// As a Windows editor saves a preset: CR LF throughout, perhaps after a byte-order mark.
TEST_F(PresetFileTest, WindowsEditedFilesLoadCompletely) {
    const EffectParameters saved = Unusual();
    const std::string path = PathOf("saved.fwv");
    ASSERT_TRUE(SavePresetFile(path, saved));
    std::string crlf;
    for (char c : ReadFile(path)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string mark = "\xEF\xBB\xBF";
    const std::pair<std::string, size_t> files[] = {
        {crlf, 17}, {mark + crlf, 20}, {mark + ReadFile(path), 19}};
    for (const auto& [text, headerLength] : files) {
        EXPECT_EQ(PresetHeaderLength(text), headerLength);
        EffectParameters p = Defaults();
        ASSERT_TRUE(LoadPresetFile(WriteFile("edited.fwv", text), p));
        ExpectSameSettings(p, saved);
    }
}

TEST_F(PresetFileTest, SaveToAnUncreatableFileFailsQuietly) {
    EXPECT_FALSE(SavePresetFile(PathOf("no/such/folder/x.fwv"), Defaults()));
}

TEST(PresetReader, CrLfFileLoadsCompletely) {
    std::string crlf;
    for (const char* line : kDefaultLines) {
        std::string s = line;
        s.insert(s.size() - 1, "\r");
        crlf += s;
    }
    EffectParameters p{};
    ReadPresetText(p, crlf);
    ExpectSameSettings(p, Defaults());
}

TEST(PresetReader, UnfinishedLastLineIsNotApplied) {
    EXPECT_EQ(Read("KksM 2\npUtA 7").MaskKind, 2);
    EXPECT_EQ(Read("KksM 2\npUtA 7").AutoUpdate, 1);
    EXPECT_EQ(Read("KksM 2\npUtA 7\n").AutoUpdate, 7);
    // Any line-ending byte finishes it, a carriage return included.
    EXPECT_EQ(Read("pUtA 7\r").AutoUpdate, 7);
}

TEST(PresetReader, ByteWithTopBitEndsTheLine) {
    // The comment's accented letter ends the line; the value is already read.
    EffectParameters p = Read("KksM 3 \t\t\t\t;Masque \xE9tendu \n");
    EXPECT_EQ(p.MaskKind, 3);
    // What follows that byte is a line of its own and is read as one.
    p = Read("KksM 3 ;Caf\xE9nInM 42\n");
    EXPECT_EQ(p.MaskKind, 3);
    EXPECT_EQ(p.MinInterval, 42.0f);
    // Other control bytes end lines too, but tabs are spaces.
    p = Read("KksM 4\x01nInM 43\x0bpUtA\t\t9\n");
    EXPECT_EQ(p.MaskKind, 4);
    EXPECT_EQ(p.MinInterval, 43.0f);
    EXPECT_EQ(p.AutoUpdate, 9);
}

TEST(PresetReader, IgnoresCommentsBlankShortUnknownAndWrongCaseLines) {
    const EffectParameters defaults = Defaults();
    const std::string_view ignored[] = {
        ";KksM 2\n"sv, "   ;KksM 2\n"sv, "\t;KksM 2\n"sv, "\n"sv,       "    \n"sv,
        "Kks\n"sv,     "  Kk\n"sv,       "kksm 2\n"sv,    "KKSM 2\n"sv, "MskK 2\n"sv,
        "XXXX 2\n"sv,  "\0"sv,           "Kk\0"sv,        "\r\n"sv,
    };
    for (const std::string_view text : ignored) {
        EffectParameters p;
        std::memcpy(&p, &defaults, sizeof p);
        ReadPresetText(p, text);
        EXPECT_EQ(std::memcmp(&p, &defaults, sizeof p), 0) << text;
    }
    // Leading spaces and tabs before a key are fine, and so is no space after it; a zero
    // byte ends a line like a line feed.
    EXPECT_EQ(Read(" \t KksM 2\n").MaskKind, 2);
    EXPECT_EQ(Read("KksM2\n").MaskKind, 2);
    EXPECT_EQ(Read(std::string("KksM 3\0KksM 4\n", 14)).MaskKind, 4);
    EXPECT_EQ(Read(std::string("KksM 3\0KksM 4", 13)).MaskKind, 3);
}

TEST(PresetReader, LaterLinesWinAndMissingLinesKeepTheirValues) {
    const EffectParameters p = Read("KksM 2\nnInM 7.5\nKksM 6\n");
    EXPECT_EQ(p.MaskKind, 6);
    EXPECT_EQ(p.MinInterval, 7.5f);
    EXPECT_EQ(p.Width, 30.0f);
    EXPECT_EQ(p.Color, 0x00FFFFu);
}

TEST(PresetReader, ConvertsValuesByKind) {
    // Bytes: a decimal integer, low 8 bits kept.
    EXPECT_EQ(Read("KksM 300\n").MaskKind, 44);
    EXPECT_EQ(Read("KksM +5\n").MaskKind, 0);
    EXPECT_EQ(Read("KksM 12.7\n").MaskKind, 12);
    EXPECT_EQ(Read("KksM -1\n").MaskKind, 255);
    EXPECT_EQ(Read("KksM\n").MaskKind, 0);
    EXPECT_EQ(Read("KksM x9\n").MaskKind, 0);
    EXPECT_EQ(Read("KksM \t 9;x\n").MaskKind, 9);
    EXPECT_EQ(Read("pUtA 258\n").AutoUpdate, 2);
    EXPECT_EQ(Read("pUtA -1\n").AutoUpdate, 255);
    // Integers: signed 32-bit, saturating.
    EXPECT_EQ(Read("ffiD -1\n").Diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(Read("SdnR 1e5\n").RandomSeed, 1);
    EXPECT_EQ(Read("SdnR --5\n").RandomSeed, 0);
    EXPECT_EQ(Read("SdnR 2147483647\n").RandomSeed, 2147483647);
    EXPECT_EQ(Read("SdnR 99999999999999\n").RandomSeed, 2147483647);
    EXPECT_EQ(Read("SdnR -2147483648\n").RandomSeed, -2147483647 - 1);
    EXPECT_EQ(Read("SdnR -99999999999999\n").RandomSeed, -2147483647 - 1);
    // Reals: the comma ends the number; exponents are understood.
    EXPECT_EQ(Read("nInM 1,5\n").MinInterval, 1.0f);
    EXPECT_EQ(Read("nInM 1e2\n").MinInterval, 100.0f);
    EXPECT_EQ(Read("nInM -.5\n").MinInterval, -0.5f);
    EXPECT_EQ(Read("nInM 2.5E-1x\n").MinInterval, 0.25f);
    EXPECT_EQ(Read("nInM +5\n").MinInterval, 0.0f);
    EXPECT_EQ(Read("nInM e5\n").MinInterval, 0.0f);
    EXPECT_EQ(Read("nInM 1e400\n").MinInterval, INFINITY);
    EXPECT_EQ(Read("nInM -1e39\n").MinInterval, -INFINITY);
    EXPECT_EQ(Read("nInM 1e-400\n").MinInterval, 0.0f);
    EXPECT_EQ(Read("nInM 1e-50\n").MinInterval, 0.0f);
    // At most 64 value characters: the 65th digit is not part of the number.
    EXPECT_EQ(Read("SdnR " + std::string(64, '0') + "7\n").RandomSeed, 0);
    EXPECT_EQ(Read("SdnR " + std::string(63, '0') + "7\n").RandomSeed, 7);
}

TEST(PresetReader, LongLinesAreCutAtTheLineBuffer) {
    // A value within the first 1022 characters survives a long comment.
    EXPECT_EQ(Read("KksM 7 ;" + std::string(3000, 'x') + "\nnInM 5\n").MaskKind, 7);
    EXPECT_EQ(Read("KksM 7 ;" + std::string(3000, 'x') + "\nnInM 5\n").MinInterval, 5.0f);
    // A key past the buffer is never seen, not even as the start of a new line.
    const std::string padded = std::string(1022, ' ') + "KksM 2\n";
    EXPECT_EQ(Read(padded).MaskKind, 5);
    EXPECT_EQ(Read(std::string(1016, ' ') + "KksM 2\n").MaskKind, 2);  // 1022 characters
    EXPECT_EQ(Read(std::string(1017, ' ') + "KksM 2\n").MaskKind, 0);  // value cut off
    EXPECT_EQ(Read(std::string(1019, ' ') + "KksM 2\n").MaskKind, 5);  // key cut short
}

TEST_F(PresetFileTest, ReaderGivesTheSameResultFromAFile) {
    const std::string text =
        "KksM 300\r\nnInM 1,5 ;caf\xE9"
        "pUtA 9\n\tffiD -2\npUtA 3";
    const std::string path = WriteFile("mixed.fwv", kPresetHeader + text);
    EffectParameters fromFile = Defaults();
    ASSERT_TRUE(LoadPresetFile(path, fromFile));
    const EffectParameters fromText = Read(text);
    ExpectSameSettings(fromFile, fromText);
    EXPECT_EQ(fromFile.MaskKind, 44);
    EXPECT_EQ(fromFile.MinInterval, 1.0f);
    EXPECT_EQ(fromFile.AutoUpdate, 9);
    EXPECT_EQ(fromFile.Diffuse, 0xFFFFFFFEu);
}

TEST(PresetFileName, AppendsTheExtensionOnlyWhereTheRuleSays) {
    EXPECT_EQ(PresetFileName("a"), "a");
    EXPECT_EQ(PresetFileName("abc"), "abc");
    EXPECT_EQ(PresetFileName("name"), "name.fwv");
    EXPECT_EQ(PresetFileName("frost.fwv"), "frost.fwv");
    EXPECT_EQ(PresetFileName("frost.txt"), "frost.txt");
    EXPECT_EQ(PresetFileName(".fwv"), ".fwv");
    EXPECT_EQ(PresetFileName("my.frost"), "my.frost.fwv");
    EXPECT_EQ(PresetFileName("C:\\Saves\\window"), "C:\\Saves\\window.fwv");
}

}  // namespace
}  // namespace fw
