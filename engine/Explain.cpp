#include "engine/Explain.h"

#include <cstdio>

namespace quernel {

std::string QuoteText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

std::vector<ExplainItem> ExplainPrintout(ByteView data, const TEscapeSequences& userTable,
                                         const TCharMapRecord& map, bool ignorePcl) {
    TEscapeSequences table;
    table.LoadDefaultSequences();
    table.AddSequences(userTable);
    table.SortSequences();
    TSequenceMatcher matcher(table, data, ignorePcl);
    const auto& codePage = CodePageTable(CharsetAt(map.CharsetIndex).codePage);

    std::vector<ExplainItem> items;
    std::size_t p = 0;
    while (p < data.size()) {
        const TMatch match = matcher.Match(p);
        const ByteView bytes = data.subspan(p, match.length);
        const bool printable = match.meaning == meaning::kPrintable;
        if (!printable || items.empty() || items.back().meaning != meaning::kPrintable) {
            items.push_back({p, {}, match.meaning, {}});
        }
        ExplainItem& item = items.back();
        item.bytes.insert(item.bytes.end(), bytes.begin(), bytes.end());
        if (printable) {
            for (std::uint8_t b : bytes) AppendUtf8(item.text, codePage[map.Map[b]]);
        }
        p += match.length;
    }
    return items;
}

std::string FormatExplainItem(const ExplainItem& item) {
    char offset[32];
    std::snprintf(offset, sizeof offset, "%8zu  ", item.offset);
    std::string line = offset;
    std::string shown =
        item.meaning == meaning::kPrintable ? QuoteText(item.text) : SequenceToText(item.bytes);
    if (!shown.empty() && shown[0] == ' ') shown.erase(0, 1);
    line += shown;
    // Pads by characters, not bytes, so the names line up also after Polish letters.
    std::size_t width = 0;
    for (unsigned char c : shown) width += (c & 0xC0) != 0x80;
    line.append(width < 24 ? 24 - width : 0, ' ');
    line += "  ";
    if (item.meaning < kMeaningCount) {
        line += MeaningName(item.meaning);
    } else {
        line += "Ignoruj (nieznane znaczenie " + std::to_string(item.meaning) + ")";
    }
    return line;
}

}  // namespace quernel
