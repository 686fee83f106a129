// End to end: the exchange engine on a real pseudo-terminal against the
// simulated board, with each of its faults.

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "boardsim/PtyBoard.h"
#include "link/Comprotocol.h"
#include "link/ExchangeCycle.h"
#include "link/TickDriver.h"
#include "link/Tserial.h"

using namespace orvan;
using Bytes = std::vector<std::uint8_t>;

namespace {

class Recorder : public link::IExchangeListener {
  public:
    void OnLinkState(std::string_view t) override { state = std::string(t); }
    void OnTxLog(const std::string&) override {}
    void OnRxLog(const std::string&) override {}
    void OnAnswer(const std::uint8_t* d, std::uint8_t len) override {
        answers.emplace_back(d, d + (len >= 4 ? len - 4 : 0));
    }
    void OnRxTimeout() override { ++timeouts; }
    std::string state;
    std::vector<Bytes> answers;
    int timeouts = 0;
};

class BoardOnPty : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(board.Open(&error)) << error;
        ASSERT_TRUE(board.LoadOrCreateEeprom(&error)) << error;
        board.Start();
        ASSERT_EQ(port.OpenPort(board.DevicePath().c_str(), 56700, 0), link::kOpenOk);
    }
    // Runs the exchange cycle on real 30 ms ticks until the queue is drained
    // and nothing is in flight.
    void Exchange(const std::vector<link::TCmd>& cmds) {
        for (const auto& c : cmds) ASSERT_TRUE(protocol.QueueCommand(c));
        link::RunTicks(
            [&] {
                cycle.Tick();
                return protocol.QueueCount() > 0 || protocol.InFlight();
            },
            link::kExchangeTickMs, 10000);
    }
    static link::TCmd ReadVar(std::uint16_t code) {
        return link::TCmd(
            0x0B, {static_cast<std::uint8_t>(code & 0xFF), static_cast<std::uint8_t>(code >> 8)});
    }

    sim::TPtyBoard board;
    link::Tserial port;
    link::SystemClock clock;
    link::TComProtocol protocol{port, clock};
    Recorder rec;
    link::TExchangeCycle cycle{protocol, clock, rec};
};

TEST_F(BoardOnPty, IdentityExchange) {
    Exchange({ReadVar(0x0000), ReadVar(0x0002), ReadVar(0x0001)});
    ASSERT_EQ(rec.answers.size(), 3u);
    EXPECT_EQ(rec.timeouts, 0);
    EXPECT_EQ(Bytes(rec.answers[0].begin(), rec.answers[0].begin() + 7),
              (Bytes{0x06, 0x0B, 0, 0, 1, 2, 7}));
    EXPECT_EQ(Bytes(rec.answers[1].begin(), rec.answers[1].begin() + 7),
              (Bytes{0x06, 0x0B, 2, 0, 2, 2, 9}));
    EXPECT_EQ(Bytes(rec.answers[2].begin(), rec.answers[2].begin() + 6),
              (Bytes{0x06, 0x0B, 1, 0, 0x00, 0x01}));
    EXPECT_EQ(board.LineSpeed(), 56700u);
}

TEST_F(BoardOnPty, MemoryWriteThenRead) {
    Exchange(
        {link::TCmd(0x01, {0x01, 0x00, 0xA1, 0xB2, 0xC3}), link::TCmd(0x02, {0x01, 0x00, 0x03})});
    ASSERT_EQ(rec.answers.size(), 2u);
    EXPECT_EQ(rec.answers[0][1], 0x01);
    const Bytes& r = rec.answers[1];
    ASSERT_GE(r.size(), 7u);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 7), (Bytes{0x06, 0x02, 0x01, 0x00, 0xA1, 0xB2, 0xC3}));
}

TEST_F(BoardOnPty, DelayedAndSplitAnswersStillArriveWhole) {
    sim::BoardFaults f;
    f.answerDelayMs = 400;
    f.bursts = 3;
    f.burstGapMs = 40;  // shorter than the three quiet ticks
    board.SetFaults(f);
    Exchange({ReadVar(0x0000)});
    ASSERT_EQ(rec.answers.size(), 1u);
    EXPECT_EQ(Bytes(rec.answers[0].begin(), rec.answers[0].begin() + 7),
              (Bytes{0x06, 0x0B, 0, 0, 1, 2, 7}));
}

TEST_F(BoardOnPty, ForcedRefusalIsAnAnswer) {
    sim::BoardFaults f;
    f.forceError = 11;
    board.SetFaults(f);
    Exchange({ReadVar(0x0000)});
    ASSERT_EQ(rec.answers.size(), 1u);
    EXPECT_EQ(rec.answers[0][0], 0x0F);
    EXPECT_EQ(rec.answers[0][1], 11);
}

struct FaultCase {
    const char* name;
    sim::BoardFaults faults;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class FaultyBoard : public BoardOnPty, public ::testing::WithParamInterface<FaultCase> {};

// Silence, babble and over-long frames all end in the time-out; afterwards,
// with the fault gone, the link works again.
TEST_P(FaultyBoard, EndsInTheTimeOutAndRecovers) {
    board.SetFaults(GetParam().faults);
    Exchange({ReadVar(0x0000), ReadVar(0x0001)});
    EXPECT_EQ(rec.timeouts, 1);
    EXPECT_EQ(rec.state, "RX TimeOut");
    EXPECT_TRUE(rec.answers.empty());
    EXPECT_EQ(protocol.QueueCount(), 0u);

    board.SetFaults(sim::BoardFaults{});
    // Let the last babble reach the tool; the idle tick throws it away.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    cycle.Tick();
    Exchange({ReadVar(0x0002)});
    ASSERT_EQ(rec.answers.size(), 1u);
    EXPECT_EQ(rec.answers[0][2], 0x02);
}

sim::BoardFaults Make(bool noAnswer, bool babble, bool overlong) {
    sim::BoardFaults f;
    f.noAnswer = noAnswer;
    f.babble = babble;
    f.overlong = overlong;
    return f;
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyBoard,
                         ::testing::Values(FaultCase{"NoAnswer", Make(true, false, false)},
                                           FaultCase{"Babble", Make(false, true, false)},
                                           FaultCase{"Overlong", Make(false, false, true)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoardOnPty, GarbageNeverCrashesTheEngine) {
    sim::BoardFaults f;
    f.garbage = true;
    board.SetFaults(f);
    Exchange({ReadVar(0x0000), ReadVar(0x0001), ReadVar(0x0002)});
    // Each delimited run of random bytes is taken as an answer, however
    // meaningless; every command ended and the engine is ready for the next.
    EXPECT_EQ(rec.answers.size(), 3u);
    EXPECT_EQ(rec.timeouts, 0);
    EXPECT_FALSE(protocol.InFlight());
    board.SetFaults(sim::BoardFaults{});
    rec.answers.clear();
    Exchange({ReadVar(0x0000)});
    ASSERT_EQ(rec.answers.size(), 1u);
    EXPECT_EQ(rec.answers[0][0], 0x06);
}

TEST(BoardEepromFile, CreatedWhenAbsentKeptAcrossRunsAndNeverOverwrittenWhenForeign) {
    char dir[] = "/tmp/orvan-sim-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/eeprom.bin";
    {
        sim::TPtyBoard b(file);
        std::string error;
        ASSERT_TRUE(b.LoadOrCreateEeprom(&error)) << error;
        b.WithModel([](sim::TBoardModel& m, sim::BoardFaults&) {
            const std::uint8_t write[] = {0x01, 0x02, 0x00, 0x5A};
            (void)m.HandleRequest(write, sizeof write);
        });
    }
    {
        sim::TPtyBoard b(file);
        std::string error;
        ASSERT_TRUE(b.LoadOrCreateEeprom(&error)) << error;
        b.WithModel([](sim::TBoardModel& m, sim::BoardFaults&) {
            EXPECT_EQ(m.Eeprom()[0x200], 0x5A);
            EXPECT_EQ(m.Eeprom()[16], 3);
        });
    }
    const std::string foreign = std::string(dir) + "/notes.txt";
    { std::ofstream(foreign) << "not an eeprom"; }
    sim::TPtyBoard b(foreign);
    std::string error;
    EXPECT_FALSE(b.LoadOrCreateEeprom(&error));
    EXPECT_NE(error.find("notes.txt"), std::string::npos);
    std::ifstream in(foreign);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "not an eeprom");
    std::remove(file.c_str());
    std::remove(foreign.c_str());
    ::rmdir(dir);
}

}  // namespace
