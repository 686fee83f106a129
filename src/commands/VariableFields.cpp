#include "commands/VariableFields.h"

#include <array>
#include <cstdlib>

namespace orvan::commands {

namespace {

constexpr std::string_view kDegrees =
    "\xC2\xB0"
    "C";

// Captions as the window's labels say them where it has one; units as the
// board's values are read.
constexpr std::array kFields = {
    VariableField{"stxFWVer", "Firmware version", "", 1, 1},
    VariableField{"stxBoardType", "Board type", "", 1, 1},
    VariableField{"stxProtVer", "Protocol version", "", 1, 1},
    VariableField{"fraAnomaly1", "Anomalies", "", 1, 1},
    VariableField{"fraBrentaOptoInputCPU", "CPU inputs", "", 1, 1},
    VariableField{"fraBrentaOptoInputEXP1", "Expansion 1 inputs", "", 1, 1},
    VariableField{"fraBrentaOptoInputEXP2", "Expansion 2 inputs", "", 1, 1},
    VariableField{"fraBrentaOptoOutputCPU", "CPU outputs", "", 1, 1},
    VariableField{"fraBrentaOptoOutputEXP1", "Expansion 1 outputs", "", 1, 1},
    VariableField{"fraBrentaOptoOutputEXP2", "Expansion 2 outputs", "", 1, 1},
    VariableField{"stxOutRele", "Relays", "", 1, 1},
    VariableField{"CgaAnalog#", "Analog input ", "", 1, 1},
    VariableField{"stxSourceSeconds", "Source work time", "s", 1, 1},
    VariableField{"stxSourceHours", "Source hours", "h", 1, 3600},
    VariableField{"stxOrvanPwPD", "Photodiode power", "W", 1, 100},
    VariableField{"stxOrvanPwPM", "Power meter power", "W", 1, 100},
    VariableField{"stxOrvanIAlim", "Supply current", "A", 1, 100},
    VariableField{"stxOrvanTemp", "Temperature", kDegrees, 1, 10},
    VariableField{"stxOrvanPwSet", "Set power", "W", 1, 100},
    VariableField{"edtHours", "Hours", "", 1, 1},
    VariableField{"edtMinutes", "Minutes", "", 1, 1},
    VariableField{"edtSeconds", "Seconds", "", 1, 1},
    VariableField{"calOrvanDate", "Date", "", 1, 1},
    VariableField{"chkTKClockEN", "Clock running", "", 1, 1},
    VariableField{"DiagnosisStatus", "Diagnosis status", "", 1, 1},
    VariableField{"TuningStatus", "Tuning status", "", 1, 1},
    VariableField{"stxPwPM25", "Power at 25 %", "W", 1, 100},
    VariableField{"stxPwPM50", "Power at 50 %", "W", 1, 100},
    VariableField{"stxPwPM75", "Power at 75 %", "W", 1, 100},
    VariableField{"stxPwPM100", "Power at 100 %", "W", 1, 100},
    VariableField{"stxImaxByTime", "Estimate I max", "A", 1, 100},
    VariableField{"edtImax", "I max", "A", 1, 100},
    VariableField{"stxIDiodeEndLife", "I end life", "A", 1, 100},
    VariableField{"stxIMaxLow", "Lower value I max", "A", 1, 100},
    VariableField{"edtIAdj", "I adjustment", "A", 1, 100},
    VariableField{"edtPeltaWork_f", "Fequenza", "kHz", 1, 100},
    VariableField{"edtPeltaWork_d", "Duty cycle", "%", 1, 10},
    VariableField{"edtPeltaSlopeON", "Soft start", "us", 1, 1},
    VariableField{"edtPeltaSlopeOFF", "Soft stop", "us", 1, 1},
    VariableField{"edtPeltaPreion1_f", "Preionization 1 frequency", "kHz", 1, 100},
    VariableField{"edtPeltaPreion1_d", "Preionization 1 duration", "us", 1, 1000},
    VariableField{"edtPeltaPreion2_f", "Preionization 2 frequency", "kHz", 1, 100},
    VariableField{"edtPeltaPreion2_d", "Preionization 2 duration", "us", 1, 1000},
    VariableField{"chkPeltaPreion2EN", "Preionization 2 enabled", "", 1, 1},
    VariableField{"edtPeltaStrobeCounter", "Conteggio strobe", "", 1, 1},
    VariableField{"edtPeltaStrobeFault", "Strobe fault", "", 1, 1},
    VariableField{"edtPeltaStrobeFilter", "Filtro", "ms", 1, 1000},
    VariableField{"edtPeltaStrobeDelay", "Ritardo impulso", "ms", 1, 100},
    VariableField{"edtPeltaLaserPulse", "Durata impulso", "ms", 1, 1000},
    VariableField{"edtPeltaStrobe2Shot", "1 sparo ogni N impulsi di strobe", "", 1, 1},
    VariableField{"cspDac16", "DAC 16", "dgt", 1, 1},
    VariableField{"chkDac16Force", "Force", "", 1, 1},
    VariableField{"edtMultiHHeadsNum", "Heads num", "", 1, 1},
    VariableField{"fraMultiHHeadsTout", "Head time-outs", "", 1, 1},
    VariableField{"fraMultiHErrPos", "Head error positions", "", 1, 1},
    VariableField{"fraMultiHCRCPos", "Head CRC positions", "", 1, 1},
    VariableField{"edtMultiHFreq", "Frequency", "kHz", 1, 100},
    VariableField{"edtMultiHPreion", "Preionization", "ns", 1, 10},
    VariableField{"edtBirHeightMmMax", "Height max (mm)", "mm", 1, 1},
    VariableField{"edtBirHeightVMax", "Height max (V)", "V", 5, 1023},
    VariableField{"edtBirHeightMmMin", "Height min (mm)", "mm", 1, 1},
    VariableField{"edtBirHeightVMin", "Height min (V)", "V", 5, 1023},
    VariableField{"edtBirDiamMmMax", "Diameter max (mm)", "mm", 1, 1},
    VariableField{"edtBirDiamVmax", "Diameter max (V)", "V", 5, 1023},
    VariableField{"edtBirDiamMmMin", "Diameter min (mm)", "mm", 1, 1},
    VariableField{"edtBirDiamVmin", "Diameter min (V)", "V", 5, 1023},
    VariableField{"edtFlangSpeed", "Speed", "", 1, 1},
    VariableField{"edtFlangPower", "Power Step (0-15)", "", 1, 1},
    VariableField{"cseFlangingProfile", "Profile", "", 1, 1},
    VariableField{"edtFlangWaveAmplitude", "Wave amplitude", "V", 10, 65535},
    VariableField{"edtFlangWaveOffset", "Wave offset", "V", 10, 65535},
};

}  // namespace

const VariableField* FindVariableField(std::string_view field) {
    for (const VariableField& f : kFields) {
        if (f.field == field) return &f;
        if (f.field.ends_with('#')) {
            const std::string_view stem = f.field.substr(0, f.field.size() - 1);
            if (field.size() > stem.size() && field.starts_with(stem) &&
                field.find_first_not_of("0123456789", stem.size()) == std::string_view::npos)
                return &f;
        }
    }
    return nullptr;
}

std::string VariableFieldCaption(std::string_view field) {
    const VariableField* f = FindVariableField(field);
    if (f == nullptr) return std::string(field);
    std::string caption(f->caption);
    if (f->field.ends_with('#')) caption += field.substr(f->field.size() - 1);
    return caption;
}

std::optional<std::string> ExactDecimal(std::int64_t raw, std::int64_t num, std::int64_t den) {
    if (den <= 0 || num < 0) return std::nullopt;
    // Only a denominator of twos and fives (once the fraction is reduced)
    // ends; the values are 32-bit at most, so raw x num stays in range.
    const bool negative = raw < 0;
    unsigned long long n = static_cast<unsigned long long>(negative ? -raw : raw) *
                           static_cast<unsigned long long>(num);
    unsigned long long d = static_cast<unsigned long long>(den);
    unsigned long long a = n, b = d;
    while (b != 0) {
        const unsigned long long t = a % b;
        a = b;
        b = t;
    }
    if (a > 1) {
        n /= a;
        d /= a;
    }
    int twos = 0, fives = 0;
    unsigned long long rest = d;
    while (rest % 2 == 0) rest /= 2, ++twos;
    while (rest % 5 == 0) rest /= 5, ++fives;
    if (rest != 1) return std::nullopt;
    const int decimals = twos > fives ? twos : fives;
    if (decimals > 18) return std::nullopt;
    unsigned long long scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const unsigned long long scaled = n * (scale / d);
    std::string whole = std::to_string(scaled / scale);
    std::string fraction = std::to_string(scaled % scale + scale).substr(1);  // leading zeros kept
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    const std::string text = fraction.empty() ? whole : whole + "." + fraction;
    return (negative && scaled != 0 ? "-" : "") + text;
}

}  // namespace orvan::commands
