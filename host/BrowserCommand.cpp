#include "host/BrowserCommand.h"

namespace quernel {

std::string BrowserCommandLine(const std::string& command, const std::string& url,
                               BrowserCommandStyle style) {
    constexpr std::size_t kMaxTail = 1000;
    const std::size_t p = style.placeholderFrom < command.size()
                              ? command.find("%1", style.placeholderFrom)
                              : std::string::npos;
    if (p == std::string::npos) {
        return command + " " + (style.quoteAppendedUrl ? "\"" + url + "\"" : url);
    }
    return command.substr(0, p) + url + command.substr(p + 2, kMaxTail);
}

}  // namespace quernel
