// The window's side of the exchange: the 30 ms exchange timer, the link state
// in status panel 0, the traffic log lines handed to the pages, the board's
// refusals (the exchange waits while one is shown) and the security code.

#include <QTimer>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "commands/Catalogue.h"

namespace orvan::app {

void TMainForm::TmrGestCOMCMDTimer() {
    if (core_) core_->Tick();
}

void TMainForm::OnLinkState(std::string_view text) {
    // Status polling asks again at once after each answer: "waiting" would
    // fill panel 0 all the time. The last answer stands until the next one,
    // or until a time-out says the board fell silent.
    if (text == link::kLinkWaiting && core_ && core_->Operations().BackgroundBusy() &&
        !core_->Operations().Busy() && PanelText(0) == Q(link::kLinkAck))
        return;
    SetPanelText(0, Q(text));
}

void TMainForm::OnAcknowledged(std::uint8_t type, std::uint16_t code) {
    // A value a page sent straight to the board (forcing I/O, currents, the
    // machine pages): what the board answered is said, not only that it
    // went. An operation tells its own outcome.
    if (type != commands::kWriteVariable || !core_ || core_->Operations().Busy()) return;
    const commands::VariableInfo* v = commands::FindVariable(code);
    ShowStatus(QStringLiteral("%1 (%2): the board acknowledged the new value")
                   .arg(v ? Q(std::string(v->name)) : QStringLiteral("Variable"),
                        Q(commands::CodeText(code))));
}

void TMainForm::OnTxLog(const std::string& line) {
    emit pageSignals_.TrafficLine(true, line);
}

void TMainForm::OnRxLog(const std::string& line) {
    emit pageSignals_.TrafficLine(false, line);
}

// Answers go to answer processing through the session cycle.
void TMainForm::OnAnswer(const std::uint8_t*, std::uint8_t) {}
// Status polling hears the time-out from the session and stops itself (as
// stopped by the line, so picking the port again resumes it).
void TMainForm::OnRxTimeout() {}

// Panel 0 says "Port lost"; the port's panel says what happened to it. Polling
// hears the session's stop like after a time-out.
void TMainForm::OnPortLost(const std::string& why) {
    SetPanelText(6, Q(why));
}

void TMainForm::ShowRefusal(std::string_view caption, std::string_view text) {
    // No command goes out or comes in while the technician reads the refusal.
    TmrGestCOMCMD->stop();
    DropLineNotifier();
    ShowMessage(Q(caption), Q(text));
    if (!closed_) TmrGestCOMCMD->start();
    if (!closed_) ApplyFastExchange();
}

void TMainForm::ShowMissingAck(std::string_view caption, std::string_view text) {
    ShowMessage(Q(caption), Q(text));
}

void TMainForm::Act_SecurityCodeOnExecute() {
    if (!core_) return;
    IPageContext::Tell(core_->SetSecurityCode(true));
}

void TMainForm::Act_SecurityCodeOffExecute() {
    if (!core_) return;
    IPageContext::Tell(core_->SetSecurityCode(false));
}

}  // namespace orvan::app
