#pragma once
// The board's EEPROM as the program uses it, defined once: the configuration
// image (src/config) and the reads and writes of the command layer and the
// features all take their addresses and sizes from here.

#include <cstddef>
#include <cstdint>

namespace orvan::link {

inline constexpr std::size_t kEepromSize = 1024;
inline constexpr std::size_t kEepromPageSize = 32;  // one write may not cross a page

inline constexpr std::uint16_t kSerialNumberAddress = 0;
inline constexpr std::size_t kSerialNumberSize = 15;

inline constexpr std::uint16_t kConfigImageAddress = 16;
inline constexpr std::size_t kConfigImageSize = 384;
inline constexpr std::uint8_t kConfigBlocks = 24;  // written in blocks of 16
inline constexpr std::uint8_t kConfigBlockSize = 16;

inline constexpr std::uint16_t kFlangingProfilesAddress = 32;  // inside the image

inline constexpr std::uint16_t kTuningLogAddress = 400;
inline constexpr std::size_t kTuningLogSize = 320;

inline constexpr std::uint16_t kEventLogAddress = 784;
inline constexpr std::size_t kEventLogSize = 231;

static_assert(kSerialNumberAddress + kSerialNumberSize <= kConfigImageAddress);
static_assert(kConfigBlocks * kConfigBlockSize == kConfigImageSize);
static_assert(kConfigImageAddress + kConfigImageSize == kTuningLogAddress);
static_assert(kTuningLogAddress + kTuningLogSize <= kEventLogAddress);
static_assert(kEventLogAddress + kEventLogSize <= kEepromSize);
static_assert(kEepromSize % kEepromPageSize == 0);

}  // namespace orvan::link
