// orvan-cli service-report: the service report of the window, on the command
// line. The exit status says whether everything was read: 0 complete, 1 when
// something is missing (the file is still written, and says what) or the
// file could not be written.

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "features/ServiceReport.h"

namespace orvan::cli {

namespace {

// The folder of the running program, where the machine naming files lie.
std::string ProgramFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

class ReportPrinter : public features::IServiceReportView {
  public:
    explicit ReportPrinter(bool quiet) : quiet_(quiet) {}
    void OnReportStep(const std::string& step) override {
        if (!quiet_) std::fprintf(stderr, "reading: %s\n", step.c_str());
    }
    void OnReportFinished(const features::TReportOutcome& o) override { outcome = o; }
    std::optional<features::TReportOutcome> outcome;

  private:
    bool quiet_;
};

// The two logs, read before the report so that it can show them; a log that
// does not come is said in the report as not read.
struct LogsWaiter : features::IWelderLogView, features::IEventLogView {
    bool tuningDone = false, eventsDone = false;
    void OnTuningLogRead(const features::TSequenceOutcome&,
                         const std::array<std::uint8_t, commands::kTuningLogSize>&) override {
        tuningDone = true;
    }
    void OnEventLogRead(const features::TSequenceOutcome&,
                        const features::TEventLogDecode&) override {
        eventsDone = true;
    }
};

}  // namespace

std::string ReportUsage() {
    return "  service-report OUT.html [--backup-dir DIR] [--no-logs]\n"
           "                       write one HTML file with the board's identity, clock, hours,\n"
           "                       configuration (and its differences from the newest backup),\n"
           "                       tuning and event logs (unless --no-logs) and the last lines\n"
           "                       of traffic; exit 1 when something is missing\n";
}

bool IsReportCommand(const std::string& name) {
    return name == "service-report";
}

int RunReportCommand(const Options& opt) {
    std::string out, backupDir;
    bool logs = true;
    for (std::size_t i = 1; i < opt.args.size(); ++i) {
        const std::string& a = opt.args[i];
        if (a == "--backup-dir") {
            if (i + 1 >= opt.args.size() || opt.args[i + 1].empty()) {
                std::fprintf(stderr, "orvan-cli: --backup-dir needs a folder\n");
                return 2;
            }
            backupDir = opt.args[++i];
        } else if (a == "--no-logs") {
            logs = false;
        } else if (out.empty() && !a.empty() && a[0] != '-') {
            out = a;
        } else {
            std::fprintf(stderr, "orvan-cli: service-report takes one output file\n");
            return 2;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "orvan-cli: service-report needs the file to write\n");
        return 2;
    }
    TToolRunner run;
    if (const int rc = run.Open(opt); rc != 0) return rc;
    features::TSupervisorCore& core = run.Core();
    core.Naming().SetDirectory(ProgramFolder());
    if (!backupDir.empty()) core.Report().SetBackupDir(backupDir);
    core.Report().linkText = opt.device + " at " + std::to_string(opt.speed) + " bit/s";
    if (logs) {
        LogsWaiter waiter;
        core.Logs().Views().Add(waiter);
        core.EventLog().Views().Add(waiter);
        if (!opt.quiet) std::fprintf(stderr, "reading: Tuning log\n");
        if (core.Logs().StartTuningLogRead())
            (void)run.RunUntil([&] { return waiter.tuningDone; }, 30000);
        if (!opt.quiet) std::fprintf(stderr, "reading: Event log\n");
        if (core.EventLog().StartEventLogRead())
            (void)run.RunUntil([&] { return waiter.eventsDone; }, 30000);
        (void)run.RunUntilIdle();
        core.Logs().Views().Remove(waiter);
        core.EventLog().Views().Remove(waiter);
    }
    ReportPrinter printer(opt.quiet);
    core.Report().Views().Add(printer);
    const TResult started = core.Report().Start(out);
    if (!started) {
        std::fprintf(stderr, "orvan-cli: %s\n", started.why.c_str());
        return 1;
    }
    // Four steps, each bounded by the receive time-out of its last request.
    (void)run.RunUntil([&] { return printer.outcome.has_value(); }, 120000);
    if (!printer.outcome) {
        std::fprintf(stderr, "orvan-cli: the report did not finish\n");
        return 1;
    }
    const features::TReportOutcome& o = *printer.outcome;
    if (!o.written) {
        std::fprintf(stderr, "orvan-cli: %s\n", o.message.c_str());
        return 1;
    }
    for (const std::string& m : o.missing) std::fprintf(stderr, "missing: %s\n", m.c_str());
    if (!opt.quiet)
        for (const std::string& m : o.notIncluded)
            std::fprintf(stderr, "not included: %s\n", m.c_str());
    std::printf("%s\n", o.message.c_str());
    return o.completed ? 0 : 1;
}

}  // namespace orvan::cli
