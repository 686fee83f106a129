#pragma once
// The multi-head page: the number of heads, the frequency and the
// pre-ionisation of the heads, and the three per-head anomaly words (time-out,
// positioning, CRC), one bit per head.
//
// The head frames are built for the count the board answers, but never for
// more heads than the anomaly words have bits (32): a larger count builds 32
// indicators and the page says how many heads the board reported.

#include "features/VariantForm.h"

namespace orvan::features {

class IMultiHeadView : public virtual IVariantView {
  public:
    // Build `shown` indicators captioned "1".."shown" in each head frame;
    // `reported` is the board's count (above `shown` when it did not fit).
    virtual void BuildHeads(int /*shown*/, int /*reported*/) {}
    // One of the three words (MultiHeadTimeouts, ...ErrorPositions, ...CrcPositions).
    virtual void ShowHeadWord(std::uint16_t /*code*/, std::uint32_t /*bits*/) {}
};

class TMultiHead : public commands::IMachineView {
  public:
    static constexpr int kHeadBits = 32;
    static constexpr int kIndicatorSpacing = 21;

    explicit TMultiHead(commands::TSession& session);
    TVariableForm& Form() { return form_; }
    commands::TFanout<IMultiHeadView>& Views() { return views_; }

    // "Read" next to "Heads num": count, frequency, pre-ionisation.
    TResult ReadHeads();
    // Double click on an edit of the multi-head or diameter/height page.
    TResult ReadCount();
    TResult WriteCount(std::string_view typed);
    TResult ReadFrequency();
    TResult WriteFrequency(std::string_view typed, char decimalSeparator);
    TResult ReadPreion();
    TResult WritePreion(std::string_view typed, char decimalSeparator);
    // "Get anomaly": the three head words.
    TResult GetAnomaly();

    // The head count and words last answered.
    int heads = 0;
    std::uint32_t timeouts = 0, errorPositions = 0, crcPositions = 0;

    // Board events.
    void OnMultiHeadCount(std::uint8_t heads) override;
    void OnMultiHeadWord(std::uint16_t code, std::uint32_t bits) override;

  private:
    commands::TFanout<IMultiHeadView> views_;
    TVariableForm form_;
};

}  // namespace orvan::features
