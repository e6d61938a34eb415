#include "platform/IniKeyStore.h"

#include "host/Environment.h"
#include "host/FileUtil.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSettings>
#include <QStringList>
#include <algorithm>
#include <system_error>
#include <vector>

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

bool IsControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

// Why the file does not load cleanly; empty when it does. The writer never puts a control
// character into the text (it escapes them) and nothing the program stores holds one.
std::string DamageOf(const fs::path& file) {
    Bytes bytes;
    try {
        bytes = ReadWholeFile(file);
    } catch (const FileError&) {
        return {};  // not readable: there is nothing to lose by writing it
    }
    std::vector<std::string> found;
    for (const std::uint8_t b : bytes) {
        if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F) {
            found.emplace_back("znaki sterujące w tekście");
            break;
        }
    }
    QSettings settings(QString::fromStdString(file.string()), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) found.emplace_back("błędy składni");
    for (const QString& key : settings.allKeys()) {
        const QString value = settings.value(key).toString();
        if (key.isEmpty() || std::any_of(key.begin(), key.end(), IsControl)) {
            found.emplace_back("nieczytelna nazwa wartości");
            break;
        }
        if (std::any_of(value.begin(), value.end(), IsControl)) {
            found.push_back("znaki sterujące w wartości " + key.toStdString());
            break;
        }
    }
    std::string text;
    for (const std::string& f : found) text += (text.empty() ? "" : ", ") + f;
    return text;
}

}  // namespace

IniKeyStore::IniKeyStore(fs::path userRoot, fs::path machineRoot, const IClock* clock)
    : userRoot_(std::move(userRoot)), machineRoot_(std::move(machineRoot)), clock_(clock) {}

IniKeyStore IniKeyStore::FromEnvironment(const IClock* clock) {
    const fs::path user =
        GetEnv("QUERNEL_CONFIG_HOME")
            .value_or(GetEnv("XDG_CONFIG_HOME").value_or((HomeFolder() / ".config").string()));
    const fs::path machine = GetEnv("QUERNEL_CONFIG_MACHINE").value_or("/etc/xdg");
    return IniKeyStore(user, machine, clock);
}

void IniKeyStore::Notice(const std::string& message, bool error) {
    if (notices_) notices_(message, error);
}

void IniKeyStore::CheckFile(const fs::path& file, bool forWriting) {
    auto it = checks_.find(file);
    if (it == checks_.end()) {
        it = checks_.emplace(file, FileCheck{DamageOf(file), false}).first;
        if (!it->second.damage.empty()) {
            Notice("Uszkodzony plik ustawień " + file.string() + " (" + it->second.damage +
                       "): wartości, których nie da się odczytać, mają wartości domyślne.",
                   true);
        }
    }
    FileCheck& check = it->second;
    if (!forWriting || check.damage.empty() || check.copied) return;
    check.copied = true;
    static const SystemClock systemClock;
    const IClock& clock = clock_ != nullptr ? *clock_ : systemClock;
    std::string error;
    const fs::path copy = KeepDamagedCopy(file, ToLocal(clock.Now()), error);
    Notice(copy.empty() ? "Nie udało się zachować kopii uszkodzonego pliku ustawień " +
                              file.string() + ": " + error
                        : "Uszkodzony plik ustawień zachowano jako " + copy.string(),
           copy.empty());
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
    CheckFile(file, access == KeyAccess::kFull);
    return std::make_unique<IniKey>(file, access);
}

}  // namespace quernel
