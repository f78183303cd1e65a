// A decoded picture as the command line reads and writes it: interleaved channels in the
// file's own scale (0..255 or 0..65535), before any conversion to the host's scale.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/large_pages.h"

namespace fw::cli {

struct Picture {
    int width = 0;
    int height = 0;
    int channels = 3;                    // 1 grey, 2 grey + alpha, 3 RGB, 4 RGB + alpha
    int depth = 8;                       // 8 or 16 bits a channel
    fw::platform::SampleVector samples;  // width * height * channels

    Picture() = default;
    Picture(int w, int h, int channels_, int depth_)
        : width(w),
          height(h),
          channels(channels_),
          depth(depth_),
          samples(size_t(w) * size_t(h) * size_t(channels_), 0) {}
    // Samples left unset, for a reader or a conversion that writes every one of them.
    static Picture Unfilled(int w, int h, int channels, int depth) {
        Picture picture(0, 0, channels, depth);
        picture.width = w;
        picture.height = h;
        picture.samples.resize(size_t(w) * size_t(h) * size_t(channels));
        return picture;
    }

    bool HasAlpha() const { return channels == 2 || channels == 4; }
    int MaxValue() const { return depth == 16 ? 65535 : 255; }
    size_t Index(int x, int y, int c) const {
        return (size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c);
    }
    uint16_t At(int x, int y, int c) const { return samples[Index(x, y, c)]; }
    uint16_t& At(int x, int y, int c) { return samples[Index(x, y, c)]; }
};

// Refuses pictures whose sample count would not fit the host's 16-bit coordinates or
// a sane amount of memory; checked before anything is allocated.
constexpr int kMaxPictureSide = 30000;
constexpr uint64_t kMaxPicturePixels = 400'000'000;

}  // namespace fw::cli
