#include "features/Dac16.h"

#include <cmath>

#include "commands/Builders.h"

namespace orvan::features {

using namespace commands;

namespace {

constexpr TFieldSpec kFields[] = {
    {"cspDac16", "DAC 16 bit > dgt (0-65535)", Dac16Value, 0, 65535, 0, StepRule::None, 0, true, 0},
    {"chkDac16Force", "Force", Dac16Force, 0, 1, 0, StepRule::None, 0, true, 0},
    // Not a board variable of its own: the counts in volts.
    {"edtDac16ValueVolt", "DAC 16 bit > V", 0, 0, 10, 0, StepRule::None, 0, false, 4},
};

}  // namespace

TDac16::TDac16(TSession& session) : form_(session, Variant::Dac16, kFields) {
    form_.SetBroadcast(BroadcastTo(views_));
}

TResult TDac16::SetForce(bool on) {
    if (TResult r = form_.WriteValues(Dac16Force, {{"chkDac16Force", on ? 1.0 : 0.0}}); !r)
        return r;
    return form_.Read({Dac16Value});
}

TResult TDac16::SetCounts(std::int64_t counts) {
    if (counts < 0 || counts > 65535)
        return TResult::Fail("dgt (0-65535) (cspDac16): " + std::to_string(counts) +
                             " is outside 0..65535; nothing sent");
    return form_.WriteValues(Dac16Value, {{"cspDac16", static_cast<double>(counts)}});
}

TResult TDac16::SetVolts(std::string_view typed, char decimalSeparator) {
    double volts = 0;
    std::string why;
    if (!form_.ParseField(*form_.Field("edtDac16ValueVolt"), typed, decimalSeparator, volts, &why))
        return TResult::Fail(why);
    return SetCounts(static_cast<std::int64_t>(ScaleTruncate(volts, kCountsPerVolt)));
}

TResult TDac16::Read() {
    return form_.Read({Dac16Value, Dac16Force});
}

}  // namespace orvan::features
