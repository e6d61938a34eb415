#pragma once

#include <QImage>

#include "engine/QN_Picture.h"

namespace quernel {

// A picture read by Qt's image plug-ins; the Qt printing platform draws its image.
class QtPicture final : public IPicture {
  public:
    explicit QtPicture(QImage image) : image_(std::move(image)) {}

    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    const QImage& Image() const { return image_; }

  private:
    QImage image_;
};

// Loads every format QImageReader knows (PNG, BMP, JPEG, GIF, ...), recognised by content.
class QtPictureLoader final : public IPictureLoader {
  public:
    std::shared_ptr<const IPicture> Load(const std::filesystem::path& path) override;
};

}  // namespace quernel
