#include "engine/PrinterState.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace quernel {

namespace {

struct TReason {
    std::string_view keyword;
    std::string_view text;
    bool error;  // the printer cannot print with it
};

constexpr std::array<TReason, 29> kReasons = {{
    {"media-empty", "brak papieru", true},
    {"media-needed", "brak papieru", true},
    {"media-jam", "zacięty papier", true},
    {"media-low", "mało papieru", false},
    {"cover-open", "otwarta pokrywa", true},
    {"door-open", "otwarte drzwiczki", true},
    {"interlock-open", "otwarta blokada", true},
    {"offline", "drukarka wyłączona lub odłączona (offline)", true},
    {"paused", "wstrzymana", true},
    {"shutdown", "drukarka się wyłącza", true},
    {"stopped", "zatrzymana", true},
    {"connecting-to-device", "łączenie z drukarką", false},
    {"timed-out", "drukarka nie odpowiada", true},
    {"toner-low", "mało tonera", false},
    {"toner-empty", "brak tonera", true},
    {"marker-supply-low", "kończy się tusz lub toner", false},
    {"marker-supply-empty", "brak tuszu lub tonera", true},
    {"marker-waste-almost-full", "pojemnik na zużyty toner prawie pełny", false},
    {"marker-waste-full", "pełny pojemnik na zużyty toner", true},
    {"developer-low", "mało wywoływacza", false},
    {"developer-empty", "brak wywoływacza", true},
    {"fuser-over-temp", "przegrzany utrwalacz", true},
    {"fuser-under-temp", "utrwalacz się nagrzewa", false},
    {"input-tray-missing", "brak podajnika papieru", true},
    {"output-tray-missing", "brak odbiornika papieru", true},
    {"output-area-full", "pełny odbiornik papieru", true},
    {"output-area-almost-full", "odbiornik papieru prawie pełny", false},
    {"spool-area-full", "pełna kolejka wydruków", true},
    {"other", "inny problem drukarki", true},
}};

// The keyword without its severity suffix, and the severity ("error" when there is none).
std::pair<std::string_view, std::string_view> Split(std::string_view reason) {
    for (std::string_view suffix : {"-error", "-warning", "-report"}) {
        if (reason.size() > suffix.size() && reason.ends_with(suffix)) {
            return {reason.substr(0, reason.size() - suffix.size()), suffix.substr(1)};
        }
    }
    return {reason, "error"};
}

const TReason* Find(std::string_view keyword) {
    const auto it = std::find_if(kReasons.begin(), kReasons.end(),
                                 [&](const TReason& r) { return r.keyword == keyword; });
    return it == kReasons.end() ? nullptr : &*it;
}

}  // namespace

std::string ReasonText(const std::string& reason) {
    const auto [keyword, severity] = Split(reason);
    const TReason* known = Find(keyword);
    return std::string(known != nullptr ? known->text : keyword);
}

bool IsErrorReason(const std::string& reason) {
    const auto [keyword, severity] = Split(reason);
    if (severity != "error") return false;
    const TReason* known = Find(keyword);
    return known == nullptr ? keyword != "none" : known->error;
}

bool IsErrorState(const TQueueState& state) {
    return state.stopped || !state.accepting ||
           std::any_of(state.reasons.begin(), state.reasons.end(), IsErrorReason);
}

std::string DescribeQueueState(const TQueueState& state) {
    std::vector<std::string> parts;
    if (state.stopped) parts.emplace_back("zatrzymana");
    if (!state.accepting) parts.emplace_back("nie przyjmuje zadań");
    for (const std::string& reason : state.reasons) {
        const std::string text = ReasonText(reason);
        // "paused" and "stopped" say what the state says already.
        if (std::find(parts.begin(), parts.end(), text) == parts.end() &&
            !(state.stopped && (text == "wstrzymana"))) {
            parts.push_back(text);
        }
    }
    if (parts.empty()) parts.emplace_back("gotowa");
    std::string text;
    for (const std::string& part : parts) {
        if (!text.empty()) text += "; ";
        text += part;
    }
    if (state.queuedJobs > 0) text += "; zadań w kolejce: " + std::to_string(state.queuedJobs);
    return text;
}

void TPrinterWatch::Poll(const std::string& printer, bool printoutsWaiting) {
    if (reader_ == nullptr) return;
    if (printer != printer_) {
        printer_ = printer;
        state_.reset();
        announced_ = false;
        nextReading_ = {};
        if (onChanged) onChanged();
    }
    if (reading_.empty()) {
        if (printer_.empty() || clock_.Now() < nextReading_) return;
        reading_ = printer_;
        reader_->BeginReading(reading_);
    }
    const auto read = reader_->FinishedReading();
    if (!read) return;
    const std::string readPrinter = std::exchange(reading_, std::string());
    if (readPrinter != printer_) {
        nextReading_ = {};  // the printer changed meanwhile: the new one is read at once
        return;
    }
    nextReading_ = clock_.Now() + kInterval;
    const std::optional<TQueueState>& now = *read;
    const bool error = now && IsErrorState(*now);
    const bool waiting = printoutsWaiting || (now && now->queuedJobs > 0);
    if (!error) announced_ = false;
    if (error && waiting && !announced_) {
        announced_ = true;
        if (onError) onError(printer_, *now);
    }
    if (now != state_) {
        state_ = now;
        if (onChanged) onChanged();
    }
}

}  // namespace quernel
