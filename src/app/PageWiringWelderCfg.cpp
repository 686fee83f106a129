// "Welder CFG": the calibration buttons read their controls, call the
// calibration controller and tell why nothing changed when it refused; the
// page shows what the core hands it (the calibrated fields, marked as not
// yet written). What other pages change in the record (a current kept on
// "Welder Tuning", the currents a tuning replaced) reaches this page through
// the core's news and the pages' signals.

#include <QPlainTextEdit>
#include <QPushButton>

#include "app/PageWirings.h"
#include "app/QtText.h"
#include "features/TuningLog.h"
#include "pages/NumberText.h"
#include "pages/PageWelderCfg.h"

namespace orvan::app {

namespace {

using features::TFeedbackLine;

class TWelderCfgWiring : public TPageWiring, public features::ITuningLogView {
  public:
    TWelderCfgWiring(pages::TPageWelderCfg& page, IPageContext& c)
        : page_(page), c_(c), pageAttached_(*c.Core(), page), attached_(*c.Core(), *this) {
        features::TSupervisorCore& core = *c.Core();
        page.SetDecimalSeparator(c.Decimal());
        core.Calibration().decimalSeparator = c.Decimal();
        page.SetCalibrationRecord(&core.Record());
        for (int k = 0; k < 6; ++k) {
            const auto i = static_cast<std::size_t>(k);
            connect(page.btnGetGainAdj[i], &QPushButton::clicked, this, [this, k] {
                features::TSupervisorCore* co = c_.Core();
                if (!co) return;
                features::TGainReading reading;
                const TResult r =
                    co->Calibration().GetGain(k, page_.GainVinText(k).toStdString(), reading);
                if (r)
                    page_.ShowGainReading(k, reading);
                else
                    Refused(r);
            });
            connect(page.btnADGain2Table[i], &QPushButton::clicked, this, [this, k] {
                if (features::TSupervisorCore* co = c_.Core())
                    Refused(co->Calibration().CopyGain(k, page_.GainFactorText(k).toStdString()));
            });
        }
        const std::pair<QPushButton*, std::pair<TFeedbackLine, bool>> volts[] = {
            {page.btnGetPMVmin, {TFeedbackLine::PowerMeter, false}},
            {page.btnGetPMVmax, {TFeedbackLine::PowerMeter, true}},
            {page.btnGetIalimVmin, {TFeedbackLine::SupplyCurrent, false}},
            {page.btnGetIalimVmax, {TFeedbackLine::SupplyCurrent, true}},
        };
        for (const auto& entry : volts) {
            const auto which = entry.second;
            connect(entry.first, &QPushButton::clicked, this,
                    [this, which] { Volts(which.first, which.second); });
        }
        connect(page.btnPMGenCoeff, &QPushButton::clicked, this,
                [this] { Fit(TFeedbackLine::PowerMeter); });
        connect(page.btnIAlimCoeff, &QPushButton::clicked, this,
                [this] { Fit(TFeedbackLine::SupplyCurrent); });
        for (int k = 0; k < 10; ++k) {
            connect(page.btnGetPD[static_cast<std::size_t>(k)], &QPushButton::clicked, this,
                    [this, k] {
                        double v = 0;
                        if (features::TSupervisorCore* co = c_.Core())
                            Refused(co->Calibration().CapturePhotodiodePoint(k, v));
                    });
        }
        connect(page.btnTempGenCoeff, &QPushButton::clicked, this, [this] {
            if (features::TSupervisorCore* co = c_.Core())
                Refused(co->Calibration().SetTemperatureCoefficients());
        });
        // The power/current table shows the kept maximum current, so the
        // next configuration write does not put the old one back.
        connect(&c.Signals(), &TPageSignals::RecordValuesChanged, this, [this] {
            if (features::TSupervisorCore* co = c_.Core())
                pages::TPageWelderCfg::SetCell(
                    page_.stgWATable, 1, 6,
                    Q(pages::FormatReal(co->Record().GetWATableAValue(5), c_.Decimal())));
        });
        connect(&c.Signals(), &TPageSignals::RecordShown, this, [this] {
            if (features::TSupervisorCore* co = c_.Core()) page_.ShowConfig(co->Record());
        });
        page.SetUpPages();
    }

  private:
    // The configuration page marks the currents a tuning replaced.
    void OnTuningLogShown(const features::TTuningLogShown& shown) override {
        if (!shown.outcome.completed) return;
        page_.SetWATableStruck(!shown.entries.empty());
        page_.memTableWA->setVisible(shown.hasTable);
    }

    void Volts(TFeedbackLine line, bool maximum) {
        features::TSupervisorCore* co = c_.Core();
        if (!co) return;
        double v = 0;
        std::string text;
        const TResult r = co->Calibration().CaptureLineVolts(line, v, text);
        if (r)
            page_.SetLineVolts(line, maximum, Q(text));
        else
            Refused(r);
    }
    void Fit(TFeedbackLine line) {
        features::TSupervisorCore* co = c_.Core();
        if (!co) return;
        features::TLineFit f;
        const TResult r = co->Calibration().FitLine(line, page_.LineFitTexts(line), f);
        if (r && line == TFeedbackLine::PowerMeter) page_.ShowPowerMeterFit(f);
        Refused(r);
    }
    void Refused(const TResult& r) {
        if (!r) c_.Dialogs().Message(QStringLiteral("Attenzione!"), Q(r.why));
    }

    pages::TPageWelderCfg& page_;
    IPageContext& c_;
    features::TAttachment<pages::TPageWelderCfg> pageAttached_;
    features::TAttachment<TWelderCfgWiring> attached_;
};

}  // namespace

std::unique_ptr<TPageWiring> WireWelderCfgPage(pages::TPageWelderCfg& page, IPageContext& c) {
    return std::make_unique<TWelderCfgWiring>(page, c);
}

}  // namespace orvan::app
