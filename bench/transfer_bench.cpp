// A whole configuration read and write against the simulated board on a
// pseudo-terminal at 56700 bit/s, driven by real 30 ms ticks, against the
// floor the exchange rules allow: 12 reads, then the write's two reads alike
// of what the board holds (24 reads: its backup is always read afresh, and
// only two reads that agree make it exact) and 24 written blocks, each
// exchange at least five ticks (the send, the tick that first counts the
// answer, three quiet ticks), 60 x 5 x 30 ms = 9000 ms. Target: ratio at
// most 1.1. The write also reads the board's serial number first (one more
// exchange), which the measured time includes.

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "OperationDriver.h"
#include "Summary.h"
#include "boardsim/PtyBoard.h"
#include "features/BoardOperations.h"
#include "features/ConfigOperations.h"
#include "features/SupervisorCore.h"
#include "link/TickDriver.h"
#include "link/Tserial.h"

using namespace orvan;

namespace {

constexpr double kFloorMs = 60.0 * 5 * link::kExchangeTickMs;

struct Rig {
    sim::TPtyBoard board;
    link::Tserial port;
    link::SystemClock clock;
    bench::TOutcomes quiet;
    features::TSupervisorCore core{port, clock, quiet};
    std::filesystem::path backups;
    bool ok = false;

    Rig() {
        std::string error;
        if (!board.Open(&error) || !board.LoadOrCreateEeprom(&error)) return;
        board.Start();
        if (port.OpenPort(board.DevicePath().c_str(), 56700, 0) != link::kOpenOk) return;
        core.Attach(quiet);
        backups = std::filesystem::temp_directory_path() /
                  ("orvan-bench-backups-" + std::to_string(::getpid()));
        core.Operations().SetBackupDir(backups.string());
        // Identity first, as on connecting: the protocol version is known.
        core.Operations().Start(features::InfoOperation(core));
        Run();
        ok = quiet.last.Completed();
    }
    ~Rig() {
        std::error_code ec;
        if (!backups.empty()) std::filesystem::remove_all(backups, ec);
    }
    // Milliseconds until the started operation reported its end.
    double Run() {
        const int before = quiet.finished;
        const auto t0 = std::chrono::steady_clock::now();
        link::RunTicks(
            [&] {
                core.Tick();
                return quiet.finished == before;
            },
            link::kExchangeTickMs, 60000);
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
            .count();
    }
};

void BM_ConfigWriteAndRead(benchmark::State& state) {
    Rig rig;
    if (!rig.ok) {
        state.SkipWithError("no pseudo-terminal or no board identity");
        return;
    }
    double readMs = 0, writeMs = 0;
    int runs = 0;
    for (auto _ : state) {
        if (!rig.core.Operations().Start(
                features::ConfigReadOperation(rig.core, {false, {}, false, false})))
            break;
        readMs += rig.Run();
        if (!rig.quiet.last.Completed()) {
            state.SkipWithError(rig.quiet.last.message.c_str());
            return;
        }
        if (!rig.core.Operations().Start(features::ConfigWriteOperation(rig.core, {}))) break;
        writeMs += rig.Run();
        if (!rig.quiet.last.Completed()) {
            state.SkipWithError(rig.quiet.last.message.c_str());
            return;
        }
        ++runs;
    }
    if (runs == 0) return;
    const double read = readMs / runs, write = writeMs / runs, total = read + write;
    state.counters["read_ms"] = read;
    state.counters["write_ms"] = write;
    state.counters["ratio_to_floor"] = total / kFloorMs;
    std::printf(
        "configuration write and read at 56700 bit/s: %.0f ms (write %.0f ms, read %.0f "
        "ms), ratio %.3f to the floor of %.0f ms (target <= 1.1)\n",
        total, write, read, total / kFloorMs, kFloorMs);
    orvan::bench::BenchSummary(
        "configuration write + read, 56700 bit/s", orvan::bench::Fmt("%.0f ms", total),
        orvan::bench::Fmt("<= 1.1 x %.0f ms", kFloorMs), total / kFloorMs, total / kFloorMs <= 1.1);
}
BENCHMARK(BM_ConfigWriteAndRead)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
