// Whatever a serial device server sends, the telnet codec hands on at most
// the bytes it was given, answers only with whole negotiation commands, and
// reads the same however the stream is cut; an address typed by the user is
// either refused or read back to itself.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/NetAddress.h"
#include "link/Telnet.h"

using namespace orvan::link;
using namespace orvan::link::telnet;

namespace {

struct Result {
    std::vector<std::uint8_t> data, answer;
    std::vector<TComPortReply> replies;
};

Result Feed(const std::uint8_t* in, std::size_t size, std::size_t cut) {
    Result r;
    TTelnetCodec codec;
    std::vector<std::uint8_t> start;
    codec.Start(start);
    codec.Feed(in, cut, r.data, r.answer);
    codec.Feed(in + cut, size - cut, r.data, r.answer);
    r.replies = codec.TakeReplies();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Result whole = Feed(data, size, size);
    if (whole.data.size() > size) std::abort();
    // Answers are WILL/WONT/DO/DONT commands, three bytes each.
    if (whole.answer.size() % 3 != 0) std::abort();
    for (std::size_t i = 0; i < whole.answer.size(); i += 3)
        if (whole.answer[i] != kIac || whole.answer[i + 1] < kWill) std::abort();
    for (const TComPortReply& r : whole.replies)
        if (r.value.size() > TTelnetCodec::kMaxSubnegotiation) std::abort();

    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    const Result split = Feed(data, size, cut);
    if (split.data != whole.data || split.answer != whole.answer ||
        split.replies.size() != whole.replies.size())
        std::abort();

    // Escaping what came out gives a stream that reads back to it.
    std::vector<std::uint8_t> escaped;
    TTelnetCodec::Escape(whole.data.data(), whole.data.size(), escaped);
    TTelnetCodec codec;
    std::vector<std::uint8_t> back, answer;
    codec.Feed(escaped.data(), escaped.size(), back, answer);
    if (back != whole.data || !answer.empty()) std::abort();

    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto a = ParseNetAddress(text)) {
        const auto again = ParseNetAddress(a->Text());
        if (!again || again->Text() != a->Text() || again->port != a->port) std::abort();
    }
    return 0;
}
