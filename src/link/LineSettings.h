#pragma once
// The termios flags of the board's line (raw, 8 data bits, one stop bit, no
// flow control), apart from Tserial so they can be checked on their own:
// pseudo-terminals ignore some of them.

#include <termios.h>

#include <cstdint>

namespace orvan::link {

// parity: 0 none, 1 odd, 2 even, any other value none.
void MakeLineSettings(termios& tio, std::uint8_t parity);

}  // namespace orvan::link
