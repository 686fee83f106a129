// The window's configuration commands: the pages filled from the record and
// read back into it (through the core's document), write, read and verify
// against the board and the ".wcf" saves (operations of the core), the
// files opened, and the backups kept before every write.

#include <QTabWidget>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "features/ConfigOperations.h"
#include "pages/PageWelderCfg.h"

namespace orvan::app {

namespace {

const QString kConfigFilter = QStringLiteral("File configurazione (*.wcf)");
const QString kLogFilter = QStringLiteral("File log (*.log)");
const QString kVerifyCaption = QStringLiteral("VERIFY   PC <--> Board");

}  // namespace

pages::TPageWelderCfg& TMainForm::ConfigEditor() const {
    return *FindPage<pages::TPageWelderCfg>();
}

void TMainForm::ShowConfig() {
    if (!core_) return;
    const config::TCfgWelderRW& cfg = core_->Record();
    emit pageSignals_.RecordShown();
    SetPanelText(2, QStringLiteral("Cfg V.") + QString::number(cfg.GetVersion()));
    SetPanelText(3, QStringLiteral("Cfg Size=") + QString::number(cfg.GetSize()));
}

bool TMainForm::ReadPagesIntoConfig(bool keepEditMarks) {
    if (!core_) return false;
    // The cells go into a copy; the core's document takes it whole.
    config::TCfgWelderRW edited = core_->Record();
    const pages::TWriteBackResult r = ConfigEditor().ReadPagesIntoConfig(edited, keepEditMarks);
    if (!r.ok) {
        PgcMain->setCurrentWidget(&ConfigEditor());
        ShowMessage(QString::fromLatin1(kApplicationTitle), r.why);
        return false;
    }
    core_->Document().Take(edited);
    if (!r.limited.isEmpty())
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("These values were limited to what the board can hold; the "
                                   "pages now show what is stored:\n") +
                        r.limited.join(QLatin1Char('\n')));
    return true;
}

bool TMainForm::ConfirmDiscardEdits() {
    if (!ConfigEditor().HasUnwrittenEdits()) return true;
    return Confirm(
        QStringLiteral("Attenzione!"),
        QStringLiteral("%1 edited value(s) on the \"Welder CFG\" page are not written to the board "
                       "nor saved to a file. Discard them?")
            .arg(ConfigEditor().UnwrittenEditCount()));
}

void TMainForm::StartWrite() {
    // A restored backup whose values are still those on the pages goes back
    // byte for byte (filler and layout included); anything else is built from
    // the pages.
    features::TConfigWriteRequest request;
    if (restoredImage_ && features::ImageHoldsRecord(*restoredImage_, core_->Record())) {
        request.exactImage = restoredImage_;
        request.restore = true;
    }
    Run(features::ConfigWriteOperation(*core_, std::move(request)), TTold::Box,
        [this](const features::TOperationOutcome& o) {
            if (!o.Completed()) return;
            ConfigEditor().ClearEditMarks();
            if (Confirm(kVerifyCaption,
                        QStringLiteral("Read the board back now and compare it with the "
                                       "configuration on the PC?")))
                StartVerify();
        });
}

void TMainForm::StartVerify() {
    Run(features::ConfigVerifyOperation(*core_), TTold::Box,
        [this](const features::TOperationOutcome& o) {
            if (!o.Completed() || !core_) return;
            const auto& differences = core_->Transfer().Last().differences;
            if (!differences.empty())
                dialogs_->ShowDifferences(kVerifyCaption,
                                          ConfigEditor().DifferenceRows(differences));
        });
}

void TMainForm::ConfigDownloadClick() {
    if (closed_ || !core_) return;
    // A cell that does not convert sends nothing. The marks stay until the
    // board has taken every block.
    if (!ReadPagesIntoConfig(true)) return;
    StartWrite();
}

void TMainForm::ConfigUploadClick() {
    if (closed_ || !core_) return;
    if (!ConfirmDiscardEdits()) return;
    PgcMain->setCurrentWidget(&ConfigEditor());
    Run(features::ConfigReadOperation(*core_, {}), TTold::Box,
        [this](const features::TOperationOutcome& o) {
            // The record changes only when a read completes; so do the pages.
            if (!o.Completed()) return;
            ShowConfig();
            PgcMain->setCurrentWidget(&ConfigEditor());
        });
}

void TMainForm::VerifyPCTarget1Click() {
    if (closed_ || !core_) return;
    // What the pages show is compared; comparing writes nothing, so the
    // edits stay marked. With nothing shown the core refuses the verify.
    if (ConfigLoaded() && !ReadPagesIntoConfig(true)) return;
    StartVerify();
}

void TMainForm::FileNew() {
    if (closed_ || !core_) return;
    if (!ConfirmDiscardEdits()) return;
    core_->Document().New();
    ShowConfig();
    currentFile_.clear();
    PgcMain->setCurrentWidget(&ConfigEditor());
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
    const config::TFileResult r = core_->Document().Open(c->path.toStdString());
    if (!r) {
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("The configuration could not be opened:\n%1").arg(Q(r.why)));
        return;
    }
    ShowConfig();
    currentFile_ = Q(r.path);
    PgcMain->setCurrentWidget(&ConfigEditor());
    if (!r.warnings.empty()) {
        QStringList lines;
        for (const std::string& w : r.warnings) lines << Q(w);
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("%1 was opened; these values were not taken as written:\n%2")
                        .arg(Q(r.path), lines.join(QLatin1Char('\n'))));
    }
}

bool TMainForm::SaveConfigTo(const QString& chosen, bool replaceOtherKind) {
    // Nothing is written when a cell does not convert; the marks go only
    // once the file holds the values.
    if (!ReadPagesIntoConfig(true)) return false;
    // The file always carries the version and size of the image it describes.
    config::TCfgWelderRW stamped = core_->Record();
    std::array<std::uint8_t, config::kImageSize> image{};
    config::BuildDeviceImage(stamped, image.data());
    core_->Document().Take(stamped);
    return Run(
        features::ConfigSaveOperation(*core_, {chosen.toStdString(), true, replaceOtherKind}),
        TTold::QuietWhenDone, [this](const features::TOperationOutcome& o) {
            if (!o.Completed() || !core_) return;
            ConfigEditor().ClearEditMarks();
            if (!o.files.empty()) currentFile_ = Q(o.files.front());
            // Version and size as the file now has them.
            SetPanelText(2,
                         QStringLiteral("Cfg V.") + QString::number(core_->Record().GetVersion()));
            SetPanelText(3,
                         QStringLiteral("Cfg Size=") + QString::number(core_->Record().GetSize()));
        });
}

void TMainForm::FileSaveAs() {
    if (closed_ || !core_) return;
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Save As");
    req.filters = {kConfigFilter, kLogFilter};
    req.filterIndex = 1;
    req.defaultSuffix = QStringLiteral("wcf");
    const std::optional<TOutputChoice> c = ChooseOutput(req, features::TFileKind::Configuration);
    if (!c) return;
    (void)SaveConfigTo(Q(c->path), c->replaceOtherKind);
}

void TMainForm::FileSave() {
    if (closed_ || !core_) return;
    if (currentFile_.isEmpty()) {
        FileSaveAs();
        return;
    }
    (void)SaveConfigTo(currentFile_, false);
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
    const std::string dir = core_->Operations().BackupDir();
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
    std::optional<std::array<std::uint8_t, config::kImageSize>> exact;
    const config::TFileResult r = core_->Document().OpenBackup(e.path, exact);
    if (!r) {
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("The backup could not be restored:\n%1").arg(Q(r.why)));
        return;
    }
    // Writing it next is the restore: the exact image goes back.
    restoredImage_ = exact;
    ShowConfig();
    // Restored, not yet on any board: the technician writes it next.
    ConfigEditor().MarkAllEdited();
    PgcMain->setCurrentWidget(&ConfigEditor());
    ShowMessage(QStringLiteral("Backups"),
                QStringLiteral(
                    "The configuration board %1 held at %2 is on the pages. Write it to the board "
                    "to undo that write.")
                    .arg(Q(e.serial), Q(e.timeText)));
}

}  // namespace orvan::app
