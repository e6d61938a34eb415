#include "host/Autostart.h"

#include <exception>

#include "host/BW_log.h"
#include "host/Processes.h"
#include "host/Text.h"

namespace quernel {

namespace {

// An argument of a desktop entry's Exec line: quoted, with the characters that are special
// inside the quotes escaped, then escaped once more as a string value of the entry; "%"
// starts a field code and is doubled.
std::string ExecArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        if (c == '\\') value += '\\';
        value += c;
    }
    return value;
}

}  // namespace

std::string AutostartEntryText(const std::string& programPath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Brackwood Quernel\n"
           "Comment=Drukowanie z programów DOS\n"
           "Exec=" +
           ExecArgument(programPath) +
           " /hide\n"
           "Icon=quernel\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

void RegisterAutostart(IAutostartFolder& folder, const std::string& programPath, bool on,
                       TbwLog& history) {
    if (!folder.Open()) return;
    try {
        const std::string name = ProgramFileName(programPath);
        for (const auto& entry : folder.Entries()) {
            if (ToUpperAscii(folder.Read(entry)).find(name) != std::string::npos) {
                folder.Remove(entry);
            }
        }
        if (on) {
            folder.Write(kAutostartEntry, AutostartEntryText(programPath));
            history.Add("Autostart włączony");
        } else {
            folder.Remove(kAutostartEntry);
            history.Add("Autostart wyłączony");
        }
    } catch (const std::exception&) {
        history.Add("Błąd ustawienia autostartu");
    }
}

}  // namespace quernel
