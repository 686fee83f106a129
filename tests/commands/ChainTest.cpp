// Chunked memory reads and block writes, against the simulated board.

#include <gtest/gtest.h>

#include <algorithm>

#include "SimLink.h"
#include "support/ScriptedPort.h"

using namespace orvan;
using namespace orvan::commands;

namespace {

// The (address, count) of every ReadMemory the board received.
std::vector<std::pair<int, int>> Reads(const test::SimPort& port) {
    std::vector<std::pair<int, int>> r;
    for (const auto& b : port.bodies)
        if (b.size() == 4 && b[0] == kReadMemory) r.push_back({(b[1] << 8) | b[2], b[3]});
    return r;
}
std::vector<int> Writes(const test::SimPort& port) {
    std::vector<int> r;
    for (const auto& b : port.bodies)
        if (b.size() >= 3 && b[0] == kWriteMemory) r.push_back((b[1] << 8) | b[2]);
    return r;
}

TEST(ReadMemoryRange, ChunksOfAtMost32OneAtATime) {
    struct Row {
        std::uint16_t start, end;
        std::vector<std::pair<int, int>> requests;
    };
    std::vector<std::pair<int, int>> config, events;
    for (int a = 16; a < 400; a += 32) config.push_back({a, 32});
    for (int a = 784; a < 1008; a += 32) events.push_back({a, 32});
    events.push_back({1008, 7});
    const Row rows[] = {
        {0, 15, {{0, 15}}}, {16, 400, config}, {784, 1015, events}, {32, 64, {{32, 32}}}};
    for (const Row& r : rows) {
        test::SimRig rig;
        rig.session.StartChain(kPurposeEepromDump, r.start, r.end);
        EXPECT_EQ(rig.protocol.QueueCount(), 1u) << "one request per answer";
        rig.Run();
        EXPECT_EQ(Reads(rig.port), r.requests) << r.start << ".." << r.end;
        EXPECT_EQ(rig.session.readPurpose, kPurposeRaw)
            << "purpose back to rest after the last answer";
        EXPECT_FALSE(rig.session.ChainRunning());
    }
}

TEST(ReadMemoryRange, LastAnswerIsTold) {
    test::ScriptedPort port;
    link::ManualClock clock;
    link::TComProtocol protocol(port, clock);
    test::RecordingView view;
    TSession s(protocol, view.events, view);
    EXPECT_FALSE(s.ReadMemoryRange(0, 15, true));
    EXPECT_TRUE(s.ReadMemoryRange(0, 0, false));
    EXPECT_FALSE(s.ReadMemoryRange(16, 80, true));
    EXPECT_FALSE(s.ReadMemoryRange(0, 0, false));
    EXPECT_TRUE(s.ReadMemoryRange(0, 0, false));
    EXPECT_EQ(protocol.QueueCount(), 3u);
    EXPECT_TRUE(s.ReadMemoryRange(5, 5, true)) << "an empty range queues nothing";
    EXPECT_EQ(protocol.QueueCount(), 3u);
}

TEST(HardwareInfo, IdentityAndSerialNumber) {
    test::SimRig rig;
    rig.session.RequestHardwareInfo();
    rig.Run();
    EXPECT_EQ(rig.session.boardType, 0x0100);
    EXPECT_EQ(rig.session.serialNumber, "SIM-000001");
    EXPECT_EQ(rig.view.serial, "SIM-000001");
    EXPECT_EQ(rig.session.readPurpose, kPurposeRaw);
    EXPECT_EQ(rig.protocol.BoardProtocolVersion, 0x020209u);
    EXPECT_TRUE(rig.model.securityCodeOn) << "SecurityCodeOn follows a protocol above 2.1.0";
    // A serial number starting with a zero keeps the one shown.
    rig.model.Eeprom()[0] = 0;
    rig.session.RequestHardwareInfo();
    rig.Run();
    EXPECT_EQ(rig.view.serial, "SIM-000001");
}

TEST(RawRead, OneRowWithHexAndCharacters) {
    test::SimRig rig;
    ASSERT_TRUE(rig.session.ReadRaw(16, 8));
    rig.Run();
    ASSERT_EQ(rig.view.rawRows.size(), 1u);
    const MemoryRow& r = rig.view.rawRows[0];
    EXPECT_EQ(r.addressText, "0010");
    EXPECT_EQ(r.bytes.size(), 8u);
    EXPECT_EQ(r.hexText.size(), 24u);
    EXPECT_EQ(r.asciiText.size(), 8u);
    EXPECT_FALSE(rig.session.ReadRaw(0, 33));
}

TEST(ConfigDownload, TwentyFourBlocksEachOnItsAcknowledge) {
    test::SimRig rig;
    for (std::size_t i = 0; i < rig.session.configImage.size(); ++i)
        rig.session.configImage[i] = static_cast<std::uint8_t>(i);
    rig.session.StartConfigDownload();
    rig.Run();
    std::vector<int> expected;
    for (int a = 16; a < 400; a += 16) expected.push_back(a);
    EXPECT_EQ(Writes(rig.port), expected);
    EXPECT_EQ(rig.view.downloadComplete, 1);
    EXPECT_FALSE(rig.session.downloadActive);
    EXPECT_TRUE(std::equal(rig.session.configImage.begin(), rig.session.configImage.end(),
                           rig.model.Eeprom().begin() + 16));
    // A later unrelated write continues nothing.
    const std::uint8_t ab[] = {'A', 'B'};
    ASSERT_TRUE(rig.session.WriteMemoryBytes(600, ab));
    rig.Run();
    EXPECT_EQ(Writes(rig.port).size(), 25u);
}

TEST(ConfigDownload, ARefusedBlockEndsIt) {
    test::SimRig rig;
    sim::ForcedError e;
    e.code = 10;
    e.remaining = 1;
    e.type = kWriteMemory;
    e.after = 4;
    rig.model.ForceError(e);
    rig.session.StartConfigDownload();
    rig.Run();
    EXPECT_EQ(Writes(rig.port).size(), 5u);
    EXPECT_FALSE(rig.session.downloadActive);
    EXPECT_EQ(rig.session.chunkCounter, 4);
    ASSERT_EQ(rig.view.stopped.size(), 1u);
    EXPECT_EQ(rig.view.stopped[0].sequence, Sequence::ConfigDownload);
    EXPECT_EQ(rig.view.boxes.size(), 1u);
    // The typed-bytes writer's acknowledge must not push block 5.
    const std::uint8_t ab[] = {'A', 'B'};
    ASSERT_TRUE(SendWriteMemory(rig.protocol, 80, ab));  // the refused block's own address
    rig.Run();
    EXPECT_EQ(Writes(rig.port).size(), 6u);
}

TEST(TimeOut, EndsTheChainAndResetsItsPurpose) {
    test::SimRig rig;
    rig.session.StartConfigUpload();
    // Three answers, then the board falls silent.
    for (int i = 0; i < 200 && rig.view.uploadChunks < 3; ++i) {
        rig.cycle.Tick();
        rig.clock.Advance(30);
    }
    rig.port.silent = true;
    rig.Run();
    EXPECT_EQ(rig.session.readPurpose, kPurposeRaw);
    EXPECT_FALSE(rig.session.ChainRunning());
    EXPECT_EQ(rig.view.pollingStopped, 1);
    ASSERT_FALSE(rig.view.stopped.empty());
    EXPECT_EQ(rig.view.stopped.back().purpose, kPurposeConfigUpload);
    // A raw read afterwards is listed, not copied into the image, and queues nothing more.
    rig.port.silent = false;
    const auto image = rig.session.configImage;
    rig.model.Eeprom()[112] = 0xAB;
    ASSERT_TRUE(rig.session.ReadRaw(112, 32));
    rig.Run();
    EXPECT_EQ(rig.session.configImage, image);
    EXPECT_EQ(rig.view.rawRows.size(), 2u);  // 32 bytes, two rows of 16
    EXPECT_EQ(Reads(rig.port).size(), 4u + 1u);
}

TEST(TimeOut, ClearsTheBlockWriteFlags) {
    test::SimRig rig;
    rig.port.silent = true;
    const std::uint8_t page[32] = {};
    ASSERT_TRUE(rig.session.WriteBlock(0, page));
    EXPECT_TRUE(rig.session.WritePending());
    EXPECT_FALSE(rig.session.WriteBlock(32, page)) << "one block at a time";
    rig.Run();
    EXPECT_FALSE(rig.session.WritePending());
    ASSERT_EQ(rig.view.stopped.size(), 1u);
    EXPECT_EQ(rig.view.stopped[0].sequence, Sequence::MemoryWrite);
    EXPECT_EQ(rig.view.stopped[0].why, "RX TimeOut");
    rig.session.StartConfigDownload();
    rig.Run();
    EXPECT_FALSE(rig.session.downloadActive);
}

TEST(ForeignAnswers, NeverLandInAnImage) {
    test::ScriptedPort port;
    link::ManualClock clock;
    link::TComProtocol protocol(port, clock);
    test::RecordingView view;
    TSession s(protocol, view.events, view);
    s.configImage.fill(0x11);
    s.StartConfigUpload();  // request at 16 outstanding
    const auto image = s.configImage;
    // Answers whose address is not the outstanding one: listed as raw reads.
    for (std::uint16_t addr : {0, 399, 500, 48, 0xFFFF}) {
        std::vector<std::uint8_t> a = {0x06, 0x02, static_cast<std::uint8_t>(addr >> 8),
                                       static_cast<std::uint8_t>(addr)};
        a.resize(4 + 32 + 3, 0xEE);
        ProcessAnswer(s, a, static_cast<std::uint8_t>(a.size() + 4));
    }
    EXPECT_EQ(s.configImage, image);
    EXPECT_EQ(s.readPurpose, kPurposeConfigUpload);
    EXPECT_EQ(view.rawRows.size(), 10u);
    // An answer longer than asked: only the count asked is taken.
    s.StartChain(kPurposeConfigUpload, 384, 400);  // 16 bytes
    std::vector<std::uint8_t> a = {0x06, 0x02, 0x01, 0x80};
    a.resize(4 + 32 + 3, 0xCC);
    ProcessAnswer(s, a, static_cast<std::uint8_t>(a.size() + 4));
    EXPECT_TRUE(std::all_of(s.configImage.begin() + 368, s.configImage.end(),
                            [](auto b) { return b == 0xCC; }));
    EXPECT_EQ(s.configImage[367], 0x11);
}

TEST(ForeignAnswers, ShortMemoryAnswersEndTheChain) {
    test::ScriptedPort port;
    link::ManualClock clock;
    link::TComProtocol protocol(port, clock);
    test::RecordingView view;
    TSession s(protocol, view.events, view);
    s.StartChain(kPurposeTuningLog, 400, 720);
    for (std::uint8_t len : {0, 5, 11, 20}) {
        ProcessAnswer(s, std::vector<std::uint8_t>{0x06, 0x02, 0x01, 0x90, 1, 2, 3}, len);
    }
    EXPECT_EQ(s.readPurpose, kPurposeRaw);
    EXPECT_FALSE(s.ChainRunning());
    EXPECT_EQ(protocol.QueueCount(), 1u) << "nothing queued beyond the first request";
}

TEST(ConfigDownload, ARefusalOfAnotherRequestLeavesItRunning) {
    test::SimRig rig;
    sim::ForcedError e;
    e.code = 5;
    e.remaining = 1;
    e.type = kReadVariable;
    rig.model.ForceError(e);
    rig.session.StartConfigDownload();
    ASSERT_TRUE(SendReadVariable(rig.protocol, AnomalyStatus));  // a status poll in between
    rig.Run();
    EXPECT_EQ(rig.view.boxes.size(), 1u);
    EXPECT_EQ(rig.view.downloadComplete, 1);
    EXPECT_TRUE(rig.view.stopped.empty());
}

}  // namespace
