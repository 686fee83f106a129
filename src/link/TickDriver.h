#pragma once
// Drives a tick function from a real periodic schedule, for programs without
// a message loop (the command-line companion, the benchmarks). Each tick waits
// for the next period boundary, so a slow tick does not shift the later ones.

#include <cstdint>
#include <functional>

namespace orvan::link {

inline constexpr int kExchangeTickMs = 30;

// Calls `tick` once per period until it returns false or `limitMs` has passed.
// Returns the number of ticks run.
std::int64_t RunTicks(const std::function<bool()>& tick, int periodMs = kExchangeTickMs,
                      std::int64_t limitMs = -1);

}  // namespace orvan::link
