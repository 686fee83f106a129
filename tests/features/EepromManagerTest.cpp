// The EEPROM tools against the simulated board: request bytes, listing lines,
// the dump, the format (a dump file first, 32 pages, a refusal or a time-out
// half way leaving nothing to continue it) and the restore with its read-back.

#include <gtest/gtest.h>

#include <functional>

#include "SimLink.h"
#include "features/EepromManager.h"
#include "support/TempDir.h"

using namespace orvan;
using namespace orvan::features;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Recorder : IEepromListener {
    void OnEepromProgress(TEepromOp, TEepromPhase phase, int done, int total) override {
        steps.push_back({phase, done, total});
        if (onProgress) onProgress(phase, done);
    }
    void OnRestoreNeedsConfirmation(const std::string& board, const std::string& dump) override {
        asked.push_back(board + " / " + dump);
    }
    void OnEepromFinished(const TEepromOutcome& o) override { outcomes.push_back(o); }
    struct Step {
        TEepromPhase phase;
        int done, total;
    };
    std::vector<Step> steps;
    std::vector<std::string> asked;
    std::vector<TEepromOutcome> outcomes;
    std::function<void(TEepromPhase, int)> onProgress;
};

struct EepromRig : test::SimRig {
    Recorder rec;
    TEepromManager& tools = core.EepromManager();
    test::TempDir dir;
    TEepromImage original{};
    EepromRig() {
        tools.SetListener(&rec);
        std::copy(model.Eeprom().begin(), model.Eeprom().end(), original.begin());
    }
    std::vector<Bytes> Bodies(std::uint8_t type) const {
        std::vector<Bytes> r;
        for (const Bytes& b : port.bodies)
            if (!b.empty() && b[0] == type) r.push_back(b);
        return r;
    }
    TEepromImage Board() const {
        TEepromImage i{};
        std::copy(model.Eeprom().begin(), model.Eeprom().end(), i.begin());
        return i;
    }
    const TEepromOutcome& Outcome() {
        EXPECT_EQ(rec.outcomes.size(), 1u);
        static const TEepromOutcome none{};
        return rec.outcomes.empty() ? none : rec.outcomes.back();
    }
};

TEST(EepromTools, TypedWriteRequestBytes) {
    EepromRig rig;
    ASSERT_TRUE(rig.tools.WriteText("300", "AB"));
    rig.Run();
    EXPECT_EQ(rig.Bodies(0x01), (std::vector<Bytes>{{0x01, 0x01, 0x2C, 0x41, 0x42}}));
    EXPECT_EQ(rig.model.Eeprom()[300], 0x41);
    EXPECT_TRUE(rig.view.boxes.empty());

    EepromRig secured;
    secured.model.protocol = {2, 1, 0};
    ASSERT_TRUE(secured.tools.WriteText("300", "AB"));
    secured.Run();
    EXPECT_EQ(secured.Bodies(0x01),
              (std::vector<Bytes>{{0x01, 0x19, 0x2D, 0x7E, 0x4B, 0x01, 0x2C, 0x41, 0x42}}));
    EXPECT_EQ(secured.model.Eeprom()[301], 0x42);
}

TEST(EepromTools, RawReadListsOneLine) {
    EepromRig rig;
    ASSERT_TRUE(rig.tools.ReadRaw("16", "8"));
    rig.Run();
    EXPECT_EQ(rig.port.bodies, (std::vector<Bytes>{{0x02, 0x00, 0x10, 0x08}}));
    ASSERT_EQ(rig.view.rawRows.size(), 1u);
    const commands::MemoryRow& row = rig.view.rawRows[0];
    EXPECT_EQ(row.addressText, "0010");
    EXPECT_EQ(row.hexText.size(), 8u * 3u);
    EXPECT_EQ(row.asciiText.size(), 8u);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X ", rig.original[16]);
    EXPECT_EQ(row.hexText.substr(0, 3), hex);
}

TEST(EepromTools, RefusedInputSendsNothing) {
    EepromRig rig;
    EXPECT_FALSE(rig.tools.WriteText("1023", "AB"));
    EXPECT_FALSE(rig.tools.WriteText("abc", "AB"));
    EXPECT_FALSE(rig.tools.WriteText("0", std::string(246, 'x')));
    EXPECT_FALSE(rig.tools.ReadRaw("0", "0"));
    EXPECT_FALSE(rig.tools.ReadRaw("0", "-1"));
    EXPECT_FALSE(rig.tools.ReadRaw("0", "33"));
    EXPECT_FALSE(rig.tools.ReadRaw("1000", "32"));
    EXPECT_FALSE(rig.tools.Format(""));
    EXPECT_FALSE(rig.tools.Restore(rig.dir.File("missing.bin")));
    EXPECT_EQ(rig.protocol.QueueCount(), 0u);
    rig.Run();
    EXPECT_TRUE(rig.port.bodies.empty());
}

TEST(EepromTools, DumpReadsTheWholeMemoryAndKeepsIt) {
    EepromRig rig;
    const std::string file = rig.dir.File("dump.bin");
    ASSERT_TRUE(rig.tools.Dump(file));
    rig.Run();
    const auto reads = rig.Bodies(0x02);
    ASSERT_EQ(reads.size(), 32u);
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const auto a = static_cast<std::uint16_t>(32 * i);
        EXPECT_EQ(reads[i], (Bytes{0x02, static_cast<std::uint8_t>(a >> 8),
                                   static_cast<std::uint8_t>(a), 32}));
    }
    ASSERT_EQ(rig.view.dumpRows.size(), 64u);
    EXPECT_EQ(rig.view.dumpRows.front().addressText, "0000");
    EXPECT_EQ(rig.view.dumpRows.back().addressText, "03F0");
    const TEepromOutcome& o = rig.Outcome();
    EXPECT_TRUE(o.completed) << o.message;
    EXPECT_EQ(o.dumpPath, file);
    ASSERT_TRUE(rig.tools.LastDump());
    EXPECT_EQ(*rig.tools.LastDump(), rig.original);
    TEepromImage saved{};
    std::string why;
    ASSERT_TRUE(LoadDumpFile(file, saved, &why)) << why;
    EXPECT_EQ(saved, rig.original);
    EXPECT_EQ(rig.session.readPurpose, commands::kPurposeRaw);
}

TEST(EepromTools, FormatKeepsADumpThenWrites32Pages) {
    EepromRig rig;
    const std::string file = rig.dir.File("before-format.bin");
    ASSERT_TRUE(rig.tools.Format(file));
    rig.Run();
    const TEepromOutcome& o = rig.Outcome();
    EXPECT_TRUE(o.completed) << o.message;
    EXPECT_NE(o.message.find(file), std::string::npos);
    const auto pages = rig.Bodies(0x01);
    ASSERT_EQ(pages.size(), 32u);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const auto a = static_cast<std::uint16_t>(32 * i);
        ASSERT_EQ(pages[i].size(), 3u + 32u);
        EXPECT_EQ(pages[i][1], a >> 8);
        EXPECT_EQ(pages[i][2], a & 0xFF);
        EXPECT_TRUE(std::all_of(pages[i].begin() + 3, pages[i].end(),
                                [](std::uint8_t b) { return b == 0xFF; }));
    }
    EXPECT_EQ(pages.back()[1], 0x03);
    EXPECT_EQ(pages.back()[2], 0xE0);
    EXPECT_TRUE(std::all_of(rig.model.Eeprom().begin(), rig.model.Eeprom().end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    TEepromImage saved{};
    ASSERT_TRUE(LoadDumpFile(file, saved, nullptr));
    EXPECT_EQ(saved, rig.original);
    // Every page read before the first one was written.
    std::size_t firstWrite = 0, lastRead = 0;
    for (std::size_t i = 0; i < rig.port.bodies.size(); ++i) {
        if (rig.port.bodies[i][0] == 0x01 && firstWrite == 0) firstWrite = i;
        if (rig.port.bodies[i][0] == 0x02) lastRead = i;
    }
    EXPECT_LT(lastRead, firstWrite);
    EXPECT_FALSE(rig.core.Eeprom().eepromFormatActive);
}

TEST(EepromTools, NoDumpFileNoFormat) {
    EepromRig rig;
    ASSERT_TRUE(rig.tools.Format(rig.dir.File("no/such/folder/dump.bin")));
    rig.Run();
    const TEepromOutcome& o = rig.Outcome();
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.phase, TEepromPhase::SaveDump);
    EXPECT_NE(o.message.find("nothing was erased"), std::string::npos) << o.message;
    EXPECT_TRUE(rig.Bodies(0x01).empty());
    EXPECT_EQ(rig.Board(), rig.original);
}

TEST(EepromTools, RefusedPageStopsTheFormatForGood) {
    EepromRig rig;
    // The eleventh memory write is refused once: "previous writing in course".
    rig.model.ForceError({sim::kErrEepromBusy, 1, 10, 0x01, {}});
    ASSERT_TRUE(rig.tools.Format(rig.dir.File("dump.bin")));
    rig.Run();
    const TEepromOutcome& o = rig.Outcome();
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.phase, TEepromPhase::Write);
    EXPECT_EQ(o.done, 10);
    EXPECT_NE(o.reason.find("EEPROM previous writing in course"), std::string::npos) << o.reason;
    EXPECT_EQ(rig.Bodies(0x01).size(), 11u);
    EXPECT_FALSE(rig.core.Eeprom().eepromFormatActive);
    // An acknowledged write of another sender continues nothing.
    ASSERT_TRUE(rig.tools.WriteText("700", "Z"));
    rig.Run();
    EXPECT_EQ(rig.Bodies(0x01).size(), 12u);
    EXPECT_EQ(rig.model.Eeprom()[700], 'Z');
    EXPECT_EQ(rig.model.Eeprom()[352], rig.original[352]) << "page 11 never written";
    EXPECT_EQ(rig.rec.outcomes.size(), 1u);
}

TEST(EepromTools, TimeOutHalfWayClearsTheFormat) {
    EepromRig rig;
    rig.rec.onProgress = [&](TEepromPhase phase, int done) {
        if (phase == TEepromPhase::Write && done == 16) rig.port.silent = true;
    };
    ASSERT_TRUE(rig.tools.Format(rig.dir.File("dump.bin")));
    rig.Run();
    const TEepromOutcome& o = rig.Outcome();
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.phase, TEepromPhase::Write);
    EXPECT_NE(o.reason.find("RX TimeOut"), std::string::npos) << o.reason;
    EXPECT_FALSE(rig.core.Eeprom().eepromFormatActive);
    const std::size_t sent = rig.Bodies(0x01).size();
    EXPECT_EQ(sent, 17u);
    rig.port.silent = false;
    ASSERT_TRUE(rig.tools.WriteText("1000", "Q"));
    rig.Run();
    EXPECT_EQ(rig.Bodies(0x01).size(), sent + 1);
}

TEST(EepromTools, DumpFormatRestoreGivesBackTheMemory) {
    EepromRig rig;
    const std::string file = rig.dir.File("board.bin");
    ASSERT_TRUE(rig.tools.Format(file));
    rig.Run();
    ASSERT_TRUE(rig.Outcome().completed);
    ASSERT_NE(rig.Board(), rig.original);
    rig.rec.outcomes.clear();
    ASSERT_TRUE(rig.tools.Restore(file));
    rig.Run();
    // The formatted board has no serial number: the user was asked.
    ASSERT_EQ(rig.rec.asked.size(), 1u);
    EXPECT_EQ(rig.rec.asked[0], std::string(15, '\xFF') + " / SIM-000001");
    rig.tools.ContinueRestore(true);
    rig.Run();
    const TEepromOutcome& o = rig.Outcome();
    EXPECT_TRUE(o.completed) << o.message;
    EXPECT_TRUE(o.differences.empty());
    EXPECT_EQ(rig.Board(), rig.original);
}

TEST(EepromTools, RestoreOverTheSameBoardAsksNothing) {
    EepromRig rig;
    TEepromImage changed = rig.original;
    changed[500] ^= 0x5A;
    const std::string file = rig.dir.File("board.bin");
    ASSERT_TRUE(SaveDumpFile(file, changed, nullptr));
    ASSERT_TRUE(rig.tools.Restore(file));
    rig.Run();
    EXPECT_TRUE(rig.rec.asked.empty());
    EXPECT_TRUE(rig.Outcome().completed) << rig.Outcome().message;
    EXPECT_EQ(rig.Board(), changed);
    EXPECT_EQ(rig.Bodies(0x01).size(), 32u);
}

TEST(EepromTools, RestoreDeclinedWritesNothing) {
    EepromRig rig;
    TEepromImage other = rig.original;
    const std::string sn = "OTHER-7";
    std::copy(sn.begin(), sn.end(), other.begin());
    other[sn.size()] = 0;
    ASSERT_TRUE(SaveDumpFile(rig.dir.File("other.bin"), other, nullptr));
    ASSERT_TRUE(rig.tools.Restore(rig.dir.File("other.bin")));
    rig.Run();
    ASSERT_EQ(rig.rec.asked, (std::vector<std::string>{"SIM-000001 / OTHER-7"}));
    EXPECT_TRUE(rig.rec.outcomes.empty()) << "waits for the answer, idle or not";
    rig.tools.ContinueRestore(false);
    const TEepromOutcome& o = rig.Outcome();
    EXPECT_FALSE(o.completed);
    EXPECT_TRUE(rig.Bodies(0x01).empty());
    EXPECT_EQ(rig.Board(), rig.original);
}

TEST(EepromTools, ReadBackDifferencesAreReported) {
    EepromRig rig;
    const std::string file = rig.dir.File("board.bin");
    ASSERT_TRUE(SaveDumpFile(file, rig.original, nullptr));
    // The board loses a byte just before the read-back.
    rig.rec.onProgress = [&](TEepromPhase phase, int done) {
        if (phase == TEepromPhase::ReadBack && done == 0) rig.model.Eeprom()[777] ^= 0xFF;
    };
    ASSERT_TRUE(rig.tools.Restore(file));
    rig.Run();
    const TEepromOutcome& o = rig.Outcome();
    EXPECT_FALSE(o.completed);
    ASSERT_EQ(o.differences.size(), 1u);
    EXPECT_EQ(o.differences[0].address, 777);
    EXPECT_NE(o.message.find("0x0309"), std::string::npos) << o.message;
}

}  // namespace
