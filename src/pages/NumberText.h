#pragma once
// The pages' number texts live with every other number text (link/NumberText.h).

#include "link/NumberText.h"

namespace orvan::pages {

using link::FormatInteger;
using link::FormatReal;
using link::ParseInteger;
using link::ParseReal;

}  // namespace orvan::pages
