// Reconnection on the in-memory board: the port's device goes, the port is
// reopened on the program's clock, and the board that answers decides what
// goes on: the same board gets its polling back, another board gets nothing
// that writes; a sequence the loss interrupted stays stopped.

#include <gtest/gtest.h>

#include "TransferRig.h"
#include "features/Reconnection.h"

using namespace orvan;
using namespace orvan::features;

namespace {

struct EventRecorder : IReconnectView {
    void OnReconnectEvent(const TReconnectEvent& e) override { events.push_back(e); }
    std::vector<TReconnectEvent> events;
};

struct ReconnectRig : test::TransferRig {
    EventRecorder recorder;
    TReconnection& watch = core.Reconnection();
    bool deviceBack = false;
    int reopens = 0;
    std::vector<std::int64_t> reopenTimes;
    ReconnectRig() {
        watch.Views().Add(recorder);
        watch.reopen = [this] {
            ++reopens;
            reopenTimes.push_back(clock.MonotonicMs());
            if (!deviceBack) return TResult::Fail("absent: /dev/orvan-link does not exist");
            port.lost.clear();
            return TResult::Ok();
        };
    }
    // Ticks the exchange (and the 150 ms status timer) for `ms`.
    void For(std::int64_t ms) {
        for (std::int64_t t = 0; t < ms; t += 30) {
            if ((clock.MonotonicMs() / 30) % 5 == 0) core.Polling().RefreshTick();
            core.Tick();
            clock.Advance(30);
        }
    }
    void Unplug() { port.lost = "the device /dev/orvan-link is gone (the line hung up)"; }
    void SetBoardSerial(const std::string& s) {
        std::fill_n(model.Eeprom().begin(), 16, std::uint8_t{0});
        std::copy(s.begin(), s.end(), model.Eeprom().begin());
    }
    std::string LastText() const {
        return recorder.events.empty() ? std::string() : recorder.events.back().text;
    }
};

bool Has(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

TEST(Reconnection, OffUntilTheFrontEndSaysHowToReopen) {
    test::SimRig rig;
    rig.port.lost = "gone";
    for (int i = 0; i < 100; ++i) {
        rig.core.Tick();
        rig.clock.Advance(30);
    }
    EXPECT_EQ(rig.core.Reconnection().State(), TLinkWatch::Connected);
}

TEST(Reconnection, RetriesOnTheClockAndTheSameBoardGetsItsPollingBack) {
    ReconnectRig rig;
    rig.session.RequestHardwareInfo();
    rig.Drain();
    ASSERT_EQ(rig.session.serialNumber, "SIM-000001");
    rig.core.Polling().Start();
    rig.For(600);
    ASSERT_TRUE(rig.core.Polling().Running());

    rig.Unplug();
    rig.For(90);
    EXPECT_EQ(rig.watch.State(), TLinkWatch::Lost);
    EXPECT_FALSE(rig.core.Polling().Running());
    ASSERT_FALSE(rig.recorder.events.empty());
    EXPECT_TRUE(
        Has(rig.recorder.events.front().text, "Port lost: the device /dev/orvan-link is gone"))
        << rig.recorder.events.front().text;

    // Not back yet: one attempt a second, said once.
    rig.For(3000);
    ASSERT_GE(rig.reopenTimes.size(), 2u);
    ASSERT_LE(rig.reopenTimes.size(), 3u);
    EXPECT_GE(rig.reopenTimes[1] - rig.reopenTimes[0], TReconnection::kRetryMs);
    EXPECT_TRUE(Has(rig.LastText(), "waiting for the device")) << rig.LastText();
    const std::size_t waitingTold = rig.recorder.events.size();

    rig.deviceBack = true;
    rig.For(1500);
    EXPECT_EQ(rig.watch.State(), TLinkWatch::Connected);
    ASSERT_GT(rig.recorder.events.size(), waitingTold);
    const TReconnectEvent& last = rig.recorder.events.back();
    EXPECT_TRUE(last.sameBoard);
    EXPECT_FALSE(last.otherBoard);
    EXPECT_TRUE(last.pollingResumed);
    EXPECT_EQ(last.text, "Reconnected to the same board (SN SIM-000001); polling resumed.");
    EXPECT_TRUE(rig.core.Polling().Running());
}

TEST(Reconnection, AnotherBoardGetsNothingThatWrites) {
    struct Case {
        const char* before;  // serial known before the loss ("" : never read)
        const char* after;
        bool same;
    };
    const Case cases[] = {
        {"SIM-000001", "SIM-000001", true},
        {"SIM-000001", "SIM-000002", false},
        {"SIM-000001", "", false},  // a board with no serial number: not the same
        {"", "SIM-000001", false},  // nothing known: not taken for the same
    };
    for (const Case& c : cases) {
        ReconnectRig rig;
        if (*c.before != '\0') {
            rig.session.RequestHardwareInfo();
            rig.Drain();
        }
        rig.session.configLoaded = true;
        rig.Unplug();
        rig.For(60);
        rig.SetBoardSerial(c.after);
        rig.deviceBack = true;
        rig.For(1500);
        ASSERT_EQ(rig.watch.State(), TLinkWatch::Connected) << c.after;
        const TReconnectEvent& e = rig.recorder.events.back();
        EXPECT_EQ(e.sameBoard, c.same) << c.before << " -> " << c.after;
        EXPECT_EQ(e.otherBoard, !c.same);
        EXPECT_EQ(rig.session.configLoaded, c.same) << c.before << " -> " << c.after;
        EXPECT_EQ(Has(e.text, "read its configuration before writing"), !c.same) << e.text;
        EXPECT_FALSE(e.pollingResumed) << "polling was not running";
        EXPECT_EQ(rig.session.serialNumber, c.after);
    }
}

TEST(Reconnection, AnInterruptedWriteIsReportedStoppedAndNeverResumed) {
    ReconnectRig rig;
    rig.rec.onProgress = [&](const features::TProgress& p) {
        if (p.phase == "writing" && p.done == 5) rig.Unplug();
    };
    const auto o = rig.Write();
    EXPECT_EQ(o.kind, features::TOutcomeKind::Failed);
    EXPECT_NE(o.boardHolds.find("holds blocks 1 to 5"), std::string::npos) << o.boardHolds;
    const std::size_t writesAtLoss = rig.Bodies(0x01).size();

    rig.deviceBack = true;
    rig.For(3000);
    EXPECT_EQ(rig.watch.State(), TLinkWatch::Connected);
    EXPECT_TRUE(rig.recorder.events.back().sameBoard);
    EXPECT_TRUE(Has(rig.LastText(), "not resumed: the configuration write")) << rig.LastText();
    EXPECT_EQ(rig.Bodies(0x01).size(), writesAtLoss) << "nothing written after the loss";
    EXPECT_FALSE(rig.transfer.Busy());
    EXPECT_EQ(rig.rec.outcomes.size(), 1u);
}

TEST(Reconnection, ABoardThatDoesNotAnswerAfterTheReopenIsTriedAgain) {
    ReconnectRig rig;
    rig.session.RequestHardwareInfo();
    rig.Drain();
    rig.Unplug();
    rig.For(60);
    rig.port.silent = true;
    rig.deviceBack = true;
    rig.For(1200);
    EXPECT_EQ(rig.watch.State(), TLinkWatch::Checking);
    rig.For(3500);  // the receive time-out
    EXPECT_NE(rig.watch.State(), TLinkWatch::Connected);
    EXPECT_TRUE(Has(rig.LastText(), "does not answer") || Has(rig.LastText(), "reading"))
        << rig.LastText();
    const int reopensBefore = rig.reopens;
    rig.port.silent = false;
    rig.For(3000);
    EXPECT_GT(rig.reopens, reopensBefore);
    EXPECT_EQ(rig.watch.State(), TLinkWatch::Connected);
    EXPECT_TRUE(rig.recorder.events.back().sameBoard);
}

}  // namespace
