#include "cli/image_io.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

#include "cli/codecs.h"
#include "cli/output_file.h"
#include "cli/picture_claims.h"

namespace fw::cli {

namespace fs = std::filesystem;

ImageFormat DetectFormat(const unsigned char* b, size_t n) {
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n >= 8 && std::memcmp(b, kPng, 8) == 0) return ImageFormat::Png;
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return ImageFormat::Jpeg;
    if (n >= 4 && ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
                   (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42)))
        return ImageFormat::Tiff;
    return ImageFormat::Unknown;
}

ImageFormat FormatFromExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".png") return ImageFormat::Png;
    if (ext == ".jpg" || ext == ".jpeg") return ImageFormat::Jpeg;
    if (ext == ".tif" || ext == ".tiff") return ImageFormat::Tiff;
    return ImageFormat::Unknown;
}

const char* FormatName(ImageFormat format) {
    switch (format) {
        case ImageFormat::Png:
            return "PNG";
        case ImageFormat::Jpeg:
            return "JPEG";
        case ImageFormat::Tiff:
            return "TIFF";
        default:
            return "unknown";
    }
}

bool CanWrite(ImageFormat format) {
    return format == ImageFormat::Png || format == ImageFormat::Jpeg ||
           (format == ImageFormat::Tiff && codec::HaveTiff());
}

std::string InputProblem(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return "no such file";
    if (fs::is_directory(status)) return "it is a folder, not a picture";
    if (!fs::is_regular_file(status)) return "not a regular file";
    return {};
}

namespace {

bool Seek(FILE* f, uint64_t offset) {
#if defined(_WIN32)
    return _fseeki64(f, int64_t(offset), SEEK_SET) == 0;
#else
    return fseeko(f, off_t(offset), SEEK_SET) == 0;
#endif
}

// The header's claim against the limit and against what the file can hold.
bool CheckClaim(FILE* f, ImageFormat format, uint64_t fileSize, uint64_t maxPixels,
                std::string& error) {
    PictureClaim claim;
    const ByteReader read = [f](uint64_t offset, void* out, size_t size) -> size_t {
        return Seek(f, offset) ? std::fread(out, 1, size, f) : 0;
    };
    // An unreadable header is the decoder's to describe.
    return !ReadPictureClaim(format, read, fileSize, claim) ||
           CheckPictureClaim(claim, maxPixels, error);
}

}  // namespace

bool ReadPicture(const std::string& path, Picture& picture, std::string& error,
                 uint64_t maxPixels) {
    if (const std::string problem = InputProblem(path); !problem.empty()) {
        error = "cannot read '" + path + "': " + problem;
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::error_code ec;
    const uint64_t fileSize = fs::file_size(path, ec);
    unsigned char head[8] = {};
    const size_t got = std::fread(head, 1, sizeof head, f);
    const ImageFormat format = DetectFormat(head, got);
    const bool plausible =
        format == ImageFormat::Unknown || ec || CheckClaim(f, format, fileSize, maxPixels, error);
    std::fclose(f);
    bool ok = false;
    try {
        switch (plausible ? format : ImageFormat::Unknown) {
            case ImageFormat::Png:
                ok = codec::ReadPng(path, picture, error);
                break;
            case ImageFormat::Jpeg:
                ok = codec::ReadJpeg(path, picture, error);
                break;
            case ImageFormat::Tiff:
                if (!codec::HaveTiff()) {
                    error = "TIFF is not supported by this build";
                    break;
                }
                ok = codec::ReadTiff(path, picture, error);
                break;
            default:
                if (plausible)
                    error =
                        got == 0 ? "file is empty" : "unsupported format (not PNG, JPEG or TIFF)";
        }
    } catch (const std::exception&) {  // the decoded picture does not fit this process
        picture = Picture();
        ok = false;
        error = "out of memory";
    }
    if (!ok) error = "cannot read '" + path + "': " + error;
    return ok;
}

bool WritePicture(const std::string& path, const Picture& picture, std::string& error) {
    const ImageFormat format = FormatFromExtension(path);
    if (!CanWrite(format)) {
        error = "cannot write '" + path + "': unsupported output format (use .png, .jpg" +
                (codec::HaveTiff() ? ", .tif)" : ")");
        return false;
    }
    OutputFile file;
    if (!file.Create(path, error)) return false;
    const std::string temp = file.TemporaryPath();
    bool ok = false;
    try {
        switch (format) {
            case ImageFormat::Png:
                ok = codec::WritePng(temp, picture, error);
                break;
            case ImageFormat::Jpeg:
                ok = codec::WriteJpeg(temp, picture, error);
                break;
            case ImageFormat::Tiff:
                ok = codec::WriteTiff(temp, picture, error);
                break;
            default:
                break;
        }
    } catch (const std::exception&) {  // the encoder's buffers
        error = "out of memory";
    }
    if (!ok) {
        error = "cannot write '" + path + "': " + WriteFailureReason(temp, error);
        return false;  // the temporary goes with `file`
    }
    return file.Commit(error);
}

namespace codec {

int ExifOrientation(const unsigned char* exif, size_t size) {
    if (size < 14 || std::memcmp(exif, "Exif\0\0", 6) != 0) return 1;
    const unsigned char* t = exif + 6;  // the TIFF header
    const size_t n = size - 6;
    const bool little = t[0] == 'I' && t[1] == 'I';
    if (!little && !(t[0] == 'M' && t[1] == 'M')) return 1;
    auto u16 = [&](size_t at) -> unsigned {
        return at + 2 > n ? 0u
               : little   ? unsigned(t[at] | t[at + 1] << 8)
                          : unsigned(t[at] << 8 | t[at + 1]);
    };
    auto u32 = [&](size_t at) -> size_t {
        return at + 4 > n ? n
               : little   ? size_t(u16(at)) | size_t(u16(at + 2)) << 16
                          : size_t(u16(at)) << 16 | size_t(u16(at + 2));
    };
    const size_t ifd = u32(4);
    const unsigned entries = u16(ifd);
    for (unsigned i = 0; i < entries; ++i) {
        const size_t e = ifd + 2 + size_t(i) * 12;
        if (e + 12 > n) break;
        if (u16(e) == 0x0112) {  // Orientation, a SHORT held in the value field
            const unsigned v = u16(e + 8);
            return v >= 1 && v <= 8 ? int(v) : 1;
        }
    }
    return 1;
}

void ApplyOrientation(Picture& picture, int orientation) {
    if (orientation <= 1 || orientation > 8) return;
    const int w = picture.width, h = picture.height;
    const bool swap = orientation >= 5;
    Picture out = Picture::Unfilled(swap ? h : w, swap ? w : h, picture.channels, picture.depth);
    for (int dy = 0; dy < out.height; ++dy)
        for (int dx = 0; dx < out.width; ++dx) {
            int sx = dx, sy = dy;
            switch (orientation) {
                case 2:
                    sx = w - 1 - dx;
                    break;
                case 3:
                    sx = w - 1 - dx;
                    sy = h - 1 - dy;
                    break;
                case 4:
                    sy = h - 1 - dy;
                    break;
                case 5:
                    sx = dy;
                    sy = dx;
                    break;
                case 6:
                    sx = dy;
                    sy = h - 1 - dx;
                    break;
                case 7:
                    sx = w - 1 - dy;
                    sy = h - 1 - dx;
                    break;
                case 8:
                    sx = w - 1 - dy;
                    sy = dx;
                    break;
            }
            for (int c = 0; c < picture.channels; ++c) out.At(dx, dy, c) = picture.At(sx, sy, c);
        }
    picture = std::move(out);
}

std::vector<unsigned char> Rgb8(const Picture& picture) {
    std::vector<unsigned char> rgb(size_t(picture.width) * size_t(picture.height) * 3);
    const bool grey = picture.channels <= 2;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const unsigned v = picture.At(x, y, grey ? 0 : c);
                rgb[(size_t(y) * size_t(picture.width) + size_t(x)) * 3 + size_t(c)] =
                    static_cast<unsigned char>(picture.depth == 16 ? (v * 255 + 32767) / 65535 : v);
            }
    return rgb;
}

bool CheckDimensions(long long width, long long height, std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "picture has no pixels";
        return false;
    }
    if (width > kMaxPictureSide || height > kMaxPictureSide ||
        uint64_t(width) * uint64_t(height) > kMaxPicturePixels) {
        error = "picture of " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels is larger than supported (" + std::to_string(kMaxPictureSide) +
                " pixels a side, " + std::to_string(kMaxPicturePixels / 1000000) + " megapixels)";
        return false;
    }
    return true;
}

}  // namespace codec

}  // namespace fw::cli
