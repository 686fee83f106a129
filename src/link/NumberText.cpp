#include "link/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace orvan::link {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::string VersionText(std::uint8_t major, std::uint8_t minor, std::uint8_t patch) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d.%02d.%02d", major, minor, patch);
    return buf;
}

std::string NumberText(double v) {
    if (v == 0) return "0";  // no "-0"
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string RoundedText(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return NumberText(std::round(v * scale) / scale);
}

std::string FormatInteger(std::int64_t v) {
    return std::to_string(v);
}

std::string FormatReal(double v, char decimalSeparator) {
    if (v == 0.0) v = 0.0;  // no "-0"
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    std::string s(buf);
    for (char& c : s)
        if (c == '.') c = decimalSeparator;
    return s;
}

bool ParseInteger(std::string_view text, std::int64_t& v) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    std::int64_t out = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    if (out < INT32_MIN || out > INT32_MAX) return false;
    v = out;
    return true;
}

bool ParseReal(std::string_view text, char decimalSeparator, double& v) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    std::string s(text);
    for (char& c : s) {
        if (c == decimalSeparator)
            c = '.';
        else if (c == '.')
            return false;  // only the user's separator is a decimal point
        else if (!((c >= '0' && c <= '9') || c == '-' || c == 'e' || c == 'E' || c == '+'))
            return false;
    }
    double out = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(out)) return false;
    v = out;
    return true;
}

}  // namespace orvan::link
