#pragma once

#include <cstddef>
#include <string>

namespace quernel {

// The command that opens a web address in the desktop's default browser; "%1" stands for the
// address.
inline constexpr const char* kBrowserCommand = "xdg-open %1";

// How a browser command takes the address. Windows of the program differ in two details.
struct BrowserCommandStyle {
    // Where the search for "%1" starts: 0 finds it anywhere, 1 only after the first character.
    std::size_t placeholderFrom = 0;
    // A command without "%1" gets a space and the address, in double quotes when this is set.
    bool quoteAppendedUrl = false;
};

// The command line that opens `url`: the text before "%1", the address, and at most 1000
// characters of the text after "%1"; without "%1", the command, a space and the address.
std::string BrowserCommandLine(const std::string& command, const std::string& url,
                               BrowserCommandStyle style = {});

}  // namespace quernel
