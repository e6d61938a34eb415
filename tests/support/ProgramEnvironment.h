#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace quernel::test {

// The environment that keeps everything a started program writes below `dir`: home ("home"),
// runtime folder ("run", private, as the one-copy lock wants it), XDG configuration ("xdg") and
// data ("data", the kept printouts),
// settings roots ("config", "machine"), program folder ("program"), PDF folder ("pdf") and
// state ("state"). The print system is the caller's choice.
inline std::map<std::string, std::string> ProgramEnvironment(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    fs::create_directories(dir / "run");
    fs::permissions(dir / "run", fs::perms::owner_all);
    return {{"HOME", (dir / "home").string()},
            {"XDG_RUNTIME_DIR", (dir / "run").string()},
            {"XDG_CONFIG_HOME", (dir / "xdg").string()},
            {"XDG_DATA_HOME", (dir / "data").string()},
            {"QUERNEL_CONFIG_HOME", (dir / "config").string()},
            {"QUERNEL_CONFIG_MACHINE", (dir / "machine").string()},
            {"QUERNEL_PROGRAM_DIR", (dir / "program").string()},
            {"QUERNEL_PDF_DIR", (dir / "pdf").string()},
            {"QUERNEL_STATE_HOME", (dir / "state").string()}};
}

}  // namespace quernel::test
