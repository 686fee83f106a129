// orvan-cli event-log: the board's event log read as the "Welder Event Log"
// page reads it, one decoded event a line on stdout (tab-separated: number,
// date and time, value, description), or JSON Lines with --json.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "features/EventLog.h"

namespace orvan::cli {

namespace {

using namespace orvan::features;

class TEventLogPrinter : public IEventLogView {
  public:
    void OnEventLogRead(const TSequenceOutcome& o, const TEventLogDecode& log) override {
        outcome = o;
        this->log = log;
    }
    std::optional<TSequenceOutcome> outcome;
    TEventLogDecode log;
};

}  // namespace

std::string EventLogUsage() {
    return "  event-log [--json]   the board's event log, one event a line (JSON Lines with "
           "--json)\n";
}

bool IsEventLogCommand(const std::string& name) {
    return name == "event-log";
}

int RunEventLogCommand(const Options& opt) {
    bool json = false;
    for (std::size_t i = 1; i < opt.args.size(); ++i) {
        if (opt.args[i] == "--json") {
            json = true;
        } else {
            std::fprintf(stderr, "orvan-cli: event-log takes only --json, not %s\n",
                         opt.args[i].c_str());
            return 2;
        }
    }
    TToolRunner run;
    if (const int rc = run.Open(opt); rc != 0) return rc;
    TEventLogPrinter printer;
    run.Core().EventLog().Views().Add(printer);
    (void)run.Core().EventLog().StartEventLogRead();
    const int rc = run.RunUntilIdle();
    run.Core().EventLog().Views().Remove(printer);
    if (!printer.outcome || !printer.outcome->completed) {
        if (printer.outcome && rc == 0)
            std::fprintf(stderr, "orvan-cli: %s: %s\n", printer.outcome->where.c_str(),
                         printer.outcome->why.c_str());
        else if (rc == 0)
            std::fprintf(stderr, "orvan-cli: the event log was not read%s\n",
                         run.IgnoredNote().c_str());
        return 1;
    }
    if (rc != 0) return rc;
    for (const TEventLine& line : printer.log.lines) {
        const std::string text = json ? EventLineJson(line) : EventLineText(line);
        std::printf("%s\n", text.c_str());
    }
    if (!printer.log.problem.empty())
        std::fprintf(stderr, "orvan-cli: %s\n", printer.log.problem.c_str());
    if (printer.log.lines.empty() && !run.Quiet())
        std::fprintf(stderr, "the event log holds no events\n");
    return 0;
}

}  // namespace orvan::cli
