#include "features/LiveSeries.h"

#include <algorithm>

#include "commands/Session.h"

namespace orvan::features {

void TLiveSeries::SetWindowMs(std::int64_t ms) {
    windowMs_ = std::clamp(ms, kMinWindowMs, kMaxWindowMs);
    Trim();
}

bool TLiveSeries::Add(std::int64_t nowMs, const TAnalogDisplay& d) {
    if (paused_) return false;
    if (!startMs_) startMs_ = nowMs;
    TLiveSample s;
    s.ms = nowMs - *startMs_;
    s.volts = d.volts;
    if (d.converted)
        s.converted = std::array<double, kChannels>{d.currentSet.value,    d.powerSet.value,
                                                    d.supplyCurrent.value, d.photodiode.value,
                                                    d.powerMeter.value,    d.temperature};
    samples_.push_back(s);
    Trim();
    return true;
}

void TLiveSeries::Clear() {
    samples_.clear();
    startMs_.reset();
}

void TLiveSeries::Trim() {
    if (samples_.empty()) return;
    const std::int64_t oldest = samples_.back().ms - windowMs_;
    while (!samples_.empty() && samples_.front().ms < oldest) samples_.pop_front();
}

std::string TLiveSeries::Csv() const {
    const bool anyConverted = std::any_of(samples_.begin(), samples_.end(),
                                          [](const TLiveSample& s) { return s.converted; });
    std::string out = "ms";
    for (std::string_view c : kChannelCaptions) out += ",\"" + std::string(c) + " (V)\"";
    if (anyConverted)
        for (std::string_view c : kConvertedCaptions) out += ",\"" + std::string(c) + "\"";
    out += "\r\n";
    for (const TLiveSample& s : samples_) {
        out += std::to_string(s.ms);
        for (double v : s.volts) out += "," + commands::NumberText(v);
        if (anyConverted)
            for (std::size_t c = 0; c < kChannels; ++c)
                out +=
                    "," + (s.converted ? commands::NumberText((*s.converted)[c]) : std::string());
        out += "\r\n";
    }
    return out;
}

}  // namespace orvan::features
