#pragma once
// The exchange cycle with the session behind it: every answer goes to
// ProcessAnswer, a time-out ends the running sequences, and the request that
// goes out is noted so its answer (or refusal) is matched to it. While a
// message box of the session is open, ticks do nothing: that is the exchange
// timer standing still until the box is closed.

#include "commands/Session.h"
#include "link/ExchangeCycle.h"

namespace orvan::commands {

class TSessionCycle : private link::IExchangeListener {
  public:
    // `front` sees the link state and the log lines; may be null.
    TSessionCycle(TSession& session, const link::IClock& clock,
                  link::IExchangeListener* front = nullptr)
        : session_(session), front_(front), cycle_(session.Protocol(), clock, *this) {}

    // One tick of the exchange timer.
    link::PollState Tick();
    link::TExchangeCycle& Cycle() { return cycle_; }
    // Nothing queued and nothing in flight.
    bool Idle() const {
        return session_.Protocol().QueueCount() == 0 && !session_.Protocol().InFlight();
    }

  private:
    void OnLinkState(std::string_view text) override;
    void OnTxLog(const std::string& line) override;
    void OnRxLog(const std::string& line) override;
    void OnAnswer(const std::uint8_t* data, std::uint8_t lengthLow) override;
    void OnRxTimeout() override;
    void OnPortLost(const std::string& why) override;

    TSession& session_;
    link::IExchangeListener* front_;
    link::TExchangeCycle cycle_;
};

}  // namespace orvan::commands
