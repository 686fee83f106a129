#pragma once
// The whole board memory as a file, and the checks of what the EEPROM page
// and the command line take from the user before anything is sent: typed
// text and its address, a raw read's address and length.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "features/TypedInput.h"

namespace orvan::features {

inline constexpr std::size_t kEepromBytes = 1024;
using TEepromImage = std::array<std::uint8_t, kEepromBytes>;

// Most characters one typed write carries: the request body (frame type,
// security code, two address bytes, the text) may not exceed 252 bytes. The
// security code is always counted: the board's protocol version may change
// before the request goes out.
inline constexpr std::size_t kMaxTypedText = 245;

// A dump file is the 1024 bytes, nothing else. Saved atomically.
[[nodiscard]] bool SaveDumpFile(const std::string& path, const TEepromImage& image,
                                std::string* why);
[[nodiscard]] bool LoadDumpFile(const std::string& path, TEepromImage& image, std::string* why);

// The serial number a memory image holds (bytes 0..14 up to the first zero).
std::string ImageSerialNumber(const TEepromImage& image);

// One byte that differs between what was written and what was read back.
struct TByteDifference {
    std::uint16_t address = 0;
    std::uint8_t expected = 0, actual = 0;
};
std::vector<TByteDifference> CompareImages(const TEepromImage& expected,
                                           const TEepromImage& actual);
// "3 bytes differ: 0x0010 written 41 read FF, ..." (the first `shown` named).
std::string DifferencesText(const std::vector<TByteDifference>& d, std::size_t shown = 8);

// A typed write: the address as typed, the text as bytes (one per
// character). Failing, `why` names the field and nothing may be sent.
struct TTypedWrite {
    std::uint16_t address = 0;
    std::vector<std::uint8_t> bytes;
};
[[nodiscard]] bool CheckTypedWrite(std::string_view addressText, std::string_view text,
                                   TTypedWrite& out, std::string* why);
// A raw read: address 0..1023, count 1..32, within the memory.
struct TRawRead {
    std::uint16_t address = 0;
    std::uint8_t count = 0;
};
[[nodiscard]] bool CheckRawRead(std::string_view addressText, std::string_view lengthText,
                                TRawRead& out, std::string* why);

}  // namespace orvan::features
