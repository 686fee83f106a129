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

void SetImageFiller(std::array<std::uint8_t, kEepromSize>& eeprom, std::uint8_t value) {
    std::uint8_t* image = eeprom.data() + config::kImageEepromAddress;
    image[1] = image[43] = image[51] = value;
    std::fill(image + config::kImageDataSize, image + config::kImageSize - 2, value);
    // Three of them lie inside the checksummed part.
    config::TWelderCfgBlank::StampImageChecksum(image);
}

void SetImageLayout(std::array<std::uint8_t, kEepromSize>& eeprom, std::uint8_t version,
                    std::uint16_t size) {
    std::uint8_t* image = eeprom.data() + config::kImageEepromAddress;
    image[0] = version;
    image[2] = static_cast<std::uint8_t>(size);
    image[3] = static_cast<std::uint8_t>(size >> 8);
    config::TWelderCfgBlank::StampImageChecksum(image);
}

}  // namespace orvan::sim
