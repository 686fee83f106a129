#include "commands/FrameMeaning.h"

#include <algorithm>
#include <cstdio>

#include "commands/Catalogue.h"
#include "link/ExchangeCycle.h"
#include "link/FrameCodec.h"

namespace orvan::commands {

namespace {

std::string TypeName(std::uint8_t type) {
    switch (type) {
        case kWriteMemory:
            return "WriteMemory";
        case kReadMemory:
            return "ReadMemory";
        case kWriteVariable:
            return "WriteVariable";
        case kReadVariable:
            return "ReadVariable";
        case kStartPowerDiagnosis:
            return "StartPowerDiagnosis";
        case kStartFactoryTuning:
            return "StartFactoryTuning";
        case kStartSecondaryTuning:
            return "StartSecondaryTuning";
        case kStartPdDiagnosis:
            return "StartPdDiagnosis";
        case kSaveFlangingProfile:
            return "SaveFlangingProfile";
        case kFlangingAmplitudeUp:
            return "FlangingAmplitudeUp";
        case kFlangingAmplitudeDown:
            return "FlangingAmplitudeDown";
        case kFlangingOffsetUp:
            return "FlangingOffsetUp";
        case kFlangingOffsetDown:
            return "FlangingOffsetDown";
        case kSecurityCodeOn:
            return "SecurityCodeOn";
        case kSecurityCodeOff:
            return "SecurityCodeOff";
        default: {
            char b[16];
            std::snprintf(b, sizeof b, "type %02X", type);
            return b;
        }
    }
}

std::string VariableText(std::uint8_t lo, std::uint8_t hi) {
    const std::uint16_t code = static_cast<std::uint16_t>(lo | (hi << 8));
    const VariableInfo* v = FindVariable(code);
    return (v ? std::string(v->name) + " " : std::string("variable ")) + CodeText(code);
}

std::string Values(const std::uint8_t* p, std::size_t n) {
    if (n == 0) return {};
    std::string hex = link::FormatHexBytes(p, n);
    hex.pop_back();
    return " = " + hex;
}

std::string ChecksumText(const std::vector<std::uint8_t>& d) {
    std::uint8_t x = 0;
    for (std::size_t i = 0; i + 1 < d.size(); ++i) x ^= d[i];
    char b[48];
    if (x == d.back())
        std::snprintf(b, sizeof b, ", checksum %02X ok", d.back());
    else
        std::snprintf(b, sizeof b, ", checksum %02X (sum is %02X)", d.back(), x);
    return b;
}

// Memory address and count: big-endian address, as the requests carry it.
std::string MemoryText(const std::uint8_t* p, std::size_t n, bool withCount) {
    if (n < 2) return " (too short)";
    const unsigned addr = static_cast<unsigned>((p[0] << 8) | p[1]);
    std::string s = " at " + std::to_string(addr);
    if (withCount && n >= 3) s += ", " + std::to_string(p[2]) + " bytes";
    return s;
}

}  // namespace

std::vector<std::uint8_t> DecodeWireFrame(const std::vector<std::uint8_t>& wire) {
    static constexpr std::size_t kPrefixSize = sizeof link::kPrefix;
    const auto zero = std::find(wire.begin(), wire.end(), std::uint8_t{0});
    const std::size_t l = static_cast<std::size_t>(zero - wire.begin());
    if (l <= kPrefixSize) return {};
    std::vector<std::uint8_t> out(l);
    const std::size_t n =
        link::CobsDecode(wire.data() + kPrefixSize, l - kPrefixSize, out.data(), out.size());
    // The zero implied by the last code byte is not part of the frame.
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

std::string DescribeFrame(bool transmitted, const std::vector<std::uint8_t>& wire) {
    if (wire.empty() || wire.back() != 0) return "no frame (no ending zero)";
    const std::vector<std::uint8_t> d = DecodeWireFrame(wire);
    if (d.size() < 2) return "no frame (too short)";
    const std::uint8_t* p = d.data();
    const std::size_t n = d.size() - 1;  // without the checksum
    std::string s;
    if (transmitted) {
        s = TypeName(p[0]);
        if ((p[0] == kReadVariable || p[0] == kWriteVariable) && n >= 3)
            s += " " + VariableText(p[1], p[2]) + Values(p + 3, n - 3);
        else if (p[0] == kReadMemory && n >= 3)
            s += MemoryText(p + 1, n - 1, true);
        else if (p[0] == kWriteMemory)
            s += " " + std::to_string(n - 1) + " bytes after the type";
        else
            s += Values(p + 1, n - 1);
        return s + ChecksumText(d);
    }
    if (p[0] == kNack) {
        // A refusal carries no checksum: every byte is its content.
        s = "NACK";
        s += ", board error " + std::to_string(p[1]) + Values(p + 2, d.size() - 2);
        return s;
    }
    s = p[0] == kAck ? "ACK " : "? (not ACK) ";
    s += TypeName(p[1]);
    if (p[1] == kReadVariable && n >= 4)
        s += " " + VariableText(p[2], p[3]) + Values(p + 4, n - 4);
    else if (p[1] == kReadMemory && n >= 4)
        s += MemoryText(p + 2, n - 2, false) + ", " + std::to_string(n - 4) + " bytes" +
             Values(p + 4, n - 4);
    else if (n > 2)
        s += Values(p + 2, n - 2);
    return s + ChecksumText(d);
}

}  // namespace orvan::commands
