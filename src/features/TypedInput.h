#pragma once
// What the board tools take from the user (edits, prompts, command-line
// words) and the calendar arithmetic they share. Every check here runs before
// anything is queued: a value the board cannot hold is refused with a message
// naming the field, never wrapped into a byte.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/Result.h"

namespace orvan::features {

struct TDate {
    int year = 2000, month = 1, day = 1;
    bool operator==(const TDate&) const = default;
};
struct TTimeOfDay {
    int hours = 0, minutes = 0, seconds = 0;
    bool operator==(const TTimeOfDay&) const = default;
};
// The three time edits as typed ("Hour", "Min", "Sec").
struct TTimeTexts {
    std::string hours, minutes, seconds;
};

// A whole decimal number as typed (blanks around it allowed, an optional
// sign); false for anything else or beyond 32 bits.
[[nodiscard]] bool ParseTypedInteger(std::string_view text, std::int64_t& out);
// A decimal number with `separator` as its decimal point (blanks around
// allowed, no exponent); false for anything else.
[[nodiscard]] bool ParseTypedDecimal(std::string_view text, char separator, double& out);
// "Hour: 'x' is not a valid integer value", the message a text that does not
// convert gets.
std::string NotAnInteger(std::string_view field, std::string_view text);

// The time edits as a time of day: each a whole number, hours 0..23,
// minutes and seconds 0..59. Failing, `why` names the field.
[[nodiscard]] bool ParseTimeTexts(const TTimeTexts& texts, TTimeOfDay& out, std::string* why);
// "HH:MM:SS" (one or two digits each) and "YYYY-MM-DD", as the command line
// takes them.
[[nodiscard]] bool ParseTimeWord(std::string_view word, TTimeOfDay& out, std::string* why);
[[nodiscard]] bool ParseDateWord(std::string_view word, TDate& out, std::string* why);

bool ValidDate(const TDate& d);
bool ValidTime(const TTimeOfDay& t);
// Days since 1970-01-01 of a calendar date (proleptic Gregorian).
std::int64_t DaysSince1970(const TDate& d);
// 1 Sunday .. 7 Saturday.
int WeekDay(const TDate& d);
std::string DateText(const TDate& d);       // "2026-12-07"
std::string TimeText(const TTimeOfDay& t);  // "09:05:30"

// Seconds since 1970-01-01 00:00:00 of a date and time, counted on the
// calendar with no time zone. Nothing when the result does not fit the
// board's 32-bit counter (before 1970 or after 2106-02-07 06:28:15).
std::optional<std::uint32_t> CalendarSeconds(const TDate& d, const TTimeOfDay& t);

// The PC's local date and time now.
struct TLocalNow {
    TDate date;
    TTimeOfDay time;
};
TLocalNow LocalNow();

}  // namespace orvan::features
