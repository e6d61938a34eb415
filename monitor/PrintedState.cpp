#include "monitor/PrintedState.h"

#include <charconv>
#include <system_error>

#include "host/FileUtil.h"

namespace quernel {

namespace {

constexpr std::string_view kHeader = "quernel printed 1\n";
constexpr char kHex[] = "0123456789abcdef";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Escape(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        if (text[i] == '\\') {
            out += '\\';
        } else if (text[i] == 'n') {
            out += '\n';
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// "<size> <32 hex digits> <escaped path>"
std::optional<std::pair<std::string, TPrintedPart>> ParseLine(std::string_view line) {
    TPrintedPart part;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), part.size);
    if (error != std::errc() || part.size < 0) return std::nullopt;
    std::size_t at = static_cast<std::size_t>(end - line.data());
    if (at + 1 + 32 + 1 > line.size() || line[at] != ' ' || line[at + 33] != ' ') {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < 16; ++i) {
        const int high = HexValue(line[at + 1 + 2 * i]);
        const int low = HexValue(line[at + 2 + 2 * i]);
        if (high < 0 || low < 0) return std::nullopt;
        part.digest[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    auto path = Unescape(line.substr(at + 34));
    if (!path || path->empty()) return std::nullopt;
    return std::make_pair(std::move(*path), part);
}

}  // namespace

TPrintedState::TPrintedState(std::filesystem::path file) : file_(std::move(file)) {}

void TPrintedState::Load() {
    remembered_.clear();
    if (!Enabled()) return;
    // A program stopped while writing leaves its temporary file ("<name>.XXXXXX") behind.
    std::error_code ec;
    const std::string stem = file_.filename().string() + ".";
    for (const auto& entry : std::filesystem::directory_iterator(file_.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == stem.size() + 6 && name.starts_with(stem)) {
            std::filesystem::remove(entry.path(), ec);
        }
    }
    std::string text;
    try {
        text = ToString(ReadWholeFile(file_));
    } catch (const FileError&) {
        return;
    }
    if (!text.starts_with(kHeader)) return;
    std::size_t from = kHeader.size();
    while (from < text.size()) {
        const std::size_t end = text.find('\n', from);
        if (end == std::string::npos) break;  // a line without its end was cut short
        if (auto entry = ParseLine(std::string_view(text).substr(from, end - from))) {
            remembered_.insert_or_assign(std::move(entry->first), entry->second);
        }
        from = end + 1;
    }
}

std::optional<TPrintedPart> TPrintedState::Remembered(const std::string& path) const {
    const auto it = remembered_.find(path);
    if (it == remembered_.end()) return std::nullopt;
    return it->second;
}

void TPrintedState::Save(const std::map<std::string, TPrintedPart>& parts) const {
    if (!Enabled()) return;
    std::string text(kHeader);
    for (const auto& [path, part] : parts) {
        text += std::to_string(part.size);
        text += ' ';
        for (const std::uint8_t b : part.digest) {
            text += kHex[b >> 4];
            text += kHex[b & 15];
        }
        text += ' ';
        text += Escape(path);
        text += '\n';
    }
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    try {
        // No fsync: the rename is what keeps a stopped program from leaving a cut file.
        WriteFileAtomic(file_, ToBytes(text), false);
    } catch (const FileError&) {
    }
}

}  // namespace quernel
