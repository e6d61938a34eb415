#include "monitor/PrintoutStore.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <map>

#include "host/BW_log.h"
#include "host/FileUtil.h"
#include "monitor/EscapedText.h"

namespace quernel {

namespace {

constexpr std::string_view kHeader = "Quernel printout 1";
constexpr std::string_view kSetupMark = "[setup]";
constexpr std::string_view kDataExtension = ".prn";
constexpr std::string_view kRecordExtension = ".rec";

struct TResultName {
    TPrintoutResult result;
    std::string_view key;   // in the record file
    std::string_view name;  // for the user
};
constexpr TResultName kResults[] = {
    {TPrintoutResult::kPrinted, "printed", "Wydrukowany"},
    {TPrintoutResult::kFailed, "failed", "Nieudany"},
    {TPrintoutResult::kWaiting, "waiting", "Czeka na decyzję"},
    {TPrintoutResult::kDiscarded, "discarded", "Odrzucony"},
};

template <typename T>
std::optional<T> Number(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string DataName(const std::string& id) {
    return id + std::string(kDataExtension);
}

std::string RecordName(const std::string& id) {
    return id + std::string(kRecordExtension);
}

}  // namespace

std::string_view PrintoutResultName(TPrintoutResult result) {
    for (const auto& r : kResults) {
        if (r.result == result) return r.name;
    }
    return {};
}

std::string TPrintoutRecord::ToText() const {
    std::string text(kHeader);
    text += '\n';
    const auto line = [&text](std::string_view key, std::string_view value) {
        text.append(key);
        text += '=';
        text += EscapeField(value);
        text += '\n';
    };
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    line("time", std::to_string(ms));
    line("source", source);
    line("title", title);
    line("printer", printer);
    line("pages", std::to_string(pages));
    line("copies", std::to_string(copies));
    for (const auto& r : kResults) {
        if (r.result == result) line("result", r.key);
    }
    line("error", error);
    line("output", outputFile);
    line("size", std::to_string(size));
    text += kSetupMark;
    text += '\n';
    text += setup.ToText();
    return text;
}

std::optional<TPrintoutRecord> TPrintoutRecord::FromText(std::string_view text, std::string* why) {
    const auto fail = [why](const char* reason) -> std::optional<TPrintoutRecord> {
        if (why != nullptr) *why = reason;
        return std::nullopt;
    };
    const auto nextLine = [&text] {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        return line;
    };
    if (nextLine() != kHeader) return fail("nieznany nagłówek");
    std::map<std::string_view, std::string> values;
    bool setupSeen = false;
    while (!text.empty()) {
        const std::string_view line = nextLine();
        if (line == kSetupMark) {
            setupSeen = true;
            break;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return fail("wiersz bez wartości");
        const auto value = UnescapeField(line.substr(equals + 1));
        if (!value) return fail("błędny zapis wartości");
        values[line.substr(0, equals)] = *value;
    }
    if (!setupSeen) return fail("zapis jest niepełny");
    TPrintoutRecord r;
    const auto ms = Number<long long>(values["time"]);
    const auto pages = Number<int>(values["pages"]);
    const auto copies = Number<int>(values["copies"]);
    const auto size = Number<std::uint64_t>(values["size"]);
    if (!ms || !pages || !copies || !size || *pages < 0 || *copies < 1) {
        return fail("błędna liczba");
    }
    r.time = TimePoint(std::chrono::milliseconds(*ms));
    r.pages = *pages;
    r.copies = *copies;
    r.size = *size;
    const auto result =
        std::find_if(std::begin(kResults), std::end(kResults),
                     [&](const TResultName& n) { return n.key == values["result"]; });
    if (result == std::end(kResults)) return fail("nieznany wynik");
    r.result = result->result;
    r.source = values["source"];
    r.title = values["title"];
    r.printer = values["printer"];
    r.error = values["error"];
    r.outputFile = values["output"];
    const auto setup = TPrintJobSetup::FromText(text);
    if (!setup) return fail("błędne ustawienia wydruku");
    r.setup = *setup;
    return r;
}

TPrintoutStore::TPrintoutStore(IPrintoutFolder* folder, const IClock& clock, TbwLog& history)
    : folder_(folder), clock_(clock), history_(history) {}

const TPrintoutRecord* TPrintoutStore::Find(const std::string& id) const {
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [&](const TPrintoutRecord& r) { return r.id == id; });
    return it == records_.end() ? nullptr : &*it;
}

std::vector<std::string> TPrintoutStore::Waiting() const {
    std::vector<std::string> ids;
    for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
        if (it->result == TPrintoutResult::kWaiting) ids.push_back(it->id);
    }
    return ids;
}

void TPrintoutStore::Sort() {
    std::stable_sort(records_.begin(), records_.end(),
                     [](const TPrintoutRecord& a, const TPrintoutRecord& b) {
                         return a.time != b.time ? a.time > b.time : a.id > b.id;
                     });
}

void TPrintoutStore::Load() {
    records_.clear();
    if (folder_ == nullptr) return;
    std::vector<TStoredFile> files;
    try {
        files = folder_->List();
    } catch (const std::exception& e) {
        history_.Add(std::string("Nie można odczytać ostatnich wydruków: ") + e.what());
        return;
    }
    std::map<std::string, std::uint64_t> data;
    std::vector<std::string> recordIds;
    for (const TStoredFile& file : files) {
        if (EndsWith(file.name, kDataExtension)) {
            data[file.name.substr(0, file.name.size() - kDataExtension.size())] = file.size;
        } else if (EndsWith(file.name, kRecordExtension)) {
            recordIds.push_back(file.name.substr(0, file.name.size() - kRecordExtension.size()));
        } else if (file.name.find(".prn.") != std::string::npos ||
                   file.name.find(".rec.") != std::string::npos) {
            // A temporary file of a write that a stop cut short.
            folder_->Remove(file.name);
        }
    }
    for (const std::string& id : recordIds) {
        std::string why;
        std::optional<TPrintoutRecord> record;
        try {
            record = TPrintoutRecord::FromText(ToString(folder_->Read(RecordName(id))), &why);
        } catch (const std::exception& e) {
            why = e.what();
        }
        const auto bytes = data.find(id);
        if (record && bytes == data.end()) {
            record.reset();
            why = "brak pliku z wydrukiem";
        } else if (record && bytes->second != record->size) {
            record.reset();
            why = "plik z wydrukiem ma inną długość";
        }
        if (!record) {
            // Its files stay as they are: nothing of a printout is deleted unseen.
            if (reported_.insert(id).second) {
                history_.Add("Pominięto uszkodzony zapis wydruku " +
                             folder_->PathOf(RecordName(id)) + ": " + why);
            }
            if (bytes != data.end()) data.erase(bytes);
            continue;
        }
        data.erase(id);
        record->id = id;
        records_.push_back(std::move(*record));
    }
    for (const auto& [id, size] : data) folder_->Remove(DataName(id));
    Sort();
    ApplyLimits();
    Changed();
}

std::string TPrintoutStore::NewId(TimePoint time) const {
    const LocalDateTime t = ToLocal(time);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() %
        1000;
    char stem[64];
    std::snprintf(stem, sizeof stem, "%04d%02d%02d-%02d%02d%02d-%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, static_cast<int>(ms));
    std::string id = stem;
    for (int n = 2; Find(id) != nullptr || reported_.contains(id); ++n) {
        id = std::string(stem) + "-" + std::to_string(n);
    }
    return id;
}

std::string TPrintoutStore::Add(TPrintoutRecord record, ByteView data) {
    if (folder_ == nullptr) return {};
    record.time = clock_.Now();
    record.id = NewId(record.time);
    record.size = data.size();
    folder_->Write(DataName(record.id), data);
    try {
        folder_->Write(RecordName(record.id), ToBytes(record.ToText()));
    } catch (...) {
        folder_->Remove(DataName(record.id));
        throw;
    }
    const std::string id = record.id;
    records_.insert(records_.begin(), std::move(record));
    Sort();
    ApplyLimits();
    Changed();
    return id;
}

void TPrintoutStore::Update(const TPrintoutRecord& record) {
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [&](const TPrintoutRecord& r) { return r.id == record.id; });
    if (it == records_.end() || folder_ == nullptr) return;
    folder_->Write(RecordName(record.id), ToBytes(record.ToText()));
    *it = record;
    ApplyLimits();
    Changed();
}

Bytes TPrintoutStore::Data(const std::string& id) {
    if (folder_ == nullptr) throw FileError("Nie ma przechowanych wydruków.");
    return folder_->Read(DataName(id));
}

std::string TPrintoutStore::DataPath(const std::string& id) const {
    return folder_ == nullptr ? std::string() : folder_->PathOf(DataName(id));
}

void TPrintoutStore::Remove(const std::string& id) {
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [&](const TPrintoutRecord& r) { return r.id == id; });
    if (it == records_.end() || folder_ == nullptr) return;
    // The record first: without it the bytes are an orphan, which the next load deletes.
    folder_->Remove(RecordName(id));
    folder_->Remove(DataName(id));
    records_.erase(it);
    Changed();
}

void TPrintoutStore::SetLimits(TPrintoutLimits limits) {
    const bool tighter = limits.count < limits_.count || limits.megabytes < limits_.megabytes;
    limits_ = limits;
    if (tighter && !records_.empty()) {
        ApplyLimits();
        Changed();
    }
}

void TPrintoutStore::ApplyLimits() {
    if (folder_ == nullptr) return;
    // Failed printouts and those waiting for a decision stay outside the limits: a pile of
    // them must not push out every new printout the moment it is kept.
    std::uint64_t total = 0;
    std::size_t count = 0;
    for (const auto& r : records_) {
        if (r.Protected()) continue;
        total += r.size;
        ++count;
    }
    const std::uint64_t maxBytes = static_cast<std::uint64_t>(std::max(limits_.megabytes, 0)) << 20;
    const std::size_t maxCount = static_cast<std::size_t>(std::max(limits_.count, 0));
    // Oldest first, skipping the protected ones.
    for (std::size_t i = records_.size(); i-- > 0 && (count > maxCount || total > maxBytes);) {
        if (records_[i].Protected()) continue;
        const TPrintoutRecord& r = records_[i];
        folder_->Remove(RecordName(r.id));
        folder_->Remove(DataName(r.id));
        total -= r.size;
        --count;
        records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void TPrintoutStore::Changed() {
    if (onChanged) onChanged();
}

}  // namespace quernel
