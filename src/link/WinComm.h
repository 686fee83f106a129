#pragma once
// The pieces of the Win32 serial backend that need no port: the names a
// technician types, the line settings in a DCB, and what the system's error
// codes mean. Windows builds only.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace orvan::link::win {

// The port number of "COM3", "com3" or "\\.\COM12" (1 to 9999, no leading
// zero); nothing for any other text.
std::optional<unsigned> ParseComNumber(const std::string& name);

// Raw binary line, 8 data bits, one stop bit, no flow control of any kind,
// DTR and RTS held low, errors not stopping the transfer. parity: 0 none,
// 1 odd, 2 even, other none. The rest of the DCB is left as it was read.
void FillLineDcb(DCB& dcb, std::uint32_t speed, std::uint8_t parity);

// The standard rate nearest to bps (56700 gives 57600, 1.6 % off, which a
// UART tolerates), for drivers that take only those.
std::uint32_t NearestStandardRate(std::uint32_t bps);

// True for the errors after which the port will not come back on this
// handle: the adapter was unplugged or its driver gave up.
bool CommErrorMeansGone(DWORD err);

// Why CreateFile on the port failed, said plainly: "absent: ...", "busy:
// ..." or "cannot be opened", with the port's name and the system's reason.
std::string OpenFailureText(DWORD err, const std::string& portName);

// The system's own text for an error code, with the code: "Access is
// denied. (error 5)"; "error N" alone when the system has no text for it.
std::string SystemErrorText(DWORD err);

}  // namespace orvan::link::win
