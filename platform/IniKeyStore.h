#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "host/KeyStore.h"

namespace quernel {

// The settings store as INI files: a key "\Software\Brackwood\Quernel" is the file
// "Brackwood/Quernel.conf" under the per-user root ($QUERNEL_CONFIG_HOME, else
// $XDG_CONFIG_HOME, else ~/.config) or the machine-wide root ($QUERNEL_CONFIG_MACHINE, else
// /etc/xdg). A root where the file cannot be written refuses full access, as a registry key
// without write rights does.
class IniKeyStore final : public IKeyStore {
  public:
    IniKeyStore(std::filesystem::path userRoot, std::filesystem::path machineRoot);
    static IniKeyStore FromEnvironment();

    std::unique_ptr<IRegistryKey> Open(KeyRoot root, const std::string& path,
                                       KeyAccess access) override;

    // The file that holds the key.
    std::filesystem::path KeyFile(KeyRoot root, const std::string& path) const;

  private:
    std::filesystem::path userRoot_;
    std::filesystem::path machineRoot_;
};

}  // namespace quernel
