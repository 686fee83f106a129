#pragma once
// Drives a tick function from a real periodic schedule, for programs without
// a message loop (the command-line companion, the benchmarks). Each tick waits
// for the next period boundary, so a slow tick does not shift the later ones.

#include <cstdint>
#include <functional>

namespace orvan::link {

inline constexpr int kExchangeTickMs = 30;

// Fast exchange: between ticks, wait on the port's descriptor and call
// `readable` as soon as bytes arrive (false from it stops the run). On
// Windows the descriptor is the port's event handle (as an int), signalled
// while bytes wait or once the line is gone.
struct TReadableWake {
    int fd = -1;
    std::function<bool()> readable;
};

// Calls `tick` once per period until it returns false or `limitMs` has passed.
// Returns the number of ticks run. With `wake`, the waits between ticks end
// early whenever the port becomes readable.
std::int64_t RunTicks(const std::function<bool()>& tick, int periodMs = kExchangeTickMs,
                      std::int64_t limitMs = -1, const TReadableWake* wake = nullptr);

}  // namespace orvan::link
