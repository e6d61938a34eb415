#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/CharMap.h"
#include "engine/EscapeSequences.h"

namespace quernel {

// One item of a printout as the renderer sees it: a control code, or a run of printable
// bytes with the text they print as.
struct ExplainItem {
    std::size_t offset = 0;
    Bytes bytes;
    TSequenceMeaning meaning = meaning::kPrintable;
    std::string text;  // printable runs: UTF-8 after the character map and its charset
};

// Splits the printout with the built-in entries under the user table, as a print job does,
// and joins neighbouring printable bytes into runs.
std::vector<ExplainItem> ExplainPrintout(ByteView data, const TEscapeSequences& userTable,
                                         const TCharMapRecord& map, bool ignorePcl);

// "<offset>  <#27 E bytes or quoted text>  <meaning name>"
std::string FormatExplainItem(const ExplainItem& item);

// The UTF-8 text in double quotes, with control characters, quotes and backslashes escaped so
// it stays readable on one line.
std::string QuoteText(const std::string& text);

}  // namespace quernel
