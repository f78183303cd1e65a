#include "cli/image_io.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

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

TEST_F(ImageIoTest, PngAndTiffKeepEveryLayoutExactly) {
    for (const char* ext : {".png", ".tif"})
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

// Layouts other programs write: tiles (cut at the picture's edge) and separate planes.
void WriteTiffLayout(const std::string& path, const Picture& p, bool tiled, bool planar) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(p.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(p.height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(p.channels));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(p.depth));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 p.channels <= 2 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    if (p.HasAlpha()) {
        const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    }
    const int perPixel = planar ? 1 : p.channels;
    const size_t bytes = p.depth / 8;
    auto put = [&](std::vector<unsigned char>& buf, size_t i, uint16_t v) {
        if (bytes == 2)
            std::memcpy(&buf[i * 2], &v, 2);
        else
            buf[i] = static_cast<unsigned char>(v);
    };
    for (int plane = 0; plane < (planar ? p.channels : 1); ++plane) {
        if (tiled) {
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16u);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, 16u);
            std::vector<unsigned char> tile(16 * 16 * size_t(perPixel) * bytes);
            for (int ty = 0; ty < p.height; ty += 16)
                for (int tx = 0; tx < p.width; tx += 16) {
                    for (int y = 0; y < 16; ++y)
                        for (int x = 0; x < 16; ++x)
                            for (int c = 0; c < perPixel; ++c)
                                put(tile,
                                    (size_t(y) * 16 + size_t(x)) * size_t(perPixel) + size_t(c),
                                    tx + x < p.width && ty + y < p.height
                                        ? p.At(tx + x, ty + y, planar ? plane : c)
                                        : 0);
                    ASSERT_GE(TIFFWriteTile(tif, tile.data(), uint32_t(tx), uint32_t(ty), 0,
                                            uint16_t(plane)),
                              0);
                }
        } else {
            std::vector<unsigned char> row(size_t(p.width) * size_t(perPixel) * bytes);
            for (int y = 0; y < p.height; ++y) {
                for (int x = 0; x < p.width; ++x)
                    for (int c = 0; c < perPixel; ++c)
                        put(row, size_t(x) * size_t(perPixel) + size_t(c),
                            p.At(x, y, planar ? plane : c));
                ASSERT_GE(TIFFWriteScanline(tif, row.data(), uint32_t(y), uint16_t(plane)), 0);
            }
        }
    }
    TIFFClose(tif);
}

TEST_F(ImageIoTest, TiledAndPlanarTiffsAreReadExactly) {
    for (bool tiled : {false, true})
        for (bool planar : {false, true})
            for (int depth : {8, 16}) {
                if (!tiled && !planar) continue;  // our own writer's layout, tested above
                const Picture in = Noise(37, 23, 4, depth, unsigned(depth + tiled * 2 + planar));
                const std::string name = std::string(tiled ? "tiled" : "strips") +
                                         (planar ? "_planar" : "") + std::to_string(depth) + ".tif";
                WriteTiffLayout(Path(name), in, tiled, planar);
                Picture out;
                std::string error;
                ASSERT_TRUE(ReadPicture(Path(name), out, error)) << name << ": " << error;
                EXPECT_EQ(out.channels, 4) << name;
                EXPECT_EQ(out.depth, depth) << name;
                EXPECT_EQ(out.samples, in.samples) << name;
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
// coding cannot hide where each one went.
void WriteJpegWithOrientation(const std::string& path, int orientation) {
    const int w = 64, h = 32;
    std::vector<unsigned char> rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int q = (y >= h / 2) * 2 + (x >= w / 2);  // 0 red, 1 green, 2 blue, 3 white
            const unsigned char c[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
            std::memcpy(&rgb[(size_t(y) * w + x) * 3], c[q], 3);
        }
    // Exif: TIFF header (big-endian), IFD0 with the one Orientation entry.
    const unsigned char exif[] = {
        'E', 'x', 'i', 'f',  0,    0, 'M', 'M', 0, 42, 0, 0, 0,
        8,   0,   1,   0x01, 0x12, 0, 3,   0,   0, 0,  1, 0, (unsigned char)orientation,
        0,   0,   0,   0,    0,    0};
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    jpeg_write_marker(&c, JPEG_APP0 + 1, exif, sizeof exif);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = &rgb[size_t(c.next_scanline) * w * 3];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
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
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;

    std::ofstream(Path("empty.png")).close();
    EXPECT_FALSE(ReadPicture(Path("empty.png"), p, error));
    EXPECT_NE(error.find("empty"), std::string::npos) << error;

    std::ofstream(Path("text.png")) << "not a picture at all";
    EXPECT_FALSE(ReadPicture(Path("text.png"), p, error));
    EXPECT_NE(error.find("unsupported format"), std::string::npos) << error;

    // Cut files of each format: the decoders' errors come back as messages.
    ASSERT_TRUE(WritePicture(Path("whole.png"), Noise(64, 64, 3, 8, 2), error));
    ASSERT_TRUE(WritePicture(Path("whole.jpg"), Noise(64, 64, 3, 8, 3), error));
    ASSERT_TRUE(WritePicture(Path("whole.tif"), Noise(64, 64, 3, 8, 4), error));
    for (const char* name : {"whole.png", "whole.jpg", "whole.tif"}) {
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
