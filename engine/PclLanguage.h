#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/PrinterLanguage.h"

namespace quernel {

// One command of a PCL escape sequence (ESC, parameterised character, group character, value,
// parameter character; lower-case parameter characters combine several commands into one).
struct TPclCommand {
    char parameterised = 0;  // '&', '*', '(', ...; for a two-character escape its character
    char group = 0;          // 'l', 'a', 's', ...; 0 when there is none
    char parameter = 0;      // in upper case: 'O', 'D', 'W', ...; 0 for a two-character escape
    double value = 0;
    bool relative = false;  // the value was written with a sign
    ByteView data;          // the bytes that follow a data command (W, X, ...)
};

// The extent of the PCL escape at data[p] (data[p] is ESC).
struct TPclEscape {
    std::size_t length = 1;   // the whole escape, its commands' data included
    std::size_t payload = 0;  // the data bytes in it
    bool valid = false;       // well formed: the parameter character that ends it was found
};

// Reads the escape at data[p], handing each command to `command` (which may be empty).
TPclEscape ParsePclEscape(ByteView data, std::size_t p,
                          const std::function<void(const TPclCommand&)>& command);

// Whether the escape at data[p] is a PCL command: a well-formed parameterised escape with a
// value, or one of the two-character escapes PCL has.
bool IsPclCommand(ByteView data, std::size_t p);
// Whether it is a well-formed parameterised PCL escape (ESC &, *, (, ), % with a value), which
// no ESC/P command looks like.
bool IsPclParameterised(ByteView data, std::size_t p);

// HP PCL 5 with the PJL lines before it. Raster graphics and filled rectangles are drawn as
// pictures, macros run; HP-GL/2 vector graphics and fonts are skipped with their data.
class TPclLanguage final : public IPrinterLanguage {
  public:
    TPclLanguage();

    TLanguageStep Step(ByteView data, std::size_t p, IPage* page) override;
    void Reset() override;
    double NextTab(double along, IPage& page) override;
    void Flush(IPage& page) override;
    void EndPage(IPage& page) override;
    std::string_view Family() const override { return "PCL"; }
    // ESC E, the PCL reset; CR, BS, and SO, SI, DC2 and DC4, which the table reads as ESC/P.
    bool ReadsBeforeTable(ByteView data, std::size_t p) const override;

  private:
    struct TRaster {
        bool active = false;
        double resolution = 75;  // dots an inch
        int compression = 0;
        int width = 0;     // dots; 0: as wide as the data
        double along = 0;  // left edge, inches from the left margin
        double down = 0;   // top of the rows being collected, inches from the top
        std::vector<Bytes> rows;
        Bytes seed;  // the last row, for delta rows
    };

    TLanguageStep Escape(ByteView data, std::size_t p, IPage* page);
    void Command(const TPclCommand& c, IPage* page);
    void StartRaster(bool atCursor, IPage& page);
    void RasterRow(const TPclCommand& c, IPage* page);
    void AddRow(Bytes row, IPage& page);
    void AdaptiveBlock(ByteView block, IPage& page);
    void EndRaster(IPage& page);
    void DrawRows(IPage& page);
    // PclRectangles.cpp: filled rectangles and patterns.
    void FillRectangle(IPage& page, int fill);
    void DefinePattern(ByteView data);
    // PclMacros.cpp: macros, run where the printout calls them and as the overlay of every page.
    void EndMacroDefinition(ByteView body);
    void MacroControl(int control, IPage* page);
    void RunMacro(int id, IPage& page);
    // The cursor: x from the left edge of the page, y the baseline, in inches from the top.
    double CursorX(IPage& page) const { return page.Along() + leftMargin_; }
    double CursorY(IPage& page) const;
    void MoveCursorX(IPage& page, double x) const { page.MoveAlong(x - leftMargin_); }
    void MoveCursorY(IPage& page, double y) const;
    // The name of the escape just read, for --explain.
    void AddName(std::string_view part);

    bool inPjl_ = false;
    double unitsPerInch_ = 300;  // ESC &u#D, for ESC *p and rectangles
    double leftMargin_ = 0;      // inches from the left edge of the page
    double rectWidth_ = 0, rectHeight_ = 0;
    int patternId_ = 0;       // ESC *c#G: the shade, the hatch or the user pattern
    int currentPattern_ = 0;  // ESC *v#T
    struct TPattern {
        TBitmap dots;
        double dpi = 300;
    };
    std::map<int, TPattern> patterns_;  // ESC *c#W
    int macroId_ = 0;                   // ESC &f#Y
    std::map<int, ByteView> macros_;    // the bodies, in the printout
    int overlay_ = -1;                  // the macro run at the end of every page
    int macroDepth_ = 0;                // macros running inside each other
    TRaster raster_;
    std::vector<std::pair<double, double>> cursorStack_;
    std::string name_;
};

}  // namespace quernel
