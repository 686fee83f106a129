// Wire bytes of every builder family, byte orders and value checks.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/Builders.h"
#include "link/FrameCodec.h"
#include "support/ScriptedPort.h"

using namespace orvan;
using namespace orvan::commands;

namespace {

std::vector<std::uint8_t> Payload(const link::TCmd& c) {
    return std::vector<std::uint8_t>(c.Payload.begin(), c.Payload.begin() + c.Count);
}

struct WriteCase {
    const char* what;
    std::uint16_t code;
    std::vector<double> values;
    std::vector<std::uint8_t> payload;  // code low, code high, value bytes
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.what;
}

class WriteVariableBytes : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteVariableBytes, PayloadAsTheBoardExpectsIt) {
    const WriteCase& c = GetParam();
    link::TCmd cmd;
    std::string why;
    ASSERT_TRUE(MakeWriteVariable(c.code, c.values, cmd, &why)) << why;
    EXPECT_EQ(cmd.Type, kWriteVariable);
    EXPECT_EQ(Payload(cmd), c.payload);
    const VariableInfo* v = FindVariable(c.code);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->WriteLength() + 2, c.payload.size()) << "catalogue length of " << v->name;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, WriteVariableBytes,
    ::testing::Values(
        WriteCase{"anomaly mask is complemented",
                  AnomalyAndMask,
                  {5},
                  {0x01, 0x01, 0xFA, 0xFF, 0xFF, 0xFF}},
        WriteCase{"dac16 little-endian", Dac16Value, {0x1234}, {0x02, 0x02, 0x34, 0x12}},
        WriteCase{"dac16 force flag", Dac16Force, {1}, {0x0B, 0x02, 0x01}},
        WriteCase{"clock time", ClockTime, {9, 5, 30}, {0x00, 0x03, 0x09, 0x05, 0x1E}},
        WriteCase{"clock time last second", ClockTime, {23, 59, 59}, {0x00, 0x03, 23, 59, 59}},
        WriteCase{"clock date 7 Dec 2026 Monday",
                  ClockDate,
                  {7, 12, 2, 26},
                  {0x01, 0x03, 0x07, 0x0C, 0x02, 0x1A}},
        WriteCase{"clock run", ClockRun, {0}, {0x02, 0x03, 0x00}},
        WriteCase{
            "source work time 1.5 h", SourceWorkTime, {5400}, {0x06, 0x06, 0x18, 0x15, 0x00, 0x00}},
        WriteCase{"factory tuning date",
                  FactoryTuningDate,
                  {1796630400},
                  {0x07, 0x06, 0x80, 0x67, 0x16, 0x6B}},
        WriteCase{"imax x100 of 2.3 is 230", Imax, {2.3}, {0x20, 0x06, 0xE6, 0x00}},
        WriteCase{"iadj 1.005 truncates to 100", IAdj, {1.005}, {0x23, 0x06, 0x64, 0x00}},
        WriteCase{"iadj 1.999 stays 199", IAdj, {1.999}, {0x23, 0x06, 0xC7, 0x00}},
        WriteCase{"imax store", ImaxStore, {50}, {0x30, 0x06, 0x88, 0x13}},
        WriteCase{"iadj store", IAdjStore, {100}, {0x31, 0x06, 0x10, 0x27}},
        WriteCase{
            "pelta work d then f", PeltaWork, {1.5, 2.25}, {0x00, 0x07, 0x0F, 0x00, 0xE1, 0x00}},
        WriteCase{
            "pelta slope off then on", PeltaSlope, {30, 20}, {0x01, 0x07, 0x1E, 0x00, 0x14, 0x00}},
        WriteCase{"pelta preion1 d x1000 f x100",
                  PeltaPreion1,
                  {1.5, 1.2},
                  {0x02, 0x07, 0xDC, 0x05, 0x78, 0x00}},
        WriteCase{"pelta preion2", PeltaPreion2, {0.25, 0.8}, {0x03, 0x07, 0xFA, 0x00, 0x50, 0x00}},
        WriteCase{"pelta preion2 enable", PeltaPreion2Enable, {1}, {0x04, 0x07, 0x00, 0x01}},
        WriteCase{"pelta strobe counter",
                  PeltaStrobeCounter,
                  {70000},
                  {0x05, 0x07, 0x70, 0x11, 0x01, 0x00}},
        WriteCase{"pelta strobe fault", PeltaStrobeFault, {3}, {0x06, 0x07, 0x03, 0x00}},
        WriteCase{
            "pelta strobe filter big-endian", PeltaStrobeFilter, {1.5}, {0x07, 0x07, 0x05, 0xDC}},
        WriteCase{"pelta strobe delay big-endian", PeltaStrobeDelay, {5}, {0x08, 0x07, 0x01, 0xF4}},
        WriteCase{"pelta laser pulse big-endian", PeltaLaserPulse, {4}, {0x09, 0x07, 0x0F, 0xA0}},
        WriteCase{"pelta 2 shot big-endian", PeltaStrobe2Shot, {258}, {0x0A, 0x07, 0x01, 0x02}},
        WriteCase{"multi-head count", MultiHeadCount, {4}, {0x00, 0x08, 0x04}},
        WriteCase{
            "multi-head frequency big-endian", MultiHeadFrequency, {50}, {0x20, 0x08, 0x13, 0x88}},
        WriteCase{"multi-head preion big-endian", MultiHeadPreion, {2.5}, {0x21, 0x08, 0x00, 0x19}},
        WriteCase{"diameter point 0",
                  DiameterHeightPoint0,
                  {10, 5},
                  {0x00, 0x09, 0x00, 0x0A, 0x03, 0xFF}},
        WriteCase{"diameter point 3",
                  DiameterHeightPoint3,
                  {300, 1},
                  {0x03, 0x09, 0x01, 0x2C, 0x00, 0xCC}},
        WriteCase{"flanging speed two bytes", FlangingSpeed, {20}, {0x00, 0x0A, 0x14, 0x00}},
        WriteCase{"flanging power", FlangingPower, {63}, {0x01, 0x0A, 0x3F, 0x00}},
        WriteCase{"flanging profile", FlangingProfile, {7}, {0x02, 0x0A, 0x07}},
        WriteCase{"last flanging profile", FlangingProfile, {15}, {0x02, 0x0A, 0x0F}},
        WriteCase{
            "flanging wave x6553.5", FlangingWave, {1, 0.5}, {0x03, 0x0A, 0x99, 0x19, 0xCC, 0x0C}}),
    [](const auto& info) { return "row" + std::to_string(info.index); });

struct BadWrite {
    std::uint16_t code;
    std::vector<double> values;
    const char* reasonPart;
};

TEST(WriteVariableRefusals, NothingIsBuiltAndTheReasonSaysWhy) {
    const BadWrite cases[] = {
        {IAdj, {700}, "outside"},                  // 70000 does not fit 16 bits
        {IAdj, {-1}, "outside"},                   // negative
        {ClockTime, {256, 0, 0}, "outside"},       // one byte
        {ClockTime, {1.5, 0, 0}, "whole number"},  // integer field
        {PeltaWork, {1}, "takes 2"},               // value count
        {FirmwareVersion, {1}, "no write layout"},
        {0x070B, {1}, "no write layout"},  // asked for by the Pelta page on newer boards
        {AnomalyAndMask, {4294967296.0}, "outside"},
        // What the variable can hold, narrower than its byte.
        {ClockTime, {25, 0, 0}, "outside 0..23"},
        {ClockTime, {10, 61, 0}, "outside 0..59"},
        {ClockTime, {10, 0, 61}, "outside 0..59"},
        {ClockDate, {7, 13, 2, 26}, "outside 1..12"},
        {ClockDate, {0, 12, 2, 26}, "outside 1..31"},
        {ClockDate, {7, 12, 8, 26}, "outside 1..7"},
        {FlangingProfile, {16}, "outside 0..15"},
        {MultiHeadCount, {33}, "outside 0..32"},
        {Dac16Force, {-1}, "neither 0 nor 1"},
        {Dac16Force, {2}, "neither 0 nor 1"},
        {ClockRun, {0.5}, "neither 0 nor 1"},
    };
    for (const BadWrite& c : cases) {
        link::TCmd cmd;
        std::string why;
        EXPECT_FALSE(MakeWriteVariable(c.code, c.values, cmd, &why)) << CodeText(c.code);
        EXPECT_NE(why.find(c.reasonPart), std::string::npos) << CodeText(c.code) << ": " << why;
    }
}

TEST(WriteVariableRefusals, QueueNothing) {
    test::ScriptedPort port;
    link::ManualClock clock;
    link::TComProtocol protocol(port, clock);
    EXPECT_FALSE(SendWriteVariable(protocol, 0x070C, {1.0}));
    EXPECT_FALSE(SendWriteVariable(protocol, IAdj, {1e9}));
    EXPECT_EQ(protocol.QueueCount(), 0u);
    EXPECT_TRUE(SendWriteVariable(protocol, IAdj, {1.0}));
    EXPECT_EQ(protocol.QueueCount(), 1u);
}

TEST(OtherRequests, TypeAndPayload) {
    struct Row {
        link::TCmd cmd;
        std::uint8_t type;
        std::vector<std::uint8_t> payload;
    };
    IoForceMasks reset;
    reset.releLedOff = 0;
    IoForceMasks some;
    some.exp1InputsOn = 0x321;
    some.exp2InputsOn = 0x654;
    some.exp1OutputsOff = 0x0F;
    some.exp2OutputsOff = 0xF0;
    test::ScriptedPort port;
    link::ManualClock clock;
    link::TComProtocol protocol(port, clock);
    ASSERT_TRUE(SendIoForce(protocol, reset));
    ASSERT_TRUE(SendIoForce(protocol, some));
    std::vector<std::uint8_t> resetBytes = {0x0A, 0x02};
    for (int g = 0; g < 4; ++g) {
        resetBytes.insert(resetBytes.end(), {0, 0, 0, 0});
        resetBytes.insert(resetBytes.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    }
    resetBytes.insert(resetBytes.end(), {0x00, 0xFF});
    std::vector<std::uint8_t> someBytes = {0x0A, 0x02, 0,    0,    0,    0,    0xFF, 0xFF, 0xFF,
                                           0xFF, 0x21, 0x43, 0x65, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
                                           0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0,
                                           0,    0,    0,    0xF0, 0x0F, 0xFF, 0xFF, 0x00, 0xFF};
    const Row rows[] = {
        {MakeReadVariable(ClockTime), kReadVariable, {0x00, 0x03}},
        {MakeReadVariable(FirmwareVersion), kReadVariable, {0x00, 0x00}},
        {MakeReadMemory(16, 8), kReadMemory, {0x00, 0x10, 0x08}},
        {MakeReadMemory(0x03E0, 32), kReadMemory, {0x03, 0xE0, 0x20}},
        {MakeStartCommand(kStartPowerDiagnosis), 0x10, {}},
        {MakeStartCommand(kStartFactoryTuning), 0x11, {0, 0, 0, 0}},
        {MakeStartCommand(kStartSecondaryTuning), 0x12, {}},
        {MakeStartCommand(kStartPdDiagnosis), 0x13, {}},
        {MakeFlangingCommand(kSaveFlangingProfile, 3), 0x20, {0x03}},
        {MakeFlangingCommand(kFlangingAmplitudeUp), 0x21, {}},
        {MakeFlangingCommand(kFlangingOffsetDown), 0x24, {}},
        {MakeSecurityCode(true), 0xF0, {0x19, 0x2D, 0x7E, 0x4B}},
        {MakeSecurityCode(false), 0xF1, {0x19, 0x2D, 0x7E, 0x4B}},
        {*protocol.QueuedAt(0), kWriteVariable, resetBytes},
        {*protocol.QueuedAt(1), kWriteVariable, someBytes},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.cmd.Type, r.type);
        EXPECT_EQ(Payload(r.cmd), r.payload) << "type " << int(r.type);
    }
}

TEST(MemoryWrites, TypedBytesAndTheBodyLimit) {
    link::TCmd cmd;
    const std::uint8_t ab[] = {'A', 'B'};
    ASSERT_TRUE(MakeWriteMemory(300, ab, cmd, nullptr));
    EXPECT_EQ(cmd.Type, kWriteMemory);
    EXPECT_EQ(Payload(cmd), (std::vector<std::uint8_t>{0x01, 0x2C, 0x41, 0x42}));

    // 245 data bytes still fit with the security code; 246 never would.
    std::vector<std::uint8_t> big(245, 'x');
    std::string why;
    EXPECT_TRUE(MakeWriteMemory(0, big, cmd, &why)) << why;
    big.push_back('x');
    EXPECT_FALSE(MakeWriteMemory(0, big, cmd, &why));
    EXPECT_NE(why.find("nothing sent"), std::string::npos);
}

TEST(SecurityCode, TravelsInsideWriteMemoryAndFactoryTuningAtExactly210) {
    // The builders leave it to the codec; check the two meet as the board expects.
    link::EncodedRequest req;
    const link::TCmd start = MakeStartCommand(kStartFactoryTuning);
    for (std::uint32_t version : {0x020100u, 0x020101u, 0u}) {
        ASSERT_TRUE(
            link::EncodeRequest(start.Type, start.Payload.data(), start.Count, version, req));
        const std::size_t body = req.unencodedCount - 2;
        EXPECT_EQ(body, version == 0x020100u ? 9u : 5u) << std::hex << version;
        if (version == 0x020100u) {
            EXPECT_EQ(
                (std::vector<std::uint8_t>(req.unencoded.begin() + 1, req.unencoded.begin() + 5)),
                (std::vector<std::uint8_t>{0x19, 0x2D, 0x7E, 0x4B}));
        }
    }
}

TEST(Calendar, DayOfWeekAndDateValues) {
    EXPECT_EQ(DayOfWeek(2026, 12, 7), 2);  // Monday
    EXPECT_EQ(DayOfWeek(2000, 1, 1), 7);   // Saturday
    EXPECT_EQ(DayOfWeek(2024, 2, 29), 5);  // Thursday
    std::vector<double> v;
    std::string why;
    ASSERT_TRUE(ClockDateValues(2026, 12, 7, v, &why));
    EXPECT_EQ(v, (std::vector<double>{7, 12, 2, 26}));
    EXPECT_FALSE(ClockDateValues(2026, 2, 29, v, &why));
    EXPECT_FALSE(ClockDateValues(1999, 12, 31, v, &why));
    EXPECT_FALSE(ClockDateValues(2026, 13, 1, v, &why));
}

TEST(Catalogue, NamesAndCodesResolve) {
    EXPECT_EQ(ParseVariableCode("clocktime"), std::optional<std::uint16_t>(0x0300));
    EXPECT_EQ(ParseVariableCode("0x0A03"), std::optional<std::uint16_t>(0x0A03));
    EXPECT_EQ(ParseVariableCode("620"), std::optional<std::uint16_t>(0x0620));
    EXPECT_EQ(ParseVariableCode("0x12345"), std::nullopt);
    EXPECT_EQ(ParseVariableCode("nonsense"), std::nullopt);
    EXPECT_EQ(ParseVariableCode(""), std::nullopt);
    // Every row's name finds the row back, and codes are unique.
    for (const VariableInfo& v : Variables()) {
        EXPECT_EQ(FindVariable(v.name), &v);
        EXPECT_EQ(FindVariable(v.code), &v);
        EXPECT_TRUE(v.readable || v.writable) << v.name;
        EXPECT_EQ(v.readable, v.readLength > 0) << v.name;
    }
}

}  // namespace
