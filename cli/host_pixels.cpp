#include "cli/host_pixels.h"

#include <algorithm>
#include <utility>

#include "host/parallel_rows.h"

namespace fw::cli {

namespace {

// Rescales every sample in place, on the cores the filter uses.
template <class Scale>
void ForEachSample(fw::platform::SampleVector& samples, const Scale& scale) {
    constexpr int kChunk = 1 << 16;
    const int chunks = int((samples.size() + kChunk - 1) / kChunk);
    ForRowRanges(chunks, kChunk * 2, [&](int first, int count) {
        const size_t from = size_t(first) * kChunk;
        const size_t to = std::min(samples.size(), size_t(first + count) * kChunk);
        for (size_t i = from; i < to; ++i) samples[i] = scale(samples[i]);
    });
}

}  // namespace

hostemu::Image ToHostImage(const Picture& picture) {
    const bool alpha = picture.HasAlpha();
    const bool grey = picture.channels <= 2;
    hostemu::Image image =
        hostemu::Image::Unfilled(picture.width, picture.height, alpha ? 4 : 3, picture.depth);
    const size_t pixels = size_t(picture.width) * size_t(picture.height);
    const uint16_t* src = picture.samples.data();
    uint16_t* dst = image.samples.data();
    const size_t in = size_t(picture.channels), out = size_t(image.planes);
    const bool wide = picture.depth == 16;
    for (size_t i = 0; i < pixels; ++i, src += in, dst += out) {
        for (size_t c = 0; c < 3; ++c) {
            const uint16_t v = src[grey ? 0 : c];
            dst[c] = wide ? FileToHost16(v) : v;
        }
        if (alpha) dst[3] = wide ? FileToHost16(src[in - 1]) : src[in - 1];
    }
    return image;
}

hostemu::Image ToHostImage(Picture&& picture) {
    if (picture.channels != 3 && picture.channels != 4) return ToHostImage(std::as_const(picture));
    hostemu::Image image(0, 0, picture.channels, picture.depth);
    image.width = picture.width;
    image.height = picture.height;
    if (picture.depth == 16)
        ForEachSample(picture.samples, [](uint16_t v) { return FileToHost16(v); });
    image.samples = std::move(picture.samples);
    picture = Picture();
    return image;
}

Picture FromHostImage(hostemu::Image&& image) {
    if (image.planes != 3 && image.planes != 4) return FromHostImage(std::as_const(image));
    Picture picture(0, 0, image.planes, image.depth);
    picture.width = image.width;
    picture.height = image.height;
    if (image.depth == 16)
        ForEachSample(image.samples,
                      [](uint16_t v) { return HostToFile16(std::min<uint16_t>(v, 32768)); });
    picture.samples = std::move(image.samples);
    image = hostemu::Image();
    return picture;
}

Picture FromHostImage(const hostemu::Image& image) {
    const int channels = image.planes >= 4 ? 4 : 3;
    Picture picture = Picture::Unfilled(image.width, image.height, channels, image.depth);
    const size_t pixels = size_t(image.width) * size_t(image.height);
    const uint16_t* src = image.samples.data();
    uint16_t* dst = picture.samples.data();
    const size_t in = size_t(image.planes), out = size_t(channels);
    const bool wide = image.depth == 16;
    for (size_t i = 0; i < pixels; ++i, src += in, dst += out)
        for (size_t c = 0; c < out; ++c)
            dst[c] = wide ? HostToFile16(std::min<uint16_t>(src[c], 32768)) : src[c];
    return picture;
}

bool SelectionFromPicture(const Picture& mask, int width, int height,
                          std::vector<uint8_t>& selection, std::string& error) {
    if (mask.width != width || mask.height != height) {
        error = "selection mask is " + std::to_string(mask.width) + " x " +
                std::to_string(mask.height) + ", the picture " + std::to_string(width) + " x " +
                std::to_string(height);
        return false;
    }
    const size_t pixels = size_t(width) * size_t(height), step = size_t(mask.channels);
    selection.resize(pixels);
    const uint16_t* at = mask.samples.data();
    // Without a branch a pixel: a noisy mask would mispredict half of them.
    if (mask.channels <= 2)
        for (size_t i = 0; i < pixels; ++i, at += step) selection[i] = at[0] != 0;
    else
        for (size_t i = 0; i < pixels; ++i, at += step) selection[i] = (at[0] | at[1] | at[2]) != 0;
    return true;
}

PixelRect SelectionBounds(const std::vector<uint8_t>& selection, int width, int height) {
    const fw::sdk::Rect r = hostemu::SelectionBounds(selection, width, height);
    return PixelRect{r.left, r.top, r.right, r.bottom};
}

}  // namespace fw::cli
