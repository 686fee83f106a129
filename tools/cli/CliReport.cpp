// orvan-cli service-report: the service report of the window, on the command
// line. The logs are read first so that the report shows them (a log that
// does not come is said in the report as not read). The exit status says
// whether everything was read: 0 complete, 1 when something is missing (the
// file is still written, and says what).

#include <climits>
#include <string>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "cli/Console.h"
#include "config/AtomicFile.h"
#include "features/BoardOperations.h"
#include "features/ConfigOperations.h"

namespace orvan::cli {

namespace {

// The logs, read for the report to show; their outcomes are notes only.
void ReadLogs(TBoard& b) {
    features::TSupervisorCore& core = b.Core();
    const TShow note{TSay::Stderr, false};
    // The configuration first, as the window's read does, and the tuning log
    // after it (its currents need the configuration); a board that does not
    // give the configuration will not give the logs either, and the report
    // says so.
    features::TConfigReadRequest read;
    read.thenTuningLog = true;
    if (!b.Run(features::ConfigReadOperation(core, read), note).Completed()) return;
    (void)b.Run(features::EventLogReadOperation(core), note);
}

}  // namespace

TPlan ServiceReport(const Options& opt) {
    const auto w = TWords::Split(opt, {"--no-logs", "--force"}, {}, 1, 1);
    if (!w) return Done(2);
    features::TReportRequest r;
    r.path = w->Name(0);
    r.replace = w->Has("--force") || opt.force;
    const bool logs = !w->Has("--no-logs");
    return OnBoard([r, logs](TBoard& b) {
        features::TSupervisorCore& core = b.Core();
        // The file is the core's to reserve; asking its rules now refuses a
        // name that cannot be used before the logs are read for nothing.
        {
            config::TReservedFile probe;
            const TResult ok = features::ReserveOutput(
                {r.path, features::TFileKind::Other, "the service report", r.replace, false},
                probe);
            if (!ok) {
                b.Say(features::Sentence("Service report not started: " + ok.why) +
                      " Nothing was sent.");
                return 2;
            }
        }
        core.Naming().SetDirectory(ProgramFolder());
        core.Report().linkText = b.Opt().device + " at " + std::to_string(b.Opt().speed) + " bit/s";
        if (logs) ReadLogs(b);
        return features::ExitCode(
            b.Run(features::ServiceReportOperation(core, r), {TSay::Stdout, true}));
    });
}

}  // namespace orvan::cli
