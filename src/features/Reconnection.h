#pragma once
// Getting the line back by itself when its device vanishes and comes back
// under the same name (a USB adapter pulled and plugged in again, a cable
// knocked loose): the port is opened again every second on the program's
// clock, the board's serial number is read afresh, and only then is anything
// resumed.
//
// What ran when the line went is never resumed silently: the sequences the
// loss interrupted have already ended with their "stopped" outcome, and the
// technician starts them again. Status polling (reads only) goes on if it was
// running; nothing that writes is ever restarted here. When another board
// answers, the configuration on the pages no longer counts as read from this
// board, so what relies on it (converted status values, a verify) waits for
// a fresh read.

#include <cstdint>
#include <functional>
#include <string>

#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "features/StatusPolling.h"
#include "link/Clock.h"
#include "link/Result.h"

namespace orvan::features {

enum class TLinkWatch : std::uint8_t {
    Connected,  // the port works (or reconnection is off)
    Lost,       // the device is gone; reopening it every kRetryMs
    Checking,   // open again; reading who the board is
};

// What happened, for the status bar.
struct TReconnectEvent {
    TLinkWatch state = TLinkWatch::Connected;
    bool sameBoard = false;   // Connected after Checking: the board that left
    bool otherBoard = false;  // Connected after Checking: another board
    bool pollingResumed = false;
    std::string text;  // one line for the user
};

class IReconnectView {
  public:
    virtual ~IReconnectView() = default;
    virtual void OnReconnectEvent(const TReconnectEvent& /*e*/) {}
};

class TReconnection : public commands::IIdentityView,
                      public commands::IMemoryView,
                      public commands::ILinkView {
  public:
    static constexpr std::int64_t kRetryMs = 1000;
    // Reading who the board is may take this long before the port is
    // reopened again (a board that does not answer at all).
    static constexpr std::int64_t kCheckLimitMs = 10000;

    TReconnection(commands::TSession& session, TStatusPolling& polling, const link::IClock& clock)
        : session_(session), polling_(polling), clock_(clock) {}

    commands::TFanout<IReconnectView>& Views() { return views_; }

    // Closes the port and opens the same device again; ok when it is open.
    // Reconnection is off while this is empty (the front end sets it).
    std::function<TResult()> reopen;
    // Starts the polling the lost line stopped, as the operation that runs
    // it (the core sets it); true when it started.
    std::function<bool()> resumePolling;

    // After every exchange tick (the core's Tick calls it).
    void Tick();
    TLinkWatch State() const { return state_; }
    // The port the user picks by hand counts as a fresh start.
    void Reset();

    // Board events.
    void OnSerialNumber(const std::string& text) override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;
    void OnStopPolling() override;

  private:
    void Lost(const std::string& why);
    void TryReopen();
    void Tell(TReconnectEvent e);

    commands::TSession& session_;
    TStatusPolling& polling_;
    const link::IClock& clock_;
    commands::TFanout<IReconnectView> views_;
    TLinkWatch state_ = TLinkWatch::Connected;
    std::string serialBefore_;
    bool knewSerial_ = false;
    bool pollingWasOn_ = false;
    bool pollingLastTick_ = false;  // polling ran at the end of the last tick
    std::string interrupted_;       // what the loss stopped (for the status bar)
    std::string recentStop_;        // a sequence stopped since the last tick
    std::int64_t nextTryMs_ = 0;
    std::int64_t checkSinceMs_ = 0;
    std::string lastFailure_;  // why the last reopen failed (told once per change)
};

}  // namespace orvan::features
