#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/BW_log.h"
#include "ui/MainWindow.h"

namespace quernel::test {

// What a fake main window was asked to do and the history it showed; owned by the test, so
// it outlives the window.
struct FakeWindowLog {
    std::vector<std::string> calls;
    std::vector<std::string> history;
    // Called after every recorded call, with its name.
    std::function<void(const std::string&)> onCall;
};

// A main window that records what the start-up asks of it and keeps the history lines.
class FakeMainWindow final : public IMainWindow, public IHistoryView {
  public:
    explicit FakeMainWindow(FakeWindowLog& log) : log_(log) {}
    void ShowAtStart() override { Record("ShowAtStart"); }
    void Restore() override { Record("Restore"); }
    void Minimise() override { Record("Minimise"); }
    void SetEnding() override { Record("SetEnding"); }
    void AppendLine(const std::string& line) override {
        const auto at = line.find(" : ");
        log_.history.push_back(at == std::string::npos ? line : line.substr(at + 3));
    }

  private:
    void Record(const std::string& call) {
        log_.calls.push_back(call);
        if (log_.onCall) log_.onCall(call);
    }
    FakeWindowLog& log_;
};

}  // namespace quernel::test
