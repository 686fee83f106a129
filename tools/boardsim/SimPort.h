#pragma once
// The simulated board behind an in-memory port: every request written is
// answered at once by the board model, so the exchange runs as fast as it is
// ticked, with no pseudo-terminal and no thread. The window's deterministic
// tests, the rigs and the benchmarks drive the core through it.
//
// Paced (Pace()), the bytes take the time a real line would on the clock
// given: the request arrives ten bit times a byte, and each answer byte
// becomes readable one byte time after the one before.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "boardsim/BoardModel.h"
#include "boardsim/PtyBoard.h"
#include "link/Clock.h"
#include "link/SerialPort.h"

namespace orvan::sim {

class TSimPort : public link::ISerialPort {
  public:
    explicit TSimPort(TBoardModel& model) : model_(model) {}
    bool IsOpen() const override { return true; }
    void WriteBytes(const std::uint8_t* data, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            if (clock_) requestEndsMs_ = std::max(requestEndsMs_, NowMs()) + byteMs_;
            std::vector<std::uint8_t> body;
            const auto v = framer_.Feed(data[i], body);
            if (v != TRequestFramer::Verdict::Request) continue;
            bodies.push_back(body);
            if (silent) continue;
            std::vector<std::uint8_t> wire;
            if (responder) {
                auto r = responder(body);
                if (!r) continue;
                wire = std::move(*r);
            } else {
                wire = FrameAnswerBytes(
                    forceError > 0 ? TBoardModel::Refusal(static_cast<std::uint8_t>(forceError))
                                   : model_.HandleRequest(body.data(), body.size()));
            }
            Arrive(wire);
        }
    }
    std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) override {
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)),
                                             static_cast<std::size_t>(BytesWaiting()));
        std::copy_n(input_.begin(), n, dest);
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
        readyAt_.erase(readyAt_.begin(), readyAt_.begin() + static_cast<std::ptrdiff_t>(n));
        return static_cast<std::int32_t>(n);
    }
    std::int32_t BytesWaiting() override {
        if (!clock_) return static_cast<std::int32_t>(input_.size());
        const double now = NowMs();
        const auto ready = std::upper_bound(readyAt_.begin(), readyAt_.end(), now);
        return static_cast<std::int32_t>(ready - readyAt_.begin());
    }
    // Bytes the board has still to put on the line, or 0.
    std::size_t InTransit() const { return input_.size(); }
    // Milliseconds of the clock until the next byte is readable; -1 when none
    // is on its way.
    double NextByteInMs() {
        const std::size_t ready = static_cast<std::size_t>(BytesWaiting());
        if (ready >= readyAt_.size()) return ready > 0 ? 0 : -1;
        return std::max(0.0, readyAt_[ready] - NowMs());
    }
    // Paces the line at `bitsPerSecond` on `clock` (null: bytes at once).
    void Pace(const link::IClock* clock, unsigned bitsPerSecond) {
        clock_ = clock;
        byteMs_ = bitsPerSecond > 0 ? 10000.0 / bitsPerSecond : 0.0;
    }
    // Answers each request instead of the model (a replayed capture): the
    // bytes to send as the line carries them, or nothing to stay silent.
    std::function<std::optional<std::vector<std::uint8_t>>(const std::vector<std::uint8_t>&)>
        responder;
    void ClosePort() override {}
    std::string LostReason() const override { return lost; }

    bool silent = false;  // requests taken, never answered
    std::string lost;     // set: the device is gone
    int forceError = 0;   // every request refused with this board error code (1-255)
    std::vector<std::vector<std::uint8_t>> bodies;  // every request body received

  private:
    TBoardModel& model_;
    double NowMs() const { return clock_ ? static_cast<double>(clock_->MonotonicMs()) : 0.0; }
    void Arrive(const std::vector<std::uint8_t>& wire) {
        double at = std::max(requestEndsMs_, readyAt_.empty() ? 0.0 : readyAt_.back());
        for (std::uint8_t b : wire) {
            at += byteMs_;
            input_.push_back(b);
            readyAt_.push_back(clock_ ? at : 0.0);
        }
    }

    TRequestFramer framer_;
    std::vector<std::uint8_t> input_;
    std::vector<double> readyAt_;  // when each byte of input_ is readable
    const link::IClock* clock_ = nullptr;
    double byteMs_ = 0;
    double requestEndsMs_ = 0;
};

}  // namespace orvan::sim
