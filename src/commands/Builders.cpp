#include "commands/Builders.h"

#include <algorithm>
#include <cmath>

#include "link/FrameCodec.h"

namespace orvan::commands {

namespace {

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

SendResult Queue(link::TComProtocol& protocol, const link::TCmd& cmd) {
    const link::QueueResult r = protocol.QueueCommand(cmd);
    return r ? SendResult::Ok() : SendResult::Fail(r.why);
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

double ScaleTruncate(double value, double factor) {
    const double p = value * factor;
    // A relative nudge far below any step a user can type, far above the
    // rounding error of one multiplication.
    const double nudged = p + std::copysign(std::fabs(p) * 1e-9, p);
    return std::trunc(nudged);
}

bool EncodeWriteValue(const VariableInfo& v, std::span<const double> values,
                      std::vector<std::uint8_t>& out, std::string* why) {
    out.clear();
    auto fail = [&](std::string w) {
        if (why) *why = std::move(w);
        out.clear();
        return false;
    };
    if (!v.writable) return fail(std::string(v.name) + " is not written by this program");
    if (values.size() != v.WriteValueCount())
        return fail(std::string(v.name) + " takes " + std::to_string(v.WriteValueCount()) +
                    " value(s), not " + std::to_string(values.size()));
    std::size_t k = 0;
    for (std::size_t i = 0; i < v.fieldCount; ++i) {
        const WriteField& f = v.fields[i];
        if (f.kind == WriteKind::Zero8) {
            out.push_back(0);
            continue;
        }
        const double typed = values[k++];
        const std::string what =
            std::string(v.name) + (f.source.empty() ? "" : " (" + std::string(f.source) + ")");
        if (!std::isfinite(typed)) return fail(what + ": not a number");
        if (f.kind == WriteKind::Flag8) {
            // A box is ticked or not: anything else was not meant.
            if (typed != 0 && typed != 1)
                return fail(what + ": " + Num(typed) + " is neither 0 nor 1; nothing sent");
            out.push_back(typed != 0 ? 1 : 0);
            continue;
        }
        if (f.integer && typed != std::trunc(typed))
            return fail(what + ": " + Num(typed) + " is not a whole number");
        const double raw = f.integer ? typed : ScaleTruncate(typed, f.factor);
        double max = 0;
        switch (f.kind) {
            case WriteKind::U8:
            case WriteKind::U8Complement:
                max = 0xFF;
                break;
            case WriteKind::U16Le:
            case WriteKind::U16Be:
                max = 0xFFFF;
                break;
            default:
                max = 0xFFFFFFFFu;
                break;
        }
        double min = 0;
        if (f.rawMax >= 0) {
            min = static_cast<double>(f.rawMin);
            max = std::min(max, static_cast<double>(f.rawMax));
        }
        if (raw < min || raw > max) {
            std::string range = Num(min / f.factor) + ".." + Num(max / f.factor);
            return fail(what + ": " + Num(typed) + " is outside " + range + "; nothing sent");
        }
        const auto r = static_cast<std::uint32_t>(raw);
        switch (f.kind) {
            case WriteKind::U8:
                out.push_back(static_cast<std::uint8_t>(r));
                break;
            case WriteKind::U8Complement:
                out.push_back(static_cast<std::uint8_t>(~r));
                break;
            case WriteKind::U16Le:
                PutLe(out, r, 2);
                break;
            case WriteKind::U16Be:
                out.push_back(static_cast<std::uint8_t>(r >> 8));
                out.push_back(static_cast<std::uint8_t>(r));
                break;
            case WriteKind::U32Le:
                PutLe(out, r, 4);
                break;
            case WriteKind::U32LeComplement:
                PutLe(out, ~r, 4);
                break;
            case WriteKind::Flag8:
            case WriteKind::Zero8:
                break;
        }
    }
    return true;
}

link::TCmd MakeReadVariable(std::uint16_t code) {
    return link::TCmd(kReadVariable, {static_cast<std::uint8_t>(code & 0xFF),
                                      static_cast<std::uint8_t>(code >> 8)});
}

bool MakeWriteVariable(std::uint16_t code, std::span<const double> values, link::TCmd& out,
                       std::string* why) {
    const VariableInfo* v = FindVariable(code);
    if (v == nullptr || !v->writable) {
        if (why) *why = "variable " + CodeText(code) + " has no write layout; nothing sent";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (!EncodeWriteValue(*v, values, bytes, why)) return false;
    out = link::TCmd(kWriteVariable, {static_cast<std::uint8_t>(code & 0xFF),
                                      static_cast<std::uint8_t>(code >> 8)});
    std::copy(bytes.begin(), bytes.end(), out.Payload.begin() + 2);
    out.Count = static_cast<std::int32_t>(2 + bytes.size());
    return true;
}

SendResult SendReadVariable(link::TComProtocol& protocol, std::uint16_t code) {
    return Queue(protocol, MakeReadVariable(code));
}

SendResult SendWriteVariable(link::TComProtocol& protocol, std::uint16_t code,
                             std::span<const double> values) {
    link::TCmd cmd;
    std::string why;
    if (!MakeWriteVariable(code, values, cmd, &why)) return SendResult::Fail(why);
    return Queue(protocol, cmd);
}

SendResult SendWriteVariable(link::TComProtocol& protocol, std::uint16_t code,
                             std::initializer_list<double> values) {
    return SendWriteVariable(protocol, code,
                             std::span<const double>(values.begin(), values.size()));
}

SendResult SendIoForce(link::TComProtocol& protocol, const IoForceMasks& m) {
    const double v[] = {
        static_cast<double>(m.cpuInputsOn),
        static_cast<double>(m.cpuInputsOff),
        static_cast<double>((m.exp1InputsOn & 0x0FFF) | ((m.exp2InputsOn & 0x0FFF) << 12)),
        static_cast<double>((m.exp1InputsOff & 0x0FFF) | ((m.exp2InputsOff & 0x0FFF) << 12)),
        static_cast<double>(m.cpuOutputsOn),
        static_cast<double>(m.cpuOutputsOff),
        static_cast<double>((m.exp1OutputsOn & 0xFF) | ((m.exp2OutputsOn & 0xFF) << 8)),
        static_cast<double>((m.exp1OutputsOff & 0xFF) | ((m.exp2OutputsOff & 0xFF) << 8)),
        static_cast<double>(m.releLedOn),
        static_cast<double>(m.releLedOff),
    };
    return SendWriteVariable(protocol, IoForce, v);
}

int DayOfWeek(int year, int month, int day) {
    // Zeller-like count on a March-based year; 0 Sunday.
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) year -= 1;
    const int w = (year + year / 4 - year / 100 + year / 400 + t[month - 1] + day) % 7;
    return w + 1;
}

bool ClockDateValues(int year, int month, int day, std::vector<double>& out, std::string* why) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 2000 || year > 2255 || month < 1 || month > 12 || day < 1 ||
        day > days[month - 1] + (month == 2 && leap ? 1 : 0)) {
        if (why)
            *why = "not a date the board clock holds: " + std::to_string(year) + "-" +
                   std::to_string(month) + "-" + std::to_string(day);
        return false;
    }
    out = {static_cast<double>(day), static_cast<double>(month),
           static_cast<double>(DayOfWeek(year, month, day)), static_cast<double>(year - 2000)};
    return true;
}

link::TCmd MakeReadMemory(std::uint16_t address, std::uint8_t count) {
    return link::TCmd(kReadMemory, {static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address & 0xFF), count});
}

bool MakeWriteMemory(std::uint16_t address, std::span<const std::uint8_t> data, link::TCmd& out,
                     std::string* why) {
    // Counted with the security code, which the line may need by the time it goes.
    const std::size_t body = link::RequestBodySize(
        kWriteMemory, static_cast<std::int32_t>(data.size() + 2), link::kSecuredProtocolVersion);
    if (body > link::kMaxBodySize) {
        if (why)
            *why = "at most " + std::to_string(link::kMaxBodySize - 7) +
                   " bytes fit one memory write, not " + std::to_string(data.size()) +
                   "; nothing sent";
        return false;
    }
    out = link::TCmd(kWriteMemory, {static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address & 0xFF)});
    std::copy(data.begin(), data.end(), out.Payload.begin() + 2);
    out.Count = static_cast<std::int32_t>(data.size() + 2);
    return true;
}

SendResult SendReadMemory(link::TComProtocol& protocol, std::uint16_t address, std::uint8_t count) {
    return Queue(protocol, MakeReadMemory(address, count));
}

SendResult SendWriteMemory(link::TComProtocol& protocol, std::uint16_t address,
                           std::span<const std::uint8_t> data) {
    link::TCmd cmd;
    std::string why;
    if (!MakeWriteMemory(address, data, cmd, &why)) return SendResult::Fail(why);
    return Queue(protocol, cmd);
}

link::TCmd MakeStartCommand(std::uint8_t type) {
    if (type == kStartFactoryTuning) return link::TCmd(type, {0, 0, 0, 0});
    return link::TCmd(type, {});
}

SendResult SendStartCommand(link::TComProtocol& protocol, std::uint8_t type) {
    if (type < kStartPowerDiagnosis || type > kStartPdDiagnosis)
        return SendResult::Fail("not a start command: " + std::to_string(type));
    return Queue(protocol, MakeStartCommand(type));
}

link::TCmd MakeFlangingCommand(std::uint8_t type, std::uint8_t profile) {
    if (type == kSaveFlangingProfile) return link::TCmd(type, {profile});
    return link::TCmd(type, {});
}

SendResult SendFlangingCommand(link::TComProtocol& protocol, std::uint8_t type,
                               std::uint8_t profile) {
    if (type < kSaveFlangingProfile || type > kFlangingOffsetDown)
        return SendResult::Fail("not a flanging command: " + std::to_string(type));
    return Queue(protocol, MakeFlangingCommand(type, profile));
}

link::TCmd MakeSecurityCode(bool on) {
    const std::uint32_t c = link::kSecurityCode;
    return link::TCmd(on ? kSecurityCodeOn : kSecurityCodeOff,
                      {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                       static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 24)});
}

SendResult SendSecurityCode(link::TComProtocol& protocol, bool on) {
    return Queue(protocol, MakeSecurityCode(on));
}

}  // namespace orvan::commands
