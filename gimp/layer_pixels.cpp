#include "gimp/layer_pixels.h"

#include <gegl.h>

#include "gimp/plugin_settings.h"

namespace fw::gimp {

namespace {

const Babl* PixelFormat(gint32 drawable, int channels, int depth) {
    const char* name = channels == 4 ? (depth == 16 ? "R'G'B'A u16" : "R'G'B'A u8")
                                     : (depth == 16 ? "R'G'B' u16" : "R'G'B' u8");
    // The layer's own colour space: its values go through unconverted.
    return babl_format_with_space(name, gimp_drawable_get_format(drawable));
}

}  // namespace

std::vector<uint8_t> SelectionOver(gint32 image, gint32 drawable, const cli::PixelRect& area) {
    if (gimp_selection_is_empty(image)) return {};
    gint ox = 0, oy = 0;
    gimp_drawable_offsets(drawable, &ox, &oy);
    std::vector<float> amounts(size_t(area.Width()) * size_t(area.Height()));
    GeglBuffer* buffer = gimp_drawable_get_buffer(gimp_image_get_selection(image));
    const GeglRectangle rect = {ox + area.left, oy + area.top, area.Width(), area.Height()};
    gegl_buffer_get(buffer, &rect, 1.0, babl_format("Y float"), amounts.data(), GEGL_AUTO_ROWSTRIDE,
                    GEGL_ABYSS_NONE);
    g_object_unref(buffer);
    return HostSelection(amounts);
}

bool ReadLayer(gint32 image, gint32 drawable, LayerPicture& layer, std::string& error) {
    if (!gimp_drawable_is_rgb(drawable)) {
        error = "Frostweave works on RGB layers: convert the image with Image > Mode > RGB";
        return false;
    }
    const int width = gimp_drawable_width(drawable), height = gimp_drawable_height(drawable);
    if (width > cli::kMaxPictureSide || height > cli::kMaxPictureSide ||
        uint64_t(width) * uint64_t(height) > cli::kMaxPicturePixels) {
        error = "the layer is too large for Frostweave (at most " +
                std::to_string(cli::kMaxPictureSide) + " pixels a side)";
        return false;
    }
    gint x = 0, y = 0, w = 0, h = 0;
    if (!gimp_drawable_mask_intersect(drawable, &x, &y, &w, &h) || w <= 0 || h <= 0) {
        error = "the selection covers none of the layer";
        return false;
    }
    const int channels = gimp_drawable_has_alpha(drawable) ? 4 : 3;
    const int depth = gimp_image_get_precision(image) == GIMP_PRECISION_U8_GAMMA ? 8 : 16;
    layer.picture = cli::Picture(width, height, channels, depth);
    layer.box = cli::PixelRect{x, y, x + w, y + h};

    GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
    const GeglRectangle rect = {0, 0, width, height};
    const Babl* format = PixelFormat(drawable, channels, depth);
    if (depth == 16) {
        gegl_buffer_get(buffer, &rect, 1.0, format, layer.picture.samples.data(),
                        GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    } else {
        std::vector<uint8_t> bytes(layer.picture.samples.size());
        gegl_buffer_get(buffer, &rect, 1.0, format, bytes.data(), GEGL_AUTO_ROWSTRIDE,
                        GEGL_ABYSS_NONE);
        std::copy(bytes.begin(), bytes.end(), layer.picture.samples.begin());
    }
    g_object_unref(buffer);

    layer.selection = SelectionOver(image, drawable, cli::PixelRect{0, 0, width, height});
    return true;
}

void WriteLayer(gint32 drawable, const cli::Picture& result, const cli::PixelRect& box) {
    GeglBuffer* shadow = gimp_drawable_get_shadow_buffer(drawable);
    const Babl* format = PixelFormat(drawable, result.channels, result.depth);
    const int n = result.channels;
    const GeglRectangle rect = {box.left, box.top, box.Width(), box.Height()};
    if (result.depth == 16) {
        gegl_buffer_set(shadow, &rect, 0, format,
                        &result.samples[result.Index(box.left, box.top, 0)], result.width * n * 2);
    } else {
        std::vector<uint8_t> bytes(size_t(box.Width()) * box.Height() * n);
        for (int y = 0; y < box.Height(); ++y) {
            const uint16_t* row = &result.samples[result.Index(box.left, box.top + y, 0)];
            std::copy(row, row + size_t(box.Width()) * n,
                      bytes.begin() + size_t(y) * box.Width() * n);
        }
        gegl_buffer_set(shadow, &rect, 0, format, bytes.data(), GEGL_AUTO_ROWSTRIDE);
    }
    gegl_buffer_flush(shadow);
    g_object_unref(shadow);
    gimp_drawable_merge_shadow(drawable, TRUE);
    gimp_drawable_update(drawable, box.left, box.top, box.Width(), box.Height());
}

}  // namespace fw::gimp
