#include "engine/QueueSettings.h"

#include <array>
#include <cctype>
#include <string_view>

namespace quernel {

namespace {

struct TText {
    std::string_view name;
    std::string_view keyword;  // empty: the caption of the setting
    std::string_view text;
};

constexpr std::array<TText, 25> kTexts = {{
    {"media", "", "Papier:"},
    {"media-source", "", "Podajnik:"},
    {"sides", "", "Druk dwustronny:"},
    {"print-quality", "", "Jakość:"},
    {"sides", "one-sided", "Jednostronnie"},
    {"sides", "two-sided-long-edge", "Dwustronnie, wzdłuż dłuższej krawędzi"},
    {"sides", "two-sided-short-edge", "Dwustronnie, wzdłuż krótszej krawędzi"},
    {"print-quality", "3", "Robocza"},
    {"print-quality", "4", "Normalna"},
    {"print-quality", "5", "Wysoka"},
    {"media-source", "auto", "Automatycznie"},
    {"media-source", "main", "Główny podajnik"},
    {"media-source", "manual", "Podawanie ręczne"},
    {"media-source", "by-pass-tray", "Podajnik uniwersalny"},
    {"media-source", "alternate", "Podajnik dodatkowy"},
    {"media-source", "large-capacity", "Podajnik o dużej pojemności"},
    {"media-source", "envelope", "Podajnik kopert"},
    {"media-source", "bottom", "Dolny podajnik"},
    {"media-source", "top", "Górny podajnik"},
    {"media-source", "middle", "Środkowy podajnik"},
    {"media-source", "tray-1", "Podajnik 1"},
    {"media-source", "tray-2", "Podajnik 2"},
    {"media-source", "tray-3", "Podajnik 3"},
    {"media-source", "tray-4", "Podajnik 4"},
    {"media-source", "rear", "Tylny podajnik"},
}};

std::string Find(std::string_view name, std::string_view keyword) {
    for (const TText& t : kTexts) {
        if (t.name == name && t.keyword == keyword) return std::string(t.text);
    }
    return {};
}

}  // namespace

std::string PaperName(const std::string& keyword) {
    // "<class>_<size name>_<dimensions>": the size name of the ISO, JIS and North American
    // classes is the one printed on the paper's packet.
    const std::size_t first = keyword.find('_');
    const std::size_t last = keyword.rfind('_');
    if (first == std::string::npos || last == first) return keyword;
    const std::string kind = keyword.substr(0, first);
    std::string size = keyword.substr(first + 1, last - first - 1);
    if (size.empty()) return keyword;
    if (kind == "iso" || kind == "jis") {
        for (char& c : size) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return kind == "jis" ? "JIS " + size : size;
    }
    if (kind == "na") {
        size[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(size[0])));
        return size;
    }
    return keyword;
}

std::string QueueSettingCaption(const std::string& name) {
    const std::string caption = Find(name, "");
    return caption.empty() ? name + ":" : caption;
}

std::string QueueChoiceText(const std::string& name, const std::string& keyword) {
    return keyword.empty() ? std::string() : Find(name, keyword);
}

}  // namespace quernel
