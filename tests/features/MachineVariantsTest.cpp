// The machine-variant controllers (16-bit DAC, Pelta, multi-head,
// diameter/height, flanging) against the simulated board: the request bytes of
// each action, the up/down steps and their limits, the protocol and board-type
// conditions, and typed texts that must send nothing.

#include <gtest/gtest.h>

#include <functional>

#include "SimLink.h"
#include "features/MachineVariants.h"
#include "features/SupervisorCore.h"

using namespace orvan;
using namespace orvan::commands;
using namespace orvan::features;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct VariantRig : test::SimRig {
    explicit VariantRig(std::uint16_t boardType = 0, std::uint32_t protocolVersion = 0) {
        model.boardType = boardType;
        session.boardType = boardType;
        protocol.BoardProtocolVersion = protocolVersion;
    }
    // Bodies (type, payload) the board received since the last call.
    std::vector<Bytes> Sent() {
        Run();
        std::vector<Bytes> r(port.bodies.begin() + seen, port.bodies.end());
        seen = port.bodies.size();
        return r;
    }
    std::size_t seen = 0;
};

Bytes Rd(std::uint16_t code) {
    return {kReadVariable, static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8)};
}

struct ActionCase {
    const char* name;
    std::uint16_t boardType;
    std::uint32_t protocol;
    std::function<TResult(TSupervisorCore&)> act;
    std::vector<Bytes> sent;
    bool refused = false;  // nothing to send, and the user told why
};

TEST(MachineVariants, RequestBytesOfEachAction) {
    const ActionCase cases[] = {
        {"Pelta work: duty then frequency, x10 and x100 LE",
         kBoardPelta,
         0x020209,
         [](TSupervisorCore& c) {
             return c.Pelta().Enter("edtPeltaWork_f",
                                    {{"edtPeltaWork_f", "12,5"}, {"edtPeltaWork_d", "33,3"}}, ',');
         },
         {{kWriteVariable, 0x00, 0x07, 0x4D, 0x01, 0xE2, 0x04}}},
        {"Pelta slope: OFF then ON",
         kBoardPelta,
         0x020209,
         [](TSupervisorCore& c) {
             return c.Pelta().Enter("edtPeltaSlopeON",
                                    {{"edtPeltaSlopeON", "20"}, {"edtPeltaSlopeOFF", "300"}}, ',');
         },
         {{kWriteVariable, 0x01, 0x07, 0x2C, 0x01, 0x14, 0x00}}},
        {"laser pulse x1000 big-endian",
         kBoardPelta,
         0x020209,
         [](TSupervisorCore& c) {
             return c.Pelta().Enter("edtPeltaLaserPulse", {{"edtPeltaLaserPulse", "1,5"}}, ',');
         },
         {{kWriteVariable, 0x09, 0x07, 0x05, 0xDC}}},
        {"strobe delay arrow writes on any protocol",
         kBoardPelta,
         0x020209,
         [](TSupervisorCore& c) { return c.Pelta().Step("edtPeltaStrobeDelay", true); },
         {{kWriteVariable, 0x08, 0x07, 0x00, 0xC8}}},
        {"strobe delay Enter on 2.2.2",
         kBoardPelta,
         0x020202,
         [](TSupervisorCore& c) {
             return c.Pelta().Enter("edtPeltaStrobeDelay", {{"edtPeltaStrobeDelay", "3"}}, ',');
         },
         {{kWriteVariable, 0x08, 0x07, 0x01, 0x2C}}},
        {"strobe delay Enter on 2.2.3 sends nothing",
         kBoardPelta,
         0x020203,
         [](TSupervisorCore& c) {
             return c.Pelta().Enter("edtPeltaStrobeDelay", {{"edtPeltaStrobeDelay", "3"}}, ',');
         },
         {},
         true},
        {"strobe delay Enter on 2.2.1 sends nothing",
         kBoardPelta,
         0x020201,
         [](TSupervisorCore& c) {
             return c.Pelta().Enter("edtPeltaStrobeDelay", {{"edtPeltaStrobeDelay", "3"}}, ',');
         },
         {},
         true},
        {"preion2 enable: zero byte, then the box",
         kBoardPelta,
         0x020209,
         [](TSupervisorCore& c) { return c.Pelta().SetPreion2Enabled(true); },
         {{kWriteVariable, 0x04, 0x07, 0x00, 0x01}}},
        {"work read on 2.2.1 asks two",
         kBoardPelta,
         0x020201,
         [](TSupervisorCore& c) { return c.Pelta().ReadWork(); },
         {Rd(PeltaWork), Rd(PeltaSlope)}},
        {"work read on 2.2.2 asks four",
         kBoardPelta,
         0x020202,
         [](TSupervisorCore& c) { return c.Pelta().ReadWork(); },
         {Rd(PeltaWork), Rd(PeltaSlope), Rd(PeltaLaserPulse), Rd(PeltaStrobeDelay)}},
        {"optional preion read with its enable",
         kBoardPelta,
         0x020209,
         [](TSupervisorCore& c) { return c.Pelta().ReadPreion2(); },
         {Rd(PeltaPreion2), Rd(PeltaPreion2Enable)}},
        {"head count read with frequency and preion",
         kBoardMultiHead,
         0x020209,
         [](TSupervisorCore& c) { return c.MultiHead().ReadHeads(); },
         {Rd(MultiHeadCount), Rd(MultiHeadFrequency), Rd(MultiHeadPreion)}},
        {"head anomaly words",
         kBoardMultiHead,
         0x020209,
         [](TSupervisorCore& c) { return c.MultiHead().GetAnomaly(); },
         {Rd(MultiHeadTimeouts), Rd(MultiHeadErrorPositions), Rd(MultiHeadCrcPositions)}},
        {"head frequency x100 big-endian",
         kBoardMultiHead,
         0x020209,
         [](TSupervisorCore& c) { return c.MultiHead().WriteFrequency("12,34", ','); },
         {{kWriteVariable, 0x20, 0x08, 0x04, 0xD2}}},
        {"head count one byte",
         kBoardMultiHead,
         0x020209,
         [](TSupervisorCore& c) { return c.MultiHead().WriteCount("6"); },
         {{kWriteVariable, 0x00, 0x08, 0x06}}},
        {"diameter point: mm, then volts x204.6, big-endian",
         kBoardMultiHead,
         0x020209,
         [](TSupervisorCore& c) { return c.DiameterHeight().WritePoint(2, "40", "2,5", ','); },
         {{kWriteVariable, 0x02, 0x09, 0x00, 0x28, 0x01, 0xFF}}},
        {"diameter Load CFG in order",
         kBoardMultiHead,
         0x020209,
         [](TSupervisorCore& c) { return c.DiameterHeight().LoadCfg(); },
         {Rd(DiameterHeightPoint0), Rd(DiameterHeightPoint1), Rd(DiameterHeightPoint2),
          Rd(DiameterHeightPoint3)}},
        {"flanging wave x6553.5 LE",
         kBoardFlanging16,
         0x020209,
         [](TSupervisorCore& c) { return c.Flanging().WriteWave("5", "1", ','); },
         {{kWriteVariable, 0x03, 0x0A, 0xFF, 0x7F, 0x99, 0x19}}},
        {"flanging speed two bytes",
         kBoardFlanging16,
         0x020209,
         [](TSupervisorCore& c) { return c.Flanging().WriteSpeed("31"); },
         {{kWriteVariable, 0x00, 0x0A, 0x1F, 0x00}}},
        {"amplitude jog, then the wave read",
         kBoardFlanging16,
         0x020209,
         [](TSupervisorCore& c) { return c.Flanging().JogAmplitude(true); },
         {{kFlangingAmplitudeUp}, Rd(FlangingWave)}},
        {"offset jog down",
         kBoardFlanging16,
         0x020209,
         [](TSupervisorCore& c) { return c.Flanging().JogOffset(false); },
         {{kFlangingOffsetDown}, Rd(FlangingWave)}},
        {"profile button: profile, then wave, profile, power, speed",
         kBoardFlanging16,
         0x020209,
         [](TSupervisorCore& c) { return c.Flanging().SelectProfile(9); },
         {{kWriteVariable, 0x02, 0x0A, 0x09},
          Rd(FlangingWave),
          Rd(FlangingProfile),
          Rd(FlangingPower),
          Rd(FlangingSpeed)}},
        {"16-bit DAC in volts: trunc(5 x 6553.5)",
         0x0100,
         0x020209,
         [](TSupervisorCore& c) { return c.Dac16().SetVolts("5", ','); },
         {{kWriteVariable, 0x02, 0x02, 0xFF, 0x7F}}},
        {"DAC force: written, then the value read",
         0x0100,
         0x020209,
         [](TSupervisorCore& c) { return c.Dac16().SetForce(true); },
         {{kWriteVariable, 0x0B, 0x02, 0x01}, Rd(Dac16Value)}},
        {"DAC read: value, then force",
         0x0100,
         0x020209,
         [](TSupervisorCore& c) { return c.Dac16().Read(); },
         {Rd(Dac16Value), Rd(Dac16Force)}},
    };
    for (const ActionCase& c : cases) {
        SCOPED_TRACE(c.name);
        VariantRig rig(c.boardType, c.protocol);
        const TResult r = c.act(rig.core);
        EXPECT_EQ(r.ok, !c.refused) << r.why;
        EXPECT_EQ(r.why.empty(), !c.refused);
        EXPECT_EQ(rig.Sent(), c.sent);
        EXPECT_TRUE(rig.view.boxes.empty());
    }
}

struct StepCase {
    const char* field;
    double from;
    bool up;
    double to;
};

TEST(MachineVariants, StepsAndClampsAtTheLimits) {
    const StepCase cases[] = {
        {"edtPeltaWork_f", 4.9, true, 5},
        {"edtPeltaWork_f", 5, true, 6},
        {"edtPeltaWork_f", 14, true, 15},
        {"edtPeltaWork_f", 15, true, 25},
        {"edtPeltaWork_f", 100, true, 100},
        {"edtPeltaWork_f", 1, false, 1},
        {"edtPeltaWork_f", 5, false, 4},
        {"edtPeltaWork_f", 1.2, false, 1.1},
        {"edtPeltaWork_d", 0.1, false, 0.1},
        {"edtPeltaWork_d", 60, true, 60},
        {"edtPeltaPreion1_d", 0.062, false, 0.062},
        {"edtPeltaPreion1_d", 4.96, true, 5},
        {"edtPeltaPreion2_f", 99.9, true, 100},
        {"edtPeltaStrobeDelay", 200, true, 200},
        {"edtPeltaStrobeDelay", 0, false, 0},
        {"edtPeltaLaserPulse", 9.95, true, 10},
        {"edtPeltaLaserPulse", 1, false, 1},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " from " + std::to_string(c.from));
        VariantRig rig(kBoardPelta, 0x020209);
        TVariableForm& form = rig.core.Pelta().Form();
        form.Hold(c.field, c.from);
        ASSERT_TRUE(rig.core.Pelta().Step(c.field, c.up).ok);
        EXPECT_DOUBLE_EQ(form.Value(c.field), c.to);
        ASSERT_EQ(rig.Sent().size(), 1u);
    }
}

TEST(MachineVariants, StepStartsFromTheNumberTheBoardAnswered) {
    VariantRig rig(kBoardPelta, 0x020209);
    ASSERT_TRUE(rig.core.Pelta().ReadWork().ok);
    rig.Sent();
    // The simulator holds 2.5 kHz and 15 %.
    EXPECT_DOUBLE_EQ(rig.core.Pelta().Form().Value("edtPeltaWork_f"), 2.5);
    ASSERT_TRUE(rig.core.Pelta().Step("edtPeltaWork_f", true).ok);
    // 2.6 kHz x100 = 260, duty 15 % x10 = 150.
    EXPECT_EQ(rig.Sent(),
              std::vector<Bytes>({{kWriteVariable, 0x00, 0x07, 0x96, 0x00, 0x04, 0x01}}));
    EXPECT_EQ(rig.model.Fields(PeltaWork), (std::vector<std::uint32_t>{260, 150}));
}

struct RefusalCase {
    const char* name;
    std::uint16_t boardType;
    std::function<TResult(TSupervisorCore&)> act;
    const char* says;
};

TEST(MachineVariants, BadTypedValuesSendNothingAndNameTheField) {
    const RefusalCase cases[] = {
        {"not a number", kBoardPelta,
         [](TSupervisorCore& c) {
             return c.Pelta().Enter("edtPeltaWork_f", {{"edtPeltaWork_f", "abc"}}, ',');
         },
         "Fequenza: 'abc' is not a number"},
        {"a point where the user's separator is a comma", kBoardPelta,
         [](TSupervisorCore& c) {
             return c.Pelta().Enter("edtPeltaWork_f", {{"edtPeltaWork_f", "1.5"}}, ',');
         },
         "'1.5' is not a number"},
        {"a 70 ms pulse would wrap to 4.464 ms", kBoardPelta,
         [](TSupervisorCore& c) {
             return c.Pelta().Enter("edtPeltaLaserPulse", {{"edtPeltaLaserPulse", "70"}}, ',');
         },
         "Durata impulso: 70 is outside 1..10; nothing sent"},
        {"a preionization beyond 5 us, named by its group", kBoardPelta,
         [](TSupervisorCore& c) {
             return c.Pelta().Enter("edtPeltaPreion1_d", {{"edtPeltaPreion1_d", "9"}}, ',');
         },
         "Parametri preionizzazione > Durata: 9 is outside 0,062..5; nothing sent"},
        {"negative DAC voltage", 0x0100,
         [](TSupervisorCore& c) { return c.Dac16().SetVolts("-1", ','); },
         "DAC 16 bit > V: -1 is outside 0..10"},
        {"DAC counts beyond the word", 0x0100,
         [](TSupervisorCore& c) { return c.Dac16().SetCounts(70000); }, "outside 0..65535"},
        {"decimals in a whole number", kBoardMultiHead,
         [](TSupervisorCore& c) { return c.MultiHead().WriteCount("2,5"); },
         "Heads num: '2,5' is not a whole number"},
        {"more heads than the words have bits", kBoardMultiHead,
         [](TSupervisorCore& c) { return c.MultiHead().WriteCount("33"); }, "outside 0..32"},
        {"diameter voltage above 5 V", kBoardMultiHead,
         [](TSupervisorCore& c) { return c.DiameterHeight().WritePoint(0, "10", "5,5", ','); },
         "Height max (V): 5,5 is outside"},
        {"speed 40 on a 16-profile board", kBoardFlanging16,
         [](TSupervisorCore& c) { return c.Flanging().WriteSpeed("40"); }, "outside 0..31"},
        {"power step 16", kBoardFlanging16,
         [](TSupervisorCore& c) { return c.Flanging().WritePower("16"); }, "outside 0..15"},
        {"profile 8 on an 8-profile board", 0x0C00,
         [](TSupervisorCore& c) { return c.Flanging().SelectProfile(8); }, "outside 0..7"},
        {"Pelta page on a diode source", 0x0100,
         [](TSupervisorCore& c) { return c.Pelta().ReadWork(); },
         "the connected board (type 0x0100) has no Pelta variables"},
        {"flanging page on the multi-head machine", kBoardMultiHead,
         [](TSupervisorCore& c) { return c.Flanging().ReadProfiles(); }, "has no flanging"},
        {"multi-head page on the flanging machine", kBoardFlanging16,
         [](TSupervisorCore& c) { return c.MultiHead().GetAnomaly(); }, "has no multi-head"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        VariantRig rig(c.boardType, 0x020209);
        const TResult r = c.act(rig.core);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.why.find(c.says), std::string::npos) << r.why;
        EXPECT_TRUE(rig.Sent().empty());
    }
}

TEST(MachineVariants, SpeedRangeFollowsTheBoardType) {
    VariantRig rig(0x0C00, 0x020209);
    EXPECT_TRUE(rig.core.Flanging().WriteSpeed("63").ok);
    EXPECT_FALSE(rig.core.Flanging().WriteSpeed("64").ok);
    EXPECT_EQ(rig.core.Flanging().SpeedCaption(), "Speed (mm/s) (0-63)");
    rig.session.boardType = kBoardFlanging16;
    EXPECT_EQ(rig.core.Flanging().SpeedCaption(), "Speed (mm/s) (0-31)");
    EXPECT_FALSE(rig.core.Flanging().WriteSpeed("32").ok);
}

TEST(MachineVariants, PagesServedByBoardType) {
    struct Row {
        std::uint16_t type;
        bool dac, pelta, multi, diameter, flanging;
    };
    const Row rows[] = {
        {0, true, true, true, true, true},                 // not read yet
        {kBoardSource, true, false, false, false, false},  // the diode source
        {kBoardPelta, true, true, false, false, false},
        {kBoardMultiHead, true, false, true, true, false},
        {kBoardFlanging16, true, false, false, false, true},
        {0x0C00, true, false, true, true, true},  // a machine this program does not know
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.type);
        EXPECT_EQ(VariantServes(Variant::Dac16, r.type), r.dac);
        EXPECT_EQ(VariantServes(Variant::Pelta, r.type), r.pelta);
        EXPECT_EQ(VariantServes(Variant::MultiHead, r.type), r.multi);
        EXPECT_EQ(VariantServes(Variant::DiameterHeight, r.type), r.diameter);
        EXPECT_EQ(VariantServes(Variant::Flanging, r.type), r.flanging);
    }
}

TEST(MachineVariants, PeltaLayoutByProtocol) {
    struct Row {
        std::uint32_t version;
        TPeltaLayout layout;
    };
    const Row rows[] = {
        {0x020200, {false, false, false, false}}, {0x020201, {false, false, false, false}},
        {0x020202, {true, true, false, true}},    {0x020203, {true, false, true, true}},
        {0x020209, {true, false, true, true}},
    };
    for (const Row& r : rows) EXPECT_EQ(PeltaLayoutFor(r.version), r.layout) << r.version;
}

class Recorder : public IMultiHeadView, public IPeltaView, public IFlangingView {
  public:
    void BuildHeads(int shown, int reported) override { builds.push_back({shown, reported}); }
    void ShowHeadWord(std::uint16_t code, std::uint32_t bits) override {
        words.push_back({code, bits});
    }
    void ShowPeltaLayout(const TPeltaLayout& l) override { layouts.push_back(l); }
    void OnFlangingProfileCount(int n, const std::string& caption) override {
        counts.push_back(n);
        captions.push_back(caption);
    }
    std::vector<std::pair<int, int>> builds;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> words;
    std::vector<TPeltaLayout> layouts;
    std::vector<int> counts;
    std::vector<std::string> captions;
};

TEST(MachineVariants, HeadFramesAreBuiltForTheCountNeverBeyondTheWords) {
    VariantRig rig(kBoardMultiHead, 0x020209);
    Recorder rec;
    rig.core.Attach(rec);
    rig.model.Variables()[MultiHeadCount].fields = {3};
    ASSERT_TRUE(rig.core.MultiHead().ReadCount().ok);
    rig.Run();
    rig.model.Variables()[MultiHeadCount].fields = {40};
    ASSERT_TRUE(rig.core.MultiHead().ReadCount().ok);
    rig.Run();
    EXPECT_EQ(rec.builds, (std::vector<std::pair<int, int>>{{3, 3}, {32, 40}}));
    ASSERT_TRUE(rig.core.MultiHead().GetAnomaly().ok);
    rig.Run();
    ASSERT_EQ(rec.words.size(), 3u);
    EXPECT_EQ(rec.words[0], (std::pair<std::uint16_t, std::uint32_t>{MultiHeadTimeouts, 2}));
    EXPECT_EQ(rig.core.MultiHead().crcPositions, 8u);
}

TEST(MachineVariants, PeltaLayoutFollowsTheProtocolAnswerOnPeltaBoardsOnly) {
    for (std::uint16_t type : {kBoardPelta, kBoardSource}) {
        VariantRig rig(0, 0);
        rig.model.boardType = type;
        rig.model.protocol = {2, 2, 2};
        Recorder rec;
        rig.core.Attach(rec);
        rig.session.RequestHardwareInfo();
        rig.Run();
        if (type == kBoardPelta) {
            ASSERT_EQ(rec.layouts.size(), 1u);
            EXPECT_TRUE(rec.layouts[0].twoShot);
        } else {
            EXPECT_TRUE(rec.layouts.empty());
        }
    }
}

TEST(MachineVariants, SavedProfileOfASixteenProfileBoardIsReadBack) {
    VariantRig rig(0, 0);
    rig.model.boardType = kBoardFlanging16;
    sim::SeedFlangingProfiles(rig.model.Eeprom());
    Recorder rec;
    rig.core.Flanging().Views().Add(rec);
    rig.session.RequestHardwareInfo();
    rig.Run();
    EXPECT_EQ(rec.counts, std::vector<int>{16});
    EXPECT_EQ(rec.captions, std::vector<std::string>{"Speed (mm/s) (0-31)"});
    rig.Sent();
    // The board's wave (2 V, 1 V) kept as profile 12.
    ASSERT_TRUE(rig.core.Flanging().SelectProfile(12).ok);
    rig.Sent();
    ASSERT_TRUE(rig.core.Flanging().SaveProfile().ok);
    const std::vector<Bytes> sent = rig.Sent();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], (Bytes{kSaveFlangingProfile, 12}));
    EXPECT_EQ(sent[1], (Bytes{kReadMemory, 0x00, 32, 32}));
    EXPECT_EQ(sent[2], (Bytes{kReadMemory, 0x00, 64, 32}));
    const auto& table = rig.core.Flanging().table;
    ASSERT_EQ(table.size(), 16u);
    EXPECT_EQ(table[12].profile, 13);
    EXPECT_DOUBLE_EQ(table[12].amplitude, 2.0);
    EXPECT_DOUBLE_EQ(table[12].offset, 1.0);
    EXPECT_DOUBLE_EQ(table[15].amplitude, 8.0);  // the seeded ramp
}

TEST(MachineVariants, CommandLineWritesGoThroughThePageChecks) {
    VariantRig rig(kBoardPelta, 0x020209);
    TVariableForm* form = VariantFormFor(rig.core, PeltaWork);
    ASSERT_EQ(form, &rig.core.Pelta().Form());
    EXPECT_EQ(VariantFormFor(rig.core, ClockTime), nullptr);
    const double ok[] = {1.25, 12.5};  // duty, then frequency: the write layout's order
    ASSERT_TRUE(WriteVariantValues(*form, PeltaWork, ok).ok);
    EXPECT_EQ(rig.Sent(),
              std::vector<Bytes>({{kWriteVariable, 0x00, 0x07, 0x0C, 0x00, 0xE2, 0x04}}));
    const double tooHigh[] = {70, 12.5};
    const TResult r = WriteVariantValues(*form, PeltaWork, tooHigh);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.why.find("Duty cycle"), std::string::npos) << r.why;
    EXPECT_TRUE(rig.Sent().empty());
}

}  // namespace
