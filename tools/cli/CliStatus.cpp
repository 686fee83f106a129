// orvan-cli status: the window's status polling on the command line, one
// line (or one JSON object) per completed poll cycle, for N cycles or until
// interrupted.

#include <string>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "features/BoardOperations.h"
#include "features/StatusPolling.h"

namespace orvan::cli {

namespace {

class TCycleLines : public features::IStatusPollingView {
  public:
    TCycleLines(TBoard& board, bool json) : board_(board), json_(json) {}
    void OnCycleComplete(const features::TStatusSnapshot& s) override {
        board_.Out(json_ ? features::SnapshotJson(s) : features::SnapshotLine(s));
    }

  private:
    TBoard& board_;
    bool json_;
};

}  // namespace

TPlan Status(const Options& opt) {
    const auto w = TWords::Split(opt, {"--json"}, {"--count"}, 0, 0);
    if (!w) return Done(2);
    std::uint64_t count = 0;
    if (w->Has("--count")) {
        const auto n = ParseWhole(w->Value("--count"), 1, 1000000000LL);
        if (!n)
            return Usage(opt.args[0], "--count wants 1 to 1000000000, not " + w->Value("--count"));
        count = static_cast<std::uint64_t>(*n);
    }
    const bool json = w->Has("--json");
    return OnBoard([count, json](TBoard& b) {
        TCycleLines lines(b, json);
        features::TAttachment<TCycleLines> attached(b.Core(), lines);
        // No configuration is loaded here: the readings are shown raw.
        b.Core().Polling().flags = {true, true, true, true, false};
        return features::ExitCode(b.Run(features::PollingOperation(b.Core(), {count})));
    });
}

}  // namespace orvan::cli
