// "Welder Tuning": diagnosis, tunings and the tuning log are operations of
// the core (the runs report to the page as well); the currents' reads and
// writes are plain calls of the power procedures. A kept maximum current
// changes the record: the other pages hear it through the pages' signals.

#include <QLineEdit>
#include <QPushButton>

#include "app/PageWirings.h"
#include "app/QtText.h"
#include "config/AtomicFile.h"
#include "features/BoardOperations.h"
#include "pages/PageWelderTuning.h"

namespace orvan::app {

namespace {

const QString kAttention = QStringLiteral("Attenzione!");
const QString kTuningCaption = QStringLiteral("Welder Tuning");

class TWelderTuningWiring : public TPageWiring {
  public:
    TWelderTuningWiring(pages::TPageWelderTuning& page, IPageContext& c)
        : page_(page), c_(c), attached_(*c.Core(), page), starts_(*c.Core()) {
        using features::TProcedure;
        starts_.Add("Tuning log read", page.cmdTuningLog);
        page.SetDecimalSeparator(c.Decimal());
        const auto click = [this](QPushButton* b, auto&& act) {
            connect(b, &QPushButton::clicked, this, [this, act] {
                if (features::TSupervisorCore* core = c_.Core()) act(*core);
            });
        };
        click(page.btnPwDiagnosis,
              [this](features::TSupervisorCore&) { Procedure(TProcedure::MeterDiagnosis); });
        click(page.btnPwDiagnosisPD,
              [this](features::TSupervisorCore&) { Procedure(TProcedure::PdDiagnosis); });
        click(page.cmdPwFactoryTuing, [this](features::TSupervisorCore&) { FactoryTuning(); });
        click(page.btnPwSecondaryTuning,
              [this](features::TSupervisorCore&) { Procedure(TProcedure::SecondaryTuning); });
        click(page.btnReadImax,
              [this](features::TSupervisorCore& core) { Sent(core.Procedures().ReadImax()); });
        click(page.btnWriteImax, [this](features::TSupervisorCore&) { WriteImax(false); });
        click(page.btnImaxEEPROM, [this](features::TSupervisorCore&) { WriteImax(true); });
        click(page.btnCurrentInfo, [this](features::TSupervisorCore& core) {
            Sent(core.Procedures().ReadCurrentInfo());
        });
        click(page.btnReadIAdj,
              [this](features::TSupervisorCore& core) { Sent(core.Procedures().ReadIAdj()); });
        click(page.btnWriteIAdj, [this](features::TSupervisorCore&) { WriteIAdj(false); });
        click(page.btnWrIAdjEEPEOM, [this](features::TSupervisorCore&) { WriteIAdj(true); });
        click(page.cmdTuningLog, [this](features::TSupervisorCore& core) {
            c_.Run(features::TuningLogReadOperation(core, {}), TTold::QuietWhenDone);
        });
        click(page.btnSaveTuningLog, [this](features::TSupervisorCore&) { SaveTuningLog(); });
        click(page.btnSavePointsCsv, [this](features::TSupervisorCore&) { SavePointsCsv(); });
        connect(&c.Signals(), &TPageSignals::RecordShown, this, [this] {
            if (features::TSupervisorCore* core = c_.Core())
                page_.ShowFactoryTuningImax(core->Record().GetMaxPowerValue(), c_.Decimal());
        });
    }

  private:
    void Procedure(features::TProcedure procedure, bool confirmed = false) {
        if (features::TSupervisorCore* core = c_.Core())
            c_.Run(features::ProcedureOperation(*core, {procedure, confirmed}));
    }

    void FactoryTuning() {
        if (!c_.Dialogs().Question(
                QStringLiteral("Factory autotuning"),
                QString::fromUtf8(
                    "!!! Attenzione !!!\nIl risultato di questo comando modificherà l'area di "
                    "configurazione!\nAl termine dell'esecuzione è consigliabile rileggere la "
                    "configurazione e \nverificare la potenza massima con uno strumento!!")))
            return;
        // Asked here in the technicians' own words: the core need not ask again.
        Procedure(features::TProcedure::FactoryTuning, true);
    }

    void Sent(const commands::SendResult& r) { c_.Tell(r); }

    void WriteImax(bool store) {
        features::TSupervisorCore* core = c_.Core();
        if (!core) return;
        const char decimal = c_.Decimal();
        std::string shown;
        const auto r = core->Procedures().WriteImax(page_.edtImax->text().toStdString(), decimal,
                                                    store, &shown);
        if (!r) {
            c_.Dialogs().Message(core->Document().Loaded() ? kTuningCaption : kAttention, Q(r.why));
            return;
        }
        if (!store) {
            QString text = Q(shown);
            if (decimal != '.') text.replace(QLatin1Char('.'), QLatin1Char(decimal));
            page_.edtImax->setText(text);
        }
        emit c_.Signals().RecordValuesChanged();
    }

    void WriteIAdj(bool store) {
        features::TSupervisorCore* core = c_.Core();
        if (!core) return;
        const auto r =
            core->Procedures().WriteIAdj(page_.edtIAdj->text().toStdString(), c_.Decimal(), store);
        if (!r) c_.Dialogs().Message(kTuningCaption, Q(r.why));
    }

    void SaveTuningLog() {
        features::TSupervisorCore* core = c_.Core();
        if (!core) return;
        // Nothing read yet, or nothing trustworthy: the core says so before
        // any file dialog (it refuses before it looks at the file named).
        const features::TWelderData& data = core->TuningLog().welderData;
        if (!data.Decoded() || data.validCopy == 0) {
            c_.Run(features::TuningLogSaveOperation(*core, {"tuning.log", false, false}));
            return;
        }
        TFileRequest req;
        req.save = true;
        req.caption = QStringLiteral("Save tuning log");
        req.filters = {QStringLiteral("File configurazione (*.wcf)"),
                       QStringLiteral("File log (*.log)")};
        req.filterIndex = 2;
        req.defaultSuffix = QStringLiteral("log");
        const std::optional<TOutputChoice> choice =
            c_.ChooseOutput(req, features::TFileKind::TuningLog);
        core = c_.Core();
        if (!choice || !core) return;
        c_.Run(
            features::TuningLogSaveOperation(*core, {choice->path, true, choice->replaceOtherKind}),
            TTold::QuietWhenDone);
    }

    void SavePointsCsv() {
        if (page_.ChartPoints().empty()) return;
        TFileRequest req;
        req.save = true;
        req.caption = QStringLiteral("Save the run's points");
        req.filters = {QStringLiteral("CSV (*.csv)")};
        req.defaultSuffix = QStringLiteral("csv");
        const std::optional<TFileChoice> choice = c_.Dialogs().ChooseFile(req);
        if (!choice || choice->path.isEmpty()) return;
        const std::string text =
            features::PowerPointsCsv(page_.ChartProcedure(), page_.ChartPoints());
        if (const config::SaveResult r =
                config::SaveFileAtomically(choice->path.toStdString(), text);
            !r)
            c_.Dialogs().Message(
                req.caption, QStringLiteral("The points could not be saved:\n%1").arg(Q(r.why)));
    }

    pages::TPageWelderTuning& page_;
    IPageContext& c_;
    features::TAttachment<pages::TPageWelderTuning> attached_;
    TStartControls starts_;
};

}  // namespace

std::unique_ptr<TPageWiring> WireWelderTuningPage(pages::TPageWelderTuning& page, IPageContext& c) {
    return std::make_unique<TWelderTuningWiring>(page, c);
}

}  // namespace orvan::app
