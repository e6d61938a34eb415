#include "platform/PdfFilePrinter.h"

#include <cmath>
#include <utility>

#include "platform/PdfImage.h"

namespace quernel {

TPdfFilePrinter::TPdfFilePrinter(double widthPoints, double heightPoints, TPdfWriter::TSink sink,
                                 std::string target, IFontSource& fonts, const IClock& clock)
    : sink_(std::move(sink)), target_(std::move(target)), fonts_(fonts), clock_(clock) {
    setup_.paperWidth = widthPoints;
    setup_.paperHeight = heightPoints;
    setup_.dpiX = setup_.dpiY = kResolution;
    caps_.dpiX = caps_.dpiY = kResolution;
    caps_.pageWidth = static_cast<int>(std::lround(widthPoints * kResolution / 72.0));
    caps_.pageHeight = static_cast<int>(std::lround(heightPoints * kResolution / 72.0));
}

TPdfFilePrinter::~TPdfFilePrinter() = default;

void TPdfFilePrinter::SetPrinterIndex(int index) {
    if (index != 0 && index != -1)
        throw PrinterError("There is no printer " + std::to_string(index) + ".");
}

void TPdfFilePrinter::SetCopies(int copies) {
    // Copies are the print system's: the queue behind the filter makes them.
    if (copies < 1) throw PrinterError("The number of copies must be at least 1.");
}

void TPdfFilePrinter::BeginDoc() {
    if (document_) throw PrinterError("A document is already being printed.");
    document_ = std::make_unique<TPdfDocument>(sink_, target_, setup_, fonts_, title_,
                                               ToLocal(clock_.Now()));
}

TPdfDocument& TPdfFilePrinter::Document(const char* what) {
    if (!document_) throw PrinterError(std::string(what) + " without a document being printed.");
    return *document_;
}

void TPdfFilePrinter::NewPage() {
    Document("NewPage").NewPage();
}

void TPdfFilePrinter::EndDoc() {
    const std::unique_ptr<TPdfDocument> document = std::move(document_);
    if (!document) throw PrinterError("EndDoc without a document being printed.");
    document->Finish();
    pagesPrinted_ = document->PageCount();
}

void TPdfFilePrinter::TextOut(int x, int y, const TFontDesc& font, ByteView text) {
    Document("TextOut").TextOut(x, y, font, text);
}

void TPdfFilePrinter::StretchDraw(const TRect& rect, const IPicture& picture) {
    Document("StretchDraw").DrawImage(rect, PdfImageOf(picture));
}

void TPdfFilePrinter::DrawBitmap(const TRect& rect, const TBitmap& bitmap) {
    Document("DrawBitmap").DrawBitmap(rect, bitmap);
}

void TPdfFilePrinter::DrawColorBitmap(const TRect& rect, const TBitmap& bitmap, TColor color) {
    Document("DrawBitmap").DrawBitmap(rect, bitmap, color);
}

void TPdfFilePrinter::FillRects(std::span<const TRect> rects, std::uint8_t ink) {
    Document("FillRects").FillRects(rects, ink);
}

void TPdfFilePrinter::SetColour(std::uint32_t rgb) {
    Document("SetColour").SetColour(rgb);
}

int TPdfFilePrinter::RawOpen(const std::string&, const std::string&) {
    throw PrinterError("A DOS printer queue renders its printouts; it prints nothing raw.");
}

}  // namespace quernel
