// "Welder Tuning": diagnosis, tunings and the tuning log are operations of
// the core (the runs report to the page as well); the currents' reads and
// writes are plain calls of the power procedures.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "config/AtomicFile.h"
#include "features/BoardOperations.h"
#include "pages/NumberText.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderTuning.h"

namespace orvan::app {

namespace {

const QString kAttention = QStringLiteral("Attenzione!");
const QString kTuningCaption = QStringLiteral("Welder Tuning");

}  // namespace

void TMainForm::BuildTuning() {
    pages::TPageWelderTuning* t = tshWelderTuning;
    connect(t->btnPwDiagnosis, &QPushButton::clicked, this, &TMainForm::btnPwDiagnosisClick);
    connect(t->btnPwDiagnosisPD, &QPushButton::clicked, this, &TMainForm::btnPwDiagnosisPDClick);
    connect(t->cmdPwFactoryTuing, &QPushButton::clicked, this, &TMainForm::cmdPwFactoryTuingClick);
    connect(t->btnPwSecondaryTuning, &QPushButton::clicked, this,
            &TMainForm::btnPwSecondaryTuningClick);
    connect(t->btnReadImax, &QPushButton::clicked, this, &TMainForm::btnReadImaxClick);
    connect(t->btnWriteImax, &QPushButton::clicked, this, &TMainForm::btnWriteImaxClick);
    connect(t->btnImaxEEPROM, &QPushButton::clicked, this, &TMainForm::btnImaxEEPROMClick);
    connect(t->btnCurrentInfo, &QPushButton::clicked, this, &TMainForm::btnCurrentInfoClick);
    connect(t->btnReadIAdj, &QPushButton::clicked, this, &TMainForm::btnReadIAdjClick);
    connect(t->btnWriteIAdj, &QPushButton::clicked, this, &TMainForm::btnWriteIAdjClick);
    connect(t->btnWrIAdjEEPEOM, &QPushButton::clicked, this, &TMainForm::btnWrIAdjEEPEOMClick);
    connect(t->cmdTuningLog, &QPushButton::clicked, this, &TMainForm::cmdTuningLogClick);
    connect(t->btnSaveTuningLog, &QPushButton::clicked, this, &TMainForm::btnSaveTuningLogClick);
    connect(t->btnSavePointsCsv, &QPushButton::clicked, this, &TMainForm::btnSavePointsCsvClick);
}

void TMainForm::StartProcedure(features::TProcedure procedure, bool confirmed) {
    if (core_) Run(features::ProcedureOperation(*core_, {procedure, confirmed}));
}

void TMainForm::btnPwDiagnosisClick() {
    StartProcedure(features::TProcedure::MeterDiagnosis);
}

void TMainForm::btnPwDiagnosisPDClick() {
    StartProcedure(features::TProcedure::PdDiagnosis);
}

void TMainForm::cmdPwFactoryTuingClick() {
    if (!core_) return;
    if (!Confirm(QStringLiteral("Factory autotuning"),
                 QString::fromUtf8(
                     "!!! Attenzione !!!\nIl risultato di questo comando modificherà l'area di "
                     "configurazione!\nAl termine dell'esecuzione è consigliabile rileggere la "
                     "configurazione e \nverificare la potenza massima con uno strumento!!")))
        return;
    // Asked here in the technicians' own words: the core need not ask again.
    StartProcedure(features::TProcedure::FactoryTuning, true);
}

void TMainForm::btnPwSecondaryTuningClick() {
    StartProcedure(features::TProcedure::SecondaryTuning);
}

void TMainForm::btnReadImaxClick() {
    if (core_) SendOutcome(core_->Procedures().ReadImax());
}

void TMainForm::WriteImax(bool store) {
    if (!core_) return;
    std::string shown;
    const auto r = core_->Procedures().WriteImax(tshWelderTuning->edtImax->text().toStdString(),
                                                 decimal_, store, &shown);
    if (!r) {
        ShowMessage(ConfigLoaded() ? kTuningCaption : kAttention, Q(r.why));
        return;
    }
    if (!store) {
        QString text = Q(shown);
        if (decimal_ != '.') text.replace(QLatin1Char('.'), QLatin1Char(decimal_));
        tshWelderTuning->edtImax->setText(text);
    }
    // The power/current table on the configuration page shows the kept
    // value, so the next configuration write does not put the old one back.
    pages::TPageWelderCfg::SetCell(
        TshWelderCfg->stgWATable, 1, 6,
        Q(pages::FormatReal(core_->Record().GetWATableAValue(5), decimal_)));
}

void TMainForm::btnWriteImaxClick() {
    WriteImax(false);
}

void TMainForm::btnImaxEEPROMClick() {
    WriteImax(true);
}

void TMainForm::btnCurrentInfoClick() {
    if (core_) SendOutcome(core_->Procedures().ReadCurrentInfo());
}

void TMainForm::btnReadIAdjClick() {
    if (core_) SendOutcome(core_->Procedures().ReadIAdj());
}

void TMainForm::WriteIAdj(bool store) {
    if (!core_) return;
    const auto r = core_->Procedures().WriteIAdj(tshWelderTuning->edtIAdj->text().toStdString(),
                                                 decimal_, store);
    if (!r) ShowMessage(kTuningCaption, Q(r.why));
}

void TMainForm::btnWriteIAdjClick() {
    WriteIAdj(false);
}

void TMainForm::btnWrIAdjEEPEOMClick() {
    WriteIAdj(true);
}

void TMainForm::cmdTuningLogClick() {
    if (core_) Run(features::TuningLogReadOperation(*core_, {}), TTold::QuietWhenDone);
}

void TMainForm::btnSaveTuningLogClick() {
    if (!core_) return;
    // Nothing read yet, or nothing trustworthy: the core says so before any
    // file dialog (it refuses before it looks at the file named).
    const features::TWelderData& data = core_->TuningLog().welderData;
    if (!data.Decoded() || data.validCopy == 0) {
        Run(features::TuningLogSaveOperation(*core_, {"tuning.log", false, false}));
        return;
    }
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Save tuning log");
    req.filters = {QStringLiteral("File configurazione (*.wcf)"),
                   QStringLiteral("File log (*.log)")};
    req.filterIndex = 2;
    req.defaultSuffix = QStringLiteral("log");
    const std::optional<TOutputChoice> c = ChooseOutput(req, features::TFileKind::TuningLog);
    if (!c) return;
    Run(features::TuningLogSaveOperation(*core_, {c->path, true, c->replaceOtherKind}),
        TTold::QuietWhenDone);
}

void TMainForm::btnSavePointsCsvClick() {
    if (!core_ || tshWelderTuning->ChartPoints().empty()) return;
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Save the run's points");
    req.filters = {QStringLiteral("CSV (*.csv)")};
    req.defaultSuffix = QStringLiteral("csv");
    const std::optional<TFileChoice> c = dialogs_->ChooseFile(req);
    if (!c || c->path.isEmpty()) return;
    const std::string text =
        features::PowerPointsCsv(tshWelderTuning->ChartProcedure(), tshWelderTuning->ChartPoints());
    if (const config::SaveResult r = config::SaveFileAtomically(c->path.toStdString(), text); !r)
        ShowMessage(req.caption,
                    QStringLiteral("The points could not be saved:\n%1").arg(Q(r.why)));
}

void TMainForm::OnTuningLogShown(const features::TTuningLogShown& shown) {
    if (!shown.outcome.completed) return;
    TshWelderCfg->SetWATableStruck(!shown.entries.empty());
    TshWelderCfg->memTableWA->setVisible(shown.hasTable);
}

}  // namespace orvan::app
