#include "host/BrowserCommand.h"

#include <gtest/gtest.h>

namespace quernel {
namespace {

const std::string kUrl = "https://www.example.com/index.php?from=Quernel";

TEST(BrowserCommandTest, AddressTakesThePlaceOfPercentOne) {
    EXPECT_EQ(BrowserCommandLine("xdg-open %1", kUrl), "xdg-open " + kUrl);
    EXPECT_EQ(BrowserCommandLine("\"/opt/web browser\" -url \"%1\" --new", kUrl),
              "\"/opt/web browser\" -url \"" + kUrl + "\" --new");
    // Only the first "%1" is replaced, and at most 1000 characters after it are kept.
    EXPECT_EQ(BrowserCommandLine("b %1 %1", "U"), "b U %1");
    const std::string tail(1500, 'x');
    EXPECT_EQ(BrowserCommandLine("b %1" + tail, "U"), "b U" + tail.substr(0, 1000));
}

TEST(BrowserCommandTest, WithoutPercentOneTheAddressIsAppendedQuoted) {
    EXPECT_EQ(BrowserCommandLine("firefox", kUrl), "firefox \"" + kUrl + "\"");
    // "%1" as the first character does not count.
    EXPECT_EQ(BrowserCommandLine("%1", "U"), "%1 \"U\"");
    EXPECT_EQ(BrowserCommandLine("", kUrl), "");
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
