// Writes that must survive a power cut: the data reaches the disk before the rename, and the
// rename itself once the folder is synchronised after it. The system calls are watched by
// wrappers of this executable's own, which the code under test calls instead of the C
// library's.

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host/FileUtil.h"
#include "monitor/PrintedState.h"
#include "platform/OutputFile.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string>& Calls() {
    static std::vector<std::string> calls;
    return calls;
}

std::string PathOf(int fd) {
    char buffer[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    return n < 0 ? "?" : std::string(buffer, static_cast<std::size_t>(n));
}

template <typename F>
F Real(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fsync(int fd) {
    Calls().push_back("fsync " + PathOf(fd));
    return Real<int (*)(int)>("fsync")(fd);
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to,
                         unsigned int flags) {
    Calls().push_back(std::string("rename ") + to);
    return Real<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2")(
        fromDir, from, toDir, to, flags);
}

extern "C" int rename(const char* from, const char* to) {
    Calls().push_back(std::string("rename ") + to);
    return Real<int (*)(const char*, const char*)>("rename")(from, to);
}

namespace quernel::test {
namespace {

// The calls after the temporary file was written, with its name made fixed.
std::vector<std::string> CallsFor(const std::filesystem::path& target) {
    std::vector<std::string> out;
    for (std::string call : Calls()) {
        const std::string temp = target.string() + ".";
        if (call.starts_with("fsync " + temp)) call = "fsync <temporary file>";
        if (call.starts_with("fsync " + (target.parent_path() / ".quernel-").string())) {
            call = "fsync <temporary file>";
        }
        out.push_back(call);
    }
    return out;
}

TEST(DurableWriteTest, DataBeforeTheRenameAndTheFolderAfterIt) {
    TempDir dir;
    const auto file = std::filesystem::canonical(dir.path()) / "printed.txt";
    Calls().clear();
    WriteFileAtomic(file, ToBytes("state"));
    EXPECT_EQ(CallsFor(file),
              (std::vector<std::string>{"fsync <temporary file>", "rename " + file.string(),
                                        "fsync " + file.parent_path().string()}));
    EXPECT_EQ(ReadText(file), "state");
}

TEST(DurableWriteTest, ThePrintedStateIsWrittenDurably) {
    TempDir dir;
    const auto folder = std::filesystem::canonical(dir.path());
    const auto file = folder / "quernel/printed.txt";
    TStateRecord record;
    record.files["/srv/LPT1.PRN"].printed = {3, Md5Digest(ToBytes("abc"))};
    TPrintedState state(file);
    state.Save(record);  // creates the folder
    Calls().clear();
    state.Save(record);
    EXPECT_EQ(CallsFor(file),
              (std::vector<std::string>{"fsync <temporary file>", "rename " + file.string(),
                                        "fsync " + file.parent_path().string()}));
}

// A "Quernel PDF" document: its final name is told before the rename (so it can be recorded
// first), and the rename reaches the disk.
TEST(DurableWriteTest, ADocumentFileIsNamedBeforeItsDurableRename) {
    TempDir dir;
    const auto folder = std::filesystem::canonical(dir.path());
    auto file = TPendingOutputFile::InFolder(folder, "Faktura", ".pdf");
    ASSERT_TRUE(file.Write("%PDF", 4));
    Calls().clear();
    const auto path = file.Commit(
        [](const std::filesystem::path& p) { Calls().push_back("named " + p.string()); });
    EXPECT_EQ(path, folder / "Faktura.pdf");
    EXPECT_EQ(CallsFor(path),
              (std::vector<std::string>{"fsync <temporary file>", "named " + path.string(),
                                        "rename " + path.string(), "fsync " + folder.string()}));
}

}  // namespace
}  // namespace quernel::test
