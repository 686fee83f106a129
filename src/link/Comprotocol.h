#pragma once
// TComProtocol: the exchange engine. Commands are queued by anyone; Poll(),
// called once per exchange tick, sends them one at a time, recognises the end
// of an answer by the line falling quiet and gives up after the receive
// time-out. Exactly one command is in flight at any moment; nothing is re-sent.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "link/Clock.h"
#include "link/FrameCodec.h"
#include "link/SerialPort.h"

namespace orvan::link {

// Sees every byte the engine writes to or reads from the line, in order (the
// traffic capture). Bytes read only to be thrown away are seen too.
class ILineTap {
  public:
    virtual ~ILineTap() = default;
    virtual void OnLineBytes(bool transmitted, const std::uint8_t* data, std::size_t count) = 0;
};

// One queued command.
struct TCmd {
    std::uint8_t Type = 0;
    std::array<std::uint8_t, 257> Payload{};
    std::int32_t Count = 0;

    TCmd() = default;
    TCmd(std::uint8_t type, std::initializer_list<std::uint8_t> payload);
};

enum class PollState : std::uint8_t {
    Idle = 0,      // nothing happened
    Answer = 1,    // an answer was received and decoded
    TimedOut = 3,  // the receive time-out of the command in flight expired
    Sent = 4,      // a command was sent
    PortLost = 5,  // the port reports its device gone while a command was in flight
};

struct PollResult {
    PollState State = PollState::Idle;
    // Answer: the decoded answer; Sent: the unencoded bytes sent.
    std::array<std::uint8_t, kBufferSize> Data{};
    // Answer: decoded length + 4 (the answer length value); Sent: bytes sent
    // before encoding (body, checksum, trailing zero).
    std::uint16_t Length = 0;
};

// Why QueueCommand took a command or not.
struct QueueResult {
    bool accepted = false;
    std::size_t position = 0;  // index in the queue when accepted
    std::string why;           // reason when refused
    explicit operator bool() const { return accepted; }
};

class TComProtocol {
  public:
    static constexpr std::int64_t kRxTimeoutMs = 3000;
    // The count of waiting bytes has to stand still this long (in ticks past the
    // one that saw it change) before the answer is taken.
    static constexpr std::uint8_t kQuietLimit = 4;
    // Bytes discarded at most per poll when cleaning the input queue, so a
    // babbling line cannot hold the tick.
    static constexpr std::int32_t kMaxDiscardPerPoll = 4096;

    TComProtocol(ISerialPort& port, const IClock& clock);
    ~TComProtocol();
    TComProtocol(const TComProtocol&) = delete;
    TComProtocol& operator=(const TComProtocol&) = delete;

    // Takes ownership. A command whose body could never be sent whole (more than
    // 252 bytes, counting a security code it might need) is refused: nothing is
    // queued and the result says why.
    [[nodiscard]] QueueResult QueueCommand(std::unique_ptr<TCmd> cmd);
    QueueResult QueueCommand(const TCmd& cmd) { return QueueCommand(std::make_unique<TCmd>(cmd)); }
    void ClearQueue() { Queue.clear(); }
    // Drops the queued commands `unsent` says are unwanted; returns how many.
    template <typename Pred>
    std::size_t DropQueued(Pred unsent) {
        const std::size_t before = Queue.size();
        std::erase_if(Queue, [&](const std::unique_ptr<TCmd>& c) { return unsent(*c); });
        return before - Queue.size();
    }
    std::size_t QueueCount() const { return Queue.size(); }
    const TCmd* QueuedAt(std::size_t i) const {
        return i < Queue.size() ? Queue[i].get() : nullptr;
    }

    // One step of the exchange.
    PollResult Poll();

    // Fast exchange, off unless asked for. An answer is complete once its zero
    // delimiter arrives after the four prefix bytes, so Poll takes it on the
    // first call that sees the delimiter instead of waiting for the line to
    // fall quiet; the caller may call Poll as soon as the port is readable.
    // A frame that never completes is judged by the quiet rule after
    // kFastQuietMs without a new byte, and the receive time-out still ends
    // the exchange.
    void SetFastMode(bool on) { fast_ = on; }
    bool FastMode() const { return fast_; }
    static constexpr std::int64_t kFastQuietMs = 90;

    // Every byte on the line goes to `tap` as well (null: none). Not owned.
    void SetTap(ILineTap* tap) { tap_ = tap; }

    bool InFlight() const { return RxTimer.Running(); }
    // While held, nothing more is sent: the answer to the command in flight
    // is still taken, and queued commands wait. A stop "after the request in
    // flight" holds first, so an answer that queues the next request cannot
    // send it before the stop.
    void Hold(bool on) { held_ = on; }
    bool Held() const { return held_; }
    std::uint32_t BoardProtocolVersion = 0;

    ISerialPort& Port() { return port_; }

  private:
    void OnRxTimeout();
    void ResetReceiveState();
    void DiscardWaiting();
    void SendCommand(TCmd& cmd, PollResult& result);
    void PollFast(PollResult& result);
    std::int32_t Read(std::uint8_t* dest, std::int32_t count);
    void Write(const std::uint8_t* data, std::size_t count);

    ISerialPort& port_;
    const IClock& clock_;
    std::deque<std::unique_ptr<TCmd>> Queue;
    OneShotTimeout RxTimer{kRxTimeoutMs};
    bool TimedOut = false;

    std::array<std::uint8_t, kBufferSize> RxBuffer{};
    std::int32_t LastWaitingCount = 0;
    std::uint8_t QuietTicks = 0;

    bool fast_ = false;
    bool held_ = false;
    ILineTap* tap_ = nullptr;
    // Fast exchange: bytes of the answer collected so far, and when the last
    // of them came.
    std::size_t fastCount_ = 0;
    std::int64_t lastByteMs_ = 0;
};

// Where a complete answer frame lies in bytes received in fast exchange.
struct FastFrame {
    enum class Kind {
        Incomplete,  // no delimiter after a prefix yet
        Complete,    // frame in [start, delimiter)
        Resync,      // a zero inside the prefix: drop `drop` bytes and look again
    } kind = Kind::Incomplete;
    std::size_t start = 0;
    std::size_t delimiter = 0;
    std::size_t drop = 0;
};
// The frame starts at the first "COBS" when the bytes hold one (noise before
// it is skipped), else at the first byte; its first zero past the four prefix
// bytes ends it. Never reads outside [rx, rx + count).
[[nodiscard]] FastFrame FindFastFrame(const std::uint8_t* rx, std::size_t count);

}  // namespace orvan::link
