#pragma once
// The board as the simulator plays it: its EEPROM, its variables and how it
// answers a request. Pure logic, no I/O, so tests can drive it directly; the
// pseudo-terminal front (PtyBoard) adds framing, timing and faults.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace orvan::sim {

inline constexpr std::size_t kEepromSize = 1024;
inline constexpr std::size_t kEepromPage = 32;
inline constexpr std::size_t kMaxReadCount = 32;

inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNack = 0x0F;

// Board error codes of a refusal (0x0F, code, values).
enum BoardError : std::uint8_t {
    kErrNoInitiator = 1,
    kErrNegative = 2,
    kErrUnknownCommand = 3,
    kErrInvalidParameters = 4,
    kErrUnknownVariable = 5,
    kErrReadOnly = 6,
    kErrInvalidAddress = 7,
    kErrAcrossPages = 8,
    kErrDac16 = 9,
    kErrEepromBusy = 10,
    kErrDenied = 11,
    kErrSecurityCode = 12,
};

struct Version3 {
    std::uint8_t major = 0, minor = 0, patch = 0;
    std::uint32_t Packed() const { return (std::uint32_t{major} << 16) | (std::uint32_t{minor} << 8) | patch; }
};

// One board variable: its current value bytes as a ReadVariable answer
// carries them, and how a WriteVariable is taken.
struct Variable {
    std::vector<std::uint8_t> value;
    bool readable = true;
    bool writable = false;
    // Value bytes a write must carry; 0 accepts any length.
    std::size_t writeLength = 0;
    // Applies a write; null stores the written bytes as the new value.
    std::function<void(const std::uint8_t* data, std::size_t n)> onWrite;
};

class TBoardModel {
public:
    TBoardModel();

    // Handles one request body (type, security code where it carries one,
    // payload; checksum already checked and removed) and returns the decoded
    // answer. An empty result means the board stays silent.
    std::vector<std::uint8_t> HandleRequest(const std::uint8_t* body, std::size_t count);

    // An answer refusing with `code` and optional 16-bit little-endian values.
    static std::vector<std::uint8_t> Refusal(std::uint8_t code, std::initializer_list<std::uint16_t> values = {});

    std::array<std::uint8_t, kEepromSize>& Eeprom() { return eeprom_; }
    const std::array<std::uint8_t, kEepromSize>& Eeprom() const { return eeprom_; }

    Version3 firmware{1, 2, 7};
    Version3 protocol{2, 2, 9};
    std::uint16_t boardType = 0x0100;

    // Variables by code; tests and later features add their own.
    std::map<std::uint16_t, Variable>& Variables() { return variables_; }
    void SetVariable(std::uint16_t code, std::vector<std::uint8_t> value, bool writable = false,
                     std::size_t writeLength = 0);

    // Called after every accepted WriteMemory (the front saves the EEPROM file).
    std::function<void()> onEepromWritten;

    // Counters for tests.
    int requests = 0;
    int refusals = 0;

private:
    std::vector<std::uint8_t> ReadVariable(const std::uint8_t* p, std::size_t n);
    std::vector<std::uint8_t> WriteVariable(const std::uint8_t* p, std::size_t n);
    std::vector<std::uint8_t> ReadMemory(const std::uint8_t* p, std::size_t n);
    std::vector<std::uint8_t> WriteMemory(const std::uint8_t* p, std::size_t n);
    void RefreshIdentity();

    std::array<std::uint8_t, kEepromSize> eeprom_{};
    std::map<std::uint16_t, Variable> variables_;
};

// Appends the trailer the board puts after every answer (its XOR checksum).
void AppendAnswerChecksum(std::vector<std::uint8_t>& answer);

}  // namespace orvan::sim
