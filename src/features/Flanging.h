#pragma once
// The flanging profiles kept in the EEPROM (eight per 32-byte answer: an
// amplitude and an offset word each, 0..65535 for 0..10 V).

#include <cstdint>
#include <span>
#include <vector>

#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "features/FeatureOutcome.h"
#include "link/Result.h"

namespace orvan::features {

struct FlangingProfileRow {
    int profile = 0;                   // 1..16
    double amplitude = 0, offset = 0;  // volts, rounded to 3 decimals
};

// The rows of one answer of the profile area at `address` (32 or 64); none
// for any other address.
std::vector<FlangingProfileRow> FlangingProfileRows(std::uint16_t address,
                                                    std::span<const std::uint8_t> data);

class IFlangingView {
  public:
    virtual ~IFlangingView() = default;
    virtual void OnFlangingProfiles(const std::vector<FlangingProfileRow>& /*rows*/) {}
    virtual void OnFlangingProfilesRead(const TSequenceOutcome& /*outcome*/) {}
};

class TFlanging : public commands::IMemoryView {
  public:
    explicit TFlanging(commands::TSession& session) : session_(session) {}

    commands::TFanout<IFlangingView>& Views() { return views_; }

    // Profiles 1..8 (32..64), or all sixteen (32..96).
    TResult StartFlangingProfilesRead(bool sixteen);

    // Board events.
    void OnChainChunk(int purpose, std::uint16_t address,
                      std::span<const std::uint8_t> data) override;
    void OnChainEnd(int purpose) override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;

  private:
    commands::TSession& session_;
    commands::TFanout<IFlangingView> views_;
    bool running_ = false;
};

}  // namespace orvan::features
