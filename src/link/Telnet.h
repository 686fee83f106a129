#pragma once
// The telnet side of a serial device server in RFC 2217 mode, without any
// input or output: bytes from the server go in, the board's bytes and this
// end's answers to the server come out; bytes for the board go in and leave
// escaped. Kept apart from the socket so it can be driven byte by byte.
//
// Option negotiation follows the "Q method" of RFC 1143 without its queue:
// an option is asked for once, and a request is answered only when it
// changes the option's state, so two ends never loop on each other.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvan::link::telnet {

inline constexpr std::uint8_t kIac = 255;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kSe = 240;

inline constexpr std::uint8_t kOptBinary = 0;
inline constexpr std::uint8_t kOptEcho = 1;
inline constexpr std::uint8_t kOptSuppressGoAhead = 3;
inline constexpr std::uint8_t kOptComPort = 44;

// COM-PORT-OPTION commands from the client; the server answers each with
// the same code plus kServerReply and the value it put into effect.
inline constexpr std::uint8_t kSetBaudRate = 1;
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kSetControl = 5;
inline constexpr std::uint8_t kPurgeData = 12;
inline constexpr std::uint8_t kServerReply = 100;

// Values of the commands above.
inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kParityOdd = 2;
inline constexpr std::uint8_t kParityEven = 3;
inline constexpr std::uint8_t kStopBitsOne = 1;
inline constexpr std::uint8_t kControlNoFlow = 1;
inline constexpr std::uint8_t kControlDtrOff = 9;
inline constexpr std::uint8_t kControlRtsOff = 12;
inline constexpr std::uint8_t kPurgeReceived = 1;  // what the server read from the line

enum class TOptionState : std::uint8_t { No, Yes, WantYes };

// One COM-PORT-OPTION subnegotiation from the server (its command code,
// kServerReply included, and the value bytes, unescaped).
struct TComPortReply {
    std::uint8_t command = 0;
    std::vector<std::uint8_t> value;
};

class TTelnetCodec {
  public:
    // A subnegotiation longer than this (a server's signature text) is cut.
    static constexpr std::size_t kMaxSubnegotiation = 256;

    // The requests this end opens with: it will use the COM-PORT-OPTION,
    // and asks for binary transmission and no go-aheads both ways.
    void Start(std::vector<std::uint8_t>& toServer);

    // Bytes from the server, in any pieces: the board's bytes are appended to
    // `data`, the answers this end owes the server to `toServer`, and
    // COM-PORT-OPTION subnegotiations to Replies().
    void Feed(const std::uint8_t* in, std::size_t count, std::vector<std::uint8_t>& data,
              std::vector<std::uint8_t>& toServer);

    // Bytes for the board, with every 0xFF doubled.
    static void Escape(const std::uint8_t* in, std::size_t count, std::vector<std::uint8_t>& out);
    // IAC SB COM-PORT-OPTION command value IAC SE, the value escaped.
    static void ComPortCommand(std::uint8_t command, const std::uint8_t* value, std::size_t count,
                               std::vector<std::uint8_t>& out);
    // SET-BAUDRATE with its 32-bit value, most significant byte first.
    static void SetBaudRate(std::uint32_t bps, std::vector<std::uint8_t>& out);

    // This end's side of an option (WILL/WONT) and the server's (DO/DONT).
    TOptionState Local(std::uint8_t option) const { return local_[option]; }
    TOptionState Remote(std::uint8_t option) const { return remote_[option]; }
    // Whether the server refused an option this end asked for.
    bool LocalRefused(std::uint8_t option) const { return localRefused_[option]; }
    bool RemoteRefused(std::uint8_t option) const { return remoteRefused_[option]; }

    // COM-PORT-OPTION subnegotiations received since the last call, in order.
    std::vector<TComPortReply> TakeReplies();

  private:
    enum class State : std::uint8_t { Data, Iac, Verb, Sub, SubIac };
    void Negotiate(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& toServer);
    void FeedByte(std::uint8_t b, std::vector<std::uint8_t>& data,
                  std::vector<std::uint8_t>& toServer);
    void EndSubnegotiation();

    static bool LocalAllowed(std::uint8_t option);
    static bool RemoteAllowed(std::uint8_t option);

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::vector<std::uint8_t> sub_;
    std::array<TOptionState, 256> local_{};
    std::array<TOptionState, 256> remote_{};
    std::array<bool, 256> localRefused_{};
    std::array<bool, 256> remoteRefused_{};
    std::vector<TComPortReply> replies_;
};

}  // namespace orvan::link::telnet
