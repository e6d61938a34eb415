#include "engine/QueuePpd.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "engine/DataFiles.h"
#include "engine/QueueAdmin.h"
#include "host/AppSettings.h"

namespace quernel {

namespace {

using K = TQueueOption::TKind;

// A name that can stand as a PPD choice keyword as it is.
bool IsChoiceKeyword(std::string_view name) {
    return !name.empty() && name.size() <= 40 && std::all_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7f && c != '/' && c != ':';
    });
}

// The keyword a name is offered under: the name without blanks ("Liberation Mono" is
// "LiberationMono/Liberation Mono"); nothing when it cannot be one.
std::string ChoiceKeywordFor(const std::string& name) {
    std::string keyword;
    for (const char c : name) {
        if (c != ' ') keyword += c;
    }
    if (!IsChoiceKeyword(keyword)) return {};
    const bool plainText = std::all_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7f && c != ':';
    });
    return plainText ? keyword : std::string();
}

std::string_view ChoiceOf(bool on) {
    return on ? "True" : "False";
}

// The default choice of an option for the queue's job settings.
std::string DefaultOf(const TQueueOption& option, const TQueuePpdSettings& ppdSettings) {
    const RenderOptions& o = ppdSettings.defaults.render;
    const std::string_view k = option.keyword;
    if (k == "QuernelCommandSet") {
        return std::string(option.choices[static_cast<std::size_t>(o.commands)]);
    }
    if (k == "QuernelOrientation") {
        return std::string(
            option.choices[static_cast<std::size_t>(std::clamp(o.orientation, 0, 2))]);
    }
    if (k == "QuernelCharMap") return o.cmap;
    if (k == "QuernelSequences") return o.seq;
    if (k == "QuernelFont") return o.font;
    if (k == "QuernelIgnorePCL") return std::string(ChoiceOf(o.ignorePcl));
    if (k == "QuernelBoxLines") return std::string(ChoiceOf(o.boxLines));
    if (k == "QuernelBackground") return std::string(ChoiceOf(ppdSettings.backgroundOn));
    if (k == "QuernelCharsPerLine") return std::to_string(o.charsPerLine);
    if (k == "QuernelLinesPerPage") return std::to_string(o.linesPerPage);
    if (k == "QuernelLandscapeCharsPerLine") return std::to_string(o.charsPerLineHor);
    if (k == "QuernelLandscapeLinesPerPage") return std::to_string(o.linesPerPageHor);
    if (k == "QuernelMarginLeft") return std::to_string(o.margins[0]);
    if (k == "QuernelMarginTop") return std::to_string(o.margins[1]);
    if (k == "QuernelMarginRight") return std::to_string(o.margins[2]);
    if (k == "QuernelMarginBottom") return std::to_string(o.margins[3]);
    return {};
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

void WritePaperOptions(std::ostringstream& out, const std::string& defaultPaper) {
    for (const char* ui : {"PageSize", "PageRegion"}) {
        out << "*OpenUI *" << ui
            << (std::string_view(ui) == "PageSize" ? "/Page Size" : "/Page Region") << ": PickOne\n"
            << "*OrderDependency: 10 AnySetup *" << ui << "\n"
            << "*Default" << ui << ": " << defaultPaper << "\n";
        for (const TQueuePaper& paper : QueuePapers()) {
            out << "*" << ui << " " << paper.keyword << "/" << paper.text << ": \"<</PageSize["
                << Number(paper.width) << " " << Number(paper.height)
                << "]/ImagingBBox null>>setpagedevice\"\n";
        }
        out << "*CloseUI: *" << ui << "\n\n";
    }
    out << "*DefaultImageableArea: " << defaultPaper << "\n";
    for (const TQueuePaper& paper : QueuePapers()) {
        // What a printer behind the queue is likely to reach; the PDF itself fills the sheet.
        out << "*ImageableArea " << paper.keyword << "/" << paper.text << ": \"18 18 "
            << Number(paper.width - 18) << " " << Number(paper.height - 18) << "\"\n";
    }
    out << "*DefaultPaperDimension: " << defaultPaper << "\n";
    for (const TQueuePaper& paper : QueuePapers()) {
        out << "*PaperDimension " << paper.keyword << "/" << paper.text << ": \""
            << Number(paper.width) << " " << Number(paper.height) << "\"\n";
    }
    out << "\n";
}

void WriteOption(std::ostringstream& out, const TQueueOption& option,
                 const TQueuePpdSettings& ppdSettings, int order) {
    const std::string_view k = option.keyword;
    const bool isSwitch = option.kind == K::kSwitch;
    out << "*OpenUI *" << k << "/" << option.text << ": " << (isSwitch ? "Boolean" : "PickOne")
        << "\n"
        << "*OrderDependency: " << order << " AnySetup *" << k << "\n";
    const std::string defaultValue = DefaultOf(option, ppdSettings);

    // (keyword, text) of every choice, the default among them.
    std::vector<std::pair<std::string, std::string>> choices;
    const auto add = [&](const std::string& keyword, const std::string& text) {
        if (keyword.empty()) return;
        if (std::none_of(choices.begin(), choices.end(),
                         [&](const auto& c) { return c.first == keyword; })) {
            choices.emplace_back(keyword, text);
        }
    };
    std::string defaultChoice;
    switch (option.kind) {
        case K::kSwitch:
            add("True", "Yes");
            add("False", "No");
            defaultChoice = defaultValue;
            break;
        case K::kChoice:
            for (std::size_t i = 0; i < option.choices.size(); ++i) {
                add(std::string(option.choices[i]), std::string(option.captions[i]));
            }
            defaultChoice = defaultValue;
            break;
        case K::kNumber: {
            std::vector<int> numbers;
            for (const std::string_view c : option.choices)
                numbers.push_back(std::stoi(std::string(c)));
            numbers.push_back(std::stoi(defaultValue));
            std::sort(numbers.begin(), numbers.end());
            for (const int n : numbers) add(std::to_string(n), std::to_string(n));
            defaultChoice = defaultValue;
            break;
        }
        case K::kName: {
            const std::vector<std::string>& names = k == "QuernelCharMap" ? ppdSettings.charMaps
                                                    : k == "QuernelSequences"
                                                        ? ppdSettings.sequences
                                                        : ppdSettings.fonts;
            const std::string keyword = ChoiceKeywordFor(defaultValue);
            defaultChoice = keyword.empty() ? "Custom." + defaultValue : keyword;
            add(keyword, defaultValue);
            for (const std::string& name : names) add(ChoiceKeywordFor(name), name);
            break;
        }
    }
    out << "*Default" << k << ": " << defaultChoice << "\n";
    for (const auto& [keyword, text] : choices) {
        out << "*" << k << " " << keyword << "/" << text << ": \"\"\n";
    }
    out << "*CloseUI: *" << k << "\n";
    if (option.kind == K::kNumber) {
        const SettingInfo* info = FindSetting(option.setting);
        out << "*Custom" << k << " True/Other: \"\"\n"
            << "*ParamCustom" << k << " Value/Value: 1 int " << info->low << " " << info->high
            << "\n";
    } else if (option.kind == K::kName) {
        out << "*Custom" << k << " True/Other: \"\"\n"
            << "*ParamCustom" << k << " Name/Name: 1 string 1 64\n";
    }
    out << "\n";
}

void AddNames(std::vector<std::string>& names, std::vector<std::string> more) {
    for (std::string& name : more) {
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    }
}

}  // namespace

TQueuePpdSettings DefaultQueuePpdSettings(const std::filesystem::path& shippedData,
                                          const std::filesystem::path& tablesFolder) {
    TQueuePpdSettings ppdSettings;
    ppdSettings.defaults.tablesFolder = tablesFolder;
    for (const auto& folder : {tablesFolder, shippedData}) {
        std::error_code ec;
        if (folder.empty()) continue;
        if (std::filesystem::is_directory(folder / "CharMap", ec))
            AddNames(ppdSettings.charMaps, ListCharMaps(folder));
        if (std::filesystem::is_directory(folder / "Seq", ec))
            AddNames(ppdSettings.sequences, ListSequenceTables(folder));
    }
    ppdSettings.fonts = {kDefaultFontName, "DejaVu Sans Mono", "Liberation Sans",
                         "Liberation Serif"};
    return ppdSettings;
}

std::string MakeQueuePpd(const TQueuePpdSettings& ppdSettings) {
    std::ostringstream out;
    out << "*PPD-Adobe: \"4.3\"\n"
        << "*% A CUPS queue that renders the printouts of DOS programs with Quernel: control\n"
        << "*% codes, character maps and the ESC/P and PCL command sets, into PDF for the\n"
        << "*% printer or device behind it. Made by Quernel; \"quernel --add-queue\" makes a\n"
        << "*% queue with it.\n"
        << "*FormatVersion: \"4.3\"\n"
        << "*FileVersion: \"" << ppdSettings.version << "\"\n"
        << "*LanguageVersion: English\n"
        << "*LanguageEncoding: ISOLatin1\n"
        << "*PCFileName: \"QUERNEL.PPD\"\n"
        << "*Manufacturer: \"Brackwood\"\n"
        << "*Product: \"(Quernel)\"\n"
        << "*ModelName: \"Quernel DOS printer\"\n"
        << "*ShortNickName: \"Quernel DOS printer\"\n"
        << "*NickName: \"" << kDosQueueModel << "\"\n"
        << "*PSVersion: \"(3010.000) 0\"\n"
        << "*LanguageLevel: \"3\"\n"
        << "*ColorDevice: False\n"
        << "*DefaultColorSpace: Gray\n"
        << "*FileSystem: False\n"
        << "*Throughput: \"20\"\n"
        << "*LandscapeOrientation: Plus90\n"
        << "*TTRasterizer: Type42\n"
        << "*cupsVersion: 2.4\n"
        << "*cupsLanguages: \"en\"\n";
    // Every DOS printout, whatever the client called it, goes through the filter. CUPS types
    // printouts that start with ESC @, ESC E or PJL as raw and passes raw jobs to the device
    // unchanged at cost 0; the lower cost makes this queue render them too.
    for (const char* type : {"text/plain", "application/octet-stream", "application/vnd.hp-PCL"}) {
        out << "*cupsFilter2: \"" << type << " application/pdf 0 " << ppdSettings.filter << "\"\n";
    }
    out << "*cupsFilter2: \"application/vnd.cups-raw application/pdf -1 " << ppdSettings.filter
        << "\"\n";
    if (!ppdSettings.defaults.tablesFolder.empty()) {
        out << "*" << kTablesFolderKeyword << ": \"" << ppdSettings.defaults.tablesFolder.string()
            << "\"\n";
    }
    if (!ppdSettings.backgroundPicture.empty()) {
        out << "*" << kBackgroundKeyword << ": \"" << ppdSettings.backgroundPicture << "\"\n";
    }
    out << "\n";
    WritePaperOptions(out, ppdSettings.defaults.paper);
    out << "*OpenGroup: Quernel/DOS printout\n\n";
    int order = 20;
    for (const TQueueOption& option : QueueOptions())
        WriteOption(out, option, ppdSettings, order++);
    out << "*CloseGroup: Quernel\n";
    return out.str();
}

}  // namespace quernel
