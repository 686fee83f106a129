#include "features/PowerProcedures.h"

#include <cmath>

#include "commands/Builders.h"
#include "features/TypedInput.h"
#include "link/ExchangeCycle.h"
#include "link/NumberText.h"

namespace orvan::features {

using namespace commands;

namespace {

constexpr std::uint16_t kAnalogStatus = 0x0201;
// The board counts four diagnosis steps; a status reporting more is taken as
// four, so no step beyond the last power read is ever asked for.
constexpr int kDiagnosisSteps = 4;

const char* const kNoConfig = "Leggere la configurazione prima di eseguire questa operazione";

}  // namespace

std::string StartAnswerRefusal(std::uint8_t type, std::uint8_t s) {
    const bool meter = type == kStartPowerDiagnosis || type == kStartFactoryTuning ||
                       type == kStartSecondaryTuning;
    if (meter && (s & 0x02)) return "Power meter not present";
    if (meter && (s & 0x04)) return "Power meter high temperature";
    if (s & 0x08) return "Permission denied - Anomaly";
    if (s & 0x10) return "Permission denied - Welding in course";
    if (type == kStartFactoryTuning && (s & 0x80)) return "Permission denied - Security code error";
    if (type == kStartSecondaryTuning && (s & 0x20))
        return "Permission denied - Diagnosis not performed";
    return {};
}

const char* ProcedureText(TProcedure p) {
    switch (p) {
        case TProcedure::MeterDiagnosis:
            return "power diagnosis (power meter)";
        case TProcedure::PdDiagnosis:
            return "power diagnosis (photodiode)";
        case TProcedure::FactoryTuning:
            return "factory tuning";
        case TProcedure::SecondaryTuning:
            return "secondary tuning";
        case TProcedure::None:
            break;
    }
    return "no procedure";
}

std::optional<double> DiagnosisError(double measured, double expected) {
    if (!(expected > 0)) return std::nullopt;
    return std::round((measured - expected) / (expected * 0.01) * 100.0) / 100.0;
}

std::string PowerPointsCsv(TProcedure p, const std::vector<TPowerPoint>& points) {
    std::string s = "# ";
    s += ProcedureText(p);
    s += "; tolerance +/-" + link::NumberText(kPowerTolerancePercent) + " %\n";
    s += "step;expected W;measured W;error %;within tolerance\n";
    for (const TPowerPoint& q : points) {
        s += std::to_string(q.step) + ';' + link::RoundedText(q.expected, 2) + ';' +
             link::RoundedText(q.measured, 2) + ';' +
             (q.errorPercent ? link::RoundedText(*q.errorPercent, 2) : std::string()) + ';' +
             (q.errorPercent ? (q.WithinTolerance() ? "yes" : "no") : "") + '\n';
    }
    return s;
}

static std::uint8_t StartType(TProcedure p) {
    switch (p) {
        case TProcedure::MeterDiagnosis:
            return kStartPowerDiagnosis;
        case TProcedure::PdDiagnosis:
            return kStartPdDiagnosis;
        case TProcedure::FactoryTuning:
            return kStartFactoryTuning;
        case TProcedure::SecondaryTuning:
            return kStartSecondaryTuning;
        case TProcedure::None:
            break;
    }
    return 0;
}

TResult TPowerProcedures::Start(TProcedure p) {
    if (p == TProcedure::None) return TResult::Fail("no procedure to start");
    if (following_ != TProcedure::None)
        return TResult::Fail(std::string("The ") + ProcedureText(following_) +
                             " is still running; wait for it to end");
    const bool diagnosis = p == TProcedure::MeterDiagnosis || p == TProcedure::PdDiagnosis;
    points.clear();
    if (diagnosis) {
        const double pcfg = Pcfg();
        views_.Notify(&IPowerProcedureView::OnDiagnosisStarted, pcfg,
                      std::array<double, 4>{pcfg * 0.25, pcfg * 0.5, pcfg * 0.75, pcfg});
        diagStepsRead = 0;
        stepsPending_ = 0;
    } else {
        Show(link::NumberText(Pcfg()) + " W");
        tuningReads_ = 0;
    }
    if (const SendResult r = SendStartCommand(session_.Protocol(), StartType(p)); !r)
        return TResult::Fail(r.why);
    following_ = p;
    lastRun_ = p;
    lineStopped_ = false;
    refused_ = false;
    return TResult::Ok();
}

void TPowerProcedures::Show(const std::string& text) {
    stxPMView = text;
    views_.Notify(&IPowerProcedureView::OnProcedureText, text);
}

void TPowerProcedures::Queue(std::uint16_t code) {
    if (const SendResult r = SendReadVariable(session_.Protocol(), code); !r && Following())
        Finish(false, stxPMView, "the next status read could not be queued: " + r.why);
}

void TPowerProcedures::Finish(bool completed, const std::string& text, const std::string& why) {
    TProcedureOutcome o;
    o.procedure = following_;
    o.text = text;
    o.outcome = completed ? TSequenceOutcome::Completed()
                          : TSequenceOutcome::Stopped(ProcedureText(following_), why);
    following_ = TProcedure::None;
    Show(text);
    views_.Notify(&IPowerProcedureView::OnProcedureFinished, o);
}

void TPowerProcedures::OnStartAnswer(std::uint8_t type, std::uint8_t status) {
    std::string text = StartAnswerRefusal(type, status);
    procedureType = type;
    procedureStarted = text.empty();
    const bool diagnosis = type == kStartPowerDiagnosis || type == kStartPdDiagnosis;
    if (procedureStarted) {
        text = "Executing...";
        stxPMView = text;
        // Followed only when this program started it.
        if (following_ != TProcedure::None && StartType(following_) == type)
            Queue(diagnosis ? DiagnosisStatus : TuningStatus);
    }
    views_.Notify(&IPowerProcedureView::OnProcedureAnswer, type, status, text, procedureStarted);
    if (!procedureStarted) {
        stxPMView = text;
        if (following_ != TProcedure::None && StartType(following_) == type)
            Finish(false, text, "the board refused to start: " + text);
    }
}

void TPowerProcedures::OnDiagnosisStatus(std::uint8_t s) {
    const bool ours =
        following_ == TProcedure::MeterDiagnosis || following_ == TProcedure::PdDiagnosis;
    if (s & 0x20) {
        if (ours)
            Finish(false, "Diagnosis interrupted by anomaly", "interrupted by an anomaly");
        else
            Show("Diagnosis interrupted by anomaly");
        return;
    }
    const int done = std::min<int>(s & 0x0F, kDiagnosisSteps);
    // A status read of someone else's (a plain read of the variable) is
    // shown, never followed: following it would ask again and again.
    if (!ours) {
        if (!(s & 0x10) && done != 0) Show("Diagnosis terminated");
        return;
    }
    bool asked = false;
    if (diagStepsRead < done) {
        ++diagStepsRead;
        ++stepsPending_;
        Queue(static_cast<std::uint16_t>(DiagnosisStatus + diagStepsRead));
        asked = true;
    }
    if (s & 0x10) {
        Queue(DiagnosisStatus);
    } else if (done != 0) {
        // Ended by the board; a step power still asked for comes first, and
        // its answer asks for the status again.
        if (!asked && stepsPending_ == 0) Finish(true, "Diagnosis terminated");
    } else {
        Queue(DiagnosisStatus);
    }
}

void TPowerProcedures::OnDiagnosisPower(int step, std::uint16_t raw) {
    if (step < 1 || step > kDiagnosisSteps) return;
    if (stepsPending_ > 0) --stepsPending_;
    TPowerPoint q;
    q.step = step;
    q.expected = Pcfg() * 0.25 * step;
    q.measured = raw / 100.0;
    q.errorPercent = DiagnosisError(q.measured, q.expected);
    // With no power expected there is no error to tell, and the run goes on.
    q.errorText = q.errorPercent ? link::NumberText(*q.errorPercent) : "---";
    points.push_back(q);
    views_.Notify(&IPowerProcedureView::OnPowerPoint, lastRun_, q);
    if (following_ == TProcedure::MeterDiagnosis || following_ == TProcedure::PdDiagnosis)
        Queue(DiagnosisStatus);
}

void TPowerProcedures::OnTuningStatus(std::uint8_t s) {
    tuningRunning = (s & 0x01) != 0;
    tuningAnomaly = (s & 0x04) != 0;
    tuningCurrentLimited = (s & 0x08) != 0;
    const bool ours =
        following_ == TProcedure::FactoryTuning || following_ == TProcedure::SecondaryTuning;
    if (!ours) return;
    if (tuningRunning) {
        ++tuningReads_;
        Queue(TuningStatus);
        Queue(kAnalogStatus);
        return;
    }
    if (tuningAnomaly) {
        Finish(false, "Tuning interrupted by anomaly!", "interrupted by an anomaly");
        return;
    }
    // The new tuning log is read back at once; a chain running now (a
    // configuration read, a dump) is waited for rather than taken over.
    logs_.RequestTuningLogRead();
    Finish(true, tuningCurrentLimited ? "Terminated - Current limited!!!" : "Terminated");
}

void TPowerProcedures::OnAnalogStatus(const std::array<std::uint16_t, 6>& channels) {
    if (following_ != TProcedure::FactoryTuning && following_ != TProcedure::SecondaryTuning)
        return;
    bool ok = false;
    const double w = record_.PowerMeterFromReading(channels[1], &ok);
    if (!ok) return;
    TPowerPoint q;
    q.step = tuningReads_;
    q.expected = Pcfg();
    q.measured = w;
    q.errorPercent = DiagnosisError(q.measured, q.expected);
    q.errorText = q.errorPercent ? link::NumberText(*q.errorPercent) : "---";
    points.push_back(q);
    views_.Notify(&IPowerProcedureView::OnPowerPoint, following_, q);
    Show("Running... " + link::RoundedText(w, 2) + " W / " + link::NumberText(Pcfg()) + "W");
}

void TPowerProcedures::OnVariable(const DecodedVariable& v) {
    switch (v.code) {
        case Imax:
        case IAdj:
        case ImaxByTime:
        case IDiodeEndLife:
        case IMaxLow:
            for (const DecodedField& f : v.fields)
                views_.Notify(&IPowerProcedureView::OnCurrentValue, f.field, f.value);
            break;
        default:
            break;
    }
}

void TPowerProcedures::OnLinkState(std::string_view text) {
    if (text == link::kLinkNack) refused_ = true;
}

void TPowerProcedures::StopFollowing() {
    following_ = TProcedure::None;
}

void TPowerProcedures::NoteTick(bool idle) {
    // A run always has its next read queued or in flight; an idle line
    // while one is followed means a refusal, a time-out or a request that
    // could not be queued ended it.
    if (!idle || following_ == TProcedure::None) return;
    const std::string why = lineStopped_ ? std::string(link::kLinkTimeout)
                            : refused_   ? std::string("the board refused a request of the run")
                                         : std::string("its next status read was never sent");
    Finish(false, stxPMView, why);
}

TResult TPowerProcedures::ReadImax() {
    return SendReadVariable(session_.Protocol(), Imax);
}

TResult TPowerProcedures::WriteImax(const std::string& typed, char decimal, bool store,
                                    std::string* shown) {
    if (!session_.configLoaded) return TResult::Fail(kNoConfig);
    double a = 0;
    if (!ParseTypedDecimal(typed, decimal, a))
        return TResult::Fail("'" + typed + "' is not a valid floating point value");
    if (a < 0) return TResult::Fail("I max cannot be negative; nothing sent");
    // Kept as the current of point 5 of the power/current table, limited to
    // the maximum diode current, so the next configuration write keeps it.
    if (const config::TSetResult r = record_.SetWATableAValue(5, a); !r.ok())
        return TResult::Fail("I max: " + r.why + "; nothing sent");
    const double kept = record_.GetWATableAValue(5);
    if (shown) *shown = link::RoundedText(kept, 2);
    return SendWriteVariable(session_.Protocol(), store ? ImaxStore : Imax, {kept});
}

TResult TPowerProcedures::ReadIAdj() {
    return SendReadVariable(session_.Protocol(), IAdj);
}

TResult TPowerProcedures::WriteIAdj(const std::string& typed, char decimal, bool store) {
    double v = 0;
    if (!ParseTypedDecimal(typed, decimal, v))
        return TResult::Fail("'" + typed + "' is not a valid floating point value");
    return SendWriteVariable(session_.Protocol(), store ? IAdjStore : IAdj, {v});
}

TResult TPowerProcedures::ReadCurrentInfo() {
    for (const std::uint16_t code : {ImaxByTime, IDiodeEndLife, IMaxLow})
        if (const SendResult r = SendReadVariable(session_.Protocol(), code); !r) return r;
    return TResult::Ok();
}

}  // namespace orvan::features
