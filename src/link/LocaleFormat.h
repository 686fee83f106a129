#pragma once
// The user's short-date and long-time formats. Under the plain C locale (no
// user locale set) a fixed day/month/year and 24-hour form is used, which is
// what technicians here read.

#include <chrono>
#include <string>

namespace orvan::link {

std::string FormatShortDate(std::chrono::system_clock::time_point t);
std::string FormatLongTime(std::chrono::system_clock::time_point t);

}  // namespace orvan::link
