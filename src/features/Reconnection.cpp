#include "features/Reconnection.h"

#include "features/ConfigBackups.h"

namespace orvan::features {

void TReconnection::Reset() {
    state_ = TLinkWatch::Connected;
    interrupted_.clear();
    recentStop_.clear();
    lastFailure_.clear();
    pollingWasOn_ = false;
}

void TReconnection::Tick() {
    if (!reopen) return;
    const std::string lost = session_.Protocol().Port().LostReason();
    const std::int64_t now = clock_.MonotonicMs();
    switch (state_) {
        case TLinkWatch::Connected:
            if (!lost.empty()) {
                Lost(lost);
            } else {
                recentStop_.clear();
                pollingLastTick_ = polling_.Running();
            }
            break;
        case TLinkWatch::Lost:
            if (now >= nextTryMs_) TryReopen();
            break;
        case TLinkWatch::Checking:
            if (!lost.empty()) {
                state_ = TLinkWatch::Lost;
                nextTryMs_ = now + kRetryMs;
                Tell({TLinkWatch::Lost, false, false, false,
                      "Port lost again while checking the board: " + lost + ". Reconnecting..."});
            } else if (now - checkSinceMs_ > kCheckLimitMs) {
                state_ = TLinkWatch::Lost;
                nextTryMs_ = now;
            }
            break;
    }
}

void TReconnection::Lost(const std::string& why) {
    serialBefore_ = session_.serialNumber;
    knewSerial_ = !serialBefore_.empty();
    pollingWasOn_ = pollingLastTick_ || polling_.Running();
    if (polling_.Running()) polling_.Stop(TPollStop::Line);
    interrupted_ = recentStop_;
    recentStop_.clear();
    lastFailure_.clear();
    state_ = TLinkWatch::Lost;
    nextTryMs_ = clock_.MonotonicMs() + kRetryMs;
    std::string text = "Port lost: " + why + ". Reconnecting when it is back...";
    if (!interrupted_.empty()) text += " Stopped: " + interrupted_ + ".";
    Tell({TLinkWatch::Lost, false, false, false, text});
}

void TReconnection::TryReopen() {
    const std::int64_t now = clock_.MonotonicMs();
    const TResult r = reopen();
    if (!r) {
        nextTryMs_ = now + kRetryMs;
        if (r.why != lastFailure_) {
            lastFailure_ = r.why;
            Tell({TLinkWatch::Lost, false, false, false,
                  "Port lost; waiting for the device to come back (" + r.why + ")"});
        }
        return;
    }
    state_ = TLinkWatch::Checking;
    checkSinceMs_ = now;
    // A board whose serial number begins with a zero byte would otherwise be
    // taken for the one that left.
    session_.serialNumber.clear();
    session_.RequestHardwareInfo();
    Tell({TLinkWatch::Checking, false, false, false,
          "Port back; reading the board's serial number..."});
}

void TReconnection::OnSerialNumber(const std::string&) {
    if (state_ != TLinkWatch::Checking) return;
    const std::string& now = session_.serialNumber;
    const bool same = knewSerial_ && now == serialBefore_;
    TReconnectEvent e;
    e.state = TLinkWatch::Connected;
    e.sameBoard = same;
    e.otherBoard = !same;
    state_ = TLinkWatch::Connected;
    lastFailure_.clear();
    // Reads only: status polling goes on whoever answers.
    e.pollingResumed =
        pollingWasOn_ && (resumePolling ? resumePolling() : polling_.ResumeAfterReconnect());
    pollingWasOn_ = false;
    pollingLastTick_ = e.pollingResumed;
    if (same) {
        e.text = "Reconnected to the same board (SN " + SerialNumberText(now) + ")";
    } else {
        // The configuration on the pages is the other board's: writing it
        // here must take a deliberate read first.
        session_.configLoaded = false;
        e.text = knewSerial_
                     ? "Reconnected, but another board answers (SN " + SerialNumberText(now) +
                           ", was " + SerialNumberText(serialBefore_) +
                           "): read its configuration before writing"
                     : "Reconnected to a board (SN " + SerialNumberText(now) +
                           ") whose serial number was not known before the loss: read "
                           "its configuration before writing";
    }
    if (e.pollingResumed) e.text += "; polling resumed";
    if (!interrupted_.empty()) e.text += "; not resumed: " + interrupted_;
    e.text += ".";
    interrupted_.clear();
    Tell(e);
}

void TReconnection::OnSequenceStopped(commands::Sequence s, int purpose, const std::string&) {
    std::string what;
    switch (s) {
        case commands::Sequence::ConfigDownload:
            what = "the configuration write";
            break;
        case commands::Sequence::MemoryWrite:
            what = "a memory write";
            break;
        case commands::Sequence::MemoryChain:
            what = purpose == commands::kPurposeConfigUpload ? "the configuration read"
                                                             : "a memory read";
            break;
    }
    // The loss may be seen before the sequence in flight hears of it.
    std::string& list = state_ == TLinkWatch::Connected ? recentStop_ : interrupted_;
    if (list.find(what) == std::string::npos) list = list.empty() ? what : list + ", " + what;
}

void TReconnection::OnStopPolling() {
    // A board that does not answer while it is being identified: open the
    // port again later rather than wait on a line that may be another one.
    if (state_ == TLinkWatch::Checking) {
        state_ = TLinkWatch::Lost;
        nextTryMs_ = clock_.MonotonicMs() + kRetryMs;
        Tell({TLinkWatch::Lost, false, false, false,
              "The port is back but the board does not answer; trying again..."});
    }
}

void TReconnection::Tell(TReconnectEvent e) {
    views_.Notify(&IReconnectView::OnReconnectEvent, e);
}

}  // namespace orvan::features
