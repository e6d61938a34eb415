#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;
class QLockFile;

namespace quernel {

// One running copy of the program per user: a lock file and a local socket named after the
// application title in the user's runtime folder ($XDG_RUNTIME_DIR). The copy that holds the
// lock is the running copy until it ends; any other copy asks it, through the socket, to show
// its window. Needs the Qt application object.
class TSingleInstance {
  public:
    explicit TSingleInstance(const std::string& title);
    ~TSingleInstance();

    // Takes the lock. True: this process is the running copy and listens for other copies.
    // False: another copy holds it. When the lock cannot be taken for another reason (no
    // runtime folder), the program runs rather than not at all.
    bool BecomeRunningCopy();

    // For a copy that is not the running one: asks the running copy to show its window.
    void AskRunningCopyToShow();

    // Called in the running copy when another copy asked it to show its window.
    std::function<void()> onShowRequest;

  private:
    QString lockPath_;
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace quernel
