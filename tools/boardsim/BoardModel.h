#pragma once
// The board as the simulator plays it: its EEPROM, its variables and how it
// answers a request. Pure logic, no I/O, so tests can drive it directly; the
// pseudo-terminal front (PtyBoard) adds framing, timing and faults.
//
// Every variable of the catalogue is served with the board's own read and
// write layouts (which differ for several variables: halves swapped, byte
// orders, widths). The clock runs, the hours counter counts, diagnosis and
// tuning progress with each status read, forced outputs show in the I/O word.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
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
    std::uint32_t Packed() const {
        return (std::uint32_t{major} << 16) | (std::uint32_t{minor} << 8) | patch;
    }
};

// A machine the simulator can play: its board type and versions. The program
// ships a naming file for each (IOC_<type>_<firmware>.ini).
struct TMachinePreset {
    const char* name;  // for --machine
    std::uint16_t boardType;
    Version3 firmware;
    Version3 protocol;
    const char* description;
};
std::span<const TMachinePreset> MachinePresets();
const TMachinePreset* FindMachinePreset(std::string_view name);

// One value field on the wire: its width in bytes, its byte order and which
// of the variable's stored fields it carries (-1: a constant zero byte).
struct Slot {
    std::uint8_t width = 2;
    bool bigEndian = false;
    int field = 0;
};

// One board variable. Either plain bytes (`value`) or stored fields laid out
// by `readSlots` / `writeSlots`.
struct Variable {
    std::vector<std::uint8_t> value;
    bool readable = true;
    bool writable = false;
    // Value bytes a write must carry; 0 accepts any length.
    std::size_t writeLength = 0;
    std::vector<std::uint32_t> fields;
    std::vector<Slot> readSlots;
    std::vector<Slot> writeSlots;
    // Computes the value before a read (live values).
    std::function<void(Variable&)> onRead;
    // Checks and applies a write (fields already decoded into `proposed`);
    // returns a refusal answer, or nothing to accept `proposed`.
    std::function<std::optional<std::vector<std::uint8_t>>(
        Variable&, std::vector<std::uint32_t>& proposed, const std::uint8_t* data, std::size_t n)>
        onWrite;
};

// A chosen error code answered instead of the real answer.
struct ForcedError {
    std::uint8_t code = 0;
    int remaining = -1;                 // requests still refused; -1 for every one
    int after = 0;                      // matching requests served normally first
    int type = -1;                      // only requests of this frame type; -1 for all
    std::vector<std::uint16_t> values;  // 16-bit values after the code
};

// One bit of the data flipped in chosen ReadMemory answers, as a board with a
// failing memory read would send them (the answer's own checksum is right).
struct ReadCorruption {
    int after = 0;         // ReadMemory requests answered correctly first
    int remaining = 1;     // answers corrupted; -1 for every one
    std::size_t byte = 4;  // data byte flipped (the last one when the answer is shorter)
    std::uint8_t mask = 0x01;
};

class TBoardModel {
  public:
    TBoardModel();

    // Handles one request body (type, security code where it carries one,
    // payload; checksum already checked and removed) and returns the decoded
    // answer. An empty result means the board stays silent.
    std::vector<std::uint8_t> HandleRequest(const std::uint8_t* body, std::size_t count);

    // An answer refusing with `code` and optional 16-bit little-endian values.
    static std::vector<std::uint8_t> Refusal(std::uint8_t code,
                                             std::initializer_list<std::uint16_t> values = {});

    std::array<std::uint8_t, kEepromSize>& Eeprom() { return eeprom_; }
    const std::array<std::uint8_t, kEepromSize>& Eeprom() const { return eeprom_; }

    Version3 firmware{1, 2, 7};
    Version3 protocol{2, 2, 9};
    std::uint16_t boardType = 0x0100;

    // Variables by code; tests and later features add their own.
    std::map<std::uint16_t, Variable>& Variables() { return variables_; }
    void SetVariable(std::uint16_t code, std::vector<std::uint8_t> value, bool writable = false,
                     std::size_t writeLength = 0);
    // Stored fields of a field variable (empty for plain ones).
    std::vector<std::uint32_t> Fields(std::uint16_t code) const;

    // Refuse requests with a chosen code (see ForcedError).
    void ForceError(ForcedError e) { forced_ = std::move(e); }
    void ClearForcedError() { forced_.reset(); }
    void CorruptReads(ReadCorruption c) { corrupt_ = c; }

    // Variables answered one value byte short of their layout.
    std::set<std::uint16_t> shortAnswers;
    // Changes every answer before it goes out (tests: a wrong echoed address,
    // garbage for one request...). Given the request type.
    std::function<void(std::vector<std::uint8_t>& answer, std::uint8_t type)> tamper;

    // Milliseconds of board time; the default follows the steady clock, tests
    // move their own.
    std::function<std::int64_t()> nowMs;
    // The board clock's calendar time at board time 0 (seconds since 1970).
    std::int64_t clockBase = 0;

    // Live state a test or the user may change.
    std::uint32_t anomalies = 0;
    bool powerMeterPresent = true;
    bool welding = false;
    bool securityCodeOn = false;
    // Values that move as on a working machine: analog channels drifting and
    // following welds, inputs toggling, an anomaly appearing and clearing.
    // Off by default so tests see fixed values; the simulator programs turn
    // it on.
    bool liveValues = false;

    // Power procedures: a diagnosis completes one step every diagnosisStepMs,
    // a tuning runs tuningMs and then writes its result into the tuning log
    // (ending "current limited" when told).
    int diagnosisStepMs = 800;
    int tuningMs = 4000;
    bool tuningCurrentLimited = false;

    // Called after every accepted WriteMemory (the front saves the EEPROM file).
    std::function<void()> onEepromWritten;

    // Counters for tests.
    int requests = 0;
    int refusals = 0;
    std::map<std::uint8_t, int> requestsByType;

  private:
    std::vector<std::uint8_t> ReadVariable(const std::uint8_t* p, std::size_t n);
    std::vector<std::uint8_t> WriteVariable(const std::uint8_t* p, std::size_t n);
    std::vector<std::uint8_t> ReadMemory(const std::uint8_t* p, std::size_t n);
    std::vector<std::uint8_t> WriteMemory(const std::uint8_t* p, std::size_t n);
    std::vector<std::uint8_t> Start(std::uint8_t type);
    std::vector<std::uint8_t> Flanging(std::uint8_t type, const std::uint8_t* p, std::size_t n);
    void RefreshIdentity();
    void DefineVariables();
    Variable& Fielded(std::uint16_t code, std::vector<std::uint32_t> init, std::vector<Slot> read,
                      std::vector<Slot> write);
    std::int64_t Now() const;
    std::int64_t ClockSeconds() const;
    void SetClockSeconds(std::int64_t s);

    std::array<std::uint8_t, kEepromSize> eeprom_{};
    std::map<std::uint16_t, Variable> variables_;
    std::optional<ForcedError> forced_;
    std::optional<ReadCorruption> corrupt_;

    // Clock: calendar seconds = clockBase + (running ? elapsed : frozen).
    bool clockRunning_ = true;
    std::int64_t clockFrozenAt_ = 0;  // board ms when halted
    std::int64_t startMs_ = 0;
    std::uint32_t workSecondsBase_ = 123456;
    std::int64_t workBaseMs_ = 0;
    // Force words as written: (on, NOT off) for CPU inputs, expansion inputs,
    // CPU outputs, expansion outputs.
    std::array<std::uint32_t, 8> ioForce_{0, 0xFFFFFFFF, 0, 0xFFFFFFFF,
                                          0, 0xFFFFFFFF, 0, 0xFFFFFFFF};
    bool liveAnomalyOn_ = false;
    std::uint8_t releOn_ = 0, releOff_ = 0xFF;
    // Procedures, timed on board time: start times, -1 when idle.
    bool TuningActive() const { return tuningStartMs_ >= 0; }
    std::int64_t diagStartMs_ = -1;
    bool diagDone_ = false;
    std::int64_t tuningStartMs_ = -1;
    bool tuningFactory_ = false;
    int tuningsDone_ = 0;
};

// Appends the trailer the board puts after every answer (its XOR checksum).
void AppendAnswerChecksum(std::vector<std::uint8_t>& answer);

}  // namespace orvan::sim
