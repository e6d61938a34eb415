#include "monitor/MonitoredList.h"

#include "host/Text.h"

#include <algorithm>
#include <cctype>

namespace quernel {

namespace {

std::string FoldedPath(const std::string& text) {
    std::string path = EntryPath(text);
    for (char& c : path) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return path;
}

}  // namespace

std::string EntryPath(const std::string& text) {
    return text.substr(0, text.find("::"));
}

bool TMonitoredList::IsMonitored(const std::string& text) const {
    return foldedPaths_.contains(FoldedPath(text));
}

int TMonitoredList::Insert(TMonitoredEntry entry) {
    ++foldedPaths_[FoldedPath(entry.text)];
    const auto at = std::upper_bound(entries_.begin(), entries_.end(), entry.text,
                                     [](const std::string& text, const TMonitoredEntry& e) {
                                         return LessIgnoringCase(text, e.text);
                                     });
    // The insertion may move the entries: the start is read after it.
    const auto inserted = entries_.insert(at, std::move(entry));
    return static_cast<int>(inserted - entries_.begin());
}

int TMonitoredList::Add(const std::string& text, bool deleteOnStart) {
    return Insert({text, std::make_unique<TFileMonitor>(services_, text, deleteOnStart)});
}

void TMonitoredList::Forget(const std::string& text) {
    const auto it = foldedPaths_.find(FoldedPath(text));
    if (it != foldedPaths_.end() && --it->second == 0) foldedPaths_.erase(it);
}

void TMonitoredList::Remove(int index) {
    Forget(entries_.at(static_cast<std::size_t>(index)).text);
    entries_.erase(entries_.begin() + index);
}

int TMonitoredList::Replace(int index, const std::string& text) {
    auto monitor = std::make_unique<TFileMonitor>(services_, text, false);
    Remove(index);
    return Insert({text, std::move(monitor)});
}

void TMonitoredList::Clear() {
    entries_.clear();
    foldedPaths_.clear();
}

std::vector<std::string> TMonitoredList::Texts() const {
    std::vector<std::string> texts;
    for (const auto& e : entries_) texts.push_back(e.text);
    return texts;
}

}  // namespace quernel
