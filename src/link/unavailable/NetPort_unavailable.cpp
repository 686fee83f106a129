// A build without a network backend for its system: every open says so.

#include "link/NetPort.h"
#include "link/Tserial.h"

namespace orvan::link {

TResolved TNetPort::SystemResolve(const std::string& host, std::uint16_t, int) {
    return TResolved{{}, "cannot resolve \"" + host + "\": not available in this build"};
}

TNetPort::~TNetPort() = default;

void TNetPort::ClosePort() {}

std::int32_t TNetPort::Fail(std::int32_t code, std::string why) {
    openError_ = std::move(why);
    return code;
}

std::string TNetPort::OpenErrorText(std::int32_t code) const {
    if (code != kOpenOk && !openError_.empty()) return openError_;
    return OpenResultText(code);
}

std::int32_t TNetPort::OpenPort(const char* name, std::int32_t speed, std::uint8_t) {
    if (name == nullptr || name[0] == '\0') return kOpenNoName;
    portName_ = name;
    devicePath_ = name;
    baudRate_ = speed;
    return Fail(kOpenCannotOpen,
                "cannot open \"" + portName_ + "\": network ports are not available in this build");
}

void TNetPort::WriteBytes(const std::uint8_t*, std::size_t) {}
std::int32_t TNetPort::BytesWaiting() {
    return 0;
}
std::int32_t TNetPort::ReadBytes(std::uint8_t*, std::int32_t) {
    return 0;
}

}  // namespace orvan::link
