#include "engine/PrintJobSetup.h"

#include <charconv>
#include <functional>
#include <map>
#include <string_view>

namespace quernel {

namespace {

constexpr char kHex[] = "0123456789abcdef";

std::string Hex(ByteView bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<Bytes> FromHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

std::optional<int> Int(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> Real(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The status as "<flags> <style> <pitch> <line spacing>".
std::string StatusText(const TPrinterStatus& s) {
    const int flags = (s.Enlarged ? 1 : 0) | (s.EnlargedMultiLine ? 2 : 0) | (s.Subscript ? 4 : 0) |
                      (s.Superscript ? 8 : 0);
    char spacing[32];
    const auto end = std::to_chars(spacing, spacing + sizeof spacing, s.LineSpacing).ptr;
    return std::to_string(flags) + ' ' + std::to_string(s.FontStyle) + ' ' +
           std::to_string(s.Pitch) + ' ' + std::string(spacing, end);
}

std::optional<TPrinterStatus> StatusFromText(std::string_view text) {
    std::string_view parts[4];
    for (int i = 0; i < 4; ++i) {
        const std::size_t space = text.find(' ');
        parts[i] = i == 3 ? text : text.substr(0, space);
        if (i < 3) {
            if (space == std::string_view::npos) return std::nullopt;
            text.remove_prefix(space + 1);
        }
    }
    const auto flags = Int(parts[0]);
    const auto style = Int(parts[1]);
    const auto pitch = Int(parts[2]);
    const auto spacing = Real(parts[3]);
    if (!flags || !style || !pitch || !spacing || *style < 0 || *style > 255 || *pitch < 0 ||
        *pitch >= kMeaningCount || !(*spacing > 0)) {
        return std::nullopt;
    }
    TPrinterStatus s;
    s.Enlarged = (*flags & 1) != 0;
    s.EnlargedMultiLine = (*flags & 2) != 0;
    s.Subscript = (*flags & 4) != 0;
    s.Superscript = (*flags & 8) != 0;
    s.FontStyle = static_cast<std::uint8_t>(*style);
    s.Pitch = static_cast<std::uint8_t>(*pitch);
    s.LineSpacing = *spacing;
    return s;
}

std::string NoLineBreaks(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

}  // namespace

int PrintWithSetup(const TPrintJobSetup& setup, ByteView data, const std::string& title,
                   TSetupPrintServices services) {
    TBackgroundPicture background(services.pictures);
    if (setup.background) {
        background.SetBackground(setup.backgroundPath, setup.picLeft, setup.picRight, setup.picTop,
                                 setup.picBottom);
    }
    TPrintServices printServices{services.printer, services.history, services.fileLog,
                                 services.errors,  setup.raw,        &background};
    TPrintInterface job(printServices);
    setup.ApplyTo(job);
    TPrinterStatus status = setup.startStatus.value_or(TPrinterStatus());
    const bool documentBefore = services.printer.Printing();
    try {
        job.BeginJob(title);
        job.PrintData(data, 0, setup.startStatus.has_value(), setup.ignorePcl, status);
        job.EndJob();
    } catch (...) {
        if (!documentBefore) services.printer.AbortDoc();
        throw;
    }
    return job.Pages();
}

void TPrintJobSetup::ApplyTo(TPrintInterface& job) const {
    job.SetPage(mgLeft, mgTop, mgRight, mgBottom, charsPerLine, linesPerPage, charsPerLineHor,
                linesPerPageHor, orientation, copies);
    if (!font.empty()) job.SetFont(font, 2, charMap);
    job.LoadDefaultSequences();
    job.AddSequences(sequences);
    job.SetCommandSet(CommandSetFromSetting(commandSet));
    job.SetBoxLines(boxLines);
}

std::string TPrintJobSetup::ToText() const {
    std::string text;
    const auto line = [&text](std::string_view key, const std::string& value) {
        text.append(key);
        text += '=';
        text += value;
        text += '\n';
    };
    const auto number = [&line](std::string_view key, long long value) {
        line(key, std::to_string(value));
    };
    number("mgLeft", mgLeft);
    number("mgTop", mgTop);
    number("mgRight", mgRight);
    number("mgBottom", mgBottom);
    number("charsPerLine", charsPerLine);
    number("linesPerPage", linesPerPage);
    number("charsPerLineHor", charsPerLineHor);
    number("linesPerPageHor", linesPerPageHor);
    number("orientation", orientation);
    number("copies", copies);
    line("font", NoLineBreaks(font));
    Bytes map(charMap.Map.begin(), charMap.Map.end());
    map.push_back(charMap.CharsetIndex);
    line("charMap", Hex(map));
    for (const TEscapeSequence& entry : sequences) {
        line("sequence", Hex(entry.Sequence) + ' ' + std::to_string(entry.Meaning));
    }
    number("commandSet", commandSet);
    number("ignorePcl", ignorePcl);
    number("boxLines", boxLines);
    number("raw", raw.enabled);
    line("rawInit", NoLineBreaks(raw.initText));
    number("rawFixCrLf", raw.fixCrLf);
    number("rawEndWithFormFeed", raw.endWithFormFeed);
    number("rawCharMap", raw.useCharMap);
    number("background", background);
    line("backgroundPath", NoLineBreaks(backgroundPath));
    number("picLeft", picLeft);
    number("picRight", picRight);
    number("picTop", picTop);
    number("picBottom", picBottom);
    if (startStatus) line("startStatus", StatusText(*startStatus));
    line("caps", std::to_string(caps.pageWidth) + ' ' + std::to_string(caps.pageHeight) + ' ' +
                     std::to_string(caps.dpiX) + ' ' + std::to_string(caps.dpiY) + ' ' +
                     std::to_string(caps.physicalOffsetX) + ' ' +
                     std::to_string(caps.physicalOffsetY));
    return text;
}

std::optional<TPrintJobSetup> TPrintJobSetup::FromText(std::string_view text) {
    TPrintJobSetup s;
    s.sequences.Clear();
    const std::map<std::string_view, int TPrintJobSetup::*> ints = {
        {"mgLeft", &TPrintJobSetup::mgLeft},
        {"mgTop", &TPrintJobSetup::mgTop},
        {"mgRight", &TPrintJobSetup::mgRight},
        {"mgBottom", &TPrintJobSetup::mgBottom},
        {"charsPerLine", &TPrintJobSetup::charsPerLine},
        {"linesPerPage", &TPrintJobSetup::linesPerPage},
        {"charsPerLineHor", &TPrintJobSetup::charsPerLineHor},
        {"linesPerPageHor", &TPrintJobSetup::linesPerPageHor},
        {"orientation", &TPrintJobSetup::orientation},
        {"copies", &TPrintJobSetup::copies},
        {"commandSet", &TPrintJobSetup::commandSet},
        {"picLeft", &TPrintJobSetup::picLeft},
        {"picRight", &TPrintJobSetup::picRight},
        {"picTop", &TPrintJobSetup::picTop},
        {"picBottom", &TPrintJobSetup::picBottom},
    };
    const std::map<std::string_view, std::function<bool&(TPrintJobSetup&)>> flags = {
        {"ignorePcl", [](TPrintJobSetup& t) -> bool& { return t.ignorePcl; }},
        {"boxLines", [](TPrintJobSetup& t) -> bool& { return t.boxLines; }},
        {"raw", [](TPrintJobSetup& t) -> bool& { return t.raw.enabled; }},
        {"rawFixCrLf", [](TPrintJobSetup& t) -> bool& { return t.raw.fixCrLf; }},
        {"rawEndWithFormFeed", [](TPrintJobSetup& t) -> bool& { return t.raw.endWithFormFeed; }},
        {"rawCharMap", [](TPrintJobSetup& t) -> bool& { return t.raw.useCharMap; }},
        {"background", [](TPrintJobSetup& t) -> bool& { return t.background; }},
    };
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (const auto it = ints.find(key); it != ints.end()) {
            const auto v = Int(value);
            if (!v) return std::nullopt;
            s.*(it->second) = *v;
        } else if (const auto flag = flags.find(key); flag != flags.end()) {
            const auto v = Int(value);
            if (!v || (*v != 0 && *v != 1)) return std::nullopt;
            flag->second(s) = *v == 1;
        } else if (key == "font") {
            s.font = value;
        } else if (key == "rawInit") {
            s.raw.initText = value;
        } else if (key == "backgroundPath") {
            s.backgroundPath = value;
        } else if (key == "charMap") {
            const auto bytes = FromHex(value);
            if (!bytes || bytes->size() != 257 || (*bytes)[256] >= kCharsetCount) {
                return std::nullopt;
            }
            std::copy(bytes->begin(), bytes->begin() + 256, s.charMap.Map.begin());
            s.charMap.CharsetIndex = (*bytes)[256];
        } else if (key == "sequence") {
            const std::size_t space = value.find(' ');
            if (space == std::string_view::npos) return std::nullopt;
            const auto bytes = FromHex(value.substr(0, space));
            const auto meaning = Int(value.substr(space + 1));
            if (!bytes || bytes->empty() || bytes->size() > 255 || !meaning || *meaning < 0 ||
                *meaning >= kMeaningCount) {
                return std::nullopt;
            }
            s.sequences.AddSequence(*bytes, static_cast<TSequenceMeaning>(*meaning));
        } else if (key == "startStatus") {
            s.startStatus = StatusFromText(value);
            if (!s.startStatus) return std::nullopt;
        } else if (key == "caps") {
            int values[6] = {};
            std::string_view rest = value;
            for (int i = 0; i < 6; ++i) {
                const std::size_t space = rest.find(' ');
                const auto v = Int(rest.substr(0, space));
                if (!v || (i < 5 && space == std::string_view::npos)) return std::nullopt;
                values[i] = *v;
                rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
            }
            s.caps = {values[0], values[1], values[2], values[3], values[4], values[5]};
        }
    }
    return s;
}

}  // namespace quernel
