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

// A port the front ends open by a device text: a serial device (Tserial) or
// a serial device server on the network (TNetPort). TLinkPort (LinkPort.h)
// picks the kind from the text.
class IDevicePort : public ISerialPort {
  public:
    // Closes any open port first; 0 (kOpenOk) when open. parity: 0 none,
    // 1 odd, 2 even, other none.
    [[nodiscard]] virtual std::int32_t OpenPort(const char* name, std::int32_t speed,
                                                std::uint8_t parity) = 0;
    // Why the last OpenPort failed, said plainly with the system's reason
    // ("absent: ...", "busy: ...", "refused: ..."); for a code without one
    // recorded, the text of the code.
    virtual std::string OpenErrorText(std::int32_t code) const = 0;
    // The descriptor to wait on until bytes arrive, or -1 while closed. On
    // Windows: an event handle (as an int) the port keeps signalled while
    // bytes wait or once the line is gone (link/TickDriver.h waits on it).
    virtual int Descriptor() const = 0;
    // The name as given to OpenPort, and what it was resolved to.
    virtual const std::string& GetPortName() const = 0;
    virtual const std::string& GetDevicePath() const = 0;
    virtual std::int32_t GetBaudRate() const = 0;
    // True when the speed was set exactly as asked.
    virtual bool SpeedExact() const = 0;
};

}  // namespace orvan::link
