#include "platform/IniKeyStore.h"

#include "host/Environment.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSettings>
#include <QStringList>
#include <system_error>

namespace quernel {

namespace fs = std::filesystem;

namespace {

class IniKey final : public IRegistryKey {
  public:
    IniKey(const fs::path& file, KeyAccess access)
        : settings_(QString::fromStdString(file.string()), QSettings::IniFormat), access_(access) {}

    ~IniKey() override {
        if (access_ == KeyAccess::kFull) settings_.sync();  // failures are dropped silently
    }

    std::optional<std::int32_t> ReadInteger(const std::string& name) override {
        const auto text = ReadString(name);
        if (!text) return std::nullopt;
        bool ok = false;
        const int value = QString::fromStdString(*text).trimmed().toInt(&ok);
        if (!ok) return std::nullopt;
        return value;
    }

    std::optional<std::string> ReadString(const std::string& name) override {
        const QString key = QString::fromStdString(name);
        if (!settings_.contains(key)) return std::nullopt;
        const QVariant value = settings_.value(key);
        // An unquoted value with commas, typed in by hand, reads as a list.
        if (value.userType() == QMetaType::QStringList) {
            return value.toStringList().join(", ").toStdString();
        }
        return value.toString().toStdString();
    }

    void WriteInteger(const std::string& name, std::int32_t value) override {
        if (access_ == KeyAccess::kFull) settings_.setValue(QString::fromStdString(name), value);
    }

    void WriteString(const std::string& name, const std::string& value) override {
        if (access_ == KeyAccess::kFull) {
            settings_.setValue(QString::fromStdString(name), QString::fromStdString(value));
        }
    }

    std::vector<std::string> ValueNames() override {
        std::vector<std::string> names;
        for (const QString& key : settings_.childKeys()) names.push_back(key.toStdString());
        return names;
    }

    void DeleteValue(const std::string& name) override {
        if (access_ == KeyAccess::kFull) settings_.remove(QString::fromStdString(name));
    }

  private:
    QSettings settings_;
    KeyAccess access_;
};

// The key's file exists afterwards, or the answer is false.
bool EnsureFile(const fs::path& file) {
    std::error_code ec;
    if (fs::is_regular_file(file, ec)) return true;
    fs::create_directories(file.parent_path(), ec);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

IniKeyStore::IniKeyStore(fs::path userRoot, fs::path machineRoot)
    : userRoot_(std::move(userRoot)), machineRoot_(std::move(machineRoot)) {}

IniKeyStore IniKeyStore::FromEnvironment() {
    const fs::path user =
        GetEnv("QUERNEL_CONFIG_HOME")
            .value_or(GetEnv("XDG_CONFIG_HOME").value_or((HomeFolder() / ".config").string()));
    const fs::path machine = GetEnv("QUERNEL_CONFIG_MACHINE").value_or("/etc/xdg");
    return IniKeyStore(user, machine);
}

fs::path IniKeyStore::KeyFile(KeyRoot root, const std::string& path) const {
    // "\Software\Brackwood\Quernel" -> "Brackwood/Quernel.conf"
    std::string rel = path;
    for (const char* prefix : {"\\Software\\", "Software\\"}) {
        if (rel.starts_with(prefix)) {
            rel.erase(0, std::string(prefix).size());
            break;
        }
    }
    for (char& c : rel) {
        if (c == '\\') c = '/';
    }
    return (root == KeyRoot::kLocalMachine ? machineRoot_ : userRoot_) / (rel + ".conf");
}

std::unique_ptr<IRegistryKey> IniKeyStore::Open(KeyRoot root, const std::string& path,
                                                KeyAccess access) {
    const fs::path file = KeyFile(root, path);
    if (!EnsureFile(file)) return nullptr;
    const int mode = access == KeyAccess::kFull ? (R_OK | W_OK) : R_OK;
    if (::access(file.c_str(), mode) != 0) return nullptr;
    // QSettings writes through a temporary file in the same folder and renames it.
    if (access == KeyAccess::kFull && ::access(file.parent_path().c_str(), W_OK) != 0) {
        return nullptr;
    }
    return std::make_unique<IniKey>(file, access);
}

}  // namespace quernel
