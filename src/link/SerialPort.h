#pragma once
// The port seen by the exchange engine: the real termios port (Tserial) and the
// scripted ports of the tests both sit behind this, so the engine never knows
// which one it drives.

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvan::link {

class ISerialPort {
  public:
    virtual ~ISerialPort() = default;

    virtual bool IsOpen() const = 0;
    // Writes synchronously; on a closed or vanished port the bytes are dropped.
    virtual void WriteBytes(const std::uint8_t* data, std::size_t count) = 0;
    void WriteByte(std::uint8_t b) { WriteBytes(&b, 1); }
    // Reads at most `count` bytes that are already waiting; never blocks.
    // Returns the count read, 0 on a closed or vanished port.
    virtual std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) = 0;
    // Bytes waiting in the input queue; 0 on a closed or vanished port.
    virtual std::int32_t BytesWaiting() = 0;
    virtual void ClosePort() = 0;
    // Why the open port stopped working (the device was unplugged, the
    // other end of a pseudo-terminal went away), with the system's reason;
    // empty while it works. The exchange ends at once then instead of
    // waiting for the receive time-out.
    virtual std::string LostReason() const { return {}; }
};

}  // namespace orvan::link
