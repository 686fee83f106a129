#include <algorithm>
#include <cstring>

#include "boardsim/PtyBoard.h"
#include "config/Cfgwelder.h"

namespace orvan::sim {

std::array<std::uint8_t, kEepromSize> DefaultEeprom() {
    std::array<std::uint8_t, kEepromSize> e{};
    e.fill(0xFF);
    std::fill_n(e.begin(), 16, 0);
    const char* serial = "SIM-000001";
    std::memcpy(e.data(), serial, std::strlen(serial));

    // The configuration image at addresses 16 to 399, built the way the tool
    // builds it for a board, so its checksum is right.
    config::TWelderCfgBlank cfg = config::DefaultConfiguration();
    config::BuildDeviceImage(cfg, e.data() + config::kImageEepromAddress);
    return e;
}

}  // namespace orvan::sim
