// Fast exchange and line capture on the whole core, with the simulated board
// behind the in-memory port paced at the line speed on the manual clock: a
// configuration read gives the same record as with the default engine in a
// fraction of the time, and a captured read replayed gives the same ".wcf".

#include <gtest/gtest.h>

#include <string>

#include "TransferRig.h"
#include "boardsim/BoardReplay.h"
#include "config/AtomicFile.h"
#include "link/LineCapture.h"

using namespace orvan;
using orvan::test::TransferRig;

namespace {

// Ticks every 30 ms; in between, the port is looked at each millisecond as a
// notifier would (fast exchange only). Returns the milliseconds taken.
std::int64_t ReadConfig(TransferRig& rig, std::string& wcf) {
    const std::int64_t start = rig.clock.MonotonicMs();
    EXPECT_TRUE(rig.transfer.Read(false).ok);
    const std::size_t before = rig.listener.outcomes.size();
    for (int ms = 0; ms < 60000 && rig.listener.outcomes.size() == before; ++ms) {
        if (ms % 30 == 0)
            rig.core.Tick();
        else if (rig.port.BytesWaiting() > 0)
            rig.core.OnLineReadable();
        rig.clock.Advance(1);
    }
    EXPECT_GT(rig.listener.outcomes.size(), before);
    if (rig.listener.outcomes.size() > before) {
        EXPECT_TRUE(rig.listener.outcomes.back().completed);
    }
    const std::string path = rig.dir.File("read.wcf");
    EXPECT_TRUE(rig.record.SaveToFile(path));
    EXPECT_TRUE(config::ReadWholeFile(path, wcf));
    return rig.clock.MonotonicMs() - start;
}

TEST(FastExchangeCore, ReadGivesTheSameRecordMuchSoonerAtEverySpeed) {
    for (unsigned speed : {9600u, 19200u, 38400u, 56700u}) {
        SCOPED_TRACE(speed);
        TransferRig slow, fast;
        slow.port.Pace(&slow.clock, speed);
        fast.port.Pace(&fast.clock, speed);
        fast.core.SetFastMode(true);
        std::string a, b;
        const std::int64_t slowMs = ReadConfig(slow, a);
        const std::int64_t fastMs = ReadConfig(fast, b);
        EXPECT_EQ(a, b);
        EXPECT_FALSE(a.empty());
        // The default engine spends at least 150 ms an exchange; fast exchange
        // little more than the line time (at 9600 bit/s a 32-byte read is
        // about 45 ms both ways).
        EXPECT_LT(fastMs * 2, slowMs) << fastMs << " ms against " << slowMs << " ms";
    }
}

TEST(FastExchangeCore, CapturedReadReplayedGivesTheSameWcf) {
    std::string original, captureText;
    {
        TransferRig rig;
        rig.core.SetFastMode(true);
        link::TLineCapture capture(rig.clock);
        rig.protocol.SetTap(&capture);
        ReadConfig(rig, original);
        rig.protocol.SetTap(nullptr);
        capture.Flush();
        captureText = capture.Text();
    }
    std::vector<link::TCaptureFrame> frames;
    ASSERT_TRUE(link::ParseCapture(captureText, frames));
    sim::TBoardReplay replay;
    ASSERT_TRUE(replay.Load(frames));
    EXPECT_EQ(replay.Exchanges().size(), 12u);

    TransferRig again;
    // Nothing of the model answers: a different EEPROM proves the replay did.
    again.model.Eeprom().fill(0xFF);
    again.port.responder = [&](const std::vector<std::uint8_t>& body) {
        return replay.Answer(body);
    };
    std::string replayed;
    ReadConfig(again, replayed);
    EXPECT_EQ(replayed, original);
    EXPECT_EQ(replay.Matched(), 12u);
    EXPECT_TRUE(replay.Unmatched().empty());
}

TEST(BoardReplay, MatchesInOrderAndReportsWhatTheCaptureLacks) {
    // Two reads of the same variable with different answers, then another.
    auto tx = [](std::vector<std::uint8_t> body) {
        std::uint8_t x = 0;
        for (auto b : body) x ^= b;
        body.push_back(x);
        std::vector<std::uint8_t> enc(body.size() + 2);
        const std::size_t n = link::CobsEncode(body.data(), body.size(), enc.data(), enc.size());
        std::vector<std::uint8_t> wire = {'C', 'O', 'B', 'S'};
        wire.insert(wire.end(), enc.begin(), enc.begin() + static_cast<std::ptrdiff_t>(n));
        wire.push_back(0);
        return link::TCaptureFrame{0, true, wire};
    };
    const std::vector<std::uint8_t> a1 = {'C', 'O', 'B', 'S', 2, 6, 0};
    const std::vector<std::uint8_t> a2 = {'C', 'O', 'B', 'S', 2, 7, 0};
    const std::vector<link::TCaptureFrame> frames = {
        {0, false, {0x55}},  // before any request: nothing to replay
        tx({0x0B, 0x00, 0x00}),
        {1, false, a1},
        tx({0x0B, 0x00, 0x00}),
        {2, false, {'C', 'O'}},
        {2, false, {'B', 'S', 2, 7, 0}},
        tx({0x0B, 0x02, 0x00}),  // never answered: replayed as silence
    };
    sim::TBoardReplay replay;
    ASSERT_TRUE(replay.Load(frames));
    ASSERT_EQ(replay.Exchanges().size(), 3u);
    EXPECT_EQ(replay.Answer({0x0B, 0x00, 0x00}), a1);
    EXPECT_EQ(replay.Answer({0x0B, 0x00, 0x00}), a2);
    EXPECT_FALSE(replay.Answer({0x0B, 0x01, 0x00}).has_value());
    ASSERT_EQ(replay.Unmatched().size(), 1u);
    EXPECT_NE(replay.Unmatched()[0].find("0B 01 00"), std::string::npos);
    // Skipping is allowed, going back is not.
    EXPECT_EQ(replay.Answer({0x0B, 0x02, 0x00}), std::vector<std::uint8_t>{});
    EXPECT_FALSE(replay.Answer({0x0B, 0x00, 0x00}).has_value());

    sim::TBoardReplay empty;
    EXPECT_FALSE(empty.Load({{0, false, a1}}).ok);
}

}  // namespace
