#include "host/BrowserCommand.h"

#include <utility>

namespace quernel {

std::string BrowserCommandLine(const std::string& command, const std::string& url,
                               BrowserCommandStyle style) {
    constexpr std::size_t kMaxTail = 1000;
    if (command.empty()) return {};
    const std::size_t p = style.placeholderFrom < command.size()
                              ? command.find("%1", style.placeholderFrom)
                              : std::string::npos;
    if (p == std::string::npos) {
        return command + " " + (style.quoteAppendedUrl ? "\"" + url + "\"" : url);
    }
    return command.substr(0, p) + url + command.substr(p + 2, kMaxTail);
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false;
    bool inArgument = false;
    for (const char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (inArgument) args.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) args.push_back(current);
    return args;
}

std::string WithoutFinalSlashes(std::string address) {
    while (!address.empty() && address.back() == '/') address.pop_back();
    return address;
}

std::string VendorPageUrl(const std::string& site) {
    if (site.empty()) return {};
    return WithoutFinalSlashes(site) + "/index.php?from=Quernel";
}

std::string VendorSiteCaption(const std::string& site) {
    std::string caption = site;
    if (const auto at = caption.find("://"); at != std::string::npos) caption.erase(0, at + 3);
    return WithoutFinalSlashes(std::move(caption));
}

}  // namespace quernel
