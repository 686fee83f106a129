#include "cli/SimulatedBoard.h"

namespace orvan::cli {

struct TSimulatedBoard::TState {};

TSimulatedBoard::TSimulatedBoard() = default;
TSimulatedBoard::~TSimulatedBoard() = default;

bool TSimulatedBoard::Start(std::string&, std::string& error) {
    error =
        "the built-in simulated board needs a pseudo-terminal, which Windows has not; run "
        "orvan-boardsim on Linux and give its address (--device tcp://HOST:PORT)";
    return false;
}

}  // namespace orvan::cli
