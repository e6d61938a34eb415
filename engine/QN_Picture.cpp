#include "engine/QN_Picture.h"

#include "engine/PageGeometry.h"
#include "engine/PrinterPlatform.h"

namespace quernel {

void TBackgroundPicture::SetBackground(const std::filesystem::path& path, int left, int right,
                                       int top, int bottom) {
    picture_ = loader_.Load(path);
    if (!picture_) {
        ClearBackground();
        return;
    }
    left_ = left;
    right_ = right;
    top_ = top;
    bottom_ = bottom;
}

void TBackgroundPicture::ClearBackground() {
    picture_.reset();
    left_ = right_ = top_ = bottom_ = 0;
}

bool TBackgroundPicture::PictureFileUsable(const std::filesystem::path& path) {
    return loader_.Load(path) != nullptr;
}

void TBackgroundPicture::DrawBackground(IPrinterPlatform& printer) const {
    if (!picture_) return;
    const TDeviceCaps caps = printer.DeviceCaps();
    const TPageMargins m = ComputeMargins(caps, left_, top_, right_, bottom_);
    if (!m.Fits()) {
        throw PrinterError(
            "Nie można obliczyć położenia obrazu w tle: rozdzielczość lub rozmiar strony "
            "drukarki są poza zakresem.");
    }
    const TRect rect{
        static_cast<int>(m.left),
        static_cast<int>(m.top),
        static_cast<int>(caps.pageWidth - m.right),
        static_cast<int>(caps.pageHeight - m.bottom),
    };
    printer.StretchDraw(rect, *picture_);
}

}  // namespace quernel
