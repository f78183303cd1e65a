#include "cli/image_io.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace fw::cli {
namespace {

namespace fs = std::filesystem;

class ImageIoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("fw_image_io_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // Every file in the folder: a failed write must leave none behind.
    size_t FileCount() const {
        return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    fs::path dir_;
};

Picture Noise(int w, int h, int channels, int depth, unsigned seed) {
    Picture p(w, h, channels, depth);
    std::mt19937 rng(seed);
    for (uint16_t& s : p.samples) s = uint16_t(rng() % (unsigned(p.MaxValue()) + 1));
    // The extremes must survive too.
    p.samples[0] = 0;
    p.samples[1] = uint16_t(p.MaxValue());
    return p;
}

// The formats this build writes without loss (TIFF only with libtiff).
std::vector<std::string> LosslessExtensions() {
    if (CanWrite(ImageFormat::Tiff)) return {".png", ".tif"};
    return {".png"};
}

TEST_F(ImageIoTest, PngAndTiffKeepEveryLayoutExactly) {
    for (const std::string& ext : LosslessExtensions())
        for (int channels = 1; channels <= 4; ++channels)
            for (int depth : {8, 16}) {
                const Picture in = Noise(13, 7, channels, depth, unsigned(channels * depth));
                const std::string name =
                    "p" + std::to_string(channels) + "_" + std::to_string(depth) + ext;
                std::string error;
                ASSERT_TRUE(WritePicture(Path(name), in, error)) << error;
                Picture out;
                ASSERT_TRUE(ReadPicture(Path(name), out, error)) << error;
                SCOPED_TRACE(name);
                EXPECT_EQ(out.width, in.width);
                EXPECT_EQ(out.height, in.height);
                EXPECT_EQ(out.channels, in.channels);
                EXPECT_EQ(out.depth, in.depth);
                EXPECT_EQ(out.samples, in.samples);
            }
}

// Pictures of several megabytes are deflated in pieces on every core: a PNG's pieces joined
// into one stream (zlib checks the joined stream's Adler-32), a TIFF's strips in batches
// written in order. Reading them back gives every sample.
TEST_F(ImageIoTest, LargePicturesWrittenInPiecesReadBackExactly) {
    for (const std::string& ext : LosslessExtensions())
        for (int depth : {8, 16}) {
            const Picture in = Noise(depth == 8 ? 2200 : 1200, 1001, 4, depth, unsigned(depth));
            const std::string name = "large" + std::to_string(depth) + ext;
            std::string error;
            ASSERT_TRUE(WritePicture(Path(name), in, error)) << error;
            Picture out;
            ASSERT_TRUE(ReadPicture(Path(name), out, error)) << error;
            EXPECT_EQ(out.samples, in.samples) << name;
        }
}

// A smooth picture with some grain, as photographs are; both efforts keep it exactly, and
// the smallest file is no larger than the quick one.
TEST_F(ImageIoTest, PngEffortsKeepThePixelsAndTheSmallestIsSmaller) {
    for (int depth : {8, 16}) {
        Picture in(300, 200, 3, depth);
        std::mt19937 rng{unsigned(depth)};
        for (int y = 0; y < in.height; ++y)
            for (int x = 0; x < in.width; ++x)
                for (int c = 0; c < 3; ++c)
                    in.At(x, y, c) = uint16_t(((x + c * y) * in.MaxValue() / 700 + rng() % 5) %
                                              (in.MaxValue() + 1));
        uintmax_t sizes[2] = {};
        for (PngEffort effort : {PngEffort::Fast, PngEffort::Smallest}) {
            SetPngEffort(effort);
            const std::string name =
                "e" + std::to_string(depth) + "_" + std::to_string(int(effort)) + ".png";
            std::string error;
            ASSERT_TRUE(WritePicture(Path(name), in, error)) << error;
            Picture out;
            ASSERT_TRUE(ReadPicture(Path(name), out, error)) << error;
            EXPECT_EQ(out.samples, in.samples) << name;
            sizes[int(effort)] = fs::file_size(Path(name));
        }
        SetPngEffort(PngEffort::Fast);
        EXPECT_LT(sizes[1], sizes[0]) << depth << "-bit";
    }
}

TEST_F(ImageIoTest, JpegStoresEightBitColourCloseToTheInput) {
    Picture in(40, 30, 4, 16);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            in.At(x, y, 0) = uint16_t(x * 1600);
            in.At(x, y, 1) = uint16_t(y * 2000);
            in.At(x, y, 2) = 30000;
            in.At(x, y, 3) = 0;  // dropped: JPEG has no alpha
        }
    std::string error;
    ASSERT_TRUE(WritePicture(Path("g.jpg"), in, error)) << error;
    Picture out;
    ASSERT_TRUE(ReadPicture(Path("g.jpg"), out, error)) << error;
    EXPECT_EQ(out.channels, 3);
    EXPECT_EQ(out.depth, 8);
    ASSERT_EQ(out.width, 40);
    ASSERT_EQ(out.height, 30);
    for (int y = 0; y < 30; y += 7)
        for (int x = 0; x < 40; x += 9)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(out.At(x, y, c), in.At(x, y, c) / 257.0, 12.0) << x << "," << y;
}

// A JPEG whose Exif block says how to turn it: quadrants of clear colours, so the lossy
// coding cannot hide where each one went. This build's own writer makes the JPEG; the Exif
// block goes in right after its start marker, where cameras put it.
void WriteJpegWithOrientation(const std::string& path, int orientation) {
    const int w = 64, h = 32;
    Picture p(w, h, 3, 8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int q = (y >= h / 2) * 2 + (x >= w / 2);  // 0 red, 1 green, 2 blue, 3 white
            const uint16_t c[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
            for (int k = 0; k < 3; ++k) p.At(x, y, k) = c[q][k];
        }
    std::string error;
    ASSERT_TRUE(WritePicture(path, p, error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    ASSERT_GT(bytes.size(), 2u);
    // APP1 of 34 bytes: its length, then Exif with a big-endian TIFF header and IFD0 holding
    // the one Orientation entry.
    const unsigned char app1[] = {
        0xFF, 0xE1, 0, 34, 'E', 'x',  'i',  'f', 0, 0, 'M', 'M', 0, 42, 0,
        0,    0,    8, 0,  1,   0x01, 0x12, 0,   3, 0, 0,   0,   1, 0,  (unsigned char)orientation,
        0,    0,    0, 0,  0,   0};
    bytes.insert(bytes.begin() + 2, reinterpret_cast<const char*>(app1),
                 reinterpret_cast<const char*>(app1) + sizeof app1);
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

TEST_F(ImageIoTest, JpegsAreTurnedUprightByTheirExifOrientation) {
    // Which stored quadrant (0 red, 1 green, 2 blue, 3 white) is seen at the top left, top
    // right and bottom left after turning.
    const int expected[9][3] = {{0, 0, 0}, {0, 1, 2}, {1, 0, 3}, {3, 2, 1}, {2, 3, 0},
                                {0, 2, 1}, {2, 0, 3}, {3, 1, 2}, {1, 3, 0}};
    auto quadrant = [](const Picture& p, int x, int y) {
        const bool r = p.At(x, y, 0) > 128, g = p.At(x, y, 1) > 128, b = p.At(x, y, 2) > 128;
        return r && g && b ? 3 : r ? 0 : g ? 1 : b ? 2 : -1;
    };
    for (int o = 1; o <= 8; ++o) {
        const std::string name = "o" + std::to_string(o) + ".jpg";
        WriteJpegWithOrientation(Path(name), o);
        Picture p;
        std::string error;
        ASSERT_TRUE(ReadPicture(Path(name), p, error)) << error;
        const bool turned = o >= 5;
        EXPECT_EQ(p.width, turned ? 32 : 64) << o;
        EXPECT_EQ(p.height, turned ? 64 : 32) << o;
        EXPECT_EQ(quadrant(p, 4, 4), expected[o][0]) << "orientation " << o;
        EXPECT_EQ(quadrant(p, p.width - 5, 4), expected[o][1]) << "orientation " << o;
        EXPECT_EQ(quadrant(p, 4, p.height - 5), expected[o][2]) << "orientation " << o;
    }
}

TEST_F(ImageIoTest, FormatIsTakenFromTheBytesNotTheName) {
    std::string error;
    ASSERT_TRUE(WritePicture(Path("real.png"), Noise(5, 5, 3, 8, 1), error));
    fs::rename(Path("real.png"), Path("named.tif"));
    Picture p;
    EXPECT_TRUE(ReadPicture(Path("named.tif"), p, error)) << error;
    EXPECT_EQ(p.width, 5);

    const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const unsigned char jpg[3] = {0xFF, 0xD8, 0xFF};
    const unsigned char tiffLe[4] = {'I', 'I', 42, 0}, tiffBe[4] = {'M', 'M', 0, 42};
    EXPECT_EQ(DetectFormat(png, 8), ImageFormat::Png);
    EXPECT_EQ(DetectFormat(png, 7), ImageFormat::Unknown);
    EXPECT_EQ(DetectFormat(jpg, 3), ImageFormat::Jpeg);
    EXPECT_EQ(DetectFormat(tiffLe, 4), ImageFormat::Tiff);
    EXPECT_EQ(DetectFormat(tiffBe, 4), ImageFormat::Tiff);
    EXPECT_EQ(FormatFromExtension("a/B.JPEG"), ImageFormat::Jpeg);
    EXPECT_EQ(FormatFromExtension("a.bmp"), ImageFormat::Unknown);
}

TEST_F(ImageIoTest, UnreadableFilesSayWhy) {
    std::string error;
    Picture p;
    EXPECT_FALSE(ReadPicture(Path("missing.png"), p, error));
    EXPECT_NE(error.find("no such file"), std::string::npos) << error;
    EXPECT_FALSE(ReadPicture(dir_.string(), p, error));
    EXPECT_NE(error.find("it is a folder, not a picture"), std::string::npos) << error;

    std::ofstream(Path("empty.png")).close();
    EXPECT_FALSE(ReadPicture(Path("empty.png"), p, error));
    EXPECT_NE(error.find("empty"), std::string::npos) << error;

    std::ofstream(Path("text.png")) << "not a picture at all";
    EXPECT_FALSE(ReadPicture(Path("text.png"), p, error));
    EXPECT_NE(error.find("unsupported format"), std::string::npos) << error;

    // Cut files of each format: the decoders' errors come back as messages.
    ASSERT_TRUE(WritePicture(Path("whole.png"), Noise(64, 64, 3, 8, 2), error));
    ASSERT_TRUE(WritePicture(Path("whole.jpg"), Noise(64, 64, 3, 8, 3), error));
    std::vector<std::string> names = {"whole.png", "whole.jpg"};
    if (CanWrite(ImageFormat::Tiff)) {
        ASSERT_TRUE(WritePicture(Path("whole.tif"), Noise(64, 64, 3, 8, 4), error));
        names.push_back("whole.tif");
    }
    for (const std::string& name : names) {
        const auto size = fs::file_size(Path(name));
        fs::resize_file(Path(name), size / 2);
        error.clear();
        EXPECT_FALSE(ReadPicture(Path(name), p, error)) << name;
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
}

TEST_F(ImageIoTest, FailedWritesLeaveNoFile) {
    std::string error;
    const Picture p = Noise(4, 4, 3, 8, 5);
    EXPECT_FALSE(WritePicture(Path("out.bmp"), p, error));
    EXPECT_NE(error.find("unsupported output format"), std::string::npos) << error;
    EXPECT_FALSE(WritePicture(Path("no/such/folder/out.png"), p, error));
    // The target is a folder: everything is written, the final rename fails.
    fs::create_directories(Path("taken.png/inner"));
    EXPECT_FALSE(WritePicture(Path("taken.png"), p, error));
    EXPECT_EQ(FileCount(), 1u);  // only the folder named taken.png
}

TEST_F(ImageIoTest, OversizedHeadersAreRefusedBeforeAllocation) {
    std::string error;
    // A PNG header claiming 40000 x 40000 pixels, with nothing behind it.
    const unsigned char header[] = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1A, '\n', 0,    0, 0,
                                    13,   'I',  'H', 'D', 'R',  0,    0,    0x9C, 0x40, 0, 0,
                                    0x9C, 0x40, 8,   2,   0,    0,    0,    0,    0,    0, 0};
    std::ofstream(Path("huge.png"), std::ios::binary)
        .write(reinterpret_cast<const char*>(header), sizeof header);
    Picture p;
    EXPECT_FALSE(ReadPicture(Path("huge.png"), p, error));
    EXPECT_TRUE(p.samples.empty());
}

}  // namespace
}  // namespace fw::cli
