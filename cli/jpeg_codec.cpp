// JPEG through libjpeg-turbo: 8-bit grey or colour in, turned upright by its Exif
// orientation; 8-bit colour out (written upright, without Exif).
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "cli/codecs.h"

namespace fw::cli::codec {

namespace {

constexpr int kJpegQuality = 92;

struct JpegError {
    jpeg_error_mgr base;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    info->err->format_message(info, err->message);
    longjmp(err->jump, 1);
}

// A cut file only warns, and the decoder pads the rest with grey; such a picture is
// refused rather than filtered.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) OnJpegError(info);
}

// setjmp callers hold no objects with destructors; buffers belong to the callers.
bool ReadHeader(jpeg_decompress_struct* d, JpegError* err, FILE* f) {
    if (setjmp(err->jump)) return false;
    jpeg_stdio_src(d, f);
    jpeg_save_markers(d, JPEG_APP0 + 1, 0xFFFF);  // Exif, for the orientation
    jpeg_read_header(d, TRUE);
    d->out_color_space = d->jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
    return true;
}

bool ReadBody(jpeg_decompress_struct* d, JpegError* err, unsigned char* out) {
    if (setjmp(err->jump)) return false;
    jpeg_start_decompress(d);
    const size_t stride = size_t(d->output_width) * size_t(d->output_components);
    while (d->output_scanline < d->output_height) {
        JSAMPROW row = out + stride * d->output_scanline;
        jpeg_read_scanlines(d, &row, 1);
    }
    jpeg_finish_decompress(d);
    return true;
}

bool WriteBody(jpeg_compress_struct* c, JpegError* err, FILE* f, const unsigned char* rgb,
               int width, int height) {
    if (setjmp(err->jump)) return false;
    jpeg_stdio_dest(c, f);
    c->image_width = JDIMENSION(width);
    c->image_height = JDIMENSION(height);
    c->input_components = 3;
    c->in_color_space = JCS_RGB;
    jpeg_set_defaults(c);
    jpeg_set_quality(c, kJpegQuality, TRUE);
    jpeg_start_compress(c, TRUE);
    const size_t stride = size_t(width) * 3;
    while (c->next_scanline < c->image_height) {
        JSAMPROW row = const_cast<unsigned char*>(rgb) + stride * c->next_scanline;
        jpeg_write_scanlines(c, &row, 1);
    }
    jpeg_finish_compress(c);
    return true;
}

}  // namespace

bool ReadJpeg(const std::string& path, Picture& picture, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open";
        return false;
    }
    jpeg_decompress_struct d;
    JpegError err;
    std::memset(&d, 0, sizeof d);
    d.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnJpegError;
    err.base.emit_message = OnJpegMessage;
    err.message[0] = 0;
    jpeg_create_decompress(&d);
    bool ok = ReadHeader(&d, &err, f);
    // Saved markers live in the image's memory pool, which finishing the decoder frees.
    int orientation = 1;
    for (jpeg_saved_marker_ptr m = d.marker_list; ok && m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && orientation == 1)
            orientation = ExifOrientation(m->data, m->data_length);
    std::vector<unsigned char> bytes;
    if (ok && d.jpeg_color_space != JCS_GRAYSCALE && d.jpeg_color_space != JCS_YCbCr &&
        d.jpeg_color_space != JCS_RGB) {
        std::snprintf(err.message, sizeof err.message,
                      "CMYK and other non-RGB JPEG pictures are not supported");
        ok = false;
    }
    if (ok) ok = CheckDimensions(d.image_width, d.image_height, error);
    if (ok) {
        const int comps = d.out_color_space == JCS_GRAYSCALE ? 1 : 3;
        bytes.resize(size_t(d.image_width) * d.image_height * size_t(comps));
        ok = ReadBody(&d, &err, bytes.data());
    }
    const int width = int(d.output_width), height = int(d.output_height);
    const int comps = d.output_components;
    jpeg_destroy_decompress(&d);
    std::fclose(f);
    if (!ok) {
        if (error.empty()) error = err.message[0] ? err.message : "damaged JPEG";
        return false;
    }
    picture = Picture::Unfilled(width, height, comps, 8);
    for (size_t i = 0; i < picture.samples.size(); ++i) picture.samples[i] = bytes[i];
    // Cameras store pictures sideways and say so; the picture is filtered as it is seen.
    ApplyOrientation(picture, orientation);
    return true;
}

bool WriteJpeg(const std::string& path, const Picture& picture, std::string& error) {
    const std::vector<unsigned char> rgb = Rgb8(picture);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    jpeg_compress_struct c;
    JpegError err;
    std::memset(&c, 0, sizeof c);
    c.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnJpegError;
    err.base.emit_message = OnJpegMessage;
    err.message[0] = 0;
    jpeg_create_compress(&c);
    bool ok = WriteBody(&c, &err, f, rgb.data(), picture.width, picture.height);
    jpeg_destroy_compress(&c);
    if (std::fclose(f) != 0) ok = false;
    if (!ok) error = err.message[0] ? err.message : "write failed";
    return ok;
}

}  // namespace fw::cli::codec
