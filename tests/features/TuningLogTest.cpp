// The tuning log from hand-built images: the check, the choice between the
// two copies, the ring, the decoded values and the ".log" file, byte for byte.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/AtomicFile.h"
#include "features/TuningLog.h"
#include "features/WelderData.h"
#include "link/ByteOrder.h"
#include "support/TempDir.h"

namespace orvan::features {
namespace {

using Image = std::array<std::uint8_t, kTuningLogBytes>;

struct Entry {
    int slot;
    std::uint32_t time, work;
    std::uint16_t current, power;
};

// One copy: head, sequence, entries; its check made right unless `spoil`.
void BuildCopy(Image& img, int copy, std::uint8_t head, std::uint32_t seq,
               const std::vector<Entry>& entries, bool spoil = false,
               std::uint32_t date = 1768471200) {
    std::uint8_t* c = img.data() + kTuningCopySize * static_cast<std::size_t>(copy);
    std::fill(c, c + kTuningCopySize, 0xFF);
    link::PutLe32(c, date);
    c[kRingHeadOffset] = head;
    const std::uint16_t tuned[5] = {13107, 26214, 39321, 52428, 65535};
    for (int k = 0; k < 5; ++k) link::PutLe16(c + kTunedCurrentsOffset + 2 * k, tuned[k]);
    for (const Entry& e : entries) {
        std::uint8_t* p = c + kRingOffset + kEntrySize * static_cast<std::size_t>(e.slot);
        link::PutLe32(p, e.time);
        link::PutLe32(p + 4, e.work);
        link::PutLe16(p + 8, e.current);
        link::PutLe16(p + 10, e.power);
    }
    link::PutLe32(c + kSequenceOffset, seq);
    const std::uint16_t check = TuningCopyCheck(std::span<const std::uint8_t>(c, kTuningCopySize));
    link::PutLe16(c + kCheckOffset, spoil ? static_cast<std::uint16_t>(check ^ 1) : check);
}

Image Erased() {
    Image i{};
    i.fill(0xFF);
    return i;
}

TEST(TuningLogCheck, KnownValues) {
    const std::uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(TuningCopyCheck(abc), 0x1EE4);
    const std::array<std::uint8_t, 158> zeros{};
    EXPECT_EQ(TuningCopyCheck(zeros), 0);
}

TEST(TuningLogCopies, TheCopyTrustedIsChosenAsTheBoardMeansIt) {
    struct Row {
        const char* name;
        bool aGood, bGood;
        std::uint32_t seqA, seqB;
        std::uint8_t expected;
    };
    const Row rows[] = {
        {"equal sequences: B", true, true, 5, 5, 2},
        {"A strictly newer", true, true, 6, 5, 1},
        {"B newer", true, true, 5, 9, 2},
        {"sequence compared unsigned", true, true, 0x80000000u, 1, 1},
        {"only A", true, false, 1, 9, 1},
        {"only B", false, true, 9, 1, 2},
        {"neither", false, false, 1, 1, 0},
    };
    for (const Row& r : rows) {
        Image img = Erased();
        BuildCopy(img, 0, 0, r.seqA, {{0, 100, 3600, 65535 / 2, 5000}}, !r.aGood);
        BuildCopy(img, 1, 0, r.seqB, {{0, 200, 7200, 65535 / 4, 2500}}, !r.bGood);
        TWelderData d;
        d.CurrentDiodeMax = 5000;
        d.SelectCopy(img);
        EXPECT_EQ(d.validCopy, r.expected) << r.name;
        EXPECT_EQ(d.HasTable(), r.expected != 0) << r.name;
        const tuninglog e = d.Entry(0);
        EXPECT_EQ(e.valid, r.expected != 0) << r.name << ": nothing damaged shown as valid";
        if (r.expected == 1) {
            EXPECT_EQ(e.time, 100u) << r.name;
        }
        if (r.expected == 2) {
            EXPECT_EQ(e.time, 200u) << r.name;
        }
    }
}

TEST(TuningLogRing, NewestFirstWrappingAndStoppingAtTheFirstAbsent) {
    struct Row {
        const char* name;
        std::uint8_t head;
        std::vector<Entry> entries;
        std::vector<std::uint32_t> listed;  // times, newest first
    };
    const Row rows[] = {
        {"wraps from slot 0 to 7",
         2,
         {{2, 30, 0, 1, 1}, {1, 20, 0, 1, 1}, {0, 10, 0, 1, 1}, {7, 5, 0, 1, 1}},
         {30, 20, 10, 5}},
        {"no tuning done", 0xFF, {{0, 10, 0, 1, 1}}, {}},
        {"head outside the ring", 9, {{0, 10, 0, 1, 1}}, {}},
        {"absent power ends the list",
         3,
         {{3, 40, 0, 1, 1}, {2, 30, 0, 1, 0xFFFF}, {1, 20, 0, 1, 1}},
         {40}},
        {"absent current ends the list", 1, {{1, 20, 0, 1, 1}, {0, 10, 0, 0xFFFF, 1}}, {20}},
        {"all eight",
         7,
         {{0, 1, 0, 1, 1},
          {1, 2, 0, 1, 1},
          {2, 3, 0, 1, 1},
          {3, 4, 0, 1, 1},
          {4, 5, 0, 1, 1},
          {5, 6, 0, 1, 1},
          {6, 7, 0, 1, 1},
          {7, 8, 0, 1, 1}},
         {8, 7, 6, 5, 4, 3, 2, 1}},
    };
    for (const Row& r : rows) {
        Image img = Erased();
        BuildCopy(img, 0, r.head, 1, r.entries);
        TWelderData d;
        d.SelectCopy(img);
        std::vector<std::uint32_t> listed;
        for (int i = 0; i < kTuningRingSize; ++i) {
            const tuninglog e = d.Entry(i);
            if (!e.valid) break;
            listed.push_back(e.time);
        }
        EXPECT_EQ(listed, r.listed) << r.name;
        EXPECT_EQ(d.tuningDone, r.head != 0xFF) << r.name;
    }
}

TEST(TuningLogValues, EntryTunedCurrentsAndTimes) {
    Image img = Erased();
    // 2026-01-15 10:00:00, 1.5 h of work, half of 50 A, 75.5 W.
    BuildCopy(img, 0, 0, 1, {{0, 1768471200, 5400, 32768, 7550}});
    TWelderData d;
    d.CurrentDiodeMax = 5000;
    d.SelectCopy(img);
    const tuninglog e = d.Entry(0);
    ASSERT_TRUE(e.valid);
    EXPECT_DOUBLE_EQ(e.current, 50.0 * 32768 / 65535);
    EXPECT_DOUBLE_EQ(e.power, 75.5);
    EXPECT_DOUBLE_EQ(e.hours, 1.5);
    EXPECT_EQ(e.dateTime, "15/01/2026 10:00:00");
    EXPECT_EQ(d.FactoryTuningTimeText(), "15/01/2026 10:00:00");
    EXPECT_DOUBLE_EQ(d.TunedCurrent(0), 10.0);  // 13107 / 65535 of 50 A
    EXPECT_DOUBLE_EQ(d.TunedCurrent(4), 50.0);
    EXPECT_DOUBLE_EQ(d.table[1][5], 50.0);
    EXPECT_DOUBLE_EQ(d.TunedCurrent(5), 0.0) << "outside the five points";
    EXPECT_FALSE(d.Entry(8).valid);
    EXPECT_FALSE(d.Entry(-1).valid);
}

TEST(TuningLogFile, BytesAsTheTechniciansKnowThem) {
    Image img = Erased();
    BuildCopy(img, 0, 1, 1,
              {{1, 1768471200, 5400, 32768, 7550}, {0, 1768467600, 3600, 52428, 8000}});
    TWelderData d;
    d.CurrentDiodeMax = 5000;
    d.SelectCopy(img);
    for (int p = 0; p < 6; ++p) d.SetTableValue(0, p, 10.0 * (p + 1));
    d.SetTableValue(0, 1, 2049 * 0.01);  // 20.490000000000002 as a double
    d.SetTableValue(1, 0, 1.234);
    for (int k = 0; k < 5; ++k) (void)d.TunedCurrent(k);
    const std::string expected =
        "Velkor Laser technology\n"
        "14/02/2007\n\r\n\r"
        "Tuning log:\t\n"
        "Data/Ora\tA\tW\tOre\t\t\n"
        "15/01/2026 10:00:00\t25\t75.5\t1.5\t\n"
        "15/01/2026 09:00:00\t40\t80\t1\t\n"
        "\t\n"
        "Tabella di linearizzazione Potenza/Corrente:\t\n"
        "W\tA\t\t\n"
        "10\t1.23\t\n"
        "20.49\t10\t\n"
        "30\t20\t\n"
        "40\t30\t\n"
        "50\t40\t\n"
        "60\t50\t\n";
    EXPECT_EQ(d.LogText(), expected);

    test::TempDir dir;
    const std::string path = dir.File("board.log");
    ASSERT_TRUE(d.Save(path));
    std::string written;
    ASSERT_TRUE(config::ReadWholeFile(path, written));
    EXPECT_EQ(written, expected);
    EXPECT_EQ(written.substr(0, 24), "Velkor Laser technology\x0A");
    EXPECT_EQ(written.substr(24, 14), "14/02/2007\x0A\x0D\x0A\x0D");
}

TEST(TuningLogFile, NothingSavedBeforeAReadFromADamagedLogOrIntoNowhere) {
    test::TempDir dir;
    TWelderData fresh;
    const std::string path = dir.File("x.log");
    const TResult before = fresh.Save(path);
    EXPECT_FALSE(before);
    EXPECT_NE(before.why.find("Get tuning log"), std::string::npos) << before.why;
    std::string content;
    EXPECT_FALSE(config::ReadWholeFile(path, content)) << "no file made";

    Image img = Erased();
    BuildCopy(img, 0, 0, 1, {}, true);
    BuildCopy(img, 1, 0, 1, {}, true);
    TWelderData damaged;
    damaged.SelectCopy(img);
    EXPECT_FALSE(damaged.Save(path));
    EXPECT_FALSE(config::ReadWholeFile(path, content));

    BuildCopy(img, 0, 0, 1, {{0, 1, 1, 1, 1}});
    TWelderData good;
    good.SelectCopy(img);
    const TResult nowhere = good.Save(dir.File("no/such/folder/x.log"));
    EXPECT_FALSE(nowhere) << "a save that fails is said";
    EXPECT_FALSE(nowhere.why.empty());
}

TEST(TuningLogFile, ShortOrOddImagesNeverReadOutside) {
    TWelderData d;
    const std::uint8_t few[] = {1, 2, 3};
    d.SelectCopy(few);
    EXPECT_EQ(d.validCopy, 0);
    for (int i = 0; i < kTuningRingSize; ++i) EXPECT_FALSE(d.Entry(i).valid);
    EXPECT_FALSE(d.LogText().empty());
}

}  // namespace
}  // namespace orvan::features
