// Exchange latency end to end through a pseudo-terminal against the simulated
// board, in ticks per exchange against the floor of five ticks (the send, the
// tick that first counts the answer, three quiet ticks), and the processor
// time the idle exchange cycle costs. Both print a ratio against their target:
// latency at most 1.1 times the floor, idle cost under 0.5 % of one core.

#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdio>
#include <string>

#include "Summary.h"
#include "boardsim/PtyBoard.h"
#include "link/Comprotocol.h"
#include "link/ExchangeCycle.h"
#include "link/TickDriver.h"
#include "link/Tserial.h"

using namespace orvan;

namespace {

class Quiet : public link::IExchangeListener {
  public:
    void OnLinkState(std::string_view) override {}
    void OnTxLog(const std::string&) override {}
    void OnRxLog(const std::string&) override {}
    void OnAnswer(const std::uint8_t*, std::uint8_t) override { ++answers; }
    void OnRxTimeout() override { ++timeouts; }
    int answers = 0;
    int timeouts = 0;
};

struct Rig {
    sim::TPtyBoard board;
    link::Tserial port;
    link::SystemClock clock;
    link::TComProtocol protocol{port, clock};
    Quiet listener;
    link::TExchangeCycle cycle{protocol, clock, listener};
    bool ok = false;

    explicit Rig(std::int32_t speed) {
        std::string error;
        if (!board.Open(&error) || !board.LoadOrCreateEeprom(&error)) return;
        board.Start();
        ok = port.OpenPort(board.DevicePath().c_str(), speed, 0) == link::kOpenOk;
    }
};

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_ExchangeLatency(benchmark::State& state) {
    Rig rig(static_cast<std::int32_t>(state.range(0)));
    if (!rig.ok) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::int64_t ticks = 0, exchanges = 0;
    for (auto _ : state) {
        (void)rig.protocol.QueueCommand(link::TCmd(0x0B, {0x00, 0x00}));
        // Ticks from the one that sends to the one that takes the answer, plus
        // the idle tick on which the next command could go out.
        ticks += link::RunTicks([&] {
            rig.cycle.Tick();
            return rig.protocol.QueueCount() > 0 || rig.protocol.InFlight();
        });
        ++exchanges;
    }
    const double perExchange = static_cast<double>(ticks) / static_cast<double>(exchanges);
    state.counters["ticks_per_exchange"] = perExchange;
    state.counters["ratio_to_floor"] = perExchange / 5.0;
    state.counters["timeouts"] = rig.listener.timeouts;
    std::printf(
        "exchange latency at %lld bit/s: %.2f ticks per exchange, ratio %.3f to the floor of 5 "
        "(target <= 1.1)\n",
        static_cast<long long>(state.range(0)), perExchange, perExchange / 5.0);
    orvan::bench::BenchSummary(
        orvan::bench::Fmt("exchange latency, %lld bit/s", static_cast<long long>(state.range(0))),
        orvan::bench::Fmt("%.2f ticks", perExchange), "<= 1.1 x 5 ticks", perExchange / 5.0,
        perExchange / 5.0 <= 1.1);
}
BENCHMARK(BM_ExchangeLatency)
    ->Arg(56700)
    ->Arg(9600)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_IdleCycleCpu(benchmark::State& state) {
    Rig rig(56700);
    if (!rig.ok) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double c0 = ThreadCpuSeconds();
        const auto w0 = std::chrono::steady_clock::now();
        link::RunTicks(
            [&] {
                rig.cycle.Tick();
                return true;
            },
            link::kExchangeTickMs, 3000);
        cpu += ThreadCpuSeconds() - c0;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    }
    const double percent = 100.0 * cpu / wall;
    state.counters["cpu_percent_of_core"] = percent;
    state.counters["ratio_to_target"] = percent / 0.5;
    std::printf(
        "idle exchange cycle: %.4f %% of one core, ratio %.3f to the target of 0.5 %% (target < "
        "1)\n",
        percent, percent / 0.5);
    orvan::bench::BenchSummary("idle exchange cycle, CPU", orvan::bench::Fmt("%.4f %%", percent),
                               "< 0.5 % of a core", percent / 0.5, percent < 0.5);
}
BENCHMARK(BM_IdleCycleCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
