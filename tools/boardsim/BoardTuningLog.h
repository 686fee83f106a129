#pragma once
// The tuning log as a board keeps it at 400..719: two copies of one layout,
// each with its check and write sequence number; a new tuning is written
// into the older copy, so one good copy survives a write cut short. Written
// out here from the board's description, not taken from the program, so the
// simulator stays an independent check of the program's decoding.

#include <array>
#include <cstdint>

#include "boardsim/BoardModel.h"

namespace orvan::sim {

inline constexpr std::size_t kSimTuningLogAddress = 400;
inline constexpr std::size_t kSimTuningCopySize = 160;

struct TSimTuning {
    std::uint32_t time = 0;         // seconds since 1970
    std::uint32_t workSeconds = 0;  // source work time then
    std::uint16_t current = 0;      // fraction of the maximum diode current, /65535
    std::uint16_t power = 0;        // 0.01 W
};

// Writes the factory tuning log: the date, the tuned currents of points
// 2..6 and `count` tunings (the newest last), into both copies.
void WriteFactoryTuningLog(std::array<std::uint8_t, kEepromSize>& eeprom, std::uint32_t date,
                           const std::array<std::uint16_t, 5>& tuned, const TSimTuning* tunings,
                           int count);
// A new tuning: the newest good copy with the entry added (ring head moved,
// tuned currents replaced, sequence up by one) is written over the other copy.
void AppendTuning(std::array<std::uint8_t, kEepromSize>& eeprom, const TSimTuning& t,
                  const std::array<std::uint16_t, 5>& tuned, bool factory);
// Sets the factory tuning date in both copies, checks made right.
void SetTuningLogDate(std::array<std::uint8_t, kEepromSize>& eeprom, std::uint32_t date);
// Spoils the check of copy 0 (A) or 1 (B), as a write cut short would.
void DamageTuningCopy(std::array<std::uint8_t, kEepromSize>& eeprom, int copy);
// The board's check over the first 158 bytes of a copy.
std::uint16_t SimTuningCheck(const std::uint8_t* copy);
// Whether a copy's stored check is right.
bool TuningCopyGood(const std::array<std::uint8_t, kEepromSize>& eeprom, int copy);

}  // namespace orvan::sim
