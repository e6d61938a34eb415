#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "host/AppSettings.h"
#include "host/BW_log.h"
#include "platform/IniKeyStore.h"
#include "tests/fakes/FakeClock.h"
#include "tests/support/TempDir.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;

// Runs the check in a child process as an ordinary user (root drops to "nobody"); answers
// whether it held.
bool AsOrdinaryUser(const std::function<bool()>& check) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int BadCopies(const std::filesystem::path& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".bad-") != std::string::npos) ++count;
    }
    return count;
}

class IniKeyStoreTest : public ::testing::Test {
  protected:
    TempDir dir;
    IniKeyStore store{dir / "user", dir / "machine"};
};

TEST_F(IniKeyStoreTest, KeysAreReadableIniFilesUnderTheirRoot) {
    EXPECT_EQ(store.KeyFile(KeyRoot::kCurrentUser, kQuernelKey),
              dir / "user/Brackwood/Quernel.conf");
    EXPECT_EQ(store.KeyFile(KeyRoot::kLocalMachine, kUpdateKey),
              dir / "machine/Brackwood/Update.conf");
    {
        auto key = store.Open(KeyRoot::kCurrentUser, kQuernelKey, KeyAccess::kFull);
        ASSERT_NE(key, nullptr);
        key->WriteInteger("Copies", 2);
        key->WriteString("CharMap", "LatinII");
        key->WriteString("BackgroundPicture", "/home/ala/logo, nowe.png");
        key->WriteString("MonitoredFile0", "/srv/dos/Łódź/LPT1.TXT::Laser");
    }
    const std::string text = ReadText(dir / "user/Brackwood/Quernel.conf");
    EXPECT_NE(text.find("Copies=2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("CharMap=LatinII\n"), std::string::npos) << text;

    auto key = store.Open(KeyRoot::kCurrentUser, kQuernelKey, KeyAccess::kRead);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->ReadInteger("Copies"), 2);
    EXPECT_EQ(key->ReadString("BackgroundPicture"), "/home/ala/logo, nowe.png");
    EXPECT_EQ(key->ReadString("MonitoredFile0"), "/srv/dos/Łódź/LPT1.TXT::Laser");
    EXPECT_EQ(key->ReadString("Missing"), std::nullopt);
    auto names = key->ValueNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"BackgroundPicture", "CharMap", "Copies",
                                               "MonitoredFile0"}));
}

TEST_F(IniKeyStoreTest, TextWhereANumberBelongsReadsAsMissing) {
    WriteFile(dir / "user/Brackwood/Quernel.conf",
              std::string("[General]\nCopies=two\nMgLeft= -7 \nWaitForPage=1\nList=a, b\n"));
    auto key = store.Open(KeyRoot::kCurrentUser, kQuernelKey, KeyAccess::kRead);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->ReadInteger("Copies"), std::nullopt);
    EXPECT_EQ(key->ReadInteger("MgLeft"), -7);
    EXPECT_EQ(key->ReadInteger("WaitForPage"), 1);
    EXPECT_EQ(key->ReadString("List"), "a, b");  // typed by hand without quotes
    // A key opened for reading writes nothing.
    key->WriteInteger("Copies", 5);
    key->DeleteValue("MgLeft");
    key.reset();
    key = store.Open(KeyRoot::kCurrentUser, kQuernelKey, KeyAccess::kFull);
    EXPECT_EQ(key->ReadInteger("MgLeft"), -7);
    key->DeleteValue("MgLeft");
    key.reset();
    key = store.Open(KeyRoot::kCurrentUser, kQuernelKey, KeyAccess::kRead);
    EXPECT_EQ(key->ReadInteger("MgLeft"), std::nullopt);
}

TEST_F(IniKeyStoreTest, RootThatCannotBeWrittenRefusesFullAccess) {
    // A root whose folder cannot be created (its parent is a file) refuses every open.
    WriteFile(dir / "blocked", std::string("file"));
    IniKeyStore blocked(dir / "blocked/user", dir / "blocked/machine");
    EXPECT_EQ(blocked.Open(KeyRoot::kLocalMachine, kQuernelKey, KeyAccess::kRead), nullptr);
    EXPECT_EQ(blocked.Open(KeyRoot::kLocalMachine, kQuernelKey, KeyAccess::kFull), nullptr);

    // An existing machine-wide file the user may only read: reading works, writing is refused.
    // File permissions do not stop root, so the check runs as an ordinary user.
    WriteFile(dir / "machine/Brackwood/Quernel.conf", std::string("[General]\nSettings4All=1\n"));
    namespace fs = std::filesystem;
    const auto readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const auto enterable = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    fs::permissions(dir.path(), readable | enterable);
    fs::permissions(dir / "machine", readable | enterable);
    fs::permissions(dir / "machine/Brackwood", readable | enterable);
    fs::permissions(dir / "machine/Brackwood/Quernel.conf", readable);
    const bool asExpected = AsOrdinaryUser([&] {
        auto read = store.Open(KeyRoot::kLocalMachine, kQuernelKey, KeyAccess::kRead);
        return read != nullptr && read->ReadInteger("Settings4All") == 1 &&
               store.Open(KeyRoot::kLocalMachine, kQuernelKey, KeyAccess::kFull) == nullptr;
    });
    fs::permissions(dir / "machine/Brackwood", fs::perms::owner_all);
    EXPECT_TRUE(asExpected);
}

// A settings file that does not load cleanly is reported once and copied beside it before it
// is first opened for writing; a clean file is neither.
TEST_F(IniKeyStoreTest, ADamagedFileIsCopiedBeforeTheFirstSave) {
    namespace fs = std::filesystem;
    FakeClock clock(FakeClock::FromLocal(2024, 3, 9, 17, 5, 0));
    const std::vector<std::pair<std::string, std::string>> damages{
        {"NUL in a value", "[General]\nPrinter=Las\0er\nCopies=2\n"s},
        {"syntax", "[General]\nCopies=2\n[Sec\nX=1\n"},
        {"escaped control character", "[General]\nPrinter=Las\\x1er\nCopies=2\n"},
        {"garbage", "\x89PNG\r\n\x1a\n\0\0\x01"s},
    };
    for (const auto& [name, text] : damages) {
        SCOPED_TRACE(name);
        TempDir root;
        IniKeyStore keys(root / "user", root / "machine", &clock);
        std::vector<std::pair<std::string, bool>> notices;
        keys.SetNotices([&](const std::string& m, bool error) { notices.emplace_back(m, error); });
        const fs::path file = root / "user/Brackwood/Quernel.conf";
        WriteFile(file, text);
        ASSERT_NE(keys.Open(KeyRoot::kCurrentUser, kQuernelKey, KeyAccess::kRead), nullptr);
        ASSERT_NE(keys.Open(KeyRoot::kCurrentUser, kQuernelKey, KeyAccess::kRead), nullptr);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_TRUE(notices[0].second);
        EXPECT_TRUE(notices[0].first.starts_with("Uszkodzony plik ustawień " + file.string()))
            << notices[0].first;
        const fs::path copy = root / "user/Brackwood/Quernel.conf.bad-2024-03-09_17-05-00";
        EXPECT_FALSE(fs::exists(copy));
        keys.Open(KeyRoot::kCurrentUser, kQuernelKey, KeyAccess::kFull)->WriteInteger("Copies", 3);
        EXPECT_EQ(ReadText(copy), text);
        ASSERT_EQ(notices.size(), 2u);
        EXPECT_EQ(
            notices[1],
            std::make_pair("Uszkodzony plik ustawień zachowano jako " + copy.string(), false));
        // Once copied, later saves write as usual.
        keys.Open(KeyRoot::kCurrentUser, kQuernelKey, KeyAccess::kFull)->WriteInteger("Copies", 4);
        EXPECT_EQ(notices.size(), 2u);
        EXPECT_EQ(BadCopies(file.parent_path()), 1);
    }

    std::vector<std::string> notices;
    IniKeyStore keys(dir / "user", dir / "machine", &clock);
    keys.SetNotices([&](const std::string& m, bool) { notices.push_back(m); });
    WriteFile(dir / "user/Brackwood/Quernel.conf",
              std::string("[General]\nPrinter=Laser\nMonitoredFile0=/srv/a b/LPT1.TXT\n"));
    keys.Open(KeyRoot::kCurrentUser, kQuernelKey, KeyAccess::kFull)->WriteInteger("Copies", 3);
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(BadCopies(dir / "user/Brackwood"), 0);
}

TEST_F(IniKeyStoreTest, EnvironmentRedirectsBothRoots) {
    ::setenv("QUERNEL_CONFIG_HOME", (dir / "u").c_str(), 1);
    ::setenv("QUERNEL_CONFIG_MACHINE", (dir / "m").c_str(), 1);
    const IniKeyStore redirected = IniKeyStore::FromEnvironment();
    ::unsetenv("QUERNEL_CONFIG_HOME");
    ::unsetenv("QUERNEL_CONFIG_MACHINE");
    EXPECT_EQ(redirected.KeyFile(KeyRoot::kCurrentUser, kQuernelKey),
              dir / "u/Brackwood/Quernel.conf");
    EXPECT_EQ(redirected.KeyFile(KeyRoot::kLocalMachine, kQuernelKey),
              dir / "m/Brackwood/Quernel.conf");
}

// The settings survive a save and a load through the INI files.
class NoTarget final : public ISettingsTarget {
  public:
    void AutoRunSwitchedOn() override {}
    void AlwaysDefaultSwitchedOn() override {}
    void ApplyLoadedSettings() override {}
    void EndEditModes() override {}
    void ActivateCharMap(const std::string&) override {}
    void ActivateSequences(const std::string&) override {}
    void RestorePrinter(const std::string&) override {}
    void RestoreFont(const std::string&) override {}
    std::optional<std::string> SelectedPrinter() override { return std::nullopt; }
    std::optional<std::string> SelectedFont() override { return std::nullopt; }
    void LoadMonitoredList() override {}
};

TEST_F(IniKeyStoreTest, SettingsRoundTripThroughTheFiles) {
    FakeClock clock;
    TbwLog history(clock);
    TfileLog fileLog(clock, {}, {});
    TSettingsStore settings(store, history, fileLog);
    NoTarget target;
    AppSettings saved;
    saved.PrintTitleName = "Księgowość";
    saved.MgLeft = -10;
    saved.RAWInit = "#27 @";
    saved.RAWEnable = true;
    saved.BackgroundPicture = "/a b/c,d.png";
    saved.CharMap = "Mazowia";
    saved.Sequences = "EPSON+HP";
    settings.SaveSettings(saved, target);
    AppSettings loaded;
    settings.LoadSettings(loaded, target);
    EXPECT_EQ(loaded, saved);
}

}  // namespace
}  // namespace quernel::test
