#pragma once
// The "Pelta" page of the pulsed welder (board type 0x0500): work,
// pre-ionisation, statistics and strobe parameters, each group read by its
// "Read" button and written by Enter in an edit or by its up/down buttons.
//
// Which strobe controls the page offers depends on the board's protocol
// version; the layout is worked out here and handed to the page after every
// ProtocolVersion answer of a Pelta board. The "Strobe attivi" and "Strobe
// saltati" edits of protocols after 2.2.2 have no action: nothing is written
// from them (the board has no write layout for them).

#include "features/VariantForm.h"

namespace orvan::features {

// Which strobe controls a Pelta board's protocol version asks for.
struct TPeltaLayout {
    bool strobeGroup = true;     // "Parametri strobe " (from 2.2.2)
    bool twoShot = false;        // "1 sparo ogni  N  impulsi di strobe" (exactly 2.2.2)
    bool strobeOnOff = false;    // "Strobe attivi" / "Strobe saltati" (after 2.2.2)
    bool pulseAndDelay = false;  // pulse duration and delay enabled (after 2.2.1)
    bool operator==(const TPeltaLayout&) const = default;
};
TPeltaLayout PeltaLayoutFor(std::uint32_t protocolVersion);

class IPeltaView : public virtual IVariantView {
  public:
    virtual void ShowPeltaLayout(const TPeltaLayout& /*layout*/) {}
};

class TPelta : public commands::IIdentityView {
  public:
    static constexpr std::uint32_t kTwoShotProtocol = 0x020202;

    explicit TPelta(commands::TSession& session);
    TVariableForm& Form() { return form_; }
    commands::TFanout<IPeltaView>& Views() { return views_; }

    // The "Read" buttons of the groups.
    TResult ReadWork();  // also pulse and delay after protocol 2.2.1
    TResult ReadPreion1();
    TResult ReadPreion2();  // and its "Enable"
    TResult ReadStatistics();
    TResult ReadStrobe();
    // Enter in an edit: its variable written from the texts of that
    // variable's edits (field -> text). Enter in "Ritardo impulso" writes on
    // protocol 2.2.2 only; otherwise nothing is sent and the result says so.
    TResult Enter(std::string_view field, const std::map<std::string, std::string>& texts,
                  char decimalSeparator);
    // An up/down button of a field.
    TResult Step(std::string_view field, bool up) { return form_.Step(field, up); }
    // "Enable" of the optional pre-ionisation.
    TResult SetPreion2Enabled(bool on);

    // Board events.
    void OnProtocolVersion(std::uint32_t packed, const std::string& text) override;

  private:
    commands::TSession& session_;
    commands::TFanout<IPeltaView> views_;
    TVariableForm form_;
};

}  // namespace orvan::features
