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
    std::size_t QueueCount() const { return Queue.size(); }
    const TCmd* QueuedAt(std::size_t i) const {
        return i < Queue.size() ? Queue[i].get() : nullptr;
    }

    // One step of the exchange.
    PollResult Poll();

    bool InFlight() const { return RxTimer.Running(); }
    std::uint32_t BoardProtocolVersion = 0;

    ISerialPort& Port() { return port_; }

  private:
    void OnRxTimeout();
    void ResetReceiveState();
    void DiscardWaiting();
    void SendCommand(TCmd& cmd, PollResult& result);

    ISerialPort& port_;
    const IClock& clock_;
    std::deque<std::unique_ptr<TCmd>> Queue;
    OneShotTimeout RxTimer{kRxTimeoutMs};
    bool TimedOut = false;

    std::array<std::uint8_t, kBufferSize> RxBuffer{};
    std::int32_t LastWaitingCount = 0;
    std::uint8_t QuietTicks = 0;
};

}  // namespace orvan::link
