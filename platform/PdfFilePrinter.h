#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/PrinterPlatform.h"
#include "host/Clock.h"
#include "platform/PdfDocument.h"

namespace quernel {

// The printing platform of the CUPS filter: one printer whose documents are PDF written to a
// sink, on a sheet without unprintable strips (the queue behind it fits the page to its
// printer). No print system, no dialogs. Raw documents are refused: the filter renders.
class TPdfFilePrinter final : public IPrinterPlatform {
  public:
    static constexpr const char* kName = "PDF";
    static constexpr int kResolution = 600;

    // `widthPoints` x `heightPoints` is the sheet; the sink gets the document as it is written.
    TPdfFilePrinter(double widthPoints, double heightPoints, TPdfWriter::TSink sink,
                    std::string target, IFontSource& fonts, const IClock& clock);
    ~TPdfFilePrinter() override;

    // Pages of the last document finished.
    int PagesPrinted() const { return pagesPrinted_; }

    std::vector<std::string> Printers() override { return {kName}; }
    void RefreshPrinters() override {}
    int PrinterIndex() override { return 0; }
    void SetPrinterIndex(int index) override;

    std::string Title() override { return title_; }
    void SetTitle(const std::string& title) override { title_ = title; }
    int Copies() override { return 1; }
    void SetCopies(int copies) override;

    bool Printing() override { return document_ != nullptr; }
    void BeginDoc() override;
    void NewPage() override;
    void EndDoc() override;
    void AbortDoc() override { document_.reset(); }

    TDeviceCaps DeviceCaps() override { return caps_; }
    // Not asked of the font system: looking one family up builds its whole list.
    std::vector<std::string> Fonts() override { return {}; }
    std::string FamilyOf(TFontKind kind) override { return fonts_.FamilyOf(kind); }
    double Advance(const TFontDesc& font, std::uint8_t byte) override {
        return advances_.Advance(font, byte);
    }

    void SetBkModeTransparent() override {}
    void MoveTo(int x, int y) override { pen_ = {x, y}; }
    TPoint PenPos() override { return pen_; }
    void TextOut(int x, int y, const TFontDesc& font, ByteView text) override;
    void StretchDraw(const TRect& rect, const IPicture& picture) override;
    void DrawBitmap(const TRect& rect, const TBitmap& bitmap) override;
    void DrawColorBitmap(const TRect& rect, const TBitmap& bitmap, TColor color) override;
    void FillRects(std::span<const TRect> rects, std::uint8_t ink) override;
    void SetColour(std::uint32_t rgb) override;

    int RawOpen(const std::string& printerName, const std::string& documentName) override;
    std::size_t RawWrite(ByteView) override { return 0; }
    void RawClose() override {}

  private:
    TPdfDocument& Document(const char* what);

    TPdfPageSetup setup_;
    TDeviceCaps caps_;
    TPdfWriter::TSink sink_;
    std::string target_;
    IFontSource& fonts_;
    const IClock& clock_;
    std::string title_;
    TPoint pen_;
    std::unique_ptr<TPdfDocument> document_;
    int pagesPrinted_ = 0;
    TGlyphAdvances advances_{fonts_};
};

}  // namespace quernel
