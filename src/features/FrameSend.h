#pragma once
// A request typed by the technician on the line debug page: the bytes as the
// transmit log shows them (body, checksum, an optional ending zero; a copied
// log line with its "[ n date time ]" head is taken as it is), or as the line
// carries them ("43 4F 42 53 ..."). The text is checked like any request
// this program builds: hex bytes only, a request type the board knows, a
// checksum that adds up, a size the line can carry. Memory writes keep and
// ask before the areas they touch, as the EEPROM page's writes do.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "features/Operation.h"
#include "link/Result.h"

namespace orvan::features {

struct TTypedFrame {
    std::uint8_t type = 0;
    // After the type, without the security code and the checksum.
    std::vector<std::uint8_t> payload;
    // What the request means, as the line debug page describes frames.
    std::string meaning;
};

// Reads and checks a typed request; `protocolVersion` says whether the
// request carries the security code (it is taken off: the engine adds it).
[[nodiscard]] TResult ParseTypedFrame(const std::string& text, std::uint32_t protocolVersion,
                                      TTypedFrame& out);

struct TFrameSendRequest {
    std::string text;
    // Answers yes beforehand to the question before writing a named area.
    bool acceptProtectedArea = false;
};
// Sends one typed request; the answer goes where every answer goes (the
// pages show what it brought), and the outcome says whether the board took it.
std::unique_ptr<TOperation> FrameSendOperation(TSupervisorCore& core, TFrameSendRequest r);

}  // namespace orvan::features
