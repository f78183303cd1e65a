// TIFF through libtiff. Strips or tiles of 8/16-bit grey or RGB, with or without an alpha
// sample, are read as they are; anything else libtiff can decode with 8 bits or fewer
// (palettes, YCbCr, CMYK, 1-bit, min-is-white) goes through its RGBA reader as 8-bit colour
// with alpha.
#include <libdeflate.h>
#include <tiffio.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "cli/codecs.h"
#include "host/parallel_rows.h"

namespace fw::cli::codec {

namespace {

thread_local std::string g_tiffMessage;

void OnTiffError(const char*, const char* fmt, va_list args) {
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, args);
    g_tiffMessage = buf;
}

void OnTiffWarning(const char*, const char*, va_list) {}

void InstallHandlers() {
    TIFFSetErrorHandler(OnTiffError);
    TIFFSetWarningHandler(OnTiffWarning);
    g_tiffMessage.clear();
}

std::string TiffMessage(const char* fallback) {
    return g_tiffMessage.empty() ? fallback : g_tiffMessage;
}

struct TiffCloser {
    TIFF* tif;
    ~TiffCloser() {
        if (tif) TIFFClose(tif);
    }
};

bool ReadStrips(TIFF* tif, int width, int height, int spp, int bits, bool planar, Picture& picture,
                std::string& error) {
    const tmsize_t lineBytes = TIFFScanlineSize(tif);
    std::vector<unsigned char> line(size_t(lineBytes > 0 ? lineBytes : 1));
    const int planesToRead = planar ? spp : 1;
    for (int plane = 0; plane < planesToRead; ++plane)
        for (int y = 0; y < height; ++y) {
            if (TIFFReadScanline(tif, line.data(), uint32_t(y), uint16_t(plane)) < 0) {
                error = TiffMessage("damaged TIFF");
                return false;
            }
            const int perPixel = planar ? 1 : spp;
            for (int x = 0; x < width; ++x)
                for (int s = 0; s < perPixel; ++s) {
                    const size_t i = size_t(x) * size_t(perPixel) + size_t(s);
                    uint16_t v;
                    if (bits == 16)
                        std::memcpy(&v, &line[i * 2], 2);  // libtiff swaps to host order
                    else
                        v = line[i];
                    picture.At(x, y, planar ? plane : s) = v;
                }
        }
    return true;
}

bool ReadTiles(TIFF* tif, int width, int height, int spp, int bits, bool planar, Picture& picture,
               std::string& error) {
    uint32_t tw = 0, th = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
    const tmsize_t tileBytes = TIFFTileSize(tif);
    if (tw == 0 || th == 0 || tileBytes <= 0) {
        error = "damaged TIFF tiles";
        return false;
    }
    std::vector<unsigned char> tile(static_cast<size_t>(tileBytes));
    const int perPixel = planar ? 1 : spp;
    const size_t bytes = bits == 16 ? 2 : 1;
    // Samples a short tile cannot give are skipped below: they stay black, not unset.
    if (uint64_t(tw) * th * uint64_t(perPixel) * bytes > tile.size())
        std::fill(picture.samples.begin(), picture.samples.end(), uint16_t(0));
    for (int plane = 0; plane < (planar ? spp : 1); ++plane)
        for (uint32_t ty = 0; ty < uint32_t(height); ty += th)
            for (uint32_t tx = 0; tx < uint32_t(width); tx += tw) {
                if (TIFFReadTile(tif, tile.data(), tx, ty, 0, uint16_t(plane)) < 0) {
                    error = TiffMessage("damaged TIFF");
                    return false;
                }
                for (uint32_t y = 0; y < th && ty + y < uint32_t(height); ++y)
                    for (uint32_t x = 0; x < tw && tx + x < uint32_t(width); ++x)
                        for (int s = 0; s < perPixel; ++s) {
                            const size_t i = (size_t(y) * tw + x) * size_t(perPixel) + size_t(s);
                            if ((i + 1) * bytes > tile.size()) continue;
                            uint16_t v;
                            if (bits == 16)
                                std::memcpy(&v, &tile[i * 2], 2);
                            else
                                v = tile[i];
                            picture.At(int(tx + x), int(ty + y), planar ? plane : s) = v;
                        }
            }
    return true;
}

bool ReadThroughRgba(TIFF* tif, int width, int height, Picture& picture, std::string& error) {
    std::vector<uint32_t> raster(size_t(width) * size_t(height));
    if (!TIFFReadRGBAImageOriented(tif, uint32_t(width), uint32_t(height), raster.data(),
                                   ORIENTATION_TOPLEFT, 0)) {
        error = TiffMessage("unsupported TIFF layout");
        return false;
    }
    picture = Picture::Unfilled(width, height, 4, 8);
    for (size_t i = 0; i < raster.size(); ++i) {
        const uint32_t p = raster[i];
        picture.samples[i * 4 + 0] = uint16_t(TIFFGetR(p));
        picture.samples[i * 4 + 1] = uint16_t(TIFFGetG(p));
        picture.samples[i * 4 + 2] = uint16_t(TIFFGetB(p));
        picture.samples[i * 4 + 3] = uint16_t(TIFFGetA(p));
    }
    return true;
}

// Row y as the file holds it (native byte order), horizontally differenced: each sample
// minus the same sample of the pixel before it, as the predictor tag says.
void PredictedRow(const Picture& picture, int y, unsigned char* out) {
    const size_t n = size_t(picture.width) * size_t(picture.channels);
    const size_t step = size_t(picture.channels);
    const uint16_t* src = picture.samples.data() + size_t(y) * n;
    if (picture.depth == 16) {
        for (size_t i = 0; i < n; ++i) {
            const uint16_t v = uint16_t(src[i] - (i >= step ? src[i - step] : 0));
            std::memcpy(out + 2 * i, &v, 2);
        }
    } else {
        for (size_t i = 0; i < n; ++i)
            out[i] = static_cast<unsigned char>(src[i] - (i >= step ? src[i - step] : 0));
    }
}

// The strips deflated (zlib streams at libdeflate's level 3, what libtiff makes of the
// quality 3 it is given) on every core a batch at a time, and written raw in order: libtiff
// itself compresses one strip after the other on one core.
bool WriteStrips(TIFF* tif, const Picture& picture, int rowsPerStrip) {
    const size_t rowBytes =
        size_t(picture.width) * size_t(picture.channels) * size_t(picture.depth / 8);
    const int strips = (picture.height + rowsPerStrip - 1) / rowsPerStrip;
    if (strips <= 0) return true;
    const size_t stripBytes = rowBytes * size_t(rowsPerStrip);
    constexpr size_t kBatchBytes = size_t(8) << 20;  // raw bytes deflated between writes
    const int batch = int(std::clamp<size_t>(kBatchBytes / stripBytes, 1, size_t(strips)));
    std::vector<std::vector<unsigned char>> packed(static_cast<size_t>(batch));
    for (int first = 0; first < strips; first += batch) {
        const int count = std::min(batch, strips - first);
        std::atomic<bool> failed{false};
        ForRowRanges(count, stripBytes, [&](int from, int n) {
            libdeflate_compressor* z = libdeflate_alloc_compressor(3);
            try {
                std::vector<unsigned char> raw(z ? stripBytes : 0);
                for (int k = from; k < from + n && z; ++k) {
                    const int top = (first + k) * rowsPerStrip;
                    const int rows = std::min(rowsPerStrip, picture.height - top);
                    for (int r = 0; r < rows; ++r)
                        PredictedRow(picture, top + r, raw.data() + size_t(r) * rowBytes);
                    const size_t used = size_t(rows) * rowBytes;
                    std::vector<unsigned char>& out = packed[size_t(k)];
                    out.resize(libdeflate_zlib_compress_bound(z, used));
                    out.resize(
                        libdeflate_zlib_compress(z, raw.data(), used, out.data(), out.size()));
                }
            } catch (const std::bad_alloc&) {
                failed = true;
            }
            if (!z) failed = true;
            libdeflate_free_compressor(z);
        });
        if (failed) return false;
        for (int k = 0; k < count; ++k) {
            std::vector<unsigned char>& out = packed[size_t(k)];
            if (out.empty() ||
                TIFFWriteRawStrip(tif, uint32_t(first + k), out.data(), tmsize_t(out.size())) < 0)
                return false;
            out.clear();
        }
    }
    return true;
}

}  // namespace

bool HaveTiff() {
    return true;
}

bool ReadTiff(const std::string& path, Picture& picture, std::string& error) {
    InstallHandlers();
    TiffCloser file{TIFFOpen(path.c_str(), "r")};
    if (!file.tif) {
        error = TiffMessage("not a readable TIFF");
        return false;
    }
    TIFF* tif = file.tif;
    uint32_t w = 0, h = 0;
    uint16_t spp = 1, bits = 1, photometric = 0, planarConfig = PLANARCONFIG_CONTIG;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planarConfig);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) photometric = 0xFFFF;
    if (!CheckDimensions(w, h, error)) return false;

    const bool grey = photometric == PHOTOMETRIC_MINISBLACK && (spp == 1 || spp == 2);
    const bool rgb = photometric == PHOTOMETRIC_RGB && (spp == 3 || spp == 4);
    const bool direct =
        (grey || rgb) && (bits == 8 || bits == 16) && sampleFormat == SAMPLEFORMAT_UINT;
    if (!direct) {
        if (bits == 16 || sampleFormat != SAMPLEFORMAT_UINT) {
            error = "this TIFF layout is only readable with 8 bits a sample";
            return false;
        }
        return ReadThroughRgba(tif, int(w), int(h), picture, error);
    }
    picture = Picture::Unfilled(int(w), int(h), spp, bits);
    const bool planar = planarConfig == PLANARCONFIG_SEPARATE;
    return TIFFIsTiled(tif) ? ReadTiles(tif, int(w), int(h), spp, bits, planar, picture, error)
                            : ReadStrips(tif, int(w), int(h), spp, bits, planar, picture, error);
}

bool WriteTiff(const std::string& path, const Picture& picture, std::string& error) {
    InstallHandlers();
    TiffCloser file{TIFFOpen(path.c_str(), "w")};
    if (!file.tif) {
        error = TiffMessage("cannot create file");
        return false;
    }
    TIFF* tif = file.tif;
    const int n = picture.channels;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(picture.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(picture.height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(n));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(picture.depth));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, n <= 2 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ZIPQUALITY, 3);  // as for PNG: far faster, slightly larger
    if (picture.HasAlpha()) {
        const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    }
    const uint32_t rowsPerStrip = TIFFDefaultStripSize(tif, 0);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (!WriteStrips(tif, picture, int(rowsPerStrip))) {
        error = TiffMessage("write failed");
        return false;
    }
    if (!TIFFFlush(tif)) {
        error = TiffMessage("write failed");
        return false;
    }
    return true;
}

}  // namespace fw::cli::codec
