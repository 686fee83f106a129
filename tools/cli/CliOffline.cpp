#include "Cli.h"

namespace orvan::cli {

std::string OfflineUsage() { return ""; }

bool IsOfflineCommand(const std::string&) { return false; }

int RunOfflineCommand(const Options&) { return 2; }

}  // namespace orvan::cli
