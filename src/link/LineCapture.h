#pragma once
// Capture of the traffic on the line, and its file.
//
// The capture file is plain text, one frame a line:
//
//     # orvan line capture 1
//     120 TX 43 4F 42 53 02 0B 01 02 0B 00
//     131 RX 43 4F 42 53 02 06 08 0B 01 00 ...
//
// - the first field is the time in milliseconds since the capture began
//   (whole number, never going back);
// - the second says who sent the bytes: TX the PC, RX the board;
// - then the bytes as the line carried them, two hex digits each, separated
//   by one space: prefix, COBS frame and the zero that ends it. Bytes that
//   came without an ending zero (noise, a cut-off answer) make a line of
//   their own, ended where the other side spoke.
// - Lines starting with '#' are comments; blank lines are ignored.
//
// Invariant, checked by a fuzz target: the parser never reads outside the
// text it was given and refuses, with the line number and what is wrong,
// any line that is not of the form above.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/Clock.h"
#include "link/Comprotocol.h"
#include "link/Result.h"

namespace orvan::link {

inline constexpr std::string_view kCaptureHeader = "# orvan line capture 1";
// Longest line the parser takes (a frame of the line is at most a few
// hundred bytes; a capture of a babbling line is cut into such pieces).
inline constexpr std::size_t kCaptureMaxBytesPerLine = 1024;

struct TCaptureFrame {
    std::int64_t ms = 0;
    bool transmitted = false;  // TX: from the PC
    std::vector<std::uint8_t> bytes;
    bool operator==(const TCaptureFrame&) const = default;
};

// Records what the engine puts on and takes off the line, cut into frames.
class TLineCapture final : public ILineTap {
  public:
    // Frames kept at most; older ones are dropped (and counted) so that a
    // capture left running all day does not eat the memory.
    static constexpr std::size_t kMaxFrames = 200000;

    explicit TLineCapture(const IClock& clock) : clock_(clock), startMs_(clock.MonotonicMs()) {}

    void OnLineBytes(bool transmitted, const std::uint8_t* data, std::size_t count) override;

    // Called with each frame once it is complete (its zero came, or the other
    // side spoke, or Flush()).
    std::function<void(const TCaptureFrame&)> onFrame;

    // Completes a frame still open.
    void Flush();
    // Starts again from nothing, with the time counted from now.
    void Clear();
    const std::deque<TCaptureFrame>& Frames() const { return frames_; }
    std::size_t Dropped() const { return dropped_; }
    // The capture file's text of everything kept (an open frame included).
    std::string Text() const;

  private:
    void Close();

    const IClock& clock_;
    std::int64_t startMs_;
    std::deque<TCaptureFrame> frames_;
    TCaptureFrame open_;
    bool hasOpen_ = false;
    std::size_t dropped_ = 0;
};

// One line of the capture file (no newline).
std::string FormatCaptureLine(const TCaptureFrame& frame);
// The whole file for these frames.
std::string FormatCapture(const std::vector<TCaptureFrame>& frames, std::size_t dropped = 0);
// Reads a capture file's text; refuses it whole, naming the line, when any
// line is wrong.
[[nodiscard]] TResult ParseCapture(std::string_view text, std::vector<TCaptureFrame>& out);

}  // namespace orvan::link
