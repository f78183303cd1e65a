// Pictures to the host's document and back. The host works on RGB (3 planes) or RGB with
// transparency (4 planes), 8-bit 0..255 or 16-bit on its own 0..32768 scale; files carry
// 16-bit values on 0..65535. Grey is repeated into red, green and blue.
//
// The 16-bit scalings round to nearest both ways. Every host value survives the trip to the
// file and back unchanged, so a picture filtered twice drifts by nothing; a file value comes
// back within 2 of itself (one step of the host's scale).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/picture.h"
#include "hostemu/emulated_host.h"

namespace fw::cli {

constexpr uint16_t FileToHost16(uint16_t v) {
    return uint16_t((uint32_t(v) * 32768u + 32767u) / 65535u);
}
constexpr uint16_t HostToFile16(uint16_t v) {
    return uint16_t((uint32_t(v) * 65535u + 16384u) / 32768u);
}

// The document for the host: RGB, plus transparency when the picture has alpha.
hostemu::Image ToHostImage(const Picture& picture);
// The same, taking over the picture's samples where the layouts agree (RGB and RGBA), so
// that a large picture is not held twice.
hostemu::Image ToHostImage(Picture&& picture);

// The document back as a picture of `channels` (3 or 4: grey pictures come back as colour,
// since the frost is coloured) at the document's depth.
Picture FromHostImage(const hostemu::Image& image);
// The same, taking over the document's samples.
Picture FromHostImage(hostemu::Image&& image);

// A selection mask (1 = selected) from a picture: a pixel is selected when any of its
// colour channels is non-zero. The picture must have the document's size.
bool SelectionFromPicture(const Picture& mask, int width, int height,
                          std::vector<uint8_t>& selection, std::string& error);

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// The bounding box of the selected pixels (empty when none), as a host's filter rectangle.
PixelRect SelectionBounds(const std::vector<uint8_t>& selection, int width, int height);

}  // namespace fw::cli
