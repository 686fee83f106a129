#pragma once
// Texts of the core (UTF-8 std::string) as the window shows them.

#include <QString>
#include <string_view>

namespace orvan::app {

inline QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace orvan::app
