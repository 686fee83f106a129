// Status polling with every polling flag on against the simulated board on a
// pseudo-terminal at 56700 bit/s, driven by real 30 ms ticks and the 150 ms
// status timer: completed poll cycles per second, as a ratio to the bound the
// exchange rules allow. A cycle is seven reads (I/O, analog, anomalies, hours,
// power readings, two head words) and each exchange takes at least five ticks,
// so the bound is 1000 / (7 x 5 x 30) = 0.952 cycles/s. Target: ratio >= 0.9.

#include <chrono>
#include <cstdio>
#include <string>

#include "Summary.h"
#include "boardsim/PtyBoard.h"
#include "features/BoardOperations.h"
#include "features/SupervisorCore.h"
#include "link/TickDriver.h"
#include "link/Tserial.h"

using namespace orvan;

namespace {

class Quiet : public commands::INotifier {
  public:
    void ShowRefusal(std::string_view, std::string_view text) override {
        std::fprintf(stderr, "refused: %.*s\n", static_cast<int>(text.size()), text.data());
    }
    void ShowMissingAck(std::string_view, std::string_view) override {}
};

}  // namespace

int main() {
    constexpr int seconds = 12;
    sim::TPtyBoard board;
    std::string error;
    if (!board.Open(&error) || !board.LoadOrCreateEeprom(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    board.WithModel([](sim::TBoardModel& m, sim::BoardFaults&) { m.liveValues = true; });
    board.Start();
    link::Tserial port;
    if (port.OpenPort(board.DevicePath().c_str(), 56700, 0) != link::kOpenOk) {
        std::fprintf(stderr, "cannot open %s\n", board.DevicePath().c_str());
        return 1;
    }
    link::SystemClock clock;
    Quiet quiet;
    features::TSupervisorCore core(port, clock, quiet);
    features::TStatusPolling& polling = core.Polling();
    polling.flags = {true, true, true, true, true};
    // Polling as the front ends start it: the operation reads the board type
    // and protocol version first, and keeps the 150 ms cadence itself.
    core.Operations().Start(features::PollingOperation(core, {}));
    link::RunTicks(
        [&] {
            core.Tick();
            return !polling.Running();
        },
        link::kExchangeTickMs, 10000);
    const std::size_t perCycle = features::PollReads(polling.flags, core.Session().boardType,
                                                     core.Session().BoardProtocolVersion(), 0)
                                     .size();
    // Steady state: the first cycles fill the queue up to the guard.
    const std::uint64_t warmup = 2;
    std::uint64_t startCycles = 0;
    std::uint32_t startAnswers = 0;
    auto t0 = std::chrono::steady_clock::now();
    link::RunTicks(
        [&] {
            core.Tick();
            if (startCycles == 0 && polling.CyclesCompleted() >= warmup) {
                startCycles = polling.CyclesCompleted();
                startAnswers = core.Engine().cycle.Cycle().RxCounter();
                t0 = std::chrono::steady_clock::now();
            }
            return polling.Running();
        },
        link::kExchangeTickMs, 1000LL * seconds);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // Counted in answers (a cycle is perCycle of them), so the few whole
    // cycles of a short run do not round the figure.
    const double cycles =
        static_cast<double>(core.Engine().cycle.Cycle().RxCounter() - startAnswers) /
        static_cast<double>(perCycle);
    const double bound = 1000.0 / (static_cast<double>(perCycle) * 5 * link::kExchangeTickMs);
    const double rate = cycles / s;
    std::printf(
        "status polling, all flags (%zu reads a cycle): %.3f cycles/s over %.1f s (%llu whole "
        "cycles), bound %.3f  ratio %.3f (target >= 0.9)\n",
        perCycle, rate, s, static_cast<unsigned long long>(polling.CyclesCompleted() - startCycles),
        bound, rate / bound);
    orvan::bench::BenchSummary(
        "status polling, all flags", orvan::bench::Fmt("%.3f cycles/s", rate),
        orvan::bench::Fmt(">= 0.9 x %.3f cycles/s", bound), rate / bound, rate / bound >= 0.9);
    return polling.Running() ? 0 : 1;
}
