#include "LongRun.h"

#include <malloc.h>

#include <algorithm>
#include <string>

#include "boardsim/SimPort.h"
#include "features/BoardOperations.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"
#include "link/TickDriver.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVAN_LONGRUN_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORVAN_LONGRUN_ASAN 1
#endif
#ifdef ORVAN_LONGRUN_ASAN
#include <sanitizer/allocator_interface.h>
#endif

namespace orvan::test {

namespace {

class CountingSink : public link::IExchangeListener, public commands::INotifier {
  public:
    void OnLinkState(std::string_view) override {}
    void OnTxLog(const std::string& line) override { Count(line); }
    void OnRxLog(const std::string& line) override { Count(line); }
    void OnAnswer(const std::uint8_t*, std::uint8_t) override {}
    void OnRxTimeout() override { ++timeouts; }
    void ShowRefusal(std::string_view, std::string_view) override { ++boxes; }
    void ShowMissingAck(std::string_view, std::string_view) override { ++boxes; }

    std::uint64_t lines = 0, bytes = 0, timeouts = 0, boxes = 0;

  private:
    void Count(const std::string& line) {
        ++lines;
        bytes += line.size() + 1;
    }
};

}  // namespace

long long HeapBytesInUse() {
#ifdef ORVAN_LONGRUN_ASAN
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    const struct mallinfo2 m = mallinfo2();
    return static_cast<long long>(m.uordblks + m.hblkhd);
#else
    return -1;
#endif
}

TLongRunFigures RunLongPolling(std::int64_t simulatedMs,
                               const std::function<void(int, long long)>& minute) {
    TLongRunFigures f;
    sim::TBoardModel model;
    link::ManualClock clock;
    model.nowMs = [&clock] { return clock.MonotonicMs(); };
    model.Eeprom() = sim::DefaultEeprom();
    model.liveValues = true;
    sim::TSimPort port(model);
    CountingSink sink;
    features::TSupervisorCore core(port, clock, sink, &sink);
    core.SetTrafficLog(true, true);
    features::TStatusPolling& polling = core.Polling();
    polling.flags = {true, true, true, true, true};
    // Polling as the window and orvan-cli run it: the operation asks the
    // board type and versions first, and keeps the 150 ms cadence.
    const auto start = [&core] {
        (void)core.Operations().Start(features::PollingOperation(core, {}));
    };
    start();

    constexpr std::int64_t kTick = link::kExchangeTickMs;
    constexpr std::int64_t kMinuteMs = 60'000;
    const std::int64_t ticks = simulatedMs / kTick;
    const std::uint64_t cyclesBefore = polling.CyclesCompleted();
    for (std::int64_t t = 0; t < ticks; ++t) {
        core.Tick();
        clock.Advance(kTick);
        if (!core.Operations().BackgroundBusy()) {
            ++f.stops;
            start();
        }
        const std::int64_t now = (t + 1) * kTick;
        if (now % kMinuteMs == 0) {
            // The port's record of every request is the test's, not the
            // program's: emptied so that it does not count as growth.
            port.bodies.clear();
            port.bodies.shrink_to_fit();
            const long long heap = HeapBytesInUse();
            const int m = static_cast<int>(now / kMinuteMs);
            if (m == 1) {
                f.heapAfterFirstMinute = heap;
                f.largestGrowth = heap < 0 ? -1 : 0;
            } else if (heap >= 0 && f.heapAfterFirstMinute >= 0) {
                f.largestGrowth = std::max(f.largestGrowth, heap - f.heapAfterFirstMinute);
            }
            if (minute) minute(m, heap);
        }
    }
    port.bodies.clear();
    port.bodies.shrink_to_fit();
    f.heapAtEnd = HeapBytesInUse();
    f.simulatedHours = static_cast<double>(ticks * kTick) / 3'600'000.0;
    f.ticks = static_cast<std::uint64_t>(ticks);
    f.pollCycles = polling.CyclesCompleted() - cyclesBefore;
    f.logLines = sink.lines;
    f.logBytes = sink.bytes;
    f.timeouts = sink.timeouts;
    return f;
}

}  // namespace orvan::test
