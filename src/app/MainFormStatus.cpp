// Status polling (the 150 ms timer and its button, the reads and writes of
// the first page and "IO Status", the live chart) and the board's identity in
// the status bar (the "Info" speed button, serial number, firmware, machine
// naming). The work is the status controller's; these slots read the
// controls and show the outcome.

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "config/AtomicFile.h"
#include "pages/LivePlot.h"
#include "pages/PageIOStatus.h"
#include "pages/PageWelderVelkor.h"

namespace orvan::app {

void TMainForm::ConnectStatusControls() {
    auto* first = TshCfgWelder;
    connect(first->CmdReadAnalogStatus, &QPushButton::clicked, this,
            &TMainForm::CmdReadAnalogStatusClick);
    connect(first, &pages::TPageWelderVelkor::AnomalyGroupClicked, this,
            &TMainForm::GrbAnomalyClick);
    connect(first, &pages::TPageWelderVelkor::SourceTimeGroupClicked, this,
            &TMainForm::grbPollingClick);
    connect(first->edtAnomalyAndMask, &QLineEdit::returnPressed, this,
            &TMainForm::edtAnomalyAndMaskKeyPress);
    connect(first->cmdLivePlot, &QPushButton::clicked, this, &TMainForm::cmdLivePlotClick);
    connect(TshBrenta->CmdSetIOForceStatus, &QPushButton::clicked, this,
            &TMainForm::CmdSetIOForceStatusClick);
    connect(TshBrenta->CmdResetIOForceStatus, &QPushButton::clicked, this,
            &TMainForm::CmdResetIOForceStatusClick);
}

void TMainForm::ReadPollFlags() {
    features::TPollFlags& f = core_->Polling().flags;
    f.optoIO = chkPollOptoIO->isChecked();
    f.analog = chkPollAnalogInput->isChecked();
    f.anomaly = chkPollAnomaly->isChecked();
    f.sourceTime = chkPollSourceTime->isChecked();
    f.multiHead = chkMultiHPolling->isChecked();
}

void TMainForm::TmrRefreshStatusTimer() {
    if (!core_) return;
    ReadPollFlags();
    core_->Polling().RefreshTick();
}

void TMainForm::StopStatusPolling() {
    if (core_ && core_->Polling().Running()) {
        core_->Polling().Stop();  // OnPollingChanged stops the timer
        return;
    }
    TmrRefreshStatus->stop();
    cmdPolling->setText(QStringLiteral("Polling -> START"));
}

void TMainForm::cmdPollingClick() {
    if (core_) core_->Polling().Toggle();
}

void TMainForm::OnPollingChanged(bool running, features::TPollStop) {
    if (running) {
        TmrRefreshStatus->start();
        cmdPolling->setText(QStringLiteral("Polling -> STOP"));
    } else {
        TmrRefreshStatus->stop();
        cmdPolling->setText(QStringLiteral("Polling -> START"));
    }
}

// The controller hears the same event and stops itself; the timer follows.
void TMainForm::OnStopPolling() {}

void TMainForm::SendOutcome(const commands::SendResult& r) {
    if (!r) ShowMessage(QString::fromLatin1(kApplicationTitle), Q(r.why));
}

void TMainForm::CmdReadAnalogStatusClick() {
    if (core_) SendOutcome(core_->Polling().RefreshAnalog());
}

void TMainForm::GrbAnomalyClick() {
    if (core_) SendOutcome(core_->Polling().ReadAnomalies());
}

void TMainForm::grbPollingClick() {
    if (core_) SendOutcome(core_->Polling().ReadSourceTime());
}

void TMainForm::edtAnomalyAndMaskKeyPress() {
    if (core_)
        SendOutcome(core_->Polling().SetAnomalyAndMask(
            TshCfgWelder->edtAnomalyAndMask->text().toStdString()));
}

void TMainForm::CmdSetIOForceStatusClick() {
    if (!core_) return;
    SendOutcome(core_->Polling().ForceIo(TshBrenta->ForceMarks(),
                                         TshBrenta->edtReleLedForceON->text().toStdString(),
                                         TshBrenta->edtReleLedForceOFF->text().toStdString()));
}

void TMainForm::CmdResetIOForceStatusClick() {
    if (!core_) return;
    TshBrenta->ClearForceMarks();
    SendOutcome(core_->Polling().ResetForce());
}

void TMainForm::cmdLivePlotClick() {
    if (!core_) return;
    if (LivePlot == nullptr) {
        const link::IClock& clock = options_.clock ? *options_.clock : systemClock_;
        LivePlot = new pages::TLivePlot(clock, this);
        core_->Polling().AddView(*LivePlot);
        connect(LivePlot, &pages::TLivePlot::SaveRequested, this, [this] {
            TFileRequest req;
            req.save = true;
            req.caption = QStringLiteral("Save the live plot");
            req.filters = {QStringLiteral("CSV (*.csv)")};
            req.defaultSuffix = QStringLiteral("csv");
            const auto choice = Dialogs().ChooseFile(req);
            if (!choice) return;
            QString path = choice->path;
            if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
            const config::SaveResult r =
                config::SaveFileAtomically(path.toStdString(), LivePlot->Series().Csv());
            if (!r) ShowMessage(QString::fromLatin1(kApplicationTitle), Q(r.error));
        });
    }
    LivePlot->show();
    LivePlot->raise();
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
