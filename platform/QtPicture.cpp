#include "platform/QtPicture.h"

#include <fcntl.h>

#include <QFile>
#include <QImageReader>

#include "host/FileUtil.h"

namespace quernel {

std::shared_ptr<const IPicture> QtPictureLoader::Load(const std::filesystem::path& path) {
    // Only a regular file can be a picture; a pipe would keep the open waiting for a writer.
    QFile file;
    try {
        UniqueFd fd = OpenRegularFile(path, O_RDONLY);
        if (!file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            return nullptr;
        }
        fd.release();
    } catch (const FileError&) {
        return nullptr;
    }
    QImageReader reader(&file);
    // The content decides: a text file named "logo.bmp" is no picture.
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) return nullptr;
    return std::make_shared<QtPicture>(std::move(image));
}

}  // namespace quernel
