#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "monitor/Md5.h"

namespace quernel {

// How much of a monitored file was printed: its first `size` bytes, whose digest is `digest`.
struct TPrintedPart {
    std::int64_t size = 0;
    TDigest digest{};
    bool operator==(const TPrintedPart&) const = default;
};

// The printed part of every monitored file, kept across restarts in one small text file (a
// header line, then per file "<size> <digest in hex> <path>", the path with "\" and line feeds
// escaped). The file is replaced in one rename, so a stop at any moment leaves either the
// old or the new state.
class TPrintedState {
  public:
    // An empty path keeps nothing.
    explicit TPrintedState(std::filesystem::path file);

    bool Enabled() const { return !file_.empty(); }

    // Reads the file; a missing or damaged file (or damaged lines) remembers nothing.
    void Load();
    std::optional<TPrintedPart> Remembered(const std::string& path) const;

    // Writes the parts (creating the folder); failures are silent: the state is a help for
    // the next start, not something to stop printing for.
    void Save(const std::map<std::string, TPrintedPart>& parts) const;

  private:
    std::filesystem::path file_;
    std::map<std::string, TPrintedPart> remembered_;
};

}  // namespace quernel
