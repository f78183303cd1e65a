// PNG through libpng, the fast writer's deflate through ISA-L. Everything the format allows
// is read as 8 or 16 bits a channel: palettes become RGB, low-bit grey becomes 8-bit,
// transparency chunks become alpha.
#include <isa-l/igzip_lib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "cli/codecs.h"
#include "cli/image_io.h"
#include "host/parallel_rows.h"

namespace fw::cli::codec {

namespace {

PngEffort g_effort = PngEffort::Fast;

struct PngErrorState {
    std::string message;
};

void OnPngError(png_structp png, png_const_charp msg) {
    auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
    if (state) state->message = msg;
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool LittleEndianHost() {
    const uint16_t one = 1;
    unsigned char b;
    std::memcpy(&b, &one, 1);
    return b == 1;
}

// Functions that call setjmp hold no objects with destructors, so a longjmp out of libpng
// skips nothing; buffers belong to the callers.
struct PngLayout {
    png_uint_32 width = 0, height = 0;
    int channels = 0, depth = 0;
    size_t rowBytes = 0;
};

bool ReadHeader(png_structp png, png_infop info, FILE* f, PngLayout& layout) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_read_info(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    const int colourType = png_get_color_type(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16 && LittleEndianHost()) png_set_swap(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout.width = png_get_image_width(png, info);
    layout.height = png_get_image_height(png, info);
    layout.channels = png_get_channels(png, info);
    layout.depth = png_get_bit_depth(png, info);
    layout.rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

// Row by row into the picture: 16-bit rows land in its samples as they are, 8-bit rows go
// through `row`. No second copy of the picture.
bool ReadRowsInto(png_structp png, Picture* picture, unsigned char* row) {
    if (setjmp(png_jmpbuf(png))) return false;
    const size_t n = size_t(picture->width) * size_t(picture->channels);
    for (int y = 0; y < picture->height; ++y) {
        uint16_t* samples = picture->samples.data() + size_t(y) * n;
        if (picture->depth == 16) {
            png_read_row(png, reinterpret_cast<png_bytep>(samples), nullptr);
            continue;
        }
        png_read_row(png, row, nullptr);
        for (size_t i = 0; i < n; ++i) samples[i] = row[i];
    }
    png_read_end(png, nullptr);
    return true;
}

// The fast setting's image data: every row "Up"-filtered and deflated with ISA-L's igzip at
// its level 3. On the 4000 x 3000 frost pictures of apply_bench this is 5 (16-bit) to 8
// (8-bit) times faster than zlib at level 1, for files 3 to 5 % smaller. The rows are cut into
// one run a core, as the module's conversions are (ForRowRanges); each run is deflated on its own
// thread into a piece that ends on a byte boundary (a sync flush, the last one finishes the
// stream), and the pieces joined make the one zlib stream a PNG holds, as pigz does: its Adler-32
// is combined from the runs' own.
struct DeflatedRows {
    std::vector<std::vector<unsigned char>> pieces;  // in order; zlib header and trailer included
};

// Row y of the picture as PNG bytes (big-endian samples).
void RowBytes(const Picture& picture, int y, unsigned char* out) {
    const size_t n = size_t(picture.width) * size_t(picture.channels);
    const uint16_t* samples = picture.samples.data() + size_t(y) * n;
    if (picture.depth == 16) {
        for (size_t i = 0; i < n; ++i) {
            out[2 * i] = static_cast<unsigned char>(samples[i] >> 8);
            out[2 * i + 1] = static_cast<unsigned char>(samples[i]);
        }
    } else {
        for (size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(samples[i]);
    }
}

// Deflates rows [first, last) with the Up filter into `out` (raw deflate). False when the
// compressor fails or memory runs out.
bool DeflateRun(const Picture& picture, int first, int last, bool finish,
                std::vector<unsigned char>& out, uLong& adler) {
    const size_t rowBytes =
        size_t(picture.width) * size_t(picture.channels) * size_t(picture.depth / 8);
    try {
        isal_zstream z;
        isal_deflate_init(&z);
        std::vector<uint8_t> levelBuffer(ISAL_DEF_LVL3_DEFAULT);
        z.level = 3;
        z.level_buf = levelBuffer.data();
        z.level_buf_size = uint32_t(levelBuffer.size());
        std::vector<unsigned char> previous(rowBytes, 0), current(rowBytes), filtered(rowBytes + 1);
        if (first > 0) RowBytes(picture, first - 1, previous.data());
        adler = adler32(0, nullptr, 0);
        size_t used = 0;
        constexpr size_t kGrowth = size_t(1) << 20;
        // Until the input is taken and, when flushing or ending, all of it is out.
        auto pump = [&](int flush, bool end) {
            z.flush = flush;
            z.end_of_stream = end ? 1 : 0;
            for (;;) {
                if (out.size() - used < kGrowth / 4) out.resize(out.size() + kGrowth);
                z.next_out = out.data() + used;
                z.avail_out = uint32_t(std::min<size_t>(out.size() - used, UINT32_MAX));
                const int result = isal_deflate(&z);
                used = size_t(z.next_out - out.data());
                if (result != COMP_OK) return false;
                if (z.avail_in == 0 && z.avail_out != 0 &&
                    (!end || z.internal_state.state == ZSTATE_END))
                    return true;
            }
        };
        bool ok = true;
        for (int y = first; y < last && ok; ++y) {
            RowBytes(picture, y, current.data());
            filtered[0] = 2;  // Up
            for (size_t i = 0; i < rowBytes; ++i)
                filtered[i + 1] = static_cast<unsigned char>(current[i] - previous[i]);
            previous.swap(current);
            adler = adler32(adler, filtered.data(), static_cast<uInt>(filtered.size()));
            z.next_in = filtered.data();
            z.avail_in = uint32_t(filtered.size());
            ok = pump(NO_FLUSH, false);
        }
        if (ok) ok = pump(finish ? NO_FLUSH : SYNC_FLUSH, finish);
        out.resize(used);
        return ok;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DeflatePicture(const Picture& picture, DeflatedRows& rows) {
    const size_t rowBytes =
        size_t(picture.width) * size_t(picture.channels) * size_t(picture.depth / 8) + 1;
    struct Run {
        int first = 0;
        size_t length = 0;  // filtered bytes
        std::vector<unsigned char> piece;
        uLong adler = 0;
        bool ok = false;
    };
    std::vector<Run> runs;
    runs.reserve(16);  // ForRowRanges uses at most 16 threads: no allocation on a helper
    std::mutex mutex;
    ForRowRanges(picture.height, rowBytes, [&](int first, int count) {
        Run run;
        run.first = first;
        run.length = size_t(count) * rowBytes;
        run.ok = DeflateRun(picture, first, first + count, first + count == picture.height,
                            run.piece, run.adler);
        std::lock_guard<std::mutex> lock(mutex);
        runs.push_back(std::move(run));
    });
    if (runs.empty()) return false;
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.first < b.first; });
    uLong adler = runs.front().adler;
    for (const Run& run : runs) {
        if (!run.ok) return false;
        if (&run != &runs.front())
            adler = adler32_combine(adler, run.adler, static_cast<z_off_t>(run.length));
    }
    try {
        rows.pieces.clear();
        for (Run& run : runs) rows.pieces.push_back(std::move(run.piece));
        // CMF 0x78: deflate with a 32 KB window; FLG 0x01: fastest level, check bits.
        rows.pieces.front().insert(rows.pieces.front().begin(), {0x78, 0x01});
        const unsigned char trailer[4] = {
            static_cast<unsigned char>(adler >> 24), static_cast<unsigned char>(adler >> 16),
            static_cast<unsigned char>(adler >> 8), static_cast<unsigned char>(adler)};
        rows.pieces.back().insert(rows.pieces.back().end(), trailer, trailer + 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool WriteFrom(png_structp png, png_infop info, FILE* f, const Picture* picture, unsigned char* row,
               const DeflatedRows* deflated) {
    if (setjmp(png_jmpbuf(png))) return false;
    static const int kType[5] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                 PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(picture->width), png_uint_32(picture->height),
                 picture->depth, kType[picture->channels], PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (deflated) {
        png_write_info(png, info);
        constexpr size_t kChunk = size_t(8) << 20;
        static const png_byte kIdat[5] = "IDAT";
        static const png_byte kIend[5] = "IEND";
        for (const std::vector<unsigned char>& piece : deflated->pieces)
            for (size_t at = 0; at < piece.size(); at += kChunk)
                png_write_chunk(png, kIdat, piece.data() + at, std::min(kChunk, piece.size() - at));
        png_write_chunk(png, kIend, nullptr, 0);
        return true;
    }
    png_set_compression_level(png, 9);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_write_info(png, info);
    if (picture->depth == 16 && LittleEndianHost()) png_set_swap(png);
    const size_t n = size_t(picture->width) * size_t(picture->channels);
    for (int y = 0; y < picture->height; ++y) {
        const uint16_t* samples = picture->samples.data() + size_t(y) * n;
        if (picture->depth == 16) {
            png_write_row(png, reinterpret_cast<png_const_bytep>(samples));
            continue;
        }
        for (size_t i = 0; i < n; ++i) row[i] = static_cast<unsigned char>(samples[i]);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

bool ReadPng(const std::string& path, Picture& picture, std::string& error) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        error = "cannot open";
        return false;
    }
    PngErrorState state;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        error = "out of memory";
        return false;
    }
    // Refuse absurd sizes before libpng allocates rows for them.
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    PngLayout layout;
    bool ok = ReadHeader(png, info, f.get(), layout);
    std::vector<unsigned char> bytes;
    std::vector<png_bytep> rows;
    if (ok) {
        ok = CheckDimensions(layout.width, layout.height, error);
        if (ok && (layout.channels < 1 || layout.channels > 4 ||
                   (layout.depth != 8 && layout.depth != 16))) {
            error = "unexpected PNG layout";
            ok = false;
        }
    }
    const bool interlaced = ok && png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    if (ok && interlaced) {
        // Every pass covers the whole picture: it is read whole, then copied.
        bytes.resize(layout.rowBytes * layout.height);
        rows.resize(layout.height);
        for (size_t y = 0; y < rows.size(); ++y) rows[y] = bytes.data() + y * layout.rowBytes;
        ok = ReadRows(png, rows.data());
    } else if (ok) {
        picture =
            Picture::Unfilled(int(layout.width), int(layout.height), layout.channels, layout.depth);
        bytes.resize(layout.rowBytes);
        ok = ReadRowsInto(png, &picture, bytes.data());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        picture = Picture();
        if (error.empty()) error = state.message.empty() ? "damaged PNG" : state.message;
        return false;
    }
    if (!interlaced) return true;
    picture =
        Picture::Unfilled(int(layout.width), int(layout.height), layout.channels, layout.depth);
    const size_t n = picture.samples.size();
    if (layout.depth == 16)
        std::memcpy(picture.samples.data(), bytes.data(), n * 2);
    else
        for (size_t i = 0; i < n; ++i) picture.samples[i] = bytes[i];
    return true;
}

bool WritePng(const std::string& path, const Picture& picture, std::string& error) {
    std::vector<unsigned char> row(size_t(picture.width) * size_t(picture.channels));
    DeflatedRows deflated;
    const bool fast = g_effort != PngEffort::Smallest;
    if (fast && !DeflatePicture(picture, deflated)) {
        error = "out of memory";
        return false;
    }
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    PngErrorState state;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = "out of memory";
        return false;
    }
    bool ok = WriteFrom(png, info, f.get(), &picture, row.data(), fast ? &deflated : nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(f.get()) != 0 || std::ferror(f.get())) ok = false;
    if (!ok) error = state.message.empty() ? std::string("write failed") : state.message;
    return ok;
}

}  // namespace fw::cli::codec

namespace fw::cli {

void SetPngEffort(PngEffort effort) {
    codec::g_effort = effort;
}

}  // namespace fw::cli
