#pragma once
// Framing of requests and answers: "COBS" prefix, COBS-encoded body with an
// XOR checksum, zero delimiter.
//
// Invariants, checked by the fuzz targets: no function here reads outside the
// bytes it was given or writes outside the buffer it was given, whatever the
// input.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orvan::link {

inline constexpr std::size_t kBufferSize = 256;
// Longest request body (type, security code, payload) that is sent whole.
inline constexpr std::size_t kMaxBodySize = 252;
inline constexpr std::uint32_t kSecurityCode = 0x4B7E2D19;
inline constexpr std::uint32_t kSecuredProtocolVersion = 0x020100;
inline constexpr std::uint8_t kPrefix[4] = {'C', 'O', 'B', 'S'};

// The board wants the security code on WriteMemory and StartFactoryTuning,
// and only when it speaks protocol 2.1.0 exactly.
[[nodiscard]] bool NeedsSecurityCode(std::uint8_t type, std::uint32_t protocolVersion);

// Standard COBS. Returns the number of bytes written to dst, or 0 when dst
// (dstCapacity bytes) is too small for the encoding, in which case nothing
// beyond dstCapacity has been touched.
[[nodiscard]] std::size_t CobsEncode(const std::uint8_t* src, std::size_t count, std::uint8_t* dst,
                                     std::size_t dstCapacity);
// Standard COBS decoding as the board's answers need it: every code byte below
// 0xFF appends a zero after its run (code 0 appends just the zero). A run that
// reaches past the input stops at its end; output stops at dstCapacity.
// Returns the number of bytes written.
[[nodiscard]] std::size_t CobsDecode(const std::uint8_t* src, std::size_t count, std::uint8_t* dst,
                                     std::size_t dstCapacity);

// A request ready for the line.
struct EncodedRequest {
    // Body, checksum and one trailing zero: what the transmit log shows.
    std::array<std::uint8_t, kBufferSize> unencoded{};
    std::size_t unencodedCount = 0;
    // COBS encoding of body and checksum (without prefix and delimiter).
    std::array<std::uint8_t, kBufferSize> frame{};
    std::size_t frameCount = 0;
};

// Builds body, checksum and encoding. False (and `why` filled) when the body
// would exceed kMaxBodySize or the count is out of range; nothing is built then.
[[nodiscard]] bool EncodeRequest(std::uint8_t type, const std::uint8_t* payload, std::int32_t count,
                                 std::uint32_t protocolVersion, EncodedRequest& out,
                                 std::string* why = nullptr);

// The body size a request will have on the line.
std::size_t RequestBodySize(std::uint8_t type, std::int32_t payloadCount,
                            std::uint32_t protocolVersion);

struct DecodedAnswer {
    std::array<std::uint8_t, kBufferSize> data{};  // decoded answer, zero beyond it
    std::uint16_t length = 0;                      // decoded count + 4 (the answer length value)
    std::size_t decodedCount = 0;                  // bytes of the decoded answer
};

// Decodes the answer collected in `rx` (received bytes; `count` of them).
// The frame ends at the first zero byte. No answer (false) when the buffer is
// empty, when no zero ends the frame, or when the frame is too short to hold
// the four prefix bytes and at least one answer byte.
[[nodiscard]] bool DecodeAnswer(const std::uint8_t* rx, std::size_t count, DecodedAnswer& out);

}  // namespace orvan::link
