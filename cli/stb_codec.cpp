// The Windows build's picture files, without libpng, libjpeg or libtiff: PNG (8/16-bit, any
// colour type) and JPEG (turned upright by its Exif orientation) read by stb_image; JPEG
// written by stb_image_write; PNG written here (stb_image_write has no 16-bit PNG) with
// stb's deflate. No TIFF.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "cli/codecs.h"
#include "cli/image_io.h"

namespace fw::cli::codec {
namespace {

// stb's deflate grows its buffers without looking at what realloc gave back, so running out
// of memory would write through a null block. Its blocks come from here instead: a failure
// throws, and every block it holds is known, so that a failed write frees them all.
std::set<void*>& StbBlocks() {
    static std::set<void*> blocks;
    return blocks;
}

void* StbRealloc(void* block, size_t bytes) {
    void* grown = std::realloc(block, bytes ? bytes : 1);
    if (!grown) throw std::bad_alloc();
    if (grown != block) {
        StbBlocks().erase(block);
        try {
            StbBlocks().insert(grown);
        } catch (...) {
            std::free(grown);
            throw;
        }
    }
    return grown;
}

void StbFree(void* block) {
    StbBlocks().erase(block);
    std::free(block);
}

// Frees what stb still held when it was interrupted.
void FreeStbBlocks() {
    for (void* block : StbBlocks()) std::free(block);
    StbBlocks().clear();
}

}  // namespace
}  // namespace fw::cli::codec

#define STBIW_MALLOC(bytes) fw::cli::codec::StbRealloc(nullptr, bytes)
#define STBIW_REALLOC(block, bytes) fw::cli::codec::StbRealloc(block, bytes)
#define STBIW_FREE(block) fw::cli::codec::StbFree(block)

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 30000
#include "stb/stb_image.h"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include "stb/stb_image_write.h"
#pragma GCC diagnostic pop

namespace fw::cli::codec {

namespace {

bool ReadAll(const std::string& path, std::vector<unsigned char>& bytes, std::string& error) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > uintmax_t(INT_MAX)) {
        error = "file too large";
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open";
        return false;
    }
    // Read into a block of the file's size: growing by doubling would hold it up to three
    // times over, which a 32-bit process cannot spare for a large picture.
    if (!ec) bytes.reserve(size_t(size));
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed || bytes.size() > size_t(INT_MAX)) {
        error = failed ? "read failed" : "file too large";
        return false;
    }
    return true;
}

// stb's reasons are terse; the one a large picture meets is said in full.
std::string FailureReason() {
    const char* why = stbi_failure_reason();
    if (!why) return "damaged file";
    if (std::strcmp(why, "outofmem") == 0) return "out of memory";
    return why;
}

// The Exif orientation of a JPEG file's bytes (1 when there is none).
int JpegOrientation(const std::vector<unsigned char>& b) {
    size_t i = 2;
    while (i + 4 <= b.size() && b[i] == 0xFF) {
        const unsigned marker = b[i + 1];
        if (marker == 0xDA || marker == 0xD9) break;  // image data follows: no more headers
        const size_t length = size_t(b[i + 2]) << 8 | b[i + 3];
        if (length < 2 || i + 2 + length > b.size()) break;
        if (marker == 0xE1) {
            const int o = ExifOrientation(&b[i + 4], length - 2);
            if (o != 1) return o;
        }
        i += 2 + length;
    }
    return 1;
}

bool Decode(const std::string& path, Picture& picture, std::string& error) {
    std::vector<unsigned char> bytes;
    if (!ReadAll(path, bytes, error)) return false;
    const int len = int(bytes.size());
    int w = 0, h = 0, comps = 0;
    if (!stbi_info_from_memory(bytes.data(), len, &w, &h, &comps)) {
        error = FailureReason();
        return false;
    }
    if (!CheckDimensions(w, h, error)) return false;
    const bool wide = stbi_is_16_bit_from_memory(bytes.data(), len) != 0;
    const bool jpeg = bytes.size() > 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
    const int orientation = jpeg ? JpegOrientation(bytes) : 1;
    struct StbFree {
        void operator()(void* p) const { stbi_image_free(p); }
    };
    std::unique_ptr<void, StbFree> pixels(
        wide ? static_cast<void*>(stbi_load_16_from_memory(bytes.data(), len, &w, &h, &comps, 0))
             : static_cast<void*>(stbi_load_from_memory(bytes.data(), len, &w, &h, &comps, 0)));
    if (!pixels) {
        error = FailureReason();
        return false;
    }
    bytes = std::vector<unsigned char>();  // decoded: the file's bytes make room for the picture
    picture = Picture::Unfilled(w, h, comps, wide ? 16 : 8);
    const size_t n = picture.samples.size();
    if (wide)
        std::memcpy(picture.samples.data(), pixels.get(), n * 2);
    else
        for (size_t i = 0; i < n; ++i)
            picture.samples[i] = static_cast<const unsigned char*>(pixels.get())[i];
    pixels.reset();
    ApplyOrientation(picture, orientation);
    return true;
}

uint32_t Crc32(const unsigned char* data, size_t n, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool PutBig32(FILE* f, uint32_t v) {
    const unsigned char b[4] = {static_cast<unsigned char>(v >> 24),
                                static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
    return std::fwrite(b, 1, 4, f) == 4;
}

// One chunk straight into the file: the picture is not held a second time as a file image.
bool PutChunk(FILE* f, const char* kind, const unsigned char* data, size_t n) {
    const auto* k = reinterpret_cast<const unsigned char*>(kind);
    return PutBig32(f, uint32_t(n)) && std::fwrite(k, 1, 4, f) == 4 &&
           (n == 0 || std::fwrite(data, 1, n, f) == n) && PutBig32(f, Crc32(data, n, Crc32(k, 4)));
}

bool Close(FilePtr file, bool written, std::string& error) {
    if (std::fclose(file.release()) != 0 || !written) {
        error = "write failed";
        return false;
    }
    return true;
}

struct JpegOutput {
    FILE* file;
    bool ok;
};

void WriteToFile(void* context, void* data, int size) {
    auto* out = static_cast<JpegOutput*>(context);
    out->ok = out->ok && std::fwrite(data, 1, size_t(size), out->file) == size_t(size);
}

// The zlib stream of `raw`, for the caller to free with std::free. Throws std::bad_alloc.
// stb's search depth: its default, or a deeper search for the smallest files.
int g_zlibQuality = 8;

unsigned char* Deflate(std::vector<unsigned char>& raw, int& length) {
    try {
        unsigned char* z = stbi_zlib_compress(raw.data(), int(raw.size()), &length, g_zlibQuality);
        StbBlocks().erase(z);  // the caller's now
        return z;
    } catch (...) {
        FreeStbBlocks();
        throw;
    }
}

}  // namespace

bool HaveTiff() {
    return false;
}

bool ReadPng(const std::string& path, Picture& picture, std::string& error) {
    return Decode(path, picture, error);
}

bool ReadJpeg(const std::string& path, Picture& picture, std::string& error) {
    return Decode(path, picture, error);
}

bool ReadTiff(const std::string&, Picture&, std::string& error) {
    error = "TIFF is not supported by this build";
    return false;
}

bool WriteTiff(const std::string&, const Picture&, std::string& error) {
    error = "TIFF is not supported by this build";
    return false;
}

bool WritePng(const std::string& path, const Picture& picture, std::string& error) {
    static const unsigned char kType[5] = {0, 0, 4, 2, 6};
    const size_t bytesPer = picture.depth == 16 ? 2 : 1;
    const size_t rowBytes = size_t(picture.width) * size_t(picture.channels) * bytesPer;
    const size_t total = (rowBytes + 1) * size_t(picture.height);
    if (total > size_t(INT_MAX)) {
        error = "picture too large for this build's PNG writer";
        return false;
    }
    // Filter type 0 rows, samples big-endian.
    std::vector<unsigned char> raw(total);
    size_t at = 0, s = 0;
    for (int y = 0; y < picture.height; ++y) {
        raw[at++] = 0;
        for (size_t i = 0; i < rowBytes / bytesPer; ++i, ++s) {
            const uint16_t v = picture.samples[s];
            if (bytesPer == 2) raw[at++] = static_cast<unsigned char>(v >> 8);
            raw[at++] = static_cast<unsigned char>(v);
        }
    }
    int zlen = 0;
    struct ZFree {
        void operator()(unsigned char* z) const { std::free(z); }
    };
    const std::unique_ptr<unsigned char, ZFree> z(Deflate(raw, zlen));
    raw = std::vector<unsigned char>();
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    unsigned char ihdr[13] = {};
    for (int i = 0; i < 4; ++i) {
        ihdr[i] = static_cast<unsigned char>(uint32_t(picture.width) >> (24 - 8 * i));
        ihdr[4 + i] = static_cast<unsigned char>(uint32_t(picture.height) >> (24 - 8 * i));
    }
    ihdr[8] = static_cast<unsigned char>(picture.depth);
    ihdr[9] = kType[picture.channels];
    const bool written = std::fwrite(kSignature, 1, 8, f.get()) == 8 &&
                         PutChunk(f.get(), "IHDR", ihdr, sizeof ihdr) &&
                         PutChunk(f.get(), "IDAT", z.get(), size_t(zlen)) &&
                         PutChunk(f.get(), "IEND", nullptr, 0);
    return Close(std::move(f), written, error);
}

bool WriteJpeg(const std::string& path, const Picture& picture, std::string& error) {
    const std::vector<unsigned char> rgb = Rgb8(picture);
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    JpegOutput out{f.get(), true};
    int encoded = 0;
    try {
        encoded = stbi_write_jpg_to_func(WriteToFile, &out, picture.width, picture.height, 3,
                                         rgb.data(), 92);
    } catch (...) {
        FreeStbBlocks();
        throw;
    }
    if (!encoded) {
        error = "JPEG encoding failed";
        return false;
    }
    return Close(std::move(f), out.ok, error);
}

}  // namespace fw::cli::codec

namespace fw::cli {

void SetPngEffort(PngEffort effort) {
    codec::g_zlibQuality = effort == PngEffort::Smallest ? 32 : 8;
}

}  // namespace fw::cli
