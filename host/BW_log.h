#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "host/Bytes.h"
#include "host/Clock.h"

namespace quernel {

// Local date and time of the stamp in front of every log line: "2024-03-09 17:05:01", or the
// date alone during the first second after midnight.
std::string TimeStamp(const LocalDateTime& t);

// Whatever shows the history to the user: the window's history box, or a console.
class IHistoryView {
  public:
    virtual ~IHistoryView() = default;
    virtual void AppendLine(const std::string& line) = 0;
};

// The history the user sees. Lines are "<stamp> : <message>", with the message's control
// characters shown escaped (EscapeControls); while no view is attached the messages are
// dropped.
class TbwLog {
  public:
    explicit TbwLog(const IClock& clock, IHistoryView* view = nullptr);

    void Attach(IHistoryView* view);
    void Add(std::string_view message);

  private:
    const IClock& clock_;
    IHistoryView* view_;
};

// The diagnostic log file and the print capture file. Both are emptied when the object is
// created; every call opens and closes its file, so both are complete on disk between calls.
// Only regular files are written: a link, a pipe or a device under either name is left
// alone. Failures are silent: a folder without write access just leaves the files out.
class TfileLog {
  public:
    // Empty paths give a log that writes nothing (tools that run without a program folder).
    TfileLog(const IClock& clock, std::filesystem::path logPath, std::filesystem::path capturePath);

    // "<folder>/<name>.log" and "<folder>/<name>.prn" for the executable <name>.
    static TfileLog ForProgram(const IClock& clock, const std::filesystem::path& folder,
                               const std::string& executableName);

    // Appends "<stamp>:<line>" and CR LF to the log file, the line's control characters
    // escaped.
    void Add(std::string_view line);

    // Appends data[start .. start+count) to the capture file, clamped to the data.
    void AppendRaw(ByteView data, long long start, long long count);

    const std::filesystem::path& LogPath() const { return logPath_; }
    const std::filesystem::path& CapturePath() const { return capturePath_; }

  private:
    const IClock& clock_;
    std::filesystem::path logPath_;
    std::filesystem::path capturePath_;
};

}  // namespace quernel
