#pragma once
// What the reading commands print with --json: one object per result (or one
// per line where results stream), written with nlohmann-json. Numbers are
// taken from the text the board's value is shown as, so a JSON reader gets
// 18.3 where the program shows 18.3, never a binary neighbour of it.

#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <string>

namespace orvan::cli {

using TJson = nlohmann::ordered_json;

// "18.3", "-2", "0,25": the number as written (a decimal comma taken as the
// point); nothing when the text is no plain decimal number.
inline std::optional<TJson> DecimalNumber(std::string text) {
    static const std::regex kDecimal(R"(-?[0-9]{1,18}([.,][0-9]{1,17})?)");
    if (!std::regex_match(text, kDecimal)) return std::nullopt;
    for (char& c : text)
        if (c == ',') c = '.';
    return TJson::parse(text);
}

inline std::string JsonText(const TJson& j) {
    // Board texts are not always UTF-8: shown with replacement characters
    // rather than failing the command.
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace orvan::cli
