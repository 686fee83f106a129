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
#include <vector>

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

// Device identities as SetupAPI gives them.
struct TUsbIds {
    std::string vendorId, productId;  // "0403", "1a86"; empty when not found
};
// The "VID_xxxx" and "PID_xxxx" of a hardware or instance id
// ("USB\VID_0403&PID_6001&REV_0600", "FTDIBUS\VID_0403+PID_6001+A1\0000").
TUsbIds ParseUsbIds(const std::string& id);
// The adapter's own serial number from a USB instance id
// ("USB\VID_0403&PID_6001\A10K3ZQ4"); empty when the last part is one the
// system made up from the port's place ("5&2A3B1C&0&2": it holds '&').
std::string SerialFromInstanceId(const std::string& instanceId);
// The port names "COMn" in the order of their numbers (COM2 before COM10),
// each once; other names dropped.
std::vector<std::string> SortComNames(std::vector<std::string> names);

}  // namespace orvan::link::win
