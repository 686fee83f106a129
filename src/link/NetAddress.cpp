#include "link/NetAddress.h"

#include <cctype>

namespace orvan::link {

namespace {

constexpr std::string_view kTcpScheme = "tcp://";
constexpr std::string_view kRfc2217Scheme = "rfc2217://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

std::optional<TNetAddress> No(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return std::nullopt;
}

bool HostNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool Ipv6Char(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

}  // namespace

std::string TNetAddress::HostPort() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string TNetAddress::Text() const {
    return std::string(protocol == TNetProtocol::Raw ? kTcpScheme : kRfc2217Scheme) + HostPort();
}

bool IsNetworkAddress(std::string_view text) {
    return StartsWithNoCase(text, kTcpScheme) || StartsWithNoCase(text, kRfc2217Scheme);
}

std::optional<TNetAddress> ParseNetAddress(std::string_view text, std::string* why) {
    if (text.size() > kMaxNetAddressLength)
        return No(why, "longer than " + std::to_string(kMaxNetAddressLength) + " characters");
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) >= 0x7F)
            return No(why, "spaces, control or non-ASCII characters in the address");
    TNetAddress a;
    std::string_view rest;
    if (StartsWithNoCase(text, kTcpScheme)) {
        a.protocol = TNetProtocol::Raw;
        rest = text.substr(kTcpScheme.size());
    } else if (StartsWithNoCase(text, kRfc2217Scheme)) {
        a.protocol = TNetProtocol::Rfc2217;
        rest = text.substr(kRfc2217Scheme.size());
    } else {
        return No(why, "not a network address (tcp://HOST:PORT or rfc2217://HOST:PORT)");
    }

    std::string_view portText;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return No(why, "an IPv6 address without its ']'");
        const std::string_view inside = rest.substr(1, close - 1);
        if (inside.empty() || inside.find(':') == std::string_view::npos)
            return No(why, "no IPv6 address between the brackets");
        for (const char c : inside)
            if (!Ipv6Char(c)) return No(why, "'" + std::string(1, c) + "' in an IPv6 address");
        a.host = std::string(inside);
        rest = rest.substr(close + 1);
        if (rest.empty() || rest.front() != ':')
            return No(why, "no port after the host (HOST:PORT)");
        portText = rest.substr(1);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) return No(why, "no port after the host (HOST:PORT)");
        const std::string_view host = rest.substr(0, colon);
        if (host.empty()) return No(why, "no host before the port");
        if (host.size() > 253) return No(why, "a host name longer than 253 characters");
        for (const char c : host) {
            if (c == ':')
                return No(why, "an IPv6 address must be written in brackets ([::1]:PORT)");
            if (!HostNameChar(c))
                return No(why, "'" + std::string(1, c) + "' cannot be part of a host name");
        }
        if (host.front() == '-' || host.front() == '.')
            return No(why, "a host name cannot start with '" + std::string(1, host.front()) + "'");
        a.host = std::string(host);
        portText = rest.substr(colon + 1);
    }
    if (portText.empty()) return No(why, "no port after the host (HOST:PORT)");
    if (portText.size() > 5)
        return No(why, "the port '" + std::string(portText) + "' is not 1 to 65535");
    unsigned long port = 0;
    for (const char c : portText) {
        if (c < '0' || c > '9')
            return No(why, "the port '" + std::string(portText) + "' is not a number");
        port = port * 10 + static_cast<unsigned long>(c - '0');
    }
    if (port < 1 || port > 65535)
        return No(why, "the port " + std::string(portText) + " is not 1 to 65535");
    a.port = static_cast<std::uint16_t>(port);
    return a;
}

}  // namespace orvan::link
