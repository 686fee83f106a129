#pragma once
// A board reached through a serial device server: "tcp://HOST:PORT" (a raw
// byte stream, the line speed set on the server) or "rfc2217://HOST:PORT"
// (telnet with the COM-PORT-OPTION, the line set from here). HOST is a name,
// an IPv4 address or an IPv6 address in brackets ("[::1]").

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvan::link {

enum class TNetProtocol : std::uint8_t {
    Raw,      // tcp://
    Rfc2217,  // rfc2217://
};

struct TNetAddress {
    TNetProtocol protocol = TNetProtocol::Raw;
    std::string host;  // without the brackets of an IPv6 address
    std::uint16_t port = 0;

    // "tcp://host:port" as a user would type it again.
    std::string Text() const;
    // "host:port" (brackets around an IPv6 address).
    std::string HostPort() const;
};

// Longest address text taken (a 253-character host name, the scheme, the port).
inline constexpr std::size_t kMaxNetAddressLength = 280;

// Whether `text` is meant as a network address: it starts with one of the two
// schemes (any case). It may still be malformed; ParseNetAddress says how.
bool IsNetworkAddress(std::string_view text);

// The address, or nothing with `why` saying what is wrong with the text.
std::optional<TNetAddress> ParseNetAddress(std::string_view text, std::string* why = nullptr);

}  // namespace orvan::link
