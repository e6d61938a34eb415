#pragma once

#include <sys/types.h>

#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>

#include "host/FileUtil.h"

class QSocketNotifier;

namespace quernel {

// The name of the one-copy socket in the abstract namespace (no file stands behind it, so
// none can be deleted, planted or left behind): the title, the user's id and the runtime
// folder ($XDG_RUNTIME_DIR, else /run/user/<uid>), so that the copies of one user's session
// find each other. A folder too long for a socket name is replaced by a digest of it. Read
// at start, before the program sets a runtime folder of its own for Qt.
std::string OneCopySocketName(const std::string& title, uid_t user, const std::string& runtime);
std::string OneCopySocketName(const std::string& title);

// One running copy of the program per user. The copy that binds the socket's name is the
// running copy until it ends (the kernel frees the name with the process, also after a
// kill); any other copy connects to it, checks that the process at the other end is the same
// user's, and asks it to show its window. The running copy answers only its own user.
class TSingleInstance {
  public:
    enum class TStart {
        kRunning,    // this process is the running copy and listens for other copies
        kOtherCopy,  // another copy of this user runs: ask it to show its window, then end
        kFailed,     // neither: Error() says why, and this copy must not start
    };

    explicit TSingleInstance(std::string socketName);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // Binds the name, or finds the copy that holds it (waiting up to 3 seconds for a copy that
    // is just starting or ending). Listening for requests needs the Qt application object.
    TStart BecomeRunningCopy();
    const std::string& Error() const { return error_; }

    // For kOtherCopy: asks the running copy to show its window.
    void AskRunningCopyToShow();

    // Called in the running copy when another copy asked it to show its window.
    std::function<void()> onShowRequest;

  private:
    class TRequest;
    void Accept();
    void Finished(TRequest* request);

    std::string name_;
    std::string error_;
    UniqueFd listening_;
    UniqueFd runningCopy_;  // the connection to the running copy (kOtherCopy)
    std::unique_ptr<QSocketNotifier> acceptNotifier_;
    std::list<std::unique_ptr<TRequest>> requests_;
};

// The process id of this user's running copy, found through its socket (the id the kernel
// reports for the process at the other end); nothing when no copy runs or the socket belongs
// to another user.
std::optional<pid_t> RunningCopyPid(const std::string& socketName);

}  // namespace quernel
