// Decoding of ReadVariable answers into typed values for the view, one
// function per group of variables: identity, live status, board clock,
// diagnosis and tuning, machine pages. Each takes the answers of its group
// and says whether it did.

#include <cmath>
#include <cstdio>

#include "commands/Session.h"
#include "commands/VariableFields.h"
#include "link/ByteOrder.h"

namespace orvan::commands {

namespace {

std::string Hex(std::uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, v);
    return buf;
}

bool ValidDate(int y, int m, int d) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

// One answer being decoded: its value bytes (as many as the variable's
// layout reads, checked before) and the fields the page shows.
struct TAnswer {
    TSession& session;
    TBoardEvents& view;
    std::uint16_t code;
    const std::uint8_t* p;
    DecodedVariable out;

    void Add(std::string field, double value, std::string text, std::int64_t raw) {
        out.fields.push_back({std::move(field), value, std::move(text), raw});
    }
    void Add(std::string field, double value, std::string text) {
        const auto raw = static_cast<std::int64_t>(std::llround(value));
        Add(std::move(field), value, std::move(text), raw);
    }
    void Number(std::string field, double value, std::string_view unit = {}) {
        Add(std::move(field), value, NumberText(value) + std::string(unit));
    }
    // A raw number the field table scales (commands/VariableFields.h).
    void Scaled(std::string field, std::int64_t raw, std::string_view unit = {}) {
        const VariableField* f = FindVariableField(field);
        const double value = f != nullptr ? static_cast<double>(raw) * static_cast<double>(f->num) /
                                                static_cast<double>(f->den)
                                          : static_cast<double>(raw);
        Add(std::move(field), value, NumberText(value) + std::string(unit), raw);
    }
    // As the page shows it: the whole part of the scaled value.
    void Whole(std::string field, std::int64_t raw, std::int64_t divisor) {
        const std::int64_t whole = raw / divisor;
        Add(std::move(field), static_cast<double>(whole), NumberText(static_cast<double>(whole)),
            raw);
    }
    // The fields go to every view of variables; the area event follows.
    void Emit() { view.Notify(&IVariableView::OnVariable, out); }
    std::uint16_t U16(std::size_t at = 0) const { return link::GetLe16(p + at); }
    std::uint32_t U32(std::size_t at = 0) const { return link::GetLe32(p + at); }
};

bool DecodeIdentity(TAnswer& a) {
    TSession& s = a.session;
    const std::uint8_t* p = a.p;
    switch (a.code) {
        case FirmwareVersion: {
            std::copy_n(p, 3, s.firmwareVersion.begin());
            const std::string text = VersionText(p[0], p[1], p[2]);
            a.Add("stxFWVer", p[0] * 10000.0 + p[1] * 100.0 + p[2], text);
            a.Emit();
            a.view.Notify(&IIdentityView::OnFirmwareVersion, p[0], p[1], p[2], text);
            if (s.boardType != 0) {
                char name[64];
                std::snprintf(name, sizeof name, "IOC_%04X_%d%02d%02d.ini", s.boardType, p[0], p[1],
                              p[2]);
                a.view.Notify(&IIdentityView::OnMachineNamesFile, name);
            }
            return true;
        }
        case BoardType:
            s.boardType = a.U16();
            a.Add("stxBoardType", s.boardType, Hex(s.boardType, 4));
            a.Emit();
            a.view.Notify(&IIdentityView::OnBoardType, s.boardType);
            return true;
        case ProtocolVersion: {
            std::copy_n(p, 3, s.protocolVersion.begin());
            const std::uint32_t packed =
                (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
            s.Protocol().BoardProtocolVersion = packed;
            const std::string text = VersionText(p[0], p[1], p[2]);
            a.Add("stxProtVer", packed, text);
            a.Emit();
            // At 2.1.0 the code travels inside the frames that need it; later
            // versions want it switched on once.
            if (packed > link::kSecuredProtocolVersion) (void)SendSecurityCode(s.Protocol(), true);
            a.view.Notify(&IIdentityView::OnProtocolVersion, packed, text);
            return true;
        }
        default:
            return false;
    }
}

bool DecodeStatus(TAnswer& a) {
    switch (a.code) {
        case AnomalyStatus:
            a.Add("fraAnomaly1", a.U32(), "0x" + Hex(a.U32(), 8));
            a.Emit();
            a.view.Notify(&IStatusView::OnAnomalyStatus, a.U32());
            return true;
        case IoStatus: {
            IoStatusWords w;
            w.cpuInputs = a.U16();
            w.exp1Inputs = static_cast<std::uint16_t>(a.U16(4) & 0x0FFF);
            w.exp2Inputs = static_cast<std::uint16_t>(a.U16(5) >> 4);
            w.cpuOutputs = a.U16(8);
            w.exp1Outputs = a.p[12];
            w.exp2Outputs = a.p[13];
            w.relays = a.p[16];
            a.Add("fraBrentaOptoInputCPU", w.cpuInputs, "0x" + Hex(w.cpuInputs, 4));
            a.Add("fraBrentaOptoInputEXP1", w.exp1Inputs, "0x" + Hex(w.exp1Inputs, 3));
            a.Add("fraBrentaOptoInputEXP2", w.exp2Inputs, "0x" + Hex(w.exp2Inputs, 3));
            a.Add("fraBrentaOptoOutputCPU", w.cpuOutputs, "0x" + Hex(w.cpuOutputs, 4));
            a.Add("fraBrentaOptoOutputEXP1", w.exp1Outputs, "0x" + Hex(w.exp1Outputs, 2));
            a.Add("fraBrentaOptoOutputEXP2", w.exp2Outputs, "0x" + Hex(w.exp2Outputs, 2));
            a.Number("stxOutRele", w.relays);
            a.Emit();
            a.view.Notify(&IStatusView::OnIoStatus, w);
            return true;
        }
        case AnalogStatus: {
            // Words at offsets 0, 2, 4, 10, 8, 6 are channels 0 to 5.
            static const int offset[6] = {0, 2, 4, 10, 8, 6};
            for (int c = 0; c < 6; ++c) {
                a.session.analogRaw[c] = a.U16(offset[c]);
                a.Number("CgaAnalog" + std::to_string(c), a.session.analogRaw[c]);
            }
            a.Emit();
            a.view.Notify(&IStatusView::OnAnalogStatus, a.session.analogRaw);
            return true;
        }
        case SourceWorkTime: {
            const std::uint32_t s = a.U32();
            a.Number("stxSourceSeconds", s);
            a.Add("stxSourceHours", s / 3600.0, RoundedText(s / 3600.0, 2), s);
            a.Emit();
            a.view.Notify(&IStatusView::OnSourceWorkTime, s);
            return true;
        }
        case PowerReadings: {
            PowerReadingWords w{a.U16(), a.U16(2), a.U16(4), a.U16(6), a.U16(8)};
            a.Scaled("stxOrvanPwPD", w.photodiode, " W");
            a.Scaled("stxOrvanPwPM", w.powerMeter, " W");
            a.Scaled("stxOrvanIAlim", w.supplyCurrent, " A");
            a.Scaled("stxOrvanTemp", w.temperature,
                     " \xC2\xB0"
                     "C");
            a.Scaled("stxOrvanPwSet", w.setPower, " W");
            a.Emit();
            a.view.Notify(&IStatusView::OnPowerReadings, w);
            return true;
        }
        default:
            return false;
    }
}

bool DecodeClock(TAnswer& a) {
    const std::uint8_t* p = a.p;
    switch (a.code) {
        case ClockTime:
            a.Number("edtHours", p[0]);
            a.Number("edtMinutes", p[1]);
            a.Number("edtSeconds", p[2]);
            a.Emit();
            a.view.Notify(&IBoardClockView::OnClockTime, p[0], p[1], p[2]);
            return true;
        case ClockDate: {
            const int y = 2000 + p[3], m = p[1], d = p[0];
            const bool valid = ValidDate(y, m, d);
            char text[32];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
            a.Add("calOrvanDate", y * 10000.0 + m * 100.0 + d,
                  valid ? text : std::string(text) + " (not a date)");
            a.Emit();
            a.view.Notify(&IBoardClockView::OnClockDate, y, m, d, valid);
            return true;
        }
        case ClockRun:
            a.Add("chkTKClockEN", p[0] != 0 ? 1 : 0, p[0] != 0 ? "1" : "0");
            a.Emit();
            a.view.Notify(&IBoardClockView::OnClockRun, p[0] != 0);
            return true;
        default:
            return false;
    }
}

bool DecodeProcedure(TAnswer& a) {
    switch (a.code) {
        case DiagnosisStatus:
        case TuningStatus:
            a.Add(a.code == DiagnosisStatus ? "DiagnosisStatus" : "TuningStatus", a.p[0],
                  "0x" + Hex(a.p[0], 2));
            a.Emit();
            if (a.code == DiagnosisStatus)
                a.view.Notify(&IProcedureView::OnDiagnosisStatus, a.p[0]);
            else
                a.view.Notify(&IProcedureView::OnTuningStatus, a.p[0]);
            return true;
        case DiagnosisPower25:
        case DiagnosisPower50:
        case DiagnosisPower75:
        case DiagnosisPower100: {
            static const char* cells[] = {"stxPwPM25", "stxPwPM50", "stxPwPM75", "stxPwPM100"};
            const int step = a.code - DiagnosisStatus;
            a.Scaled(cells[step - 1], a.U16());
            a.Emit();
            a.view.Notify(&IProcedureView::OnDiagnosisPower, step, a.U16());
            return true;
        }
        case ImaxByTime:
            a.Scaled("stxImaxByTime", a.U16(), " A");
            break;
        case Imax:
            a.Scaled("edtImax", a.U16());
            break;
        case IDiodeEndLife:
            a.Scaled("stxIDiodeEndLife", a.U16(), " A");
            break;
        case IMaxLow:
            a.Scaled("stxIMaxLow", a.U16(), " A");
            break;
        case IAdj:
            a.Scaled("edtIAdj", a.U16());
            break;
        default:
            return false;
    }
    a.Emit();
    return true;
}

bool DecodePelta(TAnswer& a) {
    switch (a.code) {
        case PeltaWork:
            a.Scaled("edtPeltaWork_f", a.U16());
            a.Scaled("edtPeltaWork_d", a.U16(2));
            break;
        case PeltaSlope:
            a.Number("edtPeltaSlopeON", a.U16());
            a.Number("edtPeltaSlopeOFF", a.U16(2));
            break;
        case PeltaPreion1:
        case PeltaPreion2: {
            const std::string n = a.code == PeltaPreion1 ? "1" : "2";
            a.Scaled("edtPeltaPreion" + n + "_f", a.U16());
            a.Scaled("edtPeltaPreion" + n + "_d", a.U16(2));
            break;
        }
        case PeltaPreion2Enable: {
            const bool on = (a.p[0] & 1) != 0;
            a.Add("chkPeltaPreion2EN", on ? 1 : 0, on ? "1" : "0");
            break;
        }
        case PeltaStrobeCounter:
            a.Number("edtPeltaStrobeCounter", a.U32());
            break;
        case PeltaStrobeFault:
            a.Number("edtPeltaStrobeFault", a.U16());
            break;
        case PeltaStrobeFilter:
            a.Whole("edtPeltaStrobeFilter", a.U16(), 1000);
            break;
        case PeltaStrobeDelay:
            a.Whole("edtPeltaStrobeDelay", a.U16(), 100);
            break;
        case PeltaLaserPulse:
            a.Whole("edtPeltaLaserPulse", a.U16(), 1000);
            break;
        case PeltaStrobe2Shot:
            a.Number("edtPeltaStrobe2Shot", a.U16());
            break;
        default:
            return false;
    }
    a.Emit();
    return true;
}

bool DecodeMachine(TAnswer& a) {
    switch (a.code) {
        case Dac16Value:
            a.Number("cspDac16", a.U16());
            a.Emit();
            a.view.Notify(&IMachineView::OnDac16, a.U16());
            return true;
        case Dac16Force:
            a.Add("chkDac16Force", a.p[0] != 0 ? 1 : 0, a.p[0] != 0 ? "1" : "0");
            a.Emit();
            a.view.Notify(&IMachineView::OnDac16Force, a.p[0] != 0);
            return true;
        case MultiHeadCount:
            a.Number("edtMultiHHeadsNum", a.p[0]);
            a.Emit();
            a.view.Notify(&IMachineView::OnMultiHeadCount, a.p[0]);
            return true;
        case MultiHeadTimeouts:
        case MultiHeadErrorPositions:
        case MultiHeadCrcPositions: {
            const char* frame = a.code == MultiHeadTimeouts         ? "fraMultiHHeadsTout"
                                : a.code == MultiHeadErrorPositions ? "fraMultiHErrPos"
                                                                    : "fraMultiHCRCPos";
            a.Add(frame, a.U32(), "0x" + Hex(a.U32(), 8));
            a.Emit();
            a.view.Notify(&IMachineView::OnMultiHeadWord, a.code, a.U32());
            return true;
        }
        case MultiHeadFrequency:
            a.Scaled("edtMultiHFreq", a.U16());
            break;
        case MultiHeadPreion:
            a.Scaled("edtMultiHPreion", a.U16());
            break;
        case DiameterHeightPoint0:
        case DiameterHeightPoint1:
        case DiameterHeightPoint2:
        case DiameterHeightPoint3: {
            static const char* pairs[4][2] = {{"edtBirHeightMmMax", "edtBirHeightVMax"},
                                              {"edtBirHeightMmMin", "edtBirHeightVMin"},
                                              {"edtBirDiamMmMax", "edtBirDiamVmax"},
                                              {"edtBirDiamMmMin", "edtBirDiamVmin"}};
            const int i = a.code - DiameterHeightPoint0;
            a.Number(pairs[i][0], a.U16());
            a.Scaled(pairs[i][1], a.U16(2));
            break;
        }
        case FlangingSpeed:
            a.Number("edtFlangSpeed", a.p[0]);
            break;
        case FlangingPower:
            a.Number("edtFlangPower", a.p[0]);
            break;
        case FlangingProfile:
            a.Number("cseFlangingProfile", a.p[0]);
            break;
        case FlangingWave:
            a.Scaled("edtFlangWaveAmplitude", a.U16());
            a.Scaled("edtFlangWaveOffset", a.U16(2));
            break;
        default:
            return DecodePelta(a);
    }
    a.Emit();
    return true;
}

}  // namespace

void DecodeVariable(TSession& session, std::uint16_t code, const std::uint8_t* value,
                    std::size_t available) {
    TBoardEvents& view = session.Events();
    const VariableInfo* info = FindVariable(code);
    if (info == nullptr) {
        // Not a variable of the catalogue: its bytes as they came, for
        // whoever asked for it by its code.
        view.Notify(&IVariableView::OnUndecodedVariable, code,
                    std::span<const std::uint8_t>(value, available));
        return;
    }
    if (!info->readable) {
        view.Notify(&ILinkView::OnAnswerIgnored, "answer for variable " + CodeText(code) +
                                                     ", which is not read by this program");
        return;
    }
    if (available < info->readLength) {
        view.Notify(&ILinkView::OnAnswerIgnored,
                    "answer for " + std::string(info->name) + " carries " +
                        std::to_string(available) + " value bytes, " +
                        std::to_string(info->readLength) + " expected");
        return;
    }
    TAnswer a{session, view, code, value, {code, std::string(info->name), {}}};
    for (bool (*decode)(TAnswer&) :
         {DecodeIdentity, DecodeStatus, DecodeClock, DecodeProcedure, DecodeMachine})
        if (decode(a)) return;
    view.Notify(&IVariableView::OnUndecodedVariable, code,
                std::span<const std::uint8_t>(value, available));
}

}  // namespace orvan::commands
