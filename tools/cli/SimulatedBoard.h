#pragma once
// The built-in simulated board of --simulate: the simulator on a
// pseudo-terminal the companion then opens as its device (POSIX only; on
// Windows Start says it is not available).

#include <memory>
#include <string>

namespace orvan::cli {

class TSimulatedBoard {
  public:
    TSimulatedBoard();
    ~TSimulatedBoard();
    TSimulatedBoard(const TSimulatedBoard&) = delete;
    TSimulatedBoard& operator=(const TSimulatedBoard&) = delete;

    // Starts the board; `device` is then the path to open. False with `error`.
    bool Start(std::string& device, std::string& error);

  private:
    struct TState;
    std::unique_ptr<TState> state_;
};

}  // namespace orvan::cli
