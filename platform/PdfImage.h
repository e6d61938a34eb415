#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/QN_Picture.h"

namespace quernel {

// A picture as PDF image streams, made once and written into any number of documents (a
// background picture goes into every printout while its setting stays the same).
struct TPdfImage {
    // A stream's dictionary entries (/Filter included, /Length not) and its data as stored.
    struct TStream {
        std::string dictionary;
        std::string data;
    };
    int width = 0;
    int height = 0;
    TStream image;
    // The soft mask (DeviceGray) of a picture with transparent parts; its /SMask entry is the
    // document's to add, as it names the mask's object.
    std::optional<TStream> mask;
};

// What the markers of a JPEG file tell, as far as a PDF reader needs it.
struct TJpegInfo {
    enum class TKind {
        kNotJpeg,  // it does not begin as a JPEG file
        kCorrupt,  // cut short, or its markers do not make a JPEG file
        // Sound, but in a form some PDF readers do not draw, or draw otherwise than the picture
        // loader: lossless, hierarchical or arithmetic coding, other than 8 bits, a height given
        // after the data, RGB without a colour transform marker, 4 components without Adobe's.
        kUnusual,
        kUsable,
    };
    TKind kind = TKind::kNotJpeg;
    int width = 0;
    int height = 0;
    int components = 0;  // 1 gray, 3 colour, 4 CMYK (Adobe's, stored inverted)
};

// Reads the markers of the file, and checks that its compressed data runs to an end marker.
TJpegInfo ReadJpegInfo(std::string_view file);

// The file itself as the image stream (DCTDecode), for a file ReadJpegInfo finds usable.
std::shared_ptr<const TPdfImage> PdfImageFromJpeg(std::string file, const TJpegInfo& info);

// The compressed pixels of a PNG file as the image stream (FlateDecode with PNG predictors) when
// they can go in as they are: 8 bits of gray, RGB or a palette, not interlaced, opaque.
// Otherwise (or when the file is not such a PNG file) nothing.
std::shared_ptr<const TPdfImage> PdfImageFromPng(std::string_view file);

// Pixels (0xAARRGGBB, `stride` pixels from one row to the next), compressed: gray when `gray`
// (every pixel is), otherwise RGB, with a soft mask when `alpha` and some pixel is not opaque.
// Throws PrinterError when compression fails.
std::shared_ptr<const TPdfImage> PdfImageFromPixels(int width, int height,
                                                    const std::uint32_t* argb, std::size_t stride,
                                                    bool alpha, bool gray);

// A picture ready for PDF documents: its image streams, made once, which every document it is
// drawn into writes as they are.
class TPdfPicture final : public IPicture {
  public:
    explicit TPdfPicture(std::shared_ptr<const TPdfImage> pdf) : pdf_(std::move(pdf)) {}

    int Width() const override { return pdf_->width; }
    int Height() const override { return pdf_->height; }
    const std::shared_ptr<const TPdfImage>& PdfImage() const { return pdf_; }

  private:
    std::shared_ptr<const TPdfImage> pdf_;
};

// The image streams of a picture made for PDF documents; PrinterError for any other picture.
const std::shared_ptr<const TPdfImage>& PdfImageOf(const IPicture& picture);

}  // namespace quernel
