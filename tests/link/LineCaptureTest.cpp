// The capture file: what the recorder cuts into frames, the text it writes,
// and the parser that reads it back or refuses it with the line named.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/LineCapture.h"

using namespace orvan::link;
using Bytes = std::vector<std::uint8_t>;

namespace {

TEST(LineCapture, CutsFramesAtTheirZeroAndWhereTheOtherSideSpeaks) {
    ManualClock clock;
    clock.Advance(500);  // the capture counts from its own start
    TLineCapture cap(clock);
    std::vector<TCaptureFrame> seen;
    cap.onFrame = [&](const TCaptureFrame& f) { seen.push_back(f); };

    const Bytes prefix = {'C', 'O', 'B', 'S'};
    const Bytes frame = {0x02, 0x0B, 0x01, 0x02, 0x0B};
    const Bytes zero = {0x00};
    cap.OnLineBytes(true, prefix.data(), prefix.size());  // three writes, one frame
    cap.OnLineBytes(true, frame.data(), frame.size());
    cap.OnLineBytes(true, zero.data(), zero.size());
    clock.Advance(12);
    const Bytes noise = {0x55, 0x66};
    cap.OnLineBytes(false, noise.data(), noise.size());  // no zero: ended by the next TX
    clock.Advance(3);
    const Bytes twoAnswers = {'C', 'O', 'B', 'S', 0x02, 0x06, 0x00, 'C', 'O', 'B', 'S', 0x01, 0x00};
    cap.OnLineBytes(false, twoAnswers.data(), twoAnswers.size());
    ASSERT_EQ(seen.size(), 3u);  // the noise ran into the answer: same side, no zero between
    cap.Flush();

    ASSERT_EQ(cap.Frames().size(), 3u);
    EXPECT_EQ(cap.Frames()[0].ms, 0);
    EXPECT_TRUE(cap.Frames()[0].transmitted);
    EXPECT_EQ(cap.Frames()[0].bytes.size(), 10u);
    EXPECT_EQ(cap.Frames()[1].ms, 12);
    EXPECT_EQ(cap.Frames()[1].bytes, (Bytes{0x55, 0x66, 'C', 'O', 'B', 'S', 0x02, 0x06, 0x00}));
    EXPECT_EQ(cap.Frames()[2].ms, 15);
    EXPECT_EQ(cap.Frames()[2].bytes, (Bytes{'C', 'O', 'B', 'S', 0x01, 0x00}));
    EXPECT_EQ(FormatCaptureLine(cap.Frames()[0]), "0 TX 43 4F 42 53 02 0B 01 02 0B 00");
}

TEST(LineCapture, TextRoundTrip) {
    const std::vector<TCaptureFrame> frames = {
        {0, true, {0x43, 0x4F, 0x42, 0x53, 0x02, 0x0B, 0x01, 0x02, 0x0B, 0x00}},
        {7, false, {0x01, 0xFF}},
        {7, false, {0x00}},
        {3000, true, {0xAB}},
    };
    const std::string text = FormatCapture(frames, 4);
    EXPECT_EQ(text.rfind(kCaptureHeader, 0), 0u);
    EXPECT_NE(text.find("4 earlier frames"), std::string::npos);
    std::vector<TCaptureFrame> back;
    ASSERT_TRUE(ParseCapture(text, back));
    EXPECT_EQ(back, frames);
}

TEST(LineCapture, ParserRefusesBadLinesNamingThem) {
    struct Row {
        std::string text;
        std::string why;  // part of the reason
    };
    const std::vector<Row> rows = {
        {"0 TX 00\nabc TX 00\n", "line 2: \"abc\" is not a time"},
        {"-1 TX 00\n", "line 1: \"-1\" is not a time"},
        {"10 TX 00\n5 RX 00\n", "line 2: the time goes back"},
        {"0 XX 00\n", "line 1: \"XX\" is neither TX nor RX"},
        {"0 TX\n", "line 1: no bytes"},
        {"0\n", "line 1: wants a time"},
        {"0 RX 0G\n", "line 1: \"0G\" is not a byte"},
        {"0 RX 123\n", "line 1: \"123\" is not a byte"},
        {"99999999999999999999999 RX 00\n", "is not a time"},
        {"0 RX " + std::string(3000, 'A') + "\n", "is not a byte"},
    };
    for (const Row& r : rows) {
        std::vector<TCaptureFrame> out = {{1, true, {1}}};
        const auto res = ParseCapture(r.text, out);
        EXPECT_FALSE(res.ok) << r.text.substr(0, 40);
        EXPECT_NE(res.why.find(r.why), std::string::npos) << res.why;
        EXPECT_EQ(out.size(), 1u) << "a refused file leaves the frames as they were";
    }
    std::string many = "0 RX";
    for (std::size_t i = 0; i <= kCaptureMaxBytesPerLine; ++i) many += " 00";
    std::vector<TCaptureFrame> out;
    EXPECT_FALSE(ParseCapture(many, out).ok);
}

TEST(LineCapture, CommentsBlankLinesAndWindowsLineEndsAreFine) {
    std::vector<TCaptureFrame> out;
    ASSERT_TRUE(ParseCapture("# a note\r\n\r\n  \n12  RX  0a  00\r\n", out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].ms, 12);
    EXPECT_EQ(out[0].bytes, (Bytes{0x0A, 0x00}));
}

}  // namespace
