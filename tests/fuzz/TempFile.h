#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "host/Bytes.h"
#include "host/FileUtil.h"

namespace quernel::fuzz {

// A temporary folder for the whole process, removed at its end.
class ProcessFolder {
  public:
    ProcessFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quernel-fuzz-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ProcessFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// One temporary file, rewritten with each input, for readers that take a path.
inline std::filesystem::path InputFile(ByteView data, const std::string& extension) {
    static const ProcessFolder folder;
    const std::filesystem::path path = folder.path() / ("input" + extension);
    WriteFileAtomic(path, data, false);
    return path;
}

}  // namespace quernel::fuzz
