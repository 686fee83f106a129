#include "boardsim/BoardTuningLog.h"

#include <algorithm>

namespace orvan::sim {

namespace {

constexpr std::size_t kHead = 16;
constexpr std::size_t kTuned = 17;
constexpr std::size_t kRing = 48;
constexpr std::size_t kEntry = 12;
constexpr std::size_t kSequence = 154;
constexpr std::size_t kCheck = 158;

std::uint8_t* Copy(std::array<std::uint8_t, kEepromSize>& e, int copy) {
    return e.data() + kSimTuningLogAddress + kSimTuningCopySize * static_cast<std::size_t>(copy);
}

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

void Stamp(std::uint8_t* copy) {
    Put16(copy + kCheck, SimTuningCheck(copy));
}

void PutEntry(std::uint8_t* copy, int slot, const TSimTuning& t) {
    std::uint8_t* e = copy + kRing + kEntry * static_cast<std::size_t>(slot);
    Put32(e, t.time);
    Put32(e + 4, t.workSeconds);
    Put16(e + 8, t.current);
    Put16(e + 10, t.power);
}

}  // namespace

std::uint16_t SimTuningCheck(const std::uint8_t* copy) {
    std::uint16_t reg = 0;
    for (std::size_t i = 0; i < kCheck; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool out = (reg & 0x8000) != 0;
            reg = static_cast<std::uint16_t>((reg << 1) | ((copy[i] >> bit) & 1));
            if (out) reg ^= 0x1021;
        }
    }
    return reg;
}

bool TuningCopyGood(const std::array<std::uint8_t, kEepromSize>& eeprom, int copy) {
    const std::uint8_t* c =
        eeprom.data() + kSimTuningLogAddress + kSimTuningCopySize * static_cast<std::size_t>(copy);
    return SimTuningCheck(c) == (c[kCheck] | (c[kCheck + 1] << 8));
}

void WriteFactoryTuningLog(std::array<std::uint8_t, kEepromSize>& eeprom, std::uint32_t date,
                           const std::array<std::uint16_t, 5>& tuned, const TSimTuning* tunings,
                           int count) {
    for (int copy = 0; copy < 2; ++copy) {
        std::uint8_t* c = Copy(eeprom, copy);
        std::fill(c, c + kSimTuningCopySize, 0xFF);
        Put32(c, date);
        std::fill(c + 4, c + 16, 0);
        c[kHead] = 0xFF;
        for (std::size_t k = 0; k < 5; ++k) Put16(c + kTuned + 2 * k, tuned[k]);
        for (int i = 0; i < count && i < 8; ++i) {
            PutEntry(c, i, tunings[i]);
            c[kHead] = static_cast<std::uint8_t>(i);
        }
        // Copy A the newer: a board writes A first.
        Put32(c + kSequence, copy == 0 ? 2 : 1);
        Stamp(c);
    }
}

void AppendTuning(std::array<std::uint8_t, kEepromSize>& eeprom, const TSimTuning& t,
                  const std::array<std::uint16_t, 5>& tuned, bool factory) {
    const bool aGood = TuningCopyGood(eeprom, 0), bGood = TuningCopyGood(eeprom, 1);
    int newest = 0;
    if (aGood && bGood)
        newest = Get32(Copy(eeprom, 0) + kSequence) > Get32(Copy(eeprom, 1) + kSequence) ? 0 : 1;
    else if (bGood)
        newest = 1;
    std::array<std::uint8_t, kSimTuningCopySize> next{};
    const std::uint8_t* from = Copy(eeprom, newest);
    std::copy(from, from + kSimTuningCopySize, next.begin());
    if (!aGood && !bGood) {
        // Nothing to build on: a fresh log.
        next.fill(0xFF);
        std::fill(next.begin() + 4, next.begin() + 16, 0);
        Put32(next.data() + kSequence, 0);
    }
    const int head = next[kHead] < 8 ? (next[kHead] + 1) % 8 : 0;
    next[kHead] = static_cast<std::uint8_t>(head);
    PutEntry(next.data(), head, t);
    for (std::size_t k = 0; k < 5; ++k) Put16(next.data() + kTuned + 2 * k, tuned[k]);
    if (factory) Put32(next.data(), t.time);
    Put32(next.data() + kSequence, Get32(next.data() + kSequence) + 1);
    Stamp(next.data());
    // The older copy (or a damaged one) takes the new record.
    const int target = aGood && bGood ? 1 - newest : (aGood ? 1 : 0);
    std::copy(next.begin(), next.end(), Copy(eeprom, target));
}

void SetTuningLogDate(std::array<std::uint8_t, kEepromSize>& eeprom, std::uint32_t date) {
    for (int copy = 0; copy < 2; ++copy) {
        const bool good = TuningCopyGood(eeprom, copy);
        std::uint8_t* c = Copy(eeprom, copy);
        Put32(c, date);
        // A damaged copy stays damaged.
        if (good) Stamp(c);
    }
}

void DamageTuningCopy(std::array<std::uint8_t, kEepromSize>& eeprom, int copy) {
    std::uint8_t* c = Copy(eeprom, copy);
    c[kCheck] ^= 0x5A;
}

}  // namespace orvan::sim
