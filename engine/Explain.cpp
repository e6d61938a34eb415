#include "engine/Explain.h"

#include <cstdio>

#include "engine/EscPLanguage.h"
#include "engine/PclLanguage.h"

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

namespace {

constexpr std::uint8_t kEsc = 0x1B;

// Collects printable bytes into runs and hands every item on.
class TItemWriter {
  public:
    TItemWriter(const TCharMapRecord& map, const ExplainSink& sink)
        : map_(map), codePage_(CodePageTable(CharsetAt(map.CharsetIndex).codePage)), sink_(sink) {}

    // A printable byte; `character`, when not 0, is what the printer prints for it.
    void Printable(std::size_t offset, std::uint8_t b, char32_t character = 0) {
        if (run_.bytes.size() >= kMaxExplainRun) FlushRun();
        if (run_.bytes.empty()) run_.offset = offset;
        run_.bytes.push_back(b);
        AppendUtf8(run_.text, character != 0 ? character : codePage_[map_.Map[b]]);
    }
    void Code(std::size_t offset, ByteView bytes, TSequenceMeaning m) {
        FlushRun();
        item_.offset = offset;
        item_.bytes.assign(bytes.begin(), bytes.end());
        item_.meaning = m;
        item_.payload = 0;
        item_.name.clear();
        sink_(item_);
    }
    void Command(std::size_t offset, ByteView bytes, std::size_t payload, std::string_view name,
                 std::string_view family) {
        FlushRun();
        item_.offset = offset;
        item_.bytes.assign(bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(payload));
        item_.payload = payload;
        item_.meaning = meaning::kIgnore;
        item_.name.assign(name);
        item_.name.append(" (").append(family).append(")");
        sink_(item_);
    }
    void FlushRun() {
        if (run_.bytes.empty()) return;
        sink_(run_);
        run_.bytes.clear();
        run_.text.clear();
    }

  private:
    const TCharMapRecord& map_;
    const std::array<char32_t, 256>& codePage_;
    const ExplainSink& sink_;
    ExplainItem run_;
    ExplainItem item_;
};

// Counts the escape sequences the table does not know that ESC/P and PCL know. The data of a
// command counted is not looked into: a picture's bytes are no commands.
class TUnknownEscapes {
  public:
    explicit TUnknownEscapes(ByteView data) : data_(data) {}

    void At(std::size_t p) {
        if (p >= escpFrom_) {
            const TEscPMeasure m = MeasureEscP(data_, p, TPins::k24, kEscPDefaultDensities);
            if (m.known) {
                ++escp_;
                escpFrom_ = p + m.length;
            }
        }
        if (p >= pclFrom_ && IsPclCommand(data_, p)) {
            ++pcl_;
            pclFrom_ = p + ParsePclEscape(data_, p, {}).length;
        }
    }
    std::string Hint() const;

  private:
    ByteView data_;
    std::size_t escp_ = 0, pcl_ = 0;
    std::size_t escpFrom_ = 0, pclFrom_ = 0;
};

std::string TUnknownEscapes::Hint() const {
    if (escp_ == 0 && pcl_ == 0) return {};
    const bool isPcl = pcl_ > 0 && (escp_ == 0 || DetectCommandSet(data_) == TCommandSet::kPcl);
    const std::size_t n = isPcl ? pcl_ : escp_;
    const std::string which = isPcl ? "PCL" : "ESC/P";
    const std::string option = isPcl ? "pcl" : "escp";
    if (n == 1) {
        return "1 sequence unknown to the table is " + std::string(isPcl ? "a " : "an ") + which +
               " command: try --commands " + option;
    }
    return std::to_string(n) + " sequences unknown to the table are " + which +
           " commands: try --commands " + option;
}

}  // namespace

std::string ExplainPrintout(ByteView data, const TEscapeSequences& userTable,
                            const TCharMapRecord& map, const ExplainOptions& options,
                            const ExplainSink& sink) {
    TEscapeSequences table;
    table.LoadDefaultSequences();
    table.AddSequences(userTable);
    table.SortSequences();
    TItemWriter items(map, sink);
    const auto language = MakePrinterLanguage(options.commands, data);
    if (language) {
        // The table first, then the language, as the renderer reads the printout.
        TSequenceMatcher matcher(table, data, false);
        for (std::size_t p = 0; p < data.size();) {
            const auto known = MatchBeforeLanguage(*language, matcher, data, p);
            if (known) {
                const ByteView bytes = data.subspan(p, known->length);
                if (known->meaning == meaning::kPrintable) {
                    for (std::size_t i = 0; i < bytes.size(); ++i) items.Printable(p + i, bytes[i]);
                } else {
                    items.Code(p, bytes, known->meaning);
                }
                p += known->length;
                continue;
            }
            const TLanguageStep step = language->Step(data, p, nullptr);
            const ByteView bytes = data.subspan(p, step.length);
            if (step.text) {
                for (std::size_t i = 0; i < bytes.size(); ++i) {
                    items.Printable(p + i, bytes[i], step.character);
                }
            } else {
                items.Command(p, bytes, step.payload, step.name, language->Family());
            }
            p += step.length;
        }
        items.FlushRun();
        return {};
    }

    TSequenceMatcher matcher(table, data, options.ignorePcl);
    TUnknownEscapes unknown(data);
    for (std::size_t p = 0; p < data.size();) {
        const TMatch match = matcher.Match(p);
        const ByteView bytes = data.subspan(p, match.length);
        if (match.meaning == meaning::kPrintable) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (bytes[i] == kEsc && !matcher.MatchKnown(p + i)) unknown.At(p + i);
                items.Printable(p + i, bytes[i]);
            }
        } else {
            if (data[p] == kEsc && !matcher.MatchKnown(p)) unknown.At(p);
            items.Code(p, bytes, match.meaning);
        }
        p += match.length;
    }
    items.FlushRun();
    return unknown.Hint();
}

std::vector<ExplainItem> ExplainPrintout(ByteView data, const TEscapeSequences& userTable,
                                         const TCharMapRecord& map, bool ignorePcl) {
    std::vector<ExplainItem> items;
    ExplainPrintout(data, userTable, map, {ignorePcl, TCommandSet::kTable},
                    [&items](const ExplainItem& item) { items.push_back(item); });
    return items;
}

std::string FormatExplainItem(const ExplainItem& item) {
    char offset[32];
    std::snprintf(offset, sizeof offset, "%8zu  ", item.offset);
    std::string line = offset;
    std::string shown =
        item.meaning == meaning::kPrintable ? QuoteText(item.text) : SequenceToText(item.bytes);
    if (item.payload > 0) shown += " <" + std::to_string(item.payload) + " bytes>";
    if (!shown.empty() && shown[0] == ' ') shown.erase(0, 1);
    line += shown;
    // Pads by characters, not bytes, so the names line up also after Polish letters.
    std::size_t width = 0;
    for (unsigned char c : shown) width += (c & 0xC0) != 0x80;
    line.append(width < 24 ? 24 - width : 0, ' ');
    line += "  ";
    if (!item.name.empty()) {
        line += item.name;
    } else if (item.meaning < kMeaningCount) {
        line += MeaningName(item.meaning);
    } else {
        line += "Ignoruj (nieznane znaczenie " + std::to_string(item.meaning) + ")";
    }
    return line;
}

}  // namespace quernel
