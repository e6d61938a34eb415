#pragma once

#include <map>
#include <string>

#include "host/FileUtil.h"
#include "monitor/PrintoutStore.h"

namespace quernel::test {

// The kept printouts' folder in memory; writes can be made to fail, as on a full disk.
class FakePrintoutFolder final : public IPrintoutFolder {
  public:
    std::vector<TStoredFile> List() override {
        std::vector<TStoredFile> list;
        for (const auto& [name, data] : files) list.push_back({name, data.size()});
        return list;
    }
    Bytes Read(const std::string& name) override {
        const auto it = files.find(name);
        if (it == files.end()) throw FileError("Cannot open file \"" + name + "\".");
        return it->second;
    }
    void Write(const std::string& name, ByteView data) override {
        if (failWritesOf.size() > 0 && name.ends_with(failWritesOf)) {
            throw FileError("Cannot write file \"" + name + "\". No space left on device");
        }
        files[name] = Bytes(data.begin(), data.end());
    }
    void Remove(const std::string& name) override { files.erase(name); }
    std::string PathOf(const std::string& name) const override { return "/kept/" + name; }

    std::map<std::string, Bytes> files;
    // Writes of names ending so fail.
    std::string failWritesOf;
};

}  // namespace quernel::test
