#pragma once
// One line per figure for the table ./bench.sh prints at its end:
//   @summary<TAB>figure<TAB>measured<TAB>limit or target<TAB>ratio<TAB>ok|MISSED
// A new benchmark calls BenchSummary once per figure it measures; bench.sh
// collects the lines of every program, so nothing else needs to know of it.

#include <cstdarg>
#include <cstdio>
#include <string>

namespace orvan::bench {

inline std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline std::string Fmt(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// `met`: whether the ratio is on the right side of the target (most targets
// are ratios at most 1; a rate to reach is at least its bound).
inline void BenchSummary(const std::string& figure, const std::string& measured,
                         const std::string& limit, double ratio, bool met) {
    std::printf("@summary\t%s\t%s\t%s\t%.3f\t%s\n", figure.c_str(), measured.c_str(), limit.c_str(),
                ratio, met ? "ok" : "MISSED");
    std::fflush(stdout);
}

}  // namespace orvan::bench
