#include "features/EventLog.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "link/ByteOrder.h"
#include "link/NumberText.h"

namespace orvan::features {

using namespace commands;

namespace {

std::uint16_t U16At(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::string Real(double v, char decimal) {
    return link::FormatReal(v, decimal);
}

std::string Round2(double v, char decimal) {
    return link::FormatReal(std::round(v * 100.0) / 100.0, decimal);
}

void JsonString(std::string& out, std::string_view s) {
    out += '"';
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace

TEventRecord EventRecordAt(std::span<const std::uint8_t> bytes, std::size_t n) {
    TEventRecord r;
    const std::size_t at = n * kEventRecordSize;
    if (at + kEventRecordSize > bytes.size()) return r;  // not held: the end of the list
    const std::uint8_t* p = bytes.data() + at;
    r.time = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
             (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    r.value = {U16At(p + 4), U16At(p + 6), U16At(p + 8)};
    r.type = p[10];
    return r;
}

std::array<std::uint8_t, kEventRecordSize> EventRecordBytes(const TEventRecord& r) {
    std::array<std::uint8_t, kEventRecordSize> b{};
    for (int i = 0; i < 4; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(r.time >> (8 * i));
    for (std::size_t v = 0; v < 3; ++v) {
        b[4 + 2 * v] = static_cast<std::uint8_t>(r.value[v]);
        b[5 + 2 * v] = static_cast<std::uint8_t>(r.value[v] >> 8);
    }
    b[10] = r.type;
    return b;
}

std::string EventDescription(std::uint8_t type) {
    switch (type) {
        case 1:
            return "Factory tuning";
        case 2:
            return "Secondary tuning";
        case 3:
            return "Correzione percentuale corrente (RAM)";
        case 4:
            return "Correzione percentuale corrente (EEPROM)";
        case 5:
            return "Regolazione corrente massima (RAM)";
        case 6:
            return "Regolazione corrente massima (EEPROM)";
        default:
            return {};
    }
}

std::string EventValueText(const TEventRecord& r, char decimal) {
    const double v0 = r.value[0], v1 = r.value[1], v2 = r.value[2];
    switch (r.type) {
        case 2:
            return Real(v0 * 0.01, decimal) + " A | " + Real(v1, decimal) + " ore";
        case 3:
        case 4:
            return Real(v0 * 0.01, decimal) + "% | " + Real(v1 * 0.01, decimal) + "A (" +
                   Round2(v0 * 0.01 * (v1 * 0.01) * 0.01, decimal) + " A) | " + Real(v2, decimal) +
                   " ore";
        case 5:
        case 6:
            return Real(v0 * 0.01, decimal) + " A | " + Real(v1, decimal) +
                   " ore | Valore modificato " + Real(v2, decimal) + " volte";
        default:
            return {};
    }
}

std::string EventTimeText(std::uint32_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[80];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

TEventLogDecode DecodeEventLog(std::span<const std::uint8_t> bytes, char decimal) {
    TEventLogDecode out;
    const std::size_t whole = std::min(bytes.size() / kEventRecordSize, kEventRecords);
    std::size_t n = 0;
    for (; n < whole; ++n) {
        const TEventRecord r = EventRecordAt(bytes, n);
        if (r.time == kEventListEnd) break;
        TEventLine line;
        line.n = static_cast<int>(n);
        line.record = r;
        line.dateTime = EventTimeText(r.time);
        line.value = EventValueText(r, decimal);
        line.description = EventDescription(r.type);
        out.lines.push_back(std::move(line));
    }
    // Only a log cut short before its end mark needs telling.
    if (n == whole && whole < kEventRecords)
        out.problem = "the event log holds " + std::to_string(bytes.size()) + " bytes of " +
                      std::to_string(kEventLogSize) + "; records from " + std::to_string(whole) +
                      " on are missing";
    return out;
}

std::string EventLineText(const TEventLine& line) {
    return std::to_string(line.n) + "\t" + line.dateTime + "\t" + line.value + "\t" +
           line.description;
}

std::string EventLineJson(const TEventLine& line) {
    std::string o = "{\"n\":" + std::to_string(line.n) +
                    ",\"time\":" + std::to_string(line.record.time) + ",\"dateTime\":";
    JsonString(o, line.dateTime);
    o += ",\"type\":" + std::to_string(line.record.type) + ",\"values\":[" +
         std::to_string(line.record.value[0]) + "," + std::to_string(line.record.value[1]) + "," +
         std::to_string(line.record.value[2]) + "],\"value\":";
    JsonString(o, line.value);
    o += ",\"description\":";
    JsonString(o, line.description);
    o += "}";
    return o;
}

// --- the read ----------------------------------------------------------------

TResult TEventLog::StartEventLogRead() {
    session_.StartChain(kPurposeEventLog, kEventLogAddress,
                        static_cast<std::uint16_t>(kEventLogAddress + kEventLogSize));
    return TResult::Ok();
}

void TEventLog::OnChainStarted(int purpose) {
    if (purpose != kPurposeEventLog) return;
    eventLog.assign(kEventLogSize, 0xFF);
    running_ = true;
}

void TEventLog::OnChainChunk(int purpose, std::uint16_t address,
                             std::span<const std::uint8_t> data) {
    if (purpose != kPurposeEventLog || !running_) return;
    if (eventLog.size() != kEventLogSize) eventLog.assign(kEventLogSize, 0xFF);
    CopyInside(eventLog, kEventLogAddress, address, data.data(), data.size());
}

void TEventLog::OnChainEnd(int purpose) {
    if (purpose != kPurposeEventLog || !running_) return;
    running_ = false;
    // Decoded from a copy taken out of the member, which is released before
    // any view runs: a view that starts another read cannot pull the buffer
    // from under the decoding.
    const std::vector<std::uint8_t> buffer = std::move(eventLog);
    eventLog = {};
    lastEventLog = buffer;
    const TEventLogDecode log = DecodeEventLog(buffer, decimalSeparator);
    views_.Notify(&IEventLogView::OnEventLogRead, TSequenceOutcome::Completed(), log);
}

void TEventLog::OnSequenceStopped(Sequence s, int purpose, const std::string& why) {
    if (s != Sequence::MemoryChain || purpose != kPurposeEventLog || !running_) return;
    running_ = false;
    eventLog = {};
    views_.Notify(&IEventLogView::OnEventLogRead,
                  TSequenceOutcome::Stopped("reading the event log", why), TEventLogDecode{});
}

}  // namespace orvan::features
