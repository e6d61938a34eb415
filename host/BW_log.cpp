#include "host/BW_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "host/Text.h"

namespace quernel {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens the regular file for writing, emptied or for appending. A link is not followed, and a
// pipe or a device is not written: in a folder others may write, either could lead the writes
// (and the emptying) elsewhere.
File Open(const std::filesystem::path& path, bool empty) {
    if (path.empty()) return nullptr;
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY |
                      (empty ? 0 : O_APPEND);
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (empty && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return nullptr;
    }
    File file(::fdopen(fd, empty ? "wb" : "ab"));
    if (!file) ::close(fd);
    return file;
}

}  // namespace

std::string TimeStamp(const LocalDateTime& t) {
    char buf[48];
    if (t.hour == 0 && t.minute == 0 && t.second == 0) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
    } else {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
    }
    return buf;
}

TbwLog::TbwLog(const IClock& clock, IHistoryView* view) : clock_(clock), view_(view) {}

void TbwLog::Attach(IHistoryView* view) {
    view_ = view;
}

void TbwLog::Add(std::string_view message) {
    if (view_ == nullptr) return;
    std::string line = TimeStamp(ToLocal(clock_.Now()));
    line += " : ";
    line += EscapeControls(message);
    view_->AppendLine(line);
}

TfileLog::TfileLog(const IClock& clock, std::filesystem::path logPath,
                   std::filesystem::path capturePath)
    : clock_(clock), logPath_(std::move(logPath)), capturePath_(std::move(capturePath)) {
    File log = Open(logPath_, true);
    if (!log) return;  // without a log file the capture file is left as it was
    const std::string line = TimeStamp(ToLocal(clock_.Now())) + ":Start\r\n";
    const bool written = std::fwrite(line.data(), 1, line.size(), log.get()) == line.size();
    log.reset();
    if (written) Open(capturePath_, true);
}

TfileLog TfileLog::ForProgram(const IClock& clock, const std::filesystem::path& folder,
                              const std::string& executableName) {
    return TfileLog(clock, folder / (executableName + ".log"), folder / (executableName + ".prn"));
}

void TfileLog::Add(std::string_view line) {
    File log = Open(logPath_, false);
    if (!log) return;
    std::string text = TimeStamp(ToLocal(clock_.Now()));
    text += ':';
    text += EscapeControls(line);
    text += "\r\n";
    std::fwrite(text.data(), 1, text.size(), log.get());
}

void TfileLog::AppendRaw(ByteView data, long long start, long long count) {
    const auto size = static_cast<long long>(data.size());
    if (start < 0) start = 0;
    if (count <= 0 || start >= size) return;
    if (count > size - start) count = size - start;
    File capture = Open(capturePath_, false);
    if (!capture) return;
    std::fwrite(data.data() + start, 1, static_cast<std::size_t>(count), capture.get());
    std::fflush(capture.get());
}

}  // namespace quernel
