// orvan-cli power tools: the tuning log saved as the window's "Save tuning
// log" writes it, the power diagnosis and the factory or secondary tuning.
// The configuration is read first, as the window needs it on its pages: the
// expected powers and the logged currents depend on it.

#include <optional>
#include <string>

#include "cli/Cli.h"
#include "cli/CliJson.h"
#include "cli/CliRunner.h"
#include "config/AtomicFile.h"
#include "features/BoardOperations.h"
#include "features/ConfigOperations.h"
#include "features/Operations.h"
#include "features/PowerProcedures.h"
#include "features/TuningLog.h"
#include "link/NumberText.h"

namespace orvan::cli {

namespace {

using features::TOperationOutcome;

// Which copy of the log was used, before its entries; with `entries`, the
// entries too (a tuning reads its new log itself, and lists nothing).
class TLogLines : public features::ITuningLogView {
  public:
    TLogLines(TBoard& board, bool entries) : board_(board), entries_(entries) {}
    void OnTuningLogShown(const features::TTuningLogShown& s) override {
        if (!s.outcome.completed || !s.problem.empty()) return;
        board_.Out(std::string("tuning log: copy ") + (s.validCopy == 1 ? "A" : "B") +
                   ", factory tuning " + s.factoryTuningTime);
        if (!entries_) return;
        for (const features::tuninglog& e : s.entries)
            board_.Out(e.dateTime + "\t" + link::RoundedText(e.current, 3) + " A\t" +
                       link::RoundedText(e.power, 3) + " W\t" + link::RoundedText(e.hours, 3) +
                       " h");
    }

  private:
    TBoard& board_;
    bool entries_;
};

// With --json a power run is a stream of JSON Lines on stdout: its progress
// texts, each power point, the entries of the new tuning log, and its end.
class TJsonEvents : public features::IOperationView,
                    public features::IPowerProcedureView,
                    public features::ITuningLogView {
  public:
    explicit TJsonEvents(TBoard& board) : board_(board) {}
    void OnOperationProgress(const features::TProgress& p) override {
        TJson j = TJson::object();
        j["event"] = "progress";
        j["operation"] = p.operation;
        j["phase"] = p.phase;
        if (p.total > 0) {
            j["done"] = p.done;
            j["total"] = p.total;
        }
        board_.Out(JsonText(j));
    }
    void OnPowerPoint(features::TProcedure, const features::TPowerPoint& q) override {
        TJson j = TJson::object();
        j["event"] = "point";
        j["step"] = q.step;
        j["expected_w"] = Hundredths(q.expected);
        j["measured_w"] = Hundredths(q.measured);
        if (q.errorPercent) j["error_percent"] = Hundredths(*q.errorPercent);
        j["within_tolerance"] = q.WithinTolerance();
        board_.Out(JsonText(j));
    }
    void OnTuningLogShown(const features::TTuningLogShown& s) override {
        if (!s.outcome.completed || !s.problem.empty()) return;
        for (const features::tuninglog& e : s.entries) {
            TJson j = TJson::object();
            j["event"] = "log";
            j["date_time"] = e.dateTime;
            j["current_a"] = Thousandths(e.current);
            j["power_w"] = Thousandths(e.power);
            j["hours"] = Thousandths(e.hours);
            board_.Out(JsonText(j));
        }
    }
    void Finished(const TOperationOutcome& o) {
        TJson j = TJson::object();
        j["event"] = "finished";
        j["outcome"] = features::OutcomeKindText(o.kind);
        j["message"] = o.message;
        j["exit"] = features::ExitCode(o);
        board_.Out(JsonText(j));
    }

  private:
    // As the window shows them: to the hundredth (a thousandth in the log),
    // without binary noise.
    static TJson Hundredths(double v) { return Exact(link::RoundedText(v, 2), v); }
    static TJson Thousandths(double v) { return Exact(link::RoundedText(v, 3), v); }
    static TJson Exact(const std::string& text, double v) {
        const auto n = DecimalNumber(text);
        return n ? *n : TJson(v);
    }
    TBoard& board_;
};

// Runs a power procedure; with `json` as JSON Lines (the outcome's
// message still said on stderr).
int RunProcedure(TBoard& b, const features::TProcedureRequest& r, bool json, bool withLog) {
    if (!json) {
        // A tuning reads the board's new tuning log before it ends: shown here.
        TLogLines log(b, true);
        std::optional<features::TAttachment<TLogLines>> attached;
        if (withLog) attached.emplace(b.Core(), log);
        return features::ExitCode(b.Run(features::ProcedureOperation(b.Core(), r)));
    }
    TJsonEvents events(b);
    features::TAttachment<TJsonEvents> attached(b.Core(), events);
    const TOperationOutcome o =
        b.Run(features::ProcedureOperation(b.Core(), r), {TSay::Stderr, false, false});
    events.Finished(o);
    return features::ExitCode(o);
}

// The configuration onto the pages; the outcome.
TOperationOutcome ReadConfiguration(TBoard& b) {
    features::TConfigReadRequest r;
    r.thenTuningLog = false;
    return b.Run(features::ConfigReadOperation(b.Core(), r));
}

// The tuning log read (and saved when `save` names a file), its entries on
// stdout.
int ReadLog(TBoard& b, const features::TLogSaveRequest& save) {
    TLogLines heading(b, false);
    features::TAttachment<TLogLines> attached(b.Core(), heading);
    return features::ExitCode(b.Run(features::TuningLogReadOperation(b.Core(), save)));
}

features::TProcedure Procedure(const TWords& w) {
    if (w.Has("--meter")) return features::TProcedure::MeterDiagnosis;
    if (w.Has("--photodiode")) return features::TProcedure::PdDiagnosis;
    if (w.Has("--factory")) return features::TProcedure::FactoryTuning;
    if (w.Has("--secondary")) return features::TProcedure::SecondaryTuning;
    return features::TProcedure::None;
}

}  // namespace

TPlan TuningLog(const Options& opt) {
    const auto w = TWords::Split(opt, {"--force"}, {}, 1, 1);
    if (!w) return Done(2);
    features::TLogSaveRequest save;
    save.path = w->Name(0);
    save.replace = w->Has("--force") || opt.force;
    return OnBoard([save](TBoard& b) {
        // The file is the core's to reserve, under the rules of every output;
        // asking those rules now refuses a name that cannot be used before
        // the configuration is read for nothing.
        {
            config::TReservedFile probe;
            const TResult r = features::ReserveOutput({save.path, features::TFileKind::TuningLog,
                                                       "the tuning log file", save.replace, false},
                                                      probe);
            if (!r) {
                b.Say(features::Sentence("Tuning log read not started: " + r.why) +
                      " Nothing was sent.");
                return 2;
            }
        }
        if (const TOperationOutcome o = ReadConfiguration(b); !o.Completed())
            return features::ExitCode(o);
        return ReadLog(b, save);
    });
}

TPlan Diagnosis(const Options& opt) {
    const auto w = TWords::Split(opt, {"--meter", "--photodiode", "--json"}, {}, 0, 0);
    if (!w) return Done(2);
    if (w->Has("--meter") == w->Has("--photodiode"))
        return Usage(opt.args[0], "give --meter or --photodiode");
    const features::TProcedureRequest r{Procedure(*w), false};
    const bool json = w->Has("--json");
    return OnBoard([r, json](TBoard& b) {
        if (const TOperationOutcome o = ReadConfiguration(b); !o.Completed())
            return features::ExitCode(o);
        return RunProcedure(b, r, json, false);
    });
}

TPlan Tuning(const Options& opt) {
    const auto w =
        TWords::Split(opt, {"--factory", "--secondary", "--yes", "--code-on", "--json"}, {}, 0, 0);
    if (!w) return Done(2);
    if (w->Has("--factory") == w->Has("--secondary"))
        return Usage(opt.args[0], "give --factory or --secondary");
    const features::TProcedureRequest r{Procedure(*w), w->Has("--yes")};
    const bool codeOn = w->Has("--code-on");
    const bool json = w->Has("--json");
    return OnBoard([r, codeOn, json](TBoard& b) {
        if (const TOperationOutcome o = ReadConfiguration(b); !o.Completed())
            return features::ExitCode(o);
        if (codeOn) {
            if (const TResult s = b.Core().SetSecurityCode(true); !s) {
                b.Say("the security code could not be switched on: " + s.why);
                return 1;
            }
            if (const int rc = b.Await([&b] { return b.Core().Idle(); }, "Security code on");
                rc != 0)
                return rc;
        }
        return RunProcedure(b, r, json, true);
    });
}

}  // namespace orvan::cli
