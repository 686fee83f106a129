#pragma once
// The samples behind the live chart: the six analog channels over a time
// window the user chooses, in volts and, when the first page shows them,
// the converted values. Older samples fall out of the window; a paused
// series takes nothing. Kept free of the toolkit so it is tested alone and
// saved as CSV the same way everywhere.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "features/StatusPolling.h"

namespace orvan::features {

struct TLiveSample {
    std::int64_t ms = 0;  // since the series started
    std::array<double, kChannels> volts{};
    // Current set A, power set W, supply current A, photodiode W, power
    // meter W, diode temperature degC; absent when not converted.
    std::optional<std::array<double, kChannels>> converted;
};

inline constexpr std::array<std::string_view, kChannels> kConvertedCaptions{
    "Current set (A)", "Power set (W)",   "Alim current (A)",
    "Photo diode (W)", "Power meter (W)", "Diode temp (degC)"};

class TLiveSeries {
  public:
    static constexpr std::int64_t kMinWindowMs = 5000;
    static constexpr std::int64_t kMaxWindowMs = 3600000;

    // Keeps what falls within windowMs of the newest sample.
    void SetWindowMs(std::int64_t ms);
    std::int64_t WindowMs() const { return windowMs_; }
    void SetPaused(bool p) { paused_ = p; }
    bool Paused() const { return paused_; }

    // One analog answer at `nowMs` (program clock). False when paused.
    bool Add(std::int64_t nowMs, const TAnalogDisplay& d);
    void Clear();

    const std::deque<TLiveSample>& Samples() const { return samples_; }
    // "ms,<six volts>[,<six converted>]" with a header line; '.' decimals.
    std::string Csv() const;

  private:
    void Trim();

    std::deque<TLiveSample> samples_;
    std::optional<std::int64_t> startMs_;
    std::int64_t windowMs_ = 60000;
    bool paused_ = false;
};

}  // namespace orvan::features
