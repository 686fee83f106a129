#pragma once
// The exchange cycle run on every tick of the exchange timer: one Poll of the
// engine, the link state shown to the user, the transmit and receive log lines,
// the answer handed on, the time-out handled. Front ends implement the
// listener; the window shows it in its status bar and debug page, the
// command-line companion prints it, tests record it.

#include <cstdint>
#include <string>
#include <string_view>

#include "link/Clock.h"
#include "link/Comprotocol.h"

namespace orvan::link {

inline constexpr std::string_view kLinkWaiting = "Waiting for answer...";
inline constexpr std::string_view kLinkAck = "ACK";
inline constexpr std::string_view kLinkNack = "NACK";
inline constexpr std::string_view kLinkTimeout = "RX TimeOut";
inline constexpr std::string_view kLinkPortLost = "Port lost";

class IExchangeListener {
  public:
    virtual ~IExchangeListener() = default;
    virtual void OnLinkState(std::string_view text) = 0;
    virtual void OnTxLog(const std::string& line) = 0;
    virtual void OnRxLog(const std::string& line) = 0;
    // A decoded answer and the low byte of its length value.
    virtual void OnAnswer(const std::uint8_t* data, std::uint8_t lengthLow) = 0;
    // The receive time-out ended the exchange; the queue has been emptied.
    virtual void OnRxTimeout() = 0;
    // The port's device went away during the exchange (`why` names it and
    // the system's reason); the queue has been emptied. By default handled
    // as a time-out.
    virtual void OnPortLost(const std::string& /*why*/) { OnRxTimeout(); }
};

// "%02X " for each byte, joined.
std::string FormatHexBytes(const std::uint8_t* data, std::size_t count);
// "[ counter date time ] " followed by the hex bytes.
std::string FormatLogLine(std::uint32_t counter, std::chrono::system_clock::time_point when,
                          const std::uint8_t* data, std::size_t count);

class TExchangeCycle {
  public:
    TExchangeCycle(TComProtocol& protocol, const IClock& clock, IExchangeListener& listener)
        : protocol_(protocol), clock_(clock), listener_(listener) {}

    // One tick; returns what the engine did.
    PollState Tick();

    void SetTxLogEnabled(bool on) { txLogEnabled_ = on; }
    void SetRxLogEnabled(bool on) { rxLogEnabled_ = on; }
    bool TxLogEnabled() const { return txLogEnabled_; }
    bool RxLogEnabled() const { return rxLogEnabled_; }
    std::uint32_t TxCounter() const { return txCounter_; }
    std::uint32_t RxCounter() const { return rxCounter_; }

  private:
    TComProtocol& protocol_;
    const IClock& clock_;
    IExchangeListener& listener_;
    std::uint32_t txCounter_ = 0;
    std::uint32_t rxCounter_ = 0;
    bool txLogEnabled_ = true;
    bool rxLogEnabled_ = true;
};

}  // namespace orvan::link
