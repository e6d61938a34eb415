#include "monitor/PrintedState.h"

#include <cerrno>
#include <charconv>
#include <string_view>
#include <system_error>

#include "host/FileUtil.h"
#include "monitor/EscapedText.h"

namespace quernel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHeader1 = "quernel printed 1";
constexpr std::string_view kHeader2 = "quernel printed 2";
constexpr char kHex[] = "0123456789abcdef";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string HexDigest(const TDigest& digest) {
    std::string out;
    for (const std::uint8_t b : digest) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::optional<TDigest> ParseDigest(std::string_view text) {
    if (text.size() != 32) return std::nullopt;
    TDigest digest{};
    for (std::size_t i = 0; i < 16; ++i) {
        const int high = HexValue(text[2 * i]);
        const int low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return digest;
}

template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t from = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', from);
        fields.push_back(line.substr(from, tab - from));
        if (tab == std::string_view::npos) return fields;
        from = tab + 1;
    }
}

// The first state format: "<size> <32 hex digits> <path with "\" and LF escaped>".
bool ParseFirstFormatLine(std::string_view line, TStateRecord& record) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 34 || line[space + 33] != ' ') {
        return false;
    }
    const auto size = ParseNumber<std::int64_t>(line.substr(0, space));
    const auto digest = ParseDigest(line.substr(space + 1, 32));
    auto path = UnescapeField(line.substr(space + 34));
    if (!size || !digest || !path || path->empty()) return false;
    record.files[*path].printed = {*size, *digest};
    return true;
}

bool ParseRecordLine(std::string_view line, TStateRecord& record) {
    const auto f = Fields(line);
    const auto text = [&](std::size_t i) { return UnescapeField(f[i]); };
    if (f[0] == "printed" && f.size() == 4) {
        const auto size = ParseNumber<std::int64_t>(f[1]);
        const auto digest = ParseDigest(f[2]);
        auto path = text(3);
        if (!size || !digest || !path || path->empty()) return false;
        record.files[*path].printed = {*size, *digest};
        return true;
    }
    if (f[0] == "pending" && f.size() == 8) {
        auto path = text(1);
        const auto end = ParseNumber<std::int64_t>(f[2]);
        const auto digest = ParseDigest(f[3]);
        auto printer = text(4), title = text(5), file = text(7);
        const auto job = ParseNumber<int>(f[6]);
        if (!path || path->empty() || !end || !digest || !printer || !title || !job || !file) {
            return false;
        }
        record.files[*path].pending = TPendingPart{
            *end, *digest, std::move(*printer), std::move(*title), *job, std::move(*file)};
        return true;
    }
    // A job line without the kept printout's id is read as one that has none.
    if (f[0] == "job" && (f.size() == 8 || f.size() == 9)) {
        const auto job = ParseNumber<int>(f[1]);
        auto printer = text(2), title = text(3), path = text(4);
        const auto start = ParseNumber<std::int64_t>(f[5]);
        const auto end = ParseNumber<std::int64_t>(f[6]);
        const auto digest = ParseDigest(f[7]);
        auto kept = f.size() == 9 ? text(8) : std::optional<std::string>(std::string());
        if (!job || *job == 0 || !printer || !title || !path || !start || !end || *end < *start ||
            !digest || !kept) {
            return false;
        }
        record.jobs.push_back({*job, std::move(*printer), std::move(*title), std::move(*path),
                               *start, *end, *digest, std::move(*kept)});
        return true;
    }
    return false;
}

void AddDamage(std::string& damage, std::string_view what) {
    if (damage.find(what) != std::string::npos) return;
    if (!damage.empty()) damage += ", ";
    damage += what;
}

// A program stopped while writing leaves its temporary file ("<name>.XXXXXX") behind.
void RemoveLeftovers(const fs::path& file) {
    std::error_code ec;
    const std::string stem = file.filename().string() + ".";
    for (const auto& entry : fs::directory_iterator(file.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == stem.size() + 6 && name.starts_with(stem)) fs::remove(entry.path(), ec);
    }
}

void CreateFolder(const fs::path& file) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) {
        throw FileError("Cannot create the folder \"" + file.parent_path().string() + "\". " +
                        ec.message());
    }
}

}  // namespace

TPrintedState::TPrintedState(fs::path file, fs::path fallback)
    : file_(std::move(file)), fallback_(std::move(fallback)) {}

std::string TPrintedState::Format(const TStateRecord& record) {
    std::string text(kHeader2);
    text += '\n';
    std::size_t count = 0;
    for (const auto& [path, file] : record.files) {
        text += "printed\t" + std::to_string(file.printed.size) + '\t' +
                HexDigest(file.printed.digest) + '\t' + EscapeField(path) + '\n';
        ++count;
        if (const auto& p = file.pending) {
            text += "pending\t" + EscapeField(path) + '\t' + std::to_string(p->end) + '\t' +
                    HexDigest(p->digest) + '\t' + EscapeField(p->printer) + '\t' +
                    EscapeField(p->title) + '\t' + std::to_string(p->job) + '\t' +
                    EscapeField(p->file) + '\n';
            ++count;
        }
    }
    for (const TFollowedJob& j : record.jobs) {
        text += "job\t" + std::to_string(j.job) + '\t' + EscapeField(j.printer) + '\t' +
                EscapeField(j.title) + '\t' + EscapeField(j.path) + '\t' + std::to_string(j.start) +
                '\t' + std::to_string(j.end) + '\t' + HexDigest(j.digest) + '\t' +
                EscapeField(j.kept) + '\n';
        ++count;
    }
    text += "end\t" + std::to_string(count) + '\n';
    return text;
}

// Every line that reads as a record is taken, whatever else is wrong with the text: a record
// is checked against its file before it is trusted, and one damaged line must not cost the
// others.
TStateRecord TPrintedState::Parse(const std::string& text, std::string* damage) {
    TStateRecord record;
    std::string found;
    if (text.empty()) AddDamage(found, "plik jest pusty");
    std::vector<std::string_view> lines;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = text.find('\n', from);
        if (end == std::string::npos) {
            AddDamage(found, "ostatni wiersz jest ucięty");
            break;
        }
        std::string_view line(text.data() + from, end - from);
        if (line.ends_with('\r')) {
            AddDamage(found, "końce wierszy CR LF");
            line.remove_suffix(1);
        }
        lines.push_back(line);
        from = end + 1;
    }
    std::size_t first = 0;
    int version = 0;
    if (!lines.empty() && lines[0] == kHeader1) {
        version = 1;
        first = 1;
    } else if (!lines.empty() && lines[0] == kHeader2) {
        version = 2;
        first = 1;
    } else if (!text.empty()) {
        AddDamage(found, "brak nagłówka");
    }
    std::size_t records = 0, unreadable = 0;
    std::optional<std::size_t> endCount;
    bool afterEnd = false;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (endCount) afterEnd = true;
        if (version != 1 && line.starts_with("end\t")) {
            endCount = ParseNumber<std::size_t>(line.substr(4));
            if (!endCount) ++unreadable;
            continue;
        }
        const bool read = (version != 1 && ParseRecordLine(line, record)) ||
                          (version != 2 && ParseFirstFormatLine(line, record));
        if (read) {
            ++records;
        } else {
            ++unreadable;
        }
    }
    if (unreadable > 0) AddDamage(found, "nieczytelne wiersze: " + std::to_string(unreadable));
    if (version == 2 && !endCount) AddDamage(found, "brak wiersza końcowego");
    if (version == 2 && endCount && *endCount != records) {
        AddDamage(found, "liczba wpisów nie zgadza się z wierszem końcowym");
    }
    if (afterEnd) AddDamage(found, "wiersze po wierszu końcowym");
    // The first format was always written with an entry for every monitored file seen, and
    // the default print file is always monitored: a file without entries lost them.
    if (version == 1 && records == 0) AddDamage(found, "sam nagłówek, bez wpisów");
    if (damage != nullptr) *damage = std::move(found);
    return record;
}

bool TPrintedState::LoadFrom(const fs::path& file, TStateRecord& record, std::string& damage) {
    Bytes bytes;
    try {
        bytes = ReadWholeFile(file);
    } catch (const FileError& e) {
        std::error_code ec;
        if (!fs::exists(file, ec) && !ec) return false;  // never written: nothing to know
        damage = std::string("nie można go odczytać: ") + e.what();
        return true;
    }
    record = Parse(ToString(bytes), &damage);
    return true;
}

void TPrintedState::Load(const LocalDateTime& now) {
    record_ = {};
    damage_ = {};
    if (!Enabled()) return;
    RemoveLeftovers(file_);
    if (!fallback_.empty()) {
        RemoveLeftovers(fallback_);
        // The fallback exists only while the file could not be written since: it is newer.
        TStateRecord record;
        std::string damage;
        if (LoadFrom(fallback_, record, damage) && damage.empty()) {
            record_ = std::move(record);
            return;
        }
    }
    std::string damage;
    if (!LoadFrom(file_, record_, damage) || damage.empty()) return;
    damage_.what = std::move(damage);
    damage_.keptAs = KeepDamagedCopy(file_, now, damage_.copyError);
}

std::optional<TRememberedFile> TPrintedState::Remembered(const std::string& path) const {
    const auto it = record_.files.find(path);
    if (it == record_.files.end()) return std::nullopt;
    return it->second;
}

TPrintedState::SaveResult TPrintedState::Save(const TStateRecord& record,
                                              std::string* error) const {
    if (!Enabled()) return SaveResult::kSaved;
    const std::string text = Format(record);
    try {
        CreateFolder(file_);
        WriteFileAtomic(file_, ToBytes(text), true);
    } catch (const FileError& e) {
        if (fallback_.empty()) throw;
        try {
            CreateFolder(fallback_);
            WriteFileAtomic(fallback_, ToBytes(text), true);
        } catch (const FileError&) {
            throw e;
        }
        if (error != nullptr) *error = e.what();
        return SaveResult::kSavedInFallback;
    }
    if (!fallback_.empty()) {
        std::error_code ec;
        fs::remove(fallback_, ec);
    }
    return SaveResult::kSaved;
}

}  // namespace quernel
