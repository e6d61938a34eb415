#include "host/BrowserCommand.h"

namespace quernel {

std::string BrowserCommandLine(const std::string& command, const std::string& url) {
    if (command.empty()) return {};
    const std::size_t at = command.find("%1", 1);
    if (at == std::string::npos) return command + " \"" + url + "\"";
    return command.substr(0, at) + url + command.substr(at + 2, 1000);
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

std::string VendorPageUrl(const std::string& site) {
    if (site.empty()) return {};
    std::string base = site;
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + "/index.php?from=Quernel";
}

std::string VendorSiteCaption(const std::string& site) {
    std::string caption = site;
    if (const auto at = caption.find("://"); at != std::string::npos) caption.erase(0, at + 3);
    while (!caption.empty() && caption.back() == '/') caption.pop_back();
    return caption;
}

}  // namespace quernel
