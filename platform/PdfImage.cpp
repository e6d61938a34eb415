#include "platform/PdfImage.h"

#include <cstdint>
#include <cstring>

#include "engine/PrinterPlatform.h"
#include "platform/PdfWriter.h"

namespace quernel {

namespace {

// Pictures are compressed once: the default level.
constexpr int kImageLevel = 6;

// JPEG markers (the byte after 0xFF).
constexpr unsigned kStartOfImage = 0xD8;
constexpr unsigned kEndOfImage = 0xD9;
constexpr unsigned kStartOfScan = 0xDA;
constexpr unsigned kFirstRestart = 0xD0;
constexpr unsigned kLastRestart = 0xD7;
constexpr unsigned kTemporary = 0x01;
constexpr unsigned kJfif = 0xE0;
constexpr unsigned kAdobe = 0xEE;
// Frames that every PDF reader draws: baseline, extended and progressive Huffman coding.
constexpr unsigned kBaseline = 0xC0;
constexpr unsigned kProgressive = 0xC2;

// A start of frame: 0xC0..0xCF except DHT (C4), JPG (C8) and DAC (CC).
bool IsFrame(unsigned marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// A marker segment with a length that may stand before or between scans: frames and tables
// (C0..CF), quantisation, number of lines, restart interval and hierarchical ones (DB..DF),
// application data (E0..EF), comments (FE).
bool IsSegment(unsigned marker) {
    return (marker >= 0xC0 && marker <= 0xCF) || (marker >= 0xDB && marker <= 0xDF) ||
           (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

// A big-endian 32-bit number.
std::uint32_t Read32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// The entries every image stream of 8 bits a component starts with.
std::string ImageEntries(std::uint64_t width, std::uint64_t height) {
    return "/Type/XObject/Subtype/Image/Width " + std::to_string(width) + "/Height " +
           std::to_string(height) + "/BitsPerComponent 8";
}

}  // namespace

TJpegInfo ReadJpegInfo(std::string_view file) {
    using TKind = TJpegInfo::TKind;
    TJpegInfo info;
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(file[at]); };
    const std::size_t size = file.size();
    if (size < 4 || byte(0) != 0xFF || byte(1) != kStartOfImage) return info;

    TJpegInfo corrupt;
    corrupt.kind = TKind::kCorrupt;
    bool frame = false, scan = false, usual = true, jfif = false, adobe = false;
    unsigned ids[4] = {};
    std::size_t at = 2;
    for (;;) {
        // A marker: 0xFF, any number of fill bytes 0xFF, its code.
        if (at >= size || byte(at) != 0xFF) return corrupt;
        while (at < size && byte(at) == 0xFF) ++at;
        if (at >= size) return corrupt;
        const unsigned marker = byte(at++);
        if (marker == kEndOfImage) break;
        if (marker == kTemporary) continue;
        if (marker != kStartOfScan && !IsSegment(marker)) return corrupt;
        if (at + 2 > size) return corrupt;
        const std::size_t length = (static_cast<std::size_t>(byte(at)) << 8) | byte(at + 1);
        if (length < 2 || length > size - at) return corrupt;
        const std::string_view body = file.substr(at + 2, length - 2);
        at += length;
        const auto bodyByte = [&](std::size_t i) { return static_cast<unsigned char>(body[i]); };

        if (IsFrame(marker)) {
            if (frame || body.size() < 6) return corrupt;
            frame = true;
            info.height = static_cast<int>((bodyByte(1) << 8) | bodyByte(2));
            info.width = static_cast<int>((bodyByte(3) << 8) | bodyByte(4));
            info.components = bodyByte(5);
            if (body.size() < 6 + 3 * static_cast<std::size_t>(info.components)) return corrupt;
            for (int c = 0; c < info.components && c < 4; ++c) ids[c] = bodyByte(6 + 3 * c);
            usual = usual && marker >= kBaseline && marker <= kProgressive && bodyByte(0) == 8 &&
                    info.width > 0 && info.height > 0 &&
                    (info.components == 1 || info.components == 3 || info.components == 4);
        } else if (marker == kJfif) {
            jfif = jfif || body.starts_with(std::string_view("JFIF\0", 5));
        } else if (marker == kAdobe) {
            adobe = adobe || (body.size() >= 12 && body.starts_with("Adobe"));
        } else if (marker == kStartOfScan) {
            if (!frame) return corrupt;
            scan = true;
            // The compressed data runs to the next marker other than a restart; 0xFF 0x00
            // stands for a data byte 0xFF.
            for (;;) {
                const void* found = std::memchr(file.data() + at, 0xFF, size - at);
                if (found == nullptr) return corrupt;
                at = static_cast<std::size_t>(static_cast<const char*>(found) - file.data());
                if (at + 1 >= size) return corrupt;
                const unsigned next = byte(at + 1);
                if (next != 0x00 && (next < kFirstRestart || next > kLastRestart)) break;
                at += 2;
            }
        }
    }
    if (!frame || !scan) return corrupt;
    // Three components are read as YCbCr unless a marker says otherwise or they are named
    // R, G, B (which PDF readers would still transform); four are CMYK as Adobe writes it.
    if (info.components == 3 && !jfif && !adobe && ids[0] == 'R' && ids[1] == 'G' &&
        ids[2] == 'B') {
        usual = false;
    }
    if (info.components == 4 && !adobe) usual = false;
    info.kind = usual ? TKind::kUsable : TKind::kUnusual;
    return info;
}

std::shared_ptr<const TPdfImage> PdfImageFromJpeg(std::string file, const TJpegInfo& info) {
    auto image = std::make_shared<TPdfImage>();
    image->width = info.width;
    image->height = info.height;
    std::string& dictionary = image->image.dictionary;
    dictionary = ImageEntries(static_cast<std::uint64_t>(info.width),
                              static_cast<std::uint64_t>(info.height));
    switch (info.components) {
        case 1:
            dictionary += "/ColorSpace/DeviceGray";
            break;
        case 4:
            // Adobe's CMYK (and YCCK) JPEG files hold the inverted values.
            dictionary += "/ColorSpace/DeviceCMYK/Decode[1 0 1 0 1 0 1 0]";
            break;
        default:
            dictionary += "/ColorSpace/DeviceRGB";
    }
    dictionary += "/Filter/DCTDecode";
    image->image.data = std::move(file);
    return image;
}

std::shared_ptr<const TPdfImage> PdfImageFromPng(std::string_view file) {
    constexpr std::string_view kSignature("\x89PNG\r\n\x1A\n", 8);
    constexpr int kGray = 0, kRgb = 2, kPalette = 3;
    if (!file.starts_with(kSignature)) return nullptr;
    std::uint32_t width = 0, height = 0;
    int colourType = -1;
    std::string_view palette;
    std::string data;
    bool ended = false;
    for (std::size_t at = kSignature.size(); !ended;) {
        // A chunk: length, type, data, CRC.
        if (file.size() - at < 12) return nullptr;
        const std::uint32_t length = Read32(file, at);
        const std::string_view type = file.substr(at + 4, 4);
        if (length > file.size() - at - 12) return nullptr;
        const std::string_view body = file.substr(at + 8, length);
        at += 12 + length;
        if (colourType < 0 && type != "IHDR") return nullptr;
        if (type == "IHDR") {
            if (colourType >= 0 || body.size() != 13) return nullptr;
            width = Read32(body, 0);
            height = Read32(body, 4);
            const auto bits = static_cast<unsigned char>(body[8]);
            colourType = static_cast<unsigned char>(body[9]);
            // 8 bits; deflate, adaptive filters, no interlacing.
            if (bits != 8 || body[10] != 0 || body[11] != 0 || body[12] != 0 ||
                (colourType != kGray && colourType != kRgb && colourType != kPalette)) {
                return nullptr;
            }
        } else if (type == "PLTE") {
            if (body.empty() || body.size() % 3 != 0 || body.size() > 3 * 256) return nullptr;
            palette = body;
        } else if (type == "IDAT") {
            data.append(body);
        } else if (type == "IEND") {
            ended = true;
        } else if (type == "tRNS" || (type[0] & 0x20) == 0) {
            return nullptr;  // transparency, or a chunk that changes what the pixels mean
        }
    }
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF || data.empty() ||
        (colourType == kPalette && palette.empty())) {
        return nullptr;
    }
    auto image = std::make_shared<TPdfImage>();
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    std::string& dictionary = image->image.dictionary;
    dictionary = ImageEntries(width, height);
    if (colourType == kPalette) {
        dictionary +=
            "/ColorSpace[/Indexed/DeviceRGB " + std::to_string(palette.size() / 3 - 1) + "<";
        for (const char c : palette) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            dictionary += kHex[static_cast<unsigned char>(c) >> 4];
            dictionary += kHex[c & 15];
        }
        dictionary += ">]";
    } else {
        dictionary += colourType == kGray ? "/ColorSpace/DeviceGray" : "/ColorSpace/DeviceRGB";
    }
    dictionary += "/Filter/FlateDecode/DecodeParms<</Predictor 15/Colors " +
                  std::to_string(colourType == kRgb ? 3 : 1) + "/BitsPerComponent 8/Columns " +
                  std::to_string(width) + ">>";
    image->image.data = std::move(data);
    return image;
}

std::shared_ptr<const TPdfImage> PdfImageFromPixels(int w, int h, const std::uint32_t* argb,
                                                    std::size_t stride, bool alpha, bool gray) {
    const auto count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    std::string pixels(count * (gray ? 1 : 3), '\0');
    std::string opacity(alpha ? count : 0, '\0');
    bool transparent = false;
    char* out = pixels.data();
    char* mask = opacity.data();
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* line = argb + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = line[x];
            *out++ = static_cast<char>(p >> 16);
            if (!gray) {
                *out++ = static_cast<char>(p >> 8);
                *out++ = static_cast<char>(p);
            }
            if (alpha) {
                const auto opaque = static_cast<std::uint8_t>(p >> 24);
                *mask++ = static_cast<char>(opaque);
                transparent = transparent || opaque != 255;
            }
        }
    }
    const auto compress = [](std::string_view data) {
        std::string packed = Deflate(data, kImageLevel);
        if (packed.empty()) throw PrinterError("The picture could not be compressed.");
        return packed;
    };
    auto image = std::make_shared<TPdfImage>();
    image->width = w;
    image->height = h;
    const std::string size =
        ImageEntries(static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h));
    image->image.dictionary =
        size + (gray ? "/ColorSpace/DeviceGray" : "/ColorSpace/DeviceRGB") + "/Filter/FlateDecode";
    image->image.data = compress(pixels);
    if (transparent) {
        image->mask = TPdfImage::TStream{size + "/ColorSpace/DeviceGray/Filter/FlateDecode",
                                         compress(opacity)};
    }
    return image;
}

const std::shared_ptr<const TPdfImage>& PdfImageOf(const IPicture& picture) {
    const auto* pdf = dynamic_cast<const TPdfPicture*>(&picture);
    if (!pdf) throw PrinterError("The picture was not loaded as a PDF picture.");
    return pdf->PdfImage();
}

}  // namespace quernel
