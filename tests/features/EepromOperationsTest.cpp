// The EEPROM operations against the simulated board: request bytes, listing
// lines, the dump (read twice alike), the format (a dump file first, 32
// pages, a stop saying which pages hold what), the restore with its
// read-back, and the typed write that asks before it touches the serial
// number or the configuration.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>

#include "OperationRig.h"
#include "features/EepromImage.h"
#include "features/EepromOperations.h"

using namespace orvan;
using namespace orvan::features;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct EepromRig : test::OperationRig {
    TEepromImage original{};
    EepromRig() { std::copy(model.Eeprom().begin(), model.Eeprom().end(), original.begin()); }
    TEepromImage Board() const {
        TEepromImage i{};
        std::copy(model.Eeprom().begin(), model.Eeprom().end(), i.begin());
        return i;
    }
    TEepromImage File(const std::string& path) const {
        TEepromImage i{};
        std::string why;
        EXPECT_TRUE(LoadDumpFile(path, i, &why)) << why;
        return i;
    }
};

TEST(EepromWrite, RequestBytesWithAndWithoutTheSecurityCode) {
    EepromRig rig;
    const auto o = rig.Run(EepromWriteOperation(rig.core, {"600", "AB"}));
    ASSERT_TRUE(o.Completed()) << o.message;
    EXPECT_EQ(rig.Bodies(0x01), (std::vector<Bytes>{{0x01, 0x02, 0x58, 0x41, 0x42}}));
    EXPECT_EQ(rig.model.Eeprom()[600], 0x41);
    EXPECT_TRUE(rig.rec.questions.empty()) << "the logs' area asks nothing";
    ASSERT_EQ(o.kept.size(), 1u);
    EXPECT_EQ(test::ReadText(o.kept[0]),
              std::string(rig.original.begin() + 600, rig.original.begin() + 602));

    EepromRig secured;
    secured.model.protocol = {2, 1, 0};
    ASSERT_TRUE(secured.Run(EepromWriteOperation(secured.core, {"600", "AB"})).Completed());
    EXPECT_EQ(secured.Bodies(0x01),
              (std::vector<Bytes>{{0x01, 0x19, 0x2D, 0x7E, 0x4B, 0x02, 0x58, 0x41, 0x42}}));
}

TEST(EepromWrite, OverTheSerialNumberOrTheConfigurationAsksFirst) {
    struct Case {
        const char* address;
        const char* text;
        const char* area;
    };
    for (const Case& c : {Case{"0", "AB", "the serial number (addresses 0 to 15)"},
                          Case{"14", "WXYZ",
                               "the serial number (addresses 0 to 15) and the "
                               "configuration (addresses 16 to 399)"},
                          Case{"399", "Q", "the configuration (addresses 16 to 399)"}}) {
        SCOPED_TRACE(c.address);
        EepromRig rig;
        rig.rec.answer = false;
        const auto no = rig.Run(EepromWriteOperation(rig.core, {c.address, c.text}));
        EXPECT_EQ(no.kind, TOutcomeKind::Refused);
        ASSERT_EQ(rig.rec.questions.size(), 1u);
        EXPECT_NE(rig.rec.questions[0].text.find(c.area), std::string::npos)
            << rig.rec.questions[0].text;
        EXPECT_EQ(rig.rec.questions[0].assumeWith, "--yes");
        EXPECT_TRUE(rig.Bodies(0x01).empty());
        EXPECT_EQ(rig.Board(), rig.original);

        rig.rec.answer = true;
        const auto yes = rig.Run(EepromWriteOperation(rig.core, {c.address, c.text}));
        ASSERT_TRUE(yes.Completed()) << yes.message;
        EXPECT_EQ(rig.Bodies(0x01).size(), 1u);
    }
    EepromRig rig;
    rig.rec.answer.reset();
    EXPECT_TRUE(rig.Run(EepromWriteOperation(rig.core, {"0", "AB", true})).Completed());
    EXPECT_TRUE(rig.rec.questions.empty()) << "--yes asks nothing";
}

TEST(EepromRead, ListsOneLine) {
    EepromRig rig;
    const auto o = rig.Run(EepromReadOperation(rig.core, {"16", "8"}));
    ASSERT_TRUE(o.Completed()) << o.message;
    EXPECT_EQ(rig.port.bodies, (std::vector<Bytes>{{0x02, 0x00, 0x10, 0x08}}));
    ASSERT_EQ(o.details.size(), 1u);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X ", rig.original[16]);
    EXPECT_EQ(o.details[0].substr(0, 6 + 3), std::string("0010  ") + hex);
    ASSERT_EQ(rig.view.rawRows.size(), 1u) << "the page lists it too";
}

TEST(EepromOperations, RefusedInputSendsNothing) {
    EepromRig rig;
    const std::vector<std::function<std::unique_ptr<TOperation>()>> ops = {
        [&] {
            return EepromWriteOperation(rig.core, {"1023", "AB"});
        },
        [&] {
            return EepromWriteOperation(rig.core, {"abc", "AB"});
        },
        [&] {
            return EepromWriteOperation(rig.core, {"0", std::string(246, 'x')});
        },
        [&] {
            return EepromReadOperation(rig.core, {"0", "0"});
        },
        [&] {
            return EepromReadOperation(rig.core, {"0", "33"});
        },
        [&] {
            return EepromReadOperation(rig.core, {"1000", "32"});
        },
        [&] { return EepromFormatOperation(rig.core, {""}); },
        [&] { return EepromRestoreOperation(rig.core, {rig.dir.File("missing.bin")}); },
    };
    for (const auto& make : ops) {
        const auto o = rig.Run(make());
        EXPECT_EQ(o.kind, TOutcomeKind::Refused) << o.message;
        EXPECT_EQ(ExitCode(o), 2);
    }
    rig.Drain();
    EXPECT_TRUE(rig.port.bodies.empty());
}

TEST(EepromDump, ReadsTheWholeMemoryTwiceAndKeepsIt) {
    EepromRig rig;
    const std::string file = rig.dir.File("dump.bin");
    const auto o = rig.Run(EepromDumpOperation(rig.core, {file}));
    ASSERT_TRUE(o.Completed()) << o.message;
    auto reads = rig.Bodies(0x02);
    // The board is identified first: the dump is filed under its serial number.
    ASSERT_EQ(reads.size(), 65u) << "the serial number, then two reads alike";
    EXPECT_EQ(reads.front(), (Bytes{0x02, 0, 0, 15}));  // the last address, as the board wants
    reads.erase(reads.begin());
    for (std::size_t i = 0; i < 32; ++i) {
        const auto a = static_cast<std::uint16_t>(32 * i);
        EXPECT_EQ(reads[i], (Bytes{0x02, static_cast<std::uint8_t>(a >> 8),
                                   static_cast<std::uint8_t>(a), 32}));
    }
    ASSERT_EQ(rig.view.dumpRows.size(), 64u) << "listed once";
    EXPECT_EQ(rig.view.dumpRows.front().addressText, "0000");
    EXPECT_EQ(rig.view.dumpRows.back().addressText, "03F0");
    EXPECT_EQ(rig.File(file), rig.original);
    EXPECT_EQ(o.files, std::vector<std::string>{file});
    EXPECT_EQ(rig.core.Session().readPurpose, commands::kPurposeRaw);
}

TEST(EepromFormat, KeepsADumpThenWrites32Pages) {
    EepromRig rig;
    const std::string file = rig.dir.File("before-format.bin");
    const auto o = rig.Run(EepromFormatOperation(rig.core, {file}));
    ASSERT_TRUE(o.Completed()) << o.message;
    ASSERT_EQ(rig.rec.questions.size(), 1u);
    EXPECT_NE(rig.rec.questions[0].text.find("SIM-000001"), std::string::npos)
        << "says whose serial number goes";
    EXPECT_NE(o.message.find(file), std::string::npos);
    const auto pages = rig.Bodies(0x01);
    ASSERT_EQ(pages.size(), 32u);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        ASSERT_EQ(pages[i].size(), 3u + 32u);
        EXPECT_EQ(pages[i][1] * 256 + pages[i][2], static_cast<int>(32 * i));
        EXPECT_TRUE(std::all_of(pages[i].begin() + 3, pages[i].end(),
                                [](std::uint8_t b) { return b == 0xFF; }));
    }
    EXPECT_TRUE(std::all_of(rig.model.Eeprom().begin(), rig.model.Eeprom().end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(rig.File(file), rig.original);
    // Every read before the first write.
    std::size_t firstWrite = 0, lastRead = 0;
    for (std::size_t i = 0; i < rig.port.bodies.size(); ++i) {
        if (rig.port.bodies[i][0] == 0x01 && firstWrite == 0) firstWrite = i;
        if (rig.port.bodies[i][0] == 0x02) lastRead = i;
    }
    EXPECT_LT(lastRead, firstWrite);
}

TEST(EepromFormat, NoDumpFileNoFormat) {
    // An older dump of the name is replaced only when the user chose so.
    const struct {
        const char* name;
        const char* file;
        bool existing;
        bool replace;
        bool formats;
    } cases[] = {
        {"no such folder", "no/such/dump.bin", false, false, false},
        {"an older dump kept", "old.bin", true, false, false},
        {"an older dump replaced as asked", "old.bin", true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EepromRig rig;
        const std::string file = rig.dir.File(c.file);
        TEepromImage old{};
        old.fill(0xA5);  // a binary file of a dump's size: an older dump
        old[1] = 0x00;
        if (c.existing)
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(old.data()), old.size());
        const auto o = rig.Run(EepromFormatOperation(rig.core, {file, c.replace}));
        if (c.formats) {
            EXPECT_TRUE(o.Completed()) << o.message;
            EXPECT_EQ(rig.File(file), rig.original);
            continue;
        }
        EXPECT_EQ(o.kind, TOutcomeKind::Refused) << o.message;
        EXPECT_TRUE(rig.port.bodies.empty()) << "refused before anything is sent";
        EXPECT_EQ(rig.Board(), rig.original);
        if (c.existing) {
            EXPECT_EQ(rig.File(file), old);
        }
    }
}

TEST(EepromFormat, AStopSaysWhichPagesHoldWhat) {
    struct Case {
        const char* name;
        std::function<void(EepromRig&)> fault;
        int done;            // pages acknowledged
        bool mayHoldEither;  // the next page went without an answer
        const char* why;
    };
    const Case cases[] = {
        {"refused page 11",
         [](EepromRig& r) {
             r.model.ForceError({sim::kErrEepromBusy, 1, 10, 0x01, {}});
         },
         10, false, "EEPROM previous writing in course"},
        {"silent after page 16",
         [](EepromRig& r) {
             r.rec.onProgress = [&r](const TProgress& p) {
                 if (p.phase == "writing" && p.done == 16) r.port.silent = true;
             };
         },
         16, true, "RX TimeOut"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EepromRig rig;
        c.fault(rig);
        const std::string file = rig.dir.File("dump.bin");
        const auto o = rig.Run(EepromFormatOperation(rig.core, {file}));
        EXPECT_EQ(o.kind, TOutcomeKind::Failed);
        EXPECT_NE(o.why.find(c.why), std::string::npos) << o.why;
        EXPECT_NE(o.boardHolds.find("Pages 1 to " + std::to_string(c.done)), std::string::npos)
            << o.boardHolds;
        EXPECT_EQ(o.boardHolds.find("may hold either") != std::string::npos, c.mayHoldEither);
        EXPECT_NE(o.message.find(file), std::string::npos) << "names the dump";
        EXPECT_EQ(rig.File(file), rig.original);
        const std::size_t page = static_cast<std::size_t>(c.done) * 32 + 40;
        EXPECT_EQ(rig.model.Eeprom()[page], rig.original[page]) << "the next page as it was";
        EXPECT_FALSE(rig.core.Eeprom().eepromFormatActive);
    }
}

TEST(EepromFormat, InterruptedAfterThePageInFlight) {
    EepromRig rig;
    const std::string file = rig.dir.File("dump.bin");
    ASSERT_TRUE(rig.Start(EepromFormatOperation(rig.core, {file})));
    bool asked = false;
    for (int n = 0; n < 20000 && rig.rec.outcomes.empty(); ++n) {
        rig.Tick();
        if (!asked && rig.Bodies(0x01).size() == 8 && rig.core.Protocol().InFlight()) {
            asked = true;
            rig.core.Operations().Cancel("", SIGTERM);
        }
    }
    ASSERT_EQ(rig.rec.outcomes.size(), 1u);
    const auto o = rig.rec.outcomes.back();
    EXPECT_EQ(o.kind, TOutcomeKind::Interrupted);
    EXPECT_EQ(ExitCode(o), 143);
    const std::size_t written = rig.Bodies(0x01).size();
    EXPECT_EQ(written, 8u) << "the page in flight, nothing more";
    EXPECT_NE(o.boardHolds.find("Pages 1 to 8"), std::string::npos) << o.boardHolds;
    EXPECT_EQ(o.boardHolds.find("may hold either"), std::string::npos);
    EXPECT_NE(o.message.find(file), std::string::npos);
    rig.Drain();
    EXPECT_EQ(rig.Bodies(0x01).size(), written);
    EXPECT_EQ(rig.model.Eeprom()[8 * 32], rig.original[8 * 32]);
}

TEST(EepromRestore, FormatThenRestoreGivesBackTheMemory) {
    EepromRig rig;
    const std::string file = rig.dir.File("board.bin");
    ASSERT_TRUE(rig.Run(EepromFormatOperation(rig.core, {file})).Completed());
    ASSERT_NE(rig.Board(), rig.original);
    rig.rec.questions.clear();
    const auto o = rig.Run(EepromRestoreOperation(rig.core, {file}));
    ASSERT_TRUE(o.Completed()) << o.message;
    ASSERT_EQ(rig.rec.questions.size(), 1u) << "the erased board has no serial number";
    EXPECT_NE(rig.rec.questions[0].text.find("(blank)"), std::string::npos);
    EXPECT_EQ(rig.Board(), rig.original);
    ASSERT_EQ(o.kept.size(), 1u) << "the erased memory was kept too";
    TEepromImage erased{};
    erased.fill(0xFF);
    EXPECT_EQ(rig.File(o.kept[0]), erased);
}

TEST(EepromRestore, DeclinedWritesNothingAndSameBoardAsksNothing) {
    EepromRig rig;
    TEepromImage other = rig.original;
    const std::string sn = "OTHER-7";
    std::copy(sn.begin(), sn.end(), other.begin());
    other[sn.size()] = 0;
    ASSERT_TRUE(SaveDumpFile(rig.dir.File("other.bin"), other, nullptr));
    rig.rec.answer = false;
    const auto no = rig.Run(EepromRestoreOperation(rig.core, {rig.dir.File("other.bin")}));
    EXPECT_EQ(no.kind, TOutcomeKind::Refused);
    EXPECT_TRUE(rig.Bodies(0x01).empty());
    EXPECT_EQ(rig.Board(), rig.original);

    TEepromImage changed = rig.original;
    changed[500] ^= 0x5A;
    ASSERT_TRUE(SaveDumpFile(rig.dir.File("same.bin"), changed, nullptr));
    rig.rec.questions.clear();
    const auto yes = rig.Run(EepromRestoreOperation(rig.core, {rig.dir.File("same.bin")}));
    ASSERT_TRUE(yes.Completed()) << yes.message;
    EXPECT_TRUE(rig.rec.questions.empty());
    EXPECT_EQ(rig.Board(), changed);
}

TEST(EepromRestore, ReadBackDifferencesAreReported) {
    EepromRig rig;
    const std::string file = rig.dir.File("board.bin");
    ASSERT_TRUE(SaveDumpFile(file, rig.original, nullptr));
    rig.rec.onProgress = [&](const TProgress& p) {
        if (p.phase == "reading back" && p.done == 0) rig.model.Eeprom()[777] ^= 0xFF;
    };
    const auto o = rig.Run(EepromRestoreOperation(rig.core, {file}));
    EXPECT_EQ(o.kind, TOutcomeKind::Failed);
    ASSERT_EQ(o.details.size(), 1u);
    EXPECT_EQ(o.details[0].substr(0, 6), "0x0309");
    EXPECT_NE(o.message.find("0x0309"), std::string::npos) << o.message;
}

}  // namespace
