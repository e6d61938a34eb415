#include "host/BrowserCommand.h"

#include <gtest/gtest.h>

namespace quernel {
namespace {

const std::string kUrl = "https://www.example.com/index.php?from=Quernel";

TEST(BrowserCommandTest, AddressTakesThePlaceOfPercentOne) {
    for (const BrowserCommandStyle style : {BrowserCommandStyle{}, kHelpWindowBrowser}) {
        EXPECT_EQ(BrowserCommandLine("xdg-open %1", kUrl, style), "xdg-open " + kUrl);
        EXPECT_EQ(BrowserCommandLine("\"/opt/web browser\" -url \"%1\" --new", kUrl, style),
                  "\"/opt/web browser\" -url \"" + kUrl + "\" --new");
        // Only the first "%1" is replaced, and at most 1000 characters after it are kept.
        EXPECT_EQ(BrowserCommandLine("b %1 %1", "U", style), "b U %1");
        const std::string tail(1500, 'x');
        EXPECT_EQ(BrowserCommandLine("b %1" + tail, "U", style), "b U" + tail.substr(0, 1000));
        EXPECT_EQ(BrowserCommandLine("", kUrl, style), "");  // nothing to start
    }
}

TEST(BrowserCommandTest, WithoutPercentOneTheAddressIsAppended) {
    // The new-version dialog appends it as it is and finds "%1" anywhere.
    EXPECT_EQ(BrowserCommandLine("firefox", kUrl), "firefox " + kUrl);
    EXPECT_EQ(BrowserCommandLine("%1 x", "U"), "U x");
    // The help window quotes it, and "%1" as the first character does not count there.
    EXPECT_EQ(BrowserCommandLine("firefox", kUrl, kHelpWindowBrowser), "firefox \"" + kUrl + "\"");
    EXPECT_EQ(BrowserCommandLine("%1", "U", kHelpWindowBrowser), "%1 \"U\"");
}

TEST(BrowserCommandTest, CommandLineSplitsAtBlanksOutsideQuotes) {
    EXPECT_EQ(SplitCommandLine("xdg-open " + kUrl), (std::vector<std::string>{"xdg-open", kUrl}));
    EXPECT_EQ(SplitCommandLine("  \"/opt/web browser\"  -url \"a b\" \"\" x"),
              (std::vector<std::string>{"/opt/web browser", "-url", "a b", "", "x"}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(BrowserCommandTest, VendorPageAndCaption) {
    EXPECT_EQ(VendorPageUrl("https://www.example.com/"), kUrl);
    EXPECT_EQ(VendorPageUrl("https://www.example.com"), kUrl);
    EXPECT_EQ(VendorPageUrl(""), "");
    EXPECT_EQ(VendorSiteCaption("https://www.example.com/"), "www.example.com");
    EXPECT_EQ(VendorSiteCaption("www.example.com"), "www.example.com");
}

}  // namespace
}  // namespace quernel
