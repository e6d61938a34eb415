#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/PrinterLanguage.h"

namespace quernel {

namespace escp {
struct TEscPCommand;
}

// The two families of Epson dot-matrix printers: their vertical units and their 8-dot
// graphics differ (9-pin: 1/216 inch feeds, 72 dots an inch down; 24-pin and ESC/P 2: 1/180
// inch feeds, 60 dots an inch down in 8-dot graphics).
enum class TPins { k9, k24 };

// What an ESC/P command is, measured where it starts.
struct TEscPMeasure {
    std::size_t length = 1;   // the whole command, ESC and data included
    std::size_t payload = 0;  // the data at its end
    bool known = false;       // a command of ESC/P or ESC/P 2
    bool complete = true;     // false when the printout ends inside it
};

// The graphics modes of ESC K, L, Y and Z after a printer reset.
inline constexpr std::array<std::uint8_t, 4> kEscPDefaultDensities = {0, 1, 2, 3};

// The length of the ESC/P command at data[p] (data[p] is ESC). `densities` are the graphics
// modes of ESC K, L, Y and Z. A command cut short by the end of the data ends there.
TEscPMeasure MeasureEscP(ByteView data, std::size_t p, TPins pins,
                         const std::array<std::uint8_t, 4>& densities);

// Which family a printout was written for, from the commands only one of them has and from
// the line spacings it sets; 24-pin when nothing tells.
TPins DetectPins(ByteView data);

// Epson ESC/P and ESC/P 2 for 9-pin and 24-pin printers.
class TEscPLanguage final : public IPrinterLanguage {
  public:
    explicit TEscPLanguage(TPins pins);

    void Begin(IPage& page) override;
    TLanguageStep Step(ByteView data, std::size_t p, IPage* page) override;
    void Reset() override;
    double NextTab(double along, IPage& page) override;
    std::string_view Family() const override { return "ESC/P"; }
    void Flush(IPage& page) override;
    // CR, BS, the pitch commands (SI, ESC SI, DC2, ESC M, ESC P: the printer's pitch is one
    // state that every pitch command sets) and ESC x (user-defined characters are drawn in the
    // quality they were defined for).
    bool ReadsBeforeTable(ByteView data, std::size_t p) const override;

    // The character a national set (ESC R n) prints for a byte; 0 when it prints the byte.
    static char32_t NationalCharacter(int country, std::uint8_t byte);

  private:
    TLanguageStep Control(std::uint8_t code, IPage* page);
    TLanguageStep Command(ByteView data, std::size_t p, IPage* page);

    // The parts of the language, each in its own file, carry out their own commands (when
    // there is a page, and what decides how the rest of the printout reads also without one)
    // and answer false for the commands of another part.
    // EscPText.cpp: style, pitch, typefaces, sizes and colour.
    bool TextCommand(const escp::TEscPCommand& cmd, IPage* page);
    // The pitch commands: each selects its pitch (10, 12 or 15 CPI); condensed applies to the
    // pitch in force.
    void SelectPitch(double cpi, IPage& page);
    void Condense(bool on, IPage& page);
    void Proportional(bool on, IPage& page);
    // The kind of the typeface of ESC k; none for draft letters and before any ESC k.
    std::optional<TFontKind> TypefaceKind() const;
    // The kind of an ESC k typeface; none for a typeface the printer does not have.
    static std::optional<TFontKind> KindOf(int typeface);
    // EscPLayout.cpp: line spacing, feeds, positions, tabs, margins, page length.
    bool LayoutCommand(const escp::TEscPCommand& cmd, IPage* page);
    void VerticalTab(IPage& page);
    // EscPGraphics.cpp: bit images and raster graphics.
    bool GraphicsCommand(const escp::TEscPCommand& cmd, IPage* page);
    void Columns(ByteView data, int columns, int mode, IPage& page) const;
    void NineDots(ByteView data, int columns, double dpi, IPage& page) const;
    void Raster(ByteView params, ByteView data, IPage& page) const;
    // EscPTables.cpp: national sets, character tables, the upper control codes; printing a
    // byte of text through them.
    bool TableCommand(const escp::TEscPCommand& cmd, IPage* page);
    TLanguageStep Text(std::uint8_t b, IPage* page);
    // Prints a byte as a character of the table in force, also a control code's byte (ESC ( ^,
    // ESC I 1); answers the printer's own character printed, or 0 for the map's.
    char32_t PrintByte(std::uint8_t b, IPage* page);
    // Whether ESC I 1 makes a control byte print as a character here.
    bool PrintsAsCharacter(std::uint8_t code) const;
    // EscPBarcode.cpp: bar codes (ESC ( B).
    bool BarcodeCommand(const escp::TEscPCommand& cmd, IPage* page);
    void Barcode(const escp::TEscPCommand& cmd, IPage& page);
    // EscPTiffRaster.cpp: ESC/P 2 raster graphics in TIFF mode (ESC . 2), whose binary
    // commands the language reads until their EXIT, the table not looked at.
    bool InTiffMode() const;
    void EnterTiffMode(const escp::TEscPCommand& cmd, IPage* page);
    TLanguageStep TiffStep(ByteView data, std::size_t p, IPage* page);
    void TiffRow(Bytes row, IPage* page);
    void DrawTiffBand(IPage& page);
    // EscPUserCharacters.cpp: characters the printout defines (ESC &, ESC :, ESC %).
    bool UserCharacterCommand(const escp::TEscPCommand& cmd);
    // Prints the user-defined character of a byte where one is in force; false where not.
    bool PrintUserCharacter(std::uint8_t b, IPage* page);

    // Units of the commands that count in printer units.
    double FeedUnit() const { return pins_ == TPins::k9 ? 1.0 / 216 : 1.0 / 180; }
    double AbsoluteUnit() const { return unit_ > 0 ? unit_ : 1.0 / 60; }
    double RelativeUnit() const;
    double ExtendedUnit() const { return unit_ > 0 ? unit_ : 1.0 / 360; }

    TPins pins_;
    std::array<std::uint8_t, 4> densities_{};  // ESC K, L, Y, Z
    double unit_ = 0;                          // ESC ( U; 0 until set
    std::vector<double> tabs_;                 // inches from the left margin
    std::vector<double> verticalTabs_;         // inches from the top
    double pitch_ = 10;                        // ESC P, M, g
    bool condensed_ = false;                   // SI, DC2
    bool proportional_ = false;                // ESC p, ESC X 1, ESC ! 2
    bool hmi_ = false;                         // ESC c: its advance replaces the pitch's
    int typeface_ = -1;                        // ESC k; -1 until chosen
    bool verticalTabsSet_ = false;             // ESC B since the last reset
    int country_ = 0;                          // ESC R
    // A character table: the upper half in italics, the printer's own (the character map's),
    // or a registered one.
    struct TCharTable {
        bool italic = false;
        const std::array<char32_t, 128>* upper = nullptr;
    };
    std::array<TCharTable, 4> tables_{};  // assigned by ESC ( t
    int table_ = 1;                       // selected by ESC t
    bool upperControls_ = false;          // ESC 7, ESC m 4: 128..159 are control codes
    bool printControls_ = false;          // ESC I 1: control bytes print as characters
    // A user-defined character: its dots and its size in inches.
    struct TUserCharacter {
        TBitmap dots;
        double width = 0, height = 0;
    };
    std::array<TUserCharacter, 128> userCharacters_{};  // ESC &; no dots: not defined
    bool userSet_ = false;                              // ESC % 1
    bool draft_ = false;                                // ESC x 0: draft characters
    // The TIFF raster being read: pieces of rows per colour plane, drawn a band at a time.
    struct TTiffRaster {
        struct TPiece {
            int plane;  // 0 black, 1 magenta, 2 cyan, 3 yellow
            int row;    // from the band's first row
            int x;      // dots from the raster's left edge
            Bytes bytes;
        };
        bool active = false;
        double dotDown = 1.0 / 360, dotAlong = 1.0 / 360;  // inches
        double along = 0, down = 0;                        // where the raster starts, inches
        int x = 0, y = 0;                                  // dots from there
        int plane = 0;
        int movxUnit = 8;  // MOVX counts bytes (8 dots) or dots
        int firstRow = 0;  // the band's first row
        std::vector<TPiece> rows;
    };
    TTiffRaster tiff_;
};

}  // namespace quernel
