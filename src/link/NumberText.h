#pragma once
// Every number the program turns into text or reads from text, in one place:
// decoded board values (shortest form, rounded, versions) and the
// configuration pages' cells (integers in plain decimal, reals in general
// format with up to 15 significant digits and the user's decimal separator).

#include <cstdint>
#include <string>
#include <string_view>

namespace orvan::link {

// "%d.%02d.%02d".
std::string VersionText(std::uint8_t major, std::uint8_t minor, std::uint8_t patch);
// Shortest decimal text of a double ("0", never "-0").
std::string NumberText(double v);
// Rounded to `decimals`, then the shortest text.
std::string RoundedText(double v, int decimals);

std::string FormatInteger(std::int64_t v);
std::string FormatReal(double v, char decimalSeparator);

// Whole text (blanks around allowed), optional sign, decimal digits; false
// when it is anything else or does not fit in 32 bits.
[[nodiscard]] bool ParseInteger(std::string_view text, std::int64_t& v);
// Whole text, the user's separator as the only decimal point, optional
// exponent; false for anything else, and for infinities and NaN.
[[nodiscard]] bool ParseReal(std::string_view text, char decimalSeparator, double& v);

}  // namespace orvan::link
