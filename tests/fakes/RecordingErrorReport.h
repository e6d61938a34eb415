#pragma once

#include <string>
#include <vector>

#include "host/ErrorReport.h"

namespace quernel::test {

class RecordingErrorReport final : public IErrorReport {
  public:
    void ShowError(const std::string& message) override { messages.push_back(message); }
    std::vector<std::string> messages;
};

}  // namespace quernel::test
