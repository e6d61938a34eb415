#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CharMap.h"
#include "engine/EscapeSequences.h"

namespace quernel {

class TbwLog;

// Control-code tables live in "<program folder>/Seq/<name>.seq", character maps in
// "<program folder>/CharMap/<name>.cmap".

// A table or map name that cannot be a file name in its folder.
class InvalidNameError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Throws InvalidNameError for an empty name, "." or "..", or a name holding "/" or NUL: such a
// name would read or write a file outside its folder.
void CheckDataName(std::string_view name);

std::filesystem::path SequenceFilePath(const std::filesystem::path& programDir,
                                       std::string_view name);
std::filesystem::path CharMapFilePath(const std::filesystem::path& programDir,
                                      std::string_view name);

// The names in the folder (created when missing), without the extension, sorted.
std::vector<std::string> ListSequenceTables(const std::filesystem::path& programDir);
std::vector<std::string> ListCharMaps(const std::filesystem::path& programDir);

// Loads the named table or map over `active` and logs "Ustawione ... : <name>". A missing file
// changes nothing, logs nothing and answers false. Throws InvalidNameError or FileError.
bool LoadSequencesByName(const std::filesystem::path& programDir, std::string_view name,
                         TEscapeSequences& active, TbwLog& log);
bool LoadCharMapByName(const std::filesystem::path& programDir, std::string_view name,
                       TCharMapRecord& active, TbwLog& log);

// Writes the named file and logs "Zapisane ... : <name>". Throws InvalidNameError or FileError.
void SaveSequencesByName(const std::filesystem::path& programDir, std::string_view name,
                         const TEscapeSequences& table, TbwLog& log);
void SaveCharMapByName(const std::filesystem::path& programDir, std::string_view name,
                       const TCharMapRecord& map, TbwLog& log);

}  // namespace quernel
