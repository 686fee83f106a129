#pragma once
// The stop requests an operation can be cancelled by, numbered as POSIX
// numbers its signals so that exit codes (128 + N) and words are the same on
// every system. On Windows the console's events are mapped onto them
// (Ctrl-C: interrupt; Ctrl-Break, closing the console, logoff, shutdown:
// terminate and hang-up, see the companion's console handler).

namespace orvan::link {

inline constexpr int kSignalHangUp = 1;
inline constexpr int kSignalInterrupt = 2;
inline constexpr int kSignalTerminate = 15;

}  // namespace orvan::link
