// The fast exchange against the scripted port: an answer is taken as soon as
// its delimiter arrives, however the bytes are cut; everything else holds as
// in the default engine (time-out from the send, discard of late bytes).

#include <gtest/gtest.h>

#include <vector>

#include "link/Comprotocol.h"
#include "support/ScriptedPort.h"

using namespace orvan::link;
using orvan::test::FrameAnswer;
using orvan::test::ScriptedPort;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kFirmwareAnswer = {0x06, 0x0B, 0x00, 0x00, 0x01, 0x02, 0x07};
const Bytes kTypeAnswer = {0x06, 0x0B, 0x02, 0x00, 0x00, 0x01};

class Fast : public ::testing::Test {
  protected:
    Fast() { protocol.SetFastMode(true); }
    // A poll a moment later: the port became readable.
    PollResult Readable(std::int64_t ms = 1) {
        clock.Advance(ms);
        return protocol.Poll();
    }
    void SendOne() {
        ASSERT_TRUE(protocol.QueueCommand(TCmd(0x0B, {0x00, 0x00})));
        ASSERT_EQ(Readable().State, PollState::Sent);
        port.TakeWritten();
    }
    static Bytes Decoded(const PollResult& r) {
        return Bytes(r.Data.begin(), r.Data.begin() + (r.Length - 4));
    }

    ScriptedPort port;
    ManualClock clock;
    TComProtocol protocol{port, clock};
};

TEST_F(Fast, FrameSplitAtEveryByteIsTakenOnTheDelimiterAndNotBefore) {
    const Bytes wire = FrameAnswer(kFirmwareAnswer);
    for (std::size_t cut = 1; cut < wire.size(); ++cut) {
        SCOPED_TRACE(cut);
        SendOne();
        for (std::size_t i = 0; i + 1 < wire.size(); ++i) {
            port.Arrive({wire[i]});
            ASSERT_EQ(Readable().State, PollState::Idle) << "byte " << i;
        }
        port.Arrive({wire.back()});
        const PollResult r = Readable();
        ASSERT_EQ(r.State, PollState::Answer);
        EXPECT_EQ(Decoded(r), kFirmwareAnswer);
        EXPECT_FALSE(protocol.InFlight());
    }
}

TEST_F(Fast, TwoPiecesAtEachCutGiveTheSameAnswer) {
    const Bytes wire = FrameAnswer(kFirmwareAnswer);
    for (std::size_t cut = 1; cut < wire.size(); ++cut) {
        SCOPED_TRACE(cut);
        SendOne();
        port.Arrive(Bytes(wire.begin(), wire.begin() + static_cast<std::ptrdiff_t>(cut)));
        ASSERT_EQ(Readable().State, PollState::Idle);
        port.Arrive(Bytes(wire.begin() + static_cast<std::ptrdiff_t>(cut), wire.end()));
        const PollResult r = Readable();
        ASSERT_EQ(r.State, PollState::Answer);
        EXPECT_EQ(Decoded(r), kFirmwareAnswer);
    }
}

TEST_F(Fast, TwoAnswersInOneReadGiveTheFirstAndDropTheSecond) {
    SendOne();
    Bytes both = FrameAnswer(kFirmwareAnswer);
    const Bytes second = FrameAnswer(kTypeAnswer);
    both.insert(both.end(), second.begin(), second.end());
    port.Arrive(both);
    const PollResult r = Readable();
    ASSERT_EQ(r.State, PollState::Answer);
    EXPECT_EQ(Decoded(r), kFirmwareAnswer);
    // The second was not asked for: it never becomes an answer, and the next
    // command's exchange starts clean.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Readable(30).State, PollState::Idle);
    EXPECT_EQ(port.Pending(), 0u);
    SendOne();
    port.Arrive(FrameAnswer(kTypeAnswer));
    const PollResult next = Readable();
    ASSERT_EQ(next.State, PollState::Answer);
    EXPECT_EQ(Decoded(next), kTypeAnswer);
}

TEST_F(Fast, ZeroInsideThePrefixEndsNoAnswer) {
    // What arrives before the answer; in each case the command stays in
    // flight and the real answer that follows is taken.
    const std::vector<Bytes> junk = {
        {0x00},                      // a lone zero
        {'C', 0x00},                 // a prefix cut by a zero
        {'C', 'O', 'B', 0x00},       // three prefix bytes, then zero
        {'C', 'O', 'B', 'S', 0x00},  // a whole prefix with an empty frame
    };
    for (const Bytes& j : junk) {
        SCOPED_TRACE(j.size());
        SendOne();
        port.Arrive(j);
        ASSERT_EQ(Readable().State, PollState::Idle);
        ASSERT_TRUE(protocol.InFlight());
        port.Arrive(FrameAnswer(kFirmwareAnswer));
        const PollResult r = Readable();
        ASSERT_EQ(r.State, PollState::Answer);
        EXPECT_EQ(Decoded(r), kFirmwareAnswer);
    }
}

TEST_F(Fast, NoiseBeforeThePrefixIsSkipped) {
    const std::vector<Bytes> noise = {{0xFF}, {0x13, 0x11, 0x7E}, {0x43, 0x4F}, {0x55, 0x00, 0x42}};
    for (const Bytes& n : noise) {
        SCOPED_TRACE(n.size());
        SendOne();
        Bytes wire = n;
        const Bytes a = FrameAnswer(kFirmwareAnswer);
        wire.insert(wire.end(), a.begin(), a.end());
        port.Arrive(wire);
        const PollResult r = Readable();
        ASSERT_EQ(r.State, PollState::Answer);
        EXPECT_EQ(Decoded(r), kFirmwareAnswer);
    }
}

TEST_F(Fast, FrameThatNeverCompletesFallsBackToTheQuietRuleThenTimesOut) {
    SendOne();
    Bytes wire = FrameAnswer(kFirmwareAnswer);
    wire.pop_back();  // the delimiter never comes
    port.Arrive(wire);
    EXPECT_EQ(Readable().State, PollState::Idle);
    // Still within the quiet time: the fragment is kept.
    EXPECT_EQ(Readable(TComProtocol::kFastQuietMs - 2).State, PollState::Idle);
    // Quiet long enough: the fragment is judged, found wanting and dropped,
    // and the command stays in flight.
    EXPECT_EQ(Readable(5).State, PollState::Idle);
    EXPECT_TRUE(protocol.InFlight());
    // A real answer after the dropped fragment still counts.
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    const PollResult r = Readable();
    ASSERT_EQ(r.State, PollState::Answer);
    EXPECT_EQ(Decoded(r), kFirmwareAnswer);

    // And without one the time-out from the send ends the exchange.
    SendOne();
    port.Arrive(wire);
    int polls = 0;
    PollState s = PollState::Idle;
    while (s == PollState::Idle && polls < 200) {
        s = Readable(30).State;
        ++polls;
    }
    EXPECT_EQ(s, PollState::TimedOut);
    EXPECT_GE(polls * 30, TComProtocol::kRxTimeoutMs);
    EXPECT_LE(polls * 30, TComProtocol::kRxTimeoutMs + 60);
}

TEST_F(Fast, AnswerAfterTheTimeOutIsDiscarded) {
    SendOne();
    clock.Advance(TComProtocol::kRxTimeoutMs);
    EXPECT_EQ(protocol.Poll().State, PollState::TimedOut);
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Readable(30).State, PollState::Idle);
    EXPECT_EQ(port.Pending(), 0u);
}

TEST_F(Fast, MoreThan256BytesWithoutDelimiterIsNoAnswer) {
    SendOne();
    port.Arrive(Bytes(300, 0x55));
    EXPECT_EQ(Readable().State, PollState::Idle);
    EXPECT_EQ(Readable().State, PollState::Idle);
    EXPECT_TRUE(protocol.InFlight());
    EXPECT_EQ(port.Pending(), 0u);
}

TEST_F(Fast, NextRequestGoesOutOnThePollAfterTheAnswer) {
    ASSERT_TRUE(protocol.QueueCommand(TCmd(0x0B, {0x00, 0x00})));
    ASSERT_TRUE(protocol.QueueCommand(TCmd(0x0B, {0x02, 0x00})));
    ASSERT_EQ(Readable().State, PollState::Sent);
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    ASSERT_EQ(Readable().State, PollState::Answer);
    // No tick in between: no clock advance needed.
    EXPECT_EQ(protocol.Poll().State, PollState::Sent);
}

TEST_F(Fast, DefaultEngineIgnoresTheDelimiterAndWaitsForQuiet) {
    protocol.SetFastMode(false);
    SendOne();
    port.Arrive(FrameAnswer(kFirmwareAnswer));
    EXPECT_EQ(Readable(30).State, PollState::Idle);
    EXPECT_EQ(Readable(30).State, PollState::Idle);
    EXPECT_EQ(Readable(30).State, PollState::Idle);
    EXPECT_EQ(Readable(30).State, PollState::Answer);
}

class Tap : public ILineTap {
  public:
    void OnLineBytes(bool tx, const std::uint8_t* d, std::size_t n) override {
        (tx ? sent : received).insert((tx ? sent : received).end(), d, d + n);
    }
    Bytes sent, received;
};

TEST_F(Fast, TapSeesEveryByteBothWays) {
    Tap tap;
    protocol.SetTap(&tap);
    port.Arrive({0x99, 0x98});  // stale bytes, thrown away before the send
    SendOne();
    const Bytes a = FrameAnswer(kFirmwareAnswer);
    port.Arrive(a);
    ASSERT_EQ(Readable().State, PollState::Answer);
    EXPECT_EQ(tap.sent, (Bytes{'C', 'O', 'B', 'S', 0x02, 0x0B, 0x01, 0x02, 0x0B, 0x00}));
    Bytes expected = {0x99, 0x98};
    expected.insert(expected.end(), a.begin(), a.end());
    EXPECT_EQ(tap.received, expected);
}

TEST(FindFastFrame, Table) {
    struct Row {
        Bytes rx;
        FastFrame::Kind kind;
        std::size_t start, delimiter, drop;
    };
    const std::vector<Row> rows = {
        {{}, FastFrame::Kind::Incomplete, 0, 0, 0},
        {{'C', 'O', 'B', 'S', 2, 6}, FastFrame::Kind::Incomplete, 0, 0, 0},
        {{'C', 'O', 'B', 'S', 2, 6, 0}, FastFrame::Kind::Complete, 0, 6, 0},
        {{9, 'C', 'O', 'B', 'S', 2, 6, 0}, FastFrame::Kind::Complete, 1, 7, 0},
        {{'C', 'O', 0}, FastFrame::Kind::Resync, 0, 0, 3},
        {{1, 2, 3, 4, 2, 6, 0}, FastFrame::Kind::Complete, 0, 6, 0},
        {{1, 2, 3, 4, 0, 'C', 'O', 'B', 'S', 2, 6, 0}, FastFrame::Kind::Complete, 5, 11, 0},
    };
    for (const Row& r : rows) {
        const FastFrame f = FindFastFrame(r.rx.data(), r.rx.size());
        EXPECT_EQ(f.kind, r.kind);
        if (f.kind == FastFrame::Kind::Complete) {
            EXPECT_EQ(f.start, r.start);
            EXPECT_EQ(f.delimiter, r.delimiter);
        }
        if (f.kind == FastFrame::Kind::Resync) {
            EXPECT_EQ(f.drop, r.drop);
        }
    }
}

}  // namespace
