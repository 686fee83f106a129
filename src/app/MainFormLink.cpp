// The window's side of the exchange: the 30 ms exchange timer, the link state
// in status panel 0, the line debug page's lists, the board's refusals (the
// exchange waits while one is shown) and the security code.

#include <QTimer>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "commands/Builders.h"
#include "pages/PageComDebug.h"

namespace orvan::app {

void TMainForm::TmrGestCOMCMDTimer() {
    if (core_) core_->Tick();
}

void TMainForm::OnLinkState(std::string_view text) {
    SetPanelText(0, Q(text));
}

void TMainForm::OnTxLog(const std::string& line) {
    TshComDebug->AppendTx(line);
}

void TMainForm::OnRxLog(const std::string& line) {
    TshComDebug->AppendRx(line);
}

// Answers go to answer processing through the session cycle.
void TMainForm::OnAnswer(const std::uint8_t*, std::uint8_t) {}

void TMainForm::OnRxTimeout() {
    StopStatusPolling();
}

void TMainForm::ShowRefusal(std::string_view caption, std::string_view text) {
    // No command goes out or comes in while the technician reads the refusal.
    TmrGestCOMCMD->stop();
    ShowMessage(Q(caption), Q(text));
    if (!closed_) TmrGestCOMCMD->start();
}

void TMainForm::ShowMissingAck(std::string_view caption, std::string_view text) {
    ShowMessage(Q(caption), Q(text));
}

void TMainForm::Act_SecurityCodeOnExecute() {
    if (core_) (void)commands::SendSecurityCode(core_->Protocol(), true);
}

void TMainForm::Act_SecurityCodeOffExecute() {
    if (core_) (void)commands::SendSecurityCode(core_->Protocol(), false);
}

void TMainForm::CmdClearRXLogClick() {
    TshComDebug->ClearRx();
}

void TMainForm::CmdClearTXLogClick() {
    TshComDebug->ClearTx();
}

void TMainForm::LsbCOMRxLogClick() {
    TshComDebug->CopySelectedRx();
}

void TMainForm::LsbCOMTxLogClick() {
    TshComDebug->CopySelectedTx();
}

}  // namespace orvan::app
