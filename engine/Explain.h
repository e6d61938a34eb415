#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/CharMap.h"
#include "engine/CommandSet.h"
#include "engine/EscapeSequences.h"

namespace quernel {

// One item of a printout as the renderer sees it: a control code of the table, a command of
// the printer language, or a run of printable bytes with the text they print as.
struct ExplainItem {
    std::size_t offset = 0;
    Bytes bytes;  // a command's without its data
    TSequenceMeaning meaning = meaning::kPrintable;
    std::string text;         // printable runs: UTF-8 after the character map and its charset
    std::size_t payload = 0;  // the data bytes of a command, shown as their number
    std::string name{};       // a command of the printer language: what it is, and the language
};

struct ExplainOptions {
    bool ignorePcl = false;
    TCommandSet commands = TCommandSet::kTable;
};

// Receives the items of a printout in order, each as soon as it is complete.
using ExplainSink = std::function<void(const ExplainItem&)>;

// Printable runs longer than this are handed on in pieces of this many bytes, so that a
// printout without control codes needs no more memory than one piece.
inline constexpr std::size_t kMaxExplainRun = 64 * 1024;

// Splits the printout with the built-in entries under the user table and the command set, as
// a print job does, and joins neighbouring printable bytes into runs; each item goes to the
// sink as it is found. Answers a closing hint when the table alone reads the printout and
// escape sequences it does not know are ESC/P or PCL commands ("37 sequences unknown to the
// table are ESC/P commands: try --commands escp"), else an empty text.
std::string ExplainPrintout(ByteView data, const TEscapeSequences& userTable,
                            const TCharMapRecord& map, const ExplainOptions& options,
                            const ExplainSink& sink);

// The same items collected in a list.
std::vector<ExplainItem> ExplainPrintout(ByteView data, const TEscapeSequences& userTable,
                                         const TCharMapRecord& map, bool ignorePcl);

// "<offset>  <#27 E bytes or quoted text>  <meaning name>"; a command's data as "<N bytes>"
// after its bytes, and its name with the language: "Grafika 24-igłowa (ESC/P)".
std::string FormatExplainItem(const ExplainItem& item);

// The UTF-8 text in double quotes, with control characters, quotes and backslashes escaped so
// it stays readable on one line.
std::string QuoteText(const std::string& text);

}  // namespace quernel
