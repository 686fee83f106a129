// orvan-cli machine pages: the flanging machine's profile table, read under
// the profile purpose as the "Flanging" page reads it. (read-var and
// write-var serve the single variables of every machine page.)

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "commands/Builders.h"
#include "features/Flanging.h"

namespace orvan::cli {

namespace {

using namespace orvan::features;

int FlangingProfiles(TToolRunner& run, bool json) {
    TSupervisorCore& core = run.Core();
    // 8 or 16 profiles, by the board type.
    (void)commands::SendReadVariable(core.Protocol(), commands::BoardType);
    if (const int rc = run.RunUntilIdle(); rc != 0) return rc;
    TFlanging& f = core.Flanging();
    bool ended = false, completed = false;
    std::string why;
    struct Ending : IFlangingView {
        bool* ended;
        bool* completed;
        std::string* why;
        void OnFlangingProfilesRead(const TSequenceOutcome& o) override {
            *ended = true;
            *completed = o.completed;
            *why = o.where + (o.why.empty() ? "" : ": " + o.why);
        }
    } ending;
    ending.ended = &ended;
    ending.completed = &completed;
    ending.why = &why;
    f.Views().Add(ending);
    const TToolResult started = f.ReadProfiles();
    if (!started) {
        f.Views().Remove(ending);
        std::fprintf(stderr, "orvan-cli: %s\n", started.message.c_str());
        return 1;
    }
    const int rc = run.RunUntilIdle();
    f.Views().Remove(ending);
    if (rc != 0) return rc;
    if (!ended || !completed) {
        std::fprintf(stderr, "orvan-cli: the profile table was not read%s%s\n",
                     why.empty() ? "" : ": ", why.c_str());
        return 1;
    }
    const int count = f.ProfileCount();
    if (json) {
        std::printf("{\"boardType\":\"%s\",\"profiles\":[",
                    commands::CodeText(core.Session().boardType).c_str());
        bool first = true;
        for (const FlangingProfileRow& r : f.table) {
            if (r.profile > count) continue;
            std::printf("%s{\"profile\":%d,\"amplitude\":%.3f,\"offset\":%.3f}", first ? "" : ",",
                        r.profile - 1, r.amplitude, r.offset);
            first = false;
        }
        std::printf("]}\n");
        return 0;
    }
    std::printf("profile  amplitude (V)  offset (V)\n");
    for (const FlangingProfileRow& r : f.table)
        if (r.profile <= count)
            std::printf("%7d  %13.3f  %10.3f\n", r.profile - 1, r.amplitude, r.offset);
    return 0;
}

}  // namespace

std::string VariantUsage() {
    return "  flanging-profiles [--json]\n"
           "                       the flanging machine's profile table (8, or 16 on board type "
           "0A00)\n";
}

bool IsVariantCommand(const std::string& name) {
    return name == "flanging-profiles";
}

std::optional<Plan> VariantPlan(const std::vector<std::string>& a) {
    if (a.size() > 2 || (a.size() == 2 && a[1] != "--json")) {
        std::fprintf(stderr, "orvan-cli: flanging-profiles takes only --json\n");
        return std::nullopt;
    }
    const bool json = a.size() == 2;
    return Plan([json](TToolRunner& run) { return FlangingProfiles(run, json); });
}

}  // namespace orvan::cli
