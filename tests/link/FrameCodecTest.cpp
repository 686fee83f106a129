#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "link/FrameCodec.h"

using namespace orvan::link;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Wire(std::uint8_t type, const Bytes& payload, std::uint32_t version) {
    EncodedRequest r;
    std::string why;
    EXPECT_TRUE(EncodeRequest(type, payload.data(), static_cast<std::int32_t>(payload.size()),
                              version, r, &why))
        << why;
    Bytes w = {0x43, 0x4F, 0x42, 0x53};
    w.insert(w.end(), r.frame.begin(), r.frame.begin() + static_cast<std::ptrdiff_t>(r.frameCount));
    w.push_back(0);
    return w;
}

Bytes Unencoded(std::uint8_t type, const Bytes& payload, std::uint32_t version) {
    EncodedRequest r;
    EXPECT_TRUE(
        EncodeRequest(type, payload.data(), static_cast<std::int32_t>(payload.size()), version, r));
    return Bytes(r.unencoded.begin(),
                 r.unencoded.begin() + static_cast<std::ptrdiff_t>(r.unencodedCount));
}

struct GoldenCase {
    const char* name;
    std::uint8_t type;
    Bytes payload;
    std::uint32_t version;
    Bytes unencoded;
    Bytes wire;
};

void PrintTo(const GoldenCase& c, std::ostream* os) {
    *os << c.name;
}

class GoldenRequest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenRequest, BytesOnTheLine) {
    const GoldenCase& c = GetParam();
    EXPECT_EQ(Unencoded(c.type, c.payload, c.version), c.unencoded);
    EXPECT_EQ(Wire(c.type, c.payload, c.version), c.wire);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, GoldenRequest,
    ::testing::Values(
        GoldenCase{"ReadFirmwareVersion",
                   0x0B,
                   {0x00, 0x00},
                   0,
                   {0x0B, 0x00, 0x00, 0x0B, 0x00},
                   {0x43, 0x4F, 0x42, 0x53, 0x02, 0x0B, 0x01, 0x02, 0x0B, 0x00}},
        GoldenCase{"WriteClockRun",
                   0x0A,
                   {0x02, 0x03, 0x01},
                   0,
                   {0x0A, 0x02, 0x03, 0x01, 0x0A, 0x00},
                   {0x43, 0x4F, 0x42, 0x53, 0x06, 0x0A, 0x02, 0x03, 0x01, 0x0A, 0x00}},
        // WriteMemory at 2.1.0 carries 19 2D 7E 4B after the type; the checksum covers it.
        GoldenCase{"WriteMemorySecured",
                   0x01,
                   {0x00, 0x10, 0xAA},
                   0x020100,
                   {0x01, 0x19, 0x2D, 0x7E, 0x4B, 0x00, 0x10, 0xAA, 0xBA, 0x00},
                   {0x43, 0x4F, 0x42, 0x53, 0x06, 0x01, 0x19, 0x2D, 0x7E, 0x4B, 0x04, 0x10, 0xAA,
                    0xBA, 0x00}},
        GoldenCase{"WriteMemoryNewerProtocol",
                   0x01,
                   {0x00, 0x10, 0xAA},
                   0x020101,
                   {0x01, 0x00, 0x10, 0xAA, 0xBB, 0x00},
                   {0x43, 0x4F, 0x42, 0x53, 0x02, 0x01, 0x04, 0x10, 0xAA, 0xBB, 0x00}},
        GoldenCase{"StartFactoryTuningSecured",
                   0x11,
                   {0, 0, 0, 0},
                   0x020100,
                   {0x11, 0x19, 0x2D, 0x7E, 0x4B, 0, 0, 0, 0, 0x10, 0x00},
                   {0x43, 0x4F, 0x42, 0x53, 0x06, 0x11, 0x19, 0x2D, 0x7E, 0x4B, 0x01, 0x01, 0x01,
                    0x02, 0x10, 0x00}},
        GoldenCase{"StartFactoryTuningUnsecured",
                   0x11,
                   {0, 0, 0, 0},
                   0,
                   {0x11, 0, 0, 0, 0, 0x11, 0x00},
                   {0x43, 0x4F, 0x42, 0x53, 0x02, 0x11, 0x01, 0x01, 0x01, 0x02, 0x11, 0x00}},
        // Other frame types never carry the code, whatever the version.
        GoldenCase{"ReadMemoryAt210",
                   0x02,
                   {0x00, 0x10, 0x20},
                   0x020100,
                   {0x02, 0x00, 0x10, 0x20, 0x32, 0x00},
                   {0x43, 0x4F, 0x42, 0x53, 0x02, 0x02, 0x04, 0x10, 0x20, 0x32, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameCodec, SecurityCodeRule) {
    for (std::uint32_t v : {0u, 0x020000u, 0x020100u, 0x020101u, 0x020209u}) {
        for (int t = 0; t < 256; ++t) {
            const bool expected = v == 0x020100 && (t == 0x01 || t == 0x11);
            EXPECT_EQ(NeedsSecurityCode(static_cast<std::uint8_t>(t), v), expected)
                << std::hex << v << " " << t;
        }
    }
}

TEST(FrameCodec, ZeroHeavyBodiesHaveNoZeroBeforeTheDelimiter) {
    Bytes payload(40, 0x00);
    const Bytes w = Wire(0x01, payload, 0);
    ASSERT_EQ(w.back(), 0);
    for (std::size_t i = 0; i + 1 < w.size(); ++i) EXPECT_NE(w[i], 0) << "at " << i;
}

TEST(FrameCodec, BodyLimit) {
    Bytes payload(251, 0x11);  // type + 251 = 252: the largest body sent whole
    EncodedRequest r;
    std::string why;
    EXPECT_TRUE(EncodeRequest(0x0B, payload.data(), 251, 0, r, &why));
    EXPECT_EQ(r.unencodedCount, 254u);
    EXPECT_EQ(r.frameCount, 254u);  // 253 non-zero bytes, one code byte
    payload.push_back(0x11);
    EXPECT_FALSE(EncodeRequest(0x0B, payload.data(), 252, 0, r, &why));
    EXPECT_NE(why.find("252"), std::string::npos);
    // The security code counts towards the limit.
    EXPECT_FALSE(EncodeRequest(0x01, payload.data(), 248, 0x020100, r, &why));
    EXPECT_TRUE(EncodeRequest(0x01, payload.data(), 247, 0x020100, r, &why));
    EXPECT_FALSE(EncodeRequest(0x0B, payload.data(), -1, 0, r, &why));
}

TEST(Cobs, RunOf254NonZeroBytes) {
    Bytes in(254, 0x42);
    Bytes enc(300);
    const std::size_t n = CobsEncode(in.data(), in.size(), enc.data(), enc.size());
    ASSERT_EQ(n, 256u);  // 0xFF code, 254 bytes, final code 0x01
    EXPECT_EQ(enc[0], 0xFF);
    EXPECT_EQ(enc[255], 0x01);
    Bytes dec(300);
    // The 0xFF run appends no zero; the final 0x01 code appends the frame's implied one.
    const std::size_t d = CobsDecode(enc.data(), n, dec.data(), dec.size());
    ASSERT_EQ(d, 255u);
    EXPECT_TRUE(std::equal(in.begin(), in.end(), dec.begin()));
    EXPECT_EQ(dec[254], 0);
}

TEST(Cobs, EncodeDecodeRoundTripOnRandomInput) {
    std::mt19937 rng(7);
    for (int round = 0; round < 500; ++round) {
        Bytes in(rng() % 700);
        for (auto& b : in) b = static_cast<std::uint8_t>(rng() % 4 == 0 ? 0 : rng());
        Bytes enc(in.size() + in.size() / 254 + 2);
        const std::size_t n = CobsEncode(in.data(), in.size(), enc.data(), enc.size());
        ASSERT_GT(n, 0u);
        for (std::size_t i = 0; i < n; ++i) ASSERT_NE(enc[i], 0);
        Bytes dec(in.size() + 2);
        const std::size_t d = CobsDecode(enc.data(), n, dec.data(), dec.size());
        ASSERT_GE(d, in.size());
        ASSERT_TRUE(std::equal(in.begin(), in.end(), dec.begin()));
    }
}

TEST(Cobs, StaysInsideItsBuffers) {
    // A destination too small for the encoding is refused, not overrun.
    Bytes in(100, 0x33);
    Bytes enc(50, 0xEE);
    EXPECT_EQ(CobsEncode(in.data(), in.size(), enc.data(), 40), 0u);
    for (std::size_t i = 40; i < enc.size(); ++i) EXPECT_EQ(enc[i], 0xEE);
    // A code byte that promises more than the input holds stops at its end.
    const Bytes bad = {0xFE, 0x01, 0x02};
    Bytes out(8, 0xEE);
    EXPECT_EQ(CobsDecode(bad.data(), bad.size(), out.data(), 8), 3u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0xEE);
    // Output stops at the destination's end.
    Bytes tiny(2, 0xEE);
    EXPECT_EQ(CobsDecode(bad.data(), bad.size(), tiny.data(), 2), 2u);
    // Code 0 appends just the zero.
    const Bytes zeros = {0x00, 0x00};
    EXPECT_EQ(CobsDecode(zeros.data(), zeros.size(), out.data(), out.size()), 2u);
}

Bytes Framed(const Bytes& answer) {
    Bytes w = {'C', 'O', 'B', 'S'};
    Bytes enc(answer.size() + 4);
    const std::size_t n = CobsEncode(answer.data(), answer.size(), enc.data(), enc.size());
    w.insert(w.end(), enc.begin(), enc.begin() + static_cast<std::ptrdiff_t>(n));
    w.push_back(0);
    return w;
}

TEST(DecodeAnswer, FirmwareVersionAnswer) {
    const Bytes answer = {0x06, 0x0B, 0x00, 0x00, 0x01, 0x02, 0x07};
    Bytes rx = Framed(answer);
    DecodedAnswer d;
    ASSERT_TRUE(DecodeAnswer(rx.data(), rx.size(), d));
    EXPECT_EQ(d.decodedCount, 7u);
    EXPECT_EQ(d.length, 11);  // decoded length + 4
    EXPECT_TRUE(std::equal(answer.begin(), answer.end(), d.data.begin()));
    for (std::size_t i = answer.size(); i < d.data.size(); ++i) ASSERT_EQ(d.data[i], 0);
}

TEST(DecodeAnswer, PrefixIsNotChecked) {
    Bytes rx = Framed({0x06, 0x0A, 0x02, 0x03});
    rx[0] = 'X';
    rx[3] = 0x7F;
    DecodedAnswer d;
    ASSERT_TRUE(DecodeAnswer(rx.data(), rx.size(), d));
    EXPECT_EQ(d.data[1], 0x0A);
}

TEST(DecodeAnswer, InputThatIsNoAnswer) {
    DecodedAnswer d;
    const std::vector<Bytes> cases = {
        {},                                    // nothing
        {0x00, 0x43, 0x4F},                    // empty frame
        {0x55, 0x00},                          // noise shorter than the prefix
        {0x43, 0x4F, 0x42, 0x00, 0x01},        // zero inside the prefix
        {0x43, 0x4F, 0x42, 0x53, 0x00},        // prefix only
        {0x43, 0x4F, 0x42, 0x53, 0x01, 0x00},  // an empty encoded answer
    };
    for (const Bytes& rx : cases) EXPECT_FALSE(DecodeAnswer(rx.data(), rx.size(), d)) << rx.size();
    // 256 non-zero bytes: no delimiter anywhere, and no read past the buffer.
    Bytes full(256, 0x41);
    EXPECT_FALSE(DecodeAnswer(full.data(), full.size(), d));
    EXPECT_FALSE(DecodeAnswer(nullptr, 10, d));
}

TEST(DecodeAnswer, OnlyTheFirstFrameCounts) {
    Bytes rx = Framed({0x06, 0x0B, 0x01, 0x00, 0x00, 0x01});
    const Bytes second = Framed({0x0F, 0x03});
    rx.insert(rx.end(), second.begin(), second.end());
    DecodedAnswer d;
    ASSERT_TRUE(DecodeAnswer(rx.data(), rx.size(), d));
    EXPECT_EQ(d.decodedCount, 6u);
    EXPECT_EQ(d.data[0], 0x06);
}

}  // namespace
