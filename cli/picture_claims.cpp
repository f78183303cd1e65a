#include "cli/picture_claims.h"

#include <algorithm>

namespace fw::cli {

namespace {

uint32_t Big32(const unsigned char* b) {
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}
unsigned Big16(const unsigned char* b) {
    return unsigned(b[0]) << 8 | b[1];
}

uint64_t CeilDiv(uint64_t a, uint64_t b) {
    return (a + b - 1) / b;
}

// Deflate's best: a 258-byte match in about two bits, just under 1032:1.
constexpr uint64_t kDeflateRatio = 1032;

bool PngClaim(const ByteReader& read, uint64_t fileSize, PictureClaim& claim) {
    unsigned char ihdr[8 + 8 + 13];
    if (read(0, ihdr, sizeof ihdr) != sizeof ihdr || Big32(ihdr + 8) != 13 ||
        std::string_view(reinterpret_cast<const char*>(ihdr + 12), 4) != "IHDR")
        return false;
    claim.width = Big32(ihdr + 16);
    claim.height = Big32(ihdr + 20);
    const unsigned depth = ihdr[24], colourType = ihdr[25];
    const unsigned channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    uint64_t compressed = 0;
    uint64_t at = 8;
    bool ended = false;
    while (!ended) {
        unsigned char head[8];
        if (at + 12 > fileSize || read(at, head, 8) != 8) break;
        const uint64_t length = Big32(head);
        if (at + 12 + length > fileSize) break;
        if (std::string_view(reinterpret_cast<const char*>(head + 4), 4) == "IDAT")
            compressed += length;
        ended = std::string_view(reinterpret_cast<const char*>(head + 4), 4) == "IEND";
        at += 12 + length;
    }
    claim.truncated = !ended;
    // Every row starts with a filter byte; interlacing only adds to this.
    const uint64_t rowBytes = 1 + CeilDiv(uint64_t(claim.width) * channels * depth, 8);
    const uint64_t raw = uint64_t(claim.height) * rowBytes;
    claim.leastDataBytes = raw / kDeflateRatio;
    claim.dataBytes = compressed;
    return true;
}

bool JpegClaim(const ByteReader& read, uint64_t fileSize, PictureClaim& claim) {
    uint64_t at = 2;
    while (at + 4 <= fileSize) {
        unsigned char marker[4];
        if (read(at, marker, 4) != 4 || marker[0] != 0xFF) return false;
        if (marker[1] == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        const unsigned type = marker[1];
        if (type == 0x01 || (type >= 0xD0 && type <= 0xD7)) {  // no length
            at += 2;
            continue;
        }
        const unsigned length = Big16(marker + 2);
        const bool frame =
            type >= 0xC0 && type <= 0xCF && type != 0xC4 && type != 0xC8 && type != 0xCC;
        if (frame) {
            unsigned char sof[6];
            if (read(at + 4, sof, sizeof sof) != sizeof sof) return false;
            claim.height = Big16(sof + 1);
            claim.width = Big16(sof + 3);
            // Huffman coding spends at least a bit on each 8 x 8 block of the full-size
            // component; arithmetic coding far less, but not nothing.
            const bool arithmetic = type >= 0xC9;
            const uint64_t blocks =
                CeilDiv(uint64_t(claim.width), 8) * CeilDiv(uint64_t(claim.height), 8);
            claim.leastDataBytes = arithmetic ? blocks / 512 : blocks / 8;
            claim.dataBytes = fileSize;
            return true;
        }
        if (type == 0xDA || type == 0xD9) return false;  // image data before any frame
        at += 2 + length;
    }
    return false;
}

bool TiffClaim(const ByteReader& read, uint64_t fileSize, PictureClaim& claim) {
    unsigned char header[8];
    if (read(0, header, 8) != 8) return false;
    const bool little = header[0] == 'I';
    auto u16 = [little](const unsigned char* b) {
        return little ? unsigned(b[0] | b[1] << 8) : Big16(b);
    };
    auto u32 = [little](const unsigned char* b) {
        return little ? uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                            uint32_t(b[3]) << 24
                      : Big32(b);
    };
    const uint64_t directory = u32(header + 4);
    unsigned char countBytes[2];
    if (directory + 2 > fileSize || read(directory, countBytes, 2) != 2) return false;
    const unsigned entries = u16(countBytes);
    uint64_t samples = 1, bits = 1, compression = 1;
    for (unsigned i = 0; i < entries; ++i) {
        unsigned char e[12];
        if (read(directory + 2 + uint64_t(i) * 12, e, 12) != 12) return false;
        const unsigned tag = u16(e), type = u16(e + 2);
        const uint32_t count = u32(e + 4);
        // A SHORT or LONG value held in the entry; BitsPerSample's first one when it is
        // a list (the same for every sample in the pictures read here).
        uint64_t value = type == 3 ? u16(e + 8) : u32(e + 8);
        if (tag == 258 && count > 2) {
            unsigned char first[2];
            if (read(u32(e + 8), first, 2) != 2) return false;
            value = u16(first);
        }
        switch (tag) {
            case 256:
                claim.width = value;
                break;
            case 257:
                claim.height = value;
                break;
            case 258:
                bits = value;
                break;
            case 259:
                compression = value;
                break;
            case 277:
                samples = value;
                break;
        }
    }
    const uint64_t raw = uint64_t(claim.height) *
                         CeilDiv(uint64_t(claim.width) * samples * std::max<uint64_t>(bits, 1), 8);
    // The best ratio each compression reaches: PackBits 128 bytes from 2, LZW a code of at
    // least 9 bits for a string of at most 4096 bytes, deflate as in PNG, JPEG a bit a block.
    uint64_t ratio = 65536;  // any other scheme: generous, still bounded
    switch (compression) {
        case 1:
            ratio = 1;
            break;
        case 32773:
            ratio = 64;
            break;
        case 5:
            ratio = 3641;
            break;
        case 8:
        case 32946:
            ratio = kDeflateRatio;
            break;
        case 6:
        case 7:
            ratio = 512;
            break;
    }
    claim.leastDataBytes = raw / ratio;
    claim.dataBytes = fileSize;
    return true;
}

std::string Megapixels(uint64_t pixels) {
    const uint64_t thousandths = (pixels + 500) / 1000;
    std::string fraction = std::to_string(1000 + thousandths % 1000).substr(1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    return std::to_string(thousandths / 1000) + (fraction.empty() ? "" : "." + fraction);
}

}  // namespace

bool ReadPictureClaim(ImageFormat format, const ByteReader& read, uint64_t fileSize,
                      PictureClaim& claim) {
    claim = PictureClaim();
    switch (format) {
        case ImageFormat::Png:
            return PngClaim(read, fileSize, claim);
        case ImageFormat::Jpeg:
            return JpegClaim(read, fileSize, claim);
        case ImageFormat::Tiff:
            return TiffClaim(read, fileSize, claim);
        default:
            return false;
    }
}

bool CheckPictureClaim(const PictureClaim& claim, uint64_t maxPixels, std::string& error) {
    const uint64_t pixels = uint64_t(claim.width) * uint64_t(claim.height);
    if (pixels > maxPixels) {
        error = "the picture claims " + std::to_string(claim.width) + " x " +
                std::to_string(claim.height) + " pixels (" + Megapixels(pixels) +
                " megapixels), more than the limit of " + Megapixels(maxPixels) +
                " megapixels (--max-megapixels)";
        return false;
    }
    if (claim.truncated) {
        error = "the file is truncated";
        return false;
    }
    if (claim.leastDataBytes > claim.dataBytes) {
        error = "the file holds too little data for the " + std::to_string(claim.width) + " x " +
                std::to_string(claim.height) + " pixels its header claims";
        return false;
    }
    return true;
}

}  // namespace fw::cli
