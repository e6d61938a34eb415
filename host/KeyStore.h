#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quernel {

// The two roots of the settings: per user, and shared by every user of the machine.
enum class KeyRoot { kCurrentUser, kLocalMachine };
enum class KeyAccess { kRead, kFull };

inline constexpr const char* kQuernelKey = "\\Software\\Brackwood\\Quernel";
inline constexpr const char* kUpdateKey = "\\Software\\Brackwood\\Update";

// An open key of the settings store; closed when released. Reads of values that are missing
// or of the wrong kind answer nothing; writes that the store refuses are dropped.
class IRegistryKey {
  public:
    virtual ~IRegistryKey() = default;
    virtual std::optional<std::int32_t> ReadInteger(const std::string& name) = 0;
    virtual std::optional<std::string> ReadString(const std::string& name) = 0;
    virtual void WriteInteger(const std::string& name, std::int32_t value) = 0;
    virtual void WriteString(const std::string& name, const std::string& value) = 0;
    virtual std::vector<std::string> ValueNames() = 0;
    virtual void DeleteValue(const std::string& name) = 0;
};

// A hierarchical key/value store with a per-user and a machine-wide root.
class IKeyStore {
  public:
    virtual ~IKeyStore() = default;
    // Opens the key ("\Software\Brackwood\Quernel"), creating it when missing; nothing when
    // it can neither be opened nor created with that access.
    virtual std::unique_ptr<IRegistryKey> Open(KeyRoot root, const std::string& path,
                                               KeyAccess access) = 0;
};

}  // namespace quernel
