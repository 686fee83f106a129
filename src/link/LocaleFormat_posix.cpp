#include "link/LocaleFormat.h"

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <ctime>

namespace orvan::link {

namespace {

std::tm LocalTm(std::chrono::system_clock::time_point t) {
    const std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return tm;
}

bool PlainCLocale() {
    const char* name = std::setlocale(LC_TIME, nullptr);
    // "C.UTF-8" and the like are the C locale with another character set.
    return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
           std::strncmp(name, "C.", 2) == 0;
}

std::string Format(std::chrono::system_clock::time_point t, const char* fmt) {
    const std::tm tm = LocalTm(t);
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, fmt, &tm);
    return std::string(buf, n);
}

}  // namespace

std::string FormatShortDate(std::chrono::system_clock::time_point t) {
    if (PlainCLocale()) return Format(t, "%d/%m/%Y");
    return Format(t, nl_langinfo(D_FMT));
}

std::string FormatLongTime(std::chrono::system_clock::time_point t) {
    if (PlainCLocale()) return Format(t, "%H:%M:%S");
    return Format(t, nl_langinfo(T_FMT));
}

}  // namespace orvan::link
