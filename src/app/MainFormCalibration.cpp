// "Welder Event Log" and the calibration controls of "Welder CFG". The event
// log read is an operation of the core; the calibration buttons read their
// controls, call the calibration controller and tell why nothing changed when
// it refused. The pages show what the core hands them (the event lines; the
// calibrated fields, marked as not yet written).

#include <QPushButton>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "features/BoardOperations.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderLog.h"

namespace orvan::app {

void TMainForm::BuildLogsAndCalibration() {
    core_->EventLog().decimalSeparator = decimal_;
    // The page lists the events and says beneath them why a read stopped.
    connect(tshWelderLog->btnReadEventLog, &QPushButton::clicked, this, [this] {
        if (core_) Run(features::EventLogReadOperation(*core_), TTold::QuietWhenDone);
    });

    features::TAnalogCalibration& cal = core_->Calibration();
    cal.decimalSeparator = decimal_;
    pages::TPageWelderCfg* p = TshWelderCfg;
    p->SetCalibrationRecord(&core_->Record());
    using features::TFeedbackLine;
    for (int c = 0; c < 6; ++c) {
        connect(p->btnGetGainAdj[static_cast<std::size_t>(c)], &QPushButton::clicked, this,
                [this, c] {
                    features::TGainReading reading;
                    const TResult r = core_->Calibration().GetGain(
                        c, TshWelderCfg->GainVinText(c).toStdString(), reading);
                    if (r)
                        TshWelderCfg->ShowGainReading(c, reading);
                    else
                        CalibrationRefused(r);
                });
        connect(p->btnADGain2Table[static_cast<std::size_t>(c)], &QPushButton::clicked, this,
                [this, c] {
                    CalibrationRefused(core_->Calibration().CopyGain(
                        c, TshWelderCfg->GainFactorText(c).toStdString()));
                });
    }
    auto volts = [this](TFeedbackLine line, bool maximum) {
        double v = 0;
        std::string text;
        const TResult r = core_->Calibration().CaptureLineVolts(line, v, text);
        if (r)
            TshWelderCfg->SetLineVolts(line, maximum, Q(text));
        else
            CalibrationRefused(r);
    };
    auto fit = [this](TFeedbackLine line) {
        features::TLineFit f;
        const TResult r = core_->Calibration().FitLine(line, TshWelderCfg->LineFitTexts(line), f);
        if (r && line == TFeedbackLine::PowerMeter) TshWelderCfg->ShowPowerMeterFit(f);
        CalibrationRefused(r);
    };
    connect(p->btnGetPMVmin, &QPushButton::clicked, this,
            [volts] { volts(TFeedbackLine::PowerMeter, false); });
    connect(p->btnGetPMVmax, &QPushButton::clicked, this,
            [volts] { volts(TFeedbackLine::PowerMeter, true); });
    connect(p->btnGetIalimVmin, &QPushButton::clicked, this,
            [volts] { volts(TFeedbackLine::SupplyCurrent, false); });
    connect(p->btnGetIalimVmax, &QPushButton::clicked, this,
            [volts] { volts(TFeedbackLine::SupplyCurrent, true); });
    connect(p->btnPMGenCoeff, &QPushButton::clicked, this,
            [fit] { fit(TFeedbackLine::PowerMeter); });
    connect(p->btnIAlimCoeff, &QPushButton::clicked, this,
            [fit] { fit(TFeedbackLine::SupplyCurrent); });
    for (int k = 0; k < 10; ++k) {
        connect(p->btnGetPD[static_cast<std::size_t>(k)], &QPushButton::clicked, this, [this, k] {
            double v = 0;
            CalibrationRefused(core_->Calibration().CapturePhotodiodePoint(k, v));
        });
    }
    connect(p->btnTempGenCoeff, &QPushButton::clicked, this,
            [this] { CalibrationRefused(core_->Calibration().SetTemperatureCoefficients()); });
}

void TMainForm::CalibrationRefused(const TResult& r) {
    if (!r) ShowMessage(QStringLiteral("Attenzione!"), Q(r.why));
}

}  // namespace orvan::app
