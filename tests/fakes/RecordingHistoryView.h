#pragma once

#include <string>
#include <vector>

#include "host/BW_log.h"

namespace quernel::test {

// A history view that keeps the lines it was given.
class RecordingHistoryView final : public IHistoryView {
  public:
    void AppendLine(const std::string& line) override { lines.push_back(line); }

    // The messages without their time stamps.
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& line : lines) {
            const auto at = line.find(" : ");
            out.push_back(at == std::string::npos ? line : line.substr(at + 3));
        }
        return out;
    }

    std::vector<std::string> lines;
};

}  // namespace quernel::test
