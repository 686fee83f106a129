#include "boardsim/BoardReplay.h"

#include "boardsim/PtyBoard.h"
#include "link/ExchangeCycle.h"

namespace orvan::sim {

TResult TBoardReplay::Load(const std::vector<link::TCaptureFrame>& frames) {
    std::vector<TReplayExchange> out;
    TRequestFramer framer;
    for (const link::TCaptureFrame& f : frames) {
        if (!f.transmitted) {
            // Bytes before the first request came unasked: nothing to replay.
            if (!out.empty())
                out.back().answer.insert(out.back().answer.end(), f.bytes.begin(), f.bytes.end());
            continue;
        }
        for (std::uint8_t b : f.bytes) {
            std::vector<std::uint8_t> body;
            const auto v = framer.Feed(b, body);
            if (v == TRequestFramer::Verdict::Request || v == TRequestFramer::Verdict::BadChecksum)
                out.push_back({std::move(body), {}});
        }
    }
    if (out.empty()) return TResult::Fail("the capture holds no request of the PC");
    exchanges_ = std::move(out);
    next_ = 0;
    matched_ = 0;
    unmatched_.clear();
    return TResult::Ok();
}

std::optional<std::vector<std::uint8_t>> TBoardReplay::Answer(
    const std::vector<std::uint8_t>& request) {
    for (std::size_t i = next_; i < exchanges_.size(); ++i) {
        if (exchanges_[i].request != request) continue;
        next_ = i + 1;
        ++matched_;
        return exchanges_[i].answer;
    }
    std::string hex = link::FormatHexBytes(request.data(), request.size());
    if (!hex.empty()) hex.pop_back();
    unmatched_.push_back("request " + std::to_string(matched_ + unmatched_.size() + 1) + " (" +
                         hex + ") is not in the rest of the capture");
    return std::nullopt;
}

}  // namespace orvan::sim
