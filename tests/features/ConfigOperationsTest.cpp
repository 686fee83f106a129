// Configuration write, read, verify and restore against the simulated board:
// what goes on the wire, how each ends, what the record and the board hold
// afterwards, and the backups taken before every write: what the board holds
// at that moment, read until two reads agree, unique in its folder,
// byte-exact beside its ".wcf"; a stop says what the board holds and why.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <set>
#include <thread>

#include "OperationRig.h"
#include "boardsim/PtyBoard.h"
#include "features/ConfigBackups.h"
#include "features/ConfigOperations.h"
#include "features/ConfigTransfer.h"

using namespace orvan;
using features::TOutcomeKind;

namespace {

using Image = std::array<std::uint8_t, 384>;

Image ReadBin(const std::string& path) {
    const std::string bytes = test::ReadText(path);
    Image img{};
    if (bytes.size() == img.size()) std::copy(bytes.begin(), bytes.end(), img.begin());
    return img;
}

void SetRaw(config::TWelderCfgBlank& c, const char* key, std::int32_t v) {
    const config::TFieldInfo* f = config::FindField(key);
    if (f == nullptr) std::abort();
    f->setRaw(c, f->index, v);
}

// A configuration unlike the simulator's default in many fields, signed ones
// included.
config::TCfgWelderRW Edited(std::int32_t minPower = 1234) {
    config::TCfgWelderRW c(config::DefaultConfiguration());
    SetRaw(c, "MinPower", minPower);
    SetRaw(c, "ADCOffset_2", 17);
    SetRaw(c, "PMCoeff_q", -5);
    SetRaw(c, "TempCoeff_m", -321);
    SetRaw(c, "Timer_15", 65535);
    SetRaw(c, "WATable_A_5", 4242);
    return c;
}

bool SameFields(const config::TWelderCfgBlank& a, const config::TWelderCfgBlank& b) {
    return features::CompareConfigurations(a, b).empty();
}

std::string Backup(const features::TOperationOutcome& o) {
    for (const std::string& k : o.kept)
        if (k.ends_with(".wcf")) return k;
    return {};
}

features::TOperationOutcome Write(test::OperationRig& rig, features::TConfigWriteRequest r = {}) {
    return rig.Run(features::ConfigWriteOperation(rig.core, std::move(r)));
}

TEST(ConfigWrite, ThenReadGivesTheSameFileValuesAndTheBackupHoldsWhatWasThere) {
    test::OperationRig rig;
    const std::string in = rig.dir.File("in.wcf"), out = rig.dir.File("out.wcf");
    ASSERT_TRUE(Edited().SaveToFile(in));
    ASSERT_TRUE(rig.core.Document().Open(in));
    const Image before = rig.BoardImage();

    const auto w = Write(rig);
    ASSERT_TRUE(w.Completed()) << w.message;
    EXPECT_EQ(rig.Bodies(commands::kWriteMemory).size(), 24u);
    EXPECT_NE(w.message.find("24 of 24"), std::string::npos);
    std::vector<int> blocks;
    for (const auto& p : rig.rec.progress)
        if (p.phase == "writing") blocks.push_back(p.done);
    ASSERT_EQ(blocks.size(), 24u);
    EXPECT_EQ(blocks.front(), 1);
    EXPECT_EQ(blocks.back(), 24);
    // Serial number, then the configuration read twice alike.
    EXPECT_EQ(rig.Bodies(commands::kReadMemory).size(), 1u + 24u);

    ASSERT_EQ(w.kept.size(), 2u);
    EXPECT_EQ(std::filesystem::path(Backup(w)).filename(), "SIM-000001_20261208-041900.wcf");
    EXPECT_EQ(ReadBin(features::BackupImagePath(Backup(w))), before);
    EXPECT_NE(w.message.find(Backup(w)), std::string::npos);

    const auto r = rig.Run(features::ConfigReadOperation(rig.core, {false, out}));
    ASSERT_TRUE(r.Completed()) << r.message;
    EXPECT_TRUE(r.warning.empty());
    EXPECT_EQ(r.files, std::vector<std::string>{out});
    config::TCfgWelderRW a, b;
    ASSERT_TRUE(a.LoadFromFile(in));
    ASSERT_TRUE(b.LoadFromFile(out));
    EXPECT_TRUE(SameFields(a, b));
    EXPECT_TRUE(config::ImageChecksumOk(rig.BoardImage().data()));
}

TEST(ConfigWrite, BlocksOnTheWire) {
    struct Row {
        sim::Version3 protocol;
        bool securityCode;
    };
    for (const Row& row : {Row{{2, 1, 0}, true}, Row{{2, 2, 9}, false}, Row{{2, 1, 1}, false}}) {
        test::OperationRig rig;
        rig.model.protocol = row.protocol;
        rig.core.Document().Take(Edited());
        ASSERT_TRUE(Write(rig).Completed());
        Image image{};
        config::TCfgWelderRW built = Edited();
        config::BuildDeviceImage(built, image.data());
        const auto writes = rig.Bodies(commands::kWriteMemory);
        ASSERT_EQ(writes.size(), 24u);
        for (std::size_t k = 0; k < writes.size(); ++k) {
            std::vector<std::uint8_t> want = {0x01};
            if (row.securityCode) want.insert(want.end(), {0x19, 0x2D, 0x7E, 0x4B});
            const auto address = static_cast<std::uint16_t>(16 + 16 * k);
            want.push_back(static_cast<std::uint8_t>(address >> 8));
            want.push_back(static_cast<std::uint8_t>(address & 0xFF));
            want.insert(want.end(), image.begin() + 16 * k, image.begin() + 16 * k + 16);
            EXPECT_EQ(writes[k], want) << "block " << k << " at protocol " << row.protocol.Packed();
        }
        EXPECT_EQ(rig.BoardImage(), image);
    }
}

TEST(ConfigWrite, StoppedAtBlockKIsReportedAndGoesNoFurther) {
    struct StopCase {
        const char* name;
        int k;              // blocks acknowledged before the stop
        std::uint8_t code;  // refusal code; 0 for a time-out
        std::string why;
    };
    const StopCase cases[] = {
        {"refused first block", 0, 12, "Security code error!"},
        {"refused block 5", 5, 10, "EEPROM previous writing in course. Wait a while and retry..."},
        {"refused last block", 23, 11, "Operation denied in the current work phase!"},
        {"time-out at block 0", 0, 0, "RX TimeOut"},
        {"time-out at block 9", 9, 0, "RX TimeOut"},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::OperationRig rig;
        rig.core.Document().Take(Edited());
        if (c.code != 0) {
            sim::ForcedError e;
            e.code = c.code;
            e.remaining = 1;
            e.type = commands::kWriteMemory;
            e.after = c.k;
            rig.model.ForceError(e);
        } else {
            // Silent from the first block (once the second read of what the
            // board holds is complete), or after block k.
            rig.rec.onProgress = [&](const features::TProgress& p) {
                const bool keptAll = p.phase.find("(read 2)") != std::string::npos && p.done == 12;
                if ((c.k == 0 && keptAll) || (p.phase == "writing" && p.done == c.k))
                    rig.port.silent = true;
            };
        }
        const Image before = rig.BoardImage();
        const auto o = Write(rig);
        EXPECT_EQ(o.kind, TOutcomeKind::Failed);
        EXPECT_EQ(o.why, c.why);
        EXPECT_NE(o.message.find("stopped at block " + std::to_string(c.k + 1) + " of 24"),
                  std::string::npos)
            << o.message;
        EXPECT_NE(o.message.find(Backup(o)), std::string::npos) << "names the backup";
        EXPECT_EQ(rig.rec.outcomes.size(), 1u);
        if (c.k == 0 && c.code != 0)
            EXPECT_NE(o.boardHolds.find("Nothing was written"), std::string::npos) << o.boardHolds;
        else if (c.k == 0)
            EXPECT_NE(o.boardHolds.find("No block was acknowledged"), std::string::npos);
        else
            EXPECT_NE(o.boardHolds.find("holds blocks 1 to " + std::to_string(c.k) +
                                        " of the new configuration (addresses 16 to " +
                                        std::to_string(16 + 16 * c.k - 1) + ")"),
                      std::string::npos)
                << o.boardHolds;
        EXPECT_EQ(o.message.find("may hold either") != std::string::npos, c.code == 0) << o.message;
        const Image after = rig.BoardImage();
        EXPECT_TRUE(std::equal(after.begin() + 16 * c.k, after.end(), before.begin() + 16 * c.k));
    }
}

TEST(ConfigWrite, NothingIsWrittenWithoutAnExactBackup) {
    {
        SCOPED_TRACE("refusal while reading what the board holds");
        test::OperationRig rig;
        sim::ForcedError e;
        e.code = 10;
        e.remaining = 1;
        e.type = commands::kReadMemory;
        e.after = 4;  // the serial number and three configuration blocks
        rig.model.ForceError(e);
        const auto o = Write(rig);
        EXPECT_EQ(o.kind, TOutcomeKind::Failed);
        EXPECT_NE(o.message.find("before anything was written"), std::string::npos) << o.message;
        EXPECT_TRUE(rig.Bodies(commands::kWriteMemory).empty());
    }
    {
        SCOPED_TRACE("backup folder cannot be made");
        test::OperationRig rig;
        test::WriteText(rig.backups, "a file where the folder should be");
        const auto o = Write(rig);
        EXPECT_EQ(o.kind, TOutcomeKind::Failed);
        EXPECT_NE(o.why.find(rig.backups), std::string::npos) << o.why;
        EXPECT_TRUE(rig.Bodies(commands::kWriteMemory).empty());
    }
    {
        SCOPED_TRACE("protocol version unknown and refused");
        test::OperationRig rig;
        sim::ForcedError e;
        e.code = 3;
        e.remaining = 1;
        e.type = commands::kReadVariable;
        rig.model.ForceError(e);
        const auto o = Write(rig);
        EXPECT_EQ(o.kind, TOutcomeKind::Failed);
        EXPECT_EQ(o.why, "refused by the board: Unknown command");
        EXPECT_TRUE(rig.Bodies(commands::kWriteMemory).empty());
        EXPECT_TRUE(rig.Bodies(commands::kReadMemory).empty()) << "nothing after a refusal";
    }
    {
        SCOPED_TRACE("every read of the image differs");
        test::OperationRig rig;
        int n = 0;
        rig.model.tamper = [&n](std::vector<std::uint8_t>& a, std::uint8_t type) {
            // A different bit each time: no two reads agree.
            if (type == commands::kReadMemory && a.size() > 8) {
                a[8] = static_cast<std::uint8_t>(a[8] ^ (1u << (n++ % 7)));
                a.pop_back();
                sim::AppendAnswerChecksum(a);
            }
        };
        const auto o = Write(rig);
        EXPECT_EQ(o.kind, TOutcomeKind::Failed);
        EXPECT_NE(o.why.find("read differently 4 times"), std::string::npos) << o.why;
        EXPECT_TRUE(rig.Bodies(commands::kWriteMemory).empty());
        EXPECT_TRUE(features::ListBackups(rig.backups).empty());
    }
    {
        SCOPED_TRACE("no folder at all");
        test::OperationRig rig;
        rig.core.Operations().SetBackupDir("");
        const auto o = Write(rig);
        EXPECT_EQ(o.kind, TOutcomeKind::Refused);
        EXPECT_TRUE(rig.port.bodies.empty());
    }
}

// The image's checksum does not cover the filler bytes: a flipped filler
// bit in one read must never reach the "exact" backup.
TEST(ConfigWrite, OneFlippedBitIsNeverKept) {
    for (const std::size_t byte : {std::size_t{4}, std::size_t{31}}) {
        for (const int after : {1, 5, 13}) {
            SCOPED_TRACE("byte " + std::to_string(byte) + " after " + std::to_string(after));
            test::OperationRig rig;
            sim::SetImageFiller(rig.model.Eeprom(), 0x5A);
            const Image held = rig.BoardImage();
            sim::ReadCorruption c;
            c.after = after;
            c.remaining = 1;
            c.byte = byte;
            rig.model.CorruptReads(c);
            rig.core.Document().Take(Edited());
            const auto o = Write(rig);
            ASSERT_TRUE(o.Completed()) << o.message;
            EXPECT_EQ(ReadBin(features::BackupImagePath(Backup(o))), held);
            EXPECT_EQ(rig.Bodies(commands::kReadMemory).size(), 1u + 36u) << "a third read decided";
        }
    }
}

TEST(ConfigWrite, DamagedOrForeignImagesAreWrittenOnlyWhenAccepted) {
    struct Case {
        const char* name;
        std::function<void(sim::TBoardModel&)> make;
        const char* asked;
    };
    const Case cases[] = {
        {"damaged", [](sim::TBoardModel& m) { m.Eeprom()[16 + 6] ^= 0x10; }, "fails its checksum"},
        {"another layout", [](sim::TBoardModel& m) { sim::SetImageLayout(m.Eeprom(), 2, 128); },
         "Version 2, Size 128"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::OperationRig rig;
        c.make(rig.model);
        const Image held = rig.BoardImage();
        rig.core.Document().Take(Edited());
        rig.rec.answer = false;
        const auto no = Write(rig);
        EXPECT_EQ(no.kind, TOutcomeKind::Refused);
        ASSERT_EQ(rig.rec.questions.size(), 1u);
        EXPECT_NE(rig.rec.questions[0].text.find(c.asked), std::string::npos)
            << rig.rec.questions[0].text;
        EXPECT_EQ(rig.rec.questions[0].assumeWith, "--force");
        EXPECT_TRUE(rig.Bodies(commands::kWriteMemory).empty());
        EXPECT_TRUE(features::ListBackups(rig.backups).empty()) << "nothing kept for a no";
        EXPECT_EQ(rig.BoardImage(), held);

        rig.rec.answer = true;
        const auto yes = Write(rig);
        ASSERT_TRUE(yes.Completed()) << yes.message;
        EXPECT_EQ(ReadBin(features::BackupImagePath(Backup(yes))), held) << "kept as read";

        // Accepted beforehand (orvan-cli --force): no question.
        test::OperationRig pre;
        c.make(pre.model);
        pre.rec.answer.reset();
        const auto forced = Write(pre, {std::nullopt, true, true, false, {}});
        EXPECT_TRUE(forced.Completed()) << forced.message;
        EXPECT_TRUE(pre.rec.questions.empty());
    }
    {
        SCOPED_TRACE("a blank memory is written without questions");
        test::OperationRig rig;
        std::fill(rig.model.Eeprom().begin(), rig.model.Eeprom().end(), 0xFF);
        rig.rec.answer.reset();
        const auto o = Write(rig);
        ASSERT_TRUE(o.Completed()) << o.message;
        EXPECT_TRUE(rig.rec.questions.empty());
    }
}

// Restoring a backup gives the board back exactly the bytes it held, filler
// and layout included.
TEST(ConfigRestore, IsByteExact) {
    struct Case {
        const char* name;
        int filler;  // -1: 0xFF
        int version, size;
    };
    for (const Case& c : {Case{"non-0xFF filler", 0x5A, 3, 218}, Case{"another layout", -1, 2, 128},
                          Case{"both", 0x00, 4, 230}}) {
        SCOPED_TRACE(c.name);
        test::OperationRig rig;
        if (c.filler >= 0)
            sim::SetImageFiller(rig.model.Eeprom(), static_cast<std::uint8_t>(c.filler));
        if (c.version != 3 || c.size != 218)
            sim::SetImageLayout(rig.model.Eeprom(), static_cast<std::uint8_t>(c.version),
                                static_cast<std::uint16_t>(c.size));
        const Image original = rig.BoardImage();
        rig.core.Document().Take(Edited());
        const auto w = Write(rig);
        ASSERT_TRUE(w.Completed()) << w.message;
        ASSERT_NE(rig.BoardImage(), original);

        // The restore, as the window and orvan-cli config-restore do it.
        std::optional<Image> exact;
        ASSERT_TRUE(rig.core.Document().OpenBackup(Backup(w), exact));
        ASSERT_TRUE(exact.has_value());
        const auto r = Write(rig, {exact, false, false, true, {}});
        ASSERT_TRUE(r.Completed()) << r.message;
        EXPECT_EQ(r.operation, "Configuration restore");
        EXPECT_EQ(rig.BoardImage(), original);
    }
}

TEST(ConfigWrite, EveryWriteReadsWhatTheBoardHoldsAfresh) {
    test::OperationRig rig;
    // Board A read, then board B on the same port, as blank in its serial
    // number as A.
    auto blankSerial = [](std::int32_t minPower) {
        auto e = sim::DefaultEeprom();
        std::fill_n(e.begin(), 16, 0xFF);
        config::TCfgWelderRW c = Edited(minPower);
        config::BuildDeviceImage(c, e.data() + 16);
        return e;
    };
    rig.model.Eeprom() = blankSerial(1111);
    ASSERT_TRUE(rig.Run(features::ConfigReadOperation(rig.core, {false, {}})).Completed());
    rig.model.Eeprom() = blankSerial(2222);
    const Image boardB = rig.BoardImage();
    rig.core.Document().Take(Edited(3333));
    const auto o = Write(rig);
    ASSERT_TRUE(o.Completed()) << o.message;
    EXPECT_EQ(ReadBin(features::BackupImagePath(Backup(o))), boardB) << "B's, not A's";
    EXPECT_NE(Backup(o).find("/blank_"), std::string::npos) << Backup(o);

    std::copy_n("SIM-000002", 11, rig.model.Eeprom().begin());
    const auto o2 = Write(rig);
    ASSERT_TRUE(o2.Completed());
    EXPECT_NE(Backup(o2).find("SIM-000002_"), std::string::npos);
    const auto list = features::ListBackups(rig.backups);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].path, Backup(o2)) << "newest first";
}

TEST(ConfigWrite, BackupsOfOneSecondNeverReplaceEachOther) {
    test::TempDir dir;
    const std::string folder = dir.File("backups");
    const auto when = features::TBackupClock::from_time_t(1796703540);
    constexpr int kThreads = 4, kEach = 12;
    std::vector<std::string> paths[kThreads];
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                config::TCfgWelderRW c = Edited(100 * t + i);
                Image img{};
                config::BuildDeviceImage(c, img.data());
                const auto r = features::SaveBackup(folder, "SN", img, when);
                paths[t].push_back(r ? r.path : "failed: " + r.why);
            }
        });
    }
    for (auto& th : threads) th.join();
    std::set<std::string> all;
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kEach; ++i) {
            const std::string& p = paths[t][static_cast<std::size_t>(i)];
            ASSERT_EQ(p.rfind("failed", 0), std::string::npos) << p;
            all.insert(p);
            config::TCfgWelderRW back;
            ASSERT_TRUE(back.LoadFromFile(p));
            EXPECT_EQ(back.GetMinPower(), 100 * t + i);
        }
    }
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
    EXPECT_EQ(features::ListBackups(folder).size(), all.size());
}

TEST(ConfigRead, StoppedReadLeavesTheRecord) {
    for (int k : {0, 4, 11}) {
        SCOPED_TRACE(k);
        test::OperationRig rig;
        rig.core.Document().Take(Edited());
        const config::TCfgWelderRW before = rig.core.Record();
        sim::ForcedError e;
        e.code = 7;
        e.values = {static_cast<std::uint16_t>(16 + 32 * k)};
        e.remaining = 1;
        e.type = commands::kReadMemory;
        e.after = k + 1;  // the serial number is read first
        rig.model.ForceError(e);
        const auto o = rig.Run(features::ConfigReadOperation(rig.core, {}));
        EXPECT_EQ(o.kind, TOutcomeKind::Failed);
        EXPECT_EQ(o.why, "Invalid EEPROM address: " + std::to_string(16 + 32 * k));
        EXPECT_NE(o.message.find("block " + std::to_string(k + 1) + " of 12"), std::string::npos);
        EXPECT_NE(o.message.find("unchanged"), std::string::npos);
        EXPECT_TRUE(SameFields(rig.core.Record(), before));
        EXPECT_FALSE(rig.core.Document().Loaded()) << "a failed read shows nothing";
    }
}

TEST(ConfigRead, DamagedImageIsLoadedWithAWarning) {
    test::OperationRig rig;
    rig.model.Eeprom()[16 + 6] = 0x34;  // MinPower changed behind the checksum's back
    rig.model.Eeprom()[16 + 7] = 0x12;
    const auto o = rig.Run(features::ConfigReadOperation(rig.core, {}));
    ASSERT_TRUE(o.Completed());
    EXPECT_NE(o.warning.find("damaged"), std::string::npos) << o.warning;
    EXPECT_EQ(features::ExitCode(o), 1);
    EXPECT_EQ(rig.core.Record().GetMinPower(), 0x1234) << "what was read is still shown";
    EXPECT_TRUE(rig.core.Document().Loaded());
    rig.Drain();
    EXPECT_EQ(rig.view.tuningComplete, 1) << "the window's read goes on with the tuning log";
}

TEST(ConfigVerify, ListsExactlyTheFieldsChangedOnTheBoard) {
    test::OperationRig rig;
    rig.core.Document().New();
    rig.core.Document().Take(Edited());
    ASSERT_TRUE(Write(rig).Completed());
    const auto same = rig.Run(features::ConfigVerifyOperation(rig.core));
    ASSERT_TRUE(same.Completed());
    EXPECT_TRUE(same.details.empty());
    EXPECT_EQ(features::ExitCode(same), 0);

    auto& e = rig.model.Eeprom();
    e[16 + 6] = 0x00;  // MinPower
    e[16 + 7] = 0x10;
    e[16 + 22] = 99;     // ADCOffset_4
    e[16 + 172] = 0xF6;  // PMCoeff_q, signed
    e[16 + 173] = 0xFF;
    e[16 + 103] ^= 0x01;  // high byte of Timer_3
    const config::TCfgWelderRW before = rig.core.Record();
    const auto o = rig.Run(features::ConfigVerifyOperation(rig.core));
    ASSERT_TRUE(o.Completed());
    EXPECT_EQ(features::ExitCode(o), 1) << "differences are news";
    ASSERT_EQ(o.details.size(), 4u);
    EXPECT_EQ(o.details[3], "PMCoeff_q: PC -5 (-50 x10), board -10 (-100 x10)");
    EXPECT_EQ(o.message, "4 fields differ between the PC and the board.");
    std::vector<std::string> keys;
    for (const auto& d : rig.core.Transfer().Last().differences) keys.push_back(d.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"MinPower", "ADCOffset_4", "Timer_3", "PMCoeff_q"}));
    EXPECT_TRUE(SameFields(rig.core.Record(), before)) << "verify never touches the record";
}

// A stop names its real cause, never a stall.
TEST(ConfigWrite, StopCausesAreNamed) {
    struct Case {
        const char* name;
        std::function<void(test::OperationRig&)> fault;
        const char* whyPart;
    };
    const Case cases[] = {
        {"wrong echoed address of a block",
         [](test::OperationRig& rig) {
             int writes = 0;
             rig.model.tamper = [writes](std::vector<std::uint8_t>& a, std::uint8_t type) mutable {
                 if (type == commands::kWriteMemory && a[0] == 0x06 && ++writes == 3) {
                     a.pop_back();
                     a[3] ^= 0x40;
                     sim::AppendAnswerChecksum(a);
                 }
             };
         },
         "the board acknowledged a write at address"},
        {"memory answer at the wrong address",
         [](test::OperationRig& rig) {
             int reads = 0;
             rig.model.tamper = [reads](std::vector<std::uint8_t>& a, std::uint8_t type) mutable {
                 if (type == commands::kReadMemory && ++reads == 4) {
                     a[3] = static_cast<std::uint8_t>(a[3] + 32);
                     a.pop_back();
                     sim::AppendAnswerChecksum(a);
                 }
             };
         },
         "memory answer at 112, 80 was asked"},
        {"garbage for the protocol version",
         [](test::OperationRig& rig) {
             rig.model.tamper = [](std::vector<std::uint8_t>& a, std::uint8_t type) {
                 if (type == commands::kReadVariable) {
                     a = {0x55, 0x13, 0x37};
                     sim::AppendAnswerChecksum(a);
                 }
             };
         },
         "garbled"},
        {"short protocol version",
         [](test::OperationRig& rig) { rig.model.shortAnswers.insert(commands::ProtocolVersion); },
         "answer for ProtocolVersion carries 2"},
        {"vanished device",
         [](test::OperationRig& rig) {
             rig.rec.onProgress = [&rig](const features::TProgress& p) {
                 if (p.phase == "writing" && p.done == 3)
                     rig.port.lost = "the device /dev/ttyUSB0 is gone (read: Input/output error)";
             };
         },
         "the device /dev/ttyUSB0 is gone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::OperationRig rig;
        c.fault(rig);
        rig.core.Document().Take(Edited());
        const std::int64_t start = rig.clock.MonotonicMs();
        const auto o = Write(rig);
        EXPECT_EQ(o.kind, TOutcomeKind::Failed);
        EXPECT_NE(o.why.find(c.whyPart), std::string::npos) << o.why;
        EXPECT_EQ(o.why.find("never sent"), std::string::npos) << o.why;
        EXPECT_LT(rig.clock.MonotonicMs() - start, 10000) << "no wait beyond one time-out";
    }
}

TEST(ConfigWrite, CancelledAfterTheBlockInFlight) {
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "fast exchange" : "quiet-line exchange");
        test::OperationRig rig;
        rig.core.SetFastMode(fast);
        rig.core.Document().Take(Edited());
        ASSERT_TRUE(rig.Start(features::ConfigWriteOperation(rig.core, {})));
        bool asked = false;
        for (int n = 0; n < 20000 && rig.rec.outcomes.empty(); ++n) {
            rig.Tick();
            const auto& s = rig.core.Session();
            if (!asked && s.chunkCounter == 5 && s.downloadActive &&
                rig.core.Protocol().InFlight()) {
                asked = true;
                rig.core.Operations().Cancel("", SIGINT);
            }
        }
        ASSERT_TRUE(asked);
        ASSERT_EQ(rig.rec.outcomes.size(), 1u);
        const auto& o = rig.rec.outcomes.back();
        EXPECT_EQ(o.kind, TOutcomeKind::Interrupted);
        EXPECT_EQ(features::ExitCode(o), 130);
        EXPECT_EQ(rig.Bodies(commands::kWriteMemory).size(), 6u)
            << "the block in flight was answered, nothing more sent";
        EXPECT_NE(o.boardHolds.find("holds blocks 1 to 6"), std::string::npos) << o.boardHolds;
        EXPECT_EQ(o.boardHolds.find("may hold either"), std::string::npos) << "block 7 never left";
        EXPECT_NE(o.message.find(Backup(o)), std::string::npos) << o.message;
        rig.Drain();
        EXPECT_EQ(rig.Bodies(commands::kWriteMemory).size(), 6u);
    }
}

}  // namespace
