#include <gtest/gtest.h>

#include "host/ProgramDir.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

class ProgramDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir / "exe/Seq/EPSON+HP.seq", std::string("shipped"));
        WriteFile(dir / "exe/CharMap/LatinII.cmap", std::string("shipped"));
    }
    TempDir dir;
};

TEST_F(ProgramDirTest, OverrideGetsTheShippedDataWithoutLosingUserFiles) {
    WriteFile(dir / "override/Seq/EPSON+HP.seq", std::string("edited by the user"));
    const ProgramDirInputs in{dir / "override", dir / "exe", dir / "data"};
    EXPECT_EQ(ResolveProgramDir(in), dir / "override");
    EXPECT_EQ(ReadText(dir / "override/Seq/EPSON+HP.seq"), "edited by the user");
    EXPECT_EQ(ReadText(dir / "override/CharMap/LatinII.cmap"), "shipped");
}

TEST_F(ProgramDirTest, WritableExecutableFolderIsTheProgramFolder) {
    const ProgramDirInputs in{std::nullopt, dir / "exe", dir / "data"};
    EXPECT_EQ(ResolveProgramDir(in), dir / "exe");
    EXPECT_FALSE(std::filesystem::exists(dir / "data"));
}

TEST_F(ProgramDirTest, OtherwiseAFolderInTheUsersDataHome) {
    // An installed program: the executable's folder is out of reach, the data sits in
    // ../share/quernel.
    WriteFile(dir / "usr/share/quernel/Seq/EPSON+HP.seq", std::string("installed"));
    const ProgramDirInputs in{std::nullopt, dir / "usr/bin-missing", dir / "data"};
    std::filesystem::create_directories(dir / "usr");
    EXPECT_EQ(ResolveProgramDir(in), dir / "data/quernel");
    EXPECT_EQ(ShippedDataDir(dir / "usr/bin-missing"), dir / "usr/share/quernel");
    EXPECT_EQ(ReadText(dir / "data/quernel/Seq/EPSON+HP.seq"), "installed");
}

TEST_F(ProgramDirTest, AnInstalledProgramsWritableFolderIsNotItsProgramFolder) {
    // Run by root, /usr/bin is writable; the log files belong in the data home all the same.
    WriteFile(dir / "usr/share/quernel/CharMap/LatinII.cmap", std::string("installed"));
    std::filesystem::create_directories(dir / "usr/bin");
    const ProgramDirInputs in{std::nullopt, dir / "usr/bin", dir / "data"};
    EXPECT_EQ(ResolveProgramDir(in), dir / "data/quernel");
    EXPECT_EQ(ReadText(dir / "data/quernel/CharMap/LatinII.cmap"), "installed");
}

}  // namespace
}  // namespace quernel::test
