// orvan-cli event-log: the board's event log read as the "Welder Event Log"
// page reads it, one decoded event a line on stdout (tab-separated: number,
// date and time, value, description), or JSON Lines with --json.

#include <string>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "features/BoardOperations.h"
#include "features/EventLog.h"

namespace orvan::cli {

namespace {

class TJsonLines : public features::IEventLogView {
  public:
    void OnEventLogRead(const features::TSequenceOutcome& o,
                        const features::TEventLogDecode& log) override {
        if (o.completed) lines = log.lines;
    }
    std::vector<features::TEventLine> lines;
};

}  // namespace

TPlan EventLog(const Options& opt) {
    const auto w = TWords::Split(opt, {"--json"}, {}, 0, 0);
    if (!w) return Done(2);
    const bool json = w->Has("--json");
    return OnBoard([json](TBoard& b) {
        if (!json) return features::ExitCode(b.Run(features::EventLogReadOperation(b.Core())));
        TJsonLines view;
        features::TAttachment<TJsonLines> attached(b.Core(), view);
        const features::TOperationOutcome o =
            b.Run(features::EventLogReadOperation(b.Core()), {TSay::Stderr, false});
        if (o.Completed())
            for (const features::TEventLine& line : view.lines)
                b.Out(features::EventLineJson(line));
        return features::ExitCode(o);
    });
}

}  // namespace orvan::cli
