#pragma once
// "Find board...": which serial devices a board answers on. Each device is
// opened through the port code the program always uses, given a core of its
// own, and asked for its firmware version (an operation of that core); all
// are asked side by side, and a device whose board has not answered when the
// time is up is left out. The window's port menu uses it, and so can the
// command line.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/SerialPort.h"

namespace orvan::features {

// How long a board is given to answer.
inline constexpr int kFindBoardLimitMs = 400;

struct TFoundBoard {
    std::string device;
    std::string firmware;  // "1.02.07", as the board reported it
};

struct TBoardFinder {
    // Opens a device; null (with the reason in `why`) when it does not open.
    std::function<std::unique_ptr<link::ISerialPort>(const std::string& device, std::string& why)>
        open;
    // The time the limit is measured on, and the wait between two exchange
    // ticks (a sleep; tests advance their manual clock instead).
    const link::IClock* clock = nullptr;
    std::function<void(int ms)> wait;
    int limitMs = kFindBoardLimitMs;
};

// The devices whose board answered, in the order given.
std::vector<TFoundBoard> FindBoards(const std::vector<std::string>& devices,
                                    const TBoardFinder& finder);
// On the serial ports at `speed`, the system clock and real time.
std::vector<TFoundBoard> FindBoards(const std::vector<std::string>& devices, std::int32_t speed,
                                    int limitMs = kFindBoardLimitMs);

}  // namespace orvan::features
