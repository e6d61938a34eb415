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

void ExplainPrintout(ByteView data, const TEscapeSequences& userTable, const TCharMapRecord& map,
                     bool ignorePcl, const ExplainSink& sink) {
    TEscapeSequences table;
    table.LoadDefaultSequences();
    table.AddSequences(userTable);
    table.SortSequences();
    TSequenceMatcher matcher(table, data, ignorePcl);
    const auto& codePage = CodePageTable(CharsetAt(map.CharsetIndex).codePage);

    // The printable run being collected; control codes go out at once.
    ExplainItem run;
    const auto flushRun = [&] {
        if (run.bytes.empty()) return;
        sink(run);
        run.bytes.clear();
        run.text.clear();
    };
    ExplainItem code;
    std::size_t p = 0;
    while (p < data.size()) {
        const TMatch match = matcher.Match(p);
        const ByteView bytes = data.subspan(p, match.length);
        if (match.meaning == meaning::kPrintable) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (run.bytes.size() >= kMaxExplainRun) flushRun();
                if (run.bytes.empty()) run.offset = p + i;
                run.bytes.push_back(bytes[i]);
                AppendUtf8(run.text, codePage[map.Map[bytes[i]]]);
            }
        } else {
            flushRun();
            code.offset = p;
            code.bytes.assign(bytes.begin(), bytes.end());
            code.meaning = match.meaning;
            sink(code);
        }
        p += match.length;
    }
    flushRun();
}

std::vector<ExplainItem> ExplainPrintout(ByteView data, const TEscapeSequences& userTable,
                                         const TCharMapRecord& map, bool ignorePcl) {
    std::vector<ExplainItem> items;
    ExplainPrintout(data, userTable, map, ignorePcl,
                    [&items](const ExplainItem& item) { items.push_back(item); });
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
