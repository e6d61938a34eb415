#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quernel {

// The command-line switches of the program.
inline constexpr std::string_view kSwitchClose = "/close";         // end the running copies
inline constexpr std::string_view kSwitchNoSplash = "/nosplash";   // no splash window
inline constexpr std::string_view kSwitchWin98 = "/win98";         // no wait for the spooler
inline constexpr std::string_view kSwitchHide = "/hide";           // start in the tray
inline constexpr std::string_view kSwitchHeadless = "--headless";  // no window at all

// The arguments the program was started with (without the program's own name).
class TRunParams {
  public:
    TRunParams() = default;
    explicit TRunParams(std::vector<std::string> args) : args_(std::move(args)) {}
    TRunParams(int argc, const char* const* argv);

    // True when one whole argument, lower-cased, equals the switch.
    bool ParamSwitch(std::string_view name) const;

    const std::vector<std::string>& Args() const { return args_; }

  private:
    std::vector<std::string> args_;
};

}  // namespace quernel
