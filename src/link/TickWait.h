#pragma once
// The waits between ticks, one implementation per system.

#include <chrono>

#include "link/TickDriver.h"

namespace orvan::link::detail {

// Whether the wake names something this system can wait on.
bool CanWait(const TReadableWake& wake);
// Waits until `until`, handing readable bytes to the wake as they come.
// False when the wake asked to stop.
bool WaitReadable(const TReadableWake& wake, std::chrono::steady_clock::time_point until);

// The system's timer as fine as a tick needs, for as long as this lives.
class TFineTimer {
  public:
    TFineTimer();
    ~TFineTimer();
    TFineTimer(const TFineTimer&) = delete;
    TFineTimer& operator=(const TFineTimer&) = delete;
};

}  // namespace orvan::link::detail
