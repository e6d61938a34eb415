#include "engine/DataFiles.h"

#include <algorithm>
#include <system_error>

#include "host/BW_log.h"

namespace quernel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSeqFolder = "Seq";
constexpr std::string_view kSeqExt = ".seq";
constexpr std::string_view kMapFolder = "CharMap";
constexpr std::string_view kMapExt = ".cmap";

fs::path DataPath(const fs::path& programDir, std::string_view folder, std::string_view name,
                  std::string_view ext) {
    CheckDataName(name);
    std::string file(name);
    file += ext;
    return programDir / folder / file;
}

std::vector<std::string> ListNames(const fs::path& programDir, std::string_view folder,
                                   std::string_view ext) {
    const fs::path dir = programDir / folder;
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.size() > ext.size() && file.ends_with(ext)) {
            names.push_back(file.substr(0, file.size() - ext.size()));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

}  // namespace

void CheckDataName(std::string_view name) {
    const bool bad = name.empty() || name == "." || name == ".." ||
                     name.find('/') != std::string_view::npos ||
                     name.find('\0') != std::string_view::npos;
    if (bad) {
        throw InvalidNameError("Nieprawidłowa nazwa: \"" + std::string(name) +
                               "\". Nazwa nie może być pusta, zawierać znaku \"/\" ani być "
                               "\".\" lub \"..\".");
    }
}

fs::path SequenceFilePath(const fs::path& programDir, std::string_view name) {
    return DataPath(programDir, kSeqFolder, name, kSeqExt);
}

fs::path CharMapFilePath(const fs::path& programDir, std::string_view name) {
    return DataPath(programDir, kMapFolder, name, kMapExt);
}

std::vector<std::string> ListSequenceTables(const fs::path& programDir) {
    return ListNames(programDir, kSeqFolder, kSeqExt);
}

std::vector<std::string> ListCharMaps(const fs::path& programDir) {
    return ListNames(programDir, kMapFolder, kMapExt);
}

bool LoadSequencesByName(const fs::path& programDir, std::string_view name,
                         TEscapeSequences& active, TbwLog& log) {
    const fs::path path = SequenceFilePath(programDir, name);
    if (!IsFile(path)) return false;
    active = ReadSequenceFile(path);
    log.Add("Ustawione kody sterujące : " + std::string(name));
    return true;
}

bool LoadCharMapByName(const fs::path& programDir, std::string_view name, TCharMapRecord& active,
                       TbwLog& log) {
    const fs::path path = CharMapFilePath(programDir, name);
    if (!IsFile(path)) return false;
    ReadCharMapFile(path, active);
    log.Add("Ustawione mapowanie : " + std::string(name));
    return true;
}

void SaveSequencesByName(const fs::path& programDir, std::string_view name,
                         const TEscapeSequences& table, TbwLog& log) {
    const fs::path path = SequenceFilePath(programDir, name);
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    WriteSequenceFile(path, table);
    log.Add("Zapisane kody sterujące : " + std::string(name));
}

void SaveCharMapByName(const fs::path& programDir, std::string_view name, const TCharMapRecord& map,
                       TbwLog& log) {
    const fs::path path = CharMapFilePath(programDir, name);
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    WriteCharMapFile(path, map);
    log.Add("Zapisane mapowanie : " + std::string(name));
}

}  // namespace quernel
