#pragma once
// The simulated board behind an in-memory port: every request written is
// answered at once by the board model, so the exchange runs as fast as it is
// ticked, with no pseudo-terminal and no thread. The window's deterministic
// tests, the rigs and the benchmarks drive the core through it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "boardsim/BoardModel.h"
#include "boardsim/PtyBoard.h"
#include "link/SerialPort.h"

namespace orvan::sim {

class TSimPort : public link::ISerialPort {
  public:
    explicit TSimPort(TBoardModel& model) : model_(model) {}
    bool IsOpen() const override { return true; }
    void WriteBytes(const std::uint8_t* data, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            std::vector<std::uint8_t> body;
            const auto v = framer_.Feed(data[i], body);
            if (v != TRequestFramer::Verdict::Request) continue;
            bodies.push_back(body);
            if (silent) continue;
            const auto answer = forceError > 0
                                    ? TBoardModel::Refusal(static_cast<std::uint8_t>(forceError))
                                    : model_.HandleRequest(body.data(), body.size());
            const auto wire = FrameAnswerBytes(answer);
            input_.insert(input_.end(), wire.begin(), wire.end());
        }
    }
    std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) override {
        const auto n =
            std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)), input_.size());
        std::copy_n(input_.begin(), n, dest);
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
        return static_cast<std::int32_t>(n);
    }
    std::int32_t BytesWaiting() override { return static_cast<std::int32_t>(input_.size()); }
    void ClosePort() override {}
    std::string LostReason() const override { return lost; }

    bool silent = false;  // requests taken, never answered
    std::string lost;     // set: the device is gone
    int forceError = 0;   // every request refused with this board error code (1-255)
    std::vector<std::vector<std::uint8_t>> bodies;  // every request body received

  private:
    TBoardModel& model_;
    TRequestFramer framer_;
    std::vector<std::uint8_t> input_;
};

}  // namespace orvan::sim
