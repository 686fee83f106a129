// The simulated board's variables: their layouts, their refusals, their state.

#include <gtest/gtest.h>

#include "boardsim/BoardModel.h"
#include "link/FrameCodec.h"

using namespace orvan;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Board {
    sim::TBoardModel m;
    std::int64_t now = 0;
    Board() {
        m.nowMs = [this] { return now; };
    }
    // The answer without its trailing checksum byte.
    Bytes Ask(Bytes body) {
        Bytes a = m.HandleRequest(body.data(), body.size());
        if (!a.empty() && a[0] == sim::kAck) a.pop_back();
        return a;
    }
    Bytes Read(std::uint16_t code) {
        Bytes a =
            Ask({0x0B, static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8)});
        return a.size() >= 4 && a[0] == sim::kAck ? Bytes(a.begin() + 4, a.end()) : a;
    }
    Bytes Write(std::uint16_t code, Bytes value) {
        Bytes body = {0x0A, static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8)};
        body.insert(body.end(), value.begin(), value.end());
        return Ask(body);
    }
};

const Bytes kAckWrite = {0x06, 0x0A};

TEST(SimulatedBoard, WriteAndReadLayoutsDiffer) {
    struct Row {
        std::uint16_t code;
        Bytes written, read;
    };
    const Row rows[] = {
        {0x0700, {0x0F, 0x00, 0xE1, 0x00}, {0xE1, 0x00, 0x0F, 0x00}},  // halves swapped
        {0x0701, {30, 0, 20, 0}, {20, 0, 30, 0}},
        {0x0704, {0x00, 0x01}, {0x01}},
        {0x0707, {0x05, 0xDC}, {0xDC, 0x05}},  // big-endian in, little-endian out
        {0x0708, {0x01, 0xF4}, {0xF4, 0x01}},
        {0x0820, {0x13, 0x88}, {0x88, 0x13}},
        {0x0900, {0x00, 0x0A, 0x03, 0xFF}, {0x0A, 0x00, 0xFF, 0x03}},
        {0x0A00, {20, 0}, {20}},  // two bytes in, one out
        {0x0A03, {0x99, 0x19, 0xCC, 0x0C}, {0x99, 0x19, 0xCC, 0x0C}},
        {0x0202, {0x34, 0x12}, {0x34, 0x12}},
    };
    for (const Row& r : rows) {
        Board b;
        const Bytes w = b.Write(r.code, r.written);
        ASSERT_GE(w.size(), 2u);
        EXPECT_EQ(Bytes(w.begin(), w.begin() + 2), kAckWrite) << std::hex << r.code;
        EXPECT_EQ(b.Read(r.code), r.read) << std::hex << r.code;
    }
}

TEST(SimulatedBoard, RefusesVariablesAsTheBoardDoes) {
    Board b;
    EXPECT_EQ(b.Read(0x0999), (Bytes{0x0F, 5, 0x99, 0x09}));
    EXPECT_EQ(b.Read(0x0101), (Bytes{0x0F, 5, 0x01, 0x01})) << "written only";
    EXPECT_EQ(b.Write(0x0202, {1}), (Bytes{0x0F, 4})) << "wrong length";
    EXPECT_EQ(b.Write(0x0202, {0xFF, 0xFF}), (Bytes{0x0F, 9, 0xFF, 0xFF, 0xF0, 0xFF}));
    b.m.protocol = {2, 1, 0};
    EXPECT_EQ(b.Read(0x0610), (Bytes{0x0F, 5, 0x10, 0x06})) << "no power readings before 2.1.1";
    b.m.protocol = {2, 1, 1};
    EXPECT_EQ(b.Read(0x0610).size(), 10u);
}

TEST(SimulatedBoard, ForcedErrorsForChosenRequests) {
    Board b;
    sim::ForcedError e;
    e.code = 11;
    e.remaining = 2;
    e.type = 0x0B;
    e.after = 1;
    b.m.ForceError(e);
    EXPECT_EQ(b.Read(0x0000), (Bytes{1, 2, 7}));
    EXPECT_EQ(b.Write(0x0302, {1}), (Bytes{0x06, 0x0A, 0x02, 0x03})) << "other frame types pass";
    EXPECT_EQ(b.Read(0x0000), (Bytes{0x0F, 11}));
    EXPECT_EQ(b.Read(0x0000), (Bytes{0x0F, 11}));
    EXPECT_EQ(b.Read(0x0000), (Bytes{1, 2, 7}));
}

TEST(SimulatedBoard, ClockRunsAndHalts) {
    Board b;
    ASSERT_EQ(b.Write(0x0301, {7, 12, 2, 26})[0], 0x06);
    ASSERT_EQ(b.Write(0x0300, {23, 59, 58})[0], 0x06);
    b.now += 3000;
    EXPECT_EQ(b.Read(0x0300), (Bytes{0, 0, 1}));
    EXPECT_EQ(b.Read(0x0301), (Bytes{8, 12, 3, 26})) << "next day, a Tuesday";
    ASSERT_EQ(b.Write(0x0302, {0})[0], 0x06);
    b.now += 5000;
    EXPECT_EQ(b.Read(0x0300), (Bytes{0, 0, 1}));
    EXPECT_EQ(b.Read(0x0302), (Bytes{0}));
    ASSERT_EQ(b.Write(0x0302, {1})[0], 0x06);
    b.now += 2000;
    EXPECT_EQ(b.Read(0x0300), (Bytes{0, 0, 3}));
    EXPECT_EQ(b.Write(0x0300, {24, 0, 0}), (Bytes{0x0F, 4}));
    // Days the month does not have are refused; the date stays.
    EXPECT_EQ(b.Write(0x0301, {30, 2, 2, 26}), (Bytes{0x0F, 4}));
    EXPECT_EQ(b.Write(0x0301, {29, 2, 2, 26}), (Bytes{0x0F, 4}));
    EXPECT_EQ(b.Write(0x0301, {31, 4, 2, 26}), (Bytes{0x0F, 4}));
    EXPECT_EQ(b.Read(0x0301), (Bytes{8, 12, 3, 26}));
    EXPECT_EQ(b.Write(0x0301, {29, 2, 3, 28})[0], 0x06) << "2028 is a leap year";
}

TEST(SimulatedBoard, DiagnosisAndTuningProgress) {
    Board b;
    EXPECT_EQ(b.Ask({0x12}), (Bytes{0x06, 0x12, 0x20})) << "secondary tuning needs a diagnosis";
    EXPECT_EQ(b.Ask({0x10}), (Bytes{0x06, 0x10, 0x00}));
    std::uint8_t s = 0;
    int reads = 0;
    // One step every diagnosisStepMs of board time, read every 100 ms.
    do {
        s = b.Read(0x0600).at(0);
        ++reads;
        b.now += 100;
    } while ((s & 0x10) && reads < 50);
    EXPECT_EQ(s & 0x0F, 4);
    EXPECT_EQ(reads, 4 * b.m.diagnosisStepMs / 100 + 1);
    EXPECT_EQ(b.Read(0x0601), (Bytes{0xF8, 0x07}));  // 20.40 W of 20 expected
    EXPECT_EQ(b.Ask({0x12}), (Bytes{0x06, 0x12, 0x00}));
    EXPECT_EQ(b.Write(0x0620, {0x88, 0x13}), (Bytes{0x0F, 11})) << "no current change while tuning";
    int running = 0;
    for (; running < 1000 && (b.Read(0x0605).at(0) & 0x01); ++running) b.now += 500;
    EXPECT_EQ(running, b.m.tuningMs / 500) << "runs tuningMs of board time";
    // Factory tuning above 2.1.0 wants the security code switched on first.
    EXPECT_EQ(b.Ask({0x11, 0, 0, 0, 0}), (Bytes{0x06, 0x11, 0x80}));
    EXPECT_EQ(b.Ask({0xF0, 0x19, 0x2D, 0x7E, 0x4B}), (Bytes{0x06, 0xF0}));
    EXPECT_EQ(b.Ask({0x11, 0, 0, 0, 0}), (Bytes{0x06, 0x11, 0x00}));
    b.m.anomalies = 1;
    EXPECT_EQ(b.Ask({0x10}), (Bytes{0x06, 0x10, 0x08}));
    EXPECT_EQ(b.Read(0x0100), (Bytes{1, 0, 0, 0}));
    ASSERT_EQ(b.Write(0x0101, {0xFE, 0xFF, 0xFF, 0xFF})[0], 0x06);
    EXPECT_EQ(b.Read(0x0100), (Bytes{0, 0, 0, 0}));
}

TEST(SimulatedBoard, ForcedOutputsAndFlangingJog) {
    Board b;
    Bytes force(34, 0);
    for (int g = 0; g < 4; ++g)
        force[8 * g + 4] = force[8 * g + 5] = force[8 * g + 6] = force[8 * g + 7] = 0xFF;
    force[16] = 0x80;  // CPU output 7 forced on
    force[32] = 0x02;  // relay 1 on
    force[33] = 0xFF;  // none forced off
    ASSERT_EQ(b.Write(0x020A, force)[0], 0x06);
    const Bytes io = b.Read(0x0200);
    ASSERT_EQ(io.size(), 17u);
    EXPECT_EQ(io[8] & 0x80, 0x80);
    EXPECT_EQ(io[16] & 0x02, 0x02);
    const Bytes before = b.Read(0x0A03);
    EXPECT_EQ(b.Ask({0x21}), (Bytes{0x06, 0x21}));
    const Bytes after = b.Read(0x0A03);
    EXPECT_GT(after[0] | (after[1] << 8), before[0] | (before[1] << 8));
    EXPECT_EQ(b.Ask({0x20, 2}), (Bytes{0x06, 0x20}));
    EXPECT_EQ(b.m.Eeprom()[40], after[0]);
    EXPECT_EQ(b.Ask({0x20, 16}), (Bytes{0x0F, 4}));
}

}  // namespace
