#pragma once
// A board that answers as a captured one did: each request is matched, in
// order, to the captured request with the same body, and the bytes the board
// sent after that request are sent again. A request the capture does not hold
// is reported and left unanswered (the tool then times out, as it would have
// with the real board silent).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/LineCapture.h"
#include "link/Result.h"

namespace orvan::sim {

struct TReplayExchange {
    std::vector<std::uint8_t> request;  // the body: type, payload (no checksum)
    std::vector<std::uint8_t> answer;   // what the board sent back, as on the line
};

class TBoardReplay {
  public:
    // Builds the exchanges from a capture: each request the PC sent, with every
    // byte the board sent until the next request.
    [[nodiscard]] TResult Load(const std::vector<link::TCaptureFrame>& frames);
    const std::vector<TReplayExchange>& Exchanges() const { return exchanges_; }

    // The bytes to answer `request` (its body) with; nothing when the rest of
    // the capture holds no such request, `unmatched` then says so.
    std::optional<std::vector<std::uint8_t>> Answer(const std::vector<std::uint8_t>& request);

    std::size_t Matched() const { return matched_; }
    const std::vector<std::string>& Unmatched() const { return unmatched_; }

  private:
    std::vector<TReplayExchange> exchanges_;
    std::size_t next_ = 0;
    std::size_t matched_ = 0;
    std::vector<std::string> unmatched_;
};

}  // namespace orvan::sim
