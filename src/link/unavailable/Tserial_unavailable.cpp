// A build without a serial backend for its system: every open says so, and
// nothing else is ever reached.

#include <cstdlib>

#include "link/Tserial.h"

namespace orvan::link {

std::string ResolvePortName(const std::string& name) {
    return name;
}

const char* OpenResultText(std::int32_t code) {
    switch (code) {
        case kOpenOk:
            return "port open";
        case kOpenNoName:
            return "no port name given";
        default:
            return "serial ports are not available in this build";
    }
}

Tserial::~Tserial() = default;

std::int32_t Tserial::OpenPort(const char* name, std::int32_t speed, std::uint8_t parity) {
    if (name == nullptr || name[0] == '\0') return kOpenNoName;
    PortName = name;
    DevicePath = name;
    BaudRate = speed;
    Parity = parity;
    openError_ = "cannot open \"" + PortName + "\": serial ports are not available in this build";
    return kOpenCannotOpen;
}

std::string Tserial::OpenErrorText(std::int32_t code) const {
    if (code != kOpenOk && !openError_.empty()) return openError_;
    return OpenResultText(code);
}

void Tserial::NoteLost(const char*, int) {}
void Tserial::ClosePort() {}
void Tserial::WriteBytes(const std::uint8_t*, std::size_t) {}
std::int32_t Tserial::ReadBytes(std::uint8_t*, std::int32_t) {
    return 0;
}
std::int32_t Tserial::BytesWaiting() {
    return 0;
}

}  // namespace orvan::link
