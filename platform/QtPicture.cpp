#include "platform/QtPicture.h"

#include <QFile>
#include <QImageReader>

namespace quernel {

std::shared_ptr<const IPicture> QtPictureLoader::Load(const std::filesystem::path& path) {
    QImageReader reader(QFile::decodeName(path.c_str()));
    // The content decides: a text file named "logo.bmp" is no picture.
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) return nullptr;
    return std::make_shared<QtPicture>(std::move(image));
}

}  // namespace quernel
