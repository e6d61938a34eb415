#pragma once

#include <filesystem>
#include <memory>

namespace quernel {

class IPrinterPlatform;

// A loaded picture, drawn by the printing platform that made it.
class IPicture {
  public:
    virtual ~IPicture() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

class IPictureLoader {
  public:
    virtual ~IPictureLoader() = default;
    // The picture in the file, or nullptr when the file is missing or is not a picture.
    virtual std::shared_ptr<const IPicture> Load(const std::filesystem::path& path) = 0;
};

// The one background picture drawn under the text of every page, with its four distances
// from the sheet's edges in millimetres.
class TBackgroundPicture {
  public:
    explicit TBackgroundPicture(IPictureLoader& loader) : loader_(loader) {}

    // Takes the picture when the file loads as one; otherwise clears the background.
    void SetBackground(const std::filesystem::path& path, int left, int right, int top, int bottom);
    void ClearBackground();
    bool PictureFileUsable(const std::filesystem::path& path);

    bool HasPicture() const { return picture_ != nullptr; }

    // Stretches the picture into the page between its margins (never smaller than the
    // unprintable strip); nothing without a picture.
    void DrawBackground(IPrinterPlatform& printer) const;

  private:
    IPictureLoader& loader_;
    std::shared_ptr<const IPicture> picture_;
    int left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
};

}  // namespace quernel
