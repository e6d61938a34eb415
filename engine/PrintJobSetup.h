#pragma once

#include <optional>
#include <string>

#include "engine/CharMap.h"
#include "engine/EscapeSequences.h"
#include "engine/PrinterPlatform.h"
#include "engine/QN_Picture.h"
#include "engine/QN_Print.h"

namespace quernel {

inline bool operator==(const TRawSettings& a, const TRawSettings& b) {
    return a.enabled == b.enabled && a.initText == b.initText && a.fixCrLf == b.fixCrLf &&
           a.endWithFormFeed == b.endWithFormFeed && a.useCharMap == b.useCharMap;
}

// Everything a print job is set up from, as one value: the page and grid, the font, the
// character map and control-code table, the printer language and the direct-mode values, the
// background picture and the attribute state the printout starts from. A printout kept with
// the set-up it printed with renders again exactly as it printed.
struct TPrintJobSetup {
    int mgLeft = 5, mgTop = 5, mgRight = 5, mgBottom = 5;
    int charsPerLine = 80, linesPerPage = 67;
    int charsPerLineHor = 120, linesPerPageHor = 46;
    int orientation = 0;  // 0 the printer's own, 1 landscape, 2 portrait
    int copies = 1;
    std::string font;  // empty: the engine's default
    TCharMapRecord charMap = TCharMapRecord::Identity();
    // The table laid over the built-in entries.
    TEscapeSequences sequences;
    int commandSet = 0;  // the CommandSet setting
    bool ignorePcl = false;
    bool boxLines = false;  // the BoxLines setting
    TRawSettings raw;
    // The background picture, drawn when `background` is on and the file loads.
    bool background = false;
    std::string backgroundPath;
    int picLeft = 5, picRight = 5, picTop = 5, picBottom = 5;
    // The attribute state carried over from the file's last printout; none: the reset state.
    std::optional<TPrinterStatus> startStatus;
    // The printer's sheet at print time, for drawing the pages again without that printer.
    TDeviceCaps caps;

    bool operator==(const TPrintJobSetup&) const = default;

    // Sets the engine up as a print job of the monitoring loop does.
    void ApplyTo(TPrintInterface& job) const;

    // Key-value lines ("mgLeft=5"), one a line, that FromText reads back; values without line
    // breaks.
    std::string ToText() const;
    // Reads what ToText wrote: keys it does not know are skipped, missing ones keep their
    // defaults; nothing when a value is malformed.
    static std::optional<TPrintJobSetup> FromText(std::string_view text);
};

// What printing with a set-up of its own needs of the process besides the printer.
struct TSetupPrintServices {
    IPrinterPlatform& printer;
    IPictureLoader& pictures;
    TbwLog& history;
    TfileLog& fileLog;
    IErrorReport& errors;
};

// Prints the data as one document titled `title` with the set-up on the platform's current
// printer: its own direct-mode values and background picture, not the process's. Answers the
// sheets printed (0 for direct printing). Printer errors propagate, no document left open.
int PrintWithSetup(const TPrintJobSetup& setup, ByteView data, const std::string& title,
                   TSetupPrintServices services);

}  // namespace quernel
