#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "host/Clock.h"
#include "host/KeyStore.h"

namespace quernel {

// The settings store as INI files: a key "\Software\Brackwood\Quernel" is the file
// "Brackwood/Quernel.conf" under the per-user root ($QUERNEL_CONFIG_HOME, else
// $XDG_CONFIG_HOME, else ~/.config) or the machine-wide root ($QUERNEL_CONFIG_MACHINE, else
// /etc/xdg). A root where the file cannot be written refuses full access, as a registry key
// without write rights does.
//
// A file that does not load cleanly (syntax errors, control characters in its text or in a
// value) is reported once, and copied beside it as "<name>.bad-<date>" before it is first
// opened for writing, so the save that follows loses nothing of it for good.
class IniKeyStore final : public IKeyStore {
  public:
    // The clock dates the copies of damaged files; none: the system's.
    IniKeyStore(std::filesystem::path userRoot, std::filesystem::path machineRoot,
                const IClock* clock = nullptr);
    static IniKeyStore FromEnvironment(const IClock* clock = nullptr);

    std::unique_ptr<IRegistryKey> Open(KeyRoot root, const std::string& path,
                                       KeyAccess access) override;

    // The file that holds the key.
    std::filesystem::path KeyFile(KeyRoot root, const std::string& path) const;

    // Where the reports of damaged files go: `error` for the damage, else for the copy.
    using Notices = std::function<void(const std::string& message, bool error)>;
    void SetNotices(Notices notices) { notices_ = std::move(notices); }

  private:
    struct FileCheck {
        std::string damage;  // empty: it loaded cleanly
        bool copied = false;
    };
    void CheckFile(const std::filesystem::path& file, bool forWriting);
    void Notice(const std::string& message, bool error);

    std::filesystem::path userRoot_;
    std::filesystem::path machineRoot_;
    const IClock* clock_;
    Notices notices_;
    // The first look at each file, kept until the file was copied (or found clean).
    std::map<std::filesystem::path, FileCheck> checks_;
};

}  // namespace quernel
