#include "platform/PagePreview.h"

#include <QImageReader>
#include <QPainter>
#include <map>
#include <memory>

#include "host/BW_log.h"
#include "host/Clock.h"
#include "host/ErrorReport.h"
#include "platform/QtFontSource.h"
#include "platform/QtPageCanvas.h"

namespace quernel {

namespace {

// The drawing reached the end of the wanted page.
struct TPageDone {};

// A background picture for the preview: the decoded image, made small enough to draw fast.
class TPreviewPicture final : public IPicture {
  public:
    explicit TPreviewPicture(QImage image) : image_(std::move(image)) {}
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    const QImage& Image() const { return image_; }

  private:
    QImage image_;
};

class TPreviewPictureLoader final : public IPictureLoader {
  public:
    std::shared_ptr<const IPicture> Load(const std::filesystem::path& path) override {
        QImageReader reader(QString::fromStdString(path.string()));
        // A preview needs no more than about 150 dpi of an A4 sheet.
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > 1600 || size.height() > 1600)) {
            reader.setScaledSize(size.scaled(1600, 1600, Qt::KeepAspectRatio));
        }
        QImage image = reader.read();
        if (image.isNull()) return nullptr;
        return std::make_shared<TPreviewPicture>(std::move(image));
    }
};

class TSilentErrors final : public IErrorReport {
  public:
    void ShowError(const std::string&) override {}
};

// The printing platform of the preview: one virtual printer with the given sheet, whose
// documents draw only their wanted page, into an image.
class TPreviewPrinter final : public IPrinterPlatform {
  public:
    TPreviewPrinter(TDeviceCaps caps, int wanted, double scale)
        : caps_(caps), wanted_(wanted), scale_(scale) {}

    QImage TakeImage() { return std::move(image_); }
    int Page() const { return page_; }

    std::vector<std::string> Printers() override { return {"Podgląd"}; }
    void RefreshPrinters() override {}
    int PrinterIndex() override { return 0; }
    void SetPrinterIndex(int) override {}
    std::string Title() override { return title_; }
    void SetTitle(const std::string& title) override { title_ = title; }
    int Copies() override { return 1; }
    void SetCopies(int) override {}
    bool Printing() override { return printing_; }
    void BeginDoc() override {
        printing_ = true;
        page_ = 1;
        StartPage();
    }
    void NewPage() override {
        if (page_ == wanted_) {
            EndPage();
            throw TPageDone();
        }
        ++page_;
        StartPage();
    }
    void EndDoc() override {
        EndPage();
        printing_ = false;
    }
    void AbortDoc() override {
        canvas_.Abort();
        painter_.reset();
        printing_ = false;
    }
    TDeviceCaps DeviceCaps() override { return caps_; }
    std::vector<std::string> Fonts() override { return {}; }
    std::string FamilyOf(TFontKind kind) override { return fonts_.FamilyOf(kind); }
    double Advance(const TFontDesc& font, std::uint8_t byte) override {
        return advances_.Advance(font, byte);
    }
    void SetBkModeTransparent() override {}
    void MoveTo(int x, int y) override { pen_ = {x, y}; }
    TPoint PenPos() override { return pen_; }
    void TextOut(int x, int y, const TFontDesc& font, ByteView text) override {
        if (painter_) canvas_.TextOut(x, y, font, text);
    }
    void StretchDraw(const TRect& rect, const IPicture& picture) override {
        const auto* preview = dynamic_cast<const TPreviewPicture*>(&picture);
        if (painter_ && preview != nullptr) canvas_.DrawImage(rect, preview->Image());
    }
    void DrawBitmap(const TRect& rect, const TBitmap& bitmap) override {
        if (painter_) canvas_.DrawBitmap(rect, bitmap);
    }
    // The preview shows the page as a black-only printer prints it.
    void SetColour(std::uint32_t) override {}
    void FillRects(std::span<const TRect> rects, std::uint8_t ink) override {
        if (painter_) canvas_.FillRects(rects, ink);
    }
    int RawOpen(const std::string&, const std::string&) override { return 1; }
    std::size_t RawWrite(ByteView) override { return 0; }
    void RawClose() override {}

  private:
    void StartPage() {
        if (page_ != wanted_) return;
        const int width = caps_.pageWidth + 2 * caps_.physicalOffsetX;
        const int height = caps_.pageHeight + 2 * caps_.physicalOffsetY;
        image_ = QImage(std::max(1, static_cast<int>(width * scale_)),
                        std::max(1, static_cast<int>(height * scale_)), QImage::Format_RGB32);
        image_.fill(Qt::white);
        painter_ = std::make_unique<QPainter>(&image_);
        painter_->setRenderHint(QPainter::Antialiasing);
        painter_->setRenderHint(QPainter::SmoothPixmapTransform);
        painter_->scale(scale_, scale_);
        // Device pixels count from the printable area's corner.
        painter_->translate(caps_.physicalOffsetX, caps_.physicalOffsetY);
        canvas_.Begin(*painter_);
    }
    void EndPage() {
        if (!painter_) return;
        canvas_.End();
        painter_.reset();
    }

    TDeviceCaps caps_;
    int wanted_;
    double scale_;
    std::string title_;
    bool printing_ = false;
    int page_ = 0;
    TPoint pen_;
    QImage image_;
    std::unique_ptr<QPainter> painter_;
    QtPageCanvas canvas_;
    TQtFontSource fonts_;
    TGlyphAdvances advances_{fonts_};
};

TPrintJobSetup PreviewSetup(const TPrintJobSetup& setup) {
    TPrintJobSetup preview = setup;
    preview.raw.enabled = false;
    if (preview.caps.pageWidth <= 0 || preview.caps.pageHeight <= 0 || preview.caps.dpiX <= 0 ||
        preview.caps.dpiY <= 0) {
        preview.caps = TPagePreview::DefaultCaps();
    }
    return preview;
}

int Run(const TPrintJobSetup& setup, ByteView data, TPreviewPrinter& printer, bool& stopped) {
    const SystemClock clock;
    TbwLog history(clock);
    TfileLog fileLog(clock, {}, {});
    TSilentErrors errors;
    TPreviewPictureLoader pictures;
    stopped = false;
    try {
        return PrintWithSetup(setup, data, {}, {printer, pictures, history, fileLog, errors});
    } catch (const TPageDone&) {
        stopped = true;
        printer.AbortDoc();
        return 0;
    }
}

}  // namespace

TDeviceCaps TPagePreview::DefaultCaps() {
    // A4 is 210 x 297 mm.
    return {4961, 7016, 600, 600, 0, 0};
}

TPreviewPage TPagePreview::DrawPage(const TPrintJobSetup& setup, ByteView data, int page,
                                    double dotsPerInch) {
    const TPrintJobSetup preview = PreviewSetup(setup);
    TPreviewPrinter printer(preview.caps, page, dotsPerInch / preview.caps.dpiX);
    bool stopped = false;
    const int pages = Run(preview, data, printer, stopped);
    TPreviewPage result;
    result.page = page;
    result.image = printer.Page() >= page ? printer.TakeImage() : QImage();
    result.pageCount = stopped ? 0 : pages;
    return result;
}

int TPagePreview::CountPages(const TPrintJobSetup& setup, ByteView data) {
    const TPrintJobSetup preview = PreviewSetup(setup);
    TPreviewPrinter printer(preview.caps, 0, 1.0);
    bool stopped = false;
    return Run(preview, data, printer, stopped);
}

}  // namespace quernel
