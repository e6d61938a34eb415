#include "platform/PosixFileSystem.h"

#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "host/FileUtil.h"
#include "support/Fifo.h"
#include "support/FileHolder.h"
#include "support/MonitorFixture.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> Names(const std::vector<TFoundFile>& found) {
    std::vector<std::string> out;
    for (const auto& f : found) out.push_back(f.name);
    return out;
}

class PosixFileSystemTest : public ::testing::Test {
  protected:
    std::string PathOf(const std::string& name) const { return (dir / name).string(); }
    TempDir dir;
    TPosixFileSystem files;
};

TEST(MaskTest, MatchesLikeDos) {
    EXPECT_TRUE(MatchesMask("LPT1.PRN", "*.prn"));
    EXPECT_TRUE(MatchesMask("lpt1.Prn", "LPT?.PRN"));
    EXPECT_FALSE(MatchesMask("LPT12.PRN", "LPT?.PRN"));
    EXPECT_FALSE(MatchesMask("LPT.PRN", "LPT?.PRN"));
    EXPECT_TRUE(MatchesMask("NODOT", "*.*"));
    EXPECT_TRUE(MatchesMask("a.b.c", "*.*"));
    EXPECT_TRUE(MatchesMask("LPT1", "LPT*.*"));
    EXPECT_FALSE(MatchesMask("LPT1", "LPT*.PRN"));
    EXPECT_TRUE(MatchesMask("out.prn.bak", "*.bak"));
    EXPECT_FALSE(MatchesMask("out.prn.bak", "*.prn"));
    EXPECT_TRUE(MatchesMask("wydruk_ż.txt", "wydruk_?.txt"));  // "?" is one character
    EXPECT_FALSE(MatchesMask("ŻÓŁW.TXT", "żółw.txt"));         // only a-z fold
    EXPECT_TRUE(MatchesMask("x", "*"));
    EXPECT_TRUE(MatchesMask("abcabd", "*ab?"));
}

TEST_F(PosixFileSystemTest, FindsRegularVisibleFilesWithSizeAndExactTime) {
    const std::string path = PathOf("PRN2FILE.TXT");
    WriteFile(path, "12345");
    const TimePoint written =
        FakeClock::FromLocal(2024, 3, 9, 17, 5, 3) + std::chrono::nanoseconds(123456789);
    SetFileTime(path, written);
    const auto found = files.Find(path);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->name, "PRN2FILE.TXT");
    EXPECT_EQ(found->size, 5u);
    EXPECT_EQ(found->modified, written);

    std::filesystem::create_directories(dir / "folder");
    WriteFile(PathOf(".hidden"), "x");
    EXPECT_FALSE(files.Find(PathOf("missing")).has_value());
    EXPECT_FALSE(files.Find(PathOf("folder")).has_value());
    EXPECT_FALSE(files.Find(PathOf(".hidden")).has_value());
    EXPECT_FALSE(files.Find("").has_value());
}

TEST_F(PosixFileSystemTest, EnumeratesMatchingFilesInDirectoryOrder) {
    for (const char* name : {"A.PRN", "b.prn", "C.TXT", "NODOT", ".hidden.prn"}) {
        WriteFile(PathOf(std::string("spool/") + name), name);
    }
    std::filesystem::create_directories(dir / "spool" / "SUB.PRN");
    std::filesystem::create_symlink(PathOf("spool/A.PRN"), PathOf("spool/LINK.PRN"));

    std::vector<std::string> listed;
    DIR* d = ::opendir(PathOf("spool").c_str());
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "A.PRN" || name == "b.prn" || name == "LINK.PRN") listed.push_back(name);
    }
    ::closedir(d);
    EXPECT_EQ(Names(files.Enumerate(PathOf("spool/*.PRN"))), listed);

    auto all = Names(files.Enumerate(PathOf("spool/*.*")));
    std::sort(all.begin(), all.end());
    EXPECT_THAT(all, ElementsAre("A.PRN", "C.TXT", "LINK.PRN", "NODOT", "b.prn"));
    EXPECT_TRUE(files.Enumerate(PathOf("missing/*.*")).empty());
}

TEST_F(PosixFileSystemTest, ReadsFromAnyPositionAndReportsAMissingFile) {
    const std::string path = PathOf("data.bin");
    WriteFile(path, "0123456789");
    auto file = files.OpenRead(path);
    std::uint8_t buffer[16] = {};
    file->Seek(6);
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 4u);
    EXPECT_EQ(std::string(buffer, buffer + 4), "6789");
    file->Seek(1);
    EXPECT_EQ(file->Read(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, buffer + 3), "123");

    try {
        files.OpenRead(PathOf("missing"));
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  CannotOpenFileMessage(PathOf("missing"), "No such file or directory"));
    }
}

TEST_F(PosixFileSystemTest, ExclusiveOpenFailsWhileTheFileIsHeldOrReadOnly) {
    const std::string path = PathOf("PRN2FILE.TXT");
    WriteFile(path, "data");
    EXPECT_NO_THROW(files.TestExclusiveOpen(path));
    {
        FileHolder holder(path);
        try {
            files.TestExclusiveOpen(path);
            FAIL() << "no error";
        } catch (const FileError& e) {
            EXPECT_THAT(e.what(), HasSubstr("Cannot open file \"" + path + "\". "));
            EXPECT_THAT(e.what(), HasSubstr("sleep, PID " + std::to_string(holder.pid())));
        }
    }
    EXPECT_NO_THROW(files.TestExclusiveOpen(path));
    {
        // A descriptor of this very program counts too; the test's own one does not.
        auto reader = files.OpenRead(path);
        EXPECT_THROW(files.TestExclusiveOpen(path), FileError);
    }
    EXPECT_NO_THROW(files.TestExclusiveOpen(path));

    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_THROW(files.TestExclusiveOpen(path), FileError);
    EXPECT_THROW(files.TestExclusiveOpen(PathOf("missing")), FileError);
}

// A pipe or a device under a monitored name is found (it is there) but is not a regular file:
// opening it is refused at once instead of waiting for a writer, and a folder's listing
// leaves it out.
TEST_F(PosixFileSystemTest, NonRegularFilesAreFoundButRefusedWithoutBlocking) {
    const std::string fifo = PathOf("PRN2FILE.TXT");
    MakeFifo(fifo);
    const auto found = files.Find(fifo);
    ASSERT_TRUE(found.has_value());
    EXPECT_FALSE(found->regular);
    EXPECT_TRUE(files.Enumerate(PathOf("*.*")).empty());

    for (const std::string& path : {fifo, std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        std::string readError, exclusiveError;
        EXPECT_TRUE(ReturnsWithoutAWriter(fifo, [&] {
            try {
                files.OpenRead(path);
            } catch (const FileError& e) {
                readError = e.what();
            }
            try {
                files.TestExclusiveOpen(path);
            } catch (const FileError& e) {
                exclusiveError = e.what();
            }
        }));
        EXPECT_EQ(readError, CannotOpenFileMessage(path, "It is not a regular file."));
        EXPECT_EQ(exclusiveError, CannotOpenFileMessage(path, "It is not a regular file."));
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    WriteFile(PathOf("regular"), "x");
    EXPECT_TRUE(files.Find(PathOf("regular"))->regular);
}

TEST_F(PosixFileSystemTest, DeletesAFileAndSaysWhenItCannot) {
    const std::string path = PathOf("PRN2FILE.TXT");
    WriteFile(path, "data");
    EXPECT_TRUE(files.Delete(path));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(files.Delete(path));
}

}  // namespace
}  // namespace quernel::test
