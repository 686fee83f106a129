// orvan-cli machine pages: the flanging machine's profile table, read under
// the profile purpose as the "Flanging" page reads it (a short read that
// changes nothing). read-var and write-var serve the single variables of
// every machine page.

#include <cstdio>
#include <string>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "commands/BoardView.h"
#include "commands/Catalogue.h"
#include "features/BoardOperations.h"
#include "features/Flanging.h"

namespace orvan::cli {

namespace {

class TTableRead : public features::IFlangingView, public commands::IIdentityView {
  public:
    void OnBoardType(std::uint16_t type) override { boardType = type; }
    void OnFlangingProfilesRead(const features::TSequenceOutcome& o) override { outcome = o; }
    std::uint16_t boardType = 0;
    std::optional<features::TSequenceOutcome> outcome;
};

std::string Row(const char* format, int profile, double amplitude, double offset) {
    char text[160];
    std::snprintf(text, sizeof text, format, profile, amplitude, offset);
    return text;
}

int Table(TBoard& b, bool json) {
    features::TSupervisorCore& core = b.Core();
    TTableRead read;
    features::TAttachment<TTableRead> attached(core, read);
    // 8 or 16 profiles, by the board type.
    const features::TOperationOutcome type =
        b.Run(features::VariableReadOperation(core, {commands::BoardType}), {TSay::Nothing, false});
    if (!type.Completed()) return features::ExitCode(type);
    if (const TResult started = core.Flanging().ReadProfiles(); !started) {
        b.Say(started.why);
        return 1;
    }
    if (const int rc = b.Await([&] { return read.outcome.has_value(); }, "Flanging profile read");
        rc != 0)
        return rc;
    if (!read.outcome->completed) {
        b.Say("the profile table was not read: " + read.outcome->where +
              (read.outcome->why.empty() ? "" : ": " + read.outcome->why));
        return 1;
    }
    const features::TFlanging& f = core.Flanging();
    const int count = f.ProfileCount();
    if (json) {
        std::string line =
            "{\"boardType\":\"" + commands::CodeText(read.boardType) + "\",\"profiles\":[";
        bool first = true;
        for (const features::FlangingProfileRow& r : f.table) {
            if (r.profile > count) continue;
            line += (first ? "" : ",") + Row("{\"profile\":%d,\"amplitude\":%.3f,\"offset\":%.3f}",
                                             r.profile - 1, r.amplitude, r.offset);
            first = false;
        }
        b.Out(line + "]}");
        return 0;
    }
    b.Out("profile  amplitude (V)  offset (V)");
    for (const features::FlangingProfileRow& r : f.table)
        if (r.profile <= count)
            b.Out(Row("%7d  %13.3f  %10.3f", r.profile - 1, r.amplitude, r.offset));
    return 0;
}

}  // namespace

TPlan FlangingProfiles(const Options& opt) {
    const auto w = TWords::Split(opt, {"--json"}, {}, 0, 0);
    if (!w) return Done(2);
    const bool json = w->Has("--json");
    return OnBoard([json](TBoard& b) { return Table(b, json); });
}

}  // namespace orvan::cli
