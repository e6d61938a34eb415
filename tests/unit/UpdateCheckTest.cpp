#include <gtest/gtest.h>
#include <stdlib.h>

#include "fakes/FakeClock.h"
#include "fakes/FakeKeyStore.h"
#include "fakes/FakeUpdateServer.h"
#include "host/BrowserCommand.h"
#include "update/UpdateCheck.h"
#include "update/UpdatePacer.h"
#include "update/UpdateServer.h"

namespace quernel::test {
namespace {

using namespace std::chrono_literals;

// 9 March 2024 is day 45360 counted from 30 December 1899.
constexpr long kToday = 45360;

class UpdateCheckTest : public ::testing::Test {
  protected:
    FakeKeyStore::Values& Update() { return keys.Key(KeyRoot::kLocalMachine, kUpdateKey); }
    std::optional<UpdateResult> Run() { return check.Run(server); }
    static UpdateReply Reply(std::optional<std::string> wersja, std::string body = {},
                             std::optional<std::string> uniq = {}) {
        return UpdateReply{true, std::move(body), std::move(uniq), std::move(wersja)};
    }

    FakeKeyStore keys;
    FakeClock clock{FakeClock::FromLocal(2024, 3, 9, 17, 5, 1)};
    FakeUpdateServer server;
    UpdateCheck check{keys, clock, UpdateIdentity{"QUERNEL", "1.2.3.4", "", 0}};
};

TEST_F(UpdateCheckTest, DayNumbersCountFrom30December1899) {
    EXPECT_DOUBLE_EQ(DayNumber(FakeClock::FromLocal(1899, 12, 30)), 0);
    EXPECT_DOUBLE_EQ(DayNumber(FakeClock::FromLocal(2024, 3, 9)), kToday);
    EXPECT_DOUBLE_EQ(DayNumber(FakeClock::FromLocal(2024, 3, 9, 18)), kToday + 0.75);
}

TEST_F(UpdateCheckTest, FirstRequestCarriesNotsetAndTheExactQuery) {
    server.reply = Reply(std::nullopt);
    Run();
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_EQ(server.requests[0].pathAndQuery, "/checkver.php?ver=1.2.3.4&prog=QUERNEL&reg=&nr=0");
    EXPECT_EQ(server.requests[0].cookie, "UNIQ=NOTSET");

    // The values go in as they are, without percent-encoding.
    UpdateCheck odd(keys, clock, UpdateIdentity{"MY PROG", "2.0 beta", "a&b=ż", 17});
    Update().erase("Date.MY PROG");
    odd.Run(server);
    ASSERT_EQ(server.requests.size(), 2u);
    EXPECT_EQ(server.requests[1].pathAndQuery,
              "/checkver.php?ver=2.0 beta&prog=MY PROG&reg=a&b=ż&nr=17");
}

TEST_F(UpdateCheckTest, AtMostOneRequestIn14Days) {
    server.reply = Reply(std::nullopt);
    struct Case {
        std::string stored;
        TimePoint now;
        bool asks;
    };
    const Case cases[] = {
        {std::to_string(kToday), FakeClock::FromLocal(2024, 3, 9, 23, 59), false},
        {std::to_string(kToday - 13), FakeClock::FromLocal(2024, 3, 9, 23, 59), false},
        // Exactly 14 days is not more than 14; a minute later is.
        {std::to_string(kToday - 14), FakeClock::FromLocal(2024, 3, 9), false},
        {std::to_string(kToday - 14), FakeClock::FromLocal(2024, 3, 9, 0, 1), true},
        {std::to_string(kToday - 15), FakeClock::FromLocal(2024, 3, 9), true},
        // A day in the future (a clock set back) keeps asking off until it has passed.
        {std::to_string(kToday + 3), FakeClock::FromLocal(2024, 3, 9), false},
        // Missing or damaged values count as no check at all.
        {"", FakeClock::FromLocal(2024, 3, 9), true},
        {"45360x", FakeClock::FromLocal(2024, 3, 9), true},
        {"-5", FakeClock::FromLocal(2024, 3, 9), true},
        {"99999999999999999999", FakeClock::FromLocal(2024, 3, 9), true},
    };
    for (const Case& c : cases) {
        Update()["Date.QUERNEL"] = c.stored;
        clock.Set(c.now);
        server.requests.clear();
        Run();
        EXPECT_EQ(server.requests.size(), c.asks ? 1u : 0u) << "stored \"" << c.stored << "\"";
    }
}

TEST_F(UpdateCheckTest, OnlyAnotherVersionGivesAResult) {
    server.reply = Reply(std::nullopt, "no version cookie");
    EXPECT_EQ(Run(), std::nullopt);
    EXPECT_EQ(Update().count("Date.QUERNEL"), 1u);  // the 14-day clock advanced anyway

    Update().clear();
    server.reply = Reply("1.2.3.4", "same");
    EXPECT_EQ(Run(), std::nullopt);

    for (const std::string other : {"1.2.3.5", "1.2.3.3", "1.2.3.4 ", "1.2.3.04"}) {
        Update().clear();
        server.reply = Reply(other, "Nowości:\nszybciej");
        const auto result = Run();
        ASSERT_TRUE(result.has_value()) << other;
        EXPECT_EQ(result->currentVersion, "1.2.3.4");
        EXPECT_EQ(result->newVersion, other);
        EXPECT_EQ(result->description, "Nowości:\nszybciej");
    }
}

TEST_F(UpdateCheckTest, UnwritableKeyStillChecksButKeepsNothing) {
    keys.refused.insert({KeyRoot::kLocalMachine, KeyAccess::kFull});
    server.reply = Reply("2.0.0.0", "", "abc123");
    EXPECT_TRUE(Run().has_value());
    Run();
    ASSERT_EQ(server.requests.size(), 2u);
    EXPECT_EQ(server.requests[1].cookie, "UNIQ=NOTSET");
    EXPECT_TRUE(Update().empty());

    UpdateValues values(keys, "QUERNEL");
    values.SetNoShow(true);
    EXPECT_FALSE(values.NoShow());
}

TEST_F(UpdateCheckTest, ValuesLiveInTheMachineWideUpdateKeyOnly) {
    keys.Key(KeyRoot::kCurrentUser, kQuernelKey)["Settings4All"] = 0;
    server.reply = Reply("1.2.3.4", "", "id");
    Run();
    UpdateValues values(keys, "QUERNEL");
    values.SetNoShow(true);
    EXPECT_EQ(keys.keys.size(), 2u);
    EXPECT_EQ(Update().size(), 3u);
    EXPECT_EQ(Update()["NoShow.QUERNEL"], FakeKeyStore::Value("NO"));
    EXPECT_TRUE(values.NoShow());
    values.SetNoShow(false);
    EXPECT_EQ(Update()["NoShow.QUERNEL"], FakeKeyStore::Value("SHOW"));
    EXPECT_FALSE(values.NoShow());
    Update()["NoShow.QUERNEL"] = "no";  // only "NO" hides
    EXPECT_FALSE(values.NoShow());
}

TEST(UpdateDescriptionTest, LineBreaksBecomeSingleNewLines) {
    EXPECT_EQ(DescriptionText("a\nb"), "a\nb");
    EXPECT_EQ(DescriptionText("a\r\nb\r\n"), "a\nb\n");
    EXPECT_EQ(DescriptionText("a\rb\r"), "a\rb\r");
}

TEST(UpdatePacerTest, FirstTickWaitsThenFiveDaysOnlineOrAnHourOffline) {
    UpdatePacer pacer;
    auto step = pacer.Tick(true);
    EXPECT_FALSE(step.startCheck);
    EXPECT_EQ(step.next, 10s);  // the first check comes 10 s after the first tick
    step = pacer.Tick(false);
    EXPECT_FALSE(step.startCheck);
    EXPECT_EQ(step.next, 1h);
    step = pacer.Tick(true);
    EXPECT_TRUE(step.startCheck);
    EXPECT_EQ(step.next, 24h * 5);
    step = pacer.Tick(true);
    EXPECT_TRUE(step.startCheck);
    EXPECT_EQ(step.next, 24h * 5);
}

TEST(UpdateServerTest, AddressFromEnvironmentElseBuild) {
    ::setenv("QUERNEL_UPDATE_URL", "http://127.0.0.1:8080", 1);
    EXPECT_EQ(UpdateServerAddress(), "http://127.0.0.1:8080");
    ::setenv("QUERNEL_UPDATE_URL", "", 1);
    EXPECT_EQ(UpdateServerAddress(), "");  // set and empty switches the check off
    ::unsetenv("QUERNEL_UPDATE_URL");
    EXPECT_EQ(UpdateServerAddress(), QUERNEL_TEST_BUILD_UPDATE_URL);

    EXPECT_EQ(UpdateHomePage("http://h:81"), "http://h:81/");
    EXPECT_EQ(UpdateHomePage("http://h/sub/"), "http://h/sub/");
    EXPECT_EQ(UpdateRequestUrl("http://h/", "/checkver.php?ver=1"), "http://h/checkver.php?ver=1");
}

}  // namespace
}  // namespace quernel::test
