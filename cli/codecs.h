// Per-format readers and writers behind image_io (private to the command line).
// Each reads a whole file from `path` or writes `path` directly (image_io adds the
// temporary name and the rename).
#pragma once

#include <string>
#include <vector>

#include "cli/picture.h"

namespace fw::cli::codec {

bool ReadPng(const std::string& path, Picture& picture, std::string& error);
bool WritePng(const std::string& path, const Picture& picture, std::string& error);
bool ReadJpeg(const std::string& path, Picture& picture, std::string& error);
bool WriteJpeg(const std::string& path, const Picture& picture, std::string& error);
bool ReadTiff(const std::string& path, Picture& picture, std::string& error);
bool WriteTiff(const std::string& path, const Picture& picture, std::string& error);
bool HaveTiff();

// The orientation (1..8) an Exif block states, 1 when it states none. `exif` is an APP1
// marker's payload, starting with "Exif\0\0".
int ExifOrientation(const unsigned char* exif, size_t size);
// Turns a picture stored in Exif orientation `orientation` upright, as viewers show it.
void ApplyOrientation(Picture& picture, int orientation);

// The picture as 8-bit RGB rows for formats that hold nothing else (JPEG): grey is
// repeated, alpha dropped, 16 bits rounded.
std::vector<unsigned char> Rgb8(const Picture& picture);

// Whether a decoder's header values are acceptable; sets `error` otherwise.
bool CheckDimensions(long long width, long long height, std::string& error);

}  // namespace fw::cli::codec
