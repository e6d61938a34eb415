#pragma once

#include <cstddef>
#include <string>
#include <vector>

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

// The help window looks for "%1" after the first character and quotes an appended address.
inline constexpr BrowserCommandStyle kHelpWindowBrowser{1, true};

// The command line that opens `url`: the text before "%1", the address, and at most 1000
// characters of the text after "%1"; without "%1", the command, a space and the address. Empty
// for an empty command (nothing is to be started).
std::string BrowserCommandLine(const std::string& command, const std::string& url,
                               BrowserCommandStyle style = {});

// Splits a command line into the program and its arguments: blanks separate them, double
// quotes group blanks into one argument and are removed.
std::vector<std::string> SplitCommandLine(const std::string& line);

// A web address without the slashes it ends in.
std::string WithoutFinalSlashes(std::string address);

// The vendor's page about the program on the vendor's site ("https://host" or with a path):
// "<site>/index.php?from=Quernel". Empty when there is no site.
std::string VendorPageUrl(const std::string& site);

// The vendor's site as the help window's button shows it: without the scheme and the final
// slash ("www.example.com").
std::string VendorSiteCaption(const std::string& site);

}  // namespace quernel
