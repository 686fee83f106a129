#pragma once
// What one frame of a line capture means, in a few words for the line debug
// page: who sent it, the frame type, the variable or memory range, the values
// and whether its checksum adds up.

#include <cstdint>
#include <string>
#include <vector>

namespace orvan::commands {

// `wire`: the bytes as the line carried them (prefix, COBS frame, zero).
// transmitted: a request from the PC; otherwise an answer of the board.
std::string DescribeFrame(bool transmitted, const std::vector<std::uint8_t>& wire);

// The decoded bytes (body and checksum) of a frame as the line carried it;
// empty when the bytes hold no frame after a four-byte prefix.
std::vector<std::uint8_t> DecodeWireFrame(const std::vector<std::uint8_t>& wire);

}  // namespace orvan::commands
