// Per-format readers and writers behind image_io (private to the command line).
// Each reads a whole file from `path` or writes `path` directly (image_io adds the
// temporary name and the rename).
#pragma once

#include <string>

#include "cli/picture.h"

namespace fw::cli::codec {

bool ReadPng(const std::string& path, Picture& picture, std::string& error);
bool WritePng(const std::string& path, const Picture& picture, std::string& error);
bool ReadJpeg(const std::string& path, Picture& picture, std::string& error);
bool WriteJpeg(const std::string& path, const Picture& picture, std::string& error);
bool ReadTiff(const std::string& path, Picture& picture, std::string& error);
bool WriteTiff(const std::string& path, const Picture& picture, std::string& error);
bool HaveTiff();

// Whether a decoder's header values are acceptable; sets `error` otherwise.
bool CheckDimensions(long long width, long long height, std::string& error);

}  // namespace fw::cli::codec
