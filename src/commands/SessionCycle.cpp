#include "commands/SessionCycle.h"

namespace orvan::commands {

link::PollState TSessionCycle::Tick() {
    if (session_.ExchangePaused()) return link::PollState::Idle;
    link::TComProtocol& protocol = session_.Protocol();
    // The command the engine takes next, if it sends one on this tick.
    std::optional<link::TCmd> next;
    if (!protocol.InFlight() && protocol.QueueCount() > 0) next = *protocol.QueuedAt(0);
    const link::PollState state = cycle_.Tick();
    if (state == link::PollState::Sent && next) session_.NoteSent(*next);
    return state;
}

void TSessionCycle::OnLinkState(std::string_view text) {
    if (front_) front_->OnLinkState(text);
}
void TSessionCycle::OnTxLog(const std::string& line) {
    if (front_) front_->OnTxLog(line);
}
void TSessionCycle::OnRxLog(const std::string& line) {
    if (front_) front_->OnRxLog(line);
}
void TSessionCycle::OnAnswer(const std::uint8_t* data, std::uint8_t lengthLow) {
    if (front_) front_->OnAnswer(data, lengthLow);
    ProcessAnswer(session_, data, lengthLow);
}
void TSessionCycle::OnRxTimeout() {
    if (front_) front_->OnRxTimeout();
    session_.OnRxTimeout();
}
void TSessionCycle::OnPortLost(const std::string& why) {
    if (front_) front_->OnPortLost(why);
    session_.OnRxTimeout(why);
}

}  // namespace orvan::commands
