// Status polling (the 150 ms timer and its button) and the board's identity
// in the status bar (the "Info" speed button, serial number, firmware).

#include <QPushButton>
#include <QTimer>

#include "app/MainForm.h"
#include "app/QtText.h"

namespace orvan::app {

void TMainForm::TmrRefreshStatusTimer() {
    // The status reads are queued by status polling, built with its page.
}

void TMainForm::StopStatusPolling() {
    TmrRefreshStatus->stop();
    cmdPolling->setText(QStringLiteral("Polling -> START"));
}

void TMainForm::cmdPollingClick() {
    if (TmrRefreshStatus->isActive()) {
        StopStatusPolling();
    } else {
        TmrRefreshStatus->start();
        cmdPolling->setText(QStringLiteral("Polling -> STOP"));
    }
}

void TMainForm::OnStopPolling() {
    StopStatusPolling();
}

void TMainForm::SpeedButtonInfoClick() {
    if (core_) core_->Session().RequestHardwareInfo();
}

void TMainForm::OnFirmwareVersion(std::uint8_t, std::uint8_t, std::uint8_t,
                                  const std::string& text) {
    SetPanelText(5, QStringLiteral("FW Ver. ") + Q(text));
}

// The board's bytes as they are: any byte shows as some character.
void TMainForm::OnSerialNumber(const std::string& text) {
    SetPanelText(4, QStringLiteral("SN: ") +
                        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace orvan::app
