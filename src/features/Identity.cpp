#include "features/Identity.h"

#include <cmath>

#include "commands/Builders.h"
#include "features/BoardWrite.h"

namespace orvan::features {

namespace {

using namespace orvan::commands;

TResult Queued(const SendResult& r) {
    return r ? TResult::Ok() : TResult::Fail(r.why);
}

}  // namespace

std::string SerialNumberProblem(std::string_view text) {
    if (text.empty()) return "the serial number is empty";
    if (text.size() > kSerialNumberMax)
        return "a serial number has at most " + std::to_string(kSerialNumberMax) +
               " characters, not " + std::to_string(text.size()) + "; nothing sent";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        // A zero byte would end it early; other control bytes would show as
        // nothing on the status bar and the labels.
        if (u < 0x20 || u == 0x7F)
            return "a serial number holds printable characters only; nothing sent";
    }
    return {};
}

std::vector<std::uint8_t> SerialNumberBytes(std::string_view text) {
    std::vector<std::uint8_t> b(text.begin(), text.end());
    b.push_back(0);
    if (b.size() < kSerialNumberMax + 1) b.push_back(0);
    return b;
}

std::optional<std::uint32_t> HoursToSeconds(double hours, std::string* why) {
    if (!std::isfinite(hours) || hours < 0) {
        if (why) *why = "Source hours counter: a negative number of hours; nothing sent";
        return std::nullopt;
    }
    // Truncated, but not below a whole second the typed decimal only misses
    // by its binary form (2.3 h is 8280 s, not 8279): a nudge far below a
    // second even at the counter's top, far above one product's rounding.
    const double p = hours * 3600.0;
    const double s = std::trunc(p + p * 1e-12);
    if (s > 4294967295.0) {
        if (why)
            *why = "Source hours counter: the board counts at most " +
                   std::to_string(static_cast<long long>(kHoursCounterMax)) +
                   " hours; nothing sent";
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(s);
}

TResult TIdentity::RequestInfo() {
    session_.RequestHardwareInfo();
    return TResult::Ok();
}

TResult TIdentity::SetSerialNumber(std::string_view text) {
    if (text.empty()) return TResult::Cancelled();
    if (const std::string p = SerialNumberProblem(text); !p.empty()) return TResult::Fail(p);
    if (pendingSerial_) return TResult::Fail("a serial number is being written already");
    const std::vector<std::uint8_t> bytes = SerialNumberBytes(text);
    if (bytes.size() > kSerialNumberMax + 1) return TResult::Fail("serial number too long");
    AskProtocolVersionFirst(session_);
    const SendResult w = session_.WriteMemoryBytes(0, bytes);
    if (!w) return TResult::Fail(w.why);
    // Read back: what the board answers is what it keeps. A stale serial
    // number must not pass for the new one.
    session_.serialNumber.clear();
    pendingSerial_ = std::string(text);
    session_.StartChain(kPurposeSerialNumber, 0, 15);
    if (!session_.ChainRunning()) {
        pendingSerial_.reset();
        return TResult::Fail("the serial number was sent, but its read-back could not be queued");
    }
    return TResult::Ok();
}

void TIdentity::OnSerialNumber(const std::string& text) {
    if (!pendingSerial_) return;
    TSerialOutcome o;
    o.written = *pendingSerial_;
    o.read = text;
    o.completed = text == o.written;
    o.message = o.completed ? "Serial number written: " + text
                            : "the board holds the serial number \"" + text + "\", not \"" +
                                  o.written + "\": the write did not take";
    Finish(std::move(o));
}

void TIdentity::OnSequenceStopped(Sequence s, int purpose, const std::string& why) {
    if (!pendingSerial_ || s != Sequence::MemoryChain || purpose != kPurposeSerialNumber) return;
    TSerialOutcome o;
    o.written = *pendingSerial_;
    o.message = "the serial number could not be read back (" + why +
                "); whether the board kept it is not known";
    Finish(std::move(o));
}

void TIdentity::Finish(TSerialOutcome outcome) {
    pendingSerial_.reset();
    views_.Notify(&ISerialListener::OnSerialNumberWritten, outcome);
}

TResult TIdentity::SetHoursCounter(std::string_view text, char decimalSeparator) {
    bool blank = true;
    for (char c : text)
        if (c != ' ' && c != '\t') blank = false;
    if (blank) return TResult::Cancelled();
    double hours = 0;
    if (!ParseTypedDecimal(text, decimalSeparator, hours))
        return TResult::Fail("Source hours counter: '" + std::string(text) +
                             "' is not a valid floating point value");
    std::string why;
    const auto seconds = HoursToSeconds(hours, &why);
    if (!seconds) return TResult::Fail(why);
    return SetHoursSeconds(*seconds);
}

TResult TIdentity::SetHoursSeconds(std::uint32_t seconds) {
    return Queued(
        SendWriteVariable(session_.Protocol(), SourceWorkTime, {static_cast<double>(seconds)}));
}

TResult TIdentity::SetFactoryTuningDate(const TDate& date, const TTimeTexts& time) {
    TTimeOfDay t;
    std::string why;
    if (!ParseTimeTexts(time, t, &why)) return TResult::Fail(why);
    return SetFactoryTuningDate(date, t);
}

TResult TIdentity::SetFactoryTuningDate(const TDate& date, const TTimeOfDay& time) {
    const auto seconds = CalendarSeconds(date, time);
    if (!seconds)
        return TResult::Fail("the factory tuning date " + DateText(date) + " " + TimeText(time) +
                             " is outside 1970-01-01 00:00:00 .. 2106-02-07 06:28:15; "
                             "nothing sent");
    return Queued(
        SendWriteVariable(session_.Protocol(), FactoryTuningDate, {static_cast<double>(*seconds)}));
}

}  // namespace orvan::features
