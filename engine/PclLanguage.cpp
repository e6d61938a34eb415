#include "engine/PclLanguage.h"

#include <algorithm>
#include <cmath>

#include "engine/PclCommand.h"

namespace quernel {

using namespace meaning;
using namespace pcl;

namespace {

constexpr std::size_t kMaxCursorStack = 20;

bool IsParameterised(std::uint8_t b) {
    return b >= 0x21 && b <= 0x2F;
}
bool IsGroup(std::uint8_t b) {
    return b >= 0x60 && b <= 0x7E;
}
bool IsTerminator(std::uint8_t b) {
    return b >= 0x40 && b <= 0x5E;
}
bool IsValueByte(std::uint8_t b) {
    return (b >= '0' && b <= '9') || b == '+' || b == '-' || b == '.';
}

// Commands followed by `value` bytes of data.
bool CarriesData(char parameterised, char group, char parameter) {
    switch (parameterised) {
        case '*':
            return parameter == 'W'
                       ? std::string_view("bcmlvogi").find(group) != std::string_view::npos
                       : group == 'b' && parameter == 'V';
        case '(':
        case ')':
            return parameter == 'W' && (group == 's' || group == 'f');
        case '&':
            return (group == 'p' && parameter == 'X') ||
                   (parameter == 'W' && (group == 'n' || group == 'b'));
        default:
            return false;
    }
}

}  // namespace

TPclEscape ParsePclEscape(ByteView data, std::size_t p,
                          const std::function<void(const TPclCommand&)>& command) {
    const std::size_t size = data.size();
    TPclEscape escape;
    if (p + 1 >= size) return escape;
    const std::uint8_t first = data[p + 1];
    if (first >= 0x30 && first <= 0x7E) {  // a two-character escape
        escape.length = 2;
        escape.valid = true;
        if (command) command({static_cast<char>(first), 0, 0, 0, false, {}});
        return escape;
    }
    if (!IsParameterised(first)) return escape;  // ESC before a control code: the ESC alone
    std::size_t i = p + 2;
    TPclCommand c;
    c.parameterised = static_cast<char>(first);
    if (i < size && IsGroup(data[i])) c.group = static_cast<char>(data[i++]);
    while (i < size) {
        // The value: a sign, digits, a decimal point and more digits, each optional.
        c.value = 0;
        c.relative = false;
        c.data = {};
        bool negative = false;
        if (data[i] == '+' || data[i] == '-') {
            c.relative = true;
            negative = data[i] == '-';
            ++i;
        }
        double scale = 0;
        while (i < size && ((data[i] >= '0' && data[i] <= '9') || (data[i] == '.' && scale == 0))) {
            if (data[i] == '.') {
                scale = 1;
            } else if (scale == 0) {
                c.value = c.value * 10 + (data[i] - '0');
            } else {
                scale /= 10;
                c.value += (data[i] - '0') * scale;
            }
            ++i;
        }
        if (negative) c.value = -c.value;
        if (i >= size) break;
        const std::uint8_t parameter = data[i];
        const bool last = IsTerminator(parameter);
        if (!last && !IsGroup(parameter)) break;  // not PCL: ends where the form breaks
        ++i;
        c.parameter = static_cast<char>(last ? parameter : parameter - 0x20);
        if (CarriesData(c.parameterised, c.group, c.parameter) && c.value > 0) {
            const std::size_t n =
                std::min(static_cast<std::size_t>(std::min(c.value, 1e15)), size - i);
            c.data = data.subspan(i, n);
            escape.payload += n;
            i += n;
        }
        if (command) command(c);
        if (last) {
            escape.valid = true;
            break;
        }
    }
    escape.length = i - p;
    return escape;
}

bool IsPclCommand(ByteView data, std::size_t p) {
    if (p + 1 >= data.size()) return false;
    const std::uint8_t first = data[p + 1];
    if (!IsParameterised(first)) {
        return first == 'E' || first == '9' || first == '=' || first == 'Y' || first == 'Z' ||
               first == 'z';
    }
    return IsPclParameterised(data, p);
}

bool IsPclParameterised(ByteView data, std::size_t p) {
    if (p + 2 >= data.size()) return false;
    if (std::string_view("&*()%").find(static_cast<char>(data[p + 1])) == std::string_view::npos) {
        return false;
    }
    // A value must follow at once or after the group character: ESC/P has commands beginning
    // with these characters, but their parameters are binary.
    const std::size_t at = IsGroup(data[p + 2]) ? p + 3 : p + 2;
    if (at >= data.size() || !IsValueByte(data[at])) return false;
    return ParsePclEscape(data, p, {}).valid;
}

TPclLanguage::TPclLanguage() {
    Reset();
}

bool TPclLanguage::ReadsBeforeTable(ByteView data, std::size_t p) const {
    switch (data[p]) {
        case kEsc:  // the reset
            return p + 1 < data.size() && data[p + 1] == 'E';
        case 0x0D:  // a lone CR; CR LF stays the table's line end
            return p + 1 >= data.size() || data[p + 1] != 0x0A;
        case 0x08:
        case 0x0E:  // SO and SI choose a font, DC2 and DC4 nothing: no pitch or width
        case 0x0F:
        case 0x12:
        case 0x14:
            return true;
        default:
            return false;
    }
}

void TPclLanguage::Reset() {
    unitsPerInch_ = 300;
    leftMargin_ = 0;
    rectWidth_ = rectHeight_ = 0;
    patternId_ = 0;
    currentPattern_ = 0;
    patterns_.clear();
    // Macros are temporary: a reset deletes them, and ends the overlay.
    macroId_ = 0;
    macros_.clear();
    overlay_ = -1;
    raster_ = TRaster();
    cursorStack_.clear();
}

double TPclLanguage::NextTab(double along, IPage& page) {
    // Every 8 columns from the left margin.
    const double stop = 8.0 / page.Pitch();
    return (std::floor(along / stop + kEpsilon) + 1) * stop;
}

double TPclLanguage::CursorY(IPage& page) const {
    return page.Down() + kBaseline;
}

void TPclLanguage::MoveCursorY(IPage& page, double y) const {
    page.MoveDown(y - kBaseline);
}

void TPclLanguage::AddName(std::string_view part) {
    if (!name_.empty()) name_ += ", ";
    name_ += part;
}

TLanguageStep TPclLanguage::Step(ByteView data, std::size_t p, IPage* page) {
    const std::uint8_t b = data[p];
    if (inPjl_) {
        // After a universal exit: "@PJL" lines, blank lines, until the job's language starts.
        if (data.subspan(p).size() >= 4 && data[p] == '@' && data[p + 1] == 'P' &&
            data[p + 2] == 'J' && data[p + 3] == 'L') {
            std::size_t end = p;
            while (end < data.size() && data[end] != '\n') ++end;
            const std::size_t length = std::min(end + 1, data.size()) - p;
            return {length, length - 4, false, 0, "Polecenie PJL"};
        }
        if (b == '\r' || b == '\n') return {1, 0, false, 0, "Koniec linii PJL"};
        inPjl_ = false;
    }
    if (b == kEsc) return Escape(data, p, page);
    if (page) EndRaster(*page);
    if (b < 0x20) {
        if (const auto shared = SharedControlCode(b, page)) return *shared;
        // SO and SI switch between two fonts, which are one here; the rest PCL ignores.
        return {1, 0, false, 0,
                b == 0x0E   ? "Czcionka dodatkowa"
                : b == 0x0F ? "Czcionka podstawowa"
                            : "Pominięty znak sterujący"};
    }
    if (page) page->Print(data.subspan(p, 1));
    return {1, 0, true, 0, {}};
}

TLanguageStep TPclLanguage::Escape(ByteView data, std::size_t p, IPage* page) {
    name_.clear();
    bool hpgl = false, macro = false;
    const TPclEscape escape = ParsePclEscape(data, p, [&](const TPclCommand& c) {
        AddName(PartName(c));
        if (c.parameterised == '%' && c.parameter == 'B') hpgl = true;
        if (c.parameterised == '&' && c.group == 'f' && c.parameter == 'X' && Int(c.value) == 0) {
            macro = true;
        }
        Command(c, page);
    });
    if (!escape.valid) {
        name_ = escape.length == 1 ? "ESC bez polecenia" : "Niepełne polecenie";
        return {escape.length, escape.payload, false, 0, name_};
    }
    std::size_t end = p + escape.length;
    if (hpgl) {
        // HP-GL/2 runs to ESC %#A (back to PCL), a reset or a universal exit, which are read
        // as commands of their own.
        while (end < data.size()) {
            if (data[end] == kEsc && end + 1 < data.size() &&
                (data[end + 1] == 'E' || data[end + 1] == '%')) {
                break;
            }
            ++end;
        }
        name_ = "Grafika wektorowa HP-GL/2 (pominięta)";
    } else if (macro) {
        // A macro's definition, up to ESC &f1X, is kept to be run, not printed.
        const std::size_t body = end;
        std::size_t bodyEnd = data.size();
        bool done = false;
        while (end < data.size() && !done) {
            if (data[end] != kEsc) {
                ++end;
                continue;
            }
            const TPclEscape inner = ParsePclEscape(data, end, [&](const TPclCommand& c) {
                if (c.parameterised == '&' && c.group == 'f' && c.parameter == 'X' &&
                    Int(c.value) == 1) {
                    done = true;
                }
            });
            if (done) bodyEnd = end;
            end += inner.length;
        }
        EndMacroDefinition(data.subspan(body, bodyEnd - body));
        name_ = "Definicja makra";
    }
    const std::size_t length = end - p;
    return {length, escape.payload + (length - escape.length), false, 0, name_};
}

void TPclLanguage::Command(const TPclCommand& c, IPage* page) {
    const char p = c.parameterised, g = c.group, k = c.parameter;
    const double v = c.value;
    if (p == '%' && k == 'X') inPjl_ = true;
    if (p == '&' && g == 'u' && k == 'D' && v > 0) unitsPerInch_ = v;
    if (p == '*' && g == 't' && k == 'R' && v > 0) raster_.resolution = v;
    if (p == '&' && g == 'f' && k == 'Y') macroId_ = Int(v);
    if (p == '&' && g == 'f' && k == 'X') MacroControl(Int(v), page);
    if (p == '*' && g == 'v' && k == 'T') currentPattern_ = Int(v);
    if (p == '*' && g == 'c') {
        if (k == 'G') patternId_ = Int(v);
        if (k == 'W') DefinePattern(c.data);
        if (k == 'A') rectWidth_ = v / unitsPerInch_;
        if (k == 'B') rectHeight_ = v / unitsPerInch_;
        if (k == 'H') rectWidth_ = v / 720;
        if (k == 'V') rectHeight_ = v / 720;
    }
    if (p == '*' && (g == 'b' || g == 'r')) {
        // Methods the printer does not have are ignored, as it ignores them (4 is reserved).
        if (g == 'b' && k == 'M' && (Int(v) <= 3 || Int(v) == 5 || Int(v) == 9)) {
            raster_.compression = std::max(0, Int(v));
        }
        if (g == 'r' && k == 'S') raster_.width = std::max(0, Int(v));
        if (!page) return;
        if (g == 'r' && k == 'A') StartRaster(Int(v) == 1, *page);
        if (g == 'r' && (k == 'B' || k == 'C')) {
            EndRaster(*page);
            if (k == 'C') raster_.compression = 0;
        }
        if (g == 'b' && (k == 'W' || k == 'Y')) RasterRow(c, page);
        return;
    }
    if (!page) {
        if (k == 0 && p == 'E') Reset();
        return;
    }
    IPage& pg = *page;
    if (!(p == '*' && g == 't')) EndRaster(pg);
    const int n = Int(v);
    if (k == 0) {  // two-character escapes
        if (p == 'E') {
            pg.Apply(kResetEject);  // which resets this language too
            pg.SetLineWrap(false);
        }
        if (p == '9') {
            leftMargin_ = 0;
            pg.SetLeftMargin(0);
        }
        if (p == '=') MoveCursorY(pg, CursorY(pg) + pg.LineSpacing() / 2);
        return;
    }
    if (p == '&' && g == 'l') {
        if (k == 'O') pg.Apply(n == 1 || n == 3 ? kLandscape : kPortrait);
        if (k == 'D' && v > 0) pg.SetLineSpacing(1 / v);
        if (k == 'C' && v > 0) pg.SetLineSpacing(v / 48);
        if ((k == 'P' || k == 'F') && v > 0) pg.SetPageLength(v * pg.LineSpacing());
    } else if (p == '&' && g == 'a') {
        const double column = 1 / pg.Pitch();
        if (k == 'C') MoveCursorX(pg, (c.relative ? CursorX(pg) : 0) + v * column);
        if (k == 'H') MoveCursorX(pg, (c.relative ? CursorX(pg) : 0) + v / 720);
        if (k == 'R') {
            MoveCursorY(pg, (c.relative ? CursorY(pg) : kBaseline) + v * pg.LineSpacing());
        }
        if (k == 'V') MoveCursorY(pg, (c.relative ? CursorY(pg) : 0) + v / 720);
        if (k == 'L' && v >= 0) {
            const double x = CursorX(pg);
            leftMargin_ = v * column;
            pg.SetLeftMargin(leftMargin_);
            MoveCursorX(pg, std::max(x, leftMargin_));
        }
    } else if (p == '*' && g == 'p') {
        if (k == 'X') MoveCursorX(pg, (c.relative ? CursorX(pg) : 0) + v / unitsPerInch_);
        if (k == 'Y') MoveCursorY(pg, (c.relative ? CursorY(pg) : 0) + v / unitsPerInch_);
    } else if (p == '&' && g == 'k') {
        if (k == 'H' && v > 0) pg.SetPitch(120 / v);
        if (k == 'S') pg.SetPitch(n == 2 ? 16.67 : n == 4 ? 12 : 10);
    } else if (p == '(' && g == 's') {
        if (k == 'H' && v > 0) pg.SetPitch(v);
        if (k == 'B') pg.Apply(v >= 1 ? kBoldOn : kBoldOff);
        if (k == 'S') pg.Apply(n % 4 == 1 || n % 4 == 2 ? kItalicOn : kItalicOff);
    } else if (p == '&' && g == 's' && k == 'C') {
        pg.SetLineWrap(n == 0);  // end-of-line wrap, off by default
    } else if (p == '&' && g == 'd') {
        pg.Apply(k == '@' ? kUnderlineOff : kUnderlineOn);
    } else if (p == '&' && g == 'p' && k == 'X') {
        pg.Print(c.data);
    } else if (p == '&' && g == 'f' && k == 'S') {
        if (n == 0 && cursorStack_.size() < kMaxCursorStack) {
            cursorStack_.emplace_back(CursorX(pg), CursorY(pg));
        } else if (n == 1 && !cursorStack_.empty()) {
            MoveCursorX(pg, cursorStack_.back().first);
            MoveCursorY(pg, cursorStack_.back().second);
            cursorStack_.pop_back();
        }
    } else if (p == '*' && g == 'c' && k == 'P') {
        FillRectangle(pg, n);
    }
}

}  // namespace quernel
