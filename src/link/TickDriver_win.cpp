#include <windows.h>
// After windows.h:
#include <mmsystem.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "link/TickWait.h"

namespace orvan::link::detail {

namespace {

HANDLE WaitHandle(int descriptor) {
    // Kernel handles fit in 32 bits on 64-bit Windows (their upper half is
    // the sign extension), which is how a port hands its event over as an int.
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(descriptor));
}

}  // namespace

bool CanWait(const TReadableWake& wake) {
    return wake.fd > 0;
}

// Waits on the port's event.
bool WaitReadable(const TReadableWake& wake, std::chrono::steady_clock::time_point until) {
    using clock = std::chrono::steady_clock;
    const HANDLE event = WaitHandle(wake.fd);
    for (;;) {
        const auto now = clock::now();
        if (now >= until) return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
        const DWORD r = ::WaitForSingleObject(event, static_cast<DWORD>(left.count()));
        if (r == WAIT_TIMEOUT) continue;  // the period is over: look at the clock
        if (r != WAIT_OBJECT_0) {
            std::this_thread::sleep_until(until);
            return true;
        }
        if (!wake.readable()) return false;
        // Still signalled although the bytes were taken: a line that is gone
        // stays "readable". The tick will notice it; no spinning meanwhile.
        if (::WaitForSingleObject(event, 0) == WAIT_OBJECT_0) {
            std::this_thread::sleep_until(until);
            return true;
        }
    }
}

// The default timer resolution (15.6 ms) would stretch a 30 ms tick to 31 or
// 46 ms; one millisecond for as long as the ticks run.
TFineTimer::TFineTimer() {
    ::timeBeginPeriod(1);
}

TFineTimer::~TFineTimer() {
    ::timeEndPeriod(1);
}

}  // namespace orvan::link::detail
