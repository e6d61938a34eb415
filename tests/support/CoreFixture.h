#pragma once

#include <gtest/gtest.h>

#include "support/CoreParts.h"
#include "support/MonitorFixture.h"

namespace quernel::test {

// The application core of CoreParts as a test fixture, with what the program does at start.
class CoreFixture : public ::testing::Test, protected CoreParts {
  protected:
    // What the program does at start: the printers, the settings, monitoring on.
    void Start() {
        core->Printers().FillPrinterList();
        core->LoadSettings();
        core->Monitoring().SetActive(true);
    }
    // A new core over the same stores, as after a restart.
    void Restart() {
        core = std::make_unique<TQuernelCore>(services);
        Start();
    }
    // Ticks of the loop every 500 ms for the given seconds.
    void Run(double seconds) {
        for (int i = 0; i < static_cast<int>(seconds * 2); ++i) {
            clock.Advance(std::chrono::milliseconds(500));
            core->Monitoring().Tick(timer);
        }
    }
    void Write(const std::filesystem::path& path, const std::string& text) {
        WriteFile(path, text);
        SetFileTime(path, clock.Now());
    }
    void Append(const std::filesystem::path& path, const std::string& text) {
        AppendFile(path, ToBytes(text));
        SetFileTime(path, clock.Now());
    }
    std::vector<std::string> Printed() const { return printer.PageTextsOfAll(); }
    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (const auto& d : printer.documents) titles.push_back(d.title);
        return titles;
    }
    FakeKeyStore::Values& UserKey() { return keys.Key(KeyRoot::kCurrentUser); }
};

}  // namespace quernel::test
