#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "monitor/QN_File.h"

namespace quernel {

// One entry of the monitored list: its text (a path, or path "::" printer) and its monitor.
struct TMonitoredEntry {
    std::string text;
    std::unique_ptr<TFileMonitor> monitor;
};

// The path part of an entry text: everything before the first "::".
std::string EntryPath(const std::string& text);

// The monitored files and folders, kept sorted by text without regard to letter case, each
// path at most once.
class TMonitoredList {
  public:
    explicit TMonitoredList(TMonitorServices& services) : services_(services) {}

    // True when an entry has the same path part, letters a-z compared without case.
    bool IsMonitored(const std::string& text) const;

    // Builds the entry's monitor and inserts it in sorted place; answers its index.
    int Add(const std::string& text, bool deleteOnStart);
    void Remove(int index);
    // Gives the entry a new text and a new monitor (the file's content counts as printed).
    int Replace(int index, const std::string& text);
    void Clear();

    int Count() const { return static_cast<int>(entries_.size()); }
    const TMonitoredEntry& operator[](int index) const {
        return entries_.at(static_cast<std::size_t>(index));
    }
    std::vector<std::string> Texts() const;

  private:
    int Insert(TMonitoredEntry entry);
    void Forget(const std::string& text);

    TMonitorServices& services_;
    std::vector<TMonitoredEntry> entries_;
    // How many entries have each folded path: the duplicate check of a long list loaded entry
    // by entry stays linear instead of folding every stored path again for each one.
    std::unordered_map<std::string, int> foldedPaths_;
};

}  // namespace quernel
