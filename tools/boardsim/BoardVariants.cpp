#include <cmath>

#include "boardsim/BoardModel.h"

namespace orvan::sim {

namespace {

void PutWord(std::array<std::uint8_t, kEepromSize>& e, std::size_t at, double volts) {
    const auto w = static_cast<std::uint16_t>(std::lround(volts * 6553.5));
    e[at] = static_cast<std::uint8_t>(w);
    e[at + 1] = static_cast<std::uint8_t>(w >> 8);
}

}  // namespace

void SeedFlangingProfiles(std::array<std::uint8_t, kEepromSize>& eeprom) {
    for (int k = 0; k < kFlangingProfiles; ++k) {
        const std::size_t at = kFlangingProfilesAt + 4 * static_cast<std::size_t>(k);
        PutWord(eeprom, at, (k + 1) * 0.5);
        PutWord(eeprom, at + 2, k * 0.25);
    }
}

}  // namespace orvan::sim
