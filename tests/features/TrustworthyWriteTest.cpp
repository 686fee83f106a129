// Writes that can always be undone and never leave the board's state unknown:
// the backup is what the board holds at the moment of the write, taken again
// when a read of it is damaged, unique in its folder, byte-exact beside its
// ".wcf"; a stop says what the board holds and why it stopped.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

#include "TransferRig.h"
#include "boardsim/PtyBoard.h"
#include "config/AtomicFile.h"
#include "features/ConfigBackups.h"

using namespace orvan;
using features::TConfirm;
using features::TTransferPhase;

namespace {

using Image = std::array<std::uint8_t, 384>;

Image BoardImage(const sim::TBoardModel& m) {
    Image img{};
    std::copy_n(m.Eeprom().begin() + 16, 384, img.begin());
    return img;
}

Image ReadBin(const std::string& path) {
    const std::string bytes = test::ReadText(path);
    Image img{};
    if (bytes.size() == img.size()) std::copy(bytes.begin(), bytes.end(), img.begin());
    return img;
}

config::TCfgWelderRW Edited(std::int32_t minPower = 1234) {
    config::TCfgWelderRW c(config::DefaultConfiguration());
    test::SetRaw(c, "MinPower", minPower);
    test::SetRaw(c, "PMCoeff_q", -5);
    return c;
}

// An EEPROM holding `cfg`, with a serial number that was never set.
std::array<std::uint8_t, 1024> BlankSerialBoard(const config::TCfgWelderRW& cfg) {
    auto e = sim::DefaultEeprom();
    std::fill_n(e.begin(), 16, 0xFF);
    config::TCfgWelderRW c = cfg;
    config::BuildDeviceImage(c, e.data() + 16);
    return e;
}

TEST(TrustworthyWrite, BoardSwappedAfterAReadIsBackedUpAsItIs) {
    test::TransferRig rig;
    rig.model.Eeprom() = BlankSerialBoard(Edited(1111));  // board A
    ASSERT_TRUE(rig.transfer.Read(false));
    ASSERT_TRUE(rig.Run().completed);
    // Board B on the same port, as blank in its serial number as A.
    rig.model.Eeprom() = BlankSerialBoard(Edited(2222));
    const Image boardB = BoardImage(rig.model);
    rig.record = Edited(3333);  // a file opened
    ASSERT_TRUE(rig.transfer.Write());
    const auto o = rig.Run();
    ASSERT_TRUE(o.completed) << o.message;
    config::TCfgWelderRW backup;
    ASSERT_TRUE(backup.LoadFromFile(o.backupPath));
    EXPECT_EQ(backup.GetMinPower(), 2222) << "B's configuration, not A's";
    EXPECT_EQ(ReadBin(features::BackupImagePath(o.backupPath)), boardB);
    EXPECT_NE(o.backupPath.find("/blank_"), std::string::npos) << o.backupPath;
    EXPECT_EQ(rig.model.Eeprom()[16 + 6], 3333 & 0xFF);
}

TEST(TrustworthyWrite, DamagedBackupReadIsReadAgain) {
    test::TransferRig rig;
    const Image held = BoardImage(rig.model);
    // One bit flipped in the first configuration answer of the backup read
    // (request 1 is the serial number).
    sim::ReadCorruption c;
    c.after = 1;
    c.remaining = 1;
    rig.model.CorruptReads(c);
    rig.record = Edited();
    ASSERT_TRUE(rig.transfer.Write());
    const auto o = rig.Run();
    ASSERT_TRUE(o.completed) << o.message;
    EXPECT_TRUE(o.checksumWarning.empty()) << "the second read was sound";
    EXPECT_EQ(rig.Bodies(commands::kReadMemory).size(), 1u + 24u) << "two backup reads";
    EXPECT_EQ(ReadBin(features::BackupImagePath(o.backupPath)), held);
}

TEST(TrustworthyWrite, PersistentlyDamagedBoardIsWrittenOnlyWhenAccepted) {
    test::TransferRig rig;
    rig.model.Eeprom()[16 + 6] ^= 0x10;  // MinPower changed behind the checksum
    const Image damaged = BoardImage(rig.model);
    rig.record = Edited();
    ASSERT_TRUE(rig.transfer.Write());
    const auto o = rig.Run();
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.confirm, TConfirm::DamagedBackup);
    EXPECT_NE(o.message.find("failed its checksum on two reads"), std::string::npos) << o.message;
    EXPECT_NE(o.message.find("Nothing was written"), std::string::npos);
    EXPECT_TRUE(rig.Bodies(commands::kWriteMemory).empty());
    EXPECT_EQ(BoardImage(rig.model), damaged);

    features::TWriteOptions force;
    force.acceptDamagedBackup = true;
    ASSERT_TRUE(rig.transfer.Write(force));
    const auto w = rig.Run();
    ASSERT_TRUE(w.completed) << w.message;
    EXPECT_FALSE(w.checksumWarning.empty()) << "still said";
    EXPECT_EQ(ReadBin(features::BackupImagePath(w.backupPath)), damaged) << "kept as read";
}

TEST(TrustworthyWrite, BlankBoardIsWrittenWithoutQuestions) {
    test::TransferRig rig;
    std::fill(rig.model.Eeprom().begin(), rig.model.Eeprom().end(), 0xFF);
    rig.record = Edited();
    ASSERT_TRUE(rig.transfer.Write());
    const auto o = rig.Run();
    ASSERT_TRUE(o.completed) << o.message;
    EXPECT_TRUE(o.checksumWarning.empty());
    Image blank{};
    blank.fill(0xFF);
    EXPECT_EQ(ReadBin(features::BackupImagePath(o.backupPath)), blank);
}

// Restoring a backup gives the board back exactly the bytes it held, filler
// and layout included.
TEST(TrustworthyWrite, RestoreIsByteExact) {
    struct Case {
        const char* name;
        int filler;  // -1: 0xFF
        int version, size;
    };
    const Case cases[] = {
        {"non-0xFF filler", 0x5A, 3, 218},
        {"another layout", -1, 2, 128},
        {"both", 0x00, 4, 230},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TransferRig rig;
        if (c.filler >= 0)
            sim::SetImageFiller(rig.model.Eeprom(), static_cast<std::uint8_t>(c.filler));
        if (c.version != 3 || c.size != 218)
            sim::SetImageLayout(rig.model.Eeprom(), static_cast<std::uint8_t>(c.version),
                                static_cast<std::uint16_t>(c.size));
        const Image original = BoardImage(rig.model);
        const bool other = c.version != 3 || c.size != 218;

        rig.record = Edited();
        ASSERT_TRUE(rig.transfer.Write());
        const auto refused = rig.Run();
        if (other) {
            EXPECT_FALSE(refused.completed);
            EXPECT_EQ(refused.confirm, TConfirm::OtherLayout);
            EXPECT_NE(refused.message.find("Version " + std::to_string(c.version) + ", Size " +
                                           std::to_string(c.size)),
                      std::string::npos)
                << refused.message;
            EXPECT_TRUE(rig.Bodies(commands::kWriteMemory).empty());
            EXPECT_TRUE(features::ListBackups(rig.backups).empty());
            features::TWriteOptions accept;
            accept.acceptOtherLayout = true;
            ASSERT_TRUE(rig.transfer.Write(accept));
        }
        const auto w = other ? rig.Run() : refused;
        ASSERT_TRUE(w.completed) << w.message;
        ASSERT_NE(BoardImage(rig.model), original);

        // The restore, as the window and orvan-cli config-restore do it.
        config::TCfgWelderRW fromFile;
        ASSERT_TRUE(features::RestoreBackup(w.backupPath, fromFile));
        Image exact{};
        std::string why;
        ASSERT_TRUE(features::LoadBackupImage(w.backupPath, exact, &why)) << why;
        features::TWriteOptions restore;
        restore.exactImage = exact;
        ASSERT_TRUE(rig.transfer.Write(restore));
        const auto r = rig.Run();
        ASSERT_TRUE(r.completed) << r.message;
        EXPECT_EQ(BoardImage(rig.model), original);
    }
}

TEST(TrustworthyWrite, AnEditedBackupIsNotRestoredFromItsImage) {
    test::TransferRig rig;
    rig.record = Edited();
    ASSERT_TRUE(rig.transfer.Write());
    const auto w = rig.Run();
    ASSERT_TRUE(w.completed);
    Image exact{};
    std::string why;
    ASSERT_TRUE(features::LoadBackupImage(w.backupPath, exact, &why)) << why;
    config::TCfgWelderRW edited;
    ASSERT_TRUE(edited.LoadFromFile(w.backupPath));
    test::SetRaw(edited, "MaxPower", 4321);
    ASSERT_TRUE(edited.SaveToFile(w.backupPath));
    EXPECT_FALSE(features::LoadBackupImage(w.backupPath, exact, &why));
    EXPECT_NE(why.find("changed after the backup"), std::string::npos) << why;
    std::filesystem::remove(features::BackupImagePath(w.backupPath));
    EXPECT_FALSE(features::LoadBackupImage(w.backupPath, exact, &why));
    EXPECT_NE(why.find("no exact image"), std::string::npos) << why;
}

TEST(TrustworthyWrite, BackupsOfOneSecondNeverReplaceEachOther) {
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
                paths[t].push_back(r ? r.path : "failed: " + r.message);
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
            // Each file still holds what its own writer put there.
            config::TCfgWelderRW back;
            ASSERT_TRUE(back.LoadFromFile(p));
            EXPECT_EQ(back.GetMinPower(), 100 * t + i);
            EXPECT_EQ(ReadBin(features::BackupImagePath(p))[6], (100 * t + i) & 0xFF);
        }
    }
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
    EXPECT_EQ(features::ListBackups(folder).size(), all.size());
    // Nothing but the backups and their images is left in the folder.
    EXPECT_EQ(static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                     std::filesystem::directory_iterator())),
              2 * all.size());
}

TEST(TrustworthyWrite, TwoControllersWritingIntoOneFolderInOneSecond) {
    test::TransferRig a, b;
    b.transfer.SetBackupDir(a.backups);  // same folder, same fixed clock
    a.record = Edited(1);
    b.record = Edited(2);
    ASSERT_TRUE(a.transfer.Write());
    ASSERT_TRUE(b.transfer.Write());
    const auto oa = a.Run();
    const auto ob = b.Run();
    ASSERT_TRUE(oa.completed && ob.completed);
    EXPECT_NE(oa.backupPath, ob.backupPath);
    EXPECT_NE(ob.backupPath.find("-2.wcf"), std::string::npos) << ob.backupPath;
    EXPECT_EQ(ReadBin(features::BackupImagePath(oa.backupPath)),
              ReadBin(features::BackupImagePath(ob.backupPath)))
        << "both boards held the simulator's default";
    EXPECT_EQ(features::ListBackups(a.backups).size(), 2u);
}

// A stop names its real cause, never a stall.
TEST(TrustworthyWrite, StopCausesAreNamed) {
    struct Case {
        const char* name;
        std::function<void(test::TransferRig&)> fault;
        const char* reasonPart;
        TTransferPhase phase;
    };
    const Case cases[] = {
        {"wrong echoed address of a block",
         [](test::TransferRig& rig) {
             int writes = 0;
             rig.model.tamper = [writes](std::vector<std::uint8_t>& a, std::uint8_t type) mutable {
                 if (type == commands::kWriteMemory && a[0] == 0x06 && ++writes == 3) {
                     a.pop_back();  // the answer's checksum, made again below
                     a[3] ^= 0x40;  // low address byte
                     sim::AppendAnswerChecksum(a);
                 }
             };
         },
         "the board acknowledged a write at address", TTransferPhase::Download},
        {"memory answer at the wrong address",
         [](test::TransferRig& rig) {
             int reads = 0;
             rig.model.tamper = [reads](std::vector<std::uint8_t>& a, std::uint8_t type) mutable {
                 if (type == commands::kReadMemory && ++reads == 4) {
                     a[3] = static_cast<std::uint8_t>(a[3] + 32);
                     a.pop_back();
                     sim::AppendAnswerChecksum(a);
                 }
             };
         },
         "memory answer at 112, 80 was asked", TTransferPhase::BackupRead},
        {"garbage for the protocol version",
         [](test::TransferRig& rig) {
             rig.model.tamper = [](std::vector<std::uint8_t>& a, std::uint8_t type) {
                 if (type == commands::kReadVariable) {
                     a = {0x55, 0x13, 0x37};
                     sim::AppendAnswerChecksum(a);
                 }
             };
         },
         "garbled", TTransferPhase::Identify},
        {"short protocol version",
         [](test::TransferRig& rig) { rig.model.shortAnswers.insert(commands::ProtocolVersion); },
         "the board did not tell its protocol version (answer for ProtocolVersion carries 2",
         TTransferPhase::Identify},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TransferRig rig;
        c.fault(rig);
        rig.record = Edited();
        ASSERT_TRUE(rig.transfer.Write());
        const auto o = rig.Run();
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.phase, c.phase);
        EXPECT_NE(o.reason.find(c.reasonPart), std::string::npos) << o.reason;
        EXPECT_EQ(o.reason.find("stalled"), std::string::npos) << o.reason;
    }
}

TEST(TrustworthyWrite, StoppedAfterTheBlockInFlight) {
    test::TransferRig rig;
    rig.record = Edited();
    ASSERT_TRUE(rig.transfer.Write());
    bool asked = false, refusedWhileInFlight = false;
    for (int n = 0; n < 20000 && rig.listener.outcomes.empty(); ++n) {
        rig.cycle.Tick();
        rig.clock.Advance(30);
        const bool inFlight = rig.protocol.InFlight();
        if (!asked && rig.session.chunkCounter == 5 && rig.session.downloadActive && inFlight) {
            asked = true;
            refusedWhileInFlight = !rig.transfer.StopAfterInFlight("interrupted by SIGINT");
        } else if (asked) {
            (void)rig.transfer.StopAfterInFlight("interrupted by SIGINT");
        }
    }
    ASSERT_TRUE(asked);
    EXPECT_TRUE(refusedWhileInFlight) << "waits for the block in flight";
    ASSERT_EQ(rig.listener.outcomes.size(), 1u);
    const auto& o = rig.listener.outcomes.back();
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.blocksDone, 6) << "the block in flight was acknowledged, nothing more sent";
    EXPECT_EQ(rig.Bodies(commands::kWriteMemory).size(), 6u);
    EXPECT_EQ(o.reason, "interrupted by SIGINT");
    EXPECT_NE(o.message.find("holds blocks 1 to 6"), std::string::npos) << o.message;
    EXPECT_NE(o.message.find(o.backupPath), std::string::npos) << o.message;
    rig.Drain();
    EXPECT_EQ(rig.Bodies(commands::kWriteMemory).size(), 6u);
}

TEST(TrustworthyWrite, AbandonedWriteSaysWhatTheBoardHolds) {
    test::TransferRig rig;
    rig.record = Edited();
    rig.listener.onProgress = [&](TTransferPhase p, int done) {
        if (p == TTransferPhase::Download && done == 9) rig.listener.onProgress = nullptr;
    };
    ASSERT_TRUE(rig.transfer.Write());
    for (int n = 0; n < 20000 && !(rig.session.downloadActive && rig.session.chunkCounter >= 9);
         ++n) {
        rig.cycle.Tick();
        rig.clock.Advance(30);
    }
    const auto o = rig.transfer.Abandon("the program was closed during the transfer");
    EXPECT_FALSE(rig.transfer.Busy());
    EXPECT_EQ(o.blocksDone, 9);
    EXPECT_NE(o.message.find("holds blocks 1 to 9"), std::string::npos) << o.message;
    EXPECT_NE(o.message.find(o.backupPath), std::string::npos);
    EXPECT_FALSE(o.backupPath.empty());
    EXPECT_EQ(rig.protocol.QueueCount(), 0u);
    EXPECT_FALSE(rig.session.downloadActive);
}

TEST(TrustworthyWrite, VanishedDeviceIsSaidAtOnce) {
    test::TransferRig rig;
    rig.record = Edited();
    rig.listener.onProgress = [&](TTransferPhase p, int done) {
        if (p == TTransferPhase::Download && done == 3)
            rig.port.lost = "the device /dev/ttyUSB0 is gone (read: Input/output error)";
    };
    ASSERT_TRUE(rig.transfer.Write());
    std::int64_t lostAt = -1;
    rig.listener.onProgress = [&, first = rig.listener.onProgress](TTransferPhase p, int done) {
        first(p, done);
        if (!rig.port.lost.empty() && lostAt < 0) lostAt = rig.clock.MonotonicMs();
    };
    const auto o = rig.Run();
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.reason, "the device /dev/ttyUSB0 is gone (read: Input/output error)");
    EXPECT_EQ(o.blocksDone, 3);
    ASSERT_GE(lostAt, 0);
    EXPECT_LT(rig.clock.MonotonicMs() - lostAt, 300) << "no wait for the receive time-out";
}

}  // namespace
