#pragma once
// Which machine page's controller writes a variable, so that the command
// line writes a machine variable through the very checks the page uses
// (board type served, range of every value).

#include <cstdint>
#include <span>

#include "features/SupervisorCore.h"

namespace orvan::features {

// The form of the machine page that writes `code`; null for the variables of
// the other pages.
TVariableForm* VariantFormFor(TSupervisorCore& core, std::uint16_t code);

// WriteVariable of `code` with values in the order of its write layout,
// through the form's checks.
TResult WriteVariantValues(TVariableForm& form, std::uint16_t code, std::span<const double> values);

}  // namespace orvan::features
