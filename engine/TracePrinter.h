#pragma once

#include <ostream>
#include <string>

#include "engine/PrinterPlatform.h"

namespace quernel {

// A virtual printer that writes the drawing operations as text instead of printing: page
// starts, every text run with its position, cell and font, pictures and raw data. It shows
// why a line lands where it does without a printer.
class TracePrinter final : public IPrinterPlatform {
  public:
    TracePrinter(std::ostream& out, TDeviceCaps caps) : out_(out), caps_(caps) {}

    std::vector<std::string> Printers() override { return {kName}; }
    void RefreshPrinters() override {}
    int PrinterIndex() override { return 0; }
    void SetPrinterIndex(int index) override;
    std::string Title() override { return title_; }
    void SetTitle(const std::string& title) override { title_ = title; }
    int Copies() override { return copies_; }
    void SetCopies(int copies) override { copies_ = copies; }
    bool Printing() override { return printing_; }
    void BeginDoc() override;
    void NewPage() override;
    void EndDoc() override;
    void AbortDoc() override;
    TDeviceCaps DeviceCaps() override { return caps_; }
    std::vector<std::string> Fonts() override { return {}; }
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
    std::size_t RawWrite(ByteView data) override;
    void RawClose() override;

    static constexpr const char* kName = "Quernel Trace";

  private:
    std::ostream& out_;
    TDeviceCaps caps_;
    std::string title_;
    int copies_ = 1;
    bool printing_ = false;
    int page_ = 0;
    TPoint pen_;
    std::uint32_t colour_ = kBlack;
};

}  // namespace quernel
