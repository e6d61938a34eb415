#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quernel {

// The device URI through which a DOS printer queue prints on another queue of the same
// scheduler: through the scheduler's local socket when `server` is one (a path), else through
// localhost and `port`. The DOS queue hands each rendered job over without waiting for it to
// print, so the other queue holds the jobs while its printer is off.
std::string LocalQueueDeviceUri(const std::string& server, int port, const std::string& queue);

// A failure of the print system, by what the user can do about it.
class QueueAdminError : public std::runtime_error {
  public:
    enum class TKind { kNoScheduler, kNotAllowed, kFailed };
    QueueAdminError(TKind kind, const std::string& what) : std::runtime_error(what), kind(kind) {}
    TKind kind;
};

// A queue as the scheduler describes it.
struct TQueueInfo {
    std::string name;
    std::string makeAndModel;
    std::string deviceUri;
};

// A queue to create (or to replace, when it is a DOS printer queue already).
struct TNewQueue {
    std::string name;
    std::string info;  // what print dialogs show
    std::string deviceUri;
    std::string ppd;  // the PPD's text
    bool shared = false;
    int copies = 1;  // the queue's default
};

// What creating and removing queues asks of the print system. Failures raise
// QueueAdminError.
class IQueueAdmin {
  public:
    virtual ~IQueueAdmin() = default;
    // Every queue; a scheduler that does not answer raises kNoScheduler.
    virtual std::vector<TQueueInfo> Queues() = 0;
    virtual void AddQueue(const TNewQueue& queue) = 0;
    virtual void RemoveQueue(const std::string& name) = 0;
    // Whether the scheduler shares the queues marked shared with other machines at all.
    virtual bool SharesQueues() = 0;
    // Where the scheduler was reached: its socket's path, or its host; and its port.
    virtual std::string Server() = 0;
    virtual int Port() = 0;
};

// The make and model every DOS printer queue's PPD gives (its NickName).
inline constexpr const char* kDosQueueModel = "Quernel DOS printer, renders to PDF";

// "quernel --add-queue NAME --printer TARGET [options]" and "quernel --remove-queue NAME".
bool IsQueueCommand(const std::vector<std::string>& args);

// Where the program's parts lie for the queue commands.
struct TQueueCommandSetup {
    std::filesystem::path shippedData;  // the shipped tables and maps
    std::string filter;                 // the filter as the PPD names it
};

// Carries out a queue command; answers the exit code (0 done, 1 failed, 2 a wrong command
// line). Messages for the user go to out and err.
int RunQueueCommand(const std::vector<std::string>& args, IQueueAdmin& admin,
                    const TQueueCommandSetup& setup, std::ostream& out, std::ostream& err);

// How the PPD names the filter: by name when it lies in CUPS's own filter folder, else by its
// path; `executableDir` is the program's folder, `installedFilter` the filter beside an
// installation. Nothing when there is none.
std::optional<std::string> QueueFilterProgram(const std::filesystem::path& executableDir);

}  // namespace quernel
