#pragma once
// What each field of a decoded variable is to a reader: the caption a
// technician knows it by, its unit, and how the board's raw number becomes
// the engineering value. The decoder scales by this table, and every front
// end that names or prints a field takes its words from here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvan::commands {

struct VariableField {
    // The decoder's name of the field ("stxImaxByTime"); a name ending in
    // '#' stands for a row of fields numbered from 0 ("CgaAnalog0"...).
    std::string_view field;
    std::string_view caption;  // "Estimate I max"; a row's number is appended
    std::string_view unit;     // "A"; empty when the value has none
    // engineering value = raw x num / den
    std::int64_t num = 1, den = 1;
};

// The row of a field; null for a field this table does not know.
const VariableField* FindVariableField(std::string_view field);
// The caption of a field ("Analog input 3" for "CgaAnalog3"); the field's
// own name when the table does not know it.
std::string VariableFieldCaption(std::string_view field);
// raw x num / den as the decimal it is ("18.3", "-0.25", "7"); nothing when
// it has no finite decimal expansion (a fifth of 1023ths).
std::optional<std::string> ExactDecimal(std::int64_t raw, std::int64_t num, std::int64_t den);

}  // namespace orvan::commands
