#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <variant>

#include "host/KeyStore.h"

namespace quernel::test {

// An in-memory settings store with typed values. Opens can be refused per root and access,
// and single values made to fail (reads answer nothing, writes are dropped).
class FakeKeyStore final : public IKeyStore {
  public:
    using Value = std::variant<std::int32_t, std::string>;
    using Values = std::map<std::string, Value>;

    std::unique_ptr<IRegistryKey> Open(KeyRoot root, const std::string& path,
                                       KeyAccess access) override;

    // The values of a key; created empty when missing.
    Values& Key(KeyRoot root, const std::string& path = kQuernelKey) { return keys[{root, path}]; }
    bool HasKey(KeyRoot root, const std::string& path = kQuernelKey) const {
        return keys.count({root, path}) > 0;
    }

    std::map<std::pair<KeyRoot, std::string>, Values> keys;
    std::set<std::pair<KeyRoot, KeyAccess>> refused;
    std::set<std::string> failingValues;
    int opens = 0;
};

}  // namespace quernel::test
