// A printout rendered as a print job does it: the shipped control-code table and a character
// map, a command set, a grid, margins and a device chosen by the first bytes, drawn into a PDF
// document (kept in memory) or sent raw. Refused set-ups and printer errors are fine; crashes,
// hangs and sanitizer reports are not.
#include <QGuiApplication>

#include <memory>
#include <string>

#include "engine/CharMap.h"
#include "engine/EscapeSequences.h"
#include "engine/QN_Print.h"
#include "host/BW_log.h"
#include "host/Clock.h"
#include "host/ErrorReport.h"
#include "platform/PdfDocument.h"
#include "platform/QtEnvironment.h"
#include "platform/QtFontSource.h"
#include "tests/fuzz/FuzzInput.h"

using namespace quernel;

namespace {

// The print engine's canvas: a PDF document whose bytes are counted and dropped.
class PdfCanvas final : public IPrinterPlatform {
  public:
    explicit PdfCanvas(const TDeviceCaps& caps) : caps_(caps) {}

    std::vector<std::string> Printers() override { return {"Fuzz"}; }
    void RefreshPrinters() override {}
    int PrinterIndex() override { return 0; }
    void SetPrinterIndex(int) override {}
    std::string Title() override { return title_; }
    void SetTitle(const std::string& title) override { title_ = title; }
    int Copies() override { return 1; }
    void SetCopies(int) override {}
    bool Printing() override { return document_ != nullptr; }
    void BeginDoc() override {
        TPdfPageSetup page;
        page.dpiX = caps_.dpiX;
        page.dpiY = caps_.dpiY;
        page.offsetX = caps_.physicalOffsetX;
        page.offsetY = caps_.physicalOffsetY;
        page.paperWidth = (caps_.pageWidth + 2.0 * caps_.physicalOffsetX) * 72 / caps_.dpiX;
        page.paperHeight = (caps_.pageHeight + 2.0 * caps_.physicalOffsetY) * 72 / caps_.dpiY;
        document_ = std::make_unique<TPdfDocument>(
            [this](const void*, std::size_t size) {
                written_ += size;
                return true;
            },
            "fuzz", page, fonts_, title_, LocalDateTime{});
    }
    void NewPage() override { document_->NewPage(); }
    void EndDoc() override {
        const auto document = std::move(document_);
        document->Finish();
    }
    void AbortDoc() override { document_.reset(); }
    TDeviceCaps DeviceCaps() override { return caps_; }
    std::vector<std::string> Fonts() override { return {}; }
    void SetBkModeTransparent() override {}
    void MoveTo(int x, int y) override { pen_ = {x, y}; }
    TPoint PenPos() override { return pen_; }
    void TextOut(int x, int y, const TFontDesc& font, ByteView text) override {
        document_->TextOut(x, y, font, text);
    }
    void StretchDraw(const TRect&, const IPicture&) override {}
    void DrawBitmap(const TRect& rect, const TBitmap& bitmap) override {
        document_->DrawBitmap(rect, bitmap);
    }
    void FillRects(std::span<const TRect> rects, std::uint8_t ink) override {
        document_->FillRects(rects, ink);
    }
    void SetColour(std::uint32_t rgb) override { document_->SetColour(rgb); }
    int RawOpen(const std::string&, const std::string&) override { return 0; }
    std::size_t RawWrite(ByteView data) override { return data.size(); }
    void RawClose() override {}

  private:
    TDeviceCaps caps_;
    std::string title_;
    TQtFontSource fonts_;
    std::unique_ptr<TPdfDocument> document_;
    std::size_t written_ = 0;
    TPoint pen_;
};

class SilentErrors final : public IErrorReport {
  public:
    void ShowError(const std::string&) override {}
};

const TEscapeSequences& ShippedTable() {
    static const TEscapeSequences table =
        ReadSequenceFile(std::string(QUERNEL_SHIPPED_DATA_DIR) + "/Seq/EPSON+HP.seq");
    return table;
}

TCharMapRecord Map(int which) {
    TCharMapRecord map = TCharMapRecord::Identity();
    static const char* const kNames[] = {"LatinII", "Mazowia", "OEM"};
    if (which < 3) {
        ReadCharMapFile(
            std::string(QUERNEL_SHIPPED_DATA_DIR) + "/CharMap/" + kNames[which] + ".cmap", map);
    }
    return map;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    PrepareQtEnvironment(true);
    new QGuiApplication(*argc, *argv);  // lives as long as the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t flags = in.Byte();
    static const int kDpi[] = {72, 150, 300, 600, 1200, 4800, 1'000'000, 100'000'000};
    static const int kSize[] = {1, 100, 4960, 7014, 1'000'000, 500'000'000};
    const int dpi = kDpi[in.Between(0, 7)];
    const TDeviceCaps caps{kSize[in.Between(0, 5)], kSize[in.Between(0, 5)], dpi, dpi,
                           in.Between(0, 255),      in.Between(0, 255)};
    const int margins[4] = {in.Between(-10, 500), in.Between(-10, 500), in.Between(-10, 500),
                            in.Between(-10, 500)};
    const int cpl = in.Between(40, 240), lpp = in.Between(20, 120);
    const int cplHor = in.Between(40, 360), lppHor = in.Between(20, 120);
    const int orientation = in.Between(0, 2);
    const TCharMapRecord map = Map(in.Between(0, 3));

    PdfCanvas canvas(caps);
    SystemClock clock;
    TbwLog history(clock);
    TfileLog fileLog(clock, {}, {});
    SilentErrors errors;
    TRawSettings raw;
    raw.enabled = (flags & 1) != 0;
    raw.fixCrLf = (flags & 2) != 0;
    raw.useCharMap = (flags & 4) != 0;
    TPrintServices services{canvas, history, fileLog, errors, raw, nullptr};
    TPrinterStatus status;
    // Twice, the second time going on from the first one's attributes.
    for (const bool keepState : {false, true}) {
        TPrintInterface job(services);
        job.SetPage(margins[0], margins[1], margins[2], margins[3], cpl, lpp, cplHor, lppHor,
                    orientation, 1);
        job.SetFont((flags & 8) != 0 ? "DejaVu Sans Mono" : "Liberation Mono", 2, map);
        job.LoadDefaultSequences();
        job.AddSequences(ShippedTable());
        // The table alone, ESC/P, PCL or chosen by the printout.
        job.SetCommandSet(static_cast<TCommandSet>((flags >> 5) & 3));
        try {
            job.BeginJob("Fuzz");
            job.PrintData(in.Rest(), 0, keepState, (flags & 16) != 0, status);
            job.EndJob();
        } catch (const PrinterError&) {
            canvas.AbortDoc();
        }
    }
    return 0;
}
