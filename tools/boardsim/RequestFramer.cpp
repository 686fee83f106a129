// The board's side of the framing, apart from the pseudo-terminal so that
// the in-memory board (SimPort.h) has it on every system.

#include <algorithm>

#include "boardsim/PtyBoard.h"
#include "link/FrameCodec.h"

namespace orvan::sim {

TRequestFramer::Verdict TRequestFramer::Feed(std::uint8_t b, std::vector<std::uint8_t>& body) {
    if (b != 0) {
        // A line that never sends a delimiter cannot make the board hoard bytes.
        if (pending_.size() >= 1024) pending_.erase(pending_.begin(), pending_.begin() + 512);
        pending_.push_back(b);
        return Verdict::Incomplete;
    }
    std::vector<std::uint8_t> frame;
    frame.swap(pending_);
    static const std::uint8_t kCobs[4] = {'C', 'O', 'B', 'S'};
    const auto at = std::search(frame.begin(), frame.end(), kCobs, kCobs + 4);
    if (at == frame.end()) return Verdict::Ignored;
    const std::size_t start = static_cast<std::size_t>(at - frame.begin()) + 4;
    if (frame.size() - start < 2) return Verdict::Ignored;
    std::vector<std::uint8_t> decoded(frame.size());
    const std::size_t n = link::CobsDecode(frame.data() + start, frame.size() - start,
                                           decoded.data(), decoded.size());
    if (n < 3) return Verdict::Ignored;  // type and checksum at least, plus the implied zero
    const std::size_t withChecksum = n - 1;
    std::uint8_t x = 0;
    for (std::size_t i = 0; i + 1 < withChecksum; ++i) x ^= decoded[i];
    body.assign(decoded.begin(), decoded.begin() + static_cast<std::ptrdiff_t>(withChecksum - 1));
    return x == decoded[withChecksum - 1] ? Verdict::Request : Verdict::BadChecksum;
}

std::vector<std::uint8_t> FrameAnswerBytes(const std::vector<std::uint8_t>& answer) {
    std::vector<std::uint8_t> wire(link::kPrefix, link::kPrefix + 4);
    std::vector<std::uint8_t> enc(answer.size() + answer.size() / 254 + 2);
    const std::size_t n = link::CobsEncode(answer.data(), answer.size(), enc.data(), enc.size());
    wire.insert(wire.end(), enc.begin(), enc.begin() + static_cast<std::ptrdiff_t>(n));
    wire.push_back(0);
    return wire;
}

}  // namespace orvan::sim
