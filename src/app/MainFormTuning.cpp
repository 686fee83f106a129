// "Welder Tuning": the slots read the page's controls, call the power
// procedures or the tuning log, and say why nothing was sent when they
// refuse. The runs themselves report to the page.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "config/AtomicFile.h"
#include "features/FileKindGuard.h"
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
    core_->Procedures().Views().Add(*t);
    core_->TuningLog().Views().Add(*t);
    core_->TuningLog().Views().Add(*this);
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

void TMainForm::btnPwDiagnosisClick() {
    if (!core_) return;
    if (const auto r = core_->Procedures().Start(features::TProcedure::MeterDiagnosis); !r)
        ShowMessage(kTuningCaption, Q(r.why));
}

void TMainForm::btnPwDiagnosisPDClick() {
    if (!core_) return;
    if (const auto r = core_->Procedures().Start(features::TProcedure::PdDiagnosis); !r)
        ShowMessage(kTuningCaption, Q(r.why));
}

void TMainForm::cmdPwFactoryTuingClick() {
    if (!core_) return;
    if (!Confirm(QStringLiteral("Factory autotuning"),
                 QString::fromUtf8(
                     "!!! Attenzione !!!\nIl risultato di questo comando modificherà l'area di "
                     "configurazione!\nAl termine dell'esecuzione è consigliabile rileggere la "
                     "configurazione e \nverificare la potenza massima con uno strumento!!")))
        return;
    if (const auto r = core_->Procedures().Start(features::TProcedure::FactoryTuning); !r)
        ShowMessage(kTuningCaption, Q(r.why));
}

void TMainForm::btnPwSecondaryTuningClick() {
    if (!core_) return;
    if (const auto r = core_->Procedures().Start(features::TProcedure::SecondaryTuning); !r)
        ShowMessage(kTuningCaption, Q(r.why));
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
        ShowMessage(core_->Session().configLoaded ? kTuningCaption : kAttention, Q(r.why));
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
    if (!core_) return;
    if (const auto r = core_->TuningLog().Read(); !r)
        ShowMessage(core_->Session().configLoaded ? kTuningCaption : kAttention, Q(r.why));
}

void TMainForm::btnSaveTuningLogClick() {
    if (!core_) return;
    const features::TWelderData& data = core_->TuningLog().welderData;
    if (!data.Decoded() || data.validCopy == 0) {
        ShowMessage(kAttention, Q(core_->TuningLog().Save(std::string()).why));
        return;
    }
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Save tuning log");
    req.filters = {QStringLiteral("File configurazione (*.wcf)"),
                   QStringLiteral("File log (*.log)")};
    req.filterIndex = 2;
    req.defaultSuffix = QStringLiteral("log");
    const std::optional<TFileChoice> c = dialogs_->ChooseFile(req);
    if (!c || c->path.isEmpty()) return;
    const features::TSaveCheck check =
        features::CheckSave(c->path.toStdString(), features::TFileKind::TuningLog);
    if (check.refuse) {
        ShowMessage(kAttention, Q(check.message));
        return;
    }
    if (check.ask && !Confirm(kAttention, Q(check.message))) return;
    if (const auto r = core_->TuningLog().Save(check.target); !r)
        ShowMessage(kAttention, QStringLiteral("The tuning log could not be saved to %1:\n%2")
                                    .arg(Q(check.target), Q(r.why)));
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
                    QStringLiteral("The points could not be saved:\n%1").arg(Q(r.error)));
}

void TMainForm::OnTuningLogShown(const features::TTuningLogShown& shown) {
    if (!shown.outcome.completed) return;
    TshWelderCfg->SetWATableStruck(!shown.entries.empty());
    TshWelderCfg->memTableWA->setVisible(shown.hasTable);
}

}  // namespace orvan::app
