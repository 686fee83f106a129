#pragma once
// An in-memory serial port for engine tests: bytes are made to "arrive" when a
// test says so, everything written is recorded, and the port can vanish.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "link/SerialPort.h"

namespace orvan::test {

class ScriptedPort : public orvan::link::ISerialPort {
  public:
    bool IsOpen() const override { return open_ && !vanished_; }
    void WriteBytes(const std::uint8_t* data, std::size_t count) override {
        ++writeCalls;
        if (!IsOpen()) return;
        written.insert(written.end(), data, data + count);
    }
    std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) override {
        ++readCalls;
        if (!IsOpen() || count <= 0) return 0;
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(count), input_.size());
        std::copy_n(input_.begin(), n, dest);
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
        return static_cast<std::int32_t>(n);
    }
    std::int32_t BytesWaiting() override {
        return IsOpen() ? static_cast<std::int32_t>(input_.size()) : 0;
    }
    void ClosePort() override { open_ = false; }

    // Test controls.
    void Arrive(const std::vector<std::uint8_t>& bytes) {
        input_.insert(input_.end(), bytes.begin(), bytes.end());
    }
    void Vanish() { vanished_ = true; }
    std::size_t Pending() const { return input_.size(); }
    std::vector<std::uint8_t> TakeWritten() {
        std::vector<std::uint8_t> w;
        w.swap(written);
        return w;
    }

    std::vector<std::uint8_t> written;
    int writeCalls = 0;
    int readCalls = 0;

  private:
    std::deque<std::uint8_t> input_;
    bool open_ = true;
    bool vanished_ = false;
};

// Frames a decoded answer the way the board sends it: four prefix bytes, the
// COBS encoding, the zero delimiter.
std::vector<std::uint8_t> FrameAnswer(const std::vector<std::uint8_t>& answer);

}  // namespace orvan::test
