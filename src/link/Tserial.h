#pragma once
// Tserial: one serial-port handle, 8 data bits, one stop bit, no flow
// control, raw mode: POSIX termios (Tserial_posix.cpp) or the Win32 comm
// functions (Tserial_win.cpp).

#include <cstdint>
#include <memory>
#include <string>

#include "link/SerialPort.h"

namespace orvan::link {

// Result codes of OpenPort. One code is returned, not a set of bits: when
// several configuration steps fail, the last failing step wins.
enum OpenResult : std::int32_t {
    kOpenOk = 0,
    kOpenFlushFailed = 1,  // discarding pending input/output of the port failed
    kOpenModeFailed = 2,   // switching the handle to non-blocking reads failed
    kOpenLineFailed = 4,   // the line parameters (raw 8N1, speed) were refused
    kOpenCannotOpen = 8,   // absent, busy (locked by another program) or no access
    kOpenNoName = 16,      // no name was given
};

// POSIX: "COMn" names the n-th platform port (/dev/ttyS(n-1)); anything else
// is taken as a device path and used as given (/dev/ttyUSB0, a
// pseudo-terminal, ...). Windows: "COMn" and "\\.\COMn" give the device
// path "\\.\COMn"; any other name gives an empty path (refused).
std::string ResolvePortName(const std::string& name);

// Human-readable reason for an OpenPort result, for front ends that report it.
const char* OpenResultText(std::int32_t code);

class Tserial : public IDevicePort {
  public:
    static constexpr std::size_t kMaxComNameLength = 10;

    Tserial();
    ~Tserial() override;
    Tserial(const Tserial&) = delete;
    Tserial& operator=(const Tserial&) = delete;

    // Closes any open handle first. parity: 0 none, 1 odd, 2 even, other none.
    [[nodiscard]] std::int32_t OpenPort(const char* name, std::int32_t speed,
                                        std::uint8_t parity) override;
    void ClosePort() override;
    bool IsOpen() const override;
    // The open descriptor (for waiting until the port is readable), or -1.
    // On Windows an event (as an int) kept signalled while bytes wait or once
    // the line is gone, armed on the port's receive events otherwise.
    int Descriptor() const override;
    void WriteBytes(const std::uint8_t* data, std::size_t count) override;
    using ISerialPort::WriteByte;
    std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) override;
    std::int32_t BytesWaiting() override;
    std::string LostReason() const override { return lost_; }

    // What the last OpenPort failure was, said plainly: "absent", "busy" or
    // "no access", with the device and the system's reason. For other
    // results (or none recorded) the text of the code.
    std::string OpenErrorText(std::int32_t code) const override;

    const std::string& GetPortName() const override { return PortName; }
    const std::string& GetDevicePath() const override { return DevicePath; }
    std::int32_t GetBaudRate() const override { return BaudRate; }
    std::uint8_t GetParity() const { return Parity; }
    // True when the speed was set exactly; false when the driver took only the
    // nearest standard rate (see OpenPort).
    bool SpeedExact() const override { return speedExact; }

  private:
    std::string PortName;
    std::int32_t BaudRate = 0;
    std::uint8_t Parity = 0;
#ifdef _WIN32
    // The handle and the overlapped operations' state, apart so that
    // <windows.h> stays out of every file that includes this one.
    struct TWin;
    std::unique_ptr<TWin> win_;
    // Sets the event Descriptor() names to what waits: signalled while bytes
    // wait (`queued`) or the line is gone, else waiting for the next byte.
    void Rearm(std::int32_t queued);
    void WaitFailed();
#else
    int Handle = -1;
#endif
    std::string DevicePath;
    bool speedExact = false;
    std::string openError_;
    std::string lost_;  // set once the device is found gone

#ifdef _WIN32
    void NoteLost(const char* what, unsigned long err);
#else
    void NoteLost(const char* what, int err);
#endif
};

}  // namespace orvan::link
