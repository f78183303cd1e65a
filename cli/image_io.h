// Reading and writing picture files. PNG (8/16-bit grey, grey + alpha, RGB, RGBA, palette),
// JPEG (8-bit) and TIFF (8/16-bit) through libpng, libjpeg-turbo and libtiff; the Windows
// build reads PNG and JPEG and writes PNG and JPEG without those libraries.
//
// Every function reports failure with false and a one-line reason in `error`; none throws.
// WritePicture never leaves a partial file behind: it writes a temporary file beside the
// target and renames it over the target only when everything was written.
#pragma once

#include <string>

#include "cli/picture.h"

namespace fw::cli {

enum class ImageFormat { Unknown, Png, Jpeg, Tiff };

// By the file's first bytes; Unknown when they match no supported format.
ImageFormat DetectFormat(const unsigned char* bytes, size_t size);
// By the name's extension (case-insensitive): .png, .jpg/.jpeg, .tif/.tiff.
ImageFormat FormatFromExtension(const std::string& path);
const char* FormatName(ImageFormat format);
// Whether this build can write `format` (the Windows build writes no TIFF).
bool CanWrite(ImageFormat format);

// Why `path` cannot be read as a picture ("no such file", "it is a folder, not a picture");
// empty when it is a regular file.
std::string InputProblem(const std::string& path);

// Pictures are refused before decoding when their header claims more than `maxPixels` or
// more than the file can hold (a truncated or lying file).
constexpr uint64_t kDefaultMaxPixels = 400'000'000;
bool ReadPicture(const std::string& path, Picture& picture, std::string& error,
                 uint64_t maxPixels = kDefaultMaxPixels);

// Writes in the format of the name's extension. PNG and TIFF keep 16 bits and alpha; JPEG
// stores 8-bit colour only (alpha dropped, 16-bit values rounded to 8 bits).
bool WritePicture(const std::string& path, const Picture& picture, std::string& error);

// How hard the PNG writer compresses, for every PNG written after the call: quickly (the
// default) or into the smallest file it can make, which takes many times longer.
enum class PngEffort { Fast, Smallest };
void SetPngEffort(PngEffort effort);

}  // namespace fw::cli
