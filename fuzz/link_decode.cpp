// Whatever bytes arrive, the answer decoder and the COBS codec stay inside
// their buffers, and encoding then decoding gives the input back.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/FrameCodec.h"

using namespace orvan::link;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DecodedAnswer answer;
    if (DecodeAnswer(data, size, answer)) {
        if (answer.decodedCount == 0 || answer.decodedCount > 251) std::abort();
        if (answer.length != answer.decodedCount + 4) std::abort();
        for (std::size_t i = answer.decodedCount; i < answer.data.size(); ++i)
            if (answer.data[i] != 0) std::abort();
    }

    // Decoding into destinations of every small size, with a guard behind.
    const std::size_t cap = size == 0 ? 0 : data[0] % 64;
    std::vector<std::uint8_t> out(cap + 8, 0xA5);
    const std::size_t n = CobsDecode(data, size, out.data(), cap);
    if (n > cap) std::abort();
    for (std::size_t i = cap; i < out.size(); ++i)
        if (out[i] != 0xA5) std::abort();

    // Round trip.
    std::vector<std::uint8_t> enc(size + size / 254 + 2);
    const std::size_t e = CobsEncode(data, size, enc.data(), enc.size());
    if (e == 0 || e > enc.size()) std::abort();
    for (std::size_t i = 0; i < e; ++i)
        if (enc[i] == 0) std::abort();
    std::vector<std::uint8_t> dec(size + 1);
    const std::size_t d = CobsDecode(enc.data(), e, dec.data(), dec.size());
    if (d < size || std::memcmp(dec.data(), data, size) != 0) std::abort();

    // A too-small destination is refused without a write past it.
    if (size > 4) {
        std::vector<std::uint8_t> small(size / 2 + 8, 0x5A);
        const std::size_t s = CobsEncode(data, size, small.data(), size / 2);
        if (s != 0 && s > size / 2) std::abort();
        for (std::size_t i = size / 2; i < small.size(); ++i)
            if (small[i] != 0x5A) std::abort();
    }
    return 0;
}
