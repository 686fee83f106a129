// The whole-memory dump against the simulated board on a pseudo-terminal at
// 56700 bit/s, driven by real 30 ms ticks, against the floor the exchange
// rules allow: the memory read twice alike (only two reads that agree make
// an exact copy), 64 reads of 32 bytes, each exchange at least five ticks
// (the send, the tick that first counts the answer, three quiet ticks),
// 64 x 5 x 30 ms = 9600 ms. Target: ratio at most 1.1.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "OperationDriver.h"
#include "Summary.h"
#include "boardsim/PtyBoard.h"
#include "features/EepromOperations.h"
#include "features/SupervisorCore.h"
#include "link/TickDriver.h"
#include "link/Tserial.h"

using namespace orvan;

namespace {

constexpr double kFloorMs = 64.0 * 5 * link::kExchangeTickMs;

void BM_EepromDump(benchmark::State& state) {
    sim::TPtyBoard board;
    std::string error;
    if (!board.Open(&error) || !board.LoadOrCreateEeprom(&error)) {
        state.SkipWithError(("no pseudo-terminal: " + error).c_str());
        return;
    }
    board.Start();
    link::Tserial port;
    if (port.OpenPort(board.DevicePath().c_str(), 56700, 0) != link::kOpenOk) {
        state.SkipWithError("the pseudo-terminal did not open");
        return;
    }
    link::SystemClock clock;
    bench::TOutcomes quiet;
    features::TSupervisorCore core(port, clock, quiet);
    core.Attach(quiet);
    double totalMs = 0;
    int runs = 0;
    for (auto _ : state) {
        const int before = quiet.finished;
        const auto t0 = std::chrono::steady_clock::now();
        if (!core.Operations().Start(features::EepromDumpOperation(core, {}))) break;
        link::RunTicks(
            [&] {
                core.Tick();
                return quiet.finished == before;
            },
            link::kExchangeTickMs, 60000);
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                       .count();
        if (!quiet.last.Completed()) {
            state.SkipWithError(quiet.last.message.c_str());
            return;
        }
        ++runs;
    }
    if (runs == 0) return;
    const double ms = totalMs / runs;
    state.counters["dump_ms"] = ms;
    state.counters["ratio_to_floor"] = ms / kFloorMs;
    std::printf(
        "whole-memory dump at 56700 bit/s: %.0f ms, ratio %.3f to the floor of %.0f ms "
        "(target <= 1.1)\n",
        ms, ms / kFloorMs, kFloorMs);
    orvan::bench::BenchSummary("EEPROM dump, 56700 bit/s", orvan::bench::Fmt("%.0f ms", ms),
                               orvan::bench::Fmt("<= 1.1 x %.0f ms", kFloorMs), ms / kFloorMs,
                               ms / kFloorMs <= 1.1);
}
BENCHMARK(BM_EepromDump)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
