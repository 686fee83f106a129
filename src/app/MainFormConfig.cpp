// The window's configuration commands: the pages filled from the record and
// read back into it, write, read and verify against the board (run by the
// transfer controller), the ".wcf" files, and the backups kept before every
// write.

#include <QProgressBar>
#include <QTabWidget>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "features/FileKindGuard.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderTuning.h"
#include "pages/PageWelderVelkor.h"

namespace orvan::app {

namespace {

using features::TTransferOp;
using features::TTransferPhase;

QString OpCaption(TTransferOp op) {
    switch (op) {
        case TTransferOp::Write:
            return QStringLiteral("WRITE    PC  -->  Board");
        case TTransferOp::Read:
            return QStringLiteral("READ      PC  <--  Board");
        case TTransferOp::Verify:
            return QStringLiteral("VERIFY   PC <--> Board");
    }
    return {};
}

QString PhaseText(TTransferPhase phase) {
    switch (phase) {
        case TTransferPhase::Identify:
            return QStringLiteral("Board identity");
        case TTransferPhase::BackupRead:
            return QStringLiteral("Backup read");
        case TTransferPhase::Backup:
            return QStringLiteral("Backup");
        case TTransferPhase::Download:
            return QStringLiteral("Writing");
        case TTransferPhase::Upload:
            return QStringLiteral("Reading");
    }
    return {};
}

const QString kConfigFilter = QStringLiteral("File configurazione (*.wcf)");
const QString kLogFilter = QStringLiteral("File log (*.log)");

}  // namespace

void TMainForm::ShowConfig() {
    if (!core_) return;
    const config::TCfgWelderRW& cfg = core_->Record();
    TshWelderCfg->ShowConfig(cfg);
    tshWelderTuning->ShowFactoryTuningImax(cfg.GetMaxPowerValue(), decimal_);
    TshCfgWelder->ShowConfig(cfg, decimal_);
    SetPanelText(2, QStringLiteral("Cfg V.") + QString::number(cfg.GetVersion()));
    SetPanelText(3, QStringLiteral("Cfg Size=") + QString::number(cfg.GetSize()));
    core_->Session().configLoaded = true;
}

bool TMainForm::ReadPagesIntoConfig(bool keepEditMarks) {
    if (!core_) return false;
    const pages::TWriteBackResult r =
        TshWelderCfg->ReadPagesIntoConfig(core_->Record(), keepEditMarks);
    if (!r.ok) {
        PgcMain->setCurrentWidget(TshWelderCfg);
        ShowMessage(QString::fromLatin1(kApplicationTitle), r.error);
        return false;
    }
    if (!r.limited.isEmpty())
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("These values were limited to what the board can hold; the "
                                   "pages now show what is stored:\n") +
                        r.limited.join(QLatin1Char('\n')));
    return true;
}

bool TMainForm::ConfirmDiscardEdits() {
    if (!TshWelderCfg->HasUnwrittenEdits()) return true;
    return Confirm(
        QStringLiteral("Attenzione!"),
        QStringLiteral("%1 edited value(s) on the \"Welder CFG\" page are not written to the board "
                       "nor saved to a file. Discard them?")
            .arg(TshWelderCfg->UnwrittenEditCount()));
}

void TMainForm::StartTransfer(TTransferOp op) {
    const features::TStartResult r = op == TTransferOp::Write
                                         ? core_->Transfer().Write(writeOptions_)
                                     : op == TTransferOp::Read ? core_->Transfer().Read(true)
                                                               : core_->Transfer().Verify();
    if (!r) {
        ShowMessage(OpCaption(op), Q(r.message));
        return;
    }
    SetPanelText(1, QString());
    cgaTransfer->setRange(0, 1);
    cgaTransfer->setValue(0);
    cgaTransfer->setFormat(PhaseText(TTransferPhase::Identify));
    cgaTransfer->show();
}

void TMainForm::OnTransferProgress(TTransferOp, TTransferPhase phase, int done, int total) {
    cgaTransfer->setRange(0, total);
    cgaTransfer->setValue(done);
    cgaTransfer->setFormat(PhaseText(phase) + QStringLiteral(" %v/%m"));
    // One mark per block written, two per block read (a read block is two written ones).
    if (phase == TTransferPhase::Download) SetPanelText(1, QString(done, QLatin1Char('|')));
    if (phase == TTransferPhase::Upload) SetPanelText(1, QString(2 * done, QLatin1Char('|')));
}

void TMainForm::OnTransferFinished(const features::TTransferOutcome& outcome) {
    QMetaObject::invokeMethod(
        this, [this, outcome] { TransferEnded(outcome); }, Qt::QueuedConnection);
}

void TMainForm::TransferEnded(const features::TTransferOutcome& o) {
    if (closed_) return;
    cgaTransfer->hide();
    const QString caption = OpCaption(o.op);
    QString text = Q(o.message);
    if (!o.completed && !o.reason.empty() && o.message.find(o.reason) == std::string::npos)
        text += QStringLiteral("\nReason: ") + Q(o.reason);
    if (!o.checksumWarning.empty()) text += QStringLiteral("\n\n") + Q(o.checksumWarning);
    switch (o.op) {
        case TTransferOp::Write:
            if (!o.completed && o.confirm != features::TConfirm::None) {
                // Nothing was sent: the user decides, knowing what is at stake.
                if (!Confirm(QStringLiteral("Attenzione!"),
                             text + QStringLiteral("\n\nWrite to the board anyway?")))
                    return;
                if (o.confirm == features::TConfirm::DamagedBackup)
                    writeOptions_.acceptDamagedBackup = true;
                else
                    writeOptions_.acceptOtherLayout = true;
                StartTransfer(TTransferOp::Write);
                return;
            }
            if (!o.completed) {
                ShowMessage(caption, text);
                return;
            }
            TshWelderCfg->ClearEditMarks();
            if (Confirm(caption,
                        text + QStringLiteral("\n\nRead the board back now and compare it with the "
                                              "configuration on the PC?")))
                StartTransfer(TTransferOp::Verify);
            return;
        case TTransferOp::Read:
            // The record changes only when a read completes; so do the pages.
            if (o.completed) {
                ShowConfig();
                PgcMain->setCurrentWidget(TshWelderCfg);
            }
            if (!o.checksumWarning.empty())
                text += QStringLiteral(
                    "\nThe values read are shown on the pages; check them before "
                    "writing them back.");
            ShowMessage(o.checksumWarning.empty() ? caption : QStringLiteral("Attenzione!"), text);
            return;
        case TTransferOp::Verify:
            if (o.completed && !o.differences.empty()) {
                if (!o.checksumWarning.empty())
                    ShowMessage(QStringLiteral("Attenzione!"), Q(o.checksumWarning));
                dialogs_->ShowDifferences(caption, TshWelderCfg->DifferenceRows(o.differences));
                return;
            }
            ShowMessage(caption, text);
            return;
    }
}

bool TMainForm::TransferIdle(TTransferOp op) {
    if (!core_->Transfer().Busy()) return true;
    ShowMessage(OpCaption(op),
                QStringLiteral("A configuration transfer is already running; wait for it to end."));
    return false;
}

void TMainForm::ConfigDownloadClick() {
    if (closed_ || !core_ || !TransferIdle(TTransferOp::Write)) return;
    // A cell that does not convert sends nothing. The marks stay until the
    // board has taken every block.
    if (!ReadPagesIntoConfig(true)) return;
    // A restored backup whose values are still those on the pages goes back
    // byte for byte (filler and layout included); anything else is built from
    // the pages.
    writeOptions_ = {};
    if (restoredImage_ && features::ImageHoldsRecord(*restoredImage_, *Record()))
        writeOptions_.exactImage = restoredImage_;
    StartTransfer(TTransferOp::Write);
}

void TMainForm::ConfigUploadClick() {
    if (closed_ || !core_ || !TransferIdle(TTransferOp::Read)) return;
    if (!ConfirmDiscardEdits()) return;
    PgcMain->setCurrentWidget(TshWelderCfg);
    StartTransfer(TTransferOp::Read);
}

void TMainForm::VerifyPCTarget1Click() {
    if (closed_ || !core_) return;
    if (!ConfigLoaded()) {
        ShowMessage(
            QStringLiteral("Attenzione!"),
            QStringLiteral("Leggere la configurazione prima di eseguire questa operazione"));
        return;
    }
    if (!TransferIdle(TTransferOp::Verify)) return;
    // What the pages show is compared; comparing writes nothing, so the
    // edits stay marked.
    if (!ReadPagesIntoConfig(true)) return;
    StartTransfer(TTransferOp::Verify);
}

void TMainForm::FileNew() {
    if (closed_ || !core_) return;
    if (!ConfirmDiscardEdits()) return;
    core_->Record() = config::TCfgWelderRW(config::DefaultConfiguration());
    ShowConfig();
    currentFile_.clear();
    PgcMain->setCurrentWidget(TshWelderCfg);
}

void TMainForm::FileOpen() {
    if (closed_ || !core_) return;
    if (!ConfirmDiscardEdits()) return;
    TFileRequest req;
    req.caption = QStringLiteral("Open");
    req.filters = {QStringLiteral("File di configurazione (*.wcf)")};
    req.filterIndex = 1;
    req.defaultSuffix = QStringLiteral("ini");
    const std::optional<TFileChoice> c = dialogs_->ChooseFile(req);
    if (!c || c->path.isEmpty()) return;
    const config::TFileResult r = core_->Record().LoadFromFile(c->path.toStdString());
    if (!r) {
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("The configuration could not be opened:\n%1").arg(Q(r.message)));
        return;
    }
    ShowConfig();
    currentFile_ = Q(r.path);
    PgcMain->setCurrentWidget(TshWelderCfg);
    if (!r.warnings.empty()) {
        QStringList lines;
        for (const std::string& w : r.warnings) lines << Q(w);
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("%1 was opened; these values were not taken as written:\n%2")
                        .arg(Q(r.path), lines.join(QLatin1Char('\n'))));
    }
}

bool TMainForm::SaveConfigTo(const QString& chosen) {
    const features::TSaveCheck check =
        features::CheckSave(chosen.toStdString(), features::TFileKind::Configuration);
    if (check.refuse) {
        ShowMessage(QStringLiteral("Attenzione!"), Q(check.message));
        return false;
    }
    if (check.ask && !Confirm(QStringLiteral("Attenzione!"), Q(check.message))) return false;
    // Nothing is written when a cell does not convert; the marks go only
    // once the file holds the values.
    if (!ReadPagesIntoConfig(true)) return false;
    // The file always carries the version and size of the image it describes.
    std::array<std::uint8_t, config::kImageSize> image{};
    config::BuildDeviceImage(core_->Record(), image.data());
    const config::TFileResult r = core_->Record().SaveToFile(check.target);
    if (!r) {
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("The configuration could not be saved to %1:\n%2")
                        .arg(Q(check.target), Q(r.message)));
        return false;
    }
    TshWelderCfg->ClearEditMarks();
    currentFile_ = Q(r.path.empty() ? check.target : r.path);
    // Version and size as the file now has them.
    SetPanelText(2, QStringLiteral("Cfg V.") + QString::number(core_->Record().GetVersion()));
    SetPanelText(3, QStringLiteral("Cfg Size=") + QString::number(core_->Record().GetSize()));
    return true;
}

void TMainForm::FileSaveAs() {
    if (closed_ || !core_) return;
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Save As");
    req.filters = {kConfigFilter, kLogFilter};
    req.filterIndex = 1;
    req.defaultSuffix = QStringLiteral("wcf");
    const std::optional<TFileChoice> c = dialogs_->ChooseFile(req);
    if (!c || c->path.isEmpty()) return;
    (void)SaveConfigTo(c->path);
}

void TMainForm::FileSave() {
    if (closed_ || !core_) return;
    if (currentFile_.isEmpty()) {
        FileSaveAs();
        return;
    }
    (void)SaveConfigTo(currentFile_);
}

// The platform's dialog only; nothing is printed from it.
void TMainForm::FilePrint() {
    if (!closed_) dialogs_->Print();
}

void TMainForm::FilePrintSetup() {
    if (!closed_) dialogs_->PrintSetup();
}

void TMainForm::FileBackups() {
    if (closed_ || !core_) return;
    const std::string dir = core_->Transfer().BackupDir();
    const std::vector<features::TBackupEntry> list = features::ListBackups(dir);
    if (list.empty()) {
        ShowMessage(
            QStringLiteral("Backups"),
            QStringLiteral("No backups in %1 yet: one is kept there before every write to a board.")
                .arg(Q(dir.empty() ? std::string("(no data folder)") : dir)));
        return;
    }
    const int pick = dialogs_->ChooseBackup(list);
    if (pick < 0 || pick >= static_cast<int>(list.size())) return;
    if (!ConfirmDiscardEdits()) return;
    const features::TBackupEntry& e = list[static_cast<std::size_t>(pick)];
    const config::TFileResult r = features::RestoreBackup(e.path, core_->Record());
    if (!r) {
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("The backup could not be restored:\n%1").arg(Q(r.message)));
        return;
    }
    std::array<std::uint8_t, config::kImageSize> exact{};
    if (features::LoadBackupImage(e.path, exact, nullptr))
        restoredImage_ = exact;
    else
        restoredImage_.reset();
    ShowConfig();
    // Restored, not yet on any board: the technician writes it next.
    TshWelderCfg->MarkAllEdited();
    PgcMain->setCurrentWidget(TshWelderCfg);
    ShowMessage(QStringLiteral("Backups"),
                QStringLiteral(
                    "The configuration board %1 held at %2 is on the pages. Write it to the board "
                    "to undo that write.")
                    .arg(Q(e.serial), Q(e.timeText)));
}

}  // namespace orvan::app
