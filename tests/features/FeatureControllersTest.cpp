// The feature controllers owned by the core (EEPROM tools, welder logs,
// flanging, power procedures) against the simulated board: what they keep,
// what they hand their views, and the one outcome each sequence ends with.

#include <gtest/gtest.h>

#include <algorithm>

#include "SimLink.h"
#include "features/Flanging.h"
#include "features/PowerProcedures.h"
#include "support/ScriptedPort.h"

using namespace orvan;
using namespace orvan::commands;

namespace {

std::vector<int> Writes(const test::SimPort& port) {
    std::vector<int> r;
    for (const auto& b : port.bodies)
        if (b.size() >= 3 && b[0] == kWriteMemory) r.push_back((b[1] << 8) | b[2]);
    return r;
}
std::vector<std::pair<int, int>> Reads(const test::SimPort& port) {
    std::vector<std::pair<int, int>> r;
    for (const auto& b : port.bodies)
        if (b.size() == 4 && b[0] == kReadMemory) r.push_back({(b[1] << 8) | b[2], b[3]});
    return r;
}

TEST(ConfigUpload, ImageThenTuningLog) {
    test::SimRig rig;
    for (std::size_t i = 400; i < 720; ++i)
        rig.model.Eeprom()[i] = static_cast<std::uint8_t>(i * 7);
    rig.session.StartConfigUpload();
    rig.Run();
    std::vector<std::pair<int, int>> expected;
    for (int a = 16; a < 400; a += 32) expected.push_back({a, 32});
    for (int a = 400; a < 720; a += 32) expected.push_back({a, 32});
    EXPECT_EQ(Reads(rig.port), expected);
    EXPECT_TRUE(std::equal(rig.session.configImage.begin(), rig.session.configImage.end(),
                           rig.model.Eeprom().begin() + 16));
    EXPECT_TRUE(std::equal(rig.core.Logs().tuningLogImage.begin(),
                           rig.core.Logs().tuningLogImage.end(), rig.model.Eeprom().begin() + 400));
    EXPECT_EQ(rig.view.configComplete, 1);
    EXPECT_EQ(rig.view.tuningComplete, 1);
    EXPECT_EQ(rig.view.uploadChunks, 12);
    EXPECT_EQ(rig.session.readPurpose, kPurposeRaw);
}

TEST(EventLogAndDump, ListedAndReleased) {
    test::SimRig rig;
    ASSERT_TRUE(rig.core.EventLog().StartEventLogRead());
    rig.Run();
    // The simulator's sample log: nine events, decoded from 784 on.
    ASSERT_EQ(rig.view.eventLog.lines.size(), 9u);
    EXPECT_EQ(
        rig.view.eventLog.lines[0].record,
        features::EventRecordAt(std::span<const std::uint8_t>(rig.model.Eeprom()).subspan(784), 0));
    EXPECT_TRUE(rig.core.EventLog().eventLog.empty());

    ASSERT_TRUE(rig.core.Eeprom().StartEepromDump());
    rig.Run();
    ASSERT_EQ(rig.view.dumpRows.size(), 64u);
    EXPECT_EQ(rig.view.dumpRows.front().addressText, "0000");
    EXPECT_EQ(rig.view.dumpRows.back().addressText, "03F0");
    EXPECT_EQ(rig.view.dumpRows[0].asciiText.substr(0, 10), "SIM-000001");
}

TEST(FlangingProfiles, RowsFromAddress32And64) {
    test::SimRig rig;
    // Profile 1: amplitude 65535 (10), offset 32768 (5.000).
    auto& e = rig.model.Eeprom();
    e[32] = 0xFF, e[33] = 0xFF, e[34] = 0x00, e[35] = 0x80;
    (void)rig.core.Flanging().StartFlangingProfilesRead(true);
    rig.Run();
    ASSERT_EQ(rig.view.profiles.size(), 8u);
    EXPECT_EQ(rig.view.profiles.front().profile, 9);
    (void)rig.core.Flanging().StartFlangingProfilesRead(false);
    rig.Run();
    ASSERT_EQ(rig.view.profiles.size(), 8u);
    EXPECT_EQ(rig.view.profiles[0].profile, 1);
    EXPECT_DOUBLE_EQ(rig.view.profiles[0].amplitude, 10.0);
    EXPECT_DOUBLE_EQ(rig.view.profiles[0].offset, 5.0);
}

TEST(EepromFormat, ThirtyTwoPagesAndARefusalEndsIt) {
    {
        test::SimRig rig;
        ASSERT_TRUE(rig.core.Eeprom().StartEepromFormat());
        rig.Run();
        const auto w = Writes(rig.port);
        ASSERT_EQ(w.size(), 32u);
        EXPECT_EQ(w.back(), 992);
        EXPECT_EQ(rig.view.formatComplete, 1);
        EXPECT_TRUE(std::all_of(rig.model.Eeprom().begin(), rig.model.Eeprom().end(),
                                [](auto b) { return b == 0xFF; }));
    }
    {
        test::SimRig rig;
        sim::ForcedError e;
        e.code = 10;
        e.remaining = 1;
        e.type = kWriteMemory;
        e.after = 2;
        rig.model.ForceError(e);
        ASSERT_TRUE(rig.core.Eeprom().StartEepromFormat());
        rig.Run();
        EXPECT_EQ(Writes(rig.port).size(), 3u);
        EXPECT_FALSE(rig.core.Eeprom().eepromFormatActive);
        // A later write of another sender does not continue the format.
        const std::uint8_t ab[] = {'A', 'B'};
        ASSERT_TRUE(rig.session.WriteMemoryBytes(64, ab));  // the refused page's address
        rig.Run();
        EXPECT_EQ(Writes(rig.port).size(), 4u);
    }
}

TEST(TuningLogRead, WaitsItsTurnBehindAnotherChain) {
    test::SimRig rig;
    ASSERT_TRUE(rig.core.Eeprom().StartEepromDump());
    EXPECT_FALSE(rig.core.Logs().StartTuningLogRead());
    EXPECT_EQ(rig.session.readPurpose, kPurposeEepromDump);
    rig.Run();
    EXPECT_TRUE(rig.core.Logs().StartTuningLogRead());
    rig.Run();
    EXPECT_EQ(rig.view.tuningComplete, 1);
}

TEST(NewChain, AnswersOfTheOldOneAreNotRelabelled) {
    test::SimRig rig;
    ASSERT_TRUE(rig.core.Eeprom().StartEepromDump());  // read at 0 queued
    rig.session.StartConfigUpload();                   // read at 16 queued behind it
    rig.Run();
    EXPECT_TRUE(rig.view.dumpRows.empty()) << "the dump was replaced; its answer is only listed";
    EXPECT_EQ(rig.view.rawRows.size(), 2u);
    EXPECT_EQ(rig.view.configComplete, 1);
    EXPECT_TRUE(std::equal(rig.session.configImage.begin(), rig.session.configImage.end(),
                           rig.model.Eeprom().begin() + 16));
}

}  // namespace

namespace {

// The start answer of a power procedure: its text, and the status read
// that follows one the board started, when this program started it (a start
// answer nobody asked for is shown, never followed).
TEST(StartAnswers, PermissionBitsInTheirOrder) {
    struct Row {
        std::uint8_t type, status;
        const char* text;
        std::uint16_t followUp;  // 0: nothing queued
    };
    const Row rows[] = {
        {0x10, 0x18, "Permission denied - Anomaly", 0},
        {0x10, 0x10, "Permission denied - Welding in course", 0},
        {0x10, 0x06, "Power meter not present", 0},
        {0x10, 0x04, "Power meter high temperature", 0},
        {0x10, 0x00, "Executing...", DiagnosisStatus},
        {0x13, 0x02, "Executing...", DiagnosisStatus},  // no power meter needed
        {0x13, 0x08, "Permission denied - Anomaly", 0},
        {0x11, 0x80, "Permission denied - Security code error", 0},
        {0x11, 0x20, "Executing...", TuningStatus},
        {0x12, 0x80, "Executing...", TuningStatus},
        {0x12, 0x20, "Permission denied - Diagnosis not performed", 0},
        {0x12, 0x02, "Power meter not present", 0},
    };
    for (const Row& r : rows) {
        test::ScriptedPort port;
        link::ManualClock clock;
        test::RecordingView view;
        features::TSupervisorCore core(port, clock, view);
        core.Procedures().Views().Add(view);
        struct Fixture {
            link::TComProtocol& protocol;
            test::RecordingView& view;
        } f{core.Engine().protocol, view};
        const std::vector<std::uint8_t> a = {0x06, r.type, r.status};
        ProcessAnswer(core.Engine().session, a, static_cast<std::uint8_t>(a.size() + 4));
        EXPECT_EQ(f.view.pmView, r.text) << int(r.type) << "/" << int(r.status);
        EXPECT_EQ(f.view.started, r.followUp != 0);
        EXPECT_EQ(f.protocol.QueueCount(), 0u) << "not started here: not followed";

        const features::TProcedure p = r.type == 0x10   ? features::TProcedure::MeterDiagnosis
                                       : r.type == 0x13 ? features::TProcedure::PdDiagnosis
                                       : r.type == 0x11 ? features::TProcedure::FactoryTuning
                                                        : features::TProcedure::SecondaryTuning;
        ASSERT_TRUE(core.Procedures().Start(p));
        f.protocol.ClearQueue();  // the start request itself
        ProcessAnswer(core.Engine().session, a, static_cast<std::uint8_t>(a.size() + 4));
        ASSERT_EQ(f.protocol.QueueCount(), r.followUp ? 1u : 0u);
        if (r.followUp) {
            const link::TCmd* c = f.protocol.QueuedAt(0);
            EXPECT_EQ(c->Type, kReadVariable);
            EXPECT_EQ(c->Payload[0] | (c->Payload[1] << 8), r.followUp);
        }
    }
}

TEST(EepromFormat, EndsWithOneOutcomeNamingWhereAndWhy) {
    test::SimRig rig;
    sim::ForcedError e;
    e.code = 10;
    e.remaining = 1;
    e.type = kWriteMemory;
    e.after = 2;
    rig.model.ForceError(e);
    ASSERT_TRUE(rig.core.Eeprom().StartEepromFormat());
    EXPECT_FALSE(rig.core.Eeprom().StartEepromFormat()) << "one format at a time";
    rig.Run();
    ASSERT_EQ(rig.view.outcomes.size(), 1u);
    const auto& [what, o] = rig.view.outcomes[0];
    EXPECT_EQ(what, "format");
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.where, "page 3 of 32, address 64");
    EXPECT_NE(o.why.find("EEPROM previous writing"), std::string::npos) << o.why;
    EXPECT_FALSE(rig.core.Eeprom().Busy());
    // A time-out ends it the same way, once.
    rig.port.silent = true;
    ASSERT_TRUE(rig.core.Eeprom().StartEepromFormat());
    rig.Run();
    ASSERT_EQ(rig.view.outcomes.size(), 2u);
    EXPECT_EQ(rig.view.outcomes[1].second.why, "RX TimeOut");
    EXPECT_EQ(rig.view.outcomes[1].second.where, "page 1 of 32, address 0");
}

TEST(FeatureChains, EachStartedReadEndsOnceEvenWhenSuperseded) {
    test::SimRig rig;
    ASSERT_TRUE(rig.core.Eeprom().StartEepromDump());
    ASSERT_TRUE(rig.core.EventLog().StartEventLogRead());        // takes over the dump
    (void)rig.core.Flanging().StartFlangingProfilesRead(false);  // and this the event log
    rig.Run();
    std::vector<std::pair<std::string, bool>> ends;
    for (const auto& [what, o] : rig.view.outcomes) ends.push_back({what, o.completed});
    EXPECT_EQ(ends, (std::vector<std::pair<std::string, bool>>{
                        {"dump", false}, {"event log", false}, {"flanging", true}}));
    EXPECT_EQ(rig.view.outcomes[0].second.why, "another memory read was started");
    EXPECT_TRUE(rig.view.eventLog.lines.empty());
    EXPECT_TRUE(rig.core.EventLog().eventLog.empty());
}

TEST(FlangingProfiles, ArithmeticOfTheRows) {
    struct Case {
        std::uint16_t address;
        std::vector<std::uint8_t> bytes;
        std::vector<std::array<double, 3>> rows;  // profile, amplitude, offset
    };
    const Case cases[] = {
        {32, {0xFF, 0xFF, 0x00, 0x80}, {{1, 10.0, 5.0}}},
        {64, {0x00, 0x00, 0x01, 0x00, 0x34, 0x12, 0xFF, 0x7F}, {{9, 0, 0}, {10, 0.711, 5.0}}},
        {48, {0xFF, 0xFF, 0x00, 0x80}, {}},  // not an answer of the profile area
        {32, {0xFF, 0xFF, 0x00}, {}},        // too short for one profile
    };
    for (const Case& c : cases) {
        const auto rows = features::FlangingProfileRows(c.address, c.bytes);
        ASSERT_EQ(rows.size(), c.rows.size()) << c.address;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].profile, static_cast<int>(c.rows[i][0]));
            EXPECT_DOUBLE_EQ(rows[i].amplitude, c.rows[i][1]);
            EXPECT_DOUBLE_EQ(rows[i].offset, c.rows[i][2]);
        }
    }
}

}  // namespace
