// The network port: addresses, the telnet codec byte by byte, and TNetPort
// against scripted servers on loopback (the negotiation a serial device
// server in RFC 2217 mode answers with, its refusals, a busy or vanishing
// server, and the board's 0xFF bytes escaped both ways).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/LinkPort.h"
#include "link/NetAddress.h"
#include "link/NetPort.h"
#include "link/Telnet.h"

using namespace orvan::link;
using namespace orvan::link::telnet;
using Bytes = std::vector<std::uint8_t>;

namespace {

// ---------------------------------------------------------------- addresses

TEST(NetAddress, WellFormedAddresses) {
    struct Case {
        const char* text;
        TNetProtocol protocol;
        const char* host;
        std::uint16_t port;
        const char* normal;
    };
    const Case cases[] = {
        {"tcp://127.0.0.1:2000", TNetProtocol::Raw, "127.0.0.1", 2000, "tcp://127.0.0.1:2000"},
        {"rfc2217://welder-3.shop.lan:7001", TNetProtocol::Rfc2217, "welder-3.shop.lan", 7001,
         "rfc2217://welder-3.shop.lan:7001"},
        {"TCP://Box:1", TNetProtocol::Raw, "Box", 1, "tcp://Box:1"},
        {"rfc2217://[::1]:65535", TNetProtocol::Rfc2217, "::1", 65535, "rfc2217://[::1]:65535"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(IsNetworkAddress(c.text));
        std::string why;
        const auto a = ParseNetAddress(c.text, &why);
        ASSERT_TRUE(a) << why;
        EXPECT_EQ(a->protocol, c.protocol);
        EXPECT_EQ(a->host, c.host);
        EXPECT_EQ(a->port, c.port);
        EXPECT_EQ(a->Text(), c.normal);
    }
}

TEST(NetAddress, MalformedAddressesSayWhatIsWrong) {
    const std::pair<std::string, const char*> cases[] = {
        {"tcp://host", "no port"},
        {"tcp://:2000", "no host"},
        {"tcp://host:", "no port"},
        {"tcp://host:0", "not 1 to 65535"},
        {"tcp://host:65536", "not 1 to 65535"},
        {"tcp://host:123456", "not 1 to 65535"},
        {"tcp://host:20a0", "not a number"},
        {"tcp://ho st:2000", "spaces, control"},
        {"tcp://host:2000\r", "spaces, control"},
        {"tcp://h/st:2000", "'/' cannot be part"},
        {"tcp://-host:2000", "cannot start"},
        {"tcp://::1:2000", "in brackets"},
        {"tcp://[::1:2000", "without its ']'"},
        {"tcp://[]:2000", "no IPv6 address"},
        {"tcp://[::g]:2000", "'g' in an IPv6"},
        {"tcp://" + std::string(254, 'a') + ":1", "longer than 253"},
        {"tcp://" + std::string(300, 'a') + ":1", "longer than 280"},
        {"/dev/ttyUSB0", "not a network address"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        std::string why;
        EXPECT_FALSE(ParseNetAddress(text, &why));
        EXPECT_NE(why.find(expected), std::string::npos) << why;
    }
    EXPECT_FALSE(IsNetworkAddress("/dev/ttyUSB0"));
    EXPECT_FALSE(IsNetworkAddress("COM1"));
    EXPECT_FALSE(IsNetworkAddress("tcp:/host:1"));
}

// ------------------------------------------------------------- telnet codec

Bytes Iac(std::initializer_list<std::uint8_t> rest) {
    Bytes b{kIac};
    b.insert(b.end(), rest);
    return b;
}

TEST(TelnetCodec, OpensWithItsRequestsAndAnswersTheServerOnlyOnChange) {
    struct Case {
        const char* name;
        Bytes fromServer;
        Bytes expectedAnswer;
    };
    const Case cases[] = {
        // Echo would send every request back as an answer.
        {"echo offered is refused", Iac({kWill, kOptEcho}), Iac({kDont, kOptEcho})},
        {"echo asked of us is refused", Iac({kDo, kOptEcho}), Iac({kWont, kOptEcho})},
        {"agreement to our own requests needs no answer",
         [] {
             Bytes b = Iac({kDo, kOptComPort});
             for (const Bytes& x :
                  {Iac({kDo, kOptBinary}), Iac({kWill, kOptBinary}),
                   Iac({kDo, kOptSuppressGoAhead}), Iac({kWill, kOptSuppressGoAhead})})
                 b.insert(b.end(), x.begin(), x.end());
             return b;
         }(),
         {}},
        {"a repeated agreement is not answered again",
         [] {
             Bytes b = Iac({kDo, kOptSuppressGoAhead});
             const Bytes again = Iac({kDo, kOptSuppressGoAhead});
             b.insert(b.end(), again.begin(), again.end());
             return b;
         }(),
         {}},
        {"an unknown option is refused", Iac({kDo, 24}), Iac({kWont, 24})},
        {"an unknown offer is refused", Iac({kWill, 24}), Iac({kDont, 24})},
        {"a refusal of what was never on needs no answer", Iac({kWont, kOptEcho}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTelnetCodec codec;
        Bytes start;
        codec.Start(start);
        const Bytes expectedStart = [] {
            Bytes b;
            for (const Bytes& x : {Iac({kWill, kOptComPort}), Iac({kWill, kOptBinary}),
                                   Iac({kWill, kOptSuppressGoAhead}), Iac({kDo, kOptBinary}),
                                   Iac({kDo, kOptSuppressGoAhead})})
                b.insert(b.end(), x.begin(), x.end());
            return b;
        }();
        EXPECT_EQ(start, expectedStart);
        Bytes data, answer;
        codec.Feed(c.fromServer.data(), c.fromServer.size(), data, answer);
        EXPECT_EQ(answer, c.expectedAnswer);
        EXPECT_TRUE(data.empty());
    }
}

TEST(TelnetCodec, StatesFollowAgreementsAndRefusals) {
    TTelnetCodec codec;
    Bytes out, data;
    codec.Start(out);
    EXPECT_EQ(codec.Local(kOptComPort), TOptionState::WantYes);
    const Bytes in = [] {
        Bytes b = Iac({kDont, kOptComPort});
        const Bytes binary = Iac({kWill, kOptBinary});
        b.insert(b.end(), binary.begin(), binary.end());
        return b;
    }();
    out.clear();
    codec.Feed(in.data(), in.size(), data, out);
    EXPECT_EQ(codec.Local(kOptComPort), TOptionState::No);
    EXPECT_TRUE(codec.LocalRefused(kOptComPort));
    EXPECT_EQ(codec.Remote(kOptBinary), TOptionState::Yes);
    EXPECT_FALSE(codec.RemoteRefused(kOptBinary));
    EXPECT_TRUE(out.empty());
    // Binary withdrawn later is acknowledged once.
    const Bytes wont = Iac({kWont, kOptBinary});
    codec.Feed(wont.data(), wont.size(), data, out);
    EXPECT_EQ(out, Iac({kDont, kOptBinary}));
    EXPECT_EQ(codec.Remote(kOptBinary), TOptionState::No);
}

// A frame as the board sends it, with 0xFF at position `at` (or everywhere
// for at == size).
Bytes FrameWithFF(std::size_t size, std::size_t at) {
    Bytes f(size);
    for (std::size_t i = 0; i < size; ++i) f[i] = static_cast<std::uint8_t>(0x30 + i);
    if (at == size)
        std::fill(f.begin(), f.end(), std::uint8_t{0xFF});
    else
        f[at] = 0xFF;
    return f;
}

TEST(TelnetCodec, FFInEveryPositionSurvivesEscapingAndAnyCutOfTheStream) {
    constexpr std::size_t kSize = 12;
    for (std::size_t at = 0; at <= kSize; ++at) {
        const Bytes frame = FrameWithFF(kSize, at);
        Bytes wire;
        TTelnetCodec::Escape(frame.data(), frame.size(), wire);
        const std::size_t ffs =
            static_cast<std::size_t>(std::count(frame.begin(), frame.end(), 0xFF));
        ASSERT_EQ(wire.size(), frame.size() + ffs) << "each 0xFF doubled";
        // The server sends the same escaping back; cut anywhere, even
        // between the two 0xFF of a pair.
        for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
            SCOPED_TRACE("0xFF at " + std::to_string(at) + ", cut at " + std::to_string(cut));
            TTelnetCodec codec;
            Bytes data, answer;
            codec.Feed(wire.data(), cut, data, answer);
            codec.Feed(wire.data() + cut, wire.size() - cut, data, answer);
            EXPECT_EQ(data, frame);
            EXPECT_TRUE(answer.empty());
        }
    }
}

TEST(TelnetCodec, SubnegotiationsAndCommandsAmidDataAreTakenOut) {
    // A baud-rate reply whose value holds 0xFF, a modem-state notice, a
    // no-operation and a go-ahead, between the board's bytes.
    Bytes wire = {0x43, 0x4F};
    for (const Bytes& x :
         {Bytes{kIac, kSb, kOptComPort, 101, 0x00, 0x01, kIac, kIac, 0x00, kIac, kSe}, Bytes{0x42},
          Bytes{kIac, kSb, kOptComPort, 107, 0x30, kIac, kSe},
          Bytes{kIac, 241, 0x53, kIac, 249, 0x00}})
        wire.insert(wire.end(), x.begin(), x.end());
    const Bytes expectedData = {0x43, 0x4F, 0x42, 0x53, 0x00};
    for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
        SCOPED_TRACE(cut);
        TTelnetCodec codec;
        Bytes data, answer;
        codec.Feed(wire.data(), cut, data, answer);
        codec.Feed(wire.data() + cut, wire.size() - cut, data, answer);
        EXPECT_EQ(data, expectedData);
        const std::vector<TComPortReply> replies = codec.TakeReplies();
        ASSERT_EQ(replies.size(), 2u);
        EXPECT_EQ(replies[0].command, 101);
        EXPECT_EQ(replies[0].value, (Bytes{0x00, 0x01, 0xFF, 0x00}));
        EXPECT_EQ(replies[1].command, 107);
        EXPECT_TRUE(codec.TakeReplies().empty());
    }
}

TEST(TelnetCodec, ComPortCommandsAreFramedAndEscaped) {
    Bytes out;
    TTelnetCodec::SetBaudRate(56700, out);
    EXPECT_EQ(out,
              (Bytes{kIac, kSb, kOptComPort, kSetBaudRate, 0x00, 0x00, 0xDD, 0x7C, kIac, kSe}));
    out.clear();
    TTelnetCodec::SetBaudRate(0xFF00FF01u, out);
    EXPECT_EQ(out, (Bytes{kIac, kSb, kOptComPort, kSetBaudRate, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x01,
                          kIac, kSe}));
}

TEST(TelnetCodec, AnOverlongSubnegotiationIsCutNotHoarded) {
    TTelnetCodec codec;
    Bytes wire = {kIac, kSb, kOptComPort, 100};
    wire.insert(wire.end(), 10000, 'x');
    wire.insert(wire.end(), {kIac, kSe, 0x11});
    Bytes data, answer;
    codec.Feed(wire.data(), wire.size(), data, answer);
    EXPECT_EQ(data, Bytes{0x11});
    const auto replies = codec.TakeReplies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_LE(replies[0].value.size(), TTelnetCodec::kMaxSubnegotiation);
}

// ------------------------------------------------------- scripted servers

// A server on 127.0.0.1 that takes one connection and runs a script on it.
class ScriptedServer {
  public:
    struct Conn {
        int fd = -1;
        Bytes received;  // everything the client sent, as it came
        void Send(const Bytes& b) const {
            if (!b.empty()) (void)::send(fd, b.data(), b.size(), MSG_NOSIGNAL);
        }
        // Reads what comes within `ms`; false when the client closed.
        bool Read(int ms) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, ms) <= 0) return true;
            std::uint8_t buf[4096];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return false;
            received.insert(received.end(), buf, buf + n);
            return true;
        }
        // Reads until `pred` holds over what was received, at most `ms`.
        bool ReadUntil(const std::function<bool(const Bytes&)>& pred, int ms) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
            while (!pred(received)) {
                if (std::chrono::steady_clock::now() >= until) return false;
                if (!Read(20)) return pred(received);
            }
            return true;
        }
    };
    using Script = std::function<void(Conn&)>;

    explicit ScriptedServer(Script script) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(::listen(listen_, 4), 0);
        socklen_t len = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this, script] {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) return;
            conn_.fd = ::accept(listen_, nullptr, nullptr);
            if (conn_.fd < 0) return;
            script(conn_);
            if (!keepOpen_) Close();
        });
    }
    ~ScriptedServer() {
        Join();
        Close();
        ::close(listen_);
    }
    std::string Address(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }
    // The script is over: what it received can be looked at.
    const Conn& Join() {
        if (thread_.joinable()) thread_.join();
        return conn_;
    }
    void KeepOpenAfterScript() { keepOpen_ = true; }
    void Close() {
        if (conn_.fd >= 0) ::close(conn_.fd);
        conn_.fd = -1;
    }

  private:
    int listen_ = -1;
    std::uint16_t port_ = 0;
    Conn conn_;
    std::atomic<bool> keepOpen_{false};
    std::thread thread_;
};

// What a serial device server in RFC 2217 mode says as soon as a client
// connects (the order one widespread server uses).
const Bytes kGreeting = {kIac, kWill, kOptSuppressGoAhead,
                         kIac, kDo,   kOptSuppressGoAhead,
                         kIac, kWill, kOptEcho,
                         kIac, kDont, kOptEcho,
                         kIac, kDo,   kOptBinary,
                         kIac, kWill, kOptBinary,
                         kIac, kDo,   kOptComPort};

// Every COM-PORT-OPTION command in the client's bytes: (command, value).
std::vector<std::pair<std::uint8_t, Bytes>> ComCommands(const Bytes& b) {
    std::vector<std::pair<std::uint8_t, Bytes>> out;
    for (std::size_t i = 0; i + 3 < b.size(); ++i) {
        if (b[i] != kIac || b[i + 1] != kSb || b[i + 2] != kOptComPort) continue;
        Bytes value;
        std::size_t j = i + 4;
        for (; j + 1 < b.size(); ++j) {
            if (b[j] == kIac && b[j + 1] == kSe) break;
            if (b[j] == kIac && b[j + 1] == kIac) ++j;
            value.push_back(b[j]);
        }
        if (j + 1 >= b.size()) break;  // not complete yet
        out.push_back({b[i + 3], value});
        i = j + 1;
    }
    return out;
}

bool Contains(const Bytes& hay, const Bytes& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

// A server's answer to one COM-PORT-OPTION command: the value to reply with,
// or nothing to stay silent.
using Answerer = std::function<std::optional<Bytes>(std::uint8_t command, const Bytes& value)>;

// Echoes every setting back, as a server that accepts it does; stays silent
// on the modem lines, as one in front of a line without them does.
std::optional<Bytes> Accepting(std::uint8_t command, const Bytes& value) {
    if (command == kSetControl && !value.empty() && value[0] != kControlNoFlow) return std::nullopt;
    return value;
}

// Greets, then answers each setting command as `answer` says, then runs `after`.
ScriptedServer::Script Rfc2217Server(Answerer answer, const Bytes& greeting = kGreeting,
                                     std::function<void(ScriptedServer::Conn&)> after = {}) {
    return [answer, greeting, after](ScriptedServer::Conn& c) {
        c.Send(greeting);
        std::size_t answered = 0;
        // Until the client goes (it closes after its test), or with `after`
        // once the settings, the two modem lines and the purge were asked for.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(3000);
        while (std::chrono::steady_clock::now() < until) {
            if (!c.Read(20)) return;
            const auto cmds = ComCommands(c.received);
            for (; answered < cmds.size(); ++answered) {
                const auto& [cmd, value] = cmds[answered];
                if (const std::optional<Bytes> v = answer(cmd, value)) {
                    Bytes reply = {kIac, kSb, kOptComPort, static_cast<std::uint8_t>(cmd + 100)};
                    TTelnetCodec::Escape(v->data(), v->size(), reply);
                    reply.insert(reply.end(), {kIac, kSe});
                    c.Send(reply);
                }
            }
            if (after && answered >= 8) {
                after(c);
                return;
            }
        }
    };
}

Bytes Be32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

TNetPort::TLimits ShortLimits() {
    TNetPort::TLimits l;
    l.negotiationMs = 400;
    l.settleMs = 50;
    return l;
}

TEST(NetPortRfc2217, NegotiationOutcomes) {
    struct Case {
        const char* name;
        ScriptedServer::Script server;
        std::int32_t speed;
        std::int32_t code;
        const char* why;  // part of the error text; "" when it opens
        bool exact;
    };
    const auto refuseSpeed = [](std::uint32_t keep, std::uint32_t allow) -> Answerer {
        return [keep, allow](std::uint8_t cmd, const Bytes& v) -> std::optional<Bytes> {
            if (cmd == kSetBaudRate) return v == Be32(allow) ? v : Be32(keep);
            return Accepting(cmd, v);
        };
    };
    const Case cases[] = {
        {"a server that accepts the line", Rfc2217Server(Accepting), 56700, kOpenOk, "", true},
        {"56700 refused, 57600 taken as a local port does", Rfc2217Server(refuseSpeed(9600, 57600)),
         56700, kOpenOk, "", false},
        {"a speed refused", Rfc2217Server(refuseSpeed(9600, 57600)), 38400, kOpenLineFailed,
         "speed refused: the server at 127.0.0.1", false},
        {"seven data bits kept",
         Rfc2217Server([](std::uint8_t cmd, const Bytes& v) -> std::optional<Bytes> {
             return cmd == kSetDataSize ? Bytes{7} : Accepting(cmd, v);
         }),
         9600, kOpenLineFailed, "keeps 7 data bits", false},
        {"flow control kept",
         Rfc2217Server([](std::uint8_t cmd, const Bytes& v) -> std::optional<Bytes> {
             return cmd == kSetControl && v == Bytes{kControlNoFlow} ? Bytes{3} : Accepting(cmd, v);
         }),
         9600, kOpenLineFailed, "flow control setting 3", false},
        {"parity never confirmed",
         Rfc2217Server([](std::uint8_t cmd, const Bytes& v) -> std::optional<Bytes> {
             if (cmd == kSetParity) return std::nullopt;
             return Accepting(cmd, v);
         }),
         9600, kOpenLineFailed, "did not confirm parity within 400 ms", false},
        {"the option refused",
         [](ScriptedServer::Conn& c) {
             c.ReadUntil(
                 [](const Bytes& b) {
                     return Contains(b, {kIac, kWill, kOptComPort});
                 },
                 2000);
             c.Send({kIac, kDont, kOptComPort});
             c.ReadUntil([](const Bytes&) { return false; }, 500);
         },
         9600, kOpenLineFailed, "refuses the COM-PORT-OPTION", false},
        {"binary refused",
         Rfc2217Server(Accepting,
                       {kIac, kDo, kOptComPort, kIac, kWont, kOptBinary, kIac, kDo, kOptBinary}),
         9600, kOpenLineFailed, "refuses binary transmission", false},
        {"a raw port that never answers",
         [](ScriptedServer::Conn& c) { c.ReadUntil([](const Bytes&) { return false; }, 800); },
         9600, kOpenLineFailed, "did not answer the COM-PORT-OPTION within 400 ms", false},
        {"busy: greets, says so and closes",
         [](ScriptedServer::Conn& c) {
             Bytes b = kGreeting;
             const std::string words = "Port already in use\r\n";
             b.insert(b.end(), words.begin(), words.end());
             c.Send(b);
         },
         9600, kOpenCannotOpen, "busy: rfc2217://127.0.0.1", false},
        {"closed at once without a word", [](ScriptedServer::Conn&) {}, 9600, kOpenCannotOpen,
         "closed the connection at once", false},
        {"a server without the purge still opens",
         Rfc2217Server([](std::uint8_t cmd, const Bytes& v) -> std::optional<Bytes> {
             if (cmd == kPurgeData) return std::nullopt;
             return Accepting(cmd, v);
         }),
         9600, kOpenOk, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.server);
        TNetPort port;
        port.SetLimits(ShortLimits());
        const std::int32_t rc = port.OpenPort(server.Address("rfc2217").c_str(), c.speed, 0);
        EXPECT_EQ(rc, c.code) << port.OpenErrorText(rc);
        EXPECT_EQ(port.IsOpen(), rc == kOpenOk);
        if (rc == kOpenOk) {
            EXPECT_EQ(port.SpeedExact(), c.exact);
            EXPECT_GE(port.Descriptor(), 0);
        } else {
            EXPECT_NE(port.OpenErrorText(rc).find(c.why), std::string::npos)
                << port.OpenErrorText(rc);
            EXPECT_EQ(port.Descriptor(), -1);
            EXPECT_EQ(port.LostReason(), "") << "a failed open is no lost line";
        }
        port.ClosePort();
    }
}

TEST(NetPortRfc2217, AsksFor8N1NoFlowControlTheSpeedAndNoEcho) {
    ScriptedServer server(Rfc2217Server(Accepting));
    TNetPort port;
    ASSERT_EQ(port.OpenPort(server.Address("rfc2217").c_str(), 56700, 0), kOpenOk)
        << port.OpenErrorText(kOpenLineFailed);
    port.ClosePort();
    const ScriptedServer::Conn& c = server.Join();
    const auto cmds = ComCommands(c.received);
    const std::vector<std::pair<std::uint8_t, Bytes>> expected = {
        {kSetBaudRate, Be32(56700)},     {kSetDataSize, {8}},
        {kSetParity, {kParityNone}},     {kSetStopSize, {kStopBitsOne}},
        {kSetControl, {kControlNoFlow}}, {kSetControl, {kControlDtrOff}},
        {kSetControl, {kControlRtsOff}}, {kPurgeData, {kPurgeReceived}}};
    EXPECT_EQ(cmds, expected);
    EXPECT_TRUE(Contains(c.received, {kIac, kDont, kOptEcho})) << "a server's echo is refused";
    EXPECT_TRUE(Contains(c.received, {kIac, kWill, kOptComPort}));
    EXPECT_TRUE(Contains(c.received, {kIac, kDo, kOptBinary}));
    EXPECT_TRUE(Contains(c.received, {kIac, kWill, kOptBinary}));
}

// The board's bytes both ways once open: every 0xFF escaped on the wire,
// none on either end; the server's notices and its escapes cut across reads.
TEST(NetPortRfc2217, FramesWithFFInEveryPositionPassBothWays) {
    constexpr std::size_t kSize = 10;
    std::vector<Bytes> frames;
    for (std::size_t at = 0; at <= kSize; ++at) frames.push_back(FrameWithFF(kSize, at));
    Bytes toClient;
    for (const Bytes& f : frames) {
        TTelnetCodec::Escape(f.data(), f.size(), toClient);
        // A modem-state notice between frames.
        toClient.insert(toClient.end(), {kIac, kSb, kOptComPort, 107, 0x10, kIac, kSe});
    }
    Bytes expectedFromClient;
    for (const Bytes& f : frames) TTelnetCodec::Escape(f.data(), f.size(), expectedFromClient);

    std::size_t negotiated = 0;
    ScriptedServer server(Rfc2217Server(Accepting, kGreeting, [&](ScriptedServer::Conn& c) {
        // The client writes first: it is open then, and what it reads
        // afterwards is the board's.
        negotiated = c.received.size();
        c.ReadUntil(
            [&](const Bytes& r) { return r.size() >= negotiated + expectedFromClient.size(); },
            3000);
        // One byte at a time, so escapes are cut between reads.
        for (const std::uint8_t b : toClient) {
            c.Send({b});
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        c.Read(300);
    }));
    TNetPort port;
    ASSERT_EQ(port.OpenPort(server.Address("rfc2217").c_str(), 9600, 0), kOpenOk);
    for (const Bytes& f : frames) port.WriteBytes(f.data(), f.size());

    Bytes got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    Bytes expectedData;
    for (const Bytes& f : frames) expectedData.insert(expectedData.end(), f.begin(), f.end());
    while (got.size() < expectedData.size() && std::chrono::steady_clock::now() < until) {
        pollfd p{port.Descriptor(), POLLIN, 0};
        (void)::poll(&p, 1, 50);
        const std::int32_t n = port.BytesWaiting();
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(n));
        if (n > 0) buf.resize(static_cast<std::size_t>(port.ReadBytes(buf.data(), n)));
        got.insert(got.end(), buf.begin(), buf.end());
    }
    EXPECT_EQ(got, expectedData);
    const ScriptedServer::Conn& c = server.Join();
    EXPECT_EQ(Bytes(c.received.begin() + static_cast<std::ptrdiff_t>(negotiated), c.received.end()),
              expectedFromClient);
}

// A late answer the server read from the line before this connection (to
// the program it served last) is purged, not taken for the first answer.
TEST(NetPortRfc2217, WhatTheServerHeldBeforeThePurgeIsDropped) {
    const Bytes stale = {'C', 'O', 'B', 'S', 0x03, 0x06, 0x01, 0x07, 0x00};
    // A server that takes a moment over the purge, and sends the stale frame
    // just before its answer to it.
    ScriptedServer late([&](ScriptedServer::Conn& c) {
        c.Send(kGreeting);
        std::size_t answered = 0;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < until) {
            if (!c.Read(20)) return;
            const auto cmds = ComCommands(c.received);
            for (; answered < cmds.size(); ++answered) {
                const auto& [cmd, value] = cmds[answered];
                if (cmd == kPurgeData) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    c.Send(stale);
                }
                if (const std::optional<Bytes> v = Accepting(cmd, value)) {
                    Bytes reply = {kIac, kSb, kOptComPort, static_cast<std::uint8_t>(cmd + 100)};
                    reply.insert(reply.end(), v->begin(), v->end());
                    reply.insert(reply.end(), {kIac, kSe});
                    c.Send(reply);
                }
            }
        }
    });
    TNetPort port;
    ASSERT_EQ(port.OpenPort(late.Address("rfc2217").c_str(), 56700, 0), kOpenOk);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(port.BytesWaiting(), 0);
}

// A raw TCP server: the board's bytes as they are.
ScriptedServer::Script RawServer(std::function<void(ScriptedServer::Conn&)> then) {
    return [then](ScriptedServer::Conn& c) { then(c); };
}

// Waits (really) until the port reports a loss, polling it as the exchange does.
std::string LostWithin(TNetPort& port, int ms) {
    for (int t = 0; t < ms && port.LostReason().empty(); t += 10) {
        (void)port.BytesWaiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return port.LostReason();
}

TEST(NetPortRaw, BytesPassUntouchedAndTheDescriptorWakesForThem) {
    const Bytes frame = FrameWithFF(16, 16);
    ScriptedServer server(RawServer([&](ScriptedServer::Conn& c) {
        c.ReadUntil([&](const Bytes& r) { return r.size() >= frame.size(); }, 3000);
        c.Send(c.received);  // echoed back
        c.Read(300);
    }));
    TNetPort port;
    port.SetLimits(ShortLimits());
    ASSERT_EQ(port.OpenPort(server.Address("tcp").c_str(), 56700, 0), kOpenOk);
    EXPECT_EQ(port.BytesWaiting(), 0);
    port.WriteBytes(frame.data(), frame.size());
    pollfd p{port.Descriptor(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 3000), 1) << "readable once the bytes are back";
    Bytes got(frame.size());
    for (int i = 0; i < 100 && port.BytesWaiting() < static_cast<std::int32_t>(frame.size()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(port.ReadBytes(got.data(), static_cast<std::int32_t>(got.size())),
              static_cast<std::int32_t>(frame.size()));
    EXPECT_EQ(got, frame);
    EXPECT_FALSE(port.SpeedExact()) << "a raw port's speed is the server's";
}

TEST(NetPortRaw, TheServerEndingTheConnectionIsALoss) {
    struct Case {
        const char* name;
        std::function<void(ScriptedServer::Conn&)> end;
        const char* lost;
    };
    const Case cases[] = {
        {"closed after its parting words",
         [](ScriptedServer::Conn& c) {
             const std::string w = "connection closed by the administrator\r\n";
             c.Send(Bytes(w.begin(), w.end()));
         },
         "closed the connection (it said \"connection closed by the administrator\")"},
        {"reset",
         [](ScriptedServer::Conn& c) {
             const linger l{1, 0};  // close with a reset
             ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
         },
         "was reset"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> go{false};
        ScriptedServer server(RawServer([&](ScriptedServer::Conn& conn) {
            while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            c.end(conn);
        }));
        TNetPort port;
        port.SetLimits(ShortLimits());
        ASSERT_EQ(port.OpenPort(server.Address("tcp").c_str(), 56700, 0), kOpenOk);
        EXPECT_TRUE(port.LostReason().empty());
        go = true;
        const std::string lost = LostWithin(port, 3000);
        EXPECT_NE(lost.find(c.lost), std::string::npos) << lost;
        EXPECT_NE(lost.find(server.Address("tcp")), std::string::npos) << lost;
        // Gone stays gone, and harmless; what came before is still read.
        port.WriteBytes(Bytes{1, 2, 3}.data(), 3);
        std::uint8_t sink[256];
        while (port.BytesWaiting() > 0) (void)port.ReadBytes(sink, sizeof sink);
        EXPECT_EQ(port.BytesWaiting(), 0);
        EXPECT_EQ(port.ReadBytes(sink, sizeof sink), 0);
        pollfd p{port.Descriptor(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 0), 1);
        EXPECT_NE(p.revents & POLLHUP, 0) << "a wait on it ends as hung up, not readable for ever";
    }
}

TEST(NetPortRaw, OpenFailuresSayWhichAndWhy) {
    // A port nothing listens on: bound, then closed.
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    const std::string closedPort = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));

    TNetPort port;
    port.SetLimits(ShortLimits());
    EXPECT_EQ(port.OpenPort(closedPort.c_str(), 9600, 0), kOpenCannotOpen);
    EXPECT_EQ(port.OpenErrorText(kOpenCannotOpen).rfind("refused: nothing accepts connections", 0),
              0u)
        << port.OpenErrorText(kOpenCannotOpen);

    port.SetResolver([](const std::string&, std::uint16_t, int) {
        TResolved r;
        r.why = "Name or service not known";
        return r;
    });
    EXPECT_EQ(port.OpenPort("rfc2217://welder-box:2001", 9600, 0), kOpenCannotOpen);
    EXPECT_EQ(port.OpenErrorText(kOpenCannotOpen),
              "unknown host: welder-box cannot be resolved (Name or service not known)");

    port.SetResolver({});
    EXPECT_EQ(port.OpenPort("tcp://box:99999", 9600, 0), kOpenCannotOpen);
    EXPECT_EQ(port.OpenErrorText(kOpenCannotOpen),
              "bad address: tcp://box:99999: the port 99999 is not 1 to 65535");
    EXPECT_EQ(port.OpenPort("", 9600, 0), kOpenNoName);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.BytesWaiting(), 0);

    ScriptedServer busy(RawServer([](ScriptedServer::Conn& c) {
        const std::string w = "Port already in use\r\n";
        c.Send(Bytes(w.begin(), w.end()));
    }));
    EXPECT_EQ(port.OpenPort(busy.Address("tcp").c_str(), 9600, 0), kOpenCannotOpen);
    EXPECT_EQ(port.OpenErrorText(kOpenCannotOpen),
              "busy: " + busy.Address("tcp") +
                  " is held by another program (the server said \"Port already in use\")");
}

// The port the front ends hold: the text decides the kind, and the object
// stays the same when the kind changes.
TEST(LinkPort, PicksTheKindFromTheText) {
    ScriptedServer server(RawServer([](ScriptedServer::Conn& c) { c.Read(500); }));
    TLinkPort port;
    EXPECT_EQ(port.OpenPort("/dev/orvan-no-such-device", 9600, 0), kOpenCannotOpen);
    EXPECT_FALSE(port.IsNetwork());
    EXPECT_EQ(port.OpenErrorText(kOpenCannotOpen).rfind("absent: ", 0), 0u);
    EXPECT_EQ(port.GetPortName(), "/dev/orvan-no-such-device");

    const std::string address = server.Address("tcp");
    ASSERT_EQ(port.OpenPort(address.c_str(), 19200, 0), kOpenOk) << port.OpenErrorText(8);
    EXPECT_TRUE(port.IsNetwork());
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.GetPortName(), address);
    EXPECT_EQ(port.GetBaudRate(), 19200);
    EXPECT_GE(port.Descriptor(), 0);

    EXPECT_EQ(port.OpenPort("COM250", 9600, 0), kOpenCannotOpen);
    EXPECT_FALSE(port.IsNetwork());
    EXPECT_EQ(port.GetDevicePath(), "/dev/ttyS249");
}

}  // namespace
