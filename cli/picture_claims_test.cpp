#include "cli/picture_claims.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace fw::cli {
namespace {

using Bytes = std::string;

void Big32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b += char(v >> s);
}
void Little16(Bytes& b, unsigned v) {
    b += char(v);
    b += char(v >> 8);
}
void Little32(Bytes& b, uint32_t v) {
    Little16(b, v & 0xFFFF);
    Little16(b, v >> 16);
}

void Chunk(Bytes& png, const char* type, const Bytes& data) {
    Big32(png, uint32_t(data.size()));
    png += type;
    png += data;
    Big32(png, 0);  // the checksum is the decoder's business
}

Bytes Png(uint32_t w, uint32_t h, int depth, int colourType, size_t compressed, bool end = true) {
    Bytes png("\x89PNG\r\n\x1A\n", 8), ihdr;
    Big32(ihdr, w);
    Big32(ihdr, h);
    ihdr += char(depth);
    ihdr += char(colourType);
    ihdr += Bytes(3, '\0');
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", Bytes(compressed, 'x'));
    if (end) Chunk(png, "IEND", "");
    return png;
}

Bytes Jpeg(unsigned frameMarker, unsigned w, unsigned h, size_t data) {
    Bytes jpeg("\xFF\xD8\xFF\xE0\x00\x04xx", 8);  // an APP0 segment before the frame
    jpeg += char(0xFF);
    jpeg += char(frameMarker);
    jpeg += Bytes("\x00\x0B\x08", 3);
    jpeg += char(h >> 8);
    jpeg += char(h);
    jpeg += char(w >> 8);
    jpeg += char(w);
    jpeg += Bytes("\x01\x01\x11\x00", 4);
    jpeg += Bytes("\xFF\xDA", 2) + Bytes(data, 'x') + Bytes("\xFF\xD9", 2);
    return jpeg;
}

Bytes Tiff(uint32_t w, uint32_t h, unsigned compression, size_t data) {
    Bytes tiff("II*\0", 4);
    Little32(tiff, 8);
    const unsigned tags[][2] = {{256, w}, {257, h}, {258, 8}, {259, compression}, {277, 3}};
    Little16(tiff, 5);
    for (const auto& [tag, value] : tags) {
        Little16(tiff, tag);
        Little16(tiff, 4);  // LONG
        Little32(tiff, 1);
        Little32(tiff, value);
    }
    Little32(tiff, 0);
    return tiff + Bytes(data, 'x');
}

bool Check(const Bytes& file, ImageFormat format, std::string& error,
           uint64_t maxPixels = kDefaultMaxPixels) {
    const ByteReader read = [&file](uint64_t at, void* out, size_t n) -> size_t {
        if (at >= file.size()) return 0;
        n = std::min<size_t>(n, file.size() - at);
        std::memcpy(out, file.data() + at, n);
        return n;
    };
    PictureClaim claim;
    error.clear();
    return !ReadPictureClaim(format, read, file.size(), claim) ||
           CheckPictureClaim(claim, maxPixels, error);
}

TEST(PictureClaims, HeadersThatLieAboutTheSizeAreRefused) {
    struct Case {
        const char* name;
        Bytes file;
        ImageFormat format;
        const char* message;  // nullptr: accepted
    } cases[] = {
        // 20000 x 20000 RGBA 16 bits in 69 bytes, and the same with deflate's best.
        {"png lie", Png(20000, 20000, 16, 6, 4), ImageFormat::Png, "too little data"},
        {"png possible", Png(20000, 20000, 16, 6, 3'200'020'000 / 1032 + 1), ImageFormat::Png,
         nullptr},
        {"png cut", Png(64, 64, 8, 2, 100, false), ImageFormat::Png, "truncated"},
        {"png over the limit", Png(30000, 30000, 8, 0, 1'000'000), ImageFormat::Png,
         "900 megapixels"},
        {"jpeg lie", Jpeg(0xC0, 20000, 20000, 64), ImageFormat::Jpeg, "too little data"},
        {"jpeg progressive lie", Jpeg(0xC2, 20000, 20000, 600'000), ImageFormat::Jpeg,
         "too little data"},
        {"jpeg a bit a block", Jpeg(0xC2, 20000, 20000, 800'000), ImageFormat::Jpeg, nullptr},
        {"jpeg arithmetic", Jpeg(0xC9, 20000, 20000, 20'000), ImageFormat::Jpeg, nullptr},
        {"tiff uncompressed short", Tiff(1000, 1000, 1, 2'999'000), ImageFormat::Tiff,
         "too little data"},
        {"tiff uncompressed whole", Tiff(1000, 1000, 1, 3'000'000), ImageFormat::Tiff, nullptr},
        {"tiff lzw", Tiff(1000, 1000, 5, 1000), ImageFormat::Tiff, nullptr},
        {"tiff lzw lie", Tiff(20000, 20000, 5, 1000), ImageFormat::Tiff, "too little data"},
        {"tiff packbits lie", Tiff(1000, 1000, 32773, 1000), ImageFormat::Tiff, "too little data"},
    };
    for (const Case& c : cases) {
        std::string error;
        const bool ok = Check(c.file, c.format, error);
        EXPECT_EQ(ok, c.message == nullptr) << c.name << ": " << error;
        if (c.message) {
            EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
        }
    }
    std::string error;
    EXPECT_FALSE(Check(Png(1001, 1000, 8, 2, 100'000), ImageFormat::Png, error, 1'000'000));
    EXPECT_NE(
        error.find("1001 x 1000 pixels (1.001 megapixels), more than the limit of 1 megapixels"),
        std::string::npos)
        << error;
}

TEST(PictureClaims, UnreadableHeadersAreLeftToTheDecoder) {
    for (const Bytes& file :
         {Bytes("\x89PNG\r\n\x1A\n", 8), Bytes("\xFF\xD8\xFF", 3),
          Bytes("II*\0\xFF\xFF\xFF\x7F", 8), Jpeg(0xC0, 1, 1, 0).substr(0, 12)}) {
        PictureClaim claim;
        const ByteReader read = [&file](uint64_t at, void* out, size_t n) -> size_t {
            if (at >= file.size()) return 0;
            n = std::min<size_t>(n, file.size() - at);
            std::memcpy(out, file.data() + at, n);
            return n;
        };
        for (ImageFormat f : {ImageFormat::Png, ImageFormat::Jpeg, ImageFormat::Tiff})
            EXPECT_FALSE(ReadPictureClaim(f, read, file.size(), claim));
    }
}

}  // namespace
}  // namespace fw::cli
