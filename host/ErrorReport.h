#pragma once

#include <string>

namespace quernel {

// The program's general error report: the window shows a message box, a program without a
// window writes a log line. Either way the program goes on.
class IErrorReport {
  public:
    virtual ~IErrorReport() = default;
    virtual void ShowError(const std::string& message) = 0;
};

}  // namespace quernel
