#include "boardsim/PtyBoard.h"
#include "cli/SimulatedBoard.h"

namespace orvan::cli {

struct TSimulatedBoard::TState {
    sim::TPtyBoard board;
};

TSimulatedBoard::TSimulatedBoard() = default;
TSimulatedBoard::~TSimulatedBoard() = default;

bool TSimulatedBoard::Start(std::string& device, std::string& error) {
    state_ = std::make_unique<TState>();
    sim::TPtyBoard& board = state_->board;
    if (!board.Open(&error) || !board.LoadOrCreateEeprom(&error)) {
        state_.reset();
        return false;
    }
    board.WithModel([](sim::TBoardModel& m, sim::BoardFaults&) { m.liveValues = true; });
    board.Start();
    device = board.DevicePath();
    return true;
}

}  // namespace orvan::cli
