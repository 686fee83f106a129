// Reconnection over a real line: the simulated board on a pseudo-terminal,
// reached through a link name as a udev rule gives a USB adapter. The board
// is "unplugged" (its pseudo-terminal closed) and "plugged in again" (a new
// pseudo-terminal under the same link name); the core reopens the link by
// itself and tells the same board from another one.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "boardsim/PtyBoard.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"
#include "link/Tserial.h"
#include "support/TempDir.h"

using namespace orvan;
using namespace orvan::features;

namespace {

struct QuietNotifier : commands::INotifier {
    void ShowRefusal(std::string_view, std::string_view) override {}
    void ShowMissingAck(std::string_view, std::string_view) override {}
};

struct Events : IReconnectView {
    void OnReconnectEvent(const TReconnectEvent& e) override { events.push_back(e); }
    std::vector<TReconnectEvent> events;
};

std::unique_ptr<sim::TPtyBoard> Plug(const std::string& link, const std::string& serial) {
    auto board = std::make_unique<sim::TPtyBoard>();
    std::string error;
    if (!board->Open(&error) || !board->LoadOrCreateEeprom(&error)) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    board->WithModel([&](sim::TBoardModel& m, sim::BoardFaults&) {
        std::fill_n(m.Eeprom().begin(), 16, std::uint8_t{0});
        std::copy(serial.begin(), serial.end(), m.Eeprom().begin());
    });
    board->Start();
    // Re-pointed in one step, as udev replaces its link.
    const std::string tmp = link + ".new";
    std::filesystem::remove(tmp);
    std::filesystem::create_symlink(board->DevicePath(), tmp);
    std::filesystem::rename(tmp, link);
    return board;
}

struct PtyRig {
    test::TempDir dir;
    std::string link = dir.File("orvan-link");
    link::Tserial port;
    link::SystemClock clock;
    QuietNotifier notifier;
    std::unique_ptr<TSupervisorCore> core;
    Events events;
    std::unique_ptr<sim::TPtyBoard> board;

    PtyRig() {
        board = Plug(link, "SIM-000001");
        EXPECT_EQ(port.OpenPort(link.c_str(), 56700, 0), link::kOpenOk);
        core = std::make_unique<TSupervisorCore>(port, clock, notifier);
        core->Reconnection().Views().Add(events);
        core->Reconnection().reopen = [this]() -> TResult {
            port.ClosePort();
            const std::int32_t rc = port.OpenPort(link.c_str(), 56700, 0);
            return rc == link::kOpenOk ? TResult::Ok() : TResult::Fail(port.OpenErrorText(rc));
        };
    }
    ~PtyRig() {
        core.reset();
        port.ClosePort();
    }
    // Real ticks of 30 ms (the status timer every fifth) until `done` or `ms`.
    bool RunUntil(const std::function<bool()>& done, int ms) {
        for (int t = 0; t < ms; t += 30) {
            if ((t / 30) % 5 == 0) core->Polling().RefreshTick();
            core->Tick();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        return done();
    }
};

TEST(ReconnectionOverAPseudoTerminal, TheSameBoardComesBackAndPollingGoesOn) {
    PtyRig rig;
    rig.core->Engine().session.RequestHardwareInfo();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.core->Idle(); }, 5000));
    ASSERT_EQ(rig.core->Session().serialNumber, "SIM-000001");
    rig.core->Polling().Start();
    const auto cycles = rig.core->Polling().CyclesCompleted();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.core->Polling().CyclesCompleted() > cycles; }, 5000));

    rig.board.reset();  // pulled out
    ASSERT_TRUE(
        rig.RunUntil([&] { return rig.core->Reconnection().State() == TLinkWatch::Lost; }, 5000));
    EXPECT_FALSE(rig.core->Polling().Running());
    rig.RunUntil([] { return false; }, 1500);  // a reopen or two fails meanwhile
    EXPECT_EQ(rig.core->Reconnection().State(), TLinkWatch::Lost);

    rig.board = Plug(rig.link, "SIM-000001");  // plugged in again
    ASSERT_TRUE(rig.RunUntil(
        [&] {
            return rig.core->Reconnection().State() == TLinkWatch::Connected &&
                   !rig.events.events.empty() && rig.events.events.back().sameBoard;
        },
        10000));
    EXPECT_TRUE(rig.events.events.back().pollingResumed) << rig.events.events.back().text;
    EXPECT_TRUE(rig.core->Polling().Running());
    const auto after = rig.core->Polling().CyclesCompleted();
    EXPECT_TRUE(rig.RunUntil([&] { return rig.core->Polling().CyclesCompleted() > after; }, 5000))
        << "polling answers on the new line";
}

TEST(ReconnectionOverAPseudoTerminal, AnotherBoardUnderTheSameNameIsTold) {
    PtyRig rig;
    rig.core->Engine().session.RequestHardwareInfo();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.core->Idle(); }, 5000));
    rig.core->Engine().session.configLoaded = true;
    rig.board.reset();
    ASSERT_TRUE(
        rig.RunUntil([&] { return rig.core->Reconnection().State() == TLinkWatch::Lost; }, 5000));
    rig.board = Plug(rig.link, "SIM-000777");
    ASSERT_TRUE(rig.RunUntil(
        [&] {
            return rig.core->Reconnection().State() == TLinkWatch::Connected &&
                   !rig.events.events.empty() && rig.events.events.back().otherBoard;
        },
        10000));
    EXPECT_EQ(rig.events.events.back().text,
              "Reconnected, but another board answers (SN SIM-000777, was SIM-000001): read its "
              "configuration before writing.");
    EXPECT_FALSE(rig.core->Session().configLoaded);
}

}  // namespace
