// TIFF through libtiff. Strips or tiles of 8/16-bit grey or RGB, with or without an alpha
// sample, are read as they are; anything else libtiff can decode with 8 bits or fewer
// (palettes, YCbCr, CMYK, 1-bit, min-is-white) goes through its RGBA reader as 8-bit colour
// with alpha.
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/codecs.h"

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
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    const size_t rowSamples = size_t(picture.width) * size_t(n);
    std::vector<unsigned char> line(rowSamples * (picture.depth == 16 ? 2 : 1));
    for (int y = 0; y < picture.height; ++y) {
        const uint16_t* src = &picture.samples[size_t(y) * rowSamples];
        if (picture.depth == 16)
            std::memcpy(line.data(), src, line.size());
        else
            for (size_t i = 0; i < rowSamples; ++i) line[i] = static_cast<unsigned char>(src[i]);
        if (TIFFWriteScanline(tif, line.data(), uint32_t(y), 0) < 0) {
            error = TiffMessage("write failed");
            return false;
        }
    }
    if (!TIFFFlush(tif)) {
        error = TiffMessage("write failed");
        return false;
    }
    return true;
}

}  // namespace fw::cli::codec
