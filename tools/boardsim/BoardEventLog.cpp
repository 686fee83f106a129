// The simulated board's event log: what a source that has been in the field
// for a year or so holds at EEPROM 784 (factory tuning, current corrections,
// maximum-current changes, secondary tunings), 11 bytes a record, the rest
// erased. Written out here rather than taken from the program, so the
// program's decoding is checked against an independent encoding.

#include <algorithm>
#include <cstdint>

#include "boardsim/PtyBoard.h"

namespace orvan::sim {

namespace {

constexpr std::size_t kEventLogAddress = 784;
constexpr std::size_t kEventLogBytes = 231;
constexpr std::size_t kRecordBytes = 11;

struct SampleEvent {
    std::uint32_t time;  // calendar seconds since 1970
    std::uint16_t v0, v1, v2;
    std::uint8_t type;
};

// 2025-03-14 09:12:40 onwards.
constexpr SampleEvent kSample[] = {
    {1741943560, 0, 0, 0, 1},         // factory tuning
    {1741945205, 4500, 12, 1, 6},     // Imax 45 A to EEPROM, first change
    {1743606180, 1050, 4000, 35, 3},  // +10.5 % of 40 A in RAM
    {1743607230, 980, 4000, 36, 4},   // +9.8 % of 40 A to EEPROM
    {1758195910, 4380, 210, 0, 2},    // secondary tuning, 43.8 A
    {1762331400, 4600, 250, 2, 5},    // Imax 46 A in RAM
    {1762331472, 4600, 251, 3, 6},    // and to EEPROM
    {1782136975, 4420, 812, 0, 2},    // secondary tuning, 44.2 A
    {1782137400, 1020, 4420, 815, 4}, // +10.2 % of 44.2 A to EEPROM
};

}  // namespace

void WriteSampleEventLog(std::array<std::uint8_t, kEepromSize>& eeprom) {
    std::uint8_t* log = eeprom.data() + kEventLogAddress;
    std::fill(log, log + kEventLogBytes, 0xFF);
    std::size_t at = 0;
    for (const SampleEvent& e : kSample) {
        std::uint8_t* p = log + at;
        for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(e.time >> (8 * i));
        const std::uint16_t v[3] = {e.v0, e.v1, e.v2};
        for (int i = 0; i < 3; ++i) {
            p[4 + 2 * i] = static_cast<std::uint8_t>(v[i]);
            p[5 + 2 * i] = static_cast<std::uint8_t>(v[i] >> 8);
        }
        p[10] = e.type;
        at += kRecordBytes;
    }
}

}  // namespace orvan::sim
