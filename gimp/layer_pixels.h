// A GIMP layer's pixels to the tool's picture and back: RGB or RGBA in the layer's colour
// space with its gamma, 8 bits when the image is 8-bit gamma integer, 16 bits for every
// other precision (GIMP converts on the way in and out). The result goes through the shadow
// buffer, so GIMP keeps one undo step and blends it with the selection as it merges.
#pragma once

#include <libgimp/gimp.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/host_pixels.h"
#include "cli/picture.h"

namespace fw::gimp {

struct LayerPicture {
    cli::Picture picture;            // the whole layer
    std::vector<uint8_t> selection;  // the host's mask over the layer; empty: no selection
    cli::PixelRect box;              // where the filter works, in layer pixels
};

// False with a message for the user when the layer cannot be filtered (not RGB, too large,
// the selection leaves none of it).
bool ReadLayer(gint32 image, gint32 drawable, LayerPicture& layer, std::string& error);

// The host's mask (1 = selected) over the layer pixels of `area`; empty when the image has no
// selection.
std::vector<uint8_t> SelectionOver(gint32 image, gint32 drawable, const cli::PixelRect& area);

// Writes `result` (the whole layer's size) within `box` through the shadow buffer, merges it
// as one undo step and updates the view.
void WriteLayer(gint32 drawable, const cli::Picture& result, const cli::PixelRect& box);

}  // namespace fw::gimp
