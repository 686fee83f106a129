#pragma once
// Power diagnosis and tuning: the board runs each procedure by itself; this
// controller starts it with one request, follows it with status reads until
// the board reports its end, and ends every run with one outcome. A refusal,
// a time-out or a follow-up read that was never sent ends the run as stopped,
// never as finished. It also reads and writes the maximum and adjustment
// currents of the "Welder Tuning" page.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "config/Cfgwelderrw.h"
#include "features/FeatureOutcome.h"
#include "features/WelderLogs.h"
#include "link/Result.h"

namespace orvan::features {

// The power-meter view text of a start answer; empty when the board started
// the procedure.
std::string StartAnswerRefusal(std::uint8_t type, std::uint8_t status);

enum class TProcedure : std::uint8_t {
    None,
    MeterDiagnosis,
    PdDiagnosis,
    FactoryTuning,
    SecondaryTuning
};
const char* ProcedureText(TProcedure p);

// A measured power beside its expected one, within this many percent, is
// inside the tolerance band of the chart and the CSV.
inline constexpr double kPowerTolerancePercent = 10.0;

// One point of a run: a diagnosis step, or a live reading while a tuning runs.
struct TPowerPoint {
    int step = 0;         // 1..4 for diagnosis steps; the status read count for a tuning
    double expected = 0;  // W
    double measured = 0;  // W
    std::optional<double> errorPercent;  // none when nothing was expected (no configuration)
    std::string errorText;               // as the error cell shows it
    bool WithinTolerance() const {
        return errorPercent && *errorPercent >= -kPowerTolerancePercent &&
               *errorPercent <= kPowerTolerancePercent;
    }
};

struct TProcedureOutcome {
    TProcedure procedure = TProcedure::None;
    TSequenceOutcome outcome;
    std::string text;  // what stxPMView shows at the end
};

// Error cell: (P - expected) / (expected * 0.01), to two decimals; nothing
// when no power is expected.
std::optional<double> DiagnosisError(double measured, double expected);

// The points of a run as CSV ("step;expected W;measured W;error %;within").
std::string PowerPointsCsv(TProcedure p, const std::vector<TPowerPoint>& points);

class IPowerProcedureView {
  public:
    virtual ~IPowerProcedureView() = default;
    // text: "Executing..." when started (its first status read is then
    // queued already), the refusal otherwise.
    virtual void OnProcedureAnswer(std::uint8_t /*type*/, std::uint8_t /*status*/,
                                   const std::string& /*text*/, bool /*started*/) {}
    // A diagnosis was asked for: Pcfg and the four expected powers.
    virtual void OnDiagnosisStarted(double /*pcfg*/, const std::array<double, 4>& /*expected*/) {}
    virtual void OnPowerPoint(TProcedure /*p*/, const TPowerPoint& /*point*/) {}
    // stxPMView while a run goes on ("Diagnosis: 2 of 4 steps", "Running...").
    virtual void OnProcedureText(const std::string& /*text*/) {}
    virtual void OnProcedureFinished(const TProcedureOutcome& /*o*/) {}
    // A current read from the board: field "edtImax", "edtIAdj", "stxImaxByTime",
    // "stxIDiodeEndLife" or "stxIMaxLow", value in A (percent for edtIAdj).
    virtual void OnCurrentValue(const std::string& /*field*/, double /*value*/) {}
};

class TPowerProcedures : public commands::IProcedureView,
                         public commands::IVariableView,
                         public commands::IStatusView,
                         public commands::ILinkView {
  public:
    TPowerProcedures(commands::TSession& session, config::TCfgWelderRW& record, TWelderLogs& logs)
        : session_(session), record_(record), logs_(logs) {}

    commands::TFanout<IPowerProcedureView>& Views() { return views_; }

    // Starts a procedure (the factory tuning after the user confirmed it).
    // Refused while another run is followed.
    TResult Start(TProcedure p);
    bool Following() const { return following_ != TProcedure::None; }
    TProcedure FollowedProcedure() const { return following_; }
    // Stops following the run (it goes on on the board): no outcome.
    void StopFollowing();

    // Currents of the page. Writes need a configuration (the maximum current
    // is kept in its power/current table); typed texts use `decimal`.
    TResult ReadImax();
    // RAM (`store` false) or stored. On success `shown` is the value kept,
    // limited to CurrentDiodeMax, as edtImax shows it.
    TResult WriteImax(const std::string& typed, char decimal, bool store, std::string* shown);
    TResult ReadIAdj();
    TResult WriteIAdj(const std::string& typed, char decimal, bool store);
    TResult ReadCurrentInfo();

    // Every exchange tick (idle: nothing queued nor in flight).
    void NoteTick(bool idle);

    // --- state -----------------------------------------------------------
    std::uint8_t procedureType = 0;  // the start request last answered
    bool procedureStarted = false;
    std::uint8_t diagStepsRead = 0;
    bool tuningRunning = false;
    bool tuningAnomaly = false;
    bool tuningCurrentLimited = false;
    std::string stxPMView = "Off";
    std::vector<TPowerPoint> points;  // of the last run

    // Board events.
    void OnStartAnswer(std::uint8_t type, std::uint8_t status) override;
    void OnDiagnosisStatus(std::uint8_t status) override;
    void OnDiagnosisPower(int step, std::uint16_t raw) override;
    void OnTuningStatus(std::uint8_t status) override;
    void OnVariable(const commands::DecodedVariable& v) override;
    void OnAnalogStatus(const std::array<std::uint16_t, 6>& channels) override;
    void OnStopPolling() override { lineStopped_ = true; }
    void OnLinkState(std::string_view text) override;

  private:
    double Pcfg() const { return record_.GetPDiodeMaxValue(); }
    void Show(const std::string& text);
    void Finish(bool completed, const std::string& text, const std::string& why = {});
    void Queue(std::uint16_t code);

    commands::TSession& session_;
    config::TCfgWelderRW& record_;
    TWelderLogs& logs_;
    commands::TFanout<IPowerProcedureView> views_;
    TProcedure following_ = TProcedure::None;
    TProcedure lastRun_ = TProcedure::None;
    int tuningReads_ = 0;
    int stepsPending_ = 0;  // step powers asked for and not yet answered
    bool lineStopped_ = false;
    bool refused_ = false;
};

}  // namespace orvan::features
