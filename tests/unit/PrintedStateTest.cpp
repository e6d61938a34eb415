// The printed state across restarts when its file is damaged or cannot be written: nothing
// written while the program was away may be lost without a word.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "monitor/PrintedState.h"
#include "support/CoreFixture.h"

namespace quernel::test {
namespace {

namespace fs = std::filesystem;

const LocalDateTime kNow{2024, 3, 9, 17, 5, 0};

TStateRecord SampleRecord() {
    TStateRecord record;
    record.files["/srv/dos/LPT1.PRN"].printed = {12, Md5Digest(ToBytes("twelve bytes"))};
    record.files["/srv/a b\\c\nd\te\r"].printed = {0, Md5Digest({})};
    record.files["/srv/dos/LPT2.PRN"] = {
        {5, Md5Digest(ToBytes("five."))},
        TPendingPart{9, Md5Digest(ToBytes("five.four")), "Quernel PDF", "Faktura\t1", 0,
                     "/home/u/QUERNEL/PDF/Faktura 1.pdf"}};
    record.jobs.push_back(
        {41, "laser", "QUERNEL_2024_03_09_7", "/srv/dos/LPT1.PRN", 4, 12, Md5Digest({}), ""});
    record.jobs.push_back({42, "laser", "QUERNEL_2024_03_09_8", "/srv/dos/LPT1.PRN", 12, 20,
                           Md5Digest(ToBytes("8 bytes.")), "20240309-170501-1"});
    return record;
}

TEST(PrintedStateTest, KeepsEveryRecordAndSkipsDamagedLines) {
    TempDir dir;
    const auto file = dir / "quernel/printed.txt";
    const TStateRecord record = SampleRecord();
    TPrintedState(file).Save(record);
    WriteFile(dir / "quernel/printed.txt.Ab12Cd", std::string("cut"));  // left by a kill
    TPrintedState state(file);
    state.Load(kNow);
    EXPECT_FALSE(fs::exists(dir / "quernel/printed.txt.Ab12Cd"));
    EXPECT_FALSE(state.Damage().Damaged()) << state.Damage().what;
    for (const auto& [path, remembered] : record.files) {
        EXPECT_EQ(state.Remembered(path), remembered) << path;
    }
    EXPECT_EQ(state.FollowedJobs(), record.jobs);
    EXPECT_FALSE(state.Remembered("/srv/other").has_value());

    // Damaged lines cost only themselves; the file is kept for inspection.
    std::string text = ReadText(file);
    text.insert(text.find('\n') + 1, "printed\t-1\t00\t/bad\nprinted\t7\t0123\t/short\n");
    text += "printed\t5\t00112233445566778899aabbccddeeff\t/cut-without-line-end";
    WriteFile(file, text);
    state.Load(kNow);
    EXPECT_EQ(state.Remembered("/srv/dos/LPT1.PRN"), record.files.at("/srv/dos/LPT1.PRN"));
    EXPECT_FALSE(state.Remembered("/bad") || state.Remembered("/short") ||
                 state.Remembered("/cut-without-line-end"));
    EXPECT_EQ(state.Damage().what, "ostatni wiersz jest ucięty, nieczytelne wiersze: 2");
    EXPECT_EQ(state.Damage().keptAs, dir / "quernel/printed.txt.bad-2024-03-09_17-05-00");
    EXPECT_EQ(ReadText(state.Damage().keptAs), text);
    // A second damaged load in the same second keeps a second copy.
    WriteFile(file, std::string("something else\n") + text.substr(text.find('\n') + 1));
    state.Load(kNow);
    EXPECT_EQ(state.Damage().keptAs, dir / "quernel/printed.txt.bad-2024-03-09_17-05-00_2");
    EXPECT_TRUE(state.Remembered("/srv/dos/LPT1.PRN").has_value());
}

// The landed program wrote "<size> <digest> <path>" lines: they still read.
TEST(PrintedStateTest, ReadsTheFirstFormat) {
    const TDigest digest = Md5Digest(ToBytes("abc"));
    std::string hex;
    for (const std::uint8_t b : digest) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
    }
    std::string damage;
    const TStateRecord record =
        TPrintedState::Parse("quernel printed 1\n3 " + hex + " /srv/a b\\\\c\\nd\n", &damage);
    EXPECT_EQ(damage, "");
    ASSERT_EQ(record.files.size(), 1u);
    EXPECT_EQ(record.files.at("/srv/a b\\c\nd").printed, (TPrintedPart{3, digest}));
}

// Every way the file is found damaged is named; what can be read still is.
TEST(PrintedStateTest, NamesEveryDamage) {
    const std::string good = TPrintedState::Format(SampleRecord());
    const auto damage = [](const std::string& text) {
        std::string found;
        TPrintedState::Parse(text, &found);
        return found;
    };
    EXPECT_EQ(damage(good), "");
    EXPECT_EQ(damage(""), "plik jest pusty");
    EXPECT_EQ(damage("quernel printed 1\n"), "sam nagłówek, bez wpisów");
    EXPECT_EQ(damage("quernel printed 2\n"), "brak wiersza końcowego");
    EXPECT_EQ(damage("quernel printed 2\nend\t0\n"), "");
    EXPECT_EQ(damage(good.substr(0, good.rfind("end"))), "brak wiersza końcowego");
    EXPECT_EQ(damage(good.substr(0, good.size() - 3)),
              "ostatni wiersz jest ucięty, brak "
              "wiersza końcowego");
    EXPECT_EQ(damage(good + "printed\t1\t00\t/x\n"),
              "nieczytelne wiersze: 1, wiersze po "
              "wierszu końcowym");
    EXPECT_EQ(damage("quernel printed 2\nend\t3\n"),
              "liczba wpisów nie zgadza się z wierszem końcowym");
    std::string crlf;
    for (const char c : good) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(damage(crlf), "końce wierszy CR LF");
    EXPECT_EQ(TPrintedState::Parse(crlf, nullptr), SampleRecord());  // nothing of it is lost
    EXPECT_EQ(damage("\x7f\x45LF\x02\x01\x01\n\xff\xfe"),
              "ostatni wiersz jest ucięty, brak nagłówka, nieczytelne wiersze: 1");
}

class PrintedStateRestartTest : public CoreFixture {
  protected:
    void SetUp() override {
        UserKey() = {{"AutoRun", 0},
                     {"WaitForPageMax", 0},
                     {"MonitoredFilesCNT", 2},
                     {"MonitoredFile0", defaultFile},
                     {"MonitoredFile1", other}};
        services.printedStateFile = stateFile;
        core = std::make_unique<TQuernelCore>(services);
    }
    // The printouts in the order of their text: files that print in one tick print in the
    // order of the list.
    std::vector<std::string> PrintedSorted() const {
        std::vector<std::string> out = Printed();
        std::sort(out.begin(), out.end());
        return out;
    }
    // Both files printed from, then stopped as by SIGKILL; then the DOS program writes while
    // the program is away.
    void PrintThenStop() {
        Start();
        Run(1);
        Append(defaultFile, "A1\f");
        Append(other, "B1\f");
        Run(5);
        ASSERT_EQ(PrintedSorted(), (std::vector<std::string>{"A1", "B1"}));
        core.reset();
        Append(defaultFile, "A2\f");
        Append(other, "B2\f");
    }
    std::vector<std::string> Reports() const {
        std::vector<std::string> out;
        for (const std::string& m : errors.messages) {
            if (m.find("liczy się jako wydrukowana") != std::string::npos) out.push_back(m);
        }
        return out;
    }
    std::vector<fs::path> BadCopies() const {
        std::vector<fs::path> out;
        for (const auto& entry : fs::directory_iterator(stateFile.parent_path())) {
            if (entry.path().filename().string().starts_with("printed.txt.bad-")) {
                out.push_back(entry.path());
            }
        }
        return out;
    }

    std::string other = (dir / "home/QUERNEL/OTHER.PRN").string();
    fs::path stateFile = dir / "state/quernel/printed.txt";
};

// Each damage of the state file, as found after a kill: the file is kept beside it, and a
// monitored file the damaged state cannot vouch for is reported once, its content counting as
// printed; the damage costs no other file anything.
TEST_F(PrintedStateRestartTest, ADamagedStateFileIsKeptAndReportedPerFile) {
    struct Damage {
        std::string name;
        std::function<std::string(const std::string&)> make;
        bool aKept, bKept;  // the records that survive the damage
        bool structural;    // the state file itself is damaged (not only a record's values)
    };
    // The records are in path order: the other file ("OTHER.PRN") first.
    const auto lineOf = [](const std::string& text, const std::string& path) {
        const std::size_t at = text.find("\t" + path + "\n");
        return std::make_pair(text.rfind('\n', at) + 1, at + path.size() + 2);
    };
    const std::string a = defaultFile, b = other;
    const auto crlf = [](const std::string& t) {
        std::string out;
        for (const char c : t) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return out;
    };
    const std::vector<Damage> damages{
        {"cut short", [&](const std::string& t) { return t.substr(0, lineOf(t, a).first + 9); },
         false, true, true},
        {"garbage", [](const std::string&) { return std::string("\x89PNG\r\n\x1a\n\0\0", 10); },
         false, false, true},
        {"header only", [](const std::string&) { return std::string("quernel printed 2\n"); },
         false, false, true},
        {"size beyond the file",
         [&](const std::string& t) {
             std::string out = t;
             out[lineOf(t, b).first + 8] = '9';  // "printed\t3" -> "printed\t9"
             return out;
         },
         true, false, false},
        {"wrong digest",
         [&](const std::string& t) {
             std::string out = t;
             const std::size_t digit = lineOf(t, b).first + 10;
             out[digit] = out[digit] == '0' ? '1' : '0';
             return out;
         },
         true, false, false},
        {"CRLF line ends", crlf, true, true, true},
        {"empty", [](const std::string&) { return std::string(); }, false, false, true},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        fs::remove_all(dir / "state");
        Write(defaultFile, "");
        Write(other, "");
        printer.texts.clear();
        printer.documents.clear();
        errors.messages.clear();
        core = std::make_unique<TQuernelCore>(services);
        PrintThenStop();
        const std::string damaged = d.make(ReadText(stateFile));
        WriteFile(stateFile, damaged);

        Restart();
        Run(5);
        std::vector<std::string> expected{"A1", "B1"};
        if (d.aKept) expected.push_back("A2");
        if (d.bKept) expected.push_back("B2");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(PrintedSorted(), expected);
        std::vector<std::string> reported;
        for (const std::string& m : Reports()) reported.push_back(m.substr(0, m.find(": ")));
        std::vector<std::string> lost;
        if (!d.bKept) lost.push_back(b);  // in the order of the list
        if (!d.aKept) lost.push_back(a);
        EXPECT_EQ(reported, lost) << ::testing::PrintToString(errors.messages);
        // The damaged file is kept once, as it was found.
        const auto copies = BadCopies();
        ASSERT_EQ(copies.size(), d.structural ? 1u : 0u);
        if (d.structural) {
            EXPECT_EQ(ReadText(copies[0]), damaged);
        }

        // Reported once: what follows prints as usual, with no further word.
        Append(defaultFile, "A3\f");
        Append(other, "B3\f");
        Run(5);
        const std::vector<std::string> printed = Printed();
        ASSERT_GE(printed.size(), 2u);
        EXPECT_EQ(std::set<std::string>(printed.end() - 2, printed.end()),
                  (std::set<std::string>{"A3", "B3"}));
        EXPECT_EQ(Reports().size(), lost.size());
    }
}

// A state folder that cannot be written: said once, tried again at every tick, and meanwhile
// the state lives in the fallback, so what the DOS program writes while the program is away
// still prints after a restart. Once the folder can be written again, it gets the state.
TEST_F(PrintedStateRestartTest, AStateFolderThatCannotBeWrittenLosesNothing) {
    services.printedStateFallback = dir / "run/quernel/printed.txt";
    core = std::make_unique<TQuernelCore>(services);
    WriteFile(dir / "state", std::string("a file where the folder belongs"));
    PrintThenStop();
    const auto failures = [&] {
        return std::count_if(errors.messages.begin(), errors.messages.end(), [](const auto& m) {
            return m.starts_with("Nie udało się zapisać stanu wydruków");
        });
    };
    EXPECT_EQ(failures(), 1);
    EXPECT_NE(errors.messages.at(0).find(services.printedStateFallback.string()),
              std::string::npos);
    EXPECT_TRUE(fs::exists(services.printedStateFallback));

    Restart();
    Run(5);
    EXPECT_EQ(PrintedSorted(), (std::vector<std::string>{"A1", "A2", "B1", "B2"}));
    EXPECT_EQ(failures(), 2);  // once per run

    fs::remove(dir / "state");
    Run(1);
    EXPECT_TRUE(fs::exists(stateFile));
    EXPECT_FALSE(fs::exists(services.printedStateFallback));
    EXPECT_EQ(view.Messages().back(), "Stan wydruków znów zapisany w pliku " + stateFile.string());
    core.reset();
    Append(defaultFile, "A3\f");
    Restart();
    Run(5);
    EXPECT_EQ(Printed().back(), "A3");
    EXPECT_EQ(failures(), 2);
}

// Without a fallback either, the failure is still said once, and the write is tried again.
TEST_F(PrintedStateRestartTest, AFailedWriteWithoutFallbackIsSaidOnceAndRetried) {
    WriteFile(dir / "state", std::string("a file where the folder belongs"));
    Start();
    Run(1);
    Append(defaultFile, "A1\f");
    Run(5);
    Append(defaultFile, "A2\f");
    Run(5);
    EXPECT_EQ(Printed(), (std::vector<std::string>{"A1", "A2"}));
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_TRUE(
        errors.messages[0].starts_with("Nie udało się zapisać stanu wydruków: Cannot "
                                       "create the folder"))
        << errors.messages[0];
    EXPECT_NE(errors.messages[0].find("mogą wyjść ponownie"), std::string::npos);
    fs::remove(dir / "state");
    Run(0.5);  // nothing new printed, but the state is still due
    EXPECT_TRUE(fs::exists(stateFile));
}

}  // namespace
}  // namespace quernel::test
