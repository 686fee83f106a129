#include "support/ScriptedPort.h"

#include "link/FrameCodec.h"

namespace orvan::test {

std::vector<std::uint8_t> FrameAnswer(const std::vector<std::uint8_t>& answer) {
    std::vector<std::uint8_t> out = {'C', 'O', 'B', 'S'};
    std::vector<std::uint8_t> enc(answer.size() + answer.size() / 254 + 2);
    const std::size_t n =
        orvan::link::CobsEncode(answer.data(), answer.size(), enc.data(), enc.size());
    out.insert(out.end(), enc.begin(), enc.begin() + static_cast<std::ptrdiff_t>(n));
    out.push_back(0);
    return out;
}

}  // namespace orvan::test
