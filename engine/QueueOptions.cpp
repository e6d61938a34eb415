#include "engine/QueueOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <stdexcept>

#include "engine/DataFiles.h"
#include "host/AppSettings.h"

namespace quernel {

namespace fs = std::filesystem;

namespace {

using K = TQueueOption::TKind;

bool EqualFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20);
           });
}

bool ParseInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// "Custom.X" is how PPD print dialogs send a value that is not one of the choices.
std::string_view WithoutCustom(std::string_view value) {
    constexpr std::string_view kCustom = "Custom.";
    return value.starts_with(kCustom) ? value.substr(kCustom.size()) : value;
}

std::optional<bool> ParseSwitch(std::string_view value) {
    for (std::string_view yes : {"true", "yes", "on", "1"}) {
        if (EqualFolded(value, yes)) return true;
    }
    for (std::string_view no : {"false", "no", "off", "0"}) {
        if (EqualFolded(value, no)) return false;
    }
    return std::nullopt;
}

// The settings a number option sets.
int* NumberField(std::string_view keyword, RenderOptions& o) {
    if (keyword == "QuernelCharsPerLine") return &o.charsPerLine;
    if (keyword == "QuernelLinesPerPage") return &o.linesPerPage;
    if (keyword == "QuernelLandscapeCharsPerLine") return &o.charsPerLineHor;
    if (keyword == "QuernelLandscapeLinesPerPage") return &o.linesPerPageHor;
    if (keyword == "QuernelMarginLeft") return &o.margins[0];
    if (keyword == "QuernelMarginTop") return &o.margins[1];
    if (keyword == "QuernelMarginRight") return &o.margins[2];
    if (keyword == "QuernelMarginBottom") return &o.margins[3];
    return nullptr;
}

const std::vector<std::string_view> kMarginChoices = {"0", "5", "10", "15", "20", "25"};

// One option's value applied to the job, or the problem with it.
std::optional<std::string> ApplyOption(const TQueueOption& option, std::string_view value,
                                       const TPpdValues& ppd, TQueueJob& job) {
    RenderOptions& o = job.render;
    const std::string bad =
        "Nieprawidłowa wartość opcji " + std::string(option.keyword) + ": " + std::string(value);
    switch (option.kind) {
        case K::kName: {
            // A choice of the PPD stands for the name it shows ("LiberationMono/Liberation Mono").
            std::string name(WithoutCustom(value));
            if (const auto texts = ppd.choiceTexts.find(option.keyword);
                texts != ppd.choiceTexts.end()) {
                if (const auto text = texts->second.find(name); text != texts->second.end()) {
                    name = text->second;
                }
            }
            if (name.empty() || name.find('/') != std::string::npos || name == "." ||
                name == "..") {
                return bad;
            }
            if (option.keyword == "QuernelCharMap") o.cmap = name;
            if (option.keyword == "QuernelSequences") o.seq = name;
            if (option.keyword == "QuernelFont") o.font = name;
            return std::nullopt;
        }
        case K::kNumber: {
            const SettingInfo* info = FindSetting(option.setting);
            int number = 0;
            if (!ParseInt(WithoutCustom(value), number) || number < info->low ||
                number > info->high) {
                return bad + " (dozwolone " + std::to_string(info->low) + ".." +
                       std::to_string(info->high) + ")";
            }
            *NumberField(option.keyword, o) = number;
            return std::nullopt;
        }
        case K::kChoice: {
            const auto at = std::find_if(option.choices.begin(), option.choices.end(),
                                         [&](std::string_view c) { return EqualFolded(c, value); });
            if (at == option.choices.end()) return bad;
            const std::string_view choice = *at;
            if (option.keyword == "QuernelCommandSet") o.commands = *CommandSetFromName(choice);
            if (option.keyword == "QuernelOrientation") {
                o.orientation = static_cast<int>(at - option.choices.begin());
            }
            return std::nullopt;
        }
        case K::kSwitch: {
            const auto on = ParseSwitch(value);
            if (!on) return bad;
            if (option.keyword == "QuernelIgnorePCL") o.ignorePcl = *on;
            if (option.keyword == "QuernelBoxLines") o.boxLines = *on;
            return std::nullopt;
        }
    }
    return bad;
}

// CUPS's own names for the orientation and the sheet.
void ApplyCupsOption(std::string_view name, std::string_view value, TQueueJob& job) {
    if (name == "landscape" && (value.empty() || ParseSwitch(value).value_or(false))) {
        job.render.orientation = 1;
    } else if (name == "orientation-requested") {
        if (value == "3") job.render.orientation = 2;
        if (value == "4" || value == "5") job.render.orientation = 1;
    } else if (name == "media" || name == "PageSize") {
        // "media" may list a size with a source and a type: "A4,Upper,Plain".
        std::size_t from = 0;
        while (from <= value.size()) {
            const std::size_t comma = std::min(value.find(',', from), value.size());
            if (const TQueuePaper* paper = FindQueuePaper(value.substr(from, comma - from))) {
                job.paper = std::string(paper->keyword);
                return;
            }
            from = comma + 1;
        }
    }
}

// The background picture a queue names: "FILE" or "FILE,L,T,R,B" (mm).
void ApplyBackground(std::string_view value, RenderOptions& o) {
    const std::size_t comma = value.find(',');
    o.background = std::string(value.substr(0, comma));
    if (comma == std::string_view::npos) return;
    std::array<int, 4> margins{};
    std::size_t from = comma + 1;
    for (int& m : margins) {
        const std::size_t next = std::min(value.find(',', from), value.size());
        if (!ParseInt(value.substr(from, next - from), m)) return;
        from = next + 1;
    }
    o.pictureMargins = margins;
}

}  // namespace

TOptionList ParseCupsOptions(std::string_view text) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    };
    const auto less = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) {
                                                return std::tolower(static_cast<unsigned char>(x)) <
                                                       std::tolower(static_cast<unsigned char>(y));
                                            });
    };
    TOptionList options;
    const auto add = [&](std::string name, std::string value) {
        if (name.empty()) return;
        const auto at = std::find_if(options.begin(), options.end(),
                                     [&](const auto& o) { return EqualFolded(o.first, name); });
        if (at != options.end()) {
            at->second = std::move(value);
            return;
        }
        const auto where =
            std::upper_bound(options.begin(), options.end(), name,
                             [&](const std::string& n, const auto& o) { return less(n, o.first); });
        options.emplace(where, std::move(name), std::move(value));
    };
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && blank(text[i])) ++i;
        if (i >= text.size()) break;
        std::string name;
        while (i < text.size() && text[i] != '=' && !blank(text[i])) name += text[i++];
        if (i >= text.size() || text[i] != '=') {
            if (name.size() > 2 && EqualFolded(std::string_view(name).substr(0, 2), "no")) {
                add(name.substr(2), "false");
            } else {
                add(name, "true");
            }
            continue;
        }
        ++i;  // '='
        std::string value;
        while (i < text.size() && !blank(text[i])) {
            const char c = text[i];
            if (c == '\'' || c == '"') {
                // Quoted: up to the same quote, backslashes escaping the next character.
                for (++i; i < text.size() && text[i] != c; ++i) {
                    if (text[i] == '\\' && i + 1 < text.size()) ++i;
                    value += text[i];
                }
                if (i < text.size()) ++i;
            } else if (c == '{') {
                // A collection, kept as it is, quotes and nested braces included.
                int depth = 0;
                char quote = 0;
                for (; i < text.size(); ++i) {
                    const char d = text[i];
                    value += d;
                    if (quote) {
                        if (d == '\\' && i + 1 < text.size())
                            value += text[++i];
                        else if (d == quote)
                            quote = 0;
                    } else if (d == '\'' || d == '"') {
                        quote = d;
                    } else if (d == '{') {
                        ++depth;
                    } else if (d == '}' && --depth == 0) {
                        ++i;
                        break;
                    }
                }
            } else if (c == '\\' && i + 1 < text.size()) {
                value += text[i + 1];
                i += 2;
            } else {
                value += c;
                ++i;
            }
        }
        add(name, value);
    }
    return options;
}

const std::vector<TQueuePaper>& QueuePapers() {
    static const std::vector<TQueuePaper> papers = {
        {"A4", "A4", 595.28, 841.89, "iso_a4_210x297mm"},
        {"Letter", "US Letter", 612, 792, "na_letter_8.5x11in"},
        {"Legal", "US Legal", 612, 1008, "na_legal_8.5x14in"},
        {"A3", "A3", 841.89, 1190.55, "iso_a3_297x420mm"},
        {"A5", "A5", 419.53, 595.28, "iso_a5_148x210mm"},
    };
    return papers;
}

const TQueuePaper* FindQueuePaper(std::string_view name) {
    for (const TQueuePaper& paper : QueuePapers()) {
        if (EqualFolded(paper.keyword, name) || paper.ippName == name) return &paper;
    }
    return nullptr;
}

const std::vector<TQueueOption>& QueueOptions() {
    static const std::vector<TQueueOption> options = {
        {"QuernelCommandSet",
         "Printer command set",
         K::kChoice,
         "CommandSet",
         {"table", "escp", "pcl", "auto"},
         {"Table only", "ESC/P (Epson)", "PCL (HP)", "Automatic"}},
        {"QuernelCharMap", "Character map", K::kName, "CharMap"},
        {"QuernelSequences", "Control-code table", K::kName, "Sequences"},
        {"QuernelIgnorePCL", "Ignore unknown HP-PCL codes", K::kSwitch, "Ignore_PCL"},
        {"QuernelBoxLines", "Draw box lines as lines", K::kSwitch, "BoxLines"},
        {"QuernelFont", "Font", K::kName, ""},
        {"QuernelCharsPerLine",
         "Characters per line (portrait)",
         K::kNumber,
         "CharsPerLine",
         {"80", "96", "120", "132", "136", "160"}},
        {"QuernelLinesPerPage",
         "Lines per page (portrait)",
         K::kNumber,
         "LinesPerPage",
         {"60", "64", "66", "67", "70", "72", "80"}},
        {"QuernelLandscapeCharsPerLine",
         "Characters per line (landscape)",
         K::kNumber,
         "CharsPerLineHor",
         {"120", "132", "136", "160", "180", "200"}},
        {"QuernelLandscapeLinesPerPage",
         "Lines per page (landscape)",
         K::kNumber,
         "LinesPerPageHor",
         {"40", "46", "48", "50", "60", "66"}},
        {"QuernelMarginLeft", "Left margin (mm)", K::kNumber, "MgLeft", kMarginChoices},
        {"QuernelMarginTop", "Top margin (mm)", K::kNumber, "MgTop", kMarginChoices},
        {"QuernelMarginRight", "Right margin (mm)", K::kNumber, "MgRight", kMarginChoices},
        {"QuernelMarginBottom", "Bottom margin (mm)", K::kNumber, "MgBottom", kMarginChoices},
        {"QuernelOrientation",
         "Orientation",
         K::kChoice,
         "PageOrientation",
         {"printer", "landscape", "portrait"},
         {"As the printout says", "Landscape", "Portrait"}},
        {"QuernelBackground", "Background picture", K::kSwitch, "PrintBackground"},
    };
    return options;
}

const TQueueOption* FindQueueOption(std::string_view keyword) {
    for (const TQueueOption& option : QueueOptions()) {
        if (EqualFolded(option.keyword, keyword)) return &option;
    }
    return nullptr;
}

TPpdValues ReadPpdValues(std::string_view text) {
    TPpdValues ppd;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        const std::string_view line = text.substr(from, end - from);
        from = end + 1;
        if (!line.starts_with('*') || line.starts_with("*%")) continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view keyword = line.substr(1, colon - 1);
        std::string_view value = Trim(line.substr(colon + 1));
        // "*Keyword choice/text: ..." is a choice of an option.
        if (const std::size_t blank = keyword.find(' '); blank != std::string_view::npos) {
            const std::string_view choice = keyword.substr(blank + 1);
            const std::size_t slash = choice.find('/');
            if (slash != std::string_view::npos) {
                ppd.choiceTexts[std::string(keyword.substr(0, blank))].emplace(
                    std::string(choice.substr(0, slash)), std::string(choice.substr(slash + 1)));
            }
            continue;
        }
        if (keyword.empty()) continue;
        if (keyword.starts_with("Default")) {
            ppd.defaults.emplace(std::string(keyword.substr(7)), std::string(value));
        } else if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            ppd.values.emplace(std::string(keyword),
                               std::string(value.substr(1, value.size() - 2)));
        }
    }
    return ppd;
}

std::optional<std::string> SettleQueueJob(const TPpdValues& ppd, const TOptionList& jobOptions,
                                          TQueueJob& job) {
    if (const auto folder = ppd.values.find(kTablesFolderKeyword); folder != ppd.values.end()) {
        job.tablesFolder = folder->second;
    }
    const auto picture = ppd.values.find(kBackgroundKeyword);
    const bool hasPicture = picture != ppd.values.end() && !picture->second.empty();
    if (hasPicture) ApplyBackground(picture->second, job.render);
    // The picture prints only while the switch is on, as in the program.
    bool background = false;

    for (const TQueueOption& option : QueueOptions()) {
        const auto value = ppd.defaults.find(option.keyword);
        if (value == ppd.defaults.end()) continue;
        if (auto problem = ApplyOption(option, value->second, ppd, job)) {
            return *problem + " (domyślna wartość kolejki)";
        }
        if (option.keyword == "QuernelBackground")
            background = ParseSwitch(value->second).value_or(false);
    }
    if (const auto paper = ppd.defaults.find("PageSize"); paper != ppd.defaults.end()) {
        if (FindQueuePaper(paper->second)) job.paper = FindQueuePaper(paper->second)->keyword;
    }
    for (const auto& [name, value] : jobOptions) {
        if (const TQueueOption* option = FindQueueOption(name)) {
            if (auto problem = ApplyOption(*option, value, ppd, job)) return problem;
            if (option->keyword == "QuernelBackground")
                background = ParseSwitch(value).value_or(false);
        } else if (name.size() >= 7 &&
                   EqualFolded(std::string_view(name).substr(0, 7), "Quernel")) {
            return "Nieznana opcja kolejki: " + name;
        } else {
            ApplyCupsOption(name, value, job);
        }
    }
    if (!background) job.render.background.clear();
    return std::nullopt;
}

fs::path QueueDataFile(const std::string& name, std::string_view kind, const fs::path& tablesFolder,
                       const fs::path& shippedFolder) {
    const bool table = kind == "seq";
    const auto pathIn = [&](const fs::path& folder) {
        return table ? SequenceFilePath(folder, name) : CharMapFilePath(folder, name);
    };
    std::error_code ec;
    if (!tablesFolder.empty() && fs::is_regular_file(pathIn(tablesFolder), ec)) {
        return pathIn(tablesFolder);
    }
    if (fs::is_regular_file(pathIn(shippedFolder), ec)) return pathIn(shippedFolder);
    const fs::path missing = pathIn(tablesFolder.empty() ? shippedFolder : tablesFolder);
    throw std::runtime_error(
        std::string(table ? "Nie ma tabeli kodów sterujących" : "Nie ma mapy znaków") + " \"" +
        name + "\" (brak pliku " + missing.string() + ")");
}

std::optional<TFilterCommandLine> ParseFilterCommandLine(const std::vector<std::string>& args,
                                                         std::string& error) {
    if (args.size() < 5 || args.size() > 6) {
        error = "Użycie: quernel-filter zadanie użytkownik tytuł kopie opcje [plik]";
        return std::nullopt;
    }
    TFilterCommandLine line;
    if (!ParseInt(args[0], line.jobId) || line.jobId < 0) {
        error = "Numer zadania nie jest liczbą: " + args[0];
        return std::nullopt;
    }
    if (!ParseInt(args[3], line.copies) || line.copies < 1) {
        error = "Liczba kopii nie jest liczbą dodatnią: " + args[3];
        return std::nullopt;
    }
    line.user = args[1];
    line.title = args[2];
    line.options = args[4];
    if (args.size() == 6) line.file = args[5];
    return line;
}

std::optional<std::string> PrintoutProblem(ByteView data) {
    if (data.empty()) return "Zadanie nie zawiera danych: pusty wydruk";
    struct TKind {
        std::string_view start;
        std::string_view name;
    };
    static constexpr TKind kKinds[] = {
        {"%PDF-", "dokument PDF"},      {"%!PS", "dokument PostScript"},
        {"\x89PNG", "obraz PNG"},       {"\xFF\xD8\xFF", "obraz JPEG"},
        {"GIF8", "obraz GIF"},          {"\x1F\x8B", "plik skompresowany (gzip)"},
        {"PK\x03\x04", "archiwum ZIP"},
    };
    const std::string_view head(reinterpret_cast<const char*>(data.data()), data.size());
    for (const TKind& kind : kKinds) {
        if (head.starts_with(kind.start)) {
            return "To nie jest wydruk programu DOS, lecz " + std::string(kind.name) +
                   ": wyślij go do zwykłej drukarki";
        }
    }
    return std::nullopt;
}

fs::path FilterInstallPrefix(const fs::path& executableDir) {
    // <prefix>/bin: quernel-render drawing a job with a picture.
    if (executableDir.filename() == "bin") return executableDir.parent_path();
    // <prefix>/lib/cups/filter
    return executableDir.parent_path().parent_path().parent_path();
}

fs::path FilterShippedDataDir(const fs::path& executableDir) {
    std::error_code ec;
    if (fs::is_directory(executableDir / "Seq", ec)) return executableDir;
    return FilterInstallPrefix(executableDir) / "share" / "quernel";
}

}  // namespace quernel
