// The board clock: request bytes, the encodings both ways, refusals that send
// nothing, answers that are not a time or a date, and the simulated clock.

#include <gtest/gtest.h>

#include "SimLink.h"
#include "features/BoardClock.h"

using namespace orvan;
using namespace orvan::features;

namespace {

using Bytes = std::vector<std::uint8_t>;

class PageRecorder : public IBoardClockPage {
  public:
    void ShowBoardTime(const TTimeOfDay& t) override { times.push_back(t); }
    void ShowBoardDate(const TDate& d) override { dates.push_back(d); }
    void ShowClockRunning(bool r) override { running.push_back(r); }
    void ShowClockProblem(const std::string& t) override { problems.push_back(t); }
    std::vector<TTimeOfDay> times;
    std::vector<TDate> dates;
    std::vector<bool> running;
    std::vector<std::string> problems;
};

struct ClockRig : test::SimRig {
    PageRecorder page;
    TBoardClock& board = core.BoardClock();
    ClockRig() { board.Views().Add(page); }

    // A ReadVariable answer as the board sends it (checksum byte last).
    void Answer(std::uint16_t code, Bytes value) {
        Bytes a = {0x06, 0x0B, static_cast<std::uint8_t>(code),
                   static_cast<std::uint8_t>(code >> 8)};
        a.insert(a.end(), value.begin(), value.end());
        a.push_back(0x00);
        commands::ProcessAnswer(session, a, static_cast<std::uint8_t>(a.size() + 4));
    }
};

TEST(BoardClock, ReadAsksTimeDateAndRunInThisOrder) {
    ClockRig rig;
    ASSERT_TRUE(rig.board.Read());
    rig.Run();
    EXPECT_EQ(rig.port.bodies,
              (std::vector<Bytes>{{0x0B, 0x00, 0x03}, {0x0B, 0x01, 0x03}, {0x0B, 0x02, 0x03}}));
}

TEST(BoardClock, SetSendsTimeThenDateWithTheWeekDay) {
    ClockRig rig;
    // 7 December 2026 is a Monday (2).
    const auto r = rig.board.Set(TDate{2026, 12, 7}, TTimeTexts{"9", "05", "30"});
    ASSERT_TRUE(r) << r.why;
    rig.Run();
    EXPECT_EQ(rig.port.bodies, (std::vector<Bytes>{{0x0A, 0x00, 0x03, 0x09, 0x05, 0x1E},
                                                   {0x0A, 0x01, 0x03, 0x07, 0x0C, 0x02, 0x1A}}));
    EXPECT_TRUE(rig.view.boxes.empty());
}

struct BadSet {
    const char* what;
    TDate date;
    TTimeTexts time;
    const char* reason;  // part of it
};

class ClockRefusals : public ::testing::TestWithParam<BadSet> {};

TEST_P(ClockRefusals, NothingIsQueued) {
    ClockRig rig;
    const BadSet& c = GetParam();
    const auto r = rig.board.Set(c.date, c.time);
    EXPECT_FALSE(r) << c.what;
    EXPECT_NE(r.why.find(c.reason), std::string::npos) << r.why;
    EXPECT_EQ(rig.protocol.QueueCount(), 0u) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Typed, ClockRefusals,
    ::testing::Values(
        BadSet{"hour 25", {2026, 12, 7}, {"25", "0", "0"}, "Hour: 25 is outside 0..23"},
        BadSet{"minute 60", {2026, 12, 7}, {"1", "60", "0"}, "Min: 60 is outside 0..59"},
        BadSet{"second 60", {2026, 12, 7}, {"1", "0", "60"}, "Sec: 60"},
        BadSet{"negative", {2026, 12, 7}, {"-1", "0", "0"}, "outside"},
        BadSet{"letters", {2026, 12, 7}, {"ab", "0", "0"}, "'ab' is not a valid integer value"},
        BadSet{"empty", {2026, 12, 7}, {"1", "", "0"}, "Min: ''"},
        BadSet{"decimal", {2026, 12, 7}, {"1", "0", "1.5"}, "Sec: '1.5'"},
        BadSet{"year 1999", {1999, 12, 31}, {"0", "0", "0"}, "2000-01-01"},
        BadSet{"year 2256", {2256, 1, 1}, {"0", "0", "0"}, "2255-12-31"},
        BadSet{"30 February", {2026, 2, 30}, {"0", "0", "0"}, "2026-02-30"}),
    [](const auto& info) {
        std::string n = info.param.what;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST(BoardClock, AnswersFillThePage) {
    ClockRig rig;
    rig.Answer(commands::ClockTime, {0x09, 0x05, 0x1E});
    rig.Answer(commands::ClockDate, {0x1F, 0x0C, 0x05, 0x63});
    rig.Answer(commands::ClockRun, {0x07});  // any non-zero value runs
    EXPECT_EQ(rig.page.times, (std::vector<TTimeOfDay>{{9, 5, 30}}));
    EXPECT_EQ(rig.page.dates, (std::vector<TDate>{{2099, 12, 31}}));
    EXPECT_EQ(rig.page.running, (std::vector<bool>{true}));
    rig.Answer(commands::ClockRun, {0x00});
    EXPECT_EQ(rig.page.running.back(), false);
    EXPECT_TRUE(rig.page.problems.empty());
}

TEST(BoardClock, ImpossibleAnswersAreReportedNeverShown) {
    ClockRig rig;
    const std::vector<Bytes> dates = {{0x00, 0x00, 0x01, 0x1A},
                                      {0x1F, 0x02, 0x01, 0x1A},
                                      {0x01, 0x0D, 0x01, 0x1A},
                                      {0x1D, 0x02, 0x01, 0x19}};
    for (const Bytes& d : dates) rig.Answer(commands::ClockDate, d);
    rig.Answer(commands::ClockTime, {25, 0, 0});
    rig.Answer(commands::ClockTime, {0, 60, 0});
    rig.Answer(commands::ClockTime, {0, 0, 0xFF});
    EXPECT_TRUE(rig.page.dates.empty());
    EXPECT_TRUE(rig.page.times.empty());
    ASSERT_EQ(rig.page.problems.size(), 7u);
    EXPECT_NE(rig.page.problems[0].find("not a date"), std::string::npos);
    EXPECT_NE(rig.page.problems[4].find("25:0:0"), std::string::npos);
    EXPECT_FALSE(rig.board.BoardDate().has_value());
    // 29 February of a leap year is a date.
    rig.Answer(commands::ClockDate, {0x1D, 0x02, 0x01, 0x1C});
    EXPECT_EQ(rig.page.dates, (std::vector<TDate>{{2028, 2, 29}}));
}

TEST(BoardClock, SetThenReadOnTheSimulatedBoard) {
    ClockRig rig;
    ASSERT_TRUE(rig.board.Set(TDate{2031, 3, 1}, TTimeOfDay{23, 59, 58}));
    rig.Run();
    ASSERT_TRUE(rig.board.Read());
    rig.Run();
    ASSERT_TRUE(rig.board.BoardDate() && rig.board.BoardTime());
    EXPECT_EQ(*rig.board.BoardDate(), (TDate{2031, 3, 1}));
    const TTimeOfDay t = *rig.board.BoardTime();
    EXPECT_EQ(t.hours, 23);
    EXPECT_EQ(t.minutes, 59);
    EXPECT_GE(t.seconds, 58);
    EXPECT_EQ(rig.board.Running(), std::optional<bool>(true));
}

TEST(BoardClock, HaltedClockStandsStillAndRestarts) {
    ClockRig rig;
    ASSERT_TRUE(rig.board.Set(TDate{2026, 12, 7}, TTimeOfDay{8, 0, 0}));
    ASSERT_TRUE(rig.board.SetRunning(false));
    rig.Run();
    EXPECT_EQ(rig.port.bodies.back(), (Bytes{0x0A, 0x02, 0x03, 0x00}));
    rig.clock.Advance(5000);
    ASSERT_TRUE(rig.board.Read());
    rig.Run();
    EXPECT_EQ(rig.board.Running(), std::optional<bool>(false));
    const TTimeOfDay halted = *rig.board.BoardTime();
    rig.clock.Advance(10000);
    ASSERT_TRUE(rig.board.Read());
    rig.Run();
    EXPECT_EQ(*rig.board.BoardTime(), halted);

    ASSERT_TRUE(rig.board.SetRunning(true));
    rig.Run();
    EXPECT_EQ(rig.port.bodies.back(), (Bytes{0x0A, 0x02, 0x03, 0x01}));
    rig.clock.Advance(3000);
    ASSERT_TRUE(rig.board.Read());
    rig.Run();
    EXPECT_GT(rig.board.BoardTime()->seconds, halted.seconds);
}

TEST(BoardClock, PcTimeComesFromTheInjectedClock) {
    ClockRig rig;
    rig.board.pcNow = [] { return TLocalNow{{2026, 12, 7}, {8, 7, 9}}; };
    const TLocalNow now = rig.board.PcTime();
    EXPECT_EQ(now.time, (TTimeOfDay{8, 7, 9}));
    EXPECT_EQ(now.date, (TDate{2026, 12, 7}));
}

}  // namespace
