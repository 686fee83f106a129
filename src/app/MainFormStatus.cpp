// Status polling (an operation of the core in the background, with its own
// 150 ms cadence, and its button), the reads and writes of the first page and
// "IO Status", the live chart, and the board's identity in the status bar
// (the "Info" speed button, serial number, firmware, machine naming).

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "config/AtomicFile.h"
#include "features/BoardOperations.h"
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
    // Each polling cycle reads what the boxes say when it starts.
    for (QCheckBox* box :
         {chkPollOptoIO, chkPollAnalogInput, chkPollAnomaly, chkPollSourceTime, chkMultiHPolling})
        connect(box, &QCheckBox::toggled, this, &TMainForm::ReadPollFlags);
    ReadPollFlags();
}

void TMainForm::ReadPollFlags() {
    if (!core_) return;
    features::TPollFlags& f = core_->Polling().flags;
    f.optoIO = chkPollOptoIO->isChecked();
    f.analog = chkPollAnalogInput->isChecked();
    f.anomaly = chkPollAnomaly->isChecked();
    f.sourceTime = chkPollSourceTime->isChecked();
    f.multiHead = chkMultiHPolling->isChecked();
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
        core_->Attach(*LivePlot);
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
            if (!r) ShowMessage(QString::fromLatin1(kApplicationTitle), Q(r.why));
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
    if (core_) (void)core_->Identity().RequestInfo();
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
