#pragma once
// The flanging profiles kept in the EEPROM (eight per 32-byte answer: an
// amplitude and an offset word each, 0..65535 for 0..10 V).

#include <cstdint>
#include <span>
#include <vector>

#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "features/FeatureOutcome.h"
#include "features/VariantForm.h"
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

class IFlangingView : public virtual IVariantView {
  public:
    virtual void OnFlangingProfiles(const std::vector<FlangingProfileRow>& /*rows*/) {}
    virtual void OnFlangingProfilesRead(const TSequenceOutcome& /*outcome*/) {}
    // The board type decides 8 or 16 profiles and the speed's range
    // ("Speed (mm/s) (0-63)", or "(0-31)" with 16 profiles).
    virtual void OnFlangingProfileCount(int /*profiles*/, const std::string& /*speedCaption*/) {}
};

// The wave's amplitude and offset: 0..10 V as 0..65535.
double FlangingVolts(std::uint16_t word);

class TFlanging : public commands::IMemoryView, public commands::IIdentityView {
  public:
    explicit TFlanging(commands::TSession& session);

    commands::TFanout<IFlangingView>& Views() { return views_; }
    // The page's edits and their numbers (speed, power, profile, wave).
    TVariableForm& Form() { return form_; }

    // 16 on board type 0x0A00, else 8.
    int ProfileCount() const;
    int MaxSpeed() const { return ProfileCount() == 16 ? 31 : 63; }
    std::string SpeedCaption() const;

    TResult WriteSpeed(std::string_view typed);
    TResult WritePower(std::string_view typed);
    // Enter in the amplitude or offset edit: both written.
    TResult WriteWave(std::string_view amplitude, std::string_view offset, char decimalSeparator);
    // The jog up/down buttons: one step on the board, then the wave read.
    TResult JogAmplitude(bool up);
    TResult JogOffset(bool up);
    // Profile button k: profile selected and written, then the wave
    // parameters read.
    TResult SelectProfile(int profile);
    // "Read wave parameter": wave, profile, power, speed.
    TResult ReadWaveParameters();
    // "Save profile": the wave kept as the selected profile, then the profile
    // table read again (all sixteen on a 16-profile board, so the row just
    // saved is among them).
    TResult SaveProfile();
    // A click on the profile table.
    TResult ReadProfiles();
    // The profile table as last read (rows 1..16; absent until read).
    std::vector<FlangingProfileRow> table;

    // Profiles 1..8 (32..64), or all sixteen (32..96).
    TResult StartFlangingProfilesRead(bool sixteen);

    // Board events.
    void OnChainChunk(int purpose, std::uint16_t address,
                      std::span<const std::uint8_t> data) override;
    void OnChainEnd(int purpose) override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;
    void OnBoardType(std::uint16_t boardType) override;

  private:
    TResult Jog(std::uint8_t type);
    commands::TSession& session_;
    TVariableForm form_;
    commands::TFanout<IFlangingView> views_;
    bool running_ = false;
};

}  // namespace orvan::features
