#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "link/Comprotocol.h"
#include "link/ExchangeCycle.h"
#include "support/ScriptedPort.h"

using namespace orvan::link;
using orvan::test::FrameAnswer;
using orvan::test::ScriptedPort;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int kTick = 30;

TCmd ReadVar(std::uint16_t code) {
    return TCmd(0x0B,
                {static_cast<std::uint8_t>(code & 0xFF), static_cast<std::uint8_t>(code >> 8)});
}

const Bytes kFirmwareAnswer = {0x06, 0x0B, 0x00, 0x00, 0x01, 0x02, 0x07};

class Engine : public ::testing::Test {
  protected:
    PollResult Tick() {
        clock.Advance(kTick);
        return protocol.Poll();
    }
    // Ticks until something other than Idle happens, at most `limit` ticks.
    // Returns the state and the number of ticks taken.
    std::pair<PollState, int> TickUntilEvent(int limit, PollResult* out = nullptr) {
        for (int i = 1; i <= limit; ++i) {
            PollResult r = Tick();
            if (r.State != PollState::Idle) {
                if (out) *out = r;
                return {r.State, i};
            }
        }
        return {PollState::Idle, limit};
    }
    void SendOne(std::uint16_t code = 0x0000) {
        ASSERT_TRUE(protocol.QueueCommand(ReadVar(code)));
        ASSERT_EQ(Tick().State, PollState::Sent);
        port.TakeWritten();
    }

    ScriptedPort port;
    ManualClock clock;
    TComProtocol protocol{port, clock};
};

TEST_F(Engine, IdleLeavesThePortAlone) {
    for (int i = 0; i < 100; ++i) ASSERT_EQ(Tick().State, PollState::Idle);
    EXPECT_EQ(port.writeCalls, 0);
    EXPECT_EQ(port.readCalls, 0);
}

TEST_F(Engine, SendWritesPrefixFrameAndDelimiterSeparately) {
    ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0000)));
    const PollResult r = Tick();
    ASSERT_EQ(r.State, PollState::Sent);
    EXPECT_EQ(r.Length, 5);
    EXPECT_EQ(Bytes(r.Data.begin(), r.Data.begin() + 5), (Bytes{0x0B, 0x00, 0x00, 0x0B, 0x00}));
    EXPECT_EQ(port.written, (Bytes{0x43, 0x4F, 0x42, 0x53, 0x02, 0x0B, 0x01, 0x02, 0x0B, 0x00}));
    EXPECT_EQ(port.writeCalls, 3);
    EXPECT_EQ(protocol.QueueCount(), 0u);
    EXPECT_TRUE(protocol.InFlight());
}

TEST_F(Engine, AnswerTakenOnceTheLineStaysQuietForThreeTicks) {
    SendOne();
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    PollResult r;
    const auto [state, ticks] = TickUntilEvent(10, &r);
    ASSERT_EQ(state, PollState::Answer);
    // The tick that sees the bytes, three quiet ticks, then the read on the next.
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(r.Length, kFirmwareAnswer.size() + 4);
    EXPECT_EQ(Bytes(r.Data.begin(), r.Data.begin() + 7), kFirmwareAnswer);
    EXPECT_FALSE(protocol.InFlight());
    EXPECT_EQ(port.Pending(), 0u);
}

TEST_F(Engine, AnswerInBurstsIsReadAsOneAfterTheLastBurst) {
    SendOne();
    const Bytes wire = FrameAnswer(kFirmwareAnswer);
    port.Arrive(Bytes(wire.begin(), wire.begin() + 5));
    ASSERT_EQ(Tick().State, PollState::Idle);
    ASSERT_EQ(Tick().State, PollState::Idle);
    port.Arrive(Bytes(wire.begin() + 5, wire.begin() + 9));
    ASSERT_EQ(Tick().State, PollState::Idle);
    ASSERT_EQ(Tick().State, PollState::Idle);
    port.Arrive(Bytes(wire.begin() + 9, wire.end()));
    PollResult r;
    const auto [state, ticks] = TickUntilEvent(10, &r);
    ASSERT_EQ(state, PollState::Answer);
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(Bytes(r.Data.begin(), r.Data.begin() + 7), kFirmwareAnswer);
}

TEST_F(Engine, SilenceEndsInTheTimeOutThreeSecondsAfterSending) {
    SendOne();
    const std::int64_t sentAt = clock.MonotonicMs();
    const auto [state, ticks] = TickUntilEvent(200);
    ASSERT_EQ(state, PollState::TimedOut);
    EXPECT_GE(clock.MonotonicMs() - sentAt, 3000);
    EXPECT_LT(clock.MonotonicMs() - sentAt, 3000 + kTick);
    (void)ticks;
}

TEST_F(Engine, ABabblingLineNeverFallsQuietAndTimesOutFromTheSend) {
    SendOne();
    const std::int64_t sentAt = clock.MonotonicMs();
    PollState state = PollState::Idle;
    for (int i = 0; i < 200 && state == PollState::Idle; ++i) {
        port.Arrive({0x43, 0x11});
        state = Tick().State;
    }
    EXPECT_EQ(state, PollState::TimedOut);
    EXPECT_LT(clock.MonotonicMs() - sentAt, 3000 + kTick);
}

TEST_F(Engine, NoiseIsNoAnswerAndTheRealAnswerStillCounts) {
    SendOne();
    port.Arrive({0x55, 0x00});
    for (int i = 0; i < 8; ++i) ASSERT_EQ(Tick().State, PollState::Idle);
    EXPECT_TRUE(protocol.InFlight());
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    PollResult r;
    ASSERT_EQ(TickUntilEvent(10, &r).first, PollState::Answer);
    EXPECT_EQ(r.Data[0], 0x06);
}

TEST_F(Engine, OverlongAnswerIsNoAnswer) {
    SendOne();
    Bytes junk = {'C', 'O', 'B', 'S'};
    junk.insert(junk.end(), 296, 0x41);
    junk.push_back(0);
    port.Arrive(junk);
    EXPECT_EQ(TickUntilEvent(200).first, PollState::TimedOut);
}

TEST_F(Engine, LateAnswerAfterTimeOutIsSwallowed) {
    SendOne();
    ASSERT_EQ(TickUntilEvent(200).first, PollState::TimedOut);
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    for (int i = 0; i < 10; ++i) ASSERT_EQ(Tick().State, PollState::Idle);
    EXPECT_EQ(port.Pending(), 0u);
}

TEST_F(Engine, StaleBytesAreNeverTakenForTheNextAnswer) {
    // The first command's answer starts arriving just before its time-out.
    SendOne(0x0000);
    while (clock.MonotonicMs() < 2950) ASSERT_EQ(Tick().State, PollState::Idle);
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    ASSERT_EQ(TickUntilEvent(10).first, PollState::TimedOut);
    // The next command is queued before the idle tick could drain the input.
    ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0001)));
    port.Arrive(FrameAnswer({0x06, 0x0B, 0x00, 0x00, 0x09, 0x09, 0x09}));  // even later
    ASSERT_EQ(Tick().State, PollState::Sent);
    // Without an answer of its own, the new command must time out, not end
    // on the stale one or on an empty read.
    EXPECT_EQ(TickUntilEvent(200).first, PollState::TimedOut);

    // With an answer of its own, that answer is the one taken.
    ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0001)));
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    ASSERT_EQ(Tick().State, PollState::Sent);
    const Bytes boardType = {0x06, 0x0B, 0x01, 0x00, 0x00, 0x01};
    port.Arrive(FrameAnswer(boardType));
    PollResult r;
    ASSERT_EQ(TickUntilEvent(10, &r).first, PollState::Answer);
    EXPECT_EQ(Bytes(r.Data.begin(), r.Data.begin() + 6), boardType);
}

TEST_F(Engine, CommandQueuedInFlightGoesOutOnTheFirstIdleTick) {
    SendOne(0x0000);
    ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0002)));
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    ASSERT_EQ(TickUntilEvent(10).first, PollState::Answer);
    const PollResult r = Tick();
    ASSERT_EQ(r.State, PollState::Sent);
    EXPECT_EQ(r.Data[1], 0x02);
}

TEST_F(Engine, BytesWhileIdleAreDiscarded) {
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    EXPECT_EQ(Tick().State, PollState::Idle);
    EXPECT_EQ(port.Pending(), 0u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Tick().State, PollState::Idle);
}

TEST_F(Engine, VanishedPortEndsInTheTimeOut) {
    port.Vanish();
    ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0000)));
    ASSERT_EQ(Tick().State, PollState::Sent);
    EXPECT_TRUE(port.written.empty());
    EXPECT_EQ(TickUntilEvent(200).first, PollState::TimedOut);
}

// A port that reports its device gone ends the exchange on the next tick,
// not three seconds later, and says why.
class LosingPort : public ScriptedPort {
  public:
    std::string LostReason() const override { return lost; }
    std::string lost;
};

TEST(EngineLostPort, EndsAtOnceAndSaysWhy) {
    LosingPort port;
    ManualClock clock;
    TComProtocol protocol(port, clock);
    ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0000)));
    ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0001)));
    ASSERT_EQ(protocol.Poll().State, PollState::Sent);
    clock.Advance(30);
    EXPECT_EQ(protocol.Poll().State, PollState::Idle) << "still waiting for the answer";
    port.lost = "the device /dev/ttyUSB0 is gone (read: Input/output error)";
    clock.Advance(30);
    EXPECT_EQ(protocol.Poll().State, PollState::PortLost);
    EXPECT_FALSE(protocol.InFlight());

    struct Listener : IExchangeListener {
        void OnLinkState(std::string_view t) override { state = std::string(t); }
        void OnTxLog(const std::string&) override {}
        void OnRxLog(const std::string&) override {}
        void OnAnswer(const std::uint8_t*, std::uint8_t) override {}
        void OnRxTimeout() override { ++timeouts; }
        void OnPortLost(const std::string& why) override { lostWhy = why; }
        std::string state, lostWhy;
        int timeouts = 0;
    } listener;
    TExchangeCycle cycle(protocol, clock, listener);
    ASSERT_EQ(cycle.Tick(), PollState::Sent);  // the second read goes out
    clock.Advance(30);
    EXPECT_EQ(cycle.Tick(), PollState::PortLost);
    EXPECT_EQ(listener.state, "Port lost");
    EXPECT_EQ(listener.lostWhy, port.lost);
    EXPECT_EQ(listener.timeouts, 0);
    EXPECT_EQ(protocol.QueueCount(), 0u);
}

TEST_F(Engine, QueueRefusesBodiesThatCannotBeSentWhole) {
    TCmd big;
    big.Type = 0x0B;
    big.Count = 251;
    EXPECT_TRUE(protocol.QueueCommand(big));
    big.Count = 252;
    const QueueResult r = protocol.QueueCommand(big);
    EXPECT_FALSE(r);
    EXPECT_NE(r.why.find("252"), std::string::npos);
    // WriteMemory may need the security code later, so its limit is 4 lower.
    big.Type = 0x01;
    big.Count = 248;
    EXPECT_FALSE(protocol.QueueCommand(big));
    big.Count = 247;
    EXPECT_TRUE(protocol.QueueCommand(big));
    big.Count = -1;
    EXPECT_FALSE(protocol.QueueCommand(big));
    big.Count = 258;
    EXPECT_FALSE(protocol.QueueCommand(big));
    EXPECT_EQ(protocol.QueueCount(), 2u);
}

TEST_F(Engine, SecurityCodeFollowsTheVersionAtSendTime) {
    protocol.BoardProtocolVersion = 0x020100;
    ASSERT_TRUE(protocol.QueueCommand(TCmd(0x01, {0x00, 0x10, 0xAA})));
    const PollResult r = Tick();
    ASSERT_EQ(r.State, PollState::Sent);
    EXPECT_EQ(r.Length, 10);
    EXPECT_EQ(Bytes(r.Data.begin(), r.Data.begin() + 5), (Bytes{0x01, 0x19, 0x2D, 0x7E, 0x4B}));
}

TEST(EngineLifetime, DestroyingWithQueuedCommandsSendsNothing) {
    ScriptedPort port;
    ManualClock clock;
    {
        TComProtocol protocol(port, clock);
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(protocol.QueueCommand(ReadVar(0)));
    }
    EXPECT_EQ(port.writeCalls, 0);
}

// Records what the exchange cycle reports.
class Recorder : public IExchangeListener {
  public:
    void OnLinkState(std::string_view t) override { states.emplace_back(t); }
    void OnTxLog(const std::string& l) override { tx.push_back(l); }
    void OnRxLog(const std::string& l) override { rx.push_back(l); }
    void OnAnswer(const std::uint8_t* d, std::uint8_t len) override {
        answers.emplace_back(d, d + (len >= 4 ? len - 4 : 0));
    }
    void OnRxTimeout() override { ++timeouts; }
    std::vector<std::string> states, tx, rx;
    std::vector<Bytes> answers;
    int timeouts = 0;
};

class Cycle : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    PollState Tick() {
        clock.Advance(kTick);
        return cycle.Tick();
    }
    ScriptedPort port;
    ManualClock clock;
    TComProtocol protocol{port, clock};
    Recorder rec;
    TExchangeCycle cycle{protocol, clock, rec};
};

TEST_F(Cycle, LogsBothDirectionsInTheLogLineFormat) {
    clock.Advance(-kTick);  // the first tick lands on 06:47:30
    ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0000)));
    ASSERT_EQ(Tick(), PollState::Sent);
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    while (Tick() != PollState::Answer) {
    }
    ASSERT_EQ(rec.tx.size(), 1u);
    EXPECT_EQ(rec.tx[0], "[ 1 07/12/2026 06:47:30 ] 0B 00 00 0B 00 ");
    ASSERT_EQ(rec.rx.size(), 1u);
    EXPECT_EQ(rec.rx[0], "[ 1 07/12/2026 06:47:30 ] 06 0B 00 00 01 02 07 ");
    EXPECT_EQ(rec.states, (std::vector<std::string>{"Waiting for answer...", "ACK"}));
    ASSERT_EQ(rec.answers.size(), 1u);
    EXPECT_EQ(rec.answers[0], kFirmwareAnswer);
}

TEST_F(Cycle, CountersAdvanceWithLogsOff) {
    cycle.SetTxLogEnabled(false);
    cycle.SetRxLogEnabled(false);
    for (int n = 0; n < 3; ++n) {
        ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0000)));
        ASSERT_EQ(Tick(), PollState::Sent);
        port.Arrive(FrameAnswer(kFirmwareAnswer));
        while (Tick() != PollState::Answer) {
        }
    }
    EXPECT_TRUE(rec.tx.empty());
    EXPECT_TRUE(rec.rx.empty());
    EXPECT_EQ(rec.answers.size(), 3u);
    EXPECT_EQ(cycle.TxCounter(), 3u);
    EXPECT_EQ(cycle.RxCounter(), 3u);
    cycle.SetTxLogEnabled(true);
    ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0000)));
    ASSERT_EQ(Tick(), PollState::Sent);
    ASSERT_EQ(rec.tx.size(), 1u);
    EXPECT_EQ(rec.tx[0].rfind("[ 4 ", 0), 0u);
}

TEST_F(Cycle, TimeOutEmptiesTheQueueAndSaysSo) {
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(protocol.QueueCommand(ReadVar(0x0000)));
    ASSERT_EQ(Tick(), PollState::Sent);
    PollState s = PollState::Idle;
    for (int i = 0; i < 200 && s != PollState::TimedOut; ++i) s = Tick();
    ASSERT_EQ(s, PollState::TimedOut);
    EXPECT_EQ(rec.timeouts, 1);
    EXPECT_EQ(rec.states.back(), "RX TimeOut");
    EXPECT_EQ(protocol.QueueCount(), 0u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Tick(), PollState::Idle);
}

TEST(LogLine, HexBytesWithTrailingSpace) {
    const std::uint8_t b[] = {0x00, 0x0A, 0xFF, 0x5C};
    EXPECT_EQ(FormatHexBytes(b, 4), "00 0A FF 5C ");
    EXPECT_EQ(FormatHexBytes(b, 0), "");
}

}  // namespace

namespace {

// The C locale in any character set gets the fixed day/month/year form; a
// user locale gets its own.
TEST(LogLine, DateFormUnderTheCLocales) {
    setenv("TZ", "UTC", 1);
    tzset();
    ManualClock clock;
    const std::uint8_t b[] = {0x06};
    const char* saved = std::setlocale(LC_TIME, nullptr);
    const std::string restore = saved ? saved : "C";
    for (const char* name : {"C", "POSIX", "C.UTF-8"}) {
        if (std::setlocale(LC_TIME, name) == nullptr) continue;
        EXPECT_EQ(FormatLogLine(7, clock.WallNow(), b, 1), "[ 7 07/12/2026 06:47:30 ] 06 ") << name;
    }
    std::setlocale(LC_TIME, restore.c_str());
}

}  // namespace
