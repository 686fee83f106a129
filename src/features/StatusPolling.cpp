#include "features/StatusPolling.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace orvan::features {

using commands::NumberText;
using commands::SendResult;

std::vector<std::uint16_t> PollReads(const TPollFlags& flags, std::uint16_t boardType,
                                     std::uint32_t protocolVersion, std::size_t queued) {
    std::vector<std::uint16_t> reads;
    if (queued >= kPollQueueGuard) return reads;
    if (flags.optoIO) reads.push_back(commands::IoStatus);
    if (flags.analog) reads.push_back(commands::AnalogStatus);
    if (flags.anomaly) reads.push_back(commands::AnomalyStatus);
    if (flags.sourceTime) reads.push_back(commands::SourceWorkTime);
    if (flags.analog && boardType == kConvertedBoardType &&
        protocolVersion > kPowerReadingsAfterProtocol)
        reads.push_back(commands::PowerReadings);
    if (flags.multiHead) {
        reads.push_back(commands::MultiHeadTimeouts);
        reads.push_back(commands::MultiHeadErrorPositions);
    }
    return reads;
}

double AnalogVolts(std::uint16_t word) {
    return word * 5.0 / 1024.0;
}

namespace {

std::string WithSeparator(std::string text, char sep) {
    if (sep != '.') std::replace(text.begin(), text.end(), '.', sep);
    return text;
}

std::string Hex(std::uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
    return buf;
}

}  // namespace

namespace {

std::string CutVolts(double volts) {
    std::string t = NumberText(volts);
    if (t.size() > 6) t.resize(6);
    return t;
}

}  // namespace

std::string VoltageText(double volts, char sep) {
    return WithSeparator(CutVolts(volts), sep) + " V";
}

std::uint32_t FrameForceMask(std::size_t frame) {
    return frame == kOutExp1 || frame == kOutExp2 ? 0x00FFu : 0x0FFFu;
}

commands::IoForceMasks ForceMasks(const TIoForceMarks& marks, std::uint8_t releOn,
                                  std::uint8_t releOff) {
    auto on = [&](std::size_t f) { return marks.on[f] & FrameForceMask(f); };
    auto off = [&](std::size_t f) { return marks.off[f] & FrameForceMask(f); };
    commands::IoForceMasks m;
    m.cpuInputsOn = on(kInCpu);
    m.cpuInputsOff = off(kInCpu);
    m.exp1InputsOn = on(kInExp1);
    m.exp1InputsOff = off(kInExp1);
    m.exp2InputsOn = on(kInExp2);
    m.exp2InputsOff = off(kInExp2);
    m.cpuOutputsOn = on(kOutCpu);
    m.cpuOutputsOff = off(kOutCpu);
    m.exp1OutputsOn = on(kOutExp1);
    m.exp1OutputsOff = off(kOutExp1);
    m.exp2OutputsOn = on(kOutExp2);
    m.exp2OutputsOff = off(kOutExp2);
    m.releLedOn = releOn;
    m.releLedOff = releOff;
    return m;
}

bool ParseTypedInteger(std::string_view text, std::string_view what, std::int64_t lo,
                       std::int64_t hi, std::int64_t& out, std::string* why) {
    auto fail = [&](const std::string& reason) {
        if (why) *why = std::string(what) + ": " + reason;
        return false;
    };
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return fail("nothing typed");
    const auto last = text.find_last_not_of(" \t");
    std::string_view t = text.substr(first, last - first + 1);
    bool negative = false;
    if (t.front() == '-' || t.front() == '+') {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    } else if (!t.empty() && t[0] == '$') {
        base = 16;
        t.remove_prefix(1);
    }
    std::uint64_t v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v, base);
    if (t.empty() || r.ec == std::errc::invalid_argument || r.ptr != t.data() + t.size())
        return fail("'" + std::string(text) + "' is not an integer");
    if (r.ec == std::errc::result_out_of_range || v > static_cast<std::uint64_t>(INT64_MAX))
        return fail(std::string(text) + " is outside " + std::to_string(lo) + ".." +
                    std::to_string(hi));
    const std::int64_t s = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    if (s < lo || s > hi)
        return fail(std::string(text) + " is outside " + std::to_string(lo) + ".." +
                    std::to_string(hi));
    out = s;
    return true;
}

// --- the controller --------------------------------------------------------

TStatusPolling::TStatusPolling(commands::TSession& session, const config::TWelderCfgBlank& record,
                               const link::IClock& clock)
    : session_(session), record_(record), clock_(clock) {
    session_.Events().Subscribe(*this);
}

TStatusPolling::~TStatusPolling() {
    session_.Events().Unsubscribe(*this);
}

void TStatusPolling::Toggle() {
    if (running_)
        Stop(TPollStop::User);
    else
        Start();
}

void TStatusPolling::Start() {
    if (running_) return;
    running_ = true;
    startMs_ = clock_.MonotonicMs();
    views_.Notify(&IStatusPollingView::OnPollingChanged, true, TPollStop::User);
}

void TStatusPolling::Stop(TPollStop why) {
    // Cycles under way end here: reads still queued are not sent; answers
    // of one in flight, if any still come, are shown but complete no cycle.
    if (!expected_.empty()) {
        std::deque<std::uint16_t> pending = expected_;
        session_.Protocol().DropQueued([&](const link::TCmd& c) {
            if (c.Type != commands::kReadVariable || c.Count < 2) return false;
            const auto code = static_cast<std::uint16_t>(c.Payload[0] | (c.Payload[1] << 8));
            const auto it = std::find(pending.begin(), pending.end(), code);
            if (it == pending.end()) return false;
            pending.erase(it);
            return true;
        });
    }
    expected_.clear();
    current_ = TStatusSnapshot{};
    if (!running_) {
        // A line failure after a user stop leaves it a user stop: resuming on
        // reconnection must not start what the user stopped.
        return;
    }
    running_ = false;
    lastStop_ = why;
    views_.Notify(&IStatusPollingView::OnPollingChanged, false, why);
}

bool TStatusPolling::ResumeAfterReconnect() {
    if (!StoppedByLine()) return false;
    Start();
    return true;
}

void TStatusPolling::QueueCleared() {
    expected_.clear();
    current_ = TStatusSnapshot{};
}

std::size_t TStatusPolling::RefreshTick() {
    if (!running_ || held) return 0;
    const std::vector<std::uint16_t> reads =
        PollReads(flags, session_.boardType, session_.BoardProtocolVersion(),
                  session_.Protocol().QueueCount());
    if (reads.empty()) {
        ++skipped_;
        return 0;
    }
    std::size_t queued = 0;
    for (std::uint16_t code : reads) {
        if (!commands::SendReadVariable(session_.Protocol(), code)) continue;
        expected_.push_back(code);
        ++queued;
    }
    if (queued > 0) expected_.push_back(kCycleEnd);
    return queued;
}

SendResult TStatusPolling::RefreshAnalog() {
    return commands::SendReadVariable(session_.Protocol(), commands::AnalogStatus);
}

SendResult TStatusPolling::ReadAnomalies() {
    return commands::SendReadVariable(session_.Protocol(), commands::AnomalyStatus);
}

SendResult TStatusPolling::ReadSourceTime() {
    return commands::SendReadVariable(session_.Protocol(), commands::SourceWorkTime);
}

SendResult TStatusPolling::SetAnomalyAndMask(std::string_view typed) {
    std::int64_t v = 0;
    std::string why;
    if (!ParseTypedInteger(typed, "Active anomaly", 0, 0xFFFFFFFFLL, v, &why))
        return SendResult::Fail(why);
    return commands::SendWriteVariable(session_.Protocol(), commands::AnomalyAndMask,
                                       {static_cast<double>(v)});
}

SendResult TStatusPolling::ForceIo(const TIoForceMarks& marks, std::string_view releOnText,
                                   std::string_view releOffText) {
    std::int64_t on = 0, off = 0;
    std::string why;
    if (!ParseTypedInteger(releOnText, "Relay force ON", 0, 255, on, &why) ||
        !ParseTypedInteger(releOffText, "Relay force OFF", 0, 255, off, &why))
        return SendResult::Fail(why);
    return commands::SendIoForce(
        session_.Protocol(),
        ForceMasks(marks, static_cast<std::uint8_t>(on), static_cast<std::uint8_t>(off)));
}

SendResult TStatusPolling::ResetForce() {
    return commands::SendIoForce(session_.Protocol(), ForceMasks(TIoForceMarks{}, 0, 0));
}

std::string TStatusPolling::Num(double v) const {
    return WithSeparator(NumberText(v), decimalSeparator);
}

std::string TStatusPolling::Num(double v, int decimals) const {
    return WithSeparator(link::RoundedText(v, decimals), decimalSeparator);
}

void TStatusPolling::Convert(TAnalogDisplay& d) const {
    const auto& w = d.words;  // channel order: word 3 of the answer is channel 5
    const std::uint16_t wPhoto = w[0], wMeter = w[1], wSupply = w[2], wSet = w[4], wTemp = w[5];
    d.converted = true;
    d.temperature = config::TWelderCfgBlank::TemperatureFromReading(wTemp);
    if (d.temperature > record_.GetTempWorkMaxValue())
        d.temperatureColour = TTemperatureColour::High;
    else if (d.temperature < record_.GetTempWorkMinValue())
        d.temperatureColour = TTemperatureColour::Low;
    else
        d.temperatureColour = TTemperatureColour::Normal;
    d.temperatureText = Num(d.temperature, 1);
    d.temperatureGauge = static_cast<int>(d.temperature);

    // A configuration that cannot convert a reading (zero divisor) shows
    // that instead of a number, and polling goes on.
    auto value = [this](double v, bool ok, const char* unit, double gaugeScale, int decimals = 2) {
        TConvertedValue c;
        c.ok = ok;
        c.value = v;
        c.text = ok ? Num(v, decimals) + unit : std::string("---") + unit;
        c.gauge = ok ? static_cast<int>(std::trunc(v * gaugeScale)) : 0;
        return c;
    };
    bool ok = true;
    double v = record_.CurrentSetpointFromReading(wSet, &ok);
    d.currentSet = value(v, ok, " A", 1.0);
    v = record_.PowerSetpointFromReading(wSet, &ok);
    d.powerSet = value(v, ok, " W", 1.0);
    v = record_.SupplyCurrentFromReading(wSupply, &ok);
    d.supplyCurrent = value(v, ok, " A", 1.0);
    v = record_.PhotodiodePowerFromReading(wPhoto, &ok);
    d.photodiode = value(v, ok, " W", 1000.0, 3);
    v = record_.PowerMeterFromReading(wMeter, &ok);
    d.powerMeter = value(v, ok, " W", 1000.0, 3);
    if (tuningRunning_)
        d.powerMeterView =
            "Running... " + d.powerMeter.text + " / " + Num(record_.GetPDiodeMaxValue(), 2) + "W";
}

void TStatusPolling::OnAnalogStatus(const std::array<std::uint16_t, 6>& channels) {
    TAnalogDisplay d;
    d.words = channels;
    for (std::size_t c = 0; c < kChannels; ++c) {
        d.volts[c] = AnalogVolts(channels[c]);
        session_.analogVolts[c] = d.volts[c];
        d.voltText[c] = VoltageText(d.volts[c], decimalSeparator);
    }
    if (session_.boardType == kConvertedBoardType && session_.configLoaded) {
        Convert(d);
    } else {
        // The converted texts keep their last values.
        const TAnalogDisplay last = analog_;
        d.converted = false;
        d.temperature = last.temperature;
        d.temperatureColour = last.temperatureColour;
        d.temperatureText = last.temperatureText;
        d.temperatureGauge = last.temperatureGauge;
        d.currentSet = last.currentSet;
        d.powerSet = last.powerSet;
        d.supplyCurrent = last.supplyCurrent;
        d.photodiode = last.photodiode;
        d.powerMeter = last.powerMeter;
    }
    analog_ = d;
    current_.analogWords = d.words;
    current_.analogVolts = d.volts;
    views_.Notify(&IStatusPollingView::OnAnalogDisplay, analog_);
    Answered(commands::AnalogStatus);
}

void TStatusPolling::OnIoStatus(const commands::IoStatusWords& w) {
    current_.io = w;
    views_.Notify(&IStatusPollingView::OnIoDisplay, w);
    Answered(commands::IoStatus);
}

void TStatusPolling::OnAnomalyStatus(std::uint32_t bits) {
    current_.anomalies = bits;
    views_.Notify(&IStatusPollingView::OnAnomalyDisplay, bits);
    Answered(commands::AnomalyStatus);
}

void TStatusPolling::OnPowerReadings(const commands::PowerReadingWords& w) {
    TPowerDisplay d;
    d.words = w;
    d.photodiode = Num(w.photodiode / 100.0, 2) + " W";
    d.powerMeter = Num(w.powerMeter / 100.0, 2) + " W";
    d.supplyCurrent = Num(w.supplyCurrent / 100.0, 2) + " A";
    d.temperature = Num(w.temperature / 10.0, 1) +
                    " \xC2\xB0"
                    "C";
    d.setPower = Num(w.setPower / 100.0, 2) + " W";
    current_.power = w;
    views_.Notify(&IStatusPollingView::OnPowerDisplay, d);
    Answered(commands::PowerReadings);
}

void TStatusPolling::OnSourceWorkTime(std::uint32_t seconds) {
    current_.sourceSeconds = seconds;
    views_.Notify(&IStatusPollingView::OnSourceTime, seconds, std::to_string(seconds),
                  WithSeparator(commands::RoundedText(seconds / 3600.0, 2), decimalSeparator));
    Answered(commands::SourceWorkTime);
}

void TStatusPolling::OnTuningStatus(std::uint8_t status) {
    tuningRunning_ = (status & 0x01) != 0;
}

void TStatusPolling::OnMultiHeadWord(std::uint16_t code, std::uint32_t bits) {
    if (code == commands::MultiHeadTimeouts) current_.headTimeouts = bits;
    if (code == commands::MultiHeadErrorPositions) current_.headErrorPositions = bits;
    Answered(code);
}

void TStatusPolling::OnStopPolling() {
    Stop(TPollStop::Line);
}

void TStatusPolling::Answered(std::uint16_t code) {
    // Answers come in the order their requests were queued. Reads of the
    // cycle that were refused never answer: an answer further on passes
    // over them, and over the end of their cycle.
    const auto it = std::find(expected_.begin(), expected_.end(), code);
    if (it == expected_.end()) return;  // not one of ours (a "Refresh" click)
    auto complete = [this] {
        ++cycles_;
        current_.cycle = cycles_;
        current_.ms = clock_.MonotonicMs() - startMs_;
        const TStatusSnapshot s = current_;
        current_ = TStatusSnapshot{};
        views_.Notify(&IStatusPollingView::OnCycleComplete, s);
    };
    const auto n = static_cast<std::size_t>(it - expected_.begin());
    for (std::size_t i = 0; i <= n; ++i) {
        const std::uint16_t front = expected_.front();
        expected_.pop_front();
        if (front == kCycleEnd) complete();
    }
    if (!expected_.empty() && expected_.front() == kCycleEnd) {
        expected_.pop_front();
        complete();
    }
}

// --- snapshots as text -------------------------------------------------------

namespace {

template <typename T, typename F>
void JsonOpt(std::string& out, const char* key, const std::optional<T>& v, F&& write) {
    out += ",\"";
    out += key;
    out += "\":";
    if (v)
        write(*v);
    else
        out += "null";
}

}  // namespace

std::string SnapshotJson(const TStatusSnapshot& s) {
    std::string o = "{\"cycle\":" + std::to_string(s.cycle) + ",\"ms\":" + std::to_string(s.ms);
    JsonOpt(o, "analogVolts", s.analogVolts, [&](const auto& a) {
        o += '[';
        for (std::size_t i = 0; i < a.size(); ++i) o += (i ? "," : "") + NumberText(a[i]);
        o += ']';
    });
    JsonOpt(o, "analogWords", s.analogWords, [&](const auto& a) {
        o += '[';
        for (std::size_t i = 0; i < a.size(); ++i) o += (i ? "," : "") + std::to_string(a[i]);
        o += ']';
    });
    JsonOpt(o, "inputs", s.io, [&](const commands::IoStatusWords& w) {
        o += "{\"cpu\":" + std::to_string(w.cpuInputs) +
             ",\"exp1\":" + std::to_string(w.exp1Inputs) +
             ",\"exp2\":" + std::to_string(w.exp2Inputs) + "}";
    });
    JsonOpt(o, "outputs", s.io, [&](const commands::IoStatusWords& w) {
        o += "{\"cpu\":" + std::to_string(w.cpuOutputs) +
             ",\"exp1\":" + std::to_string(w.exp1Outputs) +
             ",\"exp2\":" + std::to_string(w.exp2Outputs) +
             ",\"relays\":" + std::to_string(w.relays) + "}";
    });
    JsonOpt(o, "anomalies", s.anomalies, [&](std::uint32_t v) { o += std::to_string(v); });
    JsonOpt(o, "sourceSeconds", s.sourceSeconds, [&](std::uint32_t v) { o += std::to_string(v); });
    if (s.power) {
        const auto& p = *s.power;
        o += ",\"power\":{\"photodiodeW\":" + NumberText(p.photodiode / 100.0) +
             ",\"powerMeterW\":" + NumberText(p.powerMeter / 100.0) +
             ",\"supplyCurrentA\":" + NumberText(p.supplyCurrent / 100.0) +
             ",\"temperatureC\":" + NumberText(p.temperature / 10.0) +
             ",\"setPowerW\":" + NumberText(p.setPower / 100.0) + "}";
    }
    if (s.headTimeouts) o += ",\"headTimeouts\":" + std::to_string(*s.headTimeouts);
    if (s.headErrorPositions)
        o += ",\"headErrorPositions\":" + std::to_string(*s.headErrorPositions);
    o += '}';
    return o;
}

std::string SnapshotLine(const TStatusSnapshot& s) {
    std::string o = "cycle " + std::to_string(s.cycle);
    if (s.analogVolts) {
        o += "  V";
        for (double v : *s.analogVolts) o += " " + CutVolts(v);
    }
    if (s.io) {
        const auto& w = *s.io;
        o += "  in " + Hex(w.cpuInputs, 4) + " " + Hex(w.exp1Inputs, 3) + " " +
             Hex(w.exp2Inputs, 3) + "  out " + Hex(w.cpuOutputs, 4) + " " + Hex(w.exp1Outputs, 2) +
             " " + Hex(w.exp2Outputs, 2) + "  relays " + std::to_string(w.relays);
    }
    if (s.anomalies) o += "  anomalies " + Hex(*s.anomalies, 8);
    if (s.sourceSeconds) o += "  hours " + commands::RoundedText(*s.sourceSeconds / 3600.0, 2);
    if (s.power) {
        const auto& p = *s.power;
        o += "  power PD " + NumberText(p.photodiode / 100.0) + " W PM " +
             NumberText(p.powerMeter / 100.0) + " W I " + NumberText(p.supplyCurrent / 100.0) +
             " A T " + NumberText(p.temperature / 10.0) + " C set " +
             NumberText(p.setPower / 100.0) + " W";
    }
    return o;
}

}  // namespace orvan::features
