#pragma once
// The tuning log as the board keeps it at 400..719: two copies of one
// 160-byte layout, each with its own check and write sequence number, so a
// write cut short leaves the other copy intact. TWelderData picks the copy to
// trust, decodes the ring of the last eight tunings and the tuned currents,
// and writes the ".log" text file.
//
// Decoding never reads outside the 320 bytes it was given, whatever they hold.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "link/Result.h"

namespace orvan::features {

inline constexpr std::size_t kTuningCopySize = 160;
inline constexpr std::size_t kTuningLogBytes = 2 * kTuningCopySize;
inline constexpr int kTuningRingSize = 8;
inline constexpr int kTunedPoints = 5;  // points 2..6 of the power/current table
inline constexpr std::uint8_t kNoTuningDone = 0xFF;

// Offsets inside one copy.
inline constexpr std::size_t kTuningDateOffset = 0;
inline constexpr std::size_t kRingHeadOffset = 16;
inline constexpr std::size_t kTunedCurrentsOffset = 17;
inline constexpr std::size_t kRingOffset = 48;
inline constexpr std::size_t kEntrySize = 12;
inline constexpr std::size_t kSequenceOffset = 154;
inline constexpr std::size_t kCheckOffset = 158;

// One decoded entry of the ring.
struct tuninglog {
    bool valid = false;
    double current = 0;  // A
    double power = 0;    // W
    double hours = 0;    // source work time
    std::string dateTime;
    std::uint32_t time = 0;  // seconds since 1970
};

// Seconds since 1970 as the program shows a date and time ("dd/mm/yyyy
// hh:mm:ss", UTC, so a file reads the same wherever it was written).
std::string TuningDateTimeText(std::uint32_t seconds);

// The check of one copy over its first 158 bytes.
std::uint16_t TuningCopyCheck(std::span<const std::uint8_t> copy160);

class TWelderData {
  public:
    // Validates both copies of `image` (320 bytes; anything shorter counts as
    // erased) and selects one; records valid copy and tuning done.
    void SelectCopy(std::span<const std::uint8_t> image);

    // The i-th newest entry, i = 0..7; absent (valid false) past the ring.
    tuninglog Entry(int i) const;
    std::string FactoryTuningTimeText() const;
    std::uint32_t FactoryTuningTime() const;
    bool HasTable() const { return validCopy != 0 && tuningDone; }
    // Tuned current of point k + 1 (k = 0..4), in A; also kept in the table.
    double TunedCurrent(int k);
    void SetTableValue(int row, int point, double value);

    // The ".log" text as it is written to the file.
    std::string LogText() const;
    // Writes LogText() atomically; refused before any tuning log was decoded.
    [[nodiscard]] TResult Save(const std::string& path) const;
    bool Decoded() const { return decoded_; }

    // --- state -----------------------------------------------------------
    std::uint8_t validCopy = 0;  // 0 none, 1 copy A, 2 copy B
    bool tuningDone = false;
    double CurrentDiodeMax = 0;  // raw, units of 0.01 A; set before each decoding
    // Row 0: powers (W) of the six points; row 1: currents (A).
    std::array<std::array<double, 6>, 2> table{};

  private:
    std::uint16_t U16(std::size_t offset) const;
    std::uint32_t U32(std::size_t offset) const;

    // The selected copy (copy A unless copy B was selected).
    std::array<std::uint8_t, kTuningCopySize> copy_ = Erased();
    bool decoded_ = false;

    static std::array<std::uint8_t, kTuningCopySize> Erased() {
        std::array<std::uint8_t, kTuningCopySize> a{};
        a.fill(0xFF);
        return a;
    }
};

}  // namespace orvan::features
