#pragma once
// TNetPort: the board's line through a serial device server on the network,
// opened by an address ("tcp://HOST:PORT" or "rfc2217://HOST:PORT", see
// NetAddress.h). The engine sees it as any other port: bytes in, bytes out,
// the count waiting, and the reason when the connection is gone.
//
// The socket never blocks once open: what the server sends is taken into a
// buffer whenever the engine asks how many bytes wait or reads them, so the
// descriptor to wait on (Descriptor()) is the socket's own. Opening waits,
// within bounds, for the name, the connection, and in RFC 2217 mode for the
// server to confirm 8N1, no flow control and the speed.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <sys/socket.h>
#endif

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/NetAddress.h"
#include "link/SerialPort.h"
#include "link/Telnet.h"

namespace orvan::link {

// One address a host name resolved to.
struct TSocketAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
};

struct TResolved {
    std::vector<TSocketAddress> addresses;  // empty when the name was not resolved
    std::string why;                        // the resolver's reason then
};

class TNetPort : public IDevicePort {
  public:
    // How long opening may wait for each step, in milliseconds.
    struct TLimits {
        int resolveMs = 3000;
        int connectMs = 3000;
        // RFC 2217: the server's answers to the option and the line settings.
        int negotiationMs = 3000;
        // Raw TCP: a server that serves one program at a time closes a
        // second connection at once; this long is waited for that.
        int settleMs = 100;
    };
    // Bytes held at most on either side of the socket.
    static constexpr std::size_t kMaxBuffered = 64 * 1024;

    // The host's addresses, waiting at most `limitMs`; replaceable so tests
    // need no name service.
    using TResolver =
        std::function<TResolved(const std::string& host, std::uint16_t port, int limitMs)>;
    static TResolved SystemResolve(const std::string& host, std::uint16_t port, int limitMs);

    TNetPort() = default;
    ~TNetPort() override;
    TNetPort(const TNetPort&) = delete;
    TNetPort& operator=(const TNetPort&) = delete;

    // name: a network address. In RFC 2217 mode the server sets the line to
    // `speed` and `parity` (0 none, 1 odd, 2 even, other none), 8 data bits,
    // one stop bit, no flow control; a raw TCP port keeps the server's own
    // settings. Results as Tserial's: kOpenCannotOpen when the server cannot
    // be reached or is busy, kOpenLineFailed when it refuses the line
    // settings or does not speak RFC 2217, kOpenNoName for no name.
    [[nodiscard]] std::int32_t OpenPort(const char* name, std::int32_t speed,
                                        std::uint8_t parity) override;
    void ClosePort() override;
    bool IsOpen() const override { return sock_ != -1; }
    void WriteBytes(const std::uint8_t* data, std::size_t count) override;
    using ISerialPort::WriteByte;
    std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) override;
    std::int32_t BytesWaiting() override;
    std::string LostReason() const override { return lost_; }

    std::string OpenErrorText(std::int32_t code) const override;
    // The socket; on Windows an event (as an int) kept signalled while bytes
    // wait or once the connection is gone, which the waiters can use.
    int Descriptor() const override;
    const std::string& GetPortName() const override { return portName_; }
    // The address as it was understood ("rfc2217://host:port").
    const std::string& GetDevicePath() const override { return devicePath_; }
    std::int32_t GetBaudRate() const override { return baudRate_; }
    // RFC 2217: the server confirmed the speed asked for (false when it took
    // the nearest standard rate instead, as for 56700). Raw TCP: false, the
    // speed is the server's.
    bool SpeedExact() const override { return speedExact_; }

    void SetLimits(const TLimits& limits) { limits_ = limits; }
    void SetResolver(TResolver resolver) { resolver_ = std::move(resolver); }

  private:
    std::int32_t Fail(std::int32_t code, std::string why);
    bool Connect(const TNetAddress& a);
    std::int32_t Settle(const TNetAddress& a);
    std::int32_t Negotiate(const TNetAddress& a, std::int32_t speed, std::uint8_t parity);
    // Waits up to `ms` for the socket to become readable (or writable while
    // bytes wait to go), then takes in what came.
    void WaitAndPump(int ms);
    void Pump();
    void FlushTx();
    void Incoming(const std::uint8_t* data, std::size_t count);
    void NoteLost(const char* what, int err);
    std::string ClosedAtOnceText(const TNetAddress& a) const;
    std::size_t Waiting() const { return rx_.size() - rxHead_; }

    TLimits limits_;
    TResolver resolver_;
    std::string portName_;
    std::string devicePath_;
    std::int32_t baudRate_ = 0;
    bool speedExact_ = false;
    std::optional<TNetAddress> address_;
    std::intptr_t sock_ = -1;  // the socket (a SOCKET on Windows), -1 while closed
    std::intptr_t wake_ = -1;  // Windows: the socket's event; -1 elsewhere
    std::string openError_;
    std::string lost_;
    bool peerClosed_ = false;  // the server ended the connection (EOF or reset)
    int peerError_ = 0;        // the socket error that ended it, 0 for an orderly close

    telnet::TTelnetCodec codec_;
    bool negotiating_ = false;
    std::vector<std::uint8_t> rx_;  // the board's bytes, unread from rxHead_ on
    std::size_t rxHead_ = 0;
    std::vector<std::uint8_t> tx_;  // bytes for the socket, unsent from txHead_ on
    std::size_t txHead_ = 0;
    // The last bytes received, to quote a server's parting words ("Port
    // already in use") when it closes the connection.
    std::string tail_;
};

}  // namespace orvan::link
