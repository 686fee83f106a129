#pragma once
// What the machine pages (16-bit DAC, Pelta, multi-head, diameter/height,
// flanging) have in common: edits that each carry one value of a board
// variable, read and written one variable at a time.
//
// The values are kept here as numbers, never taken back from the text an
// edit shows: an up/down step starts from the number, so the way a number is
// formatted can never change what is sent. A typed text is converted with the
// user's decimal separator, checked against the field's range and only then
// sent; a text that does not convert, or a value outside the range, sends
// nothing and names the field.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands/BoardView.h"
#include "commands/Session.h"
#include "features/TypedInput.h"

namespace orvan::features {

// How an up/down button moves a field.
enum class StepRule : std::uint8_t {
    None,       // no up/down button
    Fixed,      // by `step`
    Frequency,  // 0.1 below 5, 1 from 5 to below 15, 10 from 15
};

// One edit of a machine page.
struct TFieldSpec {
    std::string_view field;    // the edit's name, as the decoders name it
    std::string_view caption;  // what the technician reads next to it
    std::uint16_t code = 0;    // the variable it belongs to
    double min = 0, max = 0;   // what the board takes, in engineering units
    double initial = 0;        // the page's text before anything was read
    StepRule rule = StepRule::None;
    double step = 0;
    bool integer = false;
    int decimals = 0;  // kept and shown to this many decimals
};

// Board types with variant pages of their own.
inline constexpr std::uint16_t kBoardSource = 0x0100;
inline constexpr std::uint16_t kBoardPelta = 0x0500;
inline constexpr std::uint16_t kBoardMultiHead = 0x0800;
inline constexpr std::uint16_t kBoardFlanging16 = 0x0A00;

enum class Variant : std::uint8_t { Dac16, Pelta, MultiHead, DiameterHeight, Flanging };

// Whether a variant's page serves a board type. A board type not read yet
// (0) and a board type this program does not know are served, except by the
// Pelta page, which is the Pelta board's alone; the known machines serve
// their own pages only. The diameter/height sensor belongs to the multi-head
// machine (its edits ask for the head count).
bool VariantServes(Variant v, std::uint16_t boardType);
// "This page serves ... ; the connected board (type 0x0100) has no ..."
std::string NotServedText(Variant v, std::uint16_t boardType);
const char* VariantName(Variant v);

// The next value of an up/down press, clamped to the field's range and
// rounded to its decimals.
double StepValue(const TFieldSpec& f, double value, bool up);
// The field as messages name it: its caption as the page shows it.
std::string FieldName(const TFieldSpec& f);

// What a machine page shows.
class IVariantView {
  public:
    virtual ~IVariantView() = default;
    // A field's value changed (answer, step, or a write of typed values).
    virtual void ShowValue(const std::string& /*field*/, double /*value*/) {}
    // The board type changed whether the page serves this board.
    virtual void ShowServed(bool /*served*/, const std::string& /*why*/) {}
    // The board acknowledged a write of these fields with these numbers.
    virtual void ShowAcknowledged(const std::vector<std::pair<std::string, double>>& /*written*/) {}
};

// The fields of one page and their numbers.
class TVariableForm : public commands::IVariableView,
                      public commands::IIdentityView,
                      public commands::ILinkView {
  public:
    TVariableForm(commands::TSession& session, Variant variant, std::span<const TFieldSpec> fields);

    // The page views of the form's owner: each owner has its own view
    // interface (derived from IVariantView), so a page hears only its form.
    using TBroadcast = std::function<void(const std::function<void(IVariantView&)>&)>;
    void SetBroadcast(TBroadcast broadcast) { broadcast_ = std::move(broadcast); }
    // A range that depends on the board (the flanging speed); by default the
    // field's own.
    std::function<void(const TFieldSpec&, double& min, double& max)> rangeOf;
    Variant Kind() const { return variant_; }
    const TFieldSpec* Field(std::string_view field) const;
    // The number a field holds (its initial value until read or written).
    double Value(std::string_view field) const;
    bool Served() const { return VariantServes(variant_, session_.boardType); }
    // Refusal when the connected board has no such variables; ok otherwise.
    TResult CheckServed() const;

    // ReadVariable of each code, in order.
    TResult Read(std::initializer_list<std::uint16_t> codes);
    // WriteVariable of `code`, its fields taken from `typed` (field -> text)
    // where given and from the numbers held otherwise. Every typed text is
    // checked before anything is queued.
    TResult Write(std::uint16_t code, const std::map<std::string, std::string>& typed,
                  char decimalSeparator);
    // The same with numbers already converted (command line, steps).
    TResult WriteValues(std::uint16_t code, const std::map<std::string, double>& values);
    // An up/down press: the held number moves by its step, is clamped,
    // shown and written.
    TResult Step(std::string_view field, bool up);
    // A typed text as a number of this field: converted with the separator
    // and checked against the range. Failing, `why` names the field.
    [[nodiscard]] bool ParseField(const TFieldSpec& f, std::string_view text, char separator,
                                  double& out, std::string* why) const;

    // A number the page takes from elsewhere (a live reading): held and shown.
    void Hold(const std::string& field, double value);

    // Board events.
    void OnVariable(const commands::DecodedVariable& v) override;
    void OnBoardType(std::uint16_t boardType) override;
    void OnAcknowledged(std::uint8_t type, std::uint16_t code) override;
    void OnRefusal(const std::string& text) override;

  protected:
    void Show(const std::string& field, double value);
    commands::TSession& session_;

  private:
    Variant variant_;
    std::span<const TFieldSpec> fields_;
    std::map<std::string, double, std::less<>> values_;
    TBroadcast broadcast_;
    // Writes on their way, by variable: what the acknowledge confirms.
    std::map<std::uint16_t, std::vector<std::pair<std::string, double>>> pending_;
};

// The broadcast of a typed fan-out of views derived from IVariantView.
template <typename IView>
TVariableForm::TBroadcast BroadcastTo(commands::TFanout<IView>& views) {
    return [&views](const std::function<void(IVariantView&)>& fn) {
        views.ForEach([&](IView& v) { fn(v); });
    };
}

// "1,5" for 1.5 with ',' as the separator, to `decimals` at most (trailing
// zeros dropped).
std::string VariantNumberText(double v, int decimals, char separator);

}  // namespace orvan::features
