// A simulated DOS program prints into real files while the monitors run tick by tick under the
// test clock. Whatever it writes must come out of the print engine exactly once, in order.

#include <filesystem>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "support/MonitorFixture.h"

namespace quernel::test {
namespace {

using std::chrono::seconds;

constexpr std::uint8_t kFormFeed = 0x0C;
constexpr std::uint8_t kDosEndOfFile = 0x1A;

::testing::AssertionResult SameBytes(const Bytes& printed, const Bytes& written) {
    const auto [p, w] =
        std::mismatch(printed.begin(), printed.end(), written.begin(), written.end());
    if (p == printed.end() && w == written.end()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "printed " << printed.size() << " bytes, written " << written.size()
           << ", first difference at " << (p - printed.begin());
}

// The DOS program's random choices.
class DosProgram {
  public:
    explicit DosProgram(std::uint32_t seed) : rng_(seed) {}

    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }

    std::uint8_t PageEnd() { return Chance(0.5) ? kFormFeed : kDosEndOfFile; }

    Bytes Letters(int count) {
        static const std::string kText =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz\r\n";
        Bytes out;
        for (int i = 0; i < count; ++i) {
            out.push_back(static_cast<std::uint8_t>(
                kText[static_cast<std::size_t>(Uniform(0, static_cast<int>(kText.size()) - 1))]));
        }
        return out;
    }

    // One write: text with a page end here and there, ending with one more often than not.
    Bytes Part() {
        Bytes out;
        const int length = Uniform(1, 300);
        for (int i = 0; i < length; ++i) {
            if (Chance(0.01)) {
                out.push_back(PageEnd());
            } else {
                const Bytes letter = Letters(1);
                out.push_back(letter[0]);
            }
        }
        if (Chance(0.6)) out.push_back(PageEnd());
        return out;
    }

    // Ticks until the next write: shorter than the wait, or longer (also longer than the
    // maximum wait, so unfinished pages get released by it).
    int Pause() { return Chance(0.6) ? Uniform(1, 4) : Uniform(8, 40); }

  private:
    std::mt19937 rng_;
};

struct Case {
    bool takeAll;    // WaitForPage off
    double maxWait;  // WaitForPageMax; 0 switches the rule off
    std::uint32_t seed;
};

std::string Describe(const ::testing::TestParamInfo<Case>& info) {
    return std::string(info.param.takeAll ? "TakeAll" : "WaitForPage") +
           (info.param.maxWait > 0 ? "MaxWait" : "") + "Seed" + std::to_string(info.param.seed);
}

const auto kCases = ::testing::Values(Case{false, 4, 1}, Case{false, 4, 2}, Case{true, 4, 3},
                                      Case{true, 0, 4}, Case{false, 0, 5}, Case{false, 4, 6});

class NoLossTest : public MonitorFixture, public ::testing::WithParamInterface<Case> {
  protected:
    void SetUp() override {
        settings.WaitBeforePrint = 3;
        settings.WaitForPageMax = GetParam().maxWait;
    }

    void AppendPart(const std::string& path, const Bytes& part) {
        AppendFile(path, part);
        SetFileTime(path, clock.Now());
        written[path].insert(written[path].end(), part.begin(), part.end());
    }

    // The closing part: nothing of it (or of what waits before it) needs a later part.
    Bytes LastPart(DosProgram& dos) {
        Bytes last = dos.Letters(dos.Uniform(1, 50));
        last.push_back(dos.PageEnd());
        if (GetParam().takeAll || GetParam().maxWait > 0) {
            const Bytes tail = dos.Letters(dos.Uniform(6, 20));  // an unfinished page
            last.insert(last.end(), tail.begin(), tail.end());
        }
        return last;
    }

    // Ticks long enough for every file to be released, by the wait or by the maximum wait.
    void Finish(TFileMonitor& monitor) {
        Run(monitor, settings.WaitBeforePrint + settings.WaitForPageMax + 10, GetParam().takeAll);
    }

    std::map<std::string, Bytes> PrintedByFile() const {
        std::map<std::string, Bytes> out;
        for (const auto& job : engine.jobs) {
            EXPECT_TRUE(job.ended);
            EXPECT_FALSE(job.data.empty());
            out[job.title].insert(out[job.title].end(), job.data.begin(), job.data.end());
        }
        return out;
    }

    std::map<std::string, Bytes> written;
};

TEST_P(NoLossTest, AnAppendedFileIsPrintedExactlyOnce) {
    DosProgram dos(GetParam().seed);
    const std::string path = PathOf("PRN2FILE.TXT");
    const auto monitor = Watch(path);  // the file does not exist yet
    bool writing = true;
    engine.duringPrint = [&] {
        if (writing && dos.Chance(0.3)) AppendPart(path, dos.Part());
    };
    int pause = 0;
    for (int tick = 0; tick < 1000; ++tick) {
        if (--pause <= 0) {
            AppendPart(path, dos.Part());
            pause = dos.Pause();
        }
        Tick(*monitor, GetParam().takeAll);
    }
    writing = false;
    AppendPart(path, LastPart(dos));
    Finish(*monitor);

    EXPECT_GT(engine.jobs.size(), 20u);
    const auto printed = PrintedByFile();
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_TRUE(SameBytes(printed.at(path), written.at(path)));
}

TEST_P(NoLossTest, FilesAppearingInAFolderArePrintedExactlyOnce) {
    DosProgram dos(GetParam().seed);
    std::filesystem::create_directories(dir / "spool");
    const auto monitor = Watch(PathOf("spool/*.prn"));
    const std::vector<std::string> paths = {PathOf("spool/LPT1.PRN"), PathOf("spool/lpt2.prn"),
                                            PathOf("spool/LPT3.Prn"), PathOf("spool/LPT4.PRN")};
    std::vector<int> startTick, pause(paths.size(), 0);
    for (std::size_t i = 0; i < paths.size(); ++i) startTick.push_back(dos.Uniform(0, 600));
    bool writing = true;
    engine.duringPrint = [&] {
        if (writing && dos.Chance(0.3)) AppendPart(engine.jobs.back().title, dos.Part());
    };
    for (int tick = 0; tick < 1000; ++tick) {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (tick >= startTick[i] && --pause[i] <= 0) {
                AppendPart(paths[i], dos.Part());
                pause[i] = dos.Pause();
            }
        }
        if (tick % 50 == 0) {
            // Files the mask leaves out.
            AppendPart(PathOf("spool/NOTES.TXT"), dos.Part());
            AppendPart(PathOf("spool/.hidden.prn"), dos.Part());
        }
        Tick(*monitor, GetParam().takeAll);
    }
    writing = false;
    for (const std::string& path : paths) AppendPart(path, LastPart(dos));
    Finish(*monitor);

    const auto printed = PrintedByFile();
    EXPECT_EQ(printed.size(), paths.size());
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(printed.count(path));
        EXPECT_TRUE(SameBytes(printed.at(path), written.at(path)));
    }
}

// Overwrite mode: each printout replaces the file. Every version, also one equal to the one
// before, is printed in full, once. A version ends with a page end and the program waits for
// it to be printed before it writes the next, or writes the next while it prints.
TEST_P(NoLossTest, EveryRewriteOfAnOverwrittenFileIsPrintedOnce) {
    settings.FileSaveMode = 1;
    DosProgram dos(GetParam().seed);
    const std::string path = PathOf("PRN2FILE.TXT");
    const auto monitor = Watch(path);
    Bytes expected;
    int version = 0;
    Bytes previous;
    const auto NewVersion = [&] {
        Bytes content;
        if (!previous.empty() && dos.Chance(0.25)) {
            content = previous;  // the same printout once more
        } else {
            content = ToBytes("#" + std::to_string(++version) + "#");
            const int parts = dos.Uniform(1, 3);
            for (int i = 0; i < parts; ++i) {
                const Bytes part = dos.Part();
                content.insert(content.end(), part.begin(), part.end());
            }
            content.push_back(dos.PageEnd());
        }
        previous = content;
        expected.insert(expected.end(), content.begin(), content.end());
        return content;
    };
    const auto Rewrite = [&](const Bytes& content) {
        WriteFile(path, content);
        SetFileTime(path, clock.Now());
    };

    bool writing = true;
    int pause = 1;
    std::vector<Bytes> chunks;  // the rest of the version being written
    engine.duringPrint = [&] {
        if (writing && chunks.empty() && dos.Chance(0.3)) {
            Rewrite(NewVersion());
            pause = dos.Uniform(12, 30);
        }
    };
    for (int tick = 0; tick < 1000; ++tick) {
        if (--pause <= 0) {
            if (chunks.empty()) {
                // Start a version: the first chunk replaces the file, the others follow
                // shortly, well within the wait.
                const Bytes content = NewVersion();
                std::size_t at = 0;
                while (at < content.size()) {
                    const std::size_t n = std::min(content.size() - at,
                                                   static_cast<std::size_t>(dos.Uniform(1, 400)));
                    chunks.emplace_back(content.begin() + static_cast<std::ptrdiff_t>(at),
                                        content.begin() + static_cast<std::ptrdiff_t>(at + n));
                    at += n;
                }
                Rewrite(chunks.front());
            } else {
                AppendFile(path, chunks.front());
                SetFileTime(path, clock.Now());
            }
            chunks.erase(chunks.begin());
            pause = chunks.empty() ? dos.Uniform(12, 30) : dos.Uniform(1, 2);
        }
        Tick(*monitor, GetParam().takeAll);
    }
    writing = false;
    for (const Bytes& chunk : chunks) AppendFile(path, chunk);
    if (!chunks.empty()) SetFileTime(path, clock.Now());
    Finish(*monitor);

    EXPECT_GT(version, 20);
    const auto printed = PrintedByFile();
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_TRUE(SameBytes(printed.at(path), expected));
}

INSTANTIATE_TEST_SUITE_P(Settings, NoLossTest, kCases, Describe);

}  // namespace
}  // namespace quernel::test
