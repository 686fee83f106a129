// Status polling (an operation of the core in the background, with its own
// 150 ms cadence, its button and the check boxes of what it reads), and the
// board's identity in the status bar (serial number, firmware, machine
// naming).

#include <QCheckBox>
#include <QPushButton>
#include <QStatusBar>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "features/BoardOperations.h"

namespace orvan::app {

void TMainForm::ReadPollFlags() {
    if (!core_) return;
    features::TPollFlags& f = core_->Polling().flags;
    f.optoIO = chkPollOptoIO->isChecked();
    f.analog = chkPollAnalogInput->isChecked();
    f.anomaly = chkPollAnomaly->isChecked();
    f.sourceTime = chkPollSourceTime->isChecked();
}

void TMainForm::StartStatusPolling() {
    if (!core_ || core_->Operations().BackgroundBusy()) return;
    // Its end (the button, a time-out, a lost port) is no news worth a box.
    if (Run(features::PollingOperation(*core_, {}), TTold::StatusBar,
            [this](const features::TOperationOutcome&) {
                if (core_ && !core_->Operations().BackgroundBusy())
                    cmdPolling->setText(QStringLiteral("Polling -> START"));
            }))
        cmdPolling->setText(QStringLiteral("Polling -> STOP"));
}

void TMainForm::cmdPollingClick() {
    if (!core_) return;
    if (core_->Operations().BackgroundBusy()) {
        core_->Operations().CancelBackground("stopped by the user");
        // The button says what a click does next; the polling ends on the next tick.
        cmdPolling->setText(QStringLiteral("Polling -> START"));
        return;
    }
    StartStatusPolling();
}

void TMainForm::OnMachineNames(const features::TMachineNames& names) {
    // Part of the technician's picture: blank indicators have a reason.
    if (!names.found)
        statusBar()->showMessage(
            names.error.empty() ? QStringLiteral("No naming file %1: the indicators have no names")
                                      .arg(Q(names.path))
                                : Q(names.error),
            15000);
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
