// Decoding of ReadVariable answers taken from the board's layouts.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "SimLink.h"
#include "commands/VariableFields.h"
#include "support/ScriptedPort.h"

using namespace orvan;
using namespace orvan::commands;

namespace {

struct Fixture {
    test::ScriptedPort port;
    link::ManualClock clock;
    link::TComProtocol protocol{port, clock};
    test::RecordingView view;
    TSession session{protocol, view.events, view};

    // A ReadVariable answer with the board's one-byte trailer.
    void Answer(std::uint16_t code, std::vector<std::uint8_t> value) {
        std::vector<std::uint8_t> a = {0x06, 0x0B, static_cast<std::uint8_t>(code),
                                       static_cast<std::uint8_t>(code >> 8)};
        a.insert(a.end(), value.begin(), value.end());
        a.push_back(0x00);
        ProcessAnswer(session, a, static_cast<std::uint8_t>(a.size() + 4));
    }
    std::map<std::string, std::string> Fields() const {
        std::map<std::string, std::string> m;
        if (!view.variables.empty())
            for (const auto& f : view.variables.back().fields) m[f.field] = f.text;
        return m;
    }
};

struct DecodeCase {
    std::uint16_t code;
    std::vector<std::uint8_t> value;
    std::map<std::string, std::string> fields;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << CodeText(c.code);
}

class VariableAnswers : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(VariableAnswers, FieldsShowTheDecodedValues) {
    Fixture f;
    f.Answer(GetParam().code, GetParam().value);
    ASSERT_EQ(f.view.variables.size(), 1u) << CodeText(GetParam().code);
    EXPECT_EQ(f.Fields(), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, VariableAnswers,
    ::testing::Values(
        DecodeCase{FirmwareVersion, {1, 2, 7}, {{"stxFWVer", "1.02.07"}}},
        DecodeCase{BoardType, {0x00, 0x05}, {{"stxBoardType", "0500"}}},
        DecodeCase{AnomalyStatus, {0x01, 0x00, 0x00, 0x80}, {{"fraAnomaly1", "0x80000001"}}},
        DecodeCase{IoStatus,
                   {0x34, 0x12, 9, 9, 0x21, 0x43, 0x65, 9, 0x02, 0x00, 9, 9, 0xAA, 0x55, 9, 9, 7},
                   {{"fraBrentaOptoInputCPU", "0x1234"},
                    {"fraBrentaOptoInputEXP1", "0x321"},
                    {"fraBrentaOptoInputEXP2", "0x654"},
                    {"fraBrentaOptoOutputCPU", "0x0002"},
                    {"fraBrentaOptoOutputEXP1", "0xAA"},
                    {"fraBrentaOptoOutputEXP2", "0x55"},
                    {"stxOutRele", "7"}}},
        DecodeCase{AnalogStatus,
                   {0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0},
                   {{"CgaAnalog0", "0"},
                    {"CgaAnalog1", "1"},
                    {"CgaAnalog2", "2"},
                    {"CgaAnalog3", "5"},
                    {"CgaAnalog4", "4"},
                    {"CgaAnalog5", "3"}}},
        DecodeCase{Dac16Value, {0x34, 0x12}, {{"cspDac16", "4660"}}},
        DecodeCase{Dac16Force, {2}, {{"chkDac16Force", "1"}}},
        DecodeCase{
            ClockTime, {9, 5, 30}, {{"edtHours", "9"}, {"edtMinutes", "5"}, {"edtSeconds", "30"}}},
        DecodeCase{ClockDate, {0x07, 0x0C, 0x02, 0x1A}, {{"calOrvanDate", "2026-12-07"}}},
        DecodeCase{ClockDate, {0x1F, 0x0C, 0x05, 0x63}, {{"calOrvanDate", "2099-12-31"}}},
        DecodeCase{ClockRun, {0}, {{"chkTKClockEN", "0"}}},
        DecodeCase{DiagnosisPower25, {0x14, 0x05}, {{"stxPwPM25", "13"}}},
        DecodeCase{DiagnosisPower100, {0x1D, 0x00}, {{"stxPwPM100", "0.29"}}},
        DecodeCase{SourceWorkTime,
                   {0x18, 0x15, 0, 0},
                   {{"stxSourceSeconds", "5400"}, {"stxSourceHours", "1.5"}}},
        DecodeCase{SourceWorkTime,
                   {0x39, 0x30, 0, 0},
                   {{"stxSourceSeconds", "12345"}, {"stxSourceHours", "3.43"}}},
        DecodeCase{ImaxByTime, {0xE6, 0x00}, {{"stxImaxByTime", "2.3 A"}}},
        DecodeCase{PowerReadings,
                   {0x10, 0x27, 0x00, 0x00, 0x64, 0x00, 0x38, 0x01, 0x40, 0x1F},
                   {{"stxOrvanPwPD", "100 W"},
                    {"stxOrvanPwPM", "0 W"},
                    {"stxOrvanIAlim", "1 A"},
                    {"stxOrvanTemp",
                     "31.2 \xC2\xB0"
                     "C"},
                    {"stxOrvanPwSet", "80 W"}}},
        DecodeCase{Imax, {0x88, 0x13}, {{"edtImax", "50"}}},
        DecodeCase{IDiodeEndLife, {0x70, 0x17}, {{"stxIDiodeEndLife", "60 A"}}},
        DecodeCase{IMaxLow, {0xAC, 0x0D}, {{"stxIMaxLow", "35 A"}}},
        DecodeCase{IAdj, {0x10, 0x27}, {{"edtIAdj", "100"}}},
        // Read halves come in the other order than written.
        DecodeCase{PeltaWork,
                   {0xE1, 0x00, 0x0F, 0x00},
                   {{"edtPeltaWork_f", "2.25"}, {"edtPeltaWork_d", "1.5"}}},
        DecodeCase{
            PeltaSlope, {20, 0, 30, 0}, {{"edtPeltaSlopeON", "20"}, {"edtPeltaSlopeOFF", "30"}}},
        DecodeCase{PeltaPreion1,
                   {0x78, 0x00, 0xDC, 0x05},
                   {{"edtPeltaPreion1_f", "1.2"}, {"edtPeltaPreion1_d", "1.5"}}},
        DecodeCase{PeltaPreion2,
                   {0x50, 0x00, 0xFA, 0x00},
                   {{"edtPeltaPreion2_f", "0.8"}, {"edtPeltaPreion2_d", "0.25"}}},
        DecodeCase{PeltaPreion2Enable, {0x03}, {{"chkPeltaPreion2EN", "1"}}},
        DecodeCase{PeltaPreion2Enable, {0x02}, {{"chkPeltaPreion2EN", "0"}}},
        DecodeCase{
            PeltaStrobeCounter, {0x70, 0x11, 0x01, 0x00}, {{"edtPeltaStrobeCounter", "70000"}}},
        DecodeCase{PeltaStrobeFault, {3, 0}, {{"edtPeltaStrobeFault", "3"}}},
        // Written big-endian, read little-endian; whole numbers only.
        DecodeCase{PeltaStrobeFilter, {0xCF, 0x07}, {{"edtPeltaStrobeFilter", "1"}}},
        DecodeCase{PeltaStrobeDelay, {0xF4, 0x01}, {{"edtPeltaStrobeDelay", "5"}}},
        DecodeCase{PeltaLaserPulse, {0xA0, 0x0F}, {{"edtPeltaLaserPulse", "4"}}},
        DecodeCase{PeltaStrobe2Shot, {0x02, 0x01}, {{"edtPeltaStrobe2Shot", "258"}}},
        DecodeCase{MultiHeadCount, {4}, {{"edtMultiHHeadsNum", "4"}}},
        DecodeCase{MultiHeadTimeouts, {0x05, 0, 0, 0}, {{"fraMultiHHeadsTout", "0x00000005"}}},
        DecodeCase{MultiHeadCrcPositions, {0, 0, 0, 1}, {{"fraMultiHCRCPos", "0x01000000"}}},
        DecodeCase{MultiHeadFrequency, {0x88, 0x13}, {{"edtMultiHFreq", "50"}}},
        DecodeCase{MultiHeadPreion, {0x19, 0x00}, {{"edtMultiHPreion", "2.5"}}},
        DecodeCase{DiameterHeightPoint1,
                   {0x0A, 0x00, 0xFF, 0x03},
                   {{"edtBirHeightMmMin", "10"}, {"edtBirHeightVMin", "5"}}},
        DecodeCase{FlangingSpeed, {20}, {{"edtFlangSpeed", "20"}}},
        DecodeCase{FlangingPower, {63}, {{"edtFlangPower", "63"}}},
        DecodeCase{FlangingProfile, {7}, {{"cseFlangingProfile", "7"}}},
        DecodeCase{FlangingWave,
                   {0xFF, 0xFF, 0x00, 0x00},
                   {{"edtFlangWaveAmplitude", "10"}, {"edtFlangWaveOffset", "0"}}}),
    [](const auto& info) { return "row" + std::to_string(info.index); });

TEST(Identity, FirmwareTextAndMachineNamesFile) {
    Fixture f;
    f.Answer(FirmwareVersion, {1, 2, 7});
    EXPECT_TRUE(f.view.namesFiles.empty()) << "no board type known yet";
    f.Answer(BoardType, {0x00, 0x01});
    EXPECT_EQ(f.session.boardType, 0x0100);
    f.Answer(FirmwareVersion, {1, 2, 7});
    ASSERT_EQ(f.view.namesFiles.size(), 1u);
    EXPECT_EQ(f.view.namesFiles[0], "IOC_0100_10207.ini");
}

TEST(Identity, ProtocolVersionReachesTheEngineAndSwitchesTheSecurityCode) {
    struct Row {
        std::vector<std::uint8_t> v;
        std::uint32_t packed;
        bool securityOn;
        const char* text;
    };
    const Row rows[] = {{{2, 1, 0}, 0x020100, false, "2.01.00"},
                        {{2, 1, 1}, 0x020101, true, "2.01.01"},
                        {{2, 0, 9}, 0x020009, false, "2.00.09"},
                        {{3, 0, 0}, 0x030000, true, "3.00.00"}};
    for (const Row& r : rows) {
        Fixture f;
        f.Answer(ProtocolVersion, r.v);
        EXPECT_EQ(f.protocol.BoardProtocolVersion, r.packed);
        EXPECT_EQ(f.Fields()["stxProtVer"], r.text);
        ASSERT_EQ(f.protocol.QueueCount(), r.securityOn ? 1u : 0u) << r.text;
        if (r.securityOn) {
            EXPECT_EQ(f.protocol.QueuedAt(0)->Type, kSecurityCodeOn);
        }
    }
}

TEST(ClockDate, ImpossibleDatesAreFlagged) {
    Fixture f;
    f.Answer(ClockDate, {0x07, 0x0C, 0x02, 0x1A});
    EXPECT_TRUE(f.view.dateValid);
    EXPECT_EQ(f.view.date, (std::array<int, 3>{2026, 12, 7}));
    f.Answer(ClockDate, {0x00, 0x00, 0x01, 0x1A});
    EXPECT_FALSE(f.view.dateValid);
    f.Answer(ClockDate, {0x1D, 0x02, 0x01, 0x19});  // 29 February 2025
    EXPECT_FALSE(f.view.dateValid);
}

TEST(AnalogStatus, WordsGoToTheirChannels) {
    Fixture f;
    f.Answer(AnalogStatus, {10, 0, 11, 0, 12, 0, 13, 0, 14, 0, 0xFF, 0x03});
    EXPECT_EQ(f.session.analogRaw, (std::array<std::uint16_t, 6>{10, 11, 12, 1023, 14, 13}));
    EXPECT_EQ(f.view.analog, f.session.analogRaw);
}

TEST(BadAnswers, ShortOrUnknownAreIgnoredAndTold) {
    Fixture f;
    // IoStatus needs 17 value bytes; 16 (trailer included) is short.
    std::vector<std::uint8_t> a = {0x06, 0x0B, 0x00, 0x02};
    a.resize(4 + 16, 0x11);
    ProcessAnswer(f.session, a, static_cast<std::uint8_t>(a.size() + 4));
    EXPECT_TRUE(f.view.variables.empty());
    f.Answer(AnomalyAndMask, {1, 2, 3, 4});  // written only
    EXPECT_TRUE(f.view.variables.empty());
    EXPECT_EQ(f.view.ignored.size(), 2u);
    // A variable this program does not know: its bytes, for whoever asked.
    f.Answer(0x0999, {1, 2});
    ASSERT_EQ(f.view.undecoded.size(), 1u);
    EXPECT_EQ(f.view.undecoded[0].first, 0x0999);
    EXPECT_EQ(f.view.undecoded[0].second.front(), 1);
    EXPECT_TRUE(f.view.variables.empty());
    // A length value below the header reads nothing.
    ProcessAnswer(f.session, std::vector<std::uint8_t>{0x06, 0x0B, 0x01, 0x00}, 0);
    EXPECT_TRUE(f.view.variables.empty());
    EXPECT_EQ(f.session.boardType, 0);
}

}  // namespace

// Every field of every readable variable, on answers of odd bytes: the field
// table knows it (a caption that is no widget name), and its raw number
// scaled by the table is the value decoded (the page's whole-number fields
// show the whole part of it), so the words and numbers a reader gets from
// the table cannot drift from what the window shows.
TEST(VariableFields, EveryDecodedFieldHasItsCaptionAndScale) {
    std::size_t fields = 0;
    for (const VariableInfo& v : Variables()) {
        if (!v.readable) continue;
        for (const std::uint8_t fill : {0x00, 0x01, 0x7F, 0xFF}) {
            Fixture f;
            std::vector<std::uint8_t> value(v.readLength);
            for (std::size_t i = 0; i < value.size(); ++i)
                value[i] = static_cast<std::uint8_t>(fill ^ (i * 37));
            f.Answer(v.code, value);
            if (f.view.variables.empty()) continue;  // a variable read as raw bytes
            for (const DecodedField& d : f.view.variables.back().fields) {
                ++fields;
                const VariableField* row = FindVariableField(d.field);
                ASSERT_NE(row, nullptr) << v.name << ": " << d.field;
                const std::string caption = VariableFieldCaption(d.field);
                EXPECT_TRUE(caption.find_first_of(" ") != std::string::npos ||
                            std::isupper(static_cast<unsigned char>(caption[0])))
                    << d.field << ": " << caption;
                EXPECT_NE(caption.substr(0, 3), "stx") << d.field;
                const double scaled = static_cast<double>(d.raw) * static_cast<double>(row->num) /
                                      static_cast<double>(row->den);
                if (d.value != scaled) {
                    EXPECT_EQ(d.value, std::floor(scaled)) << v.name << ": " << d.field;
                }
            }
        }
    }
    EXPECT_GT(fields, 200u);
}

TEST(VariableFields, ExactDecimalsWithoutFloatNoise) {
    struct Row {
        std::int64_t raw, num, den;
        const char* text;  // "" when there is no finite decimal
    } rows[] = {
        {1830, 1, 100, "18.3"},
        {1999, 1, 1000, "1.999"},
        {-25, 1, 100, "-0.25"},
        {7, 1, 1, "7"},
        {0, 1, 100, "0"},
        {65535, 1, 100, "655.35"},
        {1, 1, 3600, ""},
        {3600, 1, 3600, "1"},
        {1023, 5, 1023, "5"},
        {1, 5, 1023, ""},
        {65535, 10, 65535, "10"},
        {4294967295, 1, 10, "429496729.5"},
        {5, 1, 1000000, "0.000005"},
        {-1, 1, 2, "-0.5"},
    };
    for (const Row& r : rows) {
        const auto got = ExactDecimal(r.raw, r.num, r.den);
        if (*r.text == '\0') {
            EXPECT_FALSE(got) << r.raw << "x" << r.num << "/" << r.den << ": " << *got;
        } else {
            ASSERT_TRUE(got) << r.raw << "x" << r.num << "/" << r.den;
            EXPECT_EQ(*got, r.text);
        }
    }
    EXPECT_EQ(VariableFieldCaption("CgaAnalog3"), "Analog input 3");
    EXPECT_EQ(VariableFieldCaption("notAField"), "notAField");
}
