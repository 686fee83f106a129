// Decoding of ReadVariable and ReadMemory answers into typed values for the
// view, and the read-purpose handling of memory chains.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "commands/Session.h"
#include "link/ByteOrder.h"

namespace orvan::commands {

namespace {

std::string Hex(std::uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, v);
    return buf;
}

class FieldList {
  public:
    void Add(std::string field, double value, std::string text) {
        fields.push_back({std::move(field), value, std::move(text)});
    }
    void Number(std::string field, double value, std::string_view unit = {}) {
        Add(std::move(field), value, NumberText(value) + std::string(unit));
    }
    std::vector<DecodedField> fields;
};

bool ValidDate(int y, int m, int d) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

}  // namespace

MemoryRow MakeMemoryRow(std::uint16_t address, const std::uint8_t* bytes, std::size_t count) {
    MemoryRow row;
    row.address = address;
    row.bytes.assign(bytes, bytes + count);
    row.addressText = Hex(address, 4);
    for (std::size_t i = 0; i < count; ++i) {
        row.hexText += Hex(bytes[i], 2) + " ";
        const unsigned char c = bytes[i];
        row.asciiText.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.');
    }
    return row;
}

void DecodeVariable(TSession& session, std::uint16_t code, const std::uint8_t* value,
                    std::size_t available) {
    TBoardEvents& view = session.Events();
    const VariableInfo* info = FindVariable(code);
    if (info == nullptr || !info->readable) {
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
    const std::uint8_t* p = value;
    DecodedVariable out;
    out.code = code;
    out.name = std::string(info->name);
    FieldList f;

    switch (code) {
        case FirmwareVersion: {
            std::copy_n(p, 3, session.firmwareVersion.begin());
            const std::string text = VersionText(p[0], p[1], p[2]);
            f.Add("stxFWVer", p[0] * 10000.0 + p[1] * 100.0 + p[2], text);
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IIdentityView::OnFirmwareVersion, p[0], p[1], p[2], text);
            if (session.boardType != 0) {
                char name[64];
                std::snprintf(name, sizeof name, "IOC_%04X_%d%02d%02d.ini", session.boardType, p[0],
                              p[1], p[2]);
                view.Notify(&IIdentityView::OnMachineNamesFile, name);
            }
            return;
        }
        case BoardType: {
            session.boardType = link::GetLe16(p);
            f.Add("stxBoardType", session.boardType, Hex(session.boardType, 4));
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IIdentityView::OnBoardType, session.boardType);
            return;
        }
        case ProtocolVersion: {
            std::copy_n(p, 3, session.protocolVersion.begin());
            const std::uint32_t packed =
                (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
            session.Protocol().BoardProtocolVersion = packed;
            const std::string text = VersionText(p[0], p[1], p[2]);
            f.Add("stxProtVer", packed, text);
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            // At 2.1.0 the code travels inside the frames that need it; later
            // versions want it switched on once.
            if (packed > link::kSecuredProtocolVersion)
                (void)SendSecurityCode(session.Protocol(), true);
            view.Notify(&IIdentityView::OnProtocolVersion, packed, text);
            return;
        }
        default:
            break;
    }

    switch (code) {
        case AnomalyStatus:
            f.Add("fraAnomaly1", link::GetLe32(p), "0x" + Hex(link::GetLe32(p), 8));
            break;
        case IoStatus: {
            IoStatusWords w;
            w.cpuInputs = link::GetLe16(p);
            w.exp1Inputs = static_cast<std::uint16_t>(link::GetLe16(p + 4) & 0x0FFF);
            w.exp2Inputs = static_cast<std::uint16_t>(link::GetLe16(p + 5) >> 4);
            w.cpuOutputs = link::GetLe16(p + 8);
            w.exp1Outputs = p[12];
            w.exp2Outputs = p[13];
            w.relays = p[16];
            f.Add("fraBrentaOptoInputCPU", w.cpuInputs, "0x" + Hex(w.cpuInputs, 4));
            f.Add("fraBrentaOptoInputEXP1", w.exp1Inputs, "0x" + Hex(w.exp1Inputs, 3));
            f.Add("fraBrentaOptoInputEXP2", w.exp2Inputs, "0x" + Hex(w.exp2Inputs, 3));
            f.Add("fraBrentaOptoOutputCPU", w.cpuOutputs, "0x" + Hex(w.cpuOutputs, 4));
            f.Add("fraBrentaOptoOutputEXP1", w.exp1Outputs, "0x" + Hex(w.exp1Outputs, 2));
            f.Add("fraBrentaOptoOutputEXP2", w.exp2Outputs, "0x" + Hex(w.exp2Outputs, 2));
            f.Number("stxOutRele", w.relays);
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IStatusView::OnIoStatus, w);
            return;
        }
        case AnalogStatus: {
            // Words at offsets 0, 2, 4, 10, 8, 6 are channels 0 to 5.
            static const int offset[6] = {0, 2, 4, 10, 8, 6};
            for (int c = 0; c < 6; ++c) {
                session.analogRaw[c] = link::GetLe16(p + offset[c]);
                f.Number("CgaAnalog" + std::to_string(c), session.analogRaw[c]);
            }
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IStatusView::OnAnalogStatus, session.analogRaw);
            return;
        }
        case Dac16Value:
            f.Number("cspDac16", link::GetLe16(p));
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IMachineView::OnDac16, link::GetLe16(p));
            return;
        case Dac16Force:
        case ClockRun:
        case PeltaPreion2Enable: {
            const bool on = code == PeltaPreion2Enable ? (p[0] & 1) != 0 : p[0] != 0;
            const char* field = code == Dac16Force ? "chkDac16Force"
                                : code == ClockRun ? "chkTKClockEN"
                                                   : "chkPeltaPreion2EN";
            f.Add(field, on ? 1 : 0, on ? "1" : "0");
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            if (code == Dac16Force) view.Notify(&IMachineView::OnDac16Force, on);
            if (code == ClockRun) view.Notify(&IBoardClockView::OnClockRun, on);
            return;
        }
        case ClockTime:
            f.Number("edtHours", p[0]);
            f.Number("edtMinutes", p[1]);
            f.Number("edtSeconds", p[2]);
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IBoardClockView::OnClockTime, p[0], p[1], p[2]);
            return;
        case ClockDate: {
            const int y = 2000 + p[3], m = p[1], d = p[0];
            const bool valid = ValidDate(y, m, d);
            char text[32];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
            f.Add("calOrvanDate", y * 10000.0 + m * 100.0 + d,
                  valid ? text : std::string(text) + " (not a date)");
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IBoardClockView::OnClockDate, y, m, d, valid);
            return;
        }
        case DiagnosisStatus:
        case TuningStatus:
            f.Add(code == DiagnosisStatus ? "DiagnosisStatus" : "TuningStatus", p[0],
                  "0x" + Hex(p[0], 2));
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            if (code == DiagnosisStatus)
                view.Notify(&IProcedureView::OnDiagnosisStatus, p[0]);
            else
                view.Notify(&IProcedureView::OnTuningStatus, p[0]);
            return;
        case DiagnosisPower25:
        case DiagnosisPower50:
        case DiagnosisPower75:
        case DiagnosisPower100: {
            static const char* cells[] = {"stxPwPM25", "stxPwPM50", "stxPwPM75", "stxPwPM100"};
            const int step = code - DiagnosisStatus;
            f.Number(cells[step - 1], link::GetLe16(p) / 100.0);
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IProcedureView::OnDiagnosisPower, step, link::GetLe16(p));
            return;
        }
        case SourceWorkTime: {
            const std::uint32_t s = link::GetLe32(p);
            f.Number("stxSourceSeconds", s);
            f.Add("stxSourceHours", s / 3600.0, RoundedText(s / 3600.0, 2));
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IStatusView::OnSourceWorkTime, s);
            return;
        }
        case PowerReadings: {
            PowerReadingWords w{link::GetLe16(p), link::GetLe16(p + 2), link::GetLe16(p + 4),
                                link::GetLe16(p + 6), link::GetLe16(p + 8)};
            f.Number("stxOrvanPwPD", w.photodiode / 100.0, " W");
            f.Number("stxOrvanPwPM", w.powerMeter / 100.0, " W");
            f.Number("stxOrvanIAlim", w.supplyCurrent / 100.0, " A");
            f.Number("stxOrvanTemp", w.temperature / 10.0,
                     " \xC2\xB0"
                     "C");
            f.Number("stxOrvanPwSet", w.setPower / 100.0, " W");
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IStatusView::OnPowerReadings, w);
            return;
        }
        case ImaxByTime:
            f.Number("stxImaxByTime", link::GetLe16(p) / 100.0, " A");
            break;
        case Imax:
            f.Number("edtImax", link::GetLe16(p) / 100.0);
            break;
        case IDiodeEndLife:
            f.Number("stxIDiodeEndLife", link::GetLe16(p) / 100.0, " A");
            break;
        case IMaxLow:
            f.Number("stxIMaxLow", link::GetLe16(p) / 100.0, " A");
            break;
        case IAdj:
            f.Number("edtIAdj", link::GetLe16(p) / 100.0);
            break;
        case PeltaWork:
            f.Number("edtPeltaWork_f", link::GetLe16(p) / 100.0);
            f.Number("edtPeltaWork_d", link::GetLe16(p + 2) / 10.0);
            break;
        case PeltaSlope:
            f.Number("edtPeltaSlopeON", link::GetLe16(p));
            f.Number("edtPeltaSlopeOFF", link::GetLe16(p + 2));
            break;
        case PeltaPreion1:
        case PeltaPreion2: {
            const std::string n = code == PeltaPreion1 ? "1" : "2";
            f.Number("edtPeltaPreion" + n + "_f", link::GetLe16(p) / 100.0);
            f.Number("edtPeltaPreion" + n + "_d", link::GetLe16(p + 2) / 1000.0);
            break;
        }
        case PeltaStrobeCounter:
            f.Number("edtPeltaStrobeCounter", link::GetLe32(p));
            break;
        case PeltaStrobeFault:
            f.Number("edtPeltaStrobeFault", link::GetLe16(p));
            break;
        case PeltaStrobeFilter:
            f.Number("edtPeltaStrobeFilter", link::GetLe16(p) / 1000);
            break;
        case PeltaStrobeDelay:
            f.Number("edtPeltaStrobeDelay", link::GetLe16(p) / 100);
            break;
        case PeltaLaserPulse:
            f.Number("edtPeltaLaserPulse", link::GetLe16(p) / 1000);
            break;
        case PeltaStrobe2Shot:
            f.Number("edtPeltaStrobe2Shot", link::GetLe16(p));
            break;
        case MultiHeadCount:
            f.Number("edtMultiHHeadsNum", p[0]);
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IMachineView::OnMultiHeadCount, p[0]);
            return;
        case MultiHeadTimeouts:
        case MultiHeadErrorPositions:
        case MultiHeadCrcPositions: {
            const char* frame = code == MultiHeadTimeouts         ? "fraMultiHHeadsTout"
                                : code == MultiHeadErrorPositions ? "fraMultiHErrPos"
                                                                  : "fraMultiHCRCPos";
            f.Add(frame, link::GetLe32(p), "0x" + Hex(link::GetLe32(p), 8));
            out.fields = std::move(f.fields);
            view.Notify(&IVariableView::OnVariable, out);
            view.Notify(&IMachineView::OnMultiHeadWord, code, link::GetLe32(p));
            return;
        }
        case MultiHeadFrequency:
            f.Number("edtMultiHFreq", link::GetLe16(p) / 100.0);
            break;
        case MultiHeadPreion:
            f.Number("edtMultiHPreion", link::GetLe16(p) / 10.0);
            break;
        case DiameterHeightPoint0:
        case DiameterHeightPoint1:
        case DiameterHeightPoint2:
        case DiameterHeightPoint3: {
            static const char* pairs[4][2] = {{"edtBirHeightMmMax", "edtBirHeightVMax"},
                                              {"edtBirHeightMmMin", "edtBirHeightVMin"},
                                              {"edtBirDiamMmMax", "edtBirDiamVmax"},
                                              {"edtBirDiamMmMin", "edtBirDiamVmin"}};
            const int i = code - DiameterHeightPoint0;
            f.Number(pairs[i][0], link::GetLe16(p));
            f.Number(pairs[i][1], link::GetLe16(p + 2) * 5.0 / 1023.0);
            break;
        }
        case FlangingSpeed:
            f.Number("edtFlangSpeed", p[0]);
            break;
        case FlangingPower:
            f.Number("edtFlangPower", p[0]);
            break;
        case FlangingProfile:
            f.Number("cseFlangingProfile", p[0]);
            break;
        case FlangingWave:
            f.Number("edtFlangWaveAmplitude", link::GetLe16(p) * 10.0 / 65535.0);
            f.Number("edtFlangWaveOffset", link::GetLe16(p + 2) * 10.0 / 65535.0);
            break;
        default:
            if (FindVariable(code) == nullptr)
                view.Notify(&IVariableView::OnUndecodedVariable, code,
                            std::span<const std::uint8_t>(value, available));
            return;
    }
    out.fields = std::move(f.fields);
    view.Notify(&IVariableView::OnVariable, out);
    if (code == AnomalyStatus) view.Notify(&IStatusView::OnAnomalyStatus, link::GetLe32(p));
}

void DecodeMemory(TSession& session, const std::uint8_t* content, std::size_t available,
                  std::uint8_t lengthLow) {
    TBoardEvents& view = session.Events();
    if (available < 2) return;
    const auto address = static_cast<std::uint16_t>((content[0] << 8) | content[1]);
    const std::uint8_t* data = content + 2;
    // Four bytes before the data, three after it: the length value less 11.
    int n = static_cast<int>(lengthLow) - 11;
    n = std::min<int>(n, static_cast<int>(available - 2));

    const auto& chunk = session.PendingChunkRequest();
    const auto& sent = session.Sent();
    const bool ours = chunk && session.readPurpose != kPurposeRaw && address == chunk->address &&
                      (!sent || (sent->type == kReadMemory && sent->address == address));
    if (!ours && chunk && session.readPurpose != kPurposeRaw && sent && sent->type == kReadMemory &&
        sent->address == chunk->address) {
        // The chain's own request came back for another address: its data
        // cannot stand for the range asked.
        const std::string why = "memory answer at " + std::to_string(address) + ", " +
                                std::to_string(chunk->address) + " was asked";
        view.Notify(&ILinkView::OnAnswerIgnored, why);
        session.EndChain(why);
        return;
    }
    if (!ours) {
        // A raw read, or an answer that no running chain asked for: listed,
        // never copied into an image.
        const int cap = sent && sent->type == kReadMemory ? sent->count : kMaxReadChunk;
        n = std::min(n, cap);
        if (n <= 0) {
            view.Notify(&ILinkView::OnAnswerIgnored,
                        "memory answer at " + std::to_string(address) + " carries no data");
            return;
        }
        std::vector<MemoryRow> rows;
        for (int off = 0; off < n; off += 16)
            rows.push_back(MakeMemoryRow(static_cast<std::uint16_t>(address + off), data + off,
                                         static_cast<std::size_t>(std::min(16, n - off))));
        view.Notify(&IMemoryView::OnMemoryRows, rows);
        return;
    }
    if (n < chunk->count) {
        const std::string why = "memory answer at " + std::to_string(address) + " carries " +
                                std::to_string(std::max(n, 0)) + " bytes, " +
                                std::to_string(chunk->count) + " asked";
        view.Notify(&ILinkView::OnAnswerIgnored, why);
        session.EndChain(why);
        return;
    }
    n = chunk->count;  // never more than asked
    const std::size_t count = static_cast<std::size_t>(n);

    // The next request goes out before anyone hears of this chunk, so a
    // listener that starts another read supersedes the rest of this chain.
    const int purpose = session.readPurpose;
    const bool more = session.rangeCursor < session.rangeEnd;
    if (more && session.ReadMemoryRange(0, 0, false)) return;  // stopped: not queued
    const bool last = !more;
    if (last) session.ResetChain();
    switch (purpose) {
        case kPurposeSerialNumber:
            if (last) {
                if (data[0] != 0) {
                    const std::size_t len = std::min<std::size_t>(
                        std::find(data, data + count, std::uint8_t{0}) - data, 15);
                    session.serialNumber.assign(reinterpret_cast<const char*>(data), len);
                }
                view.Notify(&IIdentityView::OnSerialNumber, session.serialNumber);
            }
            break;
        case kPurposeConfigUpload:
            CopyInside(session.configImage, kConfigImageAddress, address, data, count);
            ++session.chunkCounter;
            view.Notify(&IMemoryView::OnConfigUploadProgress, session.chunkCounter);
            if (last) {
                // The tuning log follows the configuration, under its own
                // purpose; otherwise the purpose rests before the view hears
                // of the image, whose handler may start the next read at once.
                if (session.uploadThenTuningLog)
                    session.StartChain(
                        kPurposeTuningLog, kTuningLogAddress,
                        static_cast<std::uint16_t>(kTuningLogAddress + kTuningLogSize));
                view.Notify(&IMemoryView::OnConfigImageComplete, session.configImage);
            }
            break;
        default:
            // A feature's chain: the bytes as asked, then its end.
            view.Notify(&IMemoryView::OnChainChunk, purpose, address,
                        std::span<const std::uint8_t>(data, count));
            if (last) view.Notify(&IMemoryView::OnChainEnd, purpose);
            break;
    }
}

}  // namespace orvan::commands
