// The window's configuration commands: write, read and verify against the
// board (run by the transfer controller), the ".wcf" files, and the backups
// kept before every write.

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/MainForm.h"
#include "features/FileKindGuard.h"
#include "pages/PageWelderCfg.h"

#ifdef ORVAN_HAVE_PRINT
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#endif

namespace orvan::app {

namespace {

using features::TTransferOp;
using features::TTransferPhase;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

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

std::vector<std::array<QString, 3>> TMainForm::DifferenceRows(
    const std::vector<features::TFieldDifference>& differences) {
    std::vector<std::array<QString, 3>> rows;
    for (const features::TFieldDifference& d : differences) {
        // "PMCoeff_q: PC -5 (-50 x10), board -10 (-100 x10)" split in its two values.
        const std::string text = features::DifferenceText(d);
        const std::string pcTag = ": PC ", boardTag = ", board ";
        const std::size_t p = text.find(pcTag);
        const std::size_t b = text.rfind(boardTag);
        if (p == std::string::npos || b == std::string::npos || b < p) {
            rows.push_back({Q(d.key), QString::number(d.pcRaw), QString::number(d.boardRaw)});
            continue;
        }
        rows.push_back({Q(d.key), Q(text.substr(p + pcTag.size(), b - p - pcTag.size())),
                        Q(text.substr(b + boardTag.size()))});
    }
    return rows;
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
                ShowDifferences(o.differences);
                return;
            }
            ShowMessage(caption, text);
            return;
    }
}

void TMainForm::ShowDifferences(const std::vector<features::TFieldDifference>& differences) {
    if (DifferencesHook) {
        DifferencesHook(differences);
        return;
    }
    QDialog dlg(this);
    dlg.setWindowTitle(OpCaption(TTransferOp::Verify));
    auto* column = new QVBoxLayout(&dlg);
    column->addWidget(new QLabel(
        QStringLiteral("%1 field(s) differ between the PC and the board:").arg(differences.size()),
        &dlg));
    const auto rows = DifferenceRows(differences);
    auto* grid = new QTableWidget(static_cast<int>(rows.size()), 3, &dlg);
    grid->setHorizontalHeaderLabels(
        {QStringLiteral("Field"), QStringLiteral("PC"), QStringLiteral("Board")});
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 3; ++c)
            grid->setItem(static_cast<int>(r), c,
                          new QTableWidgetItem(rows[r][static_cast<std::size_t>(c)]));
    grid->resizeColumnsToContents();
    grid->horizontalHeader()->setStretchLastSection(true);
    column->addWidget(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dlg);
    connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    column->addWidget(buttons);
    dlg.resize(560, 420);
    dlg.exec();
}

void TMainForm::ConfigDownloadClick() {
    if (closed_ || !core_) return;
    if (core_->Transfer().Busy()) {
        ShowMessage(
            OpCaption(TTransferOp::Write),
            QStringLiteral("A configuration transfer is already running; wait for it to end."));
        return;
    }
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
    if (closed_ || !core_) return;
    if (core_->Transfer().Busy()) {
        ShowMessage(
            OpCaption(TTransferOp::Read),
            QStringLiteral("A configuration transfer is already running; wait for it to end."));
        return;
    }
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
    if (core_->Transfer().Busy()) {
        ShowMessage(
            OpCaption(TTransferOp::Verify),
            QStringLiteral("A configuration transfer is already running; wait for it to end."));
        return;
    }
    // What the pages show is compared; comparing writes nothing, so the
    // edits stay marked.
    if (!ReadPagesIntoConfig(true)) return;
    StartTransfer(TTransferOp::Verify);
}

std::optional<TFileChoice> TMainForm::ChooseFile(const TFileRequest& request) {
    if (FileDialogHook) return FileDialogHook(request);
    QFileDialog dlg(this, request.caption);
    dlg.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setNameFilters(request.filters);
    if (request.filterIndex >= 1 && request.filterIndex <= request.filters.size())
        dlg.selectNameFilter(request.filters[request.filterIndex - 1]);
    dlg.setDefaultSuffix(request.defaultSuffix);
    if (request.save) {
        // A name typed without an extension takes the chosen filter's.
        connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& filter) {
            dlg.setDefaultSuffix(filter.contains(QStringLiteral("*.log")) ? QStringLiteral("log")
                                                                          : QStringLiteral("wcf"));
        });
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    TFileChoice c;
    c.path = dlg.selectedFiles().front();
    c.filterIndex = static_cast<int>(request.filters.indexOf(dlg.selectedNameFilter())) + 1;
    return c;
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
    const std::optional<TFileChoice> c = ChooseFile(req);
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
    const std::optional<TFileChoice> c = ChooseFile(req);
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
#ifdef ORVAN_HAVE_PRINT
    if (closed_) return;
    QPrinter printer;
    QPrintDialog dlg(&printer, this);
    dlg.exec();
#endif
}

void TMainForm::FilePrintSetup() {
#ifdef ORVAN_HAVE_PRINT
    if (closed_) return;
    QPrinter printer;
    QPageSetupDialog dlg(&printer, this);
    dlg.exec();
#endif
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
    int pick = -1;
    if (BackupChoiceHook) {
        pick = BackupChoiceHook(list);
    } else {
        QDialog dlg(this);
        dlg.setWindowTitle(QStringLiteral("Backups"));
        auto* column = new QVBoxLayout(&dlg);
        column->addWidget(
            new QLabel(QStringLiteral("What each board held before a write, newest first:"), &dlg));
        auto* grid = new QTableWidget(static_cast<int>(list.size()), 3, &dlg);
        grid->setHorizontalHeaderLabels(
            {QStringLiteral("Serial"), QStringLiteral("Time"), QStringLiteral("File")});
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        grid->verticalHeader()->hide();
        for (std::size_t r = 0; r < list.size(); ++r) {
            const int row = static_cast<int>(r);
            grid->setItem(row, 0, new QTableWidgetItem(Q(list[r].serial)));
            grid->setItem(row, 1, new QTableWidgetItem(Q(list[r].timeText)));
            grid->setItem(row, 2, new QTableWidgetItem(Q(list[r].path)));
        }
        grid->selectRow(0);
        grid->resizeColumnsToContents();
        grid->horizontalHeader()->setStretchLastSection(true);
        column->addWidget(grid);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
        buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Restore"));
        connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
        connect(grid, &QTableWidget::cellDoubleClicked, &dlg, &QDialog::accept);
        column->addWidget(buttons);
        dlg.resize(720, 360);
        if (dlg.exec() == QDialog::Accepted) pick = grid->currentRow();
    }
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
