#pragma once

#include <string>
#include <vector>

namespace quernel {

class TbwLog;

// The desktop's list of programs started with the session, one entry per file.
class IAutostartFolder {
  public:
    virtual ~IAutostartFolder() = default;
    // Makes the folder ready for changes, creating it when missing; false when it cannot be
    // changed.
    virtual bool Open() = 0;
    // The names of the entries (without their folder). Failures raise std::exception.
    virtual std::vector<std::string> Entries() = 0;
    virtual std::string Read(const std::string& entry) = 0;
    virtual void Write(const std::string& entry, const std::string& content) = 0;
    // Removing an entry that is not there is no error.
    virtual void Remove(const std::string& entry) = 0;
};

// The program's own entry.
inline constexpr const char* kAutostartEntry = "BrackwoodQuernel.desktop";

// The entry's text: the program, quoted, started with "/hide".
std::string AutostartEntryText(const std::string& programPath);

// Removes every entry that names the program (its upper-cased file name inside the entry's
// upper-cased text), then writes the program's entry when `on`. Logs "Autostart włączony" or
// "Autostart wyłączony", or "Błąd ustawienia autostartu" when a step fails; a folder that
// cannot be changed changes nothing and logs nothing.
void RegisterAutostart(IAutostartFolder& folder, const std::string& programPath, bool on,
                       TbwLog& history);

}  // namespace quernel
