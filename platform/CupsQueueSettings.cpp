#include "platform/CupsQueueSettings.h"

#include <cups/cups.h>

#include <algorithm>
#include <memory>

namespace quernel {

namespace {

struct TDest {
    cups_dest_t* dest = nullptr;
    cups_dinfo_t* info = nullptr;
    explicit TDest(const std::string& queue) {
        dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
        if (dest != nullptr) info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    }
    ~TDest() {
        if (info != nullptr) cupsFreeDestInfo(info);
        if (dest != nullptr) cupsFreeDests(1, dest);
    }
    TDest(const TDest&) = delete;
    TDest& operator=(const TDest&) = delete;
    bool Usable() const { return dest != nullptr && info != nullptr; }
};

std::string ValueText(ipp_attribute_t* attribute, int index) {
    switch (ippGetValueTag(attribute)) {
        case IPP_TAG_ENUM:
        case IPP_TAG_INTEGER:
            return std::to_string(ippGetInteger(attribute, index));
        default: {
            const char* text = ippGetString(attribute, index, nullptr);
            return text != nullptr ? text : "";
        }
    }
}

// The choices of a keyword or enum setting, with Quernel's texts, else libcups's.
std::optional<TQueueSetting> Setting(TDest& d, const char* name) {
    ipp_attribute_t* supported = cupsFindDestSupported(CUPS_HTTP_DEFAULT, d.dest, d.info, name);
    if (supported == nullptr || ippGetCount(supported) < 2) return std::nullopt;
    TQueueSetting setting;
    setting.name = name;
    setting.caption = QueueSettingCaption(name);
    for (int i = 0; i < ippGetCount(supported); ++i) {
        const std::string keyword = ValueText(supported, i);
        if (keyword.empty()) continue;
        std::string text = QueueChoiceText(name, keyword);
        if (text.empty()) {
            const char* localized =
                cupsLocalizeDestValue(CUPS_HTTP_DEFAULT, d.dest, d.info, name, keyword.c_str());
            text = localized != nullptr ? localized : keyword;
        }
        setting.choices.emplace_back(keyword, text);
    }
    if (setting.choices.size() < 2) return std::nullopt;
    if (ipp_attribute_t* def = cupsFindDestDefault(CUPS_HTTP_DEFAULT, d.dest, d.info, name)) {
        setting.defaultChoice = ValueText(def, 0);
    }
    return setting;
}

std::optional<TQueueSetting> Papers(TDest& d) {
    const int count = cupsGetDestMediaCount(CUPS_HTTP_DEFAULT, d.dest, d.info, 0);
    if (count < 2) return std::nullopt;
    TQueueSetting setting;
    setting.name = "media";
    setting.caption = QueueSettingCaption("media");
    for (int i = 0; i < count; ++i) {
        cups_size_t size{};
        if (!cupsGetDestMediaByIndex(CUPS_HTTP_DEFAULT, d.dest, d.info, i, 0, &size)) continue;
        const char* text = cupsLocalizeDestMedia(CUPS_HTTP_DEFAULT, d.dest, d.info, 0, &size);
        const std::string keyword = size.media;
        if (std::any_of(setting.choices.begin(), setting.choices.end(),
                        [&](const auto& c) { return c.first == keyword; })) {
            continue;  // borderless and other variants of one size
        }
        setting.choices.emplace_back(
            keyword, text != nullptr && keyword != text ? std::string(text) : PaperName(keyword));
    }
    cups_size_t def{};
    if (cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, d.dest, d.info, 0, &def)) {
        setting.defaultChoice = def.media;
    }
    if (setting.choices.size() < 2) return std::nullopt;
    return setting;
}

}  // namespace

std::vector<TQueueSetting> ReadQueueSettings(const std::string& queue) {
    TDest d(queue);
    std::vector<TQueueSetting> settings;
    if (!d.Usable()) return settings;
    if (auto papers = Papers(d)) settings.push_back(std::move(*papers));
    for (const char* name : {"media-source", "sides", "print-quality"}) {
        if (auto setting = Setting(d, name)) settings.push_back(std::move(*setting));
    }
    return settings;
}

std::optional<TQueuePaperSize> ReadQueuePaperSize(const std::string& queue,
                                                  const std::string& media) {
    TDest d(queue);
    if (!d.Usable()) return std::nullopt;
    cups_size_t size{};
    if (!cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, d.dest, d.info, media.c_str(), 0, &size)) {
        return std::nullopt;
    }
    return TQueuePaperSize{size.width / 100.0, size.length / 100.0, size.left / 100.0,
                           size.top / 100.0,   size.right / 100.0,  size.bottom / 100.0};
}

}  // namespace quernel
