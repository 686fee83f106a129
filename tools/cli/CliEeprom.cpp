// orvan-cli EEPROM commands.

#include "cli/CliRunner.h"

namespace orvan::cli {

std::optional<Plan> EepromPlan(const std::vector<std::string>&) {
    return std::nullopt;
}

std::string EepromUsage() {
    return {};
}

bool IsEepromCommand(const std::string&) {
    return false;
}

}  // namespace orvan::cli
