// What a picture file's header claims, checked before anything is decoded or allocated: a
// header that lies about the picture's size must fail at once, not after gigabytes and
// seconds. A file cannot hold more pixels than its format's best compression allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "cli/image_io.h"

namespace fw::cli {

struct PictureClaim {
    long long width = 0;
    long long height = 0;
    // The fewest bytes of compressed data that can hold the claimed picture, and the bytes
    // of data the file has (the whole file where the format does not say).
    uint64_t leastDataBytes = 0;
    uint64_t dataBytes = 0;
    bool truncated = false;  // the file ends inside its own structure
};

// Reads up to `size` bytes at `offset`; returns how many it read.
using ByteReader = std::function<size_t(uint64_t offset, void* out, size_t size)>;

// The claim of a PNG, JPEG or TIFF file of `fileSize` bytes. False when the header cannot be
// read at all; the decoder then says what is wrong.
bool ReadPictureClaim(ImageFormat format, const ByteReader& read, uint64_t fileSize,
                      PictureClaim& claim);

// Whether the claim is within `maxPixels` and the file can hold it; `error` says why not.
bool CheckPictureClaim(const PictureClaim& claim, uint64_t maxPixels, std::string& error);

}  // namespace fw::cli
