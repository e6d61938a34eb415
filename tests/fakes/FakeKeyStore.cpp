#include "fakes/FakeKeyStore.h"

namespace quernel::test {

namespace {

class FakeKey final : public IRegistryKey {
  public:
    FakeKey(FakeKeyStore& store, FakeKeyStore::Values& values, KeyAccess access)
        : store_(store), values_(values), access_(access) {}

    std::optional<std::int32_t> ReadInteger(const std::string& name) override {
        const auto it = values_.find(name);
        if (it == values_.end() || store_.failingValues.count(name)) return std::nullopt;
        if (const auto* v = std::get_if<std::int32_t>(&it->second)) return *v;
        return std::nullopt;
    }
    std::optional<std::string> ReadString(const std::string& name) override {
        const auto it = values_.find(name);
        if (it == values_.end() || store_.failingValues.count(name)) return std::nullopt;
        if (const auto* v = std::get_if<std::string>(&it->second)) return *v;
        return std::nullopt;
    }
    void WriteInteger(const std::string& name, std::int32_t value) override {
        if (Writable(name)) values_[name] = value;
    }
    void WriteString(const std::string& name, const std::string& value) override {
        if (Writable(name)) values_[name] = value;
    }
    std::vector<std::string> ValueNames() override {
        std::vector<std::string> names;
        for (const auto& [name, value] : values_) names.push_back(name);
        return names;
    }
    void DeleteValue(const std::string& name) override {
        if (Writable(name)) values_.erase(name);
    }

  private:
    bool Writable(const std::string& name) const {
        return access_ == KeyAccess::kFull && !store_.failingValues.count(name);
    }

    FakeKeyStore& store_;
    FakeKeyStore::Values& values_;
    KeyAccess access_;
};

}  // namespace

std::unique_ptr<IRegistryKey> FakeKeyStore::Open(KeyRoot root, const std::string& path,
                                                 KeyAccess access) {
    ++opens;
    if (refused.count({root, access})) return nullptr;
    return std::make_unique<FakeKey>(*this, Key(root, path), access);
}

}  // namespace quernel::test
