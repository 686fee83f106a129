// Fast exchange against the line itself: a configuration read, a
// configuration write and a whole-memory dump with the simulated board on a
// pseudo-terminal, which answers at the pace of the line speed set (a
// request's bytes take their line time to arrive, an answer's bytes leave
// one byte time apart). Driven as orvan-cli drives it: the 30 ms tick, and in
// between a wait on the port that hands bytes to the engine as they arrive.
//
// Each figure is the time taken against the line time of every byte
// exchanged (ten bit times a byte, both directions), target at most 1.5, and
// the speed-up over the default engine (answers taken once the line has been
// quiet for three ticks) on the same operation.

#include <benchmark/benchmark.h>

#include "Summary.h"

#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "OperationDriver.h"
#include "boardsim/PtyBoard.h"
#include "features/BoardOperations.h"
#include "features/ConfigOperations.h"
#include "features/EepromOperations.h"
#include "features/SupervisorCore.h"
#include "link/TickDriver.h"
#include "link/Tserial.h"

using namespace orvan;

namespace {

// Counts the bytes on the line, both ways.
class ByteCount : public link::ILineTap {
  public:
    void OnLineBytes(bool, const std::uint8_t*, std::size_t count) override { bytes += count; }
    std::size_t bytes = 0;
};

enum class Op { Read, Write, Dump };
const char* OpName(Op op) {
    return op == Op::Read    ? "configuration read"
           : op == Op::Write ? "configuration write"
                             : "whole-memory dump";
}

struct Rig {
    sim::TPtyBoard board;
    link::Tserial port;
    link::SystemClock clock;
    bench::TOutcomes quiet;
    ByteCount count;
    features::TSupervisorCore core{port, clock, quiet};
    std::filesystem::path backups;
    bool ok = false;

    explicit Rig(int speed) {
        std::string error;
        if (!board.Open(&error) || !board.LoadOrCreateEeprom(&error)) return;
        board.Start();
        if (port.OpenPort(board.DevicePath().c_str(), speed, 0) != link::kOpenOk) return;
        core.Attach(quiet);
        backups = std::filesystem::temp_directory_path() /
                  ("orvan-bench-fast-" + std::to_string(::getpid()));
        core.Operations().SetBackupDir(backups.string());
        // Identity first, then the record a write sends: what the board holds.
        ok = Start(features::InfoOperation(core)) &&
             Start(features::ConfigReadOperation(core, {false, {}, false, false}));
        core.Engine().protocol.SetTap(&count);
    }
    ~Rig() {
        core.Engine().protocol.SetTap(nullptr);
        std::error_code ec;
        if (!backups.empty()) std::filesystem::remove_all(backups, ec);
    }
    void Drive(const std::function<bool()>& going) {
        const auto tick = [&] {
            core.Tick();
            return going();
        };
        link::TReadableWake wake{port.Descriptor(), tick};
        link::RunTicks(tick, link::kExchangeTickMs, 60000, core.FastMode() ? &wake : nullptr);
    }
    bool Start(std::unique_ptr<features::TOperation> op) {
        const int before = quiet.finished;
        core.Operations().Start(std::move(op));
        Drive([&] { return quiet.finished == before; });
        return quiet.finished > before && quiet.last.Completed();
    }
    // Milliseconds the operation took and the bytes it exchanged.
    bool Run(Op op, bool fast, double& ms, std::size_t& bytes) {
        core.SetFastMode(fast);
        const int before = quiet.finished;
        count.bytes = 0;
        const auto t0 = std::chrono::steady_clock::now();
        const bool started = core.Operations().Start(
            op == Op::Read    ? features::ConfigReadOperation(core, {false, {}, false, false})
            : op == Op::Write ? features::ConfigWriteOperation(core, {})
                              : features::EepromDumpOperation(core, {}));
        if (!started) return false;
        Drive([&] { return quiet.finished == before; });
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                 .count();
        bytes = count.bytes;
        return quiet.finished > before && quiet.last.Completed();
    }
};

void BM_Fast(benchmark::State& state) {
    const Op op = static_cast<Op>(state.range(0));
    const int speed = static_cast<int>(state.range(1));
    Rig rig(speed);
    if (!rig.ok) {
        state.SkipWithError("no pseudo-terminal or the board did not answer");
        return;
    }
    double fastMs = 0, slowMs = 0;
    std::size_t bytes = 0;
    int runs = 0;
    for (auto _ : state) {
        double ms = 0;
        if (!rig.Run(op, true, ms, bytes)) {
            state.SkipWithError(("fast: " + rig.quiet.last.message).c_str());
            return;
        }
        fastMs += ms;
        ++runs;
    }
    fastMs /= runs;
    std::size_t slowBytes = 0;
    if (!rig.Run(op, false, slowMs, slowBytes)) {
        state.SkipWithError(("default: " + rig.quiet.last.message).c_str());
        return;
    }
    const double lineMs = static_cast<double>(bytes) * 10.0 * 1000.0 / speed;
    state.counters["fast_ms"] = fastMs;
    state.counters["line_ms"] = lineMs;
    state.counters["ratio_to_line"] = fastMs / lineMs;
    state.counters["speedup"] = slowMs / fastMs;
    std::printf(
        "%s at %d bit/s, fast exchange: %.0f ms for %zu bytes (line time %.0f ms), ratio %.2f "
        "(target <= 1.5); default engine %.0f ms, speed-up %.1fx\n",
        OpName(op), speed, fastMs, bytes, lineMs, fastMs / lineMs, slowMs, slowMs / fastMs);
    const double ratio = fastMs / lineMs;
    bench::BenchSummary(bench::Fmt("fast %s at %d bit/s, time over line time", OpName(op), speed),
                        bench::Fmt("%.0f ms (line %.0f ms, %.1fx faster than default)", fastMs,
                                   lineMs, slowMs / fastMs),
                        "1.5", ratio / 1.5, ratio <= 1.5);
}
BENCHMARK(BM_Fast)
    ->ArgsProduct({{static_cast<int>(Op::Read), static_cast<int>(Op::Write),
                    static_cast<int>(Op::Dump)},
                   {56700, 9600}})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
