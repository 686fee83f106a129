#include "link/LinkPort.h"

#include "link/NetAddress.h"
#include "link/NetPort.h"
#include "link/Tserial.h"

namespace orvan::link {

std::unique_ptr<IDevicePort> MakeDevicePort(std::string_view name) {
    if (IsNetworkAddress(name)) return std::make_unique<TNetPort>();
    return std::make_unique<Tserial>();
}

TLinkPort::TLinkPort() : port_(std::make_unique<Tserial>()) {}

TLinkPort::~TLinkPort() = default;

std::int32_t TLinkPort::OpenPort(const char* name, std::int32_t speed, std::uint8_t parity) {
    const bool network = name != nullptr && IsNetworkAddress(name);
    port_->ClosePort();
    if (network != network_) {
        port_ = MakeDevicePort(network ? std::string_view(name) : std::string_view());
        network_ = network;
    }
    return port_->OpenPort(name, speed, parity);
}

}  // namespace orvan::link
