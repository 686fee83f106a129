#pragma once
// The serial devices a technician's board may sit on under Linux.
// Toolkit-free; the window lists the devices in its port menu and asks them
// for a board with features::FindBoards.

#include <string>
#include <vector>

namespace orvan::link {

// /dev/ttyUSB*, /dev/ttyACM* and /dev/ttyS* that exist, in natural order
// (USB adapters first, then ACM, then the platform ports). On Windows the
// present ports "COM1", "COM2", ... in the order of their numbers, from the
// system's device database; `devDir` is not used there.
std::vector<std::string> DetectSerialDevices(const std::string& devDir = "/dev");

}  // namespace orvan::link
