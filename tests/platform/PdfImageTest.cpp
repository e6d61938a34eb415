#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "platform/PdfImage.h"

namespace quernel {
namespace {

using TKind = TJpegInfo::TKind;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

// A marker segment: 0xFF, the marker, the length (itself included) and the body.
std::string Segment(int marker, const std::string& body) {
    const auto length = static_cast<int>(body.size() + 2);
    return Bytes({0xFF, marker, length >> 8, length & 0xFF}) + body;
}

const std::string kJfif = Segment(0xE0, std::string("JFIF\0\1\2\0\0\1\0\1\0\0", 14));
const std::string kAdobe = Segment(0xEE, std::string("Adobe\0\x64\0\0\0\0\1", 12));

// A frame of the given kind, precision and size, with components 1, 2, 3, ... (or `ids`).
std::string Frame(int marker, int precision, int width, int height, int components,
                  const std::string& ids = "") {
    std::string body =
        Bytes({precision, height >> 8, height & 0xFF, width >> 8, width & 0xFF, components});
    for (int c = 0; c < components; ++c) {
        body += ids.empty() ? static_cast<char>(c + 1) : ids[static_cast<std::size_t>(c)];
        body += Bytes({0x11, 0});
    }
    return Segment(marker, body);
}

// A scan header and its compressed data, with a stuffed 0xFF and a restart marker inside.
const std::string kScan = Segment(0xDA, Bytes({1, 1, 0, 0, 63, 0})) +
                          Bytes({0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56, 0x78});
const std::string kStart = Bytes({0xFF, 0xD8});
const std::string kEnd = Bytes({0xFF, 0xD9});

TEST(PdfImageJpegInfo, SoundFilesAreUsableWithTheirSizeAndComponents) {
    const TJpegInfo colour =
        ReadJpegInfo(kStart + kJfif + Frame(0xC0, 8, 640, 480, 3) + kScan + kEnd);
    EXPECT_EQ(colour.kind, TKind::kUsable);
    EXPECT_EQ(colour.width, 640);
    EXPECT_EQ(colour.height, 480);
    EXPECT_EQ(colour.components, 3);

    // Progressive: several scans with tables between them; fill bytes before markers; data
    // after the end is left alone.
    const std::string progressive = kStart + Frame(0xC2, 8, 2480, 3508, 1) + kScan +
                                    Segment(0xC4, std::string(20, '\1')) + kScan +
                                    Bytes({0xFF, 0xFF}) + kEnd + "trailing";
    const TJpegInfo gray = ReadJpegInfo(progressive);
    EXPECT_EQ(gray.kind, TKind::kUsable);
    EXPECT_EQ(gray.width, 2480);
    EXPECT_EQ(gray.height, 3508);
    EXPECT_EQ(gray.components, 1);

    // Adobe's CMYK, and RGB that Adobe's marker says is untransformed.
    EXPECT_EQ(ReadJpegInfo(kStart + kAdobe + Frame(0xC0, 8, 8, 8, 4) + kScan + kEnd).kind,
              TKind::kUsable);
    EXPECT_EQ(ReadJpegInfo(kStart + kAdobe + Frame(0xC1, 8, 8, 8, 3, "RGB") + kScan + kEnd).kind,
              TKind::kUsable);
}

TEST(PdfImageJpegInfo, FormsNotEveryReaderDrawsAreUnusual) {
    const auto kind = [](const std::string& frame, const std::string& marker = "") {
        return ReadJpegInfo(kStart + marker + frame + kScan + kEnd).kind;
    };
    EXPECT_EQ(kind(Frame(0xC3, 8, 8, 8, 3)), TKind::kUnusual);   // lossless
    EXPECT_EQ(kind(Frame(0xC9, 8, 8, 8, 3)), TKind::kUnusual);   // arithmetic coding
    EXPECT_EQ(kind(Frame(0xC5, 8, 8, 8, 3)), TKind::kUnusual);   // hierarchical
    EXPECT_EQ(kind(Frame(0xC1, 12, 8, 8, 3)), TKind::kUnusual);  // 12 bits
    EXPECT_EQ(kind(Frame(0xC0, 8, 8, 0, 3)), TKind::kUnusual);   // height after the data
    EXPECT_EQ(kind(Frame(0xC0, 8, 8, 8, 2)), TKind::kUnusual);
    EXPECT_EQ(kind(Frame(0xC0, 8, 8, 8, 4)), TKind::kUnusual);  // CMYK without Adobe's marker
    EXPECT_EQ(kind(Frame(0xC0, 8, 8, 8, 3, "RGB")), TKind::kUnusual);
    EXPECT_EQ(kind(Frame(0xC0, 8, 8, 8, 3, "RGB"), kJfif), TKind::kUsable);
}

TEST(PdfImageJpegInfo, CutOrMalformedFilesAreCorruptOthersNoJpeg) {
    const std::string whole = kStart + kJfif + Frame(0xC0, 8, 64, 64, 3) + kScan + kEnd;
    ASSERT_EQ(ReadJpegInfo(whole).kind, TKind::kUsable);
    // Cut anywhere: inside a segment, inside the data, before the end marker.
    for (std::size_t size = 4; size < whole.size(); ++size) {
        EXPECT_EQ(ReadJpegInfo(whole.substr(0, size)).kind, TKind::kCorrupt) << size;
    }
    const std::string frame = Frame(0xC0, 8, 64, 64, 3);
    EXPECT_EQ(ReadJpegInfo(kStart + kScan + kEnd).kind, TKind::kCorrupt);  // no frame
    EXPECT_EQ(ReadJpegInfo(kStart + frame + frame + kScan + kEnd).kind, TKind::kCorrupt);
    EXPECT_EQ(ReadJpegInfo(kStart + frame + kEnd).kind, TKind::kCorrupt);  // no scan
    // A marker no JPEG file has, between segments or in the data.
    EXPECT_EQ(ReadJpegInfo(kStart + Segment(0x24, "xx") + frame + kScan + kEnd).kind,
              TKind::kCorrupt);
    EXPECT_EQ(ReadJpegInfo(kStart + frame + kScan + Bytes({0xFF, 0x24, 0, 4, 0, 0}) + kEnd).kind,
              TKind::kCorrupt);
    // A length past the end, or shorter than itself.
    EXPECT_EQ(ReadJpegInfo(kStart + Bytes({0xFF, 0xE0, 0x40, 0}) + frame + kScan + kEnd).kind,
              TKind::kCorrupt);
    EXPECT_EQ(ReadJpegInfo(kStart + Bytes({0xFF, 0xE0, 0, 1}) + frame + kScan + kEnd).kind,
              TKind::kCorrupt);

    EXPECT_EQ(ReadJpegInfo("\x89PNG\r\n\x1A\n").kind, TKind::kNotJpeg);
    EXPECT_EQ(ReadJpegInfo(kStart).kind, TKind::kNotJpeg);
    EXPECT_EQ(ReadJpegInfo("").kind, TKind::kNotJpeg);
}

TEST(PdfImageJpegInfo, StreamNamesTheColoursAndKeepsTheBytes) {
    const std::string file = kStart + kAdobe + Frame(0xC0, 8, 8, 4, 4) + kScan + kEnd;
    const TJpegInfo info = ReadJpegInfo(file);
    const auto image = PdfImageFromJpeg(file, info);
    EXPECT_EQ(image->image.data, file);
    EXPECT_EQ(image->width, 8);
    EXPECT_EQ(image->height, 4);
    EXPECT_NE(image->image.dictionary.find("/Width 8/Height 4/BitsPerComponent 8"),
              std::string::npos);
    EXPECT_NE(image->image.dictionary.find("/DeviceCMYK/Decode[1 0 1 0 1 0 1 0]"),
              std::string::npos);
    EXPECT_NE(image->image.dictionary.find("/Filter/DCTDecode"), std::string::npos);
    EXPECT_FALSE(image->mask.has_value());
}

// A PNG chunk (its CRC left zero: the picture loader has checked the file by decoding it).
std::string Chunk(const std::string& type, const std::string& body) {
    const auto n = static_cast<unsigned>(body.size());
    return Bytes({static_cast<int>(n >> 24), static_cast<int>((n >> 16) & 0xFF),
                  static_cast<int>((n >> 8) & 0xFF), static_cast<int>(n & 0xFF)}) +
           type + body + std::string(4, '\0');
}

// A PNG file's start: the signature and the header of a 300 x 2 picture.
std::string PngStart(int bits, int colourType, int interlace = 0) {
    return std::string("\x89PNG\r\n\x1A\n", 8) +
           Chunk("IHDR", Bytes({0, 0, 1, 44, 0, 0, 0, 2, bits, colourType, 0, 0, interlace}));
}

TEST(PdfImagePng, OpaqueEightBitPixelsGoInAsTheyAreCompressed) {
    const std::string end = Chunk("IEND", "");
    // The data of all IDAT chunks, in order; ancillary chunks are passed over.
    const auto rgb = PdfImageFromPng(PngStart(8, 2) + Chunk("gAMA", "1234") + Chunk("IDAT", "abc") +
                                     Chunk("IDAT", "defg") + end);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(rgb->width, 300);
    EXPECT_EQ(rgb->height, 2);
    EXPECT_EQ(rgb->image.data, "abcdefg");
    EXPECT_EQ(rgb->image.dictionary,
              "/Type/XObject/Subtype/Image/Width 300/Height 2/BitsPerComponent 8"
              "/ColorSpace/DeviceRGB/Filter/FlateDecode"
              "/DecodeParms<</Predictor 15/Colors 3/BitsPerComponent 8/Columns 300>>");
    EXPECT_FALSE(rgb->mask.has_value());

    const auto gray = PdfImageFromPng(PngStart(8, 0) + Chunk("IDAT", "x") + end);
    ASSERT_NE(gray, nullptr);
    EXPECT_NE(gray->image.dictionary.find("/DeviceGray"), std::string::npos);
    EXPECT_NE(gray->image.dictionary.find("/Colors 1/"), std::string::npos);

    const auto palette = PdfImageFromPng(
        PngStart(8, 3) + Chunk("PLTE", Bytes({255, 0, 16, 1, 2, 3})) + Chunk("IDAT", "x") + end);
    ASSERT_NE(palette, nullptr);
    EXPECT_NE(palette->image.dictionary.find("/ColorSpace[/Indexed/DeviceRGB 1<FF0010010203>]"),
              std::string::npos);
    EXPECT_NE(palette->image.dictionary.find("/Colors 1/"), std::string::npos);
}

TEST(PdfImagePng, OtherFormsAndBrokenFilesAreLeftToTheDecoder) {
    const std::string idat = Chunk("IDAT", "x");
    const std::string end = Chunk("IEND", "");
    EXPECT_EQ(PdfImageFromPng(PngStart(16, 2) + idat + end), nullptr);
    EXPECT_EQ(PdfImageFromPng(PngStart(4, 0) + idat + end), nullptr);
    EXPECT_EQ(PdfImageFromPng(PngStart(8, 6) + idat + end), nullptr);  // alpha
    EXPECT_EQ(PdfImageFromPng(PngStart(8, 4) + idat + end), nullptr);
    EXPECT_EQ(PdfImageFromPng(PngStart(8, 2, 1) + idat + end), nullptr);  // interlaced
    EXPECT_EQ(PdfImageFromPng(PngStart(8, 2) + Chunk("tRNS", "ab") + idat + end), nullptr);
    EXPECT_EQ(PdfImageFromPng(PngStart(8, 3) + idat + end), nullptr);  // no palette
    EXPECT_EQ(PdfImageFromPng(PngStart(8, 2) + Chunk("XYZW", "") + idat + end), nullptr);
    EXPECT_EQ(PdfImageFromPng(PngStart(8, 2) + end), nullptr);   // no pixels
    EXPECT_EQ(PdfImageFromPng(PngStart(8, 2) + idat), nullptr);  // cut
    const std::string whole = PngStart(8, 2) + idat + end;
    EXPECT_EQ(PdfImageFromPng(whole.substr(0, whole.size() - 1)), nullptr);
    EXPECT_EQ(PdfImageFromPng(idat + end), nullptr);  // no signature
    EXPECT_EQ(PdfImageFromPng(std::string("\x89PNG\r\n\x1A\n", 8) + idat + end), nullptr);
}

}  // namespace
}  // namespace quernel
