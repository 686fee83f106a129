// What the line debug page says a captured frame means: one row per kind of
// frame, with the bytes as the line carried them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/FrameMeaning.h"
#include "link/FrameCodec.h"

using orvan::commands::DecodeWireFrame;
using orvan::commands::DescribeFrame;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Prefix, COBS encoding of the bytes, zero.
Bytes Wire(const Bytes& decoded) {
    Bytes enc(decoded.size() + 2);
    const std::size_t n =
        orvan::link::CobsEncode(decoded.data(), decoded.size(), enc.data(), enc.size());
    enc.resize(n);
    enc.insert(enc.begin(), {'C', 'O', 'B', 'S'});
    enc.push_back(0);
    return enc;
}

TEST(FrameMeaning, Table) {
    struct Row {
        bool tx;
        Bytes wire;
        std::string meaning;
    };
    const std::vector<Row> rows = {
        {true,
         {0x43, 0x4F, 0x42, 0x53, 0x02, 0x0B, 0x01, 0x02, 0x0B, 0x00},
         "ReadVariable FirmwareVersion 0x0000, checksum 0B ok"},
        {true, Wire({0x0A, 0x02, 0x03, 0x01, 0x0A}),
         "WriteVariable ClockRun 0x0302 = 01, checksum 0A ok"},
        {true, Wire({0x0A, 0x02, 0x03, 0x01, 0x0B}),
         "WriteVariable ClockRun 0x0302 = 01, checksum 0B (sum is 0A)"},
        {true, Wire({0x02, 0x01, 0x90, 0x20, 0xB3}), "ReadMemory at 400, 32 bytes, checksum B3 ok"},
        {true, Wire({0xF0, 0xF0}), "SecurityCodeOn, checksum F0 ok"},
        {false, Wire({0x06, 0x0B, 0x00, 0x00, 0x01, 0x02, 0x07, 0x09}),
         "ACK ReadVariable FirmwareVersion 0x0000 = 01 02 07, checksum 09 ok"},
        {false, Wire({0x06, 0x02, 0x00, 0x10, 0xAA, 0xBB, 0x05}),
         "ACK ReadMemory at 16, 2 bytes = AA BB, checksum 05 ok"},
        // Refusals carry no checksum.
        {false, Wire({0x0F, 0x05}), "NACK, board error 5"},
        {false, Wire({0x0F, 0x0C, 0x34, 0x12}), "NACK, board error 12 = 34 12"},
        {false, Wire({0x41, 0x0B, 0x4A}), "? (not ACK) ReadVariable, checksum 4A ok"},
        {false, {0x43, 0x4F, 0x42, 0x53, 0x02}, "no frame (no ending zero)"},
        {false, {0x43, 0x4F, 0x00}, "no frame (too short)"},
        {false, {}, "no frame (no ending zero)"},
    };
    for (const Row& r : rows) EXPECT_EQ(DescribeFrame(r.tx, r.wire), r.meaning);
}

TEST(FrameMeaning, DecodedBytesLeaveOutPrefixAndImpliedZero) {
    EXPECT_EQ(DecodeWireFrame({0x43, 0x4F, 0x42, 0x53, 0x02, 0x0B, 0x01, 0x02, 0x0B, 0x00}),
              (Bytes{0x0B, 0x00, 0x00, 0x0B}));
    EXPECT_TRUE(DecodeWireFrame({0x43, 0x4F, 0x42, 0x53, 0x00}).empty());
    // A run that claims more bytes than there are stops at the end.
    EXPECT_EQ(DecodeWireFrame({1, 2, 3, 4, 0x09, 0x11, 0x00}).size(), 1u);
}

}  // namespace
