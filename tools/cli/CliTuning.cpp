// orvan-cli power tools: the tuning log saved as the window's "Save tuning
// log" writes it, the power diagnosis and the factory or secondary tuning
// followed to their end with a line per step. The configuration is read
// first: the expected powers and the logged currents depend on it. A run the
// board refuses, interrupts or stops answering ends with status 1.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "commands/Builders.h"
#include "features/PowerProcedures.h"
#include "features/TuningLog.h"
#include "link/NumberText.h"

namespace orvan::cli {

namespace {

using namespace orvan::features;

void Fail(const std::string& message) {
    std::fprintf(stderr, "orvan-cli: %s\n", message.c_str());
}

constexpr std::int64_t kReadLimitMs = 60000;
constexpr std::int64_t kRunLimitMs = 15 * 60 * 1000;

// Hears what the commands print.
class TPrinter : public ITransferListener, public IPowerProcedureView, public ITuningLogView {
  public:
    void OnTransferProgress(TTransferOp, TTransferPhase, int, int) override {}
    void OnTransferFinished(const TTransferOutcome& o) override { transfer = o; }
    void OnProcedureAnswer(std::uint8_t, std::uint8_t, const std::string& text, bool) override {
        Line(text);
    }
    void OnPowerPoint(TProcedure p, const TPowerPoint& q) override {
        const bool diagnosis = p == TProcedure::MeterDiagnosis || p == TProcedure::PdDiagnosis;
        if (!diagnosis) return;  // a tuning's readings come with its "Running..." lines
        std::printf("step %d: expected %s W, measured %s W, error %s %%\n", q.step,
                    link::RoundedText(q.expected, 2).c_str(),
                    link::RoundedText(q.measured, 2).c_str(), q.errorText.c_str());
        std::fflush(stdout);
    }
    void OnProcedureText(const std::string& text) override { Line(text); }
    void OnProcedureFinished(const TProcedureOutcome& o) override { finished = o; }
    void OnTuningLogShown(const TTuningLogShown& s) override { shown = s; }

    std::optional<TTransferOutcome> transfer;
    std::optional<TProcedureOutcome> finished;
    std::optional<TTuningLogShown> shown;

  private:
    void Line(const std::string& text) {
        if (text == last_) return;
        last_ = text;
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
    std::string last_;
};

struct TArgs {
    std::string command;
    std::string file;
    TProcedure procedure = TProcedure::None;
    bool codeOn = false;
};

std::optional<TArgs> Parse(const std::vector<std::string>& a) {
    TArgs t;
    t.command = a[0];
    if (t.command == "tuning-log") {
        if (a.size() != 2) {
            Fail("tuning-log takes the name of the .log file to write");
            return std::nullopt;
        }
        t.file = a[1];
        return t;
    }
    for (std::size_t i = 1; i < a.size(); ++i) {
        const std::string& w = a[i];
        TProcedure p = TProcedure::None;
        if (t.command == "diagnosis" && w == "--meter") p = TProcedure::MeterDiagnosis;
        if (t.command == "diagnosis" && w == "--photodiode") p = TProcedure::PdDiagnosis;
        if (t.command == "tuning" && w == "--factory") p = TProcedure::FactoryTuning;
        if (t.command == "tuning" && w == "--secondary") p = TProcedure::SecondaryTuning;
        if (t.command == "tuning" && w == "--code-on") {
            t.codeOn = true;
            continue;
        }
        if (p == TProcedure::None || t.procedure != TProcedure::None) {
            Fail(t.command == "diagnosis" ? "diagnosis takes --meter or --photodiode"
                                          : "tuning takes --factory or --secondary [--code-on]");
            return std::nullopt;
        }
        t.procedure = p;
    }
    if (t.procedure == TProcedure::None) {
        Fail(t.command == "diagnosis" ? "diagnosis takes --meter or --photodiode"
                                      : "tuning takes --factory or --secondary [--code-on]");
        return std::nullopt;
    }
    return t;
}

// The configuration into the record, as the window's "Read" does; with the
// tuning log after it when asked.
int ReadConfiguration(TToolRunner& run, TPrinter& printer, bool thenTuningLog) {
    TSupervisorCore& core = run.Core();
    core.Transfer().SetListener(&printer);
    if (const TStartResult s = core.Transfer().Read(thenTuningLog); !s) {
        Fail(s.message);
        return 1;
    }
    run.RunUntil([&] { return printer.transfer.has_value(); }, kReadLimitMs);
    if (!printer.transfer || !printer.transfer->completed) {
        Fail(printer.transfer ? printer.transfer->message
                              : std::string("the configuration read did not finish"));
        return 1;
    }
    if (!printer.transfer->checksumWarning.empty()) Fail(printer.transfer->checksumWarning);
    core.Session().configLoaded = true;
    return 0;
}

void PrintLog(const TTuningLogShown& s) {
    if (!s.problem.empty()) return;
    std::printf("tuning log: copy %s, factory tuning %s\n", s.validCopy == 1 ? "A" : "B",
                s.factoryTuningTime.c_str());
    for (const tuninglog& e : s.entries)
        std::printf("  %s  %s A  %s W  %s h\n", e.dateTime.c_str(),
                    link::RoundedText(e.current, 2).c_str(), link::RoundedText(e.power, 2).c_str(),
                    link::RoundedText(e.hours, 3).c_str());
}

int TuningLogCommand(TToolRunner& run, TPrinter& printer, const std::string& file) {
    run.Core().TuningLog().Views().Add(printer);
    if (const int rc = ReadConfiguration(run, printer, true); rc != 0) return rc;
    run.RunUntil([&] { return printer.shown.has_value(); }, kReadLimitMs);
    if (!printer.shown || !printer.shown->outcome.completed) {
        Fail("the tuning log was not read" +
             (printer.shown ? ": " + printer.shown->outcome.why : std::string()));
        return 1;
    }
    if (!printer.shown->problem.empty()) {
        Fail(printer.shown->problem + "; nothing saved");
        return 1;
    }
    if (const TResult r = run.Core().TuningLog().Save(file); !r) {
        Fail(r.why);
        return 1;
    }
    if (!run.Quiet()) PrintLog(*printer.shown);
    if (!run.Quiet()) std::fprintf(stderr, "Saved to %s\n", file.c_str());
    return 0;
}

int ProcedureCommand(TToolRunner& run, TPrinter& printer, const TArgs& a) {
    TSupervisorCore& core = run.Core();
    core.Procedures().Views().Add(printer);
    core.TuningLog().Views().Add(printer);
    if (const int rc = ReadConfiguration(run, printer, false); rc != 0) return rc;
    if (a.codeOn) {
        if (const TResult r = commands::SendSecurityCode(core.Protocol(), true); !r) {
            Fail(r.why);
            return 1;
        }
    }
    if (const TResult r = core.Procedures().Start(a.procedure); !r) {
        Fail(r.why);
        return 1;
    }
    run.RunUntil([&] { return printer.finished.has_value(); }, kRunLimitMs);
    if (!printer.finished) {
        Fail(std::string("the ") + ProcedureText(a.procedure) + " did not end in time");
        return 1;
    }
    const TProcedureOutcome& o = *printer.finished;
    if (!o.outcome.completed) {
        Fail(std::string(ProcedureText(o.procedure)) + " stopped: " + o.outcome.why);
        return 1;
    }
    const bool tuning =
        a.procedure == TProcedure::FactoryTuning || a.procedure == TProcedure::SecondaryTuning;
    if (tuning) {
        printer.shown.reset();
        run.RunUntil([&] { return printer.shown.has_value(); }, kReadLimitMs);
        if (!printer.shown || !printer.shown->outcome.completed) {
            Fail("the tuning ended, but the new tuning log was not read");
            return 1;
        }
        if (!printer.shown->problem.empty()) {
            Fail(printer.shown->problem);
            return 1;
        }
        PrintLog(*printer.shown);
    }
    return 0;
}

}  // namespace

std::string TuningUsage() {
    return "  tuning-log OUT.log   read the configuration and the tuning log, save the log\n"
           "  diagnosis --meter|--photodiode\n"
           "                       run the power diagnosis, one line per step\n"
           "  tuning --factory|--secondary [--code-on]\n"
           "                       run a power tuning to its end, then show the new tuning log\n"
           "                       (--code-on: switch the security code on first)\n";
}

bool IsTuningCommand(const std::string& name) {
    return name == "tuning-log" || name == "diagnosis" || name == "tuning";
}

int RunTuningCommand(const Options& opt) {
    const std::optional<TArgs> a = Parse(opt.args);
    if (!a) return 2;
    TToolRunner run;
    if (const int rc = run.Open(opt); rc != 0) return rc;
    TPrinter printer;
    if (a->command == "tuning-log") return TuningLogCommand(run, printer, a->file);
    return ProcedureCommand(run, printer, *a);
}

}  // namespace orvan::cli
