#pragma once

#include <filesystem>

#include "host/Autostart.h"

namespace quernel {

// The desktop's autostart folder: the ".desktop" files in $XDG_CONFIG_HOME/autostart
// (~/.config/autostart).
class TXdgAutostartFolder final : public IAutostartFolder {
  public:
    explicit TXdgAutostartFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}
    static std::filesystem::path FromEnvironment();

    bool Open() override;
    std::vector<std::string> Entries() override;
    std::string Read(const std::string& entry) override;
    void Write(const std::string& entry, const std::string& content) override;
    void Remove(const std::string& entry) override;

  private:
    std::filesystem::path folder_;
};

}  // namespace quernel
