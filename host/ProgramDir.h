#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quernel {

// The folder that holds the program's own files: the folders "Seq" and "CharMap", the log and
// capture files and the import list.
struct ProgramDirInputs {
    std::optional<std::filesystem::path> overrideDir;  // QUERNEL_PROGRAM_DIR
    std::filesystem::path executableDir;
    std::filesystem::path dataHome;  // $XDG_DATA_HOME, or ~/.local/share
};

// The executable's own path and its name without extension ("quernel").
std::filesystem::path ExecutablePath();
std::string ExecutableName();

ProgramDirInputs ProgramDirInputsFromEnvironment();

// The override when set; else the executable's folder when it is writable and holds the
// shipped data; else
// <dataHome>/quernel. A folder other than the executable's gets the shipped tables and maps
// copied in where it lacks them, so a fresh folder works out of the box. The folder is
// created when missing.
std::filesystem::path ResolveProgramDir(const ProgramDirInputs& inputs);

// Copies the files of "Seq" and "CharMap" from the shipped data into the program folder,
// leaving files that are already there untouched. Failures are ignored.
void InstallShippedData(const std::filesystem::path& shippedDir,
                        const std::filesystem::path& programDir);

// The shipped data beside the executable, or in ../share/quernel for an installed program.
std::filesystem::path ShippedDataDir(const std::filesystem::path& executableDir);

}  // namespace quernel
