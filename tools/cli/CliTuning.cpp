// orvan-cli power tools: the tuning log saved as the window's "Save tuning
// log" writes it, the power diagnosis and the factory or secondary tuning.
// The configuration is read first, as the window needs it on its pages: the
// expected powers and the logged currents depend on it.

#include <string>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "config/AtomicFile.h"
#include "features/BoardOperations.h"
#include "features/ConfigOperations.h"
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
    const auto w = TWords::Split(opt, {"--meter", "--photodiode"}, {}, 0, 0);
    if (!w) return Done(2);
    if (w->Has("--meter") == w->Has("--photodiode"))
        return Usage(opt.args[0], "give --meter or --photodiode");
    const features::TProcedureRequest r{Procedure(*w), false};
    return OnBoard([r](TBoard& b) {
        if (const TOperationOutcome o = ReadConfiguration(b); !o.Completed())
            return features::ExitCode(o);
        return features::ExitCode(b.Run(features::ProcedureOperation(b.Core(), r)));
    });
}

TPlan Tuning(const Options& opt) {
    const auto w = TWords::Split(opt, {"--factory", "--secondary", "--yes", "--code-on"}, {}, 0, 0);
    if (!w) return Done(2);
    if (w->Has("--factory") == w->Has("--secondary"))
        return Usage(opt.args[0], "give --factory or --secondary");
    const features::TProcedureRequest r{Procedure(*w), w->Has("--yes")};
    const bool codeOn = w->Has("--code-on");
    return OnBoard([r, codeOn](TBoard& b) {
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
        // A tuning reads the board's new tuning log before it ends: shown here.
        TLogLines log(b, true);
        features::TAttachment<TLogLines> attached(b.Core(), log);
        return features::ExitCode(b.Run(features::ProcedureOperation(b.Core(), r)));
    });
}

}  // namespace orvan::cli
