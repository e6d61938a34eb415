#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/Clock.h"
#include "monitor/MonitorServices.h"

namespace quernel {

// The monitors' file system on POSIX: stat and readdir for lookups, plain descriptors for
// reading, /proc for telling whether another process holds a file open.
//
// In a folder other users may write (a shared one like /tmp), a link is followed only when it
// is this user's own (or root's): another user's link there could lead the program to read
// and print a private file of this user's. Such a link is found as not regular with
// kUntrustedLinkReason, opening it is refused, and a folder's listing leaves it out.
class TPosixFileSystem final : public IFileSystem {
  public:
    // The clock decides when a folder listing is read afresh; none: the system's.
    explicit TPosixFileSystem(const IClock* clock = nullptr) : clock_(clock) {}

    std::optional<TFoundFile> Find(const std::string& path) override;
    std::vector<TFoundFile> Enumerate(const std::string& pathWithMask) override;
    std::unique_ptr<IReadFile> OpenRead(const std::string& path) override;
    // Fails for a file without write permission (as a read-only file refuses a writer, also to
    // root) and while any descriptor other than the one opened for the test refers to the file,
    // in any process of the user, this one included.
    void TestExclusiveOpen(const std::string& path) override;
    bool Delete(const std::string& path) override;

  private:
    // The matching names a folder listing found, in listing order. While the folder itself is
    // unchanged (no entry added, removed or renamed: same modification and change times) they
    // are used again, so an idle check of a large folder costs one stat per file instead of
    // reading the whole folder; it is read afresh at least every two seconds all the same,
    // for file systems with coarse folder times.
    struct TListing {
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        timespec changed{};
        TimePoint read;
        std::vector<std::string> names;
    };
    const IClock* clock_;
    std::unordered_map<std::string, TListing> listings_;
};

// Whether the name matches the mask: "*" any run of characters, "?" one character, letters
// without regard to case; a mask ending in ".*" also matches names without a dot (so "*.*"
// matches every name), as on DOS.
bool MatchesMask(std::string_view name, std::string_view mask);

}  // namespace quernel
