#pragma once

#include <sys/types.h>

#include <QImage>
#include <ctime>
#include <filesystem>
#include <optional>

#include "engine/QN_Picture.h"
#include "platform/PdfImage.h"

namespace quernel {

// The image's pixels, compressed (PdfImageFromPixels): gray when every pixel is, otherwise RGB,
// with a soft mask when some pixel is not opaque. Throws PrinterError when compression fails.
std::shared_ptr<const TPdfImage> PdfImageFromImage(const QImage& image);

// Loads every format QImageReader knows (PNG, BMP, JPEG, GIF, ...), recognised by content. A
// JPEG file goes into documents as it is (DCTDecode), and so do the compressed pixels of an
// opaque 8-bit PNG file; other pictures, and JPEG and PNG files in forms not every PDF reader
// draws, are decoded and compressed once. A cut or malformed JPEG file is no picture. Anything
// but a regular file is no picture either (a pipe is not waited for).
//
// The last picture loaded is kept with its file's identity (device, inode, size, modification
// and change times): loading the same unchanged file again answers it without reading, so the
// background's repeated set-up costs nothing, while a file written or replaced since is read
// again.
class QtPictureLoader final : public IPictureLoader {
  public:
    std::shared_ptr<const IPicture> Load(const std::filesystem::path& path) override;

  private:
    struct TIdentity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const TIdentity& o) const;
    };
    struct TLoaded {
        std::filesystem::path path;
        TIdentity identity;
        std::shared_ptr<const IPicture> picture;
    };
    std::optional<TLoaded> last_;
};

}  // namespace quernel
