#pragma once
// The port the front ends open by the text the user gave: a serial device
// ("COM3", "/dev/ttyUSB0", a pseudo-terminal) or a serial device server on
// the network ("tcp://HOST:PORT", "rfc2217://HOST:PORT"). Everything above
// the link holds a TLinkPort and never asks which kind it is; the object
// stays the same across reopenings, so the core can keep a reference to it
// while the port behind it changes kind.

#include <memory>
#include <string>
#include <string_view>

#include "link/SerialPort.h"
#include "link/Tserial.h"  // the OpenPort result codes

namespace orvan::link {

// The kind of port a device text names, not yet open.
std::unique_ptr<IDevicePort> MakeDevicePort(std::string_view name);

class TLinkPort : public IDevicePort {
  public:
    TLinkPort();
    ~TLinkPort() override;
    TLinkPort(const TLinkPort&) = delete;
    TLinkPort& operator=(const TLinkPort&) = delete;

    // Closes what is open, then opens `name` as the kind it names. Results
    // and OpenErrorText as Tserial's.
    [[nodiscard]] std::int32_t OpenPort(const char* name, std::int32_t speed,
                                        std::uint8_t parity) override;
    void ClosePort() override { port_->ClosePort(); }
    bool IsOpen() const override { return port_->IsOpen(); }
    void WriteBytes(const std::uint8_t* data, std::size_t count) override {
        port_->WriteBytes(data, count);
    }
    using ISerialPort::WriteByte;
    std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) override {
        return port_->ReadBytes(dest, count);
    }
    std::int32_t BytesWaiting() override { return port_->BytesWaiting(); }
    std::string LostReason() const override { return port_->LostReason(); }
    std::string OpenErrorText(std::int32_t code) const override {
        return port_->OpenErrorText(code);
    }
    int Descriptor() const override { return port_->Descriptor(); }
    const std::string& GetPortName() const override { return port_->GetPortName(); }
    const std::string& GetDevicePath() const override { return port_->GetDevicePath(); }
    std::int32_t GetBaudRate() const override { return port_->GetBaudRate(); }
    bool SpeedExact() const override { return port_->SpeedExact(); }

    // Whether the port behind is a network one (for a status text).
    bool IsNetwork() const { return network_; }
    IDevicePort& Current() { return *port_; }

  private:
    std::unique_ptr<IDevicePort> port_;
    bool network_ = false;
};

}  // namespace orvan::link
