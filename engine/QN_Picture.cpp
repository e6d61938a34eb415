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
    const TRect rect{
        MarginPx(left_, caps.dpiX, caps.physicalOffsetX),
        MarginPx(top_, caps.dpiY, caps.physicalOffsetY),
        caps.pageWidth - MarginPx(right_, caps.dpiX, caps.physicalOffsetX),
        caps.pageHeight - MarginPx(bottom_, caps.dpiY, caps.physicalOffsetY),
    };
    printer.StretchDraw(rect, *picture_);
}

}  // namespace quernel
