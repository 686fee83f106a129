#pragma once
// The serial devices a technician's board may sit on under Linux, and the
// "find board" probe that asks each of them for its firmware version.
// Toolkit-free; the window lists the devices in its port menu.

#include <cstdint>
#include <string>
#include <vector>

namespace orvan::app {

// /dev/ttyUSB*, /dev/ttyACM* and /dev/ttyS* that exist, in natural order
// (USB adapters first, then ACM, then the platform ports).
std::vector<std::string> DetectSerialDevices(const std::string& devDir = "/dev");

struct FoundBoard {
    std::string device;
    std::string firmware;  // "major.minor.patch" as the board reported it
};

// Opens each device at `speed`, sends one firmware-version read and waits at
// most `timeoutMs` for its answer; the devices are probed side by side, so the
// whole search takes about one time-out. Devices that cannot be opened or do
// not answer are left out.
std::vector<FoundBoard> FindBoards(const std::vector<std::string>& devices, std::int32_t speed,
                                   int timeoutMs = 400);

}  // namespace orvan::app
