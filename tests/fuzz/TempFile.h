#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "host/Bytes.h"
#include "host/FileUtil.h"

namespace quernel::fuzz {

// One temporary file per process, rewritten with each input, for readers that take a path.
inline std::filesystem::path InputFile(ByteView data, const std::string& extension) {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "quernel-fuzz-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        return std::filesystem::path(pattern);
    }();
    const std::filesystem::path path = folder / ("input" + extension);
    WriteFileAtomic(path, data, false);
    return path;
}

}  // namespace quernel::fuzz
