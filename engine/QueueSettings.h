#pragma once

#include <map>
#include <string>
#include <vector>

namespace quernel {

// One print setting a print queue offers (paper, tray, two-sided printing, quality): its job
// option name, its caption, the choices as (keyword, text) and the queue's own default.
struct TQueueSetting {
    std::string name;  // "media", "media-source", "sides", "print-quality"
    std::string caption;
    std::vector<std::pair<std::string, std::string>> choices;
    std::string defaultChoice;
};

// The job options chosen for a queue, by name; a setting left at the queue's default is not
// among them.
using TQueueOptions = std::map<std::string, std::string>;

// The caption of a setting and the Polish text of the choices Quernel knows ("sides",
// "two-sided-long-edge" -> "Dwustronnie, wzdłuż dłuższej krawędzi"); empty when it does not
// know the choice.
std::string QueueSettingCaption(const std::string& name);
std::string QueueChoiceText(const std::string& name, const std::string& keyword);
// The name a user knows a paper by, from its self-describing keyword when the print system
// gives no text of its own: "iso_a5_148x210mm" -> "A5", "na_letter_8.5x11in" -> "Letter";
// an unknown kind of keyword is given back as it is.
std::string PaperName(const std::string& keyword);

}  // namespace quernel
