// Configuration write, read and verify against the simulated board: what goes
// on the wire, how each operation ends, what the record and the board hold
// afterwards, and the backups taken before every write.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "TransferRig.h"
#include "features/ConfigBackups.h"
#include "link/Comprotocol.h"
#include "link/FrameCodec.h"

using namespace orvan;
using features::TTransferOp;
using features::TTransferPhase;

namespace {

// A configuration unlike the simulator's default in many fields, signed ones
// included.
config::TCfgWelderRW Edited() {
    config::TCfgWelderRW c(config::DefaultConfiguration());
    test::SetRaw(c, "MinPower", 1234);
    test::SetRaw(c, "ADCOffset_2", 17);
    test::SetRaw(c, "PMCoeff_q", -5);
    test::SetRaw(c, "TempCoeff_m", -321);
    test::SetRaw(c, "Timer_15", 65535);
    test::SetRaw(c, "WATable_A_5", 4242);
    test::SetRaw(c, "TempStartupErrRetry", 9);
    return c;
}

bool SameFields(const config::TWelderCfgBlank& a, const config::TWelderCfgBlank& b) {
    return features::CompareConfigurations(a, b).empty();
}

std::array<std::uint8_t, 384> BoardImage(const sim::TBoardModel& m) {
    std::array<std::uint8_t, 384> img{};
    std::copy_n(m.Eeprom().begin() + 16, 384, img.begin());
    return img;
}

TEST(ConfigWrite, ThenReadGivesTheSameFileValues) {
    test::TransferRig rig;
    const std::string in = rig.dir.File("in.wcf"), out = rig.dir.File("out.wcf");
    ASSERT_TRUE(Edited().SaveToFile(in));
    ASSERT_TRUE(rig.record.LoadFromFile(in));
    const auto before = BoardImage(rig.model);

    ASSERT_TRUE(rig.transfer.Write());
    const auto& w = rig.Run();
    ASSERT_TRUE(w.completed) << w.message;
    EXPECT_EQ(w.op, TTransferOp::Write);
    EXPECT_EQ(w.blocksDone, 24);
    EXPECT_EQ(w.serial, "SIM-000001");
    EXPECT_FALSE(rig.session.downloadActive);
    EXPECT_NE(w.message.find("24 of 24"), std::string::npos);
    EXPECT_EQ(rig.Bodies(commands::kWriteMemory).size(), 24u);
    // The progress went block by block.
    std::vector<int> blocks;
    for (const auto& p : rig.listener.progress)
        if (p.phase == TTransferPhase::Download) blocks.push_back(p.done);
    ASSERT_EQ(blocks.size(), 24u);
    EXPECT_EQ(blocks.front(), 1);
    EXPECT_EQ(blocks.back(), 24);

    // The backup holds what the board held before.
    config::TCfgWelderRW held, backup;
    held.LoadFromImage(before.data());
    ASSERT_TRUE(backup.LoadFromFile(w.backupPath));
    EXPECT_TRUE(SameFields(held, backup));
    EXPECT_EQ(std::filesystem::path(w.backupPath).filename(), "SIM-000001_20261208-041900.wcf");

    config::TCfgWelderRW fresh;
    features::TConfigTransfer reader(rig.session, fresh, rig.listener);
    rig.events.Subscribe(reader);
    ASSERT_TRUE(reader.Read(false));
    const auto& rd = rig.Run();
    ASSERT_TRUE(rd.completed) << rd.message;
    EXPECT_TRUE(rd.checksumWarning.empty());
    ASSERT_TRUE(fresh.SaveToFile(out));
    config::TCfgWelderRW a, b;
    ASSERT_TRUE(a.LoadFromFile(in));
    ASSERT_TRUE(b.LoadFromFile(out));
    // The written record carries Version 3 and Size 218, as the file did.
    EXPECT_TRUE(SameFields(a, b));
    EXPECT_TRUE(config::ImageChecksumOk(BoardImage(rig.model).data()));
}

TEST(ConfigWrite, BlocksOnTheWire) {
    struct Row {
        sim::Version3 protocol;
        bool securityCode;
    };
    for (const Row& row : {Row{{2, 1, 0}, true}, Row{{2, 2, 9}, false}, Row{{2, 1, 1}, false}}) {
        test::TransferRig rig;
        rig.model.protocol = row.protocol;
        rig.record = Edited();
        ASSERT_TRUE(rig.transfer.Write());
        ASSERT_TRUE(rig.Run().completed);
        std::array<std::uint8_t, 384> image{};
        config::TCfgWelderRW built = Edited();
        config::BuildDeviceImage(built, image.data());
        const auto writes = rig.Bodies(commands::kWriteMemory);
        ASSERT_EQ(writes.size(), 24u);
        for (std::size_t k = 0; k < writes.size(); ++k) {
            std::vector<std::uint8_t> want = {0x01};
            if (row.securityCode) want.insert(want.end(), {0x19, 0x2D, 0x7E, 0x4B});
            const std::uint16_t address = static_cast<std::uint16_t>(16 + 16 * k);
            want.push_back(static_cast<std::uint8_t>(address >> 8));
            want.push_back(static_cast<std::uint8_t>(address & 0xFF));
            want.insert(want.end(), image.begin() + 16 * k, image.begin() + 16 * k + 16);
            EXPECT_EQ(writes[k], want) << "block " << k << " at protocol " << row.protocol.Packed();
        }
        EXPECT_EQ(writes.back()[row.securityCode ? 5 : 1], 0x01) << "last block at 384 = 0x0180";
        EXPECT_EQ(writes.back()[row.securityCode ? 6 : 2], 0x80);
        EXPECT_EQ(BoardImage(rig.model), image);
    }
}

// The board's blocks before a write, to see what a stopped one changed.
struct StopCase {
    const char* name;
    int k;              // blocks acknowledged before the stop
    std::uint8_t code;  // refusal code; 0 for a time-out
    std::string why;
};

TEST(ConfigWrite, StoppedAtBlockKIsReportedAndGoesNoFurther) {
    const StopCase cases[] = {
        {"refused first block", 0, 12, "Security code error!"},
        {"refused block 5", 5, 10, "EEPROM previous writing in course. Wait a while and retry..."},
        {"refused last block", 23, 11, "Operation denied in the current work phase!"},
        {"time-out at block 0", 0, 0, "RX TimeOut"},
        {"time-out at block 9", 9, 0, "RX TimeOut"},
        {"time-out at last block", 23, 0, "RX TimeOut"},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TransferRig rig;
        rig.record = Edited();
        if (c.code != 0) {
            sim::ForcedError e;
            e.code = c.code;
            e.remaining = 1;
            e.type = commands::kWriteMemory;
            e.after = c.k;
            rig.model.ForceError(e);
        } else if (c.k == 0) {
            rig.listener.onProgress = [&](TTransferPhase p, int done) {
                if (p == TTransferPhase::BackupRead && done == 12) rig.port.silent = true;
            };
        } else {
            rig.listener.onProgress = [&](TTransferPhase p, int done) {
                if (p == TTransferPhase::Download && done == c.k) rig.port.silent = true;
            };
        }
        const auto before = BoardImage(rig.model);
        ASSERT_TRUE(rig.transfer.Write());
        // What the record holds once the image is built (Version 3, Size 218).
        const config::TCfgWelderRW record = rig.record;
        const auto o = rig.Run();
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.phase, TTransferPhase::Download);
        EXPECT_EQ(o.blocksDone, c.k);
        EXPECT_EQ(o.blocksTotal, 24);
        EXPECT_EQ(o.reason, c.why);
        EXPECT_NE(o.message.find("stopped at block " + std::to_string(c.k + 1) + " of 24"),
                  std::string::npos)
            << o.message;
        EXPECT_NE(o.message.find(o.backupPath), std::string::npos) << "names the backup";
        EXPECT_EQ(rig.listener.outcomes.size(), 1u);
        EXPECT_FALSE(rig.session.downloadActive);
        EXPECT_EQ(rig.session.chunkCounter, c.k);
        EXPECT_TRUE(SameFields(rig.record, record)) << "the record is as it was";
        EXPECT_FALSE(rig.transfer.KnownBoardImage()) << "the board holds a mix now";
        // Blocks from k on are as the board had them.
        const auto after = BoardImage(rig.model);
        EXPECT_TRUE(std::equal(after.begin() + 16 * c.k, after.end(), before.begin() + 16 * c.k));
        // A later write of another sender, at the stopped block's own
        // address, sends no configuration block.
        rig.port.silent = false;
        rig.model.ClearForcedError();
        const auto writes = rig.Bodies(commands::kWriteMemory).size();
        const std::uint8_t ab[] = {'A', 'B'};
        ASSERT_TRUE(rig.session.WriteMemoryBytes(static_cast<std::uint16_t>(16 + 16 * c.k), ab));
        rig.Drain();
        EXPECT_EQ(rig.Bodies(commands::kWriteMemory).size(), writes + 1);
        EXPECT_EQ(rig.listener.outcomes.size(), 1u);
    }
}

TEST(ConfigWrite, NothingIsWrittenWithoutABackup) {
    {
        SCOPED_TRACE("refusal while reading what the board holds");
        test::TransferRig rig;
        sim::ForcedError e;
        e.code = 10;
        e.remaining = 1;
        e.type = commands::kReadMemory;
        e.after = 4;  // the serial number and three configuration blocks
        rig.model.ForceError(e);
        ASSERT_TRUE(rig.transfer.Write());
        const auto o = rig.Run();
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.phase, TTransferPhase::BackupRead);
        EXPECT_EQ(o.blocksDone, 3);
        EXPECT_NE(o.message.find("Nothing was written"), std::string::npos);
        EXPECT_TRUE(rig.Bodies(commands::kWriteMemory).empty());
    }
    {
        SCOPED_TRACE("backup folder cannot be made");
        test::TransferRig rig;
        test::WriteText(rig.backups, "a file where the folder should be");
        ASSERT_TRUE(rig.transfer.Write());
        const auto o = rig.Run();
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.phase, TTransferPhase::Backup);
        EXPECT_NE(o.reason.find(rig.backups), std::string::npos) << o.reason;
        EXPECT_NE(o.message.find("Nothing was written"), std::string::npos);
        EXPECT_TRUE(rig.Bodies(commands::kWriteMemory).empty());
    }
    {
        SCOPED_TRACE("protocol version unknown and refused");
        test::TransferRig rig;
        sim::ForcedError e;
        e.code = 3;
        e.remaining = 1;
        e.type = commands::kReadVariable;
        rig.model.ForceError(e);
        ASSERT_TRUE(rig.transfer.Write());
        const auto o = rig.Run();
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.phase, TTransferPhase::Identify);
        EXPECT_EQ(o.reason, "the board did not tell its protocol version");
        EXPECT_EQ(o.serial, "SIM-000001");
        EXPECT_TRUE(rig.Bodies(commands::kWriteMemory).empty());
    }
    {
        SCOPED_TRACE("no folder at all");
        test::TransferRig rig;
        rig.transfer.SetBackupDir("");
        EXPECT_FALSE(rig.transfer.Write());
        EXPECT_TRUE(rig.port.bodies.empty());
    }
}

TEST(ConfigWrite, BackupComesFromTheLastReadOfTheSameBoard) {
    test::TransferRig rig;
    ASSERT_TRUE(rig.transfer.Read(false));
    ASSERT_TRUE(rig.Run().completed);
    const config::TCfgWelderRW asRead = rig.record;
    const auto reads = rig.Bodies(commands::kReadMemory).size();
    EXPECT_EQ(reads, 13u) << "serial number and 12 blocks";

    rig.record = Edited();
    ASSERT_TRUE(rig.transfer.Write());
    const auto first = rig.Run();
    ASSERT_TRUE(first.completed) << first.message;
    EXPECT_EQ(rig.Bodies(commands::kReadMemory).size(), reads + 1) << "only the serial number";
    config::TCfgWelderRW b1;
    ASSERT_TRUE(b1.LoadFromFile(first.backupPath));
    EXPECT_TRUE(SameFields(b1, asRead));

    // A second write keeps what the first one wrote, still without a read.
    config::TCfgWelderRW second = Edited();
    test::SetRaw(second, "MaxPower", 777);
    rig.record = second;
    ASSERT_TRUE(rig.transfer.Write());
    const auto o2 = rig.Run();
    ASSERT_TRUE(o2.completed);
    EXPECT_EQ(rig.Bodies(commands::kReadMemory).size(), reads + 2);
    config::TCfgWelderRW b2;
    ASSERT_TRUE(b2.LoadFromFile(o2.backupPath));
    config::TCfgWelderRW firstWritten = Edited();
    std::array<std::uint8_t, 384> tmp{};
    config::BuildDeviceImage(firstWritten, tmp.data());
    EXPECT_TRUE(SameFields(b2, firstWritten));
    EXPECT_NE(o2.backupPath, first.backupPath);

    // Another board on the line: its own configuration is read for the backup.
    std::copy_n("SIM-000002", 10, rig.model.Eeprom().begin());
    ASSERT_TRUE(rig.transfer.Write());
    const auto o3 = rig.Run();
    ASSERT_TRUE(o3.completed);
    EXPECT_EQ(o3.serial, "SIM-000002");
    EXPECT_EQ(rig.Bodies(commands::kReadMemory).size(), reads + 2 + 13);
    EXPECT_NE(o3.backupPath.find("SIM-000002_"), std::string::npos);

    const auto list = features::ListBackups(rig.backups);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, o3.backupPath) << "newest first";
    EXPECT_EQ(list[2].path, first.backupPath);
}

TEST(ConfigRead, StoppedReadLeavesTheRecord) {
    for (int k : {0, 4, 11}) {
        SCOPED_TRACE(k);
        test::TransferRig rig;
        rig.record = Edited();
        const config::TCfgWelderRW before = rig.record;
        sim::ForcedError e;
        e.code = 7;
        e.values = {static_cast<std::uint16_t>(16 + 32 * k)};
        e.remaining = 1;
        e.type = commands::kReadMemory;
        e.after = 1 + k;  // after the serial number and k blocks
        rig.model.ForceError(e);
        ASSERT_TRUE(rig.transfer.Read());
        const auto o = rig.Run();
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.phase, TTransferPhase::Upload);
        EXPECT_EQ(o.blocksDone, k);
        EXPECT_EQ(o.blocksTotal, 12);
        EXPECT_EQ(o.reason, "Invalid EEPROM address: " + std::to_string(16 + 32 * k));
        EXPECT_NE(o.message.find("unchanged"), std::string::npos);
        EXPECT_TRUE(SameFields(rig.record, before));
        EXPECT_EQ(rig.session.readPurpose, commands::kPurposeRaw);
    }
}

TEST(ConfigRead, DamagedImageIsLoadedWithAWarning) {
    test::TransferRig rig;
    // MinPower changed behind the checksum's back.
    rig.model.Eeprom()[16 + 6] = 0x34;
    rig.model.Eeprom()[16 + 7] = 0x12;
    ASSERT_TRUE(rig.transfer.Read(true));
    const auto o = rig.Run();
    ASSERT_TRUE(o.completed);
    EXPECT_NE(o.checksumWarning.find("damaged"), std::string::npos) << o.checksumWarning;
    EXPECT_EQ(rig.record.GetMinPower(), 0x1234) << "what was read is still shown";
    // The window's read goes on with the tuning log.
    rig.Drain();
    EXPECT_EQ(rig.view.tuningComplete, 1);
    // A sound image reads without one.
    config::TCfgWelderRW c = Edited();
    config::BuildDeviceImage(c, rig.model.Eeprom().data() + 16);
    ASSERT_TRUE(rig.transfer.Read(false));
    const auto o2 = rig.Run();
    ASSERT_TRUE(o2.completed);
    EXPECT_TRUE(o2.checksumWarning.empty());
}

TEST(ConfigVerify, ListsExactlyTheFieldsChangedOnTheBoard) {
    test::TransferRig rig;
    rig.record = Edited();
    ASSERT_TRUE(rig.transfer.Write());
    ASSERT_TRUE(rig.Run().completed);

    ASSERT_TRUE(rig.transfer.Verify());
    const auto same = rig.Run();
    ASSERT_TRUE(same.completed);
    EXPECT_TRUE(same.differences.empty());
    EXPECT_EQ(same.message, "The configuration on the board is identical to the one on the PC.");

    // Behind the tool's back: MinPower (offset 6), ADCOffset_4 (22), PMCoeff_q
    // (172, signed) and the high byte of Timer_3 (96 + 7).
    auto& e = rig.model.Eeprom();
    e[16 + 6] = 0x00;
    e[16 + 7] = 0x10;
    e[16 + 22] = 99;
    e[16 + 172] = 0xF6;
    e[16 + 173] = 0xFF;
    e[16 + 103] ^= 0x01;
    const config::TCfgWelderRW before = rig.record;
    ASSERT_TRUE(rig.transfer.Verify());
    const auto o = rig.Run();
    ASSERT_TRUE(o.completed);
    std::vector<std::string> keys;
    for (const auto& d : o.differences) keys.push_back(d.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"MinPower", "ADCOffset_4", "Timer_3", "PMCoeff_q"}));
    EXPECT_EQ(o.message, "4 fields differ between the PC and the board.");
    EXPECT_FALSE(o.checksumWarning.empty()) << "changed behind the checksum too";
    EXPECT_TRUE(SameFields(rig.record, before)) << "verify never touches the record";
    const auto& q = o.differences[3];
    EXPECT_EQ(q.pcRaw, -5);
    EXPECT_EQ(q.boardRaw, -10);
    EXPECT_EQ(features::DifferenceText(q), "PMCoeff_q: PC -5 (-50 x10), board -10 (-100 x10)");
    EXPECT_EQ(o.differences[0].boardRaw, 0x1000);
    EXPECT_NE(features::DifferenceText(o.differences[0]).find(" A)"), std::string::npos);
    EXPECT_EQ(rig.Bodies(commands::kReadMemory).size(), 13u + 24u)
        << "the write's serial number and backup, then two verifies without the tuning log";
}

TEST(ConfigTransfer, OneAtATimeAndNotOverAnotherSequence) {
    test::TransferRig rig;
    ASSERT_TRUE(rig.transfer.Read());
    EXPECT_FALSE(rig.transfer.Write());
    EXPECT_FALSE(rig.transfer.Verify());
    rig.Run();
    rig.Drain();
    (void)rig.core.Eeprom().StartEepromDump();
    const auto busy = rig.transfer.Verify();
    EXPECT_FALSE(busy);
    EXPECT_NE(busy.message.find("Another transfer"), std::string::npos);
    EXPECT_EQ(rig.listener.outcomes.size(), 1u);
}

TEST(ConfigTransfer, AnOutcomeEvenWhenTheSequenceIsTakenAway) {
    {
        SCOPED_TRACE("another memory read replaces the upload");
        test::TransferRig rig;
        rig.listener.onProgress = [&](TTransferPhase, int done) {
            if (done == 3) (void)rig.core.Eeprom().StartEepromDump();
        };
        ASSERT_TRUE(rig.transfer.Verify());
        const auto o = rig.Run();
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.blocksDone, 3);
        EXPECT_EQ(o.reason, "another memory read was started");
    }
    {
        SCOPED_TRACE("another writer ends the download");
        test::TransferRig rig;
        rig.listener.onProgress = [&](TTransferPhase p, int done) {
            const std::uint8_t ab[] = {1, 2};
            if (p == TTransferPhase::Download && done == 2)
                (void)rig.session.WriteMemoryBytes(600, ab);
        };
        ASSERT_TRUE(rig.transfer.Write());
        const auto o = rig.Run();
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.blocksDone, 2);
        EXPECT_EQ(o.reason, "another write to the board memory");
    }
    {
        SCOPED_TRACE("the exchange falls idle under it");
        test::TransferRig rig;
        ASSERT_TRUE(rig.transfer.Read());
        rig.protocol.ClearQueue();  // the serial-number read is dropped unsent
        const auto o = rig.Run();
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.phase, TTransferPhase::Identify);
        EXPECT_NE(o.reason.find("stalled"), std::string::npos);
    }
}

}  // namespace
