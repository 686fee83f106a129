#pragma once
// Builders of every request of the catalogue. Each takes plain values (the
// pages read them from their controls), checks them, and either queues one
// command or queues nothing and says why.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "commands/Catalogue.h"
#include "link/Comprotocol.h"
#include "link/Result.h"

namespace orvan::commands {

// What a builder did: whether a request was queued, and why not.
using SendResult = TResult;

// A typed number times its factor, truncated toward zero. A product that lands
// a hair below a whole number only because the typed decimal has no exact
// binary form (2.3 x 100 = 229.99999999999997) counts as that whole number.
double ScaleTruncate(double value, double factor);

// The value bytes of a WriteVariable of `v` from `values` (one per field that
// takes a value, in the order of the write layout). False with `why` when a
// value count, a range or an integer expectation is not met.
[[nodiscard]] bool EncodeWriteValue(const VariableInfo& v, std::span<const double> values,
                                    std::vector<std::uint8_t>& out, std::string* why);

link::TCmd MakeReadVariable(std::uint16_t code);
[[nodiscard]] bool MakeWriteVariable(std::uint16_t code, std::span<const double> values,
                                     link::TCmd& out, std::string* why);

// ReadVariable of any code (codes outside the catalogue included: the board
// answers or refuses them itself).
SendResult SendReadVariable(link::TComProtocol& protocol, std::uint16_t code);
// WriteVariable with the layout of the catalogue; a code without a write
// layout queues nothing.
SendResult SendWriteVariable(link::TComProtocol& protocol, std::uint16_t code,
                             std::span<const double> values);
SendResult SendWriteVariable(link::TComProtocol& protocol, std::uint16_t code,
                             std::initializer_list<double> values);

// The forced marks of the six I/O frames and the two relay edits.
struct IoForceMasks {
    std::uint32_t cpuInputsOn = 0, cpuInputsOff = 0;
    std::uint32_t exp1InputsOn = 0, exp1InputsOff = 0;  // 12 bits each
    std::uint32_t exp2InputsOn = 0, exp2InputsOff = 0;
    std::uint32_t cpuOutputsOn = 0, cpuOutputsOff = 0;
    std::uint32_t exp1OutputsOn = 0, exp1OutputsOff = 0;  // 8 bits each
    std::uint32_t exp2OutputsOn = 0, exp2OutputsOff = 0;
    std::uint8_t releLedOn = 0, releLedOff = 0;
};
SendResult SendIoForce(link::TComProtocol& protocol, const IoForceMasks& m);

// ClockDate values for a calendar date: day, month, day of week (1 Sunday to
// 7 Saturday), year - 2000. False for a date that does not exist or a year
// outside 2000..2255.
[[nodiscard]] bool ClockDateValues(int year, int month, int day, std::vector<double>& out,
                                   std::string* why);
// 1 Sunday .. 7 Saturday.
int DayOfWeek(int year, int month, int day);

link::TCmd MakeReadMemory(std::uint16_t address, std::uint8_t count);
// WriteMemory of bytes at an address; false when the request could never be
// sent whole.
[[nodiscard]] bool MakeWriteMemory(std::uint16_t address, std::span<const std::uint8_t> data,
                                   link::TCmd& out, std::string* why);
SendResult SendReadMemory(link::TComProtocol& protocol, std::uint16_t address, std::uint8_t count);
SendResult SendWriteMemory(link::TComProtocol& protocol, std::uint16_t address,
                           std::span<const std::uint8_t> data);

// Start commands 0x10..0x13 (StartFactoryTuning carries four zero bytes).
link::TCmd MakeStartCommand(std::uint8_t type);
SendResult SendStartCommand(link::TComProtocol& protocol, std::uint8_t type);
// Flanging commands 0x20..0x24; the profile number goes with 0x20 only.
link::TCmd MakeFlangingCommand(std::uint8_t type, std::uint8_t profile = 0);
SendResult SendFlangingCommand(link::TComProtocol& protocol, std::uint8_t type,
                               std::uint8_t profile = 0);
link::TCmd MakeSecurityCode(bool on);
SendResult SendSecurityCode(link::TComProtocol& protocol, bool on);

}  // namespace orvan::commands
