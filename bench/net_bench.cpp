// Fast exchange with the board behind a network server: the simulated board
// served on a loopback TCP port, answering at the pace of its line speed (a
// request's bytes take their line time to arrive, an answer's bytes leave one
// byte time apart), the core on a TLinkPort opened by its address and driven
// as orvan-cli drives it (the 30 ms tick, and in between a wait on the
// socket that hands bytes to the engine as they arrive).
//
// Each figure is the time a configuration read, a configuration write and a
// whole-memory dump take against what the line and the network cannot avoid:
// the line time of every byte exchanged (ten bit times a byte, both ways)
// plus one round trip per exchange. The round trip is measured on the same
// exchanges: from a request's last byte written to its answer's first byte
// read, less the line time the board spends taking the request in; the
// median of them. Target at most 1.2.

#include <benchmark/benchmark.h>

#include "Summary.h"

#include <unistd.h>
#include <algorithm>
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
#include "link/LinkPort.h"
#include "link/TickDriver.h"

using namespace orvan;

namespace {

constexpr double kTarget = 1.2;

// The bytes on the line both ways, the requests (each ends with the one zero
// byte a request carries) and the round trip of each.
class LineCount : public link::ILineTap {
  public:
    explicit LineCount(unsigned speed) : byteMs_(10.0 * 1000.0 / speed) {}
    void OnLineBytes(bool transmitted, const std::uint8_t* data, std::size_t count) override {
        const auto now = std::chrono::steady_clock::now();
        bytes += count;
        if (transmitted) {
            requestBytes_ += count;
            if (std::find(data, data + count, std::uint8_t{0}) == data + count) return;
            ++requests;
            sentAt_ = now;
            sentBytes_ = requestBytes_;
            requestBytes_ = 0;
            waiting_ = true;
        } else if (waiting_) {
            waiting_ = false;
            const double ms = std::chrono::duration<double, std::milli>(now - sentAt_).count();
            // The board's first answer byte leaves as soon as the request's
            // last byte has come in over the line.
            roundTrips.push_back(ms - static_cast<double>(sentBytes_) * byteMs_);
        }
    }
    double MedianRoundTripMs() {
        if (roundTrips.empty()) return 0;
        std::nth_element(roundTrips.begin(), roundTrips.begin() + roundTrips.size() / 2,
                         roundTrips.end());
        return std::max(0.0, roundTrips[roundTrips.size() / 2]);
    }
    std::size_t bytes = 0;
    std::size_t requests = 0;
    std::vector<double> roundTrips;

  private:
    double byteMs_;
    std::size_t requestBytes_ = 0;
    std::size_t sentBytes_ = 0;
    bool waiting_ = false;
    std::chrono::steady_clock::time_point sentAt_{};
};

enum class Op { Read, Write, Dump };
const char* OpName(Op op) {
    return op == Op::Read    ? "configuration read"
           : op == Op::Write ? "configuration write"
                             : "whole-memory dump";
}

struct Rig {
    sim::TPtyBoard board;
    link::TLinkPort port;
    link::SystemClock clock;
    unsigned speed;
    bench::TOutcomes quiet;
    LineCount count{speed};
    features::TSupervisorCore core{port, clock, quiet};
    std::filesystem::path backups;
    bool ok = false;

    explicit Rig(unsigned lineSpeed) : speed(lineSpeed) {
        std::string error;
        if (!board.OpenTcp(0, speed, &error) || !board.LoadOrCreateEeprom(&error)) return;
        board.Start();
        if (port.OpenPort(board.DevicePath().c_str(), static_cast<std::int32_t>(speed), 0) !=
            link::kOpenOk)
            return;
        core.SetFastMode(true);
        core.Attach(quiet);
        backups = std::filesystem::temp_directory_path() /
                  ("orvan-bench-net-" + std::to_string(::getpid()));
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
        link::RunTicks(tick, link::kExchangeTickMs, 120000, &wake);
    }
    bool Start(std::unique_ptr<features::TOperation> op) {
        const int before = quiet.finished;
        core.Operations().Start(std::move(op));
        Drive([&] { return quiet.finished == before; });
        return quiet.finished > before && quiet.last.Completed();
    }
    bool Run(Op op, double& ms) {
        const int before = quiet.finished;
        count = LineCount(speed);
        const auto t0 = std::chrono::steady_clock::now();
        const bool started = core.Operations().Start(
            op == Op::Read    ? features::ConfigReadOperation(core, {false, {}, false, false})
            : op == Op::Write ? features::ConfigWriteOperation(core, {})
                              : features::EepromDumpOperation(core, {}));
        if (!started) return false;
        Drive([&] { return quiet.finished == before; });
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                 .count();
        return quiet.finished > before && quiet.last.Completed();
    }
};

void BM_NetFast(benchmark::State& state) {
    const Op op = static_cast<Op>(state.range(0));
    const unsigned speed = static_cast<unsigned>(state.range(1));
    Rig rig(speed);
    if (!rig.ok) {
        state.SkipWithError("the board on the loopback port did not answer");
        return;
    }
    double totalMs = 0, floorMs = 0, lineMs = 0, rttMs = 0;
    std::size_t requests = 0;
    int runs = 0;
    for (auto _ : state) {
        double ms = 0;
        if (!rig.Run(op, ms)) {
            state.SkipWithError(rig.quiet.last.message.c_str());
            return;
        }
        rttMs = rig.count.MedianRoundTripMs();
        requests = rig.count.requests;
        lineMs = static_cast<double>(rig.count.bytes) * 10.0 * 1000.0 / speed;
        floorMs += lineMs + static_cast<double>(requests) * rttMs;
        totalMs += ms;
        ++runs;
    }
    totalMs /= runs;
    floorMs /= runs;
    const double ratio = totalMs / floorMs;
    state.counters["ms"] = totalMs;
    state.counters["line_ms"] = lineMs;
    state.counters["rtt_ms"] = rttMs;
    state.counters["ratio"] = ratio;
    std::printf(
        "%s at %u bit/s over TCP, fast exchange: %.0f ms for %zu exchanges (line time %.0f ms, "
        "round trip %.3f ms), ratio %.2f (target <= %.1f)\n",
        OpName(op), speed, totalMs, requests, lineMs, rttMs, ratio, kTarget);
    bench::BenchSummary(
        bench::Fmt("fast %s over TCP at %u bit/s, time over line time + round trips", OpName(op),
                   speed),
        bench::Fmt("%.0f ms (line %.0f ms, %zu round trips of %.3f ms)", totalMs, lineMs, requests,
                   rttMs),
        bench::Fmt("%.1f", kTarget), ratio / kTarget, ratio <= kTarget);
}
BENCHMARK(BM_NetFast)
    ->ArgsProduct({{static_cast<int>(Op::Read), static_cast<int>(Op::Write),
                    static_cast<int>(Op::Dump)},
                   {56700, 9600}})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
