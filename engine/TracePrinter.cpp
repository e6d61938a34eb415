#include "engine/TracePrinter.h"

#include <cstdio>

#include "engine/CharMap.h"
#include "engine/EscapeSequences.h"
#include "engine/Explain.h"
#include "engine/QN_Picture.h"

namespace quernel {

void TracePrinter::SetPrinterIndex(int index) {
    if (printing_) throw PrinterError("Nie można zmienić drukarki podczas drukowania");
    if (index != -1 && index != 0) throw PrinterError("Nieprawidłowy indeks drukarki");
}

void TracePrinter::BeginDoc() {
    printing_ = true;
    page_ = 1;
    colour_ = kBlack;
    out_ << "document \"" << title_ << "\" copies " << copies_ << " device " << caps_.dpiX << "x"
         << caps_.dpiY << " dpi, page " << caps_.pageWidth << "x" << caps_.pageHeight << ", offset "
         << caps_.physicalOffsetX << "," << caps_.physicalOffsetY << "\n";
    out_ << "page 1\n";
}

void TracePrinter::NewPage() {
    if (!printing_) throw PrinterError("Nowa strona poza dokumentem");
    out_ << "page " << ++page_ << "\n";
}

void TracePrinter::EndDoc() {
    if (!printing_) throw PrinterError("Koniec dokumentu poza dokumentem");
    printing_ = false;
    out_ << "end, " << page_ << (page_ == 1 ? " page\n" : " pages\n");
}

void TracePrinter::AbortDoc() {
    if (!printing_) return;
    printing_ = false;
    out_ << "aborted\n";
}

void TracePrinter::TextOut(int x, int y, const TFontDesc& font, ByteView text) {
    if (!printing_) throw PrinterError("Tekst poza dokumentem");
    std::string style;
    if (font.weight >= 700) style += " bold";
    if (font.italic) style += " italic";
    if (font.underline) style += " underline";
    if (font.strikeOut) style += " strikeout";
    if (font.outline) style += " outline";
    out_ << "  text " << x << "," << y << " cell " << font.width << "x" << font.height;
    if (font.escapement != 0) out_ << " escapement " << font.escapement;
    out_ << style << " charset " << int(font.charset) << " "
         << QuoteText(ToUtf8(CodePageForCharset(font.charset), text)) << "\n";
}

void TracePrinter::StretchDraw(const TRect& rect, const IPicture& picture) {
    if (!printing_) throw PrinterError("Obraz poza dokumentem");
    out_ << "  picture " << picture.Width() << "x" << picture.Height() << " into " << rect.left
         << "," << rect.top << " - " << rect.right << "," << rect.bottom << "\n";
}

void TracePrinter::DrawBitmap(const TRect& rect, const TBitmap& bitmap) {
    if (!printing_) throw PrinterError("Obraz poza dokumentem");
    std::size_t dots = 0;
    for (std::uint8_t b : bitmap.bits) dots += static_cast<std::size_t>(__builtin_popcount(b));
    out_ << "  bitmap " << bitmap.width << "x" << bitmap.height << " (" << dots << " dots) into "
         << rect.left << "," << rect.top << " - " << rect.right << "," << rect.bottom << "\n";
}

void TracePrinter::DrawColorBitmap(const TRect& rect, const TBitmap& bitmap, TColor color) {
    DrawBitmap(rect, bitmap);
    out_ << "    colour " << int{color.red} << "," << int{color.green} << "," << int{color.blue}
         << "\n";
}

void TracePrinter::FillRects(std::span<const TRect> rects, std::uint8_t ink) {
    if (!printing_) throw PrinterError("Kształt poza dokumentem");
    out_ << "  fill";
    if (ink != 255) out_ << " ink " << int(ink);
    for (const TRect& r : rects) {
        out_ << " " << r.left << "," << r.top << "-" << r.right << "," << r.bottom;
    }
    out_ << "\n";
}

void TracePrinter::SetColour(std::uint32_t rgb) {
    // Written when it changes: a printout in black traces as it always did.
    if (rgb == colour_) return;
    colour_ = rgb;
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
    out_ << "  colour " << text << "\n";
}

int TracePrinter::RawOpen(const std::string& printerName, const std::string& documentName) {
    out_ << "raw document \"" << documentName << "\" on " << printerName << "\n";
    return 0;
}

std::size_t TracePrinter::RawWrite(ByteView data) {
    out_ << "  raw " << data.size() << " B:" << SequenceToText(data) << "\n";
    return data.size();
}

void TracePrinter::RawClose() {
    out_ << "raw end\n";
}

}  // namespace quernel
