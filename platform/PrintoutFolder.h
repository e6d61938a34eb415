#pragma once

#include <filesystem>

#include "monitor/PrintoutStore.h"

namespace quernel {

// The kept printouts' folder on disk: $XDG_DATA_HOME/quernel/printouts (~/.local/share/...).
// Files are replaced through a temporary name and a rename, their data synced first, so a
// crash or a power cut leaves the old file or the new one.
class TPrintoutFolder final : public IPrintoutFolder {
  public:
    explicit TPrintoutFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // <data home>/quernel/printouts for the environment's $XDG_DATA_HOME, else ~/.local/share.
    static std::filesystem::path FromEnvironment();

    std::vector<TStoredFile> List() override;
    Bytes Read(const std::string& name) override;
    void Write(const std::string& name, ByteView data) override;
    void Remove(const std::string& name) override;
    std::string PathOf(const std::string& name) const override;

    const std::filesystem::path& Folder() const { return folder_; }

  private:
    std::filesystem::path folder_;
};

}  // namespace quernel
