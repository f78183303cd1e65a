// TIFF layouts other programs write, read through libtiff (the build with system codecs).
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "cli/image_io.h"

namespace fw::cli {
namespace {

namespace fs = std::filesystem;

Picture Noise(int w, int h, int channels, int depth, unsigned seed) {
    Picture p(w, h, channels, depth);
    std::mt19937 rng(seed);
    for (uint16_t& s : p.samples) s = uint16_t(rng() % (unsigned(p.MaxValue()) + 1));
    return p;
}

// Tiles (cut at the picture's edge) and separate planes.
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

TEST(TiffLayouts, TiledAndPlanarTiffsAreReadExactly) {
    const fs::path dir = fs::temp_directory_path() / "fw_tiff_layouts";
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto Path = [&](const std::string& name) { return (dir / name).string(); };
    for (bool tiled : {false, true})
        for (bool planar : {false, true})
            for (int depth : {8, 16}) {
                if (!tiled && !planar) continue;  // the writer's own layout: image_io_test
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
    fs::remove_all(dir);
}

}  // namespace
}  // namespace fw::cli
