#include "features/TypedInput.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace orvan::features {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool TimeField(std::string_view field, std::string_view text, int max, int& out, std::string* why) {
    std::int64_t v = 0;
    if (!ParseTypedInteger(text, v)) {
        if (why) *why = NotAnInteger(field, text);
        return false;
    }
    if (v < 0 || v > max) {
        if (why)
            *why = std::string(field) + ": " + std::to_string(v) + " is outside 0.." +
                   std::to_string(max) + "; nothing sent";
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

}  // namespace

bool ParseTypedInteger(std::string_view text, std::int64_t& out) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 10) return false;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > UINT32_MAX) return false;
    out = v;
    return true;
}

bool ParseTypedDecimal(std::string_view text, char separator, double& out) {
    text = Trim(text);
    std::string s;
    bool digits = false, point = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 0 && (c == '+' || c == '-')) {
            s.push_back(c);
        } else if (c >= '0' && c <= '9') {
            digits = true;
            s.push_back(c);
        } else if (c == separator && !point) {
            point = true;
            s.push_back('.');
        } else {
            return false;
        }
    }
    if (!digits || s.size() > 40) return false;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

std::string NotAnInteger(std::string_view field, std::string_view text) {
    return std::string(field) + ": '" + std::string(text) + "' is not a valid integer value";
}

bool ParseTimeTexts(const TTimeTexts& texts, TTimeOfDay& out, std::string* why) {
    TTimeOfDay t;
    if (!TimeField("Hour", texts.hours, 23, t.hours, why) ||
        !TimeField("Min", texts.minutes, 59, t.minutes, why) ||
        !TimeField("Sec", texts.seconds, 59, t.seconds, why))
        return false;
    out = t;
    return true;
}

bool ParseTimeWord(std::string_view word, TTimeOfDay& out, std::string* why) {
    const std::size_t a = word.find(':');
    const std::size_t b = a == std::string_view::npos ? a : word.find(':', a + 1);
    if (b == std::string_view::npos || word.find(':', b + 1) != std::string_view::npos) {
        if (why) *why = "'" + std::string(word) + "' is not a time of day HH:MM:SS";
        return false;
    }
    const TTimeTexts t{std::string(word.substr(0, a)), std::string(word.substr(a + 1, b - a - 1)),
                       std::string(word.substr(b + 1))};
    return ParseTimeTexts(t, out, why);
}

bool ParseDateWord(std::string_view word, TDate& out, std::string* why) {
    int y = 0, m = 0, d = 0, used = 0;
    const std::string s(word);
    TDate date;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &y, &m, &d, &used) != 3 ||
        used != static_cast<int>(s.size()) || s.size() < 8 || s[4] != '-') {
        if (why) *why = "'" + s + "' is not a date YYYY-MM-DD";
        return false;
    }
    date = {y, m, d};
    if (!ValidDate(date)) {
        if (why) *why = "'" + s + "' is not a date of the calendar";
        return false;
    }
    out = date;
    return true;
}

bool ValidDate(const TDate& d) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 1 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    return d.day <= days[d.month - 1] + (d.month == 2 && leap ? 1 : 0);
}

bool ValidTime(const TTimeOfDay& t) {
    return t.hours >= 0 && t.hours <= 23 && t.minutes >= 0 && t.minutes <= 59 && t.seconds >= 0 &&
           t.seconds <= 59;
}

std::int64_t DaysSince1970(const TDate& d) {
    // March-based year: the leap day ends the year, so 367 * m / 12 counts
    // the days of the months before.
    std::int64_t m = d.month - 2, y = d.year;
    if (m <= 0) {
        m += 12;
        y -= 1;
    }
    return y * 365 + y / 4 - y / 100 + y / 400 + 367 * m / 12 + d.day - 719499;
}

int WeekDay(const TDate& d) {
    // 1970-01-01 was a Thursday (5).
    const std::int64_t w = ((DaysSince1970(d) + 4) % 7 + 7) % 7;
    return static_cast<int>(w) + 1;
}

std::string DateText(const TDate& d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

std::string TimeText(const TTimeOfDay& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hours, t.minutes, t.seconds);
    return buf;
}

std::optional<std::uint32_t> CalendarSeconds(const TDate& d, const TTimeOfDay& t) {
    if (!ValidDate(d) || !ValidTime(t)) return std::nullopt;
    const std::int64_t s = ((DaysSince1970(d) * 24 + t.hours) * 60 + t.minutes) * 60 + t.seconds;
    if (s < 0 || s > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(s);
}

TLocalNow LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    TLocalNow r;
    r.date = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
    // A leap second (60) is shown as the last second of its minute.
    r.time = {tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59)};
    return r;
}

}  // namespace orvan::features
