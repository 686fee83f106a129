// Status polling: the queue guard and the mix of reads, the analog display
// and its conversions, forcing I/O, the anomaly mask, cycles and time-outs.

#include <gtest/gtest.h>

#include "StatusRig.h"
#include "TransferRig.h"  // SetRaw

namespace orvan::test {
namespace {

using commands::AnalogStatus;
using commands::AnomalyStatus;
using commands::IoStatus;
using commands::MultiHeadErrorPositions;
using commands::MultiHeadTimeouts;
using commands::PowerReadings;
using commands::SourceWorkTime;
using features::PollReads;
using features::TPollFlags;

TPollFlags All() {
    return {true, true, true, true, true};
}

struct MixCase {
    const char* name;
    TPollFlags flags;
    std::uint16_t boardType;
    std::uint32_t protocol;
    std::size_t queued;
    std::vector<std::uint16_t> reads;
};

TEST(PollMix, FlagsBoardTypeProtocolAndGuard) {
    const TPollFlags none{false, false, false, false, false};
    const TPollFlags analogOnly{false, true, false, false, false};
    const std::vector<std::uint16_t> seven = {
        IoStatus,      AnalogStatus,      AnomalyStatus,          SourceWorkTime,
        PowerReadings, MultiHeadTimeouts, MultiHeadErrorPositions};
    const MixCase cases[] = {
        {"five queued, all flags, 0x0100 at 2.2.0", All(), 0x0100, 0x020200, 5, seven},
        {"six queued adds nothing", All(), 0x0100, 0x020200, 6, {}},
        {"twelve queued adds nothing", All(), 0x0100, 0x020200, 12, {}},
        {"2.1.0 exactly: no power readings",
         All(),
         0x0100,
         0x020100,
         0,
         {IoStatus, AnalogStatus, AnomalyStatus, SourceWorkTime, MultiHeadTimeouts,
          MultiHeadErrorPositions}},
        {"2.1.1 polls power readings",
         analogOnly,
         0x0100,
         0x020101,
         0,
         {AnalogStatus, PowerReadings}},
        {"protocol not yet known", analogOnly, 0x0100, 0, 0, {AnalogStatus}},
        {"another board type", analogOnly, 0x0A00, 0x020209, 0, {AnalogStatus}},
        {"power readings only with the analog flag",
         {true, false, false, false, false},
         0x0100,
         0x020209,
         0,
         {IoStatus}},
        {"nothing ticked", none, 0x0100, 0x020209, 0, {}},
        {"heads: two reads, timeouts first",
         {false, false, false, false, true},
         0,
         0,
         0,
         {MultiHeadTimeouts, MultiHeadErrorPositions}},
    };
    for (const MixCase& c : cases)
        EXPECT_EQ(PollReads(c.flags, c.boardType, c.protocol, c.queued), c.reads) << c.name;
}

TEST(PollMix, EveryFlagCombinationKeepsTheOrderAndItsCount) {
    const std::vector<std::uint16_t> order = {
        IoStatus,      AnalogStatus,      AnomalyStatus,          SourceWorkTime,
        PowerReadings, MultiHeadTimeouts, MultiHeadErrorPositions};
    for (int bits = 0; bits < 32; ++bits) {
        const TPollFlags f{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0,
                           (bits & 16) != 0};
        for (std::uint32_t proto : {0u, 0x020100u, 0x020101u}) {
            for (std::uint16_t type : {std::uint16_t{0x0100}, std::uint16_t{0x0200}}) {
                const auto reads = PollReads(f, type, proto, 5);
                const std::size_t want = f.optoIO + f.analog + f.anomaly + f.sourceTime +
                                         (f.analog && type == 0x0100 && proto > 0x020100) +
                                         2 * f.multiHead;
                EXPECT_EQ(reads.size(), want) << bits;
                // A subsequence of the fixed order.
                auto it = order.begin();
                for (std::uint16_t r : reads) {
                    it = std::find(it, order.end(), r);
                    ASSERT_NE(it, order.end()) << bits;
                }
                EXPECT_TRUE(PollReads(f, type, proto, 6).empty());
            }
        }
    }
}

TEST(StatusPolling, TickQueuesTheMixBehindTheGuard) {
    StatusRig rig;
    rig.session.boardType = 0x0100;
    rig.protocol.BoardProtocolVersion = 0x020200;
    rig.polling.flags = All();
    EXPECT_EQ(rig.polling.RefreshTick(), 0u) << "polling is off at start";
    rig.polling.Toggle();
    ASSERT_TRUE(rig.polling.Running());
    for (int i = 0; i < 5; ++i) (void)rig.protocol.QueueCommand(commands::MakeReadVariable(0));
    EXPECT_EQ(rig.polling.RefreshTick(), 7u);
    EXPECT_EQ(rig.protocol.QueueCount(), 12u);
    EXPECT_EQ(rig.polling.RefreshTick(), 0u);
    EXPECT_EQ(rig.protocol.QueueCount(), 12u);
    EXPECT_EQ(rig.polling.TicksSkipped(), 1u);
    // The reads go out in the order of the cycle.
    rig.Drain();
    const auto reads = rig.Bodies(commands::kReadVariable);
    ASSERT_EQ(reads.size(), 12u);
    const std::uint16_t want[] = {
        IoStatus,      AnalogStatus,      AnomalyStatus,          SourceWorkTime,
        PowerReadings, MultiHeadTimeouts, MultiHeadErrorPositions};
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_EQ(reads[5 + i][1] | (reads[5 + i][2] << 8), want[i]) << i;
}

TEST(StatusPolling, ButtonTogglesAndAFlagTakesEffectAtTheNextTick) {
    StatusRig rig;
    rig.polling.flags = {false, true, false, false, false};
    rig.polling.Toggle();
    EXPECT_EQ(rig.polling.RefreshTick(), 1u);
    rig.polling.flags.anomaly = true;
    EXPECT_EQ(rig.polling.RefreshTick(), 2u);
    rig.polling.Toggle();
    EXPECT_FALSE(rig.polling.Running());
    EXPECT_EQ(rig.polling.RefreshTick(), 0u);
    ASSERT_EQ(rig.shown.changes.size(), 2u);
    EXPECT_TRUE(rig.shown.changes[0].running);
    EXPECT_FALSE(rig.shown.changes[1].running);
    EXPECT_EQ(rig.shown.changes[1].why, features::TPollStop::User);
}

TEST(AnalogDisplay, ChannelOrderAndVoltageLabels) {
    StatusRig rig;
    // Answer words: photodiode, power meter, supply, temperature, set, PT100.
    rig.SetAnalogWords({1023, 0, 512, 333, 4, 777});
    ASSERT_TRUE(rig.polling.RefreshAnalog());
    rig.Drain();
    ASSERT_EQ(rig.shown.analog.size(), 1u);
    const auto& d = rig.shown.analog[0];
    const std::array<std::uint16_t, 6> channels = {1023, 0, 512, 777, 4, 333};
    EXPECT_EQ(d.words, channels) << "word 5 drives PT100, word 3 the diode temperature";
    EXPECT_EQ(d.voltText[0], "4.9951 V");
    EXPECT_EQ(d.voltText[1], "0 V");
    EXPECT_EQ(d.voltText[2], "2.5 V");
    EXPECT_EQ(d.voltText[4], "0.0195 V");
    EXPECT_DOUBLE_EQ(rig.session.analogVolts[0], 1023 * 5.0 / 1024);
    EXPECT_DOUBLE_EQ(rig.session.analogVolts[3], 777 * 5.0 / 1024);
    EXPECT_FALSE(d.converted) << "no configuration loaded";
    EXPECT_EQ(features::VoltageText(2.5, ','), "2,5 V");
}

// A configuration whose conversions are easy to follow by hand.
config::TCfgWelderRW HandConfig() {
    config::TCfgWelderRW c;
    SetRaw(c, "CurrentDiodeMax", 10000);  // 100 A
    SetRaw(c, "MinPower", 0);
    SetRaw(c, "MaxPower", 65535);  // 100 A
    SetRaw(c, "VsetPowMax", 1000);
    SetRaw(c, "ADCGain_4", 1000);
    SetRaw(c, "PDiodeMax", 5000);  // 50 W
    SetRaw(c, "IAlimCoeff_m", 1000);
    SetRaw(c, "IAlimCoeff_q", 50);
    SetRaw(c, "PMCoeff_m", 2000);
    SetRaw(c, "PMCoeff_q", 0);
    for (int i = 0; i < 10; ++i) {
        SetRaw(c, ("PDTable_V_" + std::to_string(i)).c_str(), 100 * i);
        SetRaw(c, ("PDTable_W_" + std::to_string(i)).c_str(), 1000 * i);
    }
    SetRaw(c, "ADCGain_3", 1000);  // a gain of 1: the limits keep their scale
    (void)c.SetTempWorkMaxValue(40);
    (void)c.SetTempWorkMinValue(20);
    return c;
}

struct ConvCase {
    std::uint16_t temperatureWord;
    double temperature;
    features::TTemperatureColour colour;
};

TEST(AnalogDisplay, ConvertedValuesAgainstHandComputedOnes) {
    const ConvCase cases[] = {
        // (610 x 5 / 1023 - 4.01905) x -24.5327 = 25.456 -> 25.5
        {610, 25.5, features::TTemperatureColour::Normal},
        {400, 50.6, features::TTemperatureColour::High},  // above 40: red
        {700, 14.7, features::TTemperatureColour::Low},   // below 20: aqua
    };
    for (const ConvCase& c : cases) {
        StatusRig rig;
        static_cast<config::TWelderCfgBlank&>(rig.record) = HandConfig();
        rig.session.boardType = 0x0100;
        rig.session.configLoaded = true;
        rig.SetAnalogWords({250, 300, 200, c.temperatureWord, 500, 0});
        ASSERT_TRUE(rig.polling.RefreshAnalog());
        rig.Drain();
        ASSERT_EQ(rig.shown.analog.size(), 1u);
        const auto& d = rig.shown.analog[0];
        ASSERT_TRUE(d.converted);
        EXPECT_DOUBLE_EQ(d.temperature, c.temperature);
        EXPECT_EQ(d.temperatureColour, c.colour) << c.temperatureWord;
        EXPECT_EQ(d.temperatureGauge, static_cast<int>(c.temperature));
        // 100 A / 1000 counts x 500
        EXPECT_EQ(d.currentSet.text, "50 A");
        EXPECT_EQ(d.currentSet.gauge, 50);
        // 50 W x 10 / (1 x 1000) x 500 x 0.001
        EXPECT_EQ(d.powerSet.text, "25 W");
        // (1000 x 200 + 50 x 10) x 0.0001
        EXPECT_EQ(d.supplyCurrent.text, "20.05 A");
        EXPECT_EQ(d.supplyCurrent.gauge, 20);
        // between table points 200 and 300: 10 hundredths of a watt a count
        EXPECT_EQ(d.photodiode.text, "25 W");
        EXPECT_EQ(d.photodiode.gauge, 25000);
        // 2000 x 300 x 0.0001
        EXPECT_EQ(d.powerMeter.text, "60 W");
        EXPECT_EQ(d.powerMeter.gauge, 60000);
        EXPECT_TRUE(d.powerMeterView.empty());
    }
}

TEST(AnalogDisplay, OnlyOnType0100WithAConfigurationAndTuningAddsTheRunningText) {
    StatusRig rig;
    static_cast<config::TWelderCfgBlank&>(rig.record) = HandConfig();
    rig.session.boardType = 0x0A00;
    rig.session.configLoaded = true;
    rig.SetAnalogWords({250, 300, 200, 610, 500, 0});
    (void)rig.polling.RefreshAnalog();
    rig.Drain();
    ASSERT_EQ(rig.shown.analog.size(), 1u);
    EXPECT_FALSE(rig.shown.analog[0].converted);
    EXPECT_TRUE(rig.shown.analog[0].currentSet.text.empty()) << "converted texts stay as they were";

    rig.session.boardType = 0x0100;
    rig.events.Notify(&commands::IProcedureView::OnTuningStatus, std::uint8_t{0x01});
    (void)rig.polling.RefreshAnalog();
    rig.Drain();
    ASSERT_EQ(rig.shown.analog.size(), 2u);
    EXPECT_EQ(rig.shown.analog[1].powerMeterView, "Running... 60 W / 50W");
}

TEST(AnalogDisplay, ZeroDivisorsKeepPollingRunning) {
    StatusRig rig;
    config::TCfgWelderRW c = HandConfig();
    SetRaw(c, "VsetPowMax", 0);
    SetRaw(c, "ADCGain_4", 0);
    static_cast<config::TWelderCfgBlank&>(rig.record) = c;
    rig.session.boardType = 0x0100;
    rig.session.configLoaded = true;
    rig.polling.flags = {false, true, false, false, false};
    rig.polling.Toggle();
    rig.Tick(60);
    ASSERT_GE(rig.shown.analog.size(), 5u);
    const auto& d = rig.shown.analog.back();
    EXPECT_FALSE(d.currentSet.ok);
    EXPECT_EQ(d.currentSet.text, "--- A");
    EXPECT_FALSE(d.powerSet.ok);
    EXPECT_EQ(d.powerSet.gauge, 0);
    EXPECT_TRUE(d.powerMeter.ok) << "the other conversions go on";
    EXPECT_TRUE(rig.polling.Running());
}

TEST(StatusPolling, CyclesCompleteInOrderAndCarryWhatWasPolled) {
    StatusRig rig;
    rig.model.boardType = 0x0100;
    rig.session.boardType = 0x0100;
    rig.protocol.BoardProtocolVersion = 0x020209;
    rig.polling.flags = {true, true, true, true, false};
    rig.polling.Toggle();
    rig.Tick(400);  // 12 s
    ASSERT_GE(rig.shown.cycles.size(), 10u);
    for (std::size_t i = 0; i < rig.shown.cycles.size(); ++i) {
        const auto& s = rig.shown.cycles[i];
        EXPECT_EQ(s.cycle, i + 1);
        EXPECT_TRUE(s.io && s.analogWords && s.anomalies && s.sourceSeconds && s.power) << i;
        EXPECT_FALSE(s.headTimeouts);
    }
    // Five reads a cycle, one exchange per five ticks: the engine's bound.
    const double bound = 400.0 / 5 / 5;
    EXPECT_GE(static_cast<double>(rig.shown.cycles.size()), 0.9 * bound - 2);
    EXPECT_LE(rig.protocol.QueueCount(), 6u + 5u);
}

TEST(StatusPolling, ARefusedReadStillEndsItsCycle) {
    StatusRig rig;
    rig.polling.flags = {true, true, false, false, false};
    sim::ForcedError e;
    e.code = sim::kErrUnknownVariable;
    e.remaining = 1;
    rig.model.ForceError(e);  // the first IoStatus is refused
    rig.polling.Toggle();
    rig.Tick(100);
    ASSERT_GE(rig.shown.cycles.size(), 2u);
    EXPECT_FALSE(rig.shown.cycles[0].io);
    EXPECT_TRUE(rig.shown.cycles[0].analogWords);
    EXPECT_TRUE(rig.shown.cycles[1].io);
}

TEST(StatusPolling, ATimeOutStopsPollingAndEmptiesTheQueueAndOneClickRestarts) {
    StatusRig rig;
    rig.polling.flags = All();
    rig.polling.Toggle();
    rig.Tick(20);
    rig.port.silent = true;
    rig.Tick(150);  // past the 3 s receive time-out
    EXPECT_FALSE(rig.polling.Running());
    EXPECT_EQ(rig.protocol.QueueCount(), 0u);
    ASSERT_FALSE(rig.shown.changes.empty());
    EXPECT_FALSE(rig.shown.changes.back().running);
    EXPECT_EQ(rig.shown.changes.back().why, features::TPollStop::Line);
    EXPECT_TRUE(rig.polling.StoppedByLine());
    const std::size_t sent = rig.port.bodies.size();
    rig.Tick(150);
    EXPECT_EQ(rig.port.bodies.size(), sent) << "nothing more goes out on a silent line";

    rig.port.silent = false;
    EXPECT_TRUE(rig.polling.ResumeAfterReconnect());
    EXPECT_TRUE(rig.polling.Running());
    const std::size_t cycles = rig.shown.cycles.size();
    rig.Tick(100);
    EXPECT_GT(rig.shown.cycles.size(), cycles);
}

TEST(StatusPolling, AUserStopIsNotResumedOnReconnection) {
    StatusRig rig;
    rig.polling.Toggle();
    rig.polling.Toggle();
    rig.events.Notify(&commands::ILinkView::OnStopPolling);
    EXPECT_FALSE(rig.polling.StoppedByLine());
    EXPECT_FALSE(rig.polling.ResumeAfterReconnect());
    EXPECT_FALSE(rig.polling.Running());
}

TEST(StatusPolling, SourceTimeAndPowerReadingsTexts) {
    StatusRig rig;
    rig.model.Variables()[0x0610].onRead = nullptr;
    rig.model.Variables()[0x0610].value = {0x39, 0x30, 0x10, 0x27, 0xE8, 0x03, 0x01, 0x01, 0, 0};
    (void)rig.polling.ReadSourceTime();
    (void)commands::SendReadVariable(rig.protocol, PowerReadings);
    rig.Drain();
    EXPECT_FALSE(rig.shown.seconds.empty());
    const double hours = std::stod(rig.shown.seconds) / 3600.0;
    EXPECT_EQ(rig.shown.hours, commands::RoundedText(hours, 2));
    ASSERT_EQ(rig.shown.power.size(), 1u);
    EXPECT_EQ(rig.shown.power[0].photodiode, "123.45 W");
    EXPECT_EQ(rig.shown.power[0].powerMeter, "100 W");
    EXPECT_EQ(rig.shown.power[0].supplyCurrent, "10 A");
    EXPECT_EQ(rig.shown.power[0].temperature,
              "25.7 \xC2\xB0"
              "C");
    EXPECT_EQ(rig.shown.power[0].setPower, "0 W");
}

// --- writes ------------------------------------------------------------------

std::vector<std::uint8_t> Payload(const std::vector<std::uint8_t>& body) {
    return {body.begin() + 1, body.end()};
}

TEST(AnomalyMask, TheComplementOfTheTypedNumberOrNothing) {
    struct Row {
        const char* typed;
        bool sent;
        std::vector<std::uint8_t> bytes;
    };
    const Row rows[] = {
        {"5", true, {0x01, 0x01, 0xFA, 0xFF, 0xFF, 0xFF}},
        {" 0x10 ", true, {0x01, 0x01, 0xEF, 0xFF, 0xFF, 0xFF}},
        {"$FF", true, {0x01, 0x01, 0x00, 0xFF, 0xFF, 0xFF}},
        {"4294967295", true, {0x01, 0x01, 0x00, 0x00, 0x00, 0x00}},
        {"4294967296", false, {}},
        {"-1", false, {}},
        {"abc", false, {}},
        {"", false, {}},
        {"5x", false, {}},
    };
    for (const Row& r : rows) {
        StatusRig rig;
        const auto res = rig.polling.SetAnomalyAndMask(r.typed);
        EXPECT_EQ(static_cast<bool>(res), r.sent) << r.typed << ": " << res.why;
        if (!r.sent) {
            EXPECT_EQ(rig.protocol.QueueCount(), 0u) << r.typed;
            EXPECT_NE(res.why.find("Active anomaly"), std::string::npos) << res.why;
            continue;
        }
        rig.Drain();
        const auto w = rig.Bodies(commands::kWriteVariable);
        ASSERT_EQ(w.size(), 1u);
        EXPECT_EQ(Payload(w[0]), r.bytes) << r.typed;
    }
}

std::vector<std::uint8_t> ForcePayload(std::array<std::uint32_t, 8> words, std::uint8_t on,
                                       std::uint8_t offInv) {
    std::vector<std::uint8_t> p = {0x0A, 0x02};
    for (std::uint32_t w : words)
        for (int b = 0; b < 4; ++b) p.push_back(static_cast<std::uint8_t>(w >> (8 * b)));
    p.push_back(on);
    p.push_back(offInv);
    return p;
}

TEST(IoForce, MarksAndRelayEditsToBytes) {
    StatusRig rig;
    features::TIoForceMarks m;
    m.on[features::kInCpu] = 0x0002;
    m.off[features::kInCpu] = 0x0008;
    m.on[features::kInExp1] = 0x321;
    m.on[features::kInExp2] = 0x654;
    m.on[features::kOutCpu] = 0x0800;
    // Indicators 8..11 of the first output expansion drive nothing: they must
    // not force outputs of the second.
    m.on[features::kOutExp1] = 0x0F01;
    m.off[features::kOutExp2] = 0x0F80;
    ASSERT_TRUE(rig.polling.ForceIo(m, "3", "128"));
    ASSERT_TRUE(rig.polling.ResetForce());
    EXPECT_FALSE(rig.polling.ForceIo(m, "256", "0"));
    EXPECT_FALSE(rig.polling.ForceIo(m, "1", "x"));
    rig.Drain();
    const auto w = rig.Bodies(commands::kWriteVariable);
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(
        Payload(w[0]),
        ForcePayload({0x0002, ~0x0008u, 0x654321, ~0u, 0x0800, ~0u, 0x0001, ~0x8000u}, 3, 0x7F));
    EXPECT_EQ(Payload(w[1]), ForcePayload({0, ~0u, 0, ~0u, 0, ~0u, 0, ~0u}, 0x00, 0xFF))
        << "reset: zero force-on words, all-ones force-off words, relay bytes 00 FF";
}

TEST(IoForce, TheSimulatedBoardHonoursForcedBits) {
    StatusRig rig;
    features::TIoForceMarks m;
    m.on[features::kOutCpu] = 0x0010;
    m.off[features::kOutCpu] = 0x0002;
    m.on[features::kInCpu] = 0x0100;
    m.on[features::kOutExp2] = 0x0003;
    ASSERT_TRUE(rig.polling.ForceIo(m, "4", "0"));
    (void)commands::SendReadVariable(rig.protocol, IoStatus);
    rig.Drain();
    ASSERT_FALSE(rig.shown.io.empty());
    const auto& io = rig.shown.io.back();
    EXPECT_TRUE(io.cpuOutputs & 0x0010);
    EXPECT_FALSE(io.cpuOutputs & 0x0002);
    EXPECT_TRUE(io.cpuInputs & 0x0100);
    EXPECT_EQ(io.exp2Outputs & 0x03, 0x03);
    EXPECT_TRUE(io.relays & 0x04);
}

TEST(Snapshot, JsonCarriesTheKeysInChannelOrder) {
    features::TStatusSnapshot s;
    s.cycle = 3;
    s.ms = 450;
    s.analogWords = std::array<std::uint16_t, 6>{1023, 0, 512, 777, 4, 333};
    s.analogVolts = std::array<double, 6>{};
    for (std::size_t c = 0; c < 6; ++c)
        (*s.analogVolts)[c] = features::AnalogVolts((*s.analogWords)[c]);
    s.io = commands::IoStatusWords{5, 0x321, 0x654, 2, 0, 0, 1};
    s.anomalies = 0x10;
    s.sourceSeconds = 123456;
    const std::string j = features::SnapshotJson(s);
    EXPECT_EQ(j,
              "{\"cycle\":3,\"ms\":450,\"analogVolts\":[4.9951171875,0,2.5,3.7939453125,"
              "0.01953125,1.6259765625],\"analogWords\":[1023,0,512,777,4,333],"
              "\"inputs\":{\"cpu\":5,\"exp1\":801,\"exp2\":1620},"
              "\"outputs\":{\"cpu\":2,\"exp1\":0,\"exp2\":0,\"relays\":1},"
              "\"anomalies\":16,\"sourceSeconds\":123456}");
    s.power = commands::PowerReadingWords{12345, 10000, 1000, 257, 0};
    EXPECT_NE(features::SnapshotJson(s).find("\"power\":{\"photodiodeW\":123.45,"),
              std::string::npos);
    features::TStatusSnapshot empty;
    EXPECT_NE(features::SnapshotJson(empty).find("\"analogVolts\":null"), std::string::npos);
}

}  // namespace
}  // namespace orvan::test
