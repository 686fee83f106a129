#pragma once
// The stop requests an operation can be cancelled by, numbered as POSIX
// numbers its signals so that exit codes (128 + N) and words are the same on
// every system. On Windows the console's events are mapped onto them
// (Ctrl-C: interrupt; Ctrl-Break, closing the console, logoff, shutdown:
// terminate and hang-up, see the companion's console handler).

#include <string>

namespace orvan::link {

inline constexpr int kSignalHangUp = 1;
inline constexpr int kSignalInterrupt = 2;
inline constexpr int kSignalTerminate = 15;

// The words outcomes use for a stop request, with what the user did on
// systems where the name alone would not tell.
inline std::string StopSignalText(int sig) {
    switch (sig) {
        case kSignalInterrupt:
            return "SIGINT (Ctrl-C)";
#ifdef _WIN32
        case kSignalTerminate:
            return "SIGTERM (Ctrl-Break)";
        case kSignalHangUp:
            return "SIGHUP (console closed)";
#else
        case kSignalTerminate:
            return "SIGTERM";
        case kSignalHangUp:
            return "SIGHUP";
#endif
        default:
            return "signal " + std::to_string(sig);
    }
}

}  // namespace orvan::link
