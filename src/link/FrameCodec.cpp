#include "link/FrameCodec.h"

#include <algorithm>

namespace orvan::link {

bool NeedsSecurityCode(std::uint8_t type, std::uint32_t protocolVersion) {
    return protocolVersion == kSecuredProtocolVersion && (type == 0x01 || type == 0x11);
}

std::size_t CobsEncode(const std::uint8_t* src, std::size_t count, std::uint8_t* dst,
                       std::size_t dstCapacity) {
    if (dst == nullptr || dstCapacity == 0 || (src == nullptr && count != 0)) return 0;
    std::size_t out = 1;
    std::size_t codePos = 0;
    std::uint8_t code = 1;
    for (std::size_t i = 0; i < count; ++i) {
        if (src[i] == 0) {
            dst[codePos] = code;
            if (out >= dstCapacity) return 0;
            codePos = out++;
            code = 1;
            continue;
        }
        if (out >= dstCapacity) return 0;
        dst[out++] = src[i];
        if (++code == 0xFF) {
            dst[codePos] = code;
            if (out >= dstCapacity) return 0;
            codePos = out++;
            code = 1;
        }
    }
    dst[codePos] = code;
    return out;
}

std::size_t CobsDecode(const std::uint8_t* src, std::size_t count, std::uint8_t* dst,
                       std::size_t dstCapacity) {
    if (src == nullptr || dst == nullptr) return 0;
    std::size_t in = 0;
    std::size_t out = 0;
    while (in < count && out < dstCapacity) {
        const std::uint8_t code = src[in++];
        const std::size_t run = code == 0 ? 0 : static_cast<std::size_t>(code - 1);
        const std::size_t take = std::min({run, count - in, dstCapacity - out});
        std::copy_n(src + in, take, dst + out);
        in += take;
        out += take;
        if (code < 0xFF && out < dstCapacity) dst[out++] = 0;
    }
    return out;
}

std::size_t RequestBodySize(std::uint8_t type, std::int32_t payloadCount,
                            std::uint32_t protocolVersion) {
    const std::size_t payload = payloadCount > 0 ? static_cast<std::size_t>(payloadCount) : 0;
    return 1 + (NeedsSecurityCode(type, protocolVersion) ? 4 : 0) + payload;
}

bool EncodeRequest(std::uint8_t type, const std::uint8_t* payload, std::int32_t count,
                   std::uint32_t protocolVersion, EncodedRequest& out, std::string* why) {
    out = EncodedRequest{};
    if (count < 0 || (count > 0 && payload == nullptr)) {
        if (why) *why = "invalid payload count " + std::to_string(count);
        return false;
    }
    const std::size_t body = RequestBodySize(type, count, protocolVersion);
    if (body > kMaxBodySize) {
        if (why)
            *why = "request body of " + std::to_string(body) + " bytes exceeds the limit of " +
                   std::to_string(kMaxBodySize);
        return false;
    }
    std::size_t n = 0;
    out.unencoded[n++] = type;
    if (NeedsSecurityCode(type, protocolVersion)) {
        for (int i = 0; i < 4; ++i)
            out.unencoded[n++] = static_cast<std::uint8_t>(kSecurityCode >> (8 * i));
    }
    std::copy_n(payload, static_cast<std::size_t>(count),
                out.unencoded.begin() + static_cast<std::ptrdiff_t>(n));
    n += static_cast<std::size_t>(count);
    std::uint8_t checksum = 0;
    for (std::size_t i = 0; i < n; ++i) checksum ^= out.unencoded[i];
    out.unencoded[n++] = checksum;
    out.unencoded[n++] = 0;  // part of what the transmit log shows, not sent as data
    out.unencodedCount = n;
    // Body plus checksum; at most 253 bytes, so no 254-byte run and no 0xFF code.
    out.frameCount = CobsEncode(out.unencoded.data(), n - 1, out.frame.data(), out.frame.size());
    if (out.frameCount == 0) {
        if (why) *why = "request does not fit the frame buffer";
        return false;
    }
    return true;
}

bool DecodeAnswer(const std::uint8_t* rx, std::size_t count, DecodedAnswer& out) {
    out = DecodedAnswer{};
    if (rx == nullptr) return false;
    const std::size_t limit = std::min(count, kBufferSize);
    const std::uint8_t* end = std::find(rx, rx + limit, std::uint8_t{0});
    if (end == rx + limit) return false;  // no delimiter: an incomplete or over-long frame
    const std::size_t frameLen = static_cast<std::size_t>(end - rx);  // includes the prefix
    if (frameLen < 6) return false;  // prefix plus at least the code byte and one answer byte
    std::array<std::uint8_t, kBufferSize> decoded{};
    const std::size_t written = CobsDecode(rx + 4, frameLen - 4, decoded.data(), decoded.size());
    // The last code byte implies a zero that is not part of the answer.
    const std::size_t answer = std::min(written, frameLen - 5);
    if (answer == 0) return false;
    std::copy_n(decoded.begin(), answer, out.data.begin());
    out.decodedCount = answer;
    out.length = static_cast<std::uint16_t>(answer + 4);
    return true;
}

}  // namespace orvan::link
