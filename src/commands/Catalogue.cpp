#include "commands/Catalogue.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <vector>

namespace orvan::commands {

namespace {

using K = WriteKind;

constexpr WriteField I(K kind, std::string_view source) {
    return {kind, 1.0, source, true};
}
constexpr WriteField X(K kind, double factor, std::string_view source) {
    return {kind, factor, source, false};
}
// An integer the board holds only in min..max.
constexpr WriteField IR(K kind, std::string_view source, std::int64_t min, std::int64_t max) {
    return {kind, 1.0, source, true, min, max};
}

// The flanging wave factor is 65535 x 0.1 as the board expects it, not 6553.5
// typed in: both give the same double, written this way to keep the origin.
constexpr double kWaveFactor = 65535 * 0.1;
constexpr double kDiameterFactor = 204.6;

VariableInfo R(std::uint16_t code, std::string_view name, std::uint8_t readLength) {
    VariableInfo v;
    v.code = code;
    v.name = name;
    v.readable = true;
    v.readLength = readLength;
    return v;
}

VariableInfo W(VariableInfo v, std::initializer_list<WriteField> fields) {
    v.writable = true;
    for (const WriteField& f : fields) v.fields[v.fieldCount++] = f;
    return v;
}

VariableInfo WO(std::uint16_t code, std::string_view name,
                std::initializer_list<WriteField> fields) {
    VariableInfo v;
    v.code = code;
    v.name = name;
    return W(v, fields);
}

const std::vector<VariableInfo>& Table() {
    static const std::vector<VariableInfo> t = {
        R(FirmwareVersion, "FirmwareVersion", 3),
        R(BoardType, "BoardType", 2),
        R(ProtocolVersion, "ProtocolVersion", 3),
        R(AnomalyStatus, "AnomalyStatus", 4),
        WO(AnomalyAndMask, "AnomalyAndMask", {I(K::U32LeComplement, "edtAnomalyAndMask")}),
        R(IoStatus, "IoStatus", 17),
        R(AnalogStatus, "AnalogStatus", 12),
        W(R(Dac16Value, "Dac16Value", 2), {I(K::U16Le, "cspDac16")}),
        WO(IoForce, "IoForce",
           {I(K::U32Le, "fraBrentaOptoInputCPU on"),
            I(K::U32LeComplement, "fraBrentaOptoInputCPU off"),
            I(K::U32Le, "fraBrentaOptoInputEXP on"),
            I(K::U32LeComplement, "fraBrentaOptoInputEXP off"),
            I(K::U32Le, "fraBrentaOptoOutputCPU on"),
            I(K::U32LeComplement, "fraBrentaOptoOutputCPU off"),
            I(K::U32Le, "fraBrentaOptoOutputEXP on"),
            I(K::U32LeComplement, "fraBrentaOptoOutputEXP off"), I(K::U8, "edtReleLedForceON"),
            I(K::U8Complement, "edtReleLedForceOFF")}),
        W(R(Dac16Force, "Dac16Force", 1), {I(K::Flag8, "chkDac16Force")}),
        W(R(ClockTime, "ClockTime", 3),
          {IR(K::U8, "edtHours", 0, 23), IR(K::U8, "edtMinutes", 0, 59),
           IR(K::U8, "edtSeconds", 0, 59)}),
        W(R(ClockDate, "ClockDate", 4),
          {IR(K::U8, "calOrvanDate day", 1, 31), IR(K::U8, "calOrvanDate month", 1, 12),
           IR(K::U8, "calOrvanDate day of week", 1, 7), I(K::U8, "calOrvanDate year - 2000")}),
        W(R(ClockRun, "ClockRun", 1), {I(K::Flag8, "chkTKClockEN")}),
        R(DiagnosisStatus, "DiagnosisStatus", 1),
        R(DiagnosisPower25, "DiagnosisPower25", 2),
        R(DiagnosisPower50, "DiagnosisPower50", 2),
        R(DiagnosisPower75, "DiagnosisPower75", 2),
        R(DiagnosisPower100, "DiagnosisPower100", 2),
        R(TuningStatus, "TuningStatus", 1),
        W(R(SourceWorkTime, "SourceWorkTime", 4), {I(K::U32Le, "source work time (s)")}),
        WO(FactoryTuningDate, "FactoryTuningDate", {I(K::U32Le, "factory tuning date (s)")}),
        R(ImaxByTime, "ImaxByTime", 2),
        R(PowerReadings, "PowerReadings", 10),
        W(R(Imax, "Imax", 2), {X(K::U16Le, 100, "edtImax")}),
        R(IDiodeEndLife, "IDiodeEndLife", 2),
        R(IMaxLow, "IMaxLow", 2),
        W(R(IAdj, "IAdj", 2), {X(K::U16Le, 100, "edtIAdj")}),
        WO(ImaxStore, "ImaxStore", {X(K::U16Le, 100, "edtImax")}),
        WO(IAdjStore, "IAdjStore", {X(K::U16Le, 100, "edtIAdj")}),
        W(R(PeltaWork, "PeltaWork", 4),
          {X(K::U16Le, 10, "edtPeltaWork_d"), X(K::U16Le, 100, "edtPeltaWork_f")}),
        W(R(PeltaSlope, "PeltaSlope", 4),
          {I(K::U16Le, "edtPeltaSlopeOFF"), I(K::U16Le, "edtPeltaSlopeON")}),
        W(R(PeltaPreion1, "PeltaPreion1", 4),
          {X(K::U16Le, 1000, "edtPeltaPreion1_d"), X(K::U16Le, 100, "edtPeltaPreion1_f")}),
        W(R(PeltaPreion2, "PeltaPreion2", 4),
          {X(K::U16Le, 1000, "edtPeltaPreion2_d"), X(K::U16Le, 100, "edtPeltaPreion2_f")}),
        W(R(PeltaPreion2Enable, "PeltaPreion2Enable", 1),
          {I(K::Zero8, ""), I(K::Flag8, "chkPeltaPreion2EN")}),
        W(R(PeltaStrobeCounter, "PeltaStrobeCounter", 4), {I(K::U32Le, "edtPeltaStrobeCounter")}),
        W(R(PeltaStrobeFault, "PeltaStrobeFault", 2), {I(K::U16Le, "edtPeltaStrobeFault")}),
        W(R(PeltaStrobeFilter, "PeltaStrobeFilter", 2),
          {X(K::U16Be, 1000, "edtPeltaStrobeFilter")}),
        W(R(PeltaStrobeDelay, "PeltaStrobeDelay", 2), {X(K::U16Be, 100, "edtPeltaStrobeDelay")}),
        W(R(PeltaLaserPulse, "PeltaLaserPulse", 2), {X(K::U16Be, 1000, "edtPeltaLaserPulse")}),
        W(R(PeltaStrobe2Shot, "PeltaStrobe2Shot", 2), {I(K::U16Be, "edtPeltaStrobe2Shot")}),
        W(R(MultiHeadCount, "MultiHeadCount", 1), {IR(K::U8, "edtMultiHHeadsNum", 0, 32)}),
        R(MultiHeadTimeouts, "MultiHeadTimeouts", 4),
        R(MultiHeadErrorPositions, "MultiHeadErrorPositions", 4),
        R(MultiHeadCrcPositions, "MultiHeadCrcPositions", 4),
        W(R(MultiHeadFrequency, "MultiHeadFrequency", 2), {X(K::U16Be, 100, "edtMultiHFreq")}),
        W(R(MultiHeadPreion, "MultiHeadPreion", 2), {X(K::U16Be, 10, "edtMultiHPreion")}),
        W(R(DiameterHeightPoint0, "DiameterHeightPoint0", 4),
          {I(K::U16Be, "edtBirHeightMmMax"), X(K::U16Be, kDiameterFactor, "edtBirHeightVMax")}),
        W(R(DiameterHeightPoint1, "DiameterHeightPoint1", 4),
          {I(K::U16Be, "edtBirHeightMmMin"), X(K::U16Be, kDiameterFactor, "edtBirHeightVMin")}),
        W(R(DiameterHeightPoint2, "DiameterHeightPoint2", 4),
          {I(K::U16Be, "edtBirDiamMmMax"), X(K::U16Be, kDiameterFactor, "edtBirDiamVmax")}),
        W(R(DiameterHeightPoint3, "DiameterHeightPoint3", 4),
          {I(K::U16Be, "edtBirDiamMmMin"), X(K::U16Be, kDiameterFactor, "edtBirDiamVmin")}),
        W(R(FlangingSpeed, "FlangingSpeed", 1), {I(K::U16Le, "edtFlangSpeed")}),
        W(R(FlangingPower, "FlangingPower", 1), {I(K::U16Le, "edtFlangPower")}),
        W(R(FlangingProfile, "FlangingProfile", 1), {IR(K::U8, "cseFlangingProfile", 0, 15)}),
        W(R(FlangingWave, "FlangingWave", 4), {X(K::U16Le, kWaveFactor, "edtFlangWaveAmplitude"),
                                               X(K::U16Le, kWaveFactor, "edtFlangWaveOffset")}),
    };
    return t;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::size_t KindBytes(WriteKind k) {
    switch (k) {
        case K::U8:
        case K::Flag8:
        case K::Zero8:
        case K::U8Complement:
            return 1;
        case K::U16Le:
        case K::U16Be:
            return 2;
        case K::U32Le:
        case K::U32LeComplement:
            return 4;
    }
    return 0;
}

}  // namespace

std::size_t VariableInfo::WriteLength() const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < fieldCount; ++i) n += KindBytes(fields[i].kind);
    return n;
}

std::size_t VariableInfo::WriteValueCount() const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < fieldCount; ++i) n += fields[i].kind == K::Zero8 ? 0 : 1;
    return n;
}

std::span<const VariableInfo> Variables() {
    return Table();
}

const VariableInfo* FindVariable(std::uint16_t code) {
    for (const VariableInfo& v : Table())
        if (v.code == code) return &v;
    return nullptr;
}

std::optional<std::uint16_t> ParseVariableCode(std::string_view text) {
    for (const VariableInfo& v : Table())
        if (EqualNoCase(v.name, text)) return v.code;
    std::string_view digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.remove_prefix(2);
    if (digits.empty() || digits.size() > 4) return std::nullopt;
    unsigned value = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (r.ec != std::errc() || r.ptr != digits.data() + digits.size()) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

const VariableInfo* FindVariable(std::string_view nameOrCode) {
    const auto code = ParseVariableCode(nameOrCode);
    return code ? FindVariable(*code) : nullptr;
}

std::string CodeText(std::uint16_t code) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", code);
    return buf;
}

}  // namespace orvan::commands
