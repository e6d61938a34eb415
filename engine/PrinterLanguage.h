#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/CommandSet.h"
#include "engine/EscapeSequences.h"
#include "engine/PrinterPlatform.h"
#include "host/Bytes.h"

namespace quernel {

// What a printer language does on the page, in the terms of the printer it comes from.
// Distances are inches. The renderer puts them on its grid, where a character cell at 10 CPI
// is 1/10 inch and a line 1/6 inch, so pictures and text keep their places relative to each
// other on any grid and any paper.
class IPage {
  public:
    virtual ~IPage() = default;

    // Carries out a meaning of the control-code table, exactly as the table's own entry would.
    virtual void Apply(TSequenceMeaning m) = 0;
    // Carries out a control code as if it stood alone in the printout: the table's meaning
    // when the table knows it, the language's otherwise.
    virtual void ControlCode(std::uint8_t code) = 0;

    // Prints the bytes as characters through the character map at the print position; with
    // italic, in italics whatever the style.
    virtual void Print(ByteView bytes, bool italic = false) = 0;
    // Prints a character of the printer's own character set in the cell of one byte.
    virtual void PrintCharacter(char32_t ch) = 0;
    // Prints a picture as one character, a user-defined one: in the next cell, `width` x
    // `height` inches at normal size (double width and height enlarge it), its top at the top
    // of the line; the print position moves on by a cell.
    virtual void PrintPicture(const TBitmap& bitmap, double width, double height) = 0;

    // The print position along the line, inches from the left margin.
    virtual double Along() = 0;
    virtual void MoveAlong(double inches) = 0;
    // The print position down the page (the top of the current line), inches from the top.
    virtual double Down() = 0;
    // Moves there on the current page, kept inside the page.
    virtual void MoveDown(double inches) = 0;
    // Feeds the paper (like a line feed, back to the left margin): a page filled by it starts
    // a new sheet before the next drawing.
    virtual void Feed(double inches) = 0;

    // Where lines end: the right margin, inches from the left margin.
    virtual double LineEnd() = 0;
    // The right margin, inches from the left edge of the grid; 0: the grid's width, which is
    // also the most it can be.
    virtual void SetRightMargin(double inches) = 0;
    // Whether a character that does not fit before the right margin goes to the left margin of
    // the next line, as a printer breaks a line that is too long; off until a language says.
    virtual void SetLineWrap(bool on) = 0;
    // Where printing ends down the page (the page length less the part skipped at its foot),
    // inches from the top.
    virtual double PageEnd() = 0;

    virtual double LineSpacing() = 0;
    virtual void SetLineSpacing(double inches) = 0;
    // The width of a character cell in characters per inch (double width not counted).
    virtual double Pitch() = 0;
    virtual void SetPitch(double cpi) = 0;
    // Space added after every character.
    virtual void SetExtraSpace(double inches) = 0;
    virtual void SetStyle(std::uint8_t fontStyleBit, bool on) = 0;
    // The typeface: an installed family of the kind; the configured font for none, and where
    // no family of the kind is installed.
    virtual void SetTypeface(std::optional<TFontKind> kind) = 0;
    // The size of the letters in points, on the baseline of the grid's letters; 0: the grid's
    // own (a line of 1/6 inch holds letters of 10.5 points).
    virtual void SetPointSize(double points) = 0;
    // Proportional spacing: each letter moves the print position on by its own width in the
    // font (at the size in force) instead of by the pitch.
    virtual void SetProportional(bool on) = 0;
    // A line drawn with the letters: `place` 1 under them, 2 through, 3 over them; `kind` 0
    // none, 1 single, 2 double, 5 single broken, 6 double broken (bit 0 single, bit 1 double,
    // bit 2 broken).
    virtual void SetScoreLine(int place, int kind) = 0;
    // Characters twice as high, on the same baseline (the line above holds their upper half).
    virtual void SetDoubleHeight(bool on) = 0;
    // The colour of the ribbon (0xRRGGBB): text and graphics print in it. Black after a reset.
    virtual void SetColour(std::uint32_t rgb) = 0;
    // The left margin, inches from the left edge of the grid.
    virtual void SetLeftMargin(double inches) = 0;
    // The length of a page (0: the grid's) and the part at its foot that is skipped.
    virtual void SetPageLength(double inches) = 0;
    virtual void SetBottomSkip(double inches) = 0;

    // Draws the picture with its top-left corner `along` inches from the left margin and
    // `down` inches from the top of the page, `width` x `height` inches large. The print
    // position does not move.
    virtual void DrawPicture(const TBitmap& bitmap, double along, double down, double width,
                             double height, TColor color = {}) = 0;
};

// What a language read at one place of a printout.
struct TLanguageStep {
    std::size_t length = 1;   // bytes read, at least 1
    std::size_t payload = 0;  // data at the end of a command (pictures, fonts), for --explain
    bool text = false;        // printable bytes, printed as characters
    char32_t character = 0;   // text: the printer's own character printed for the byte, or 0
    std::string_view name;    // a command: what it is, for --explain
};

// A printer's command language, read where the control-code table knows nothing. It keeps the
// printer's state for one printout.
class IPrinterLanguage {
  public:
    virtual ~IPrinterLanguage() = default;

    // Called once before the printout is read, on the page it prints on.
    virtual void Begin(IPage&) {}
    // Reads what starts at data[p]: a command, carried out on the page when there is one (for
    // --explain there is none), or text, printed there.
    virtual TLanguageStep Step(ByteView data, std::size_t p, IPage* page) = 0;
    // The printer's own state back to its defaults (a printer reset).
    virtual void Reset() = 0;
    // The tab stop after `along` (inches from the left margin); negative when there is none.
    virtual double NextTab(double along, IPage& page) = 0;
    // Draws what the language has collected and not drawn yet (pictures built row by row);
    // called before the table's meanings act on the page and at the end of the printout.
    virtual void Flush(IPage&) {}
    // Called when a page with something on it ends, before the next begins or the printout
    // ends, with the position at the top of that page (PCL's overlay macro prints there).
    virtual void EndPage(IPage&) {}
    // What printouts read with this language are called in --explain: "ESC/P", "PCL".
    virtual std::string_view Family() const = 0;
    // A command the language reads even where the control-code table knows its bytes: one
    // that the printer carries out otherwise than the table's meaning says. The shipped table
    // ignores a lone CR and reads ESC E as ESC/P's bold, while a printer returns the carriage
    // and every PCL job opens with ESC E as the reset.
    virtual bool ReadsBeforeTable(ByteView, std::size_t) const { return false; }
};

// The control codes every printer language has: backspace, tab, line feed, form feed and
// carriage return, carried out (when there is a page) as the table's meanings would be. A
// step named for --explain; nothing for another code.
std::optional<TLanguageStep> SharedControlCode(std::uint8_t code, IPage* page);

// What the table reads at data[p] before the language does, so that printing and --explain
// read a printout alike: a sequence it knows, unless the language reads it first.
// Inline: it runs for every byte.
inline std::optional<TMatch> MatchBeforeLanguage(const IPrinterLanguage& language,
                                                 const TSequenceMatcher& matcher, ByteView data,
                                                 std::size_t p) {
    if (language.ReadsBeforeTable(data, p)) return std::nullopt;
    return matcher.MatchKnown(p);
}

// The language a printout is read with beyond the table; nothing for the table alone. An
// automatic choice looks at the printout.
std::unique_ptr<IPrinterLanguage> MakePrinterLanguage(TCommandSet set, ByteView data);

}  // namespace quernel
