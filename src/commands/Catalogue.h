#pragma once
// The command catalogue: frame types, board variables and the byte layout of
// every value the program writes. One table serves the builders, the decoders
// (for the value length an answer must carry) and the command-line companion.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvan::commands {

// Frame types (the first byte of a request).
inline constexpr std::uint8_t kWriteMemory = 0x01;
inline constexpr std::uint8_t kReadMemory = 0x02;
inline constexpr std::uint8_t kWriteVariable = 0x0A;
inline constexpr std::uint8_t kReadVariable = 0x0B;
inline constexpr std::uint8_t kStartPowerDiagnosis = 0x10;
inline constexpr std::uint8_t kStartFactoryTuning = 0x11;
inline constexpr std::uint8_t kStartSecondaryTuning = 0x12;
inline constexpr std::uint8_t kStartPdDiagnosis = 0x13;
inline constexpr std::uint8_t kSaveFlangingProfile = 0x20;
inline constexpr std::uint8_t kFlangingAmplitudeUp = 0x21;
inline constexpr std::uint8_t kFlangingAmplitudeDown = 0x22;
inline constexpr std::uint8_t kFlangingOffsetUp = 0x23;
inline constexpr std::uint8_t kFlangingOffsetDown = 0x24;
inline constexpr std::uint8_t kSecurityCodeOn = 0xF0;
inline constexpr std::uint8_t kSecurityCodeOff = 0xF1;

inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNack = 0x0F;

// Most bytes one ReadMemory asks for.
inline constexpr std::uint8_t kMaxReadChunk = 32;

// Variable codes: high byte the group, low byte the item.
enum VariableCode : std::uint16_t {
    FirmwareVersion = 0x0000,
    BoardType = 0x0001,
    ProtocolVersion = 0x0002,
    AnomalyStatus = 0x0100,
    AnomalyAndMask = 0x0101,
    IoStatus = 0x0200,
    AnalogStatus = 0x0201,
    Dac16Value = 0x0202,
    IoForce = 0x020A,
    Dac16Force = 0x020B,
    ClockTime = 0x0300,
    ClockDate = 0x0301,
    ClockRun = 0x0302,
    DiagnosisStatus = 0x0600,
    DiagnosisPower25 = 0x0601,
    DiagnosisPower50 = 0x0602,
    DiagnosisPower75 = 0x0603,
    DiagnosisPower100 = 0x0604,
    TuningStatus = 0x0605,
    SourceWorkTime = 0x0606,
    FactoryTuningDate = 0x0607,
    ImaxByTime = 0x0608,
    PowerReadings = 0x0610,
    Imax = 0x0620,
    IDiodeEndLife = 0x0621,
    IMaxLow = 0x0622,
    IAdj = 0x0623,
    ImaxStore = 0x0630,
    IAdjStore = 0x0631,
    PeltaWork = 0x0700,
    PeltaSlope = 0x0701,
    PeltaPreion1 = 0x0702,
    PeltaPreion2 = 0x0703,
    PeltaPreion2Enable = 0x0704,
    PeltaStrobeCounter = 0x0705,
    PeltaStrobeFault = 0x0706,
    PeltaStrobeFilter = 0x0707,
    PeltaStrobeDelay = 0x0708,
    PeltaLaserPulse = 0x0709,
    PeltaStrobe2Shot = 0x070A,
    MultiHeadCount = 0x0800,
    MultiHeadTimeouts = 0x0810,
    MultiHeadErrorPositions = 0x0811,
    MultiHeadCrcPositions = 0x0812,
    MultiHeadFrequency = 0x0820,
    MultiHeadPreion = 0x0821,
    DiameterHeightPoint0 = 0x0900,
    DiameterHeightPoint1 = 0x0901,
    DiameterHeightPoint2 = 0x0902,
    DiameterHeightPoint3 = 0x0903,
    FlangingSpeed = 0x0A00,
    FlangingPower = 0x0A01,
    FlangingProfile = 0x0A02,
    FlangingWave = 0x0A03,
};

// How one value of a WriteVariable is put on the wire.
enum class WriteKind : std::uint8_t {
    U8,               // integer 0..255
    Flag8,            // 0 or 1 (a box cleared or ticked)
    Zero8,            // a constant 0x00 byte; takes no value
    U8Complement,     // bitwise complement of an integer 0..255
    U16Le,            // integer 0..65535, least significant byte first
    U16Be,            // integer 0..65535, most significant byte first
    U32Le,            // integer 0..2^32-1, least significant byte first
    U32LeComplement,  // bitwise complement of an integer 0..2^32-1
};

struct WriteField {
    WriteKind kind = WriteKind::U8;
    // Numbers are multiplied by this and truncated toward zero; 1 for integers.
    double factor = 1.0;
    // The page control the value comes from (for messages and front ends).
    std::string_view source;
    bool integer = true;  // an integer is expected (no decimals)
    // What the variable can hold, as raw values; a range narrower than the
    // byte width (an hour, a profile number). rawMax < 0: the width's range.
    std::int64_t rawMin = 0;
    std::int64_t rawMax = -1;
};

inline constexpr std::size_t kMaxWriteFields = 10;

struct VariableInfo {
    std::uint16_t code = 0;
    std::string_view name;
    bool readable = false;
    bool writable = false;
    // Value bytes a ReadVariable answer carries after the code; 0 when not read.
    std::uint8_t readLength = 0;
    std::uint8_t fieldCount = 0;
    WriteField fields[kMaxWriteFields]{};
    // Value bytes a WriteVariable carries after the code.
    std::size_t WriteLength() const;
    // Values a write takes (constant bytes excluded).
    std::size_t WriteValueCount() const;
};

// Every variable of the catalogue, in code order.
std::span<const VariableInfo> Variables();
const VariableInfo* FindVariable(std::uint16_t code);
// By name (case-insensitive) or by code written as 0xNNNN / NNNN hex.
const VariableInfo* FindVariable(std::string_view nameOrCode);
// A code written as 0xNNNN or NNNN (hex), or a catalogue name.
std::optional<std::uint16_t> ParseVariableCode(std::string_view text);
// "0x%04X" of a code.
std::string CodeText(std::uint16_t code);

}  // namespace orvan::commands
