#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/Bytes.h"

namespace quernel {

class IPicture;

// A failure of the printing platform: no printer, an invalid index, a driver or queue error.
class PrinterError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The document reached the printer's queue but waits there (a stopped queue): worth telling,
// but nothing of it is lost.
class PrinterHeldError : public PrinterError {
  public:
    using PrinterError::PrinterError;
};

struct TPoint {
    int x = 0;
    int y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const TRect&) const = default;
};

// Device metrics of the current printer, in device pixels.
struct TDeviceCaps {
    int pageWidth = 0;   // printable width
    int pageHeight = 0;  // printable height
    int dpiX = 0;        // pixels per inch
    int dpiY = 0;
    int physicalOffsetX = 0;  // the unprintable strip at the left and top of the sheet
    int physicalOffsetY = 0;
    bool operator==(const TDeviceCaps&) const = default;
};

namespace font_style {
inline constexpr std::uint8_t kBold = 1;
inline constexpr std::uint8_t kItalic = 2;
inline constexpr std::uint8_t kUnderline = 4;
inline constexpr std::uint8_t kStrikeOut = 8;
// Letters drawn as their outline, and with a shadow to their lower right (printer languages).
inline constexpr std::uint8_t kOutline = 16;
inline constexpr std::uint8_t kShadow = 32;
}  // namespace font_style

// The kinds of typeface a printer language asks for, each drawn with an installed family of
// that kind.
enum class TFontKind { kSerif, kSans, kMono, kScript };

// A 1-bit picture: `height` rows of `stride` bytes each, the leftmost dot of a row in the
// highest bit of its first byte. A set bit is a dot of ink; a clear bit leaves what is under it.
struct TBitmap {
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes per row: (width + 7) / 8
    Bytes bits;

    // A picture of the size without ink.
    static TBitmap Blank(int width, int height);
    bool Dot(int x, int y) const {
        return (bits[static_cast<std::size_t>(y) * stride + x / 8] >> (7 - x % 8)) & 1;
    }
    void SetDot(int x, int y) {
        bits[static_cast<std::size_t>(y) * stride + x / 8] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    std::uint8_t* Row(int y) { return bits.data() + static_cast<std::size_t>(y) * stride; }
    // The smallest rectangle holding all the ink: false when there is none.
    bool InkBounds(int& left, int& top, int& right, int& bottom) const;  // right, bottom inclusive
    TBitmap Crop(int left, int top, int width, int height) const;
    // Turned 90 degrees clockwise: the top row becomes the right column.
    TBitmap TurnedClockwise() const;
    const std::uint8_t* Row(int y) const {
        return bits.data() + static_cast<std::size_t>(y) * stride;
    }
    bool operator==(const TBitmap&) const = default;
};

// A colour: red, green and blue, 0..255 each; black by default.
struct TColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const TColor&) const = default;
};

inline constexpr std::uint32_t kBlack = 0x000000;

// A font as the renderer asks for it: a character cell of exactly height x width pixels.
struct TFontDesc {
    std::string faceName;
    int height = 0;  // cell height (ascent + descent), pixels
    int width = 0;   // average character width, pixels
    // The exact distance from one character to the next along the line (the renderer places
    // characters at truncated multiples of it), for back ends that lay out whole lines;
    // 0 means width.
    double advance = 0;
    int escapement = 0;  // tenths of a degree; -900 = text rotated 90 degrees clockwise
    int orientation = 0;
    int weight = 400;  // 700 = bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool outline = false;  // the letters' outline stroked, not filled
    // With width 0: the letters at their natural width times this (2: double width); 0 is 1.
    double stretch = 0;
    std::uint8_t charset = 1;  // font character-set value (see CharsetTable)
    std::uint8_t pitch = 2;    // 0 default, 1 variable, 2 fixed
    bool operator==(const TFontDesc&) const = default;
};

// Where a document is on its way to the printer, told as it happens, so that the caller can
// record each step before the next one: a program stopped between two steps then leaves
// enough to know at its next start whether the document reached the printer.
class IDeliveryListener {
  public:
    virtual ~IDeliveryListener() = default;
    // The print system created job `job` on `queue` for the document; nothing of the document
    // was sent yet.
    virtual void JobCreated(const std::string& queue, int job) = 0;
    // The document is complete and will be renamed into place as this file next.
    virtual void FileChosen(const std::filesystem::path& path) = 0;
};

// What the print engine needs of the printing platform. One process-wide current printer;
// everything that prints uses it. Failures raise PrinterError.
class IPrinterPlatform {
  public:
    virtual ~IPrinterPlatform() = default;

    // Printer names in the platform's order. The list is read when the platform starts and
    // again at each RefreshPrinters; in between it does not change.
    virtual std::vector<std::string> Printers() = 0;
    virtual void RefreshPrinters() = 0;

    // The current printer's index; -1 only when there is no printer at all. Setting -1 selects
    // the default printer (reading the index afterwards gives its index). Refused while a
    // document is being printed, and for an index outside the list.
    virtual int PrinterIndex() = 0;
    virtual void SetPrinterIndex(int index) = 0;

    virtual std::string Title() = 0;
    virtual void SetTitle(const std::string& title) = 0;
    virtual int Copies() = 0;
    virtual void SetCopies(int copies) = 0;

    // A document is being printed: from BeginDoc to EndDoc or AbortDoc.
    virtual bool Printing() = 0;
    // Opens a document titled Title() with its first page.
    virtual void BeginDoc() = 0;
    virtual void NewPage() = 0;
    // Hands the document to the printer.
    virtual void EndDoc() = 0;
    // Drops the document being printed, if any; never throws.
    virtual void AbortDoc() = 0;

    virtual TDeviceCaps DeviceCaps() = 0;
    // The font families the current printer offers.
    virtual std::vector<std::string> Fonts() = 0;
    // The installed family of a kind of typeface; empty when none is installed (the configured
    // font then stays).
    virtual std::string FamilyOf(TFontKind) { return {}; }
    // How far a character moves the print position on in proportional spacing: the advance of
    // the byte's glyph in the font, device pixels; the cell width where the platform cannot
    // measure.
    virtual double Advance(const TFontDesc& font, std::uint8_t byte) {
        (void)byte;
        if (font.width > 0) return font.width;
        return 0.5 * font.height * (font.stretch > 0 ? font.stretch : 1);
    }

    // Canvas of the open document.
    virtual void SetBkModeTransparent() = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual TPoint PenPos() = 0;
    // Draws the bytes, read in the font's charset, with the top-left of the first cell at
    // (x, y); consecutive characters one cell width apart along the text's direction.
    virtual void TextOut(int x, int y, const TFontDesc& font, ByteView text) = 0;
    // Draws the picture scaled into the rectangle.
    virtual void StretchDraw(const TRect& rect, const IPicture& picture) = 0;
    // Draws the bitmap scaled into the rectangle (right and bottom exclusive): its dots of ink
    // in black, the rest transparent, so that text and pictures under it stay visible.
    virtual void DrawBitmap(const TRect& rect, const TBitmap& bitmap) = 0;
    // The same with the dots in a colour; where the platform has no colour, in black.
    virtual void DrawColorBitmap(const TRect& rect, const TBitmap& bitmap, TColor) {
        DrawBitmap(rect, bitmap);
    }
    // Fills the rectangles (right and bottom exclusive) with `ink`, the share of black: 255
    // solid, less for a shade. Rectangles that touch show no seam between them, also when
    // they come in different calls.
    virtual void FillRects(std::span<const TRect> rects, std::uint8_t ink) = 0;
    // The colour of what is drawn from now on (text, bitmaps and fills) as 0xRRGGBB; black
    // (kBlack) when a document begins. A printer that prints black only draws everything black.
    virtual void SetColour(std::uint32_t rgb) = 0;

    // Raw spooling: a document of raw bytes on the named printer. RawOpen answers 0 on
    // success, else the print system's IPP status code (nothing is open then), or raises
    // PrinterError when the platform can say more; RawWrite answers the number of bytes taken;
    // RawClose ends the document and is always called after a successful RawOpen (it raises
    // PrinterError for a document the print system refused or lost).
    virtual int RawOpen(const std::string& printerName, const std::string& documentName) = 0;
    virtual std::size_t RawWrite(ByteView data) = 0;
    virtual void RawClose() = 0;

    // Told of the steps of the documents that follow, drawn or raw; none: nobody is. A platform
    // that delivers nowhere (a trace, a measurement) tells nothing.
    virtual void SetDeliveryListener(IDeliveryListener* listener) { (void)listener; }
    // The next documents go to exactly this file instead of a printer; an empty path goes back
    // to the printers. A platform that cannot write files refuses a path with PrinterError.
    virtual void SetOutputFile(const std::filesystem::path& path) {
        if (!path.empty()) throw PrinterError("This printer cannot write documents into files.");
    }
    // The file the last finished document was written to; empty when it went to a printer.
    virtual std::filesystem::path LastOutputFile() const { return {}; }
    // The folder a printer that writes files (a PDF printer) writes its documents into.
    virtual void SetDocumentFolder(const std::filesystem::path&) {}
};

// The index of the last printer named exactly `name`, or -1 (which selects the default).
int FindPrinterByName(IPrinterPlatform& printer, const std::string& name);

// The name of the current printer; empty when there is none.
std::string CurrentPrinterName(IPrinterPlatform& printer);

}  // namespace quernel
