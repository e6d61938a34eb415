#include <gtest/gtest.h>

#include <string>

#include "host/FileUtil.h"
#include "host/MappedFile.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

std::string Text(ByteView view) {
    return std::string(reinterpret_cast<const char*>(view.data()), view.size());
}

TEST(MappedFileTest, HoldsTheWholeFileWhateverItIs) {
    TempDir dir;
    std::string data(200000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    WriteFile(dir / "printout.prn", data);
    WriteFile(dir / "empty.prn", std::string());

    TMappedFile mapped(dir / "printout.prn");
    EXPECT_EQ(Text(mapped.View()), data);
    const TMappedFile moved(std::move(mapped));
    EXPECT_EQ(Text(moved.View()), data);
    EXPECT_TRUE(TMappedFile(dir / "empty.prn").View().empty());
    // The kernel's files say they are empty, yet have a content.
    EXPECT_TRUE(Text(TMappedFile("/proc/self/status").View()).starts_with("Name:"));
    EXPECT_THROW(TMappedFile(dir / "missing.prn"), FileError);
}

}  // namespace
}  // namespace quernel::test
