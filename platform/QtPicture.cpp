#include "platform/QtPicture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <cerrno>
#include <string>

#include "engine/PrinterPlatform.h"
#include "host/FileUtil.h"

namespace quernel {

namespace {

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A file's bytes and its status when they were read.
struct TFileRead {
    std::string bytes;
    struct stat status {};
};

// The whole regular file at `path`; nothing when it is missing, unreadable, not a regular
// file, or changed while it was read.
std::optional<TFileRead> ReadRegularFile(const std::filesystem::path& path) {
    // Only a regular file can be a picture; a pipe would keep the open waiting for a writer.
    UniqueFd fd;
    try {
        fd = OpenRegularFile(path, O_RDONLY);
    } catch (const FileError&) {
        return std::nullopt;
    }
    TFileRead read;
    if (::fstat(fd.get(), &read.status) != 0) return std::nullopt;
    read.bytes.resize(static_cast<std::size_t>(read.status.st_size));
    std::size_t done = 0;
    while (done < read.bytes.size()) {
        const ssize_t got = ::read(fd.get(), read.bytes.data() + done, read.bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        done += static_cast<std::size_t>(got);
    }
    struct stat after {};
    if (::fstat(fd.get(), &after) != 0 || after.st_size != read.status.st_size ||
        !SameTime(after.st_mtim, read.status.st_mtim)) {
        return std::nullopt;
    }
    return read;
}

}  // namespace

std::shared_ptr<const TPdfImage> PdfImageFromImage(const QImage& source) {
    const bool alpha = source.hasAlphaChannel();
    const QImage argb =
        source.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    return PdfImageFromPixels(
        argb.width(), argb.height(), reinterpret_cast<const std::uint32_t*>(argb.constBits()),
        static_cast<std::size_t>(argb.bytesPerLine()) / 4, alpha, argb.allGray());
}

bool QtPictureLoader::TIdentity::operator==(const TIdentity& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           SameTime(modified, o.modified) && SameTime(changed, o.changed);
}

std::shared_ptr<const IPicture> QtPictureLoader::Load(const std::filesystem::path& path) {
    struct stat status {};
    if (last_ && last_->path == path && ::stat(path.c_str(), &status) == 0 &&
        last_->identity == TIdentity{status.st_dev, status.st_ino, status.st_size, status.st_mtim,
                                     status.st_ctim}) {
        return last_->picture;
    }
    last_.reset();
    std::optional<TFileRead> file = ReadRegularFile(path);
    if (!file) return nullptr;

    // Decoded also when the file goes in as it is: the content decides what it is, and only a
    // file that decodes is a picture.
    QImage image;
    QByteArray format;
    {
        QBuffer buffer;
        buffer.setData(QByteArray::fromRawData(file->bytes.data(),
                                               static_cast<qsizetype>(file->bytes.size())));
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setDecideFormatFromContent(true);
        format = reader.format();
        image = reader.read();
    }
    if (image.isNull()) return nullptr;

    std::shared_ptr<const IPicture> picture;
    const auto sameSize = [&](const std::shared_ptr<const TPdfImage>& pdf) {
        return pdf && pdf->width == image.width() && pdf->height == image.height();
    };
    if (format == "png") {
        if (auto pdf = PdfImageFromPng(file->bytes); sameSize(pdf)) {
            picture = std::make_shared<TPdfPicture>(std::move(pdf));
        }
    } else if (format == "jpeg") {
        const TJpegInfo info = ReadJpegInfo(file->bytes);
        if (info.kind == TJpegInfo::TKind::kCorrupt) return nullptr;
        if (info.kind == TJpegInfo::TKind::kUsable) {
            if (auto pdf = PdfImageFromJpeg(std::move(file->bytes), info); sameSize(pdf)) {
                picture = std::make_shared<TPdfPicture>(std::move(pdf));
            }
        }
    }
    try {
        if (!picture) picture = std::make_shared<TPdfPicture>(PdfImageFromImage(image));
    } catch (const PrinterError&) {
        return nullptr;  // it could not be compressed
    }
    const struct stat& s = file->status;
    last_ = TLoaded{path, {s.st_dev, s.st_ino, s.st_size, s.st_mtim, s.st_ctim}, picture};
    return picture;
}

}  // namespace quernel
