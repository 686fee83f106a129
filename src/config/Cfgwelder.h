#pragma once
// The welder configuration exactly as the board keeps it: raw integers (DAC
// and ADC counts, hundredths of an ampere, tenths of a second), with fixed
// conversions to engineering values for the configuration pages, the
// conversions of live readings, and the board's 384-byte EEPROM image.
//
// Nothing here is validated against anything else: the record is a plain value
// holder. What is checked is each single conversion: a typed value that does
// not fit its field is limited and the caller told so, and a conversion whose
// divisor is zero changes nothing and says so.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/MemoryMap.h"

namespace orvan::config {

// Image layout.
inline constexpr std::size_t kImageSize = link::kConfigImageSize;  // EEPROM 16..399
inline constexpr std::size_t kImageDataSize = 218;                 // bytes covered by the checksum
inline constexpr std::size_t kImageChecksumOffset = 382;
inline constexpr std::size_t kImageEepromAddress = link::kConfigImageAddress;
inline constexpr std::uint8_t kImageVersion = 3;
// The image fills the board's configuration area exactly, its checksum word
// is its last, and the flanging profiles (read apart) lie inside its data.
static_assert(kImageSize == link::kConfigBlocks * link::kConfigBlockSize);
static_assert(kImageChecksumOffset + 2 == kImageSize);
static_assert(kImageDataSize <= kImageChecksumOffset);
static_assert(link::kFlangingProfilesAddress >= kImageEepromAddress &&
              link::kFlangingProfilesAddress + 64 <= kImageEepromAddress + kImageDataSize);

enum class TSetStatus : std::uint8_t {
    Stored,          // converted and stored as it was
    Clamped,         // outside the field's range: the nearest limit was stored
    DivisionByZero,  // a configured divisor is zero: nothing stored
    NotANumber,      // NaN or infinite: nothing stored
    NoSuchElement,   // array index out of range: nothing stored
};

struct TSetResult {
    TSetStatus status = TSetStatus::Stored;
    std::int32_t raw = 0;  // the raw value stored (when ok())
    std::string why;       // empty when Stored
    bool ok() const { return status == TSetStatus::Stored || status == TSetStatus::Clamped; }
};

// Fields in record order: scalar (type, member, accessor stem) ...
#define ORVAN_CFG_SCALARS_HEAD(X)                      \
    X(std::uint8_t, Version, Version)                  \
    X(std::uint16_t, Size, Size)                       \
    X(std::uint16_t, StandByPower, StandByPower)       \
    X(std::uint16_t, MinPower, MinPower)               \
    X(std::uint16_t, MaxPower, MaxPower)               \
    X(std::uint16_t, CurrentDiodeMax, CurrentDiodeMax) \
    X(std::uint16_t, AlimVolt2Ampere, AlimVolt2Ampere) \
    X(std::uint16_t, VsetPowMax, VsetPowMax)           \
    X(std::uint16_t, TimeAlimSlope, TimeAlimSlope)

#define ORVAN_CFG_SCALARS_TEMP(X)                             \
    X(std::uint16_t, TempWorkMax, TempWorkMax)                \
    X(std::uint16_t, TempWorkCooling, TempWorkCooling)        \
    X(std::uint16_t, TempWorkOK, TempWorkOK)                  \
    X(std::uint16_t, TempWorkHeating, TempWorkHeating)        \
    X(std::uint16_t, TempWorkMin, TempWorkMin)                \
    X(std::uint16_t, TempWorkStepChk, TempWorkStepChk)        \
    X(std::uint16_t, TempWorkErrMax, TempWorkErrMax)          \
    X(std::uint8_t, TempWorkErrRetry, TempWorkErrRetry)       \
    X(std::uint16_t, TempStartupRange, TempStartupRange)      \
    X(std::uint16_t, TempStartupStep, TempStartupStep)        \
    X(std::uint16_t, TempStartupErrMax, TempStartupErrMax)    \
    X(std::uint8_t, TempStartupErrRetry, TempStartupErrRetry) \
    X(std::uint16_t, PowerTolerance, PowerTolerance)          \
    X(std::uint16_t, CurrentTolerance, CurrentTolerance)      \
    X(std::uint16_t, CoolPID_KP, CoolPIDKP)                   \
    X(std::uint16_t, CoolPID_KI, CoolPIDKI)                   \
    X(std::uint16_t, CoolPID_KD, CoolPIDKD)                   \
    X(std::uint16_t, HeatPID_KP, HeatPIDKP)                   \
    X(std::uint16_t, HeatPID_KI, HeatPIDKI)                   \
    X(std::uint16_t, HeatPID_KD, HeatPIDKD)                   \
    X(std::uint16_t, Period, Period)

#define ORVAN_CFG_SCALARS_COEFF(X)              \
    X(std::uint16_t, PDiodeMax, PDiodeMax)      \
    X(std::uint16_t, PMCoeff_m, PMCoeffM)       \
    X(std::int16_t, PMCoeff_q, PMCoeffQ)        \
    X(std::uint16_t, IAlimCoeff_m, IAlimCoeffM) \
    X(std::int16_t, IAlimCoeff_q, IAlimCoeffQ)

#define ORVAN_CFG_SCALARS_TAIL(X)            \
    X(std::int16_t, TempCoeff_m, TempCoeffM) \
    X(std::int16_t, TempCoeff_q, TempCoeffQ)

// ... and array (type, member, accessor stem, count).
#define ORVAN_CFG_ARRAYS_ADC(X)              \
    X(std::uint8_t, ADCOffset, ADCOffset, 6) \
    X(std::uint8_t, ADCAverage, ADCAverage, 6)

#define ORVAN_CFG_ARRAYS_IO(X)                       \
    X(std::uint16_t, OptoInFilter, OptoInFilter, 12) \
    X(std::uint16_t, Timer, Timer, 16)

#define ORVAN_CFG_ARRAYS_TABLES(X)            \
    X(std::uint16_t, ADCGain, ADCGain, 6)     \
    X(std::uint16_t, PDTable_W, PDTableW, 10) \
    X(std::uint16_t, PDTable_V, PDTableV, 10) \
    X(std::uint16_t, WATable_W, WATableW, 6)  \
    X(std::uint16_t, WATable_A, WATableA, 6)

class TWelderCfgBlank {
  public:
    TWelderCfgBlank() = default;  // every field 0
    bool operator==(const TWelderCfgBlank&) const = default;

    // Raw accessors: the setter stores its argument truncated to the field's
    // width; array accessors ignore an index out of range (reading 0).
#define ORVAN_SCALAR_ACCESSORS(T, M, S) \
    T Get##S() const {                  \
        return M##_;                    \
    }                                   \
    void Set##S(T v) {                  \
        M##_ = v;                       \
    }
#define ORVAN_ARRAY_ACCESSORS(T, M, S, N)         \
    static constexpr int k##S##Count = N;         \
    T Get##S(int i) const {                       \
        return (i >= 0 && i < N) ? M##_[i] : T{}; \
    }                                             \
    void Set##S(int i, T v) {                     \
        if (i >= 0 && i < N) M##_[i] = v;         \
    }
    ORVAN_CFG_SCALARS_HEAD(ORVAN_SCALAR_ACCESSORS)
    ORVAN_CFG_ARRAYS_ADC(ORVAN_ARRAY_ACCESSORS)
    ORVAN_CFG_SCALARS_TEMP(ORVAN_SCALAR_ACCESSORS)
    ORVAN_CFG_ARRAYS_IO(ORVAN_ARRAY_ACCESSORS)
    ORVAN_CFG_SCALARS_COEFF(ORVAN_SCALAR_ACCESSORS)
    ORVAN_CFG_ARRAYS_TABLES(ORVAN_ARRAY_ACCESSORS)
    ORVAN_CFG_SCALARS_TAIL(ORVAN_SCALAR_ACCESSORS)
#undef ORVAN_SCALAR_ACCESSORS
#undef ORVAN_ARRAY_ACCESSORS

    // Engineering accessors. Setters round to the nearest raw value (the
    // temperatures to even, as the board's own tools do), limit it to the
    // field's range and report what they did.
    double GetStandByPowerValue() const;  // A
    double GetMinPowerValue() const;
    double GetMaxPowerValue() const;
    TSetResult SetStandByPowerValue(double amperes);
    TSetResult SetMinPowerValue(double amperes);
    TSetResult SetMaxPowerValue(double amperes);
    double GetWATableAValue(int i) const;                // A
    TSetResult SetWATableAValue(int i, double amperes);  // first limited to Imax
    double GetCurrentDiodeMaxValue() const;              // A
    TSetResult SetCurrentDiodeMaxValue(double amperes);
    double GetAlimVolt2AmpereValue() const;  // V at 1 A
    TSetResult SetAlimVolt2AmpereValue(double volts);
    double GetVsetPowMaxValue() const;  // V
    TSetResult SetVsetPowMaxValue(double volts);
    double GetPDiodeMaxValue() const;  // W
    TSetResult SetPDiodeMaxValue(double watts);
    // Temperatures (degrees C). The setter scales by the "PT 100" input gain,
    // the getter does not divide by it: boards and stored files rely on that.
    double GetTempWorkMaxValue() const;
    double GetTempWorkCoolingValue() const;
    double GetTempWorkOKValue() const;
    double GetTempWorkHeatingValue() const;
    double GetTempWorkMinValue() const;
    TSetResult SetTempWorkMaxValue(double celsius);
    TSetResult SetTempWorkCoolingValue(double celsius);
    TSetResult SetTempWorkOKValue(double celsius);
    TSetResult SetTempWorkHeatingValue(double celsius);
    TSetResult SetTempWorkMinValue(double celsius);
    // Temperature differences (degrees C), 8.768 counts per degree.
    double GetTempWorkStepChkValue() const;
    double GetTempWorkErrMaxValue() const;
    double GetTempStartupRangeValue() const;
    double GetTempStartupStepValue() const;
    double GetTempStartupErrMaxValue() const;
    TSetResult SetTempWorkStepChkValue(double celsius);
    TSetResult SetTempWorkErrMaxValue(double celsius);
    TSetResult SetTempStartupRangeValue(double celsius);
    TSetResult SetTempStartupStepValue(double celsius);
    TSetResult SetTempStartupErrMaxValue(double celsius);
    double GetTimerValue(int i) const;  // s, tenths dropped
    TSetResult SetTimerValue(int i, double seconds);
    double GetPowerToleranceValue() const;
    double GetCurrentToleranceValue() const;
    TSetResult SetPowerToleranceValue(double milliwatts);
    TSetResult SetCurrentToleranceValue(double milliamperes);
    double GetPMCoeffQValue() const;  // raw x 10
    double GetIAlimCoeffQValue() const;
    TSetResult SetPMCoeffQValue(double x);
    TSetResult SetIAlimCoeffQValue(double x);
    double GetADCGainValue(int i) const;  // gain
    TSetResult SetADCGainValue(int i, double gain);
    double GetPDTableWValue(int i) const;  // W
    TSetResult SetPDTableWValue(int i, double watts);
    double GetPDTableVValue(int i) const;  // V
    TSetResult SetPDTableVValue(int i, double volts);
    double GetWATableWValue(int i) const;  // W
    TSetResult SetWATableWValue(int i, double watts);

    // Live readings (as the board reports them) to engineering values. They
    // run on every analog status answer, so a zero divisor (a file without
    // VsetPowMax or ADCGain_4, say) must not stop anything: they return 0 and
    // set *ok to false.
    double CurrentSetpointFromReading(std::uint16_t r, bool* ok = nullptr) const;  // A
    double PowerSetpointFromReading(std::uint16_t r, bool* ok = nullptr) const;    // W
    double SupplyCurrentFromReading(std::uint16_t r, bool* ok = nullptr) const;    // A
    double PowerMeterFromReading(std::uint16_t r, bool* ok = nullptr) const;       // W
    double PhotodiodePowerFromReading(std::uint16_t r, bool* ok = nullptr) const;  // W
    // The diode temperature word, on the same scale as the stored
    // temperature limits (so a reading compares with them exactly).
    static double TemperatureFromReading(std::uint16_t r);  // degC, 1 decimal
    // Watts to current DAC counts, limited to 0..65535. A diode power of 0 or
    // a watts value that is not a number gives 0 and *ok false.
    std::int32_t DacFromPower(double watts, bool* ok = nullptr) const;

    // The device image. FillImage writes every field at its offset and nothing
    // else (fillers and checksum keep what the buffer held); LoadFromImage
    // reads every field back and checks nothing (see ImageChecksumOk).
    void FillImage(std::uint8_t* image384) const;
    void LoadFromImage(const std::uint8_t* image384);
    // Checksum of bytes 0..217 stored at 382 (low byte) and 383.
    static void StampImageChecksum(std::uint8_t* image384);

  private:
#define ORVAN_SCALAR_MEMBER(T, M, S) T M##_ = 0;
#define ORVAN_ARRAY_MEMBER(T, M, S, N) std::array<T, N> M##_{};
    ORVAN_CFG_SCALARS_HEAD(ORVAN_SCALAR_MEMBER)
    ORVAN_CFG_ARRAYS_ADC(ORVAN_ARRAY_MEMBER)
    ORVAN_CFG_SCALARS_TEMP(ORVAN_SCALAR_MEMBER)
    ORVAN_CFG_ARRAYS_IO(ORVAN_ARRAY_MEMBER)
    ORVAN_CFG_SCALARS_COEFF(ORVAN_SCALAR_MEMBER)
    ORVAN_CFG_ARRAYS_TABLES(ORVAN_ARRAY_MEMBER)
    ORVAN_CFG_SCALARS_TAIL(ORVAN_SCALAR_MEMBER)
#undef ORVAN_SCALAR_MEMBER
#undef ORVAN_ARRAY_MEMBER
};

// One step of the image's 16-bit check register (polynomial 0x1021): the
// byte's bits are shifted in, most significant first, with no augmenting
// zero bytes afterwards.
std::uint16_t Crc16Step(std::uint16_t reg, std::uint8_t byte);
std::uint16_t ImageChecksum(const std::uint8_t* image384);        // computed over 0..217
std::uint16_t StoredImageChecksum(const std::uint8_t* image384);  // bytes 382..383
inline bool ImageChecksumOk(const std::uint8_t* image384) {
    return ImageChecksum(image384) == StoredImageChecksum(image384);
}
// The image as it goes to the board: all 0xFF, the record's Version and Size
// set to 3 and 218 (the record itself changes), fields, checksum.
void BuildDeviceImage(TWelderCfgBlank& cfg, std::uint8_t* image384);

// A plausible configuration for a new or simulated board.
TWelderCfgBlank DefaultConfiguration();

// Metadata of every raw field, for pages, comparisons and listings.
enum class TFieldKind : std::uint8_t { U8, U16, S16 };

struct TFieldInfo {
    std::string key;      // file key, "ADCOffset_3"; the field's name
    const char* section;  // file section, "ANALOG_INPUT"
    TFieldKind kind;
    int index;                 // element of an array field, -1 for a scalar
    int imageOffset;           // first byte in the device image
    std::int32_t fileDefault;  // value when the key is missing from a file
    const char* unit;          // engineering unit; "" when shown as the raw value
    std::int32_t (*getRaw)(const TWelderCfgBlank&, int index);
    void (*setRaw)(TWelderCfgBlank&, int index, std::int32_t);  // truncates to the width
    double (*getValue)(const TWelderCfgBlank&, int index);      // nullptr: shown raw
    TSetResult (*setValue)(TWelderCfgBlank&, int index, double);

    int Width() const { return kind == TFieldKind::U8 ? 1 : 2; }
    std::int32_t Min() const { return kind == TFieldKind::S16 ? -32768 : 0; }
    std::int32_t Max() const {
        return kind == TFieldKind::U8 ? 255 : kind == TFieldKind::U16 ? 65535 : 32767;
    }
    std::int32_t Raw(const TWelderCfgBlank& c) const { return getRaw(c, index); }
    // Engineering value, or the raw value for fields shown raw.
    double Value(const TWelderCfgBlank& c) const {
        return getValue ? getValue(c, index) : static_cast<double>(Raw(c));
    }
};

// Every field, in record order (arrays element by element).
std::span<const TFieldInfo> Fields();
// By key, without regard to case; nullptr when there is none.
const TFieldInfo* FindField(std::string_view key);

}  // namespace orvan::config
