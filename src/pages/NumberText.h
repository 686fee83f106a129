#pragma once
// Numbers as the configuration pages show and read them: integers in plain
// decimal, reals in general format with up to 15 significant digits and the
// user's decimal separator. Toolkit-free.

#include <cstdint>
#include <string>
#include <string_view>

namespace orvan::pages {

std::string FormatInteger(std::int64_t v);
std::string FormatReal(double v, char decimalSeparator);

// Whole text (blanks around allowed), optional sign, decimal digits; false
// when it is anything else or does not fit in 32 bits.
[[nodiscard]] bool ParseInteger(std::string_view text, std::int64_t& v);
// Whole text, the user's separator as the only decimal point, optional
// exponent; false for anything else, and for infinities and NaN.
[[nodiscard]] bool ParseReal(std::string_view text, char decimalSeparator, double& v);

}  // namespace orvan::pages
