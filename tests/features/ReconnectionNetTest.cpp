// Reconnection to a board behind a serial device server: the simulated board
// served on a loopback TCP port, the core on a TLinkPort opened by address.
// The server goes away (its process stopped, its connections with it) and
// comes back on the same port with the same board memory; the loss is said
// at once, the port is opened again by itself, and a write the loss cut is
// never resumed.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "boardsim/PtyBoard.h"
#include "features/BoardOperations.h"
#include "features/ConfigOperations.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"
#include "link/LinkPort.h"
#include "support/TempDir.h"

using namespace orvan;
using namespace orvan::features;

namespace {

struct QuietNotifier : commands::INotifier {
    void ShowRefusal(std::string_view, std::string_view) override {}
    void ShowMissingAck(std::string_view, std::string_view) override {}
};

struct Heard : IReconnectView, IOperationView {
    void OnReconnectEvent(const TReconnectEvent& e) override { events.push_back(e); }
    void OnOperationProgress(const TProgress& p) override {
        if (p.phase == "writing") written = p.done;
    }
    void OnOperationFinished(const TOperationOutcome& o) override {
        if (o.operation != "Status polling") outcomes.push_back(o);
    }
    std::vector<TReconnectEvent> events;
    std::vector<TOperationOutcome> outcomes;
    int written = 0;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct NetRig {
    test::TempDir dir;
    std::string eeprom = dir.File("board.bin");
    std::unique_ptr<sim::TPtyBoard> server;
    std::uint16_t port = 0;
    std::string address;
    link::TLinkPort line;
    link::SystemClock clock;
    QuietNotifier notifier;
    std::unique_ptr<TSupervisorCore> core;
    Heard heard;

    NetRig() {
        Serve();
        address = server->DevicePath();
        port = static_cast<std::uint16_t>(std::stoi(address.substr(address.rfind(':') + 1)));
        EXPECT_EQ(line.OpenPort(address.c_str(), 56700, 0), link::kOpenOk)
            << line.OpenErrorText(link::kOpenCannotOpen);
        core = std::make_unique<TSupervisorCore>(line, clock, notifier);
        core->Attach(heard);
        core->Operations().SetBackupDir(dir.File("backups"));
        core->Reconnection().reopen = [this]() -> TResult {
            line.ClosePort();
            const std::int32_t rc = line.OpenPort(address.c_str(), 56700, 0);
            return rc == link::kOpenOk ? TResult::Ok() : TResult::Fail(line.OpenErrorText(rc));
        };
    }
    ~NetRig() {
        core->Detach(heard);
        core.reset();
        line.ClosePort();
    }
    // The server (and the board's memory, kept in its file) on `port`.
    void Serve() {
        server = std::make_unique<sim::TPtyBoard>(eeprom);
        std::string error;
        ASSERT_TRUE(server->OpenTcp(port, 56700, &error)) << error;
        ASSERT_TRUE(server->LoadOrCreateEeprom(&error)) << error;
        server->Start();
    }
    bool RunUntil(const std::function<bool()>& done, int ms) {
        for (int t = 0; t < ms; t += 30) {
            core->Tick();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        return done();
    }
    bool Reconnected() const {
        return core->Reconnection().State() == TLinkWatch::Connected && !heard.events.empty() &&
               heard.events.back().state == TLinkWatch::Connected;
    }
};

TEST(ReconnectionOverTheNetwork, TheServerRestartsAndPollingGoesOn) {
    NetRig rig;
    rig.core->Operations().Start(InfoOperation(*rig.core));
    ASSERT_TRUE(rig.RunUntil([&] { return rig.core->Operations().Idle(); }, 5000));
    ASSERT_EQ(rig.core->Session().serialNumber, "SIM-000001");
    rig.core->Operations().Start(PollingOperation(*rig.core, {}));
    ASSERT_TRUE(rig.RunUntil([&] { return rig.core->Polling().CyclesCompleted() > 0; }, 5000));

    rig.server.reset();  // the server stops: its connections go with it
    ASSERT_TRUE(
        rig.RunUntil([&] { return rig.core->Reconnection().State() == TLinkWatch::Lost; }, 2500))
        << "the loss is seen at once, not after the receive time-out";
    ASSERT_FALSE(rig.heard.events.empty());
    EXPECT_NE(rig.heard.events.back().text.find("Port lost: the server at " + rig.address +
                                                " closed the connection"),
              std::string::npos)
        << rig.heard.events.back().text;
    rig.RunUntil([] { return false; }, 1500);  // reopening fails meanwhile
    EXPECT_EQ(rig.core->Reconnection().State(), TLinkWatch::Lost);
    EXPECT_NE(rig.heard.events.back().text.find("refused: nothing accepts connections"),
              std::string::npos)
        << rig.heard.events.back().text;

    rig.Serve();  // back on the same port
    ASSERT_TRUE(rig.RunUntil([&] { return rig.Reconnected(); }, 10000));
    EXPECT_TRUE(rig.heard.events.back().sameBoard) << rig.heard.events.back().text;
    EXPECT_TRUE(rig.heard.events.back().pollingResumed) << rig.heard.events.back().text;
    const auto after = rig.core->Polling().CyclesCompleted();
    EXPECT_TRUE(rig.RunUntil([&] { return rig.core->Polling().CyclesCompleted() > after; }, 5000));
}

TEST(ReconnectionOverTheNetwork, AWriteTheServerCutIsReportedAndNeverResumed) {
    NetRig rig;
    rig.core->SetFastMode(true);  // answers taken on the tick they complete
    ASSERT_TRUE(
        rig.core->Operations().Start(ConfigReadOperation(*rig.core, {false, {}, false, false})));
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.heard.outcomes.empty(); }, 10000));
    ASSERT_TRUE(rig.heard.outcomes.back().Completed()) << rig.heard.outcomes.back().message;
    rig.heard.outcomes.clear();
    config::TCfgWelderRW pages = rig.core->Record();
    pages.SetMinPower(static_cast<std::uint16_t>(pages.GetMinPower() + 1));
    rig.core->Document().Take(pages);

    ASSERT_TRUE(rig.core->Operations().Start(ConfigWriteOperation(*rig.core, {})));
    ASSERT_TRUE(rig.RunUntil([&] { return rig.heard.written >= 4; }, 20000));
    rig.server.reset();  // killed mid-write
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.heard.outcomes.empty(); }, 2500))
        << "the write ends with the loss, not after the receive time-out";
    const TOperationOutcome o = rig.heard.outcomes.back();
    EXPECT_EQ(o.kind, TOutcomeKind::Failed);
    EXPECT_NE(o.why.find("closed the connection"), std::string::npos) << o.why;
    EXPECT_NE(o.boardHolds.find("holds blocks 1 to " + std::to_string(rig.heard.written) +
                                " of the new configuration"),
              std::string::npos)
        << o.message;
    const std::string held = ReadAll(rig.eeprom);

    rig.Serve();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.Reconnected(); }, 10000));
    EXPECT_NE(rig.heard.events.back().text.find("not resumed: the configuration write"),
              std::string::npos)
        << rig.heard.events.back().text;
    rig.RunUntil([] { return false; }, 1500);
    EXPECT_EQ(rig.heard.outcomes.size(), 1u) << "nothing started again by itself";
    EXPECT_EQ(ReadAll(rig.eeprom), held) << "nothing written after the reconnection";
    EXPECT_TRUE(rig.core->Operations().Idle());
}

}  // namespace
