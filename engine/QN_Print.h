#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/CharMap.h"
#include "engine/CommandSet.h"
#include "engine/DosGraphics.h"
#include "engine/EscapeSequences.h"
#include "engine/PrinterLanguage.h"
#include "engine/PrinterPlatform.h"
#include "host/Bytes.h"

namespace quernel {

class IErrorReport;
class TBackgroundPicture;
class TbwLog;
class TfileLog;

// The print-stream attribute state of one source of printouts, carried from one printout to
// the next when the keep-state setting asks for it.
struct TPrinterStatus {
    bool Enlarged = false;
    bool EnlargedMultiLine = false;
    bool Subscript = false;
    bool Superscript = false;
    std::uint8_t FontStyle = 0;  // font_style bits
    std::uint8_t Pitch = meaning::kCpi10;
    double LineSpacing = 1.0;  // in grid lines; 1.0 = 6 lines per inch

    void ResetStatus() { *this = TPrinterStatus(); }
    bool operator==(const TPrinterStatus&) const = default;
};

// Direct (RAW) printing, a switch of the whole print engine.
struct TRawSettings {
    bool enabled = false;
    std::string initText = "#27 E";  // "#27 E" notation
    bool fixCrLf = true;
    bool endWithFormFeed = true;
    bool useCharMap = false;
};

// What a print job uses of the process: the printer, the logs, the error report and the
// process-wide direct-mode values and background picture.
struct TPrintServices {
    IPrinterPlatform& printer;
    TbwLog& history;
    TfileLog& fileLog;
    IErrorReport& errors;
    const TRawSettings& raw;
    const TBackgroundPicture* background = nullptr;
};

inline constexpr const char* kDefaultDocumentTitle = "Brackwood Quernel";

// The three calls that print one printout, as the file monitor makes them.
class IPrintEngine {
  public:
    virtual ~IPrintEngine() = default;
    // Opens the document under the title ("Brackwood Quernel" when empty).
    virtual void BeginJob(const std::string& title) = 0;
    // Prints data[start..]; with keepState the status carries on from the last printout.
    virtual void PrintData(ByteView data, std::size_t start, bool keepState, bool ignorePcl,
                           TPrinterStatus& status) = 0;
    // Hands the document to the printer.
    virtual void EndJob() = 0;
    // The sheets of the last document; 0 when not known (direct printing).
    virtual int Pages() const { return 0; }
};

// The print engine of one print job: set up, used for exactly one printout, released. It lays
// the printout out on a fixed grid of characters inside the margins and draws it through the
// printer platform; printer errors propagate to the caller. With a command set, what the
// control-code table does not know is read as that printer language (its commands act on the
// page through IPage).
class TPrintInterface final : public IPrintEngine, private IPage {
  public:
    explicit TPrintInterface(TPrintServices& services);

    void SetPage(int mgLeft, int mgTop, int mgRight, int mgBottom, int charsPerLine,
                 int linesPerPage, int charsPerLineHor, int linesPerPageHor, int orientation,
                 int copies);
    void SetOrientation(bool landscape);
    void SetFont(const std::string& name, std::uint8_t pitch, const TCharMapRecord& map);

    // The printer language read beyond the table; the table alone by default.
    void SetCommandSet(TCommandSet set) { commandSet_ = set; }
    TCommandSet CommandSet() const { return commandSet_; }
    // Box lines: the map's DOS graphic characters drawn as themselves, box drawing and blocks
    // as shapes filling their cells (see DosGraphics.h); off by default.
    void SetBoxLines(bool on) { boxLines_ = on; }
    bool BoxLines() const { return boxLines_; }

    void LoadDefaultSequences() { table_.LoadDefaultSequences(); }
    void AddSequence(ByteView sequence, TSequenceMeaning m) { table_.AddSequence(sequence, m); }
    void AddSequences(const TEscapeSequences& table) { table_.AddSequences(table); }

    void BeginJob(const std::string& title) override;
    void PrintData(ByteView data, std::size_t start, bool keepState, bool ignorePcl,
                   TPrinterStatus& status) override;
    void EndJob() override;
    int Pages() const override { return sheets_; }

    // The set-up values, as computed by SetOrientation.
    int LeftPx() const { return leftPx_; }
    int TopPx() const { return topPx_; }
    int RightPx() const { return rightPx_; }
    int BottomPx() const { return bottomPx_; }
    int LineHeight() const { return lineHeight_; }
    int ActiveCharsPerLine() const { return activeCharsPerLine_; }
    int ActiveLinesPerPage() const { return activeLinesPerPage_; }
    bool Landscape() const { return landscape_; }
    int Copies() const { return copies_; }
    const std::string& FontName() const { return fontName_; }
    const TCharMapRecord& CharMap() const { return map_; }
    const TEscapeSequences& Sequences() const { return table_; }
    // The cell width of the last printout's current pitch.
    double CharAdvance() const { return charAdvance_; }

  private:
    // IPage: what a printer language does on the page.
    void Apply(TSequenceMeaning m) override;
    void ControlCode(std::uint8_t code) override;
    void Print(ByteView bytes, bool italic) override;
    void PrintCharacter(char32_t ch) override;
    void PrintPicture(const TBitmap& bitmap, double width, double height) override;
    double Along() override;
    void MoveAlong(double inches) override;
    double Down() override;
    void MoveDown(double inches) override;
    void Feed(double inches) override;
    double LineEnd() override;
    void SetRightMargin(double inches) override;
    void SetLineWrap(bool on) override { wrap_ = on; }
    double PageEnd() override { return (PageLimit() - 1.0) / 6; }
    double LineSpacing() override { return status_->LineSpacing / 6; }
    void SetLineSpacing(double inches) override;
    double Pitch() override { return cpi_; }
    void SetPitch(double cpi) override;
    void SetExtraSpace(double inches) override;
    void SetStyle(std::uint8_t bit, bool on) override;
    // PrintFonts.cpp: typefaces, sizes, proportional spacing, score lines, shadows.
    void SetTypeface(std::optional<TFontKind> kind) override;
    void SetPointSize(double points) override;
    void SetProportional(bool on) override;
    void SetScoreLine(int place, int kind) override;
    void SetDoubleHeight(bool on) override { doubleHeight_ = on; }
    void SetColour(std::uint32_t rgb) override;
    void SetLeftMargin(double inches) override;
    void SetPageLength(double inches) override;
    void SetBottomSkip(double inches) override;
    void DrawPicture(const TBitmap& bitmap, double along, double down, double width, double height,
                     TColor color = {}) override;

    void RenderWithLanguage(ByteView data, std::size_t start);
    // Throws PrinterError when the margins leave no page on the current printer.
    void RequirePrintableArea() const;
    void ApplyMeaning(TSequenceMeaning m, ByteView bytes);
    void DrawRun(ByteView bytes);
    // A run holding graphic characters, in pieces of one kind each.
    void DrawWithGraphics(ByteView bytes);
    // Draws code page 437's box-drawing, block and shade bytes as shapes in their cells.
    void DrawShapes(ByteView bytes);
    // Draws the first `count` bytes of runText_, which are in the charset already; a line too
    // long for the right margin goes on on the next when a language asks for it.
    void DrawText(std::size_t count, std::uint8_t charset) {
        if (proportional_) {
            DrawProportional(count, charset);
        } else if (wrap_) {
            DrawWrapped(count, charset);
        } else {
            DrawMapped(0, count, charset);
        }
    }
    void DrawWrapped(std::size_t count, std::uint8_t charset);
    // Draws the first `count` bytes of runText_ one letter at a time, each moving on by its
    // own width in the font.
    void DrawProportional(std::size_t count, std::uint8_t charset);
    // Sets up runFont_ for the next text and answers how far the cell's top lies from the
    // line's top, pixels across the line (smaller and larger letters keep the baseline).
    int PrepareFont(std::uint8_t charset);
    // What is drawn with the text besides its letters: the shadow (before them) or the score
    // lines (after them), for text from `along` to `end` with its cell's top `top` across.
    void DrawShadow(int x, int y, const TFontDesc& font, ByteView text);
    void DrawScores(double along, double end, int top, int height);
    // The face of the typeface in force.
    void UpdateFace();
    // Starts the next line when a cell `step` pixels wide does not fit before the right margin
    // (and the print position is not at the line's start).
    void WrapFor(double step);
    // Double height takes effect here: not on the first line of a page, with nothing above.
    bool Tall() const { return doubleHeight_ && linePosition_ >= 1.75 - 1e-9; }
    // Draws runText_[from, from + count) in one run.
    void DrawMapped(std::size_t from, std::size_t count, std::uint8_t charset);
    void NewLine();
    void Reset(bool eject);
    void SelectCpi(TSequenceMeaning code);
    // Starts a new sheet when one is due (it runs before every character drawn).
    void EnsurePage() {
        if (pendingNewPage_ || linePosition_ > PageLimit()) NextSheet();
    }
    void NextSheet();
    // Lets the language finish the page (an overlay) once, before the next begins.
    void EndPage();
    void BeginSheet();
    void ToPageOrigin();
    void MoveAlongPx(double along);
    void EndEnlargedLine();
    bool PageHasContent() const { return column_ > 0 || linePosition_ > 1.0 || pictureOnSheet_; }
    double LineStart() const { return (landscape_ ? topPx_ : leftPx_) + marginPx_; }
    // The line position past which a page is full.
    double PageLimit() const { return language_ ? LanguagePageLimit() : activeLinesPerPage_; }
    double LanguagePageLimit() const;
    // Where lines end along the line, in pixels.
    double RightLimitPx() const;
    // Pixels of an inch of the emulated printer: along the line 10 cells at 10 CPI, across it
    // 6 lines.
    double HorizontalInch() const;
    double VerticalInch() const { return 6.0 * lineHeight_; }
    // The pen where the line position puts the current line (printer languages only).
    void PlacePen();
    void ResetLanguageLayout();

    TPrintServices& services_;
    IPrinterPlatform& printer_;

    int leftPx_ = 0, topPx_ = 0, rightPx_ = 0, bottomPx_ = 0;
    int mgLeft_ = 0, mgTop_ = 0, mgRight_ = 0, mgBottom_ = 0;
    int copies_ = 1;
    int activeCharsPerLine_ = 80, activeLinesPerPage_ = 67;
    int charsPerLine_ = 80, linesPerPage_ = 67;
    int charsPerLineHor_ = 120, linesPerPageHor_ = 46;
    TDeviceCaps caps_;
    std::string pageProblem_;  // why the page cannot be used; empty when it can
    int lineHeight_ = 0;
    std::string fontName_ = "Arial Narrow";
    std::uint8_t fontPitch_ = 2;
    TCharMapRecord map_ = TCharMapRecord::Identity();
    bool boxLines_ = false;
    // The map's graphic characters while a printout is drawn: all kNone without box lines.
    std::array<TGraphic, 256> graphics_{};
    TEscapeSequences table_;
    bool landscape_ = false;

    // State of the printout being rendered.
    int sheets_ = 0;
    TPrinterStatus* status_ = nullptr;
    std::uint8_t canvasStyle_ = 0;
    bool pendingNewPage_ = false;
    double linePosition_ = 1.0;
    int column_ = 0;
    double alongPos_ = 0;
    double charAdvance_ = 0;
    TFontDesc runFont_;
    std::uint8_t mapCharset_ = 1;  // the charset value of the map, for every run
    Bytes runText_;

    // Printer languages.
    TCommandSet commandSet_ = TCommandSet::kTable;
    std::unique_ptr<IPrinterLanguage> language_;
    double cpi_ = 10;          // the current pitch
    double marginPx_ = 0;      // the left margin, added to the line start
    double formLines_ = 0;     // the page length in lines; 0: the grid's
    double skipLines_ = 0;     // lines skipped at the foot of a page
    double extraSpacePx_ = 0;  // added after every character
    double rightMargin_ = 0;   // inches from the grid's left edge; 0: the grid's width
    bool wrap_ = false;        // long lines go on on the next line
    bool doubleHeight_ = false;
    bool pageEnded_ = false;  // the language has finished this sheet
    bool pictureOnSheet_ = false;
    std::uint32_t colour_ = kBlack;
    // Typefaces and sizes (PrintFonts.cpp).
    std::optional<TFontKind> typeface_;                // none: the configured font
    std::array<std::optional<std::string>, 4> faces_;  // the installed family of each kind
    double points_ = 0;                                // 0: the grid's own size
    bool proportional_ = false;
    // Score lines drawn here (under, through, over): the kinds the font's own underline and
    // strike-out lines do not draw.
    std::array<std::uint8_t, 3> scores_{};
    bool scored_ = false;  // one of scores_ is set
};

// Sends the printout to the current printer's queue as raw bytes: the initialisation text,
// the data with line ends repaired and the character map applied as set, and a final form
// feed. A queue that cannot be opened (said by PrintSystemErrorText) or takes only part of the
// bytes (the job is still closed, so that part prints) raises PrinterError.
void PrintRaw(TPrintServices& services, const TPrintInterface& job, ByteView data);

// The bytes PrintRaw sends.
Bytes BuildRawOutput(const TRawSettings& raw, const TCharMapRecord& map, ByteView data);

}  // namespace quernel
