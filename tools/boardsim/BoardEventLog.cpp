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

// From the factory tuning (2026-01-15 10:00:00, as in the sample tuning log)
// on; the secondary tunings fall on those of the tuning log too.
constexpr SampleEvent kSample[] = {
    {1768471200, 0, 0, 0, 1},           // factory tuning
    {1768473000, 4500, 1, 1, 6},        // Imax 45 A to EEPROM, first change
    {1770000000, 1050, 4000, 120, 3},   // +10.5 % of 40 A in RAM
    {1770000600, 980, 4000, 120, 4},    // +9.8 % of 40 A to EEPROM
    {1772443800, 4380, 500, 0, 2},      // secondary tuning, 43.8 A at 500 h
    {1775000000, 4600, 700, 2, 5},      // Imax 46 A in RAM
    {1775000072, 4600, 700, 3, 6},      // and to EEPROM
    {1781964300, 4420, 1000, 0, 2},     // secondary tuning, 44.2 A at 1000 h
    {1781965000, 1020, 4420, 1000, 4},  // +10.2 % of 44.2 A to EEPROM
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
