#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "boardsim/BoardModel.h"
#include "boardsim/BoardTuningLog.h"
#include "boardsim/PtyBoard.h"
#include "config/Cfgwelder.h"
#include "link/FrameCodec.h"

using namespace orvan::sim;
namespace config = orvan::config;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Handle(TBoardModel& m, const Bytes& body) {
    return m.HandleRequest(body.data(), body.size());
}

// The wire bytes the tool sends for a request body.
Bytes RequestWire(const Bytes& body) {
    Bytes withSum = body;
    std::uint8_t x = 0;
    for (auto b : body) x ^= b;
    withSum.push_back(x);
    Bytes w = {'C', 'O', 'B', 'S'};
    Bytes enc(withSum.size() + 4);
    const std::size_t n =
        orvan::link::CobsEncode(withSum.data(), withSum.size(), enc.data(), enc.size());
    w.insert(w.end(), enc.begin(), enc.begin() + static_cast<std::ptrdiff_t>(n));
    w.push_back(0);
    return w;
}

TEST(BoardModel, IdentityVariables) {
    TBoardModel m;
    m.firmware = {1, 2, 7};
    m.boardType = 0x0500;
    EXPECT_EQ(Handle(m, {0x0B, 0x00, 0x00}), (Bytes{0x06, 0x0B, 0x00, 0x00, 1, 2, 7, 0x09}));
    const Bytes bt = Handle(m, {0x0B, 0x01, 0x00});
    ASSERT_GE(bt.size(), 6u);
    EXPECT_EQ(bt[4], 0x00);
    EXPECT_EQ(bt[5], 0x05);
}

TEST(BoardModel, MemoryReadAndWrite) {
    TBoardModel m;
    int saves = 0;
    m.onEepromWritten = [&] { ++saves; };
    EXPECT_EQ(Handle(m, {0x01, 0x00, 0x20, 0xDE, 0xAD}),
              (Bytes{0x06, 0x01, 0x00, 0x20, 0x06 ^ 0x01 ^ 0x20}));
    EXPECT_EQ(saves, 1);
    const Bytes r = Handle(m, {0x02, 0x00, 0x20, 0x02});
    // Address, data, then the three trailer bytes: 2 + 2 + 2 + 3.
    ASSERT_EQ(r.size(), 9u);
    EXPECT_EQ(r[4], 0xDE);
    EXPECT_EQ(r[5], 0xAD);
}

TEST(BoardModel, RefusesWhereARealBoardWould) {
    TBoardModel m;
    struct Case {
        const char* what;
        Bytes body;
        Bytes answer;
    } cases[] = {
        {"unknown command", {0x77}, {0x0F, 3}},
        {"unknown variable", {0x0B, 0x0B, 0x07}, {0x0F, 5, 0x0B, 0x07}},
        {"read-only variable", {0x0A, 0x00, 0x00, 1, 2, 3}, {0x0F, 6, 0x00, 0x00}},
        {"read past the memory", {0x02, 0x03, 0xF0, 0x20}, {0x0F, 7, 0xF0, 0x03}},
        {"read of more than 32", {0x02, 0x00, 0x00, 33}, {0x0F, 4}},
        {"write past the memory", {0x01, 0x03, 0xFF, 1, 2}, {0x0F, 7, 0xFF, 0x03}},
        {"write across two pages", {0x01, 0x00, 0x1F, 1, 2}, {0x0F, 8}},
        {"short request", {0x02, 0x00}, {0x0F, 4}},
    };
    for (const Case& c : cases) EXPECT_EQ(Handle(m, c.body), c.answer) << c.what;
    EXPECT_EQ(m.refusals, 8);
}

TEST(BoardModel, SecurityCodeAtProtocol210) {
    TBoardModel m;
    m.protocol = {2, 1, 0};
    EXPECT_EQ(Handle(m, {0x01, 0x00, 0x40, 0x55}), (Bytes{0x0F, 12}));
    EXPECT_EQ(Handle(m, {0x01, 0x19, 0x2D, 0x7E, 0x4B, 0x00, 0x40, 0x55})[0], 0x06);
    EXPECT_EQ(m.Eeprom()[0x40], 0x55);
    // Reads never carry it.
    EXPECT_EQ(Handle(m, {0x02, 0x00, 0x40, 0x01})[0], 0x06);
    m.protocol = {2, 1, 1};
    EXPECT_EQ(Handle(m, {0x01, 0x00, 0x41, 0x66})[0], 0x06);
}

TEST(RequestFramer, TakesFramesAndChecksTheirChecksum) {
    TRequestFramer f;
    Bytes body;
    auto feed = [&](const Bytes& wire) {
        TRequestFramer::Verdict v = TRequestFramer::Verdict::Incomplete;
        for (auto b : wire) v = f.Feed(b, body);
        return v;
    };
    EXPECT_EQ(feed(RequestWire({0x0B, 0x00, 0x00})), TRequestFramer::Verdict::Request);
    EXPECT_EQ(body, (Bytes{0x0B, 0x00, 0x00}));
    // Noise before the prefix is skipped.
    Bytes noisy = {0x11, 0x22};
    const Bytes w = RequestWire({0x0A, 0x02, 0x03, 0x01});
    noisy.insert(noisy.end(), w.begin(), w.end());
    EXPECT_EQ(feed(noisy), TRequestFramer::Verdict::Request);
    EXPECT_EQ(body, (Bytes{0x0A, 0x02, 0x03, 0x01}));
    Bytes bad = RequestWire({0x0B, 0x00, 0x00});
    bad[bad.size() - 2] ^= 0x40;
    EXPECT_EQ(feed(bad), TRequestFramer::Verdict::BadChecksum);
    EXPECT_EQ(feed({0x55, 0x00}), TRequestFramer::Verdict::Ignored);
    EXPECT_EQ(feed({0x00}), TRequestFramer::Verdict::Ignored);
}

TEST(DefaultEeprom, HoldsASerialNumberAndAConfigurationImage) {
    const auto e = DefaultEeprom();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e.data())), "SIM-000001");
    EXPECT_EQ(e[16], 3);                 // layout version
    EXPECT_EQ(e[18] | e[19] << 8, 218);  // data size
}

// The simulator's fixed bytes and the program's image code are written apart;
// they must agree on the default configuration, byte for byte.
TEST(DefaultEeprom, AgreesWithTheImageTheProgramBuilds) {
    const auto e = DefaultEeprom();
    std::array<std::uint8_t, config::kImageSize> built{};
    config::TWelderCfgBlank cfg = config::DefaultConfiguration();
    config::BuildDeviceImage(cfg, built.data());
    EXPECT_TRUE(std::equal(built.begin(), built.end(), e.begin() + config::kImageEepromAddress));
    EXPECT_TRUE(config::ImageChecksumOk(e.data() + config::kImageEepromAddress));
    // The factory tuning log at 400..719, both copies good; the event log
    // (below) at 784..1014; nothing else.
    EXPECT_TRUE(TuningCopyGood(e, 0));
    EXPECT_TRUE(TuningCopyGood(e, 1));
    EXPECT_TRUE(std::all_of(e.begin() + 720, e.begin() + 784, [](auto b) { return b == 0xFF; }));
    EXPECT_TRUE(std::all_of(e.begin() + 1015, e.end(), [](auto b) { return b == 0xFF; }));
}

// The sample event log: nine records of 11 bytes from 784, each with a time
// and a known type, then the end mark; the rest of the area erased.
TEST(DefaultEeprom, HoldsASampleEventLog) {
    const auto e = DefaultEeprom();
    auto u32 = [&](std::size_t a) {
        return static_cast<std::uint32_t>(e[a] | e[a + 1] << 8 | e[a + 2] << 16) |
               static_cast<std::uint32_t>(e[a + 3]) << 24;
    };
    std::uint32_t previous = 0;
    for (std::size_t r = 0; r < 9; ++r) {
        const std::size_t a = 784 + 11 * r;
        SCOPED_TRACE(r);
        EXPECT_GT(u32(a), previous);  // oldest first
        previous = u32(a);
        EXPECT_GE(e[a + 10], 1);
        EXPECT_LE(e[a + 10], 6);
    }
    EXPECT_EQ(e[784 + 10], 1);  // the factory tuning comes first
    EXPECT_TRUE(
        std::all_of(e.begin() + 784 + 99, e.begin() + 1015, [](auto b) { return b == 0xFF; }));
}

}  // namespace
