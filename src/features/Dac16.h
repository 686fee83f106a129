#pragma once
// The "DAC 16 bit" group of the "IO Status" page: force the converter's
// output and set it in counts or in volts (0..10 V over 0..65535).

#include "features/VariantForm.h"

namespace orvan::features {

// The page that shows the DAC group.
class IDac16View : public virtual IVariantView {};

class TDac16 {
  public:
    static constexpr double kCountsPerVolt = 6553.5;  // 65535 x 0.1

    explicit TDac16(commands::TSession& session);
    TVariableForm& Form() { return form_; }
    commands::TFanout<IDac16View>& Views() { return views_; }

    // "Force" ticked or cleared: written, then the value read back.
    TResult SetForce(bool on);
    // The spin box changed: the counts written; the volts edit follows.
    TResult SetCounts(std::int64_t counts);
    // Enter in the volts edit: trunc(volts x 6553.5) counts.
    TResult SetVolts(std::string_view typed, char decimalSeparator);
    // "Read": Dac16Value, then Dac16Force.
    TResult Read();

    // What the volts edit shows for counts (the page follows every
    // cspDac16 value with it).
    static double CountsToVolts(double counts) { return counts * 10.0 / 65535.0; }

  private:
    commands::TFanout<IDac16View> views_;
    TVariableForm form_;
};

}  // namespace orvan::features
