#pragma once

// Quernel writes its PDF files itself rather than through Qt PrintSupport's PDF engine, the
// one deliberate exception to printing through Qt: Qt writes a positioned text operator for
// every glyph and compresses every page at zlib's default level, so a 1000-page printout took
// seconds and about 9 KB per page, and offers no setting for either. Here a line of text is
// one TJ array per style with a byte per glyph, fonts are embedded as subsets, and each page
// goes to the file when it is done.
// The fonts come from a font source: Qt's in the program, fontconfig and FreeType in the CUPS
// filter.

#include <memory>
#include <span>
#include <string>

#include "engine/PrinterPlatform.h"
#include "host/Clock.h"
#include "platform/FontSource.h"
#include "platform/PdfImage.h"
#include "platform/PdfWriter.h"

namespace quernel {

// The sheet of every page and how device pixels lie on it.
struct TPdfPageSetup {
    double paperWidth = 0;  // points
    double paperHeight = 0;
    int dpiX = 600;  // device pixels per inch
    int dpiY = 600;
    int offsetX = 0;  // device pixels from the sheet's left and top edges to the drawing origin
    int offsetY = 0;
};

// A PDF document drawn the way the renderer draws on a printer: device pixels, y growing
// downward, from the printable area's top-left corner. Text sits on the character-cell grid
// of the font source's cell fonts, as QtPageCanvas draws it. Pages are written to the sink as they
// are finished; fonts (subsets of the glyphs used) and the page tree at Finish. Write
// failures raise PrinterError; the caller then drops the output.
class TPdfDocument {
  public:
    // Starts the document with its first page. `target` names the destination in messages;
    // `fonts` must outlive the document.
    TPdfDocument(TPdfWriter::TSink sink, std::string target, const TPdfPageSetup& setup,
                 IFontSource& fonts, const std::string& title, const LocalDateTime& created);
    ~TPdfDocument();
    TPdfDocument(const TPdfDocument&) = delete;
    TPdfDocument& operator=(const TPdfDocument&) = delete;

    void NewPage();
    // (x, y) is the top-left of the first character cell; escapement -900 turns the text 90
    // degrees clockwise about that point. Bytes are read in the font's charset; blanks and
    // control characters draw nothing but take their cell.
    void TextOut(int x, int y, const TFontDesc& font, ByteView text);
    // Draws the picture scaled into the rectangle (right and bottom exclusive). A picture is
    // stored once however often it is drawn; its streams are written as they were made.
    void DrawImage(const TRect& rect, const std::shared_ptr<const TPdfImage>& image);
    // Draws the bitmap's ink in black scaled into the rectangle, the rest transparent; stored
    // as a compressed 1-bit stencil, once however often the same bitmap is drawn.
    void DrawBitmap(const TRect& rect, const TBitmap& bitmap, TColor color = {});
    // Fills the rectangles (right and bottom exclusive) with `ink`, the share of black (255
    // solid). The rectangles of a page are filled together as one shape per ink between the
    // pictures, so that touching ones show no seam in a viewer that smooths edges.
    void FillRects(std::span<const TRect> rects, std::uint8_t ink);
    // The colour (0xRRGGBB) of the text, bitmaps and fills drawn from now on.
    void SetColour(std::uint32_t rgb);
    // Ends the last page and writes the fonts, the page tree and the cross-reference table.
    void Finish();

    int PageCount() const;

  private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

}  // namespace quernel
