// Pictures on a PDF page: image resources and 1-bit stencils, each stored once.

#include "platform/PdfDocumentImpl.h"

namespace quernel {

using namespace pdf;

// ---------------------------------------------------------------- pictures

const std::pair<std::string, int>& TPdfDocument::TImpl::ImageFor(
    const std::shared_ptr<const TPdfImage>& image) {
    for (const TImageUse& use : images) {
        if (use.image == image) return use.resource;
    }
    std::string dictionary = image->image.dictionary;
    if (image->mask) {
        const int mask = writer.Reserve();
        writer.WriteStream(mask, image->mask->dictionary, image->mask->data, -1);
        dictionary += "/SMask " + std::to_string(mask) + " 0 R";
    }
    const int object = writer.Reserve();
    writer.WriteStream(object, dictionary, image->image.data, -1);
    images.push_back({image, {"I" + std::to_string(images.size() + 1), object}});
    return images.back().resource;
}

void TPdfDocument::TImpl::DrawImage(const TRect& rect,
                                    const std::shared_ptr<const TPdfImage>& image) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || !image || image->width <= 0 || image->height <= 0) return;
    EndText();
    PlaceImage(rect, ImageFor(image).first);
}

// An image fills the unit square, its first row at the top: it is stretched over the rectangle.
void TPdfDocument::TImpl::PlaceImage(const TRect& rect, const std::string& name) {
    content += "q ";
    content.Numbers({static_cast<double>(rect.right - rect.left), 0, 0,
                     static_cast<double>(rect.top - rect.bottom), static_cast<double>(rect.left),
                     static_cast<double>(rect.bottom)},
                    0);
    content += "cm /" + name + " Do Q\n";
}

const std::pair<std::string, int>& TPdfDocument::TImpl::MaskFor(const TBitmap& bitmap) {
    constexpr std::size_t kMaxKeyBytes = 8 << 20;
    const std::string_view bits(reinterpret_cast<const char*>(bitmap.bits.data()),
                                bitmap.bits.size());
    const std::size_t hash = std::hash<std::string_view>()(bits) ^
                             (static_cast<std::size_t>(bitmap.width) * 0x9E3779B97F4A7C15ULL);
    const auto [first, last] = maskIndex.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        const TMaskKey& key = it->second;
        if (key.width == bitmap.width && key.height == bitmap.height && key.bits == bitmap.bits) {
            return masks[key.mask];
        }
    }
    // A stencil: where a bit is set the current colour (black) is painted, elsewhere nothing.
    const int object = writer.Reserve();
    writer.WriteStream(object,
                       "/Type/XObject/Subtype/Image/Width " + std::to_string(bitmap.width) +
                           "/Height " + std::to_string(bitmap.height) +
                           "/ImageMask true/BitsPerComponent 1/Decode[1 0]",
                       bits, kResourceLevel);
    masks.emplace_back("M" + std::to_string(masks.size() + 1), object);
    if (maskKeyBytes + bits.size() <= kMaxKeyBytes) {
        maskKeyBytes += bits.size();
        maskIndex.emplace(hash,
                          TMaskKey{masks.size() - 1, bitmap.width, bitmap.height, bitmap.bits});
    }
    return masks.back();
}

void TPdfDocument::TImpl::DrawBitmap(const TRect& rect, const TBitmap& bitmap, TColor color) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || bitmap.width <= 0 || bitmap.height <= 0) return;
    EndText();
    if (color == TColor{}) {
        PlaceImage(rect, MaskFor(bitmap).first);
        return;
    }
    // A stencil paints the fill colour: set for this picture alone.
    content += "q ";
    content.Numbers({color.red / 255.0, color.green / 255.0, color.blue / 255.0}, 3);
    content += "rg ";
    PlaceImage(rect, MaskFor(bitmap).first);
    content += "Q\n";
}

}  // namespace quernel
