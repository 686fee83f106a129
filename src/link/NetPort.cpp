// TNetPort: name resolution, the connection, the RFC 2217 negotiation and
// the non-blocking transfer of bytes. The system's socket calls are in
// NetPort_posix.cpp and NetPort_win.cpp (see NetSocket.h).

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <netdb.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "link/NetPort.h"
#include "link/NetSocket.h"
#include "link/Tserial.h"

namespace orvan::link {

namespace {

using SteadyClock = std::chrono::steady_clock;

// How long a confirmed line waits for the server's answer to the purge.
constexpr int kPurgeWaitMs = 300;

int MsLeft(SteadyClock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::string Seconds(int ms) {
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
    return std::to_string(ms) + " ms";
}

// What a name given by the user looks like in a message: control characters
// and non-ASCII bytes shown as '?', long names cut.
std::string Shown(const std::string& name) {
    std::string s;
    for (const char c : name.substr(0, 120))
        s +=
            static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F ? c : '?';
    if (name.size() > 120) s += "...";
    return s;
}

// The text a server sent last before it closed (its reason, such as "Port
// already in use"): the run of printable characters at the end of `bytes`,
// line ends dropped; empty when the bytes do not end in text.
std::string PartingWords(const std::string& bytes) {
    std::size_t end = bytes.size();
    while (end > 0 && (bytes[end - 1] == '\r' || bytes[end - 1] == '\n')) --end;
    std::size_t begin = end;
    while (begin > 0) {
        const unsigned char c = static_cast<unsigned char>(bytes[begin - 1]);
        if (c < 0x20 || c >= 0x7F) break;
        --begin;
    }
    if (end - begin < 4) return {};
    std::string s = bytes.substr(begin, end - begin);
    if (s.size() > 100) s = s.substr(s.size() - 100);
    return s;
}

bool SaysBusy(const std::string& words) {
    std::string lower;
    for (const char c : words)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("in use") != std::string::npos || lower.find("busy") != std::string::npos;
}

std::string ConnectFailure(const TNetAddress& a, int err) {
    const std::string reason = netsys::ErrorText(err);
    switch (netsys::Kind(err)) {
        case netsys::TErrorKind::kRefused:
            return "refused: nothing accepts connections at " + a.HostPort() + " (" + reason +
                   "); is the server running, and is this its port?";
        case netsys::TErrorKind::kUnreachable:
            return "unreachable: " + a.HostPort() + " cannot be reached from here (" + reason + ")";
        case netsys::TErrorKind::kTimedOut:
            return "no answer: " + a.HostPort() + " did not accept the connection (" + reason + ")";
        case netsys::TErrorKind::kAccess:
            return "no access: connections to " + a.HostPort() + " are not allowed here (" +
                   reason + ")";
        default:
            return a.HostPort() + " cannot be reached: " + reason;
    }
}

// The standard rate nearest to bps (56700 gives 57600, 1.6 % off, which a
// UART tolerates).
std::uint32_t NearestStandardRate(std::uint32_t bps) {
    static const std::uint32_t rates[] = {1200,  2400,  4800,   9600,  19200,
                                          38400, 57600, 115200, 230400};
    std::uint32_t best = rates[0];
    for (std::uint32_t r : rates) {
        const auto d = [bps](std::uint32_t x) { return x > bps ? x - bps : bps - x; };
        if (d(r) < d(best)) best = r;
    }
    return best;
}

}  // namespace

TResolved TNetPort::SystemResolve(const std::string& host, std::uint16_t port, int limitMs) {
    TResolved result;
    if (const std::string why = netsys::Startup(); !why.empty()) {
        result.why = why;
        return result;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    const std::string service = std::to_string(port);
    const auto take = [&result](const addrinfo* list) {
        for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
            if (ai->ai_addrlen > sizeof(sockaddr_storage)) continue;
            TSocketAddress s;
            std::memcpy(&s.address, ai->ai_addr, ai->ai_addrlen);
            s.length = ai->ai_addrlen;
            result.addresses.push_back(s);
        }
    };

    // An address written as numbers needs no name service.
    addrinfo numeric = hints;
    numeric.ai_flags |= AI_NUMERICHOST;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), service.c_str(), &numeric, &list) == 0) {
        take(list);
        ::freeaddrinfo(list);
        return result;
    }

    // The name service may take long (a server that does not answer): the
    // look-up runs on a thread of its own and is left to finish by itself
    // when it takes longer than the limit.
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        int rc = 0;
        addrinfo* list = nullptr;
        ~Shared() {
            if (list) ::freeaddrinfo(list);
        }
    };
    auto shared = std::make_shared<Shared>();
    try {
        std::thread([shared, host, service, hints] {
            addrinfo* found = nullptr;
            const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
            std::lock_guard<std::mutex> g(shared->mutex);
            shared->rc = rc;
            shared->list = found;
            shared->finished = true;
            shared->done.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        result.why = std::string("the name service could not be asked (") + e.what() + ")";
        return result;
    }
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (!shared->done.wait_for(lock, std::chrono::milliseconds(std::max(0, limitMs)),
                               [&] { return shared->finished; })) {
        result.why = "the name service did not answer within " + Seconds(limitMs);
        return result;
    }
    if (shared->rc != 0) {
        result.why = netsys::ResolveErrorText(shared->rc);
        return result;
    }
    take(shared->list);
    if (result.addresses.empty()) result.why = "no address for it";
    return result;
}

int TNetPort::Descriptor() const {
    return netsys::WaitHandle(sock_, wake_);
}

TNetPort::~TNetPort() {
    TNetPort::ClosePort();
}

void TNetPort::ClosePort() {
    if (sock_ != netsys::kNoSocket) netsys::Close(sock_);
    sock_ = netsys::kNoSocket;
    netsys::DropWake(wake_);
    wake_ = -1;
    rx_.clear();
    rxHead_ = 0;
    tx_.clear();
    txHead_ = 0;
    tail_.clear();
}

std::int32_t TNetPort::Fail(std::int32_t code, std::string why) {
    openError_ = std::move(why);
    // A failed open is told by OpenErrorText, not as a line lost: nothing
    // was ever open to lose.
    lost_.clear();
    ClosePort();
    return code;
}

std::string TNetPort::OpenErrorText(std::int32_t code) const {
    if (code != kOpenOk && !openError_.empty()) return openError_;
    return OpenResultText(code);
}

std::int32_t TNetPort::OpenPort(const char* name, std::int32_t speed, std::uint8_t parity) {
    ClosePort();
    openError_.clear();
    lost_.clear();
    peerClosed_ = false;
    peerError_ = 0;
    speedExact_ = false;
    address_.reset();
    if (name == nullptr || name[0] == '\0') return kOpenNoName;
    portName_ = name;
    devicePath_ = portName_;
    baudRate_ = speed;
    std::string why;
    const std::optional<TNetAddress> a = ParseNetAddress(portName_, &why);
    if (!a) return Fail(kOpenCannotOpen, "bad address: " + Shown(portName_) + ": " + why);
    address_ = a;
    devicePath_ = a->Text();

    const TResolved resolved = resolver_ ? resolver_(a->host, a->port, limits_.resolveMs)
                                         : SystemResolve(a->host, a->port, limits_.resolveMs);
    if (resolved.addresses.empty())
        return Fail(kOpenCannotOpen, "unknown host: " + a->host + " cannot be resolved (" +
                                         (resolved.why.empty() ? "no address" : resolved.why) +
                                         ")");
    int lastError = 0;
    bool timedOut = false;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(limits_.connectMs);
    for (const TSocketAddress& s : resolved.addresses) {
        sock_ = netsys::Connect(s, MsLeft(deadline), lastError, timedOut);
        if (sock_ != netsys::kNoSocket || MsLeft(deadline) == 0) break;
    }
    if (sock_ == netsys::kNoSocket) {
        if (timedOut)
            return Fail(kOpenCannotOpen, "no answer: " + a->HostPort() +
                                             " did not accept the connection within " +
                                             Seconds(limits_.connectMs));
        return Fail(kOpenCannotOpen, ConnectFailure(*a, lastError));
    }
    netsys::Configure(sock_);
    wake_ = netsys::MakeWake(sock_);

    codec_ = telnet::TTelnetCodec();
    const std::int32_t rc =
        a->protocol == TNetProtocol::Raw ? Settle(*a) : Negotiate(*a, speed, parity);
    if (rc != kOpenOk) return rc;
    // As a serial port is flushed when opened: nothing said before now
    // belongs to the first answer.
    rx_.clear();
    rxHead_ = 0;
    tail_.clear();
    return kOpenOk;
}

std::string TNetPort::ClosedAtOnceText(const TNetAddress& a) const {
    const std::string words = PartingWords(tail_);
    const std::string how =
        peerError_ != 0 ? " (" + netsys::ErrorText(peerError_) + ")" : std::string();
    if (!words.empty() && SaysBusy(words))
        return "busy: " + a.Text() + " is held by another program (the server said \"" + words +
               "\")";
    if (!words.empty())
        return "refused: the server at " + a.HostPort() + " closed the connection at once" + how +
               ", saying \"" + words + "\"";
    return "busy or refused: the server at " + a.HostPort() + " closed the connection at once" +
           how +
           "; a server that serves one program at a time does so while another holds the line";
}

std::int32_t TNetPort::Settle(const TNetAddress& a) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(limits_.settleMs);
    for (;;) {
        if (peerClosed_) return Fail(kOpenCannotOpen, ClosedAtOnceText(a));
        const int left = MsLeft(deadline);
        if (left == 0) return kOpenOk;
        WaitAndPump(left);
    }
}

std::int32_t TNetPort::Negotiate(const TNetAddress& a, std::int32_t speed, std::uint8_t parity) {
    using namespace telnet;
    if (speed <= 0) return Fail(kOpenLineFailed, "no line speed given for " + a.Text());
    negotiating_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{negotiating_};
    codec_.Start(tx_);
    FlushTx();

    const std::uint8_t wantParity = parity == 1   ? kParityOdd
                                    : parity == 2 ? kParityEven
                                                  : kParityNone;
    std::uint32_t wantBaud = static_cast<std::uint32_t>(speed);
    bool settingsSent = false, fallbackAsked = false;
    bool baudOk = false, sizeOk = false, parityOk = false, stopOk = false, flowOk = false;
    bool flowSeen = false;
    bool purged = false;
    // When everything needed was confirmed: the purge's answer is waited for
    // a little longer, not required (a server may not offer it).
    std::optional<SteadyClock::time_point> settledAt;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(limits_.negotiationMs);
    const std::string who = "the server at " + a.HostPort();
    for (;;) {
        for (const TComPortReply& r : codec_.TakeReplies()) {
            const std::uint8_t v = r.value.empty() ? 0 : r.value[0];
            switch (r.command) {
                case kServerReply + kSetBaudRate: {
                    if (r.value.size() < 4) break;
                    const std::uint32_t got = static_cast<std::uint32_t>(r.value[0]) << 24 |
                                              static_cast<std::uint32_t>(r.value[1]) << 16 |
                                              static_cast<std::uint32_t>(r.value[2]) << 8 |
                                              r.value[3];
                    if (got == wantBaud) {
                        baudOk = true;
                        speedExact_ = !fallbackAsked;
                    } else if (!fallbackAsked && NearestStandardRate(wantBaud) != wantBaud) {
                        // As a local port does for a driver without custom
                        // rates: the nearest standard one.
                        fallbackAsked = true;
                        wantBaud = NearestStandardRate(wantBaud);
                        TTelnetCodec::SetBaudRate(wantBaud, tx_);
                        FlushTx();
                    } else {
                        return Fail(kOpenLineFailed,
                                    "speed refused: " + who + " runs the line at " +
                                        std::to_string(got) + " bit/s when asked for " +
                                        std::to_string(speed));
                    }
                    break;
                }
                case kServerReply + kSetDataSize:
                    if (v != 8)
                        return Fail(kOpenLineFailed, "line refused: " + who + " keeps " +
                                                         std::to_string(v) +
                                                         " data bits when asked for 8");
                    sizeOk = true;
                    break;
                case kServerReply + kSetParity:
                    if (v != wantParity)
                        return Fail(kOpenLineFailed, "line refused: " + who +
                                                         " keeps parity setting " +
                                                         std::to_string(v) + " when asked for " +
                                                         std::to_string(wantParity));
                    parityOk = true;
                    break;
                case kServerReply + kSetStopSize:
                    if (v != kStopBitsOne)
                        return Fail(kOpenLineFailed,
                                    "line refused: " + who + " keeps stop-bit setting " +
                                        std::to_string(v) + " when asked for one stop bit");
                    stopOk = true;
                    break;
                case kServerReply + kSetControl:
                    // The first answer is the flow control's; those to the
                    // modem lines that follow are taken as they come (a
                    // server on a line without them may not answer at all).
                    if (flowSeen) break;
                    flowSeen = true;
                    if (v != kControlNoFlow)
                        return Fail(kOpenLineFailed,
                                    "line refused: " + who + " keeps flow control setting " +
                                        std::to_string(v) + " when asked for none");
                    flowOk = true;
                    break;
                case kServerReply + kPurgeData:
                    purged = true;
                    break;
                default:
                    break;  // line and modem state notices, signatures
            }
        }
        if (codec_.LocalRefused(kOptComPort))
            return Fail(kOpenLineFailed,
                        "not RFC 2217: " + who +
                            " refuses the COM-PORT-OPTION, so the line cannot be set from here; "
                            "if the server sets the line itself, use tcp://" +
                            a.HostPort());
        if (codec_.LocalRefused(kOptBinary) || codec_.RemoteRefused(kOptBinary))
            return Fail(kOpenLineFailed, "line refused: " + who +
                                             " refuses binary transmission, which the board's "
                                             "frames need");
        // A refusal that came just before the server hung up is the reason.
        if (peerClosed_) return Fail(kOpenCannotOpen, ClosedAtOnceText(a));
        if (!settingsSent && codec_.Local(kOptComPort) == TOptionState::Yes) {
            TTelnetCodec::SetBaudRate(wantBaud, tx_);
            const std::uint8_t eight = 8, stop = kStopBitsOne, noFlow = kControlNoFlow,
                               dtrOff = kControlDtrOff, rtsOff = kControlRtsOff;
            TTelnetCodec::ComPortCommand(kSetDataSize, &eight, 1, tx_);
            TTelnetCodec::ComPortCommand(kSetParity, &wantParity, 1, tx_);
            TTelnetCodec::ComPortCommand(kSetStopSize, &stop, 1, tx_);
            TTelnetCodec::ComPortCommand(kSetControl, &noFlow, 1, tx_);
            // Modem lines held low, as on a local port.
            TTelnetCodec::ComPortCommand(kSetControl, &dtrOff, 1, tx_);
            TTelnetCodec::ComPortCommand(kSetControl, &rtsOff, 1, tx_);
            // What the server read from the line before (a late answer to
            // the program it served last) is dropped, as a local port is
            // flushed when opened; what it sent before its answer to this is
            // dropped here.
            const std::uint8_t received = kPurgeReceived;
            TTelnetCodec::ComPortCommand(kPurgeData, &received, 1, tx_);
            FlushTx();
            settingsSent = true;
        }
        const bool binary = codec_.Local(kOptBinary) == TOptionState::Yes &&
                            codec_.Remote(kOptBinary) == TOptionState::Yes;
        if (settingsSent && baudOk && sizeOk && parityOk && stopOk && flowOk && binary) {
            if (!settledAt) settledAt = SteadyClock::now();
            if (purged ||
                SteadyClock::now() - *settledAt >= std::chrono::milliseconds(kPurgeWaitMs))
                return kOpenOk;
            WaitAndPump(std::min(MsLeft(*settledAt + std::chrono::milliseconds(kPurgeWaitMs)),
                                 MsLeft(deadline)));
            if (MsLeft(deadline) == 0) return kOpenOk;
            continue;
        }
        const int left = MsLeft(deadline);
        if (left == 0) {
            if (!settingsSent)
                return Fail(kOpenLineFailed, "not RFC 2217: " + who +
                                                 " did not answer the COM-PORT-OPTION within " +
                                                 Seconds(limits_.negotiationMs) +
                                                 "; for a raw TCP port, use tcp://" + a.HostPort());
            std::string missing;
            const auto add = [&missing](bool ok, const char* what) {
                if (!ok) missing += (missing.empty() ? "" : ", ") + std::string(what);
            };
            add(baudOk, "speed");
            add(sizeOk, "data bits");
            add(parityOk, "parity");
            add(stopOk, "stop bits");
            add(flowOk, "flow control");
            add(binary, "binary transmission");
            return Fail(kOpenLineFailed, "line not confirmed: " + who + " did not confirm " +
                                             missing + " within " + Seconds(limits_.negotiationMs));
        }
        WaitAndPump(left);
    }
}

void TNetPort::WaitAndPump(int ms) {
    if (sock_ == netsys::kNoSocket) return;
    netsys::Wait(sock_, txHead_ < tx_.size(), ms);
    Pump();
}

void TNetPort::NoteLost(const char* what, int err) {
    peerClosed_ = true;
    peerError_ = err;
    if (lost_.empty()) {
        const std::string at = address_ ? address_->Text() : devicePath_;
        if (err == 0) {
            const std::string words = PartingWords(tail_);
            lost_ = "the server at " + at + " closed the connection" +
                    (words.empty() ? std::string() : " (it said \"" + words + "\")");
        } else if (netsys::Kind(err) == netsys::TErrorKind::kReset) {
            lost_ = "the connection to " + at + " was reset (" + what + ": " +
                    netsys::ErrorText(err) + ")";
        } else {
            lost_ = "the connection to " + at + " is gone (" + what + ": " +
                    netsys::ErrorText(err) + ")";
        }
    }
    // Shut both ways: a socket whose peer is gone then reads as hung up, so
    // a wait on its descriptor does not keep waking for nothing.
    if (sock_ != netsys::kNoSocket) netsys::Shutdown(sock_);
    netsys::SetWake(wake_, true);
    tx_.clear();
    txHead_ = 0;
}

void TNetPort::Incoming(const std::uint8_t* data, std::size_t count) {
    const std::size_t before = rx_.size();
    if (address_ && address_->protocol == TNetProtocol::Rfc2217) {
        const std::size_t pending = tx_.size();
        codec_.Feed(data, count, rx_, tx_);
        // Once open, the server's notices of line and modem state are not
        // needed: they are dropped rather than kept.
        if (!negotiating_) (void)codec_.TakeReplies();
        if (tx_.size() != pending) FlushTx();
    } else {
        rx_.insert(rx_.end(), data, data + count);
    }
    tail_.append(reinterpret_cast<const char*>(rx_.data() + before), rx_.size() - before);
    if (tail_.size() > 256) tail_.erase(0, tail_.size() - 128);
}

void TNetPort::Pump() {
    FlushTx();
    if (sock_ == netsys::kNoSocket || peerClosed_) return;
    // Cleared before the socket is read: bytes that come after set it again.
    netsys::SetWake(wake_, false);
    std::uint8_t buffer[4096];
    // Bounded: a server that never stops talking cannot hold the caller.
    for (int round = 0; round < 16 && Waiting() < kMaxBuffered; ++round) {
        std::size_t n = 0;
        int err = 0;
        const netsys::TIo io = netsys::Receive(sock_, buffer, sizeof buffer, n, err);
        if (io == netsys::TIo::kDone) {
            Incoming(buffer, n);
            continue;
        }
        if (io == netsys::TIo::kClosed) NoteLost("read", 0);
        if (io == netsys::TIo::kFailed) NoteLost("read", err);
        break;
    }
    if (Waiting() > 0) netsys::SetWake(wake_, true);
}

void TNetPort::FlushTx() {
    while (sock_ != netsys::kNoSocket && !peerClosed_ && txHead_ < tx_.size()) {
        std::size_t n = 0;
        int err = 0;
        const netsys::TIo io =
            netsys::Send(sock_, tx_.data() + txHead_, tx_.size() - txHead_, n, err);
        if (io == netsys::TIo::kDone) {
            txHead_ += n;
            continue;
        }
        if (io == netsys::TIo::kWouldBlock) break;  // sent on the next call
        NoteLost("write", err);
        return;
    }
    if (txHead_ >= tx_.size()) {
        tx_.clear();
        txHead_ = 0;
    }
}

void TNetPort::WriteBytes(const std::uint8_t* data, std::size_t count) {
    if (sock_ == netsys::kNoSocket || data == nullptr || count == 0 || peerClosed_) return;
    // A server that takes nothing for this long has the exchange time out;
    // the bytes beyond are dropped as a stalled serial line drops them.
    if (tx_.size() - txHead_ + count > kMaxBuffered) return;
    if (address_ && address_->protocol == TNetProtocol::Rfc2217)
        telnet::TTelnetCodec::Escape(data, count, tx_);
    else
        tx_.insert(tx_.end(), data, data + count);
    FlushTx();
}

std::int32_t TNetPort::BytesWaiting() {
    if (sock_ == netsys::kNoSocket) return 0;
    Pump();
    return static_cast<std::int32_t>(std::min<std::size_t>(Waiting(), kMaxBuffered));
}

std::int32_t TNetPort::ReadBytes(std::uint8_t* dest, std::int32_t count) {
    if (sock_ == netsys::kNoSocket || dest == nullptr || count <= 0) return 0;
    if (Waiting() < static_cast<std::size_t>(count)) Pump();
    const std::size_t n = std::min(Waiting(), static_cast<std::size_t>(count));
    std::copy_n(rx_.begin() + static_cast<std::ptrdiff_t>(rxHead_), n, dest);
    rxHead_ += n;
    if (rxHead_ == rx_.size()) {
        rx_.clear();
        rxHead_ = 0;
    } else if (rxHead_ > kMaxBuffered / 2) {
        rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(rxHead_));
        rxHead_ = 0;
    }
    // All taken: the socket's event must say whether more came.
    if (Waiting() == 0 && wake_ != -1) Pump();
    return static_cast<std::int32_t>(n);
}

}  // namespace orvan::link
