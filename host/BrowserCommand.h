#pragma once

#include <string>
#include <vector>

namespace quernel {

// The desktop's command for opening a web address; "%1" stands for the address.
inline constexpr const char* kBrowserCommand = "xdg-open %1";

// The command line that opens `url` with a browser command: when the command holds "%1" after
// its first character, the text before it, the address and at most 1000 characters of the
// text after it; otherwise the command, a blank and the address in double quotes. Empty for an
// empty command (nothing is to be started).
std::string BrowserCommandLine(const std::string& command, const std::string& url);

// Splits a command line into the program and its arguments: blanks separate them, double
// quotes group blanks into one argument and are removed.
std::vector<std::string> SplitCommandLine(const std::string& line);

// The vendor's page about the program on the vendor's site ("https://host" or with a path):
// "<site>/index.php?from=Quernel". Empty when there is no site.
std::string VendorPageUrl(const std::string& site);

// The vendor's site as the help window's button shows it: without the scheme and the final
// slash ("www.example.com").
std::string VendorSiteCaption(const std::string& site);

}  // namespace quernel
