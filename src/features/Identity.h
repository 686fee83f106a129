#pragma once
// Who the board is and the three values written once per machine: the
// serial number (board memory 0..15), the source hours counter
// (SourceWorkTime) and the factory tuning date (FactoryTuningDate).
//
// The serial number is read back after it is written, and the write ends
// with one outcome: the board kept the text, or it did not and why. Nothing
// is ever written at address 16 or above, where the configuration begins.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/BoardView.h"
#include "commands/Session.h"
#include "features/TypedInput.h"

namespace orvan::features {

// Characters a serial number may have: it ends at the first zero byte of
// addresses 0..15.
inline constexpr std::size_t kSerialNumberMax = 15;
// Most hours the 32-bit seconds counter holds (4294967295 s).
inline constexpr double kHoursCounterMax = 4294967295.0 / 3600.0;

struct TSerialOutcome {
    bool completed = false;
    std::string written;  // the text sent
    std::string read;     // what the board holds now (when it answered)
    std::string message;  // one line for the user
};

class ISerialListener {
  public:
    virtual ~ISerialListener() = default;
    virtual void OnSerialNumberWritten(const TSerialOutcome& /*outcome*/) {}
};

class TIdentity : public commands::IIdentityView, public commands::IMemoryView {
  public:
    explicit TIdentity(commands::TSession& session) : session_(session) {}
    commands::TFanout<ISerialListener>& Views() { return views_; }

    // "Info": board type, serial number, firmware and protocol versions.
    TResult RequestInfo();
    // "Set Serial Number": an empty text does nothing; a text the board
    // cannot keep in 0..15 is refused. The serial number is read back after.
    TResult SetSerialNumber(std::string_view text);
    bool SerialWriteRunning() const { return pendingSerial_.has_value(); }
    // Forgets a serial-number write whose read-back will not be waited for.
    void AbandonSerialWrite() { pendingSerial_.reset(); }
    // "Set welder hours counter": hours as typed with the user's decimal
    // separator, sent as whole seconds. An empty text does nothing.
    TResult SetHoursCounter(std::string_view text, char decimalSeparator);
    TResult SetHoursSeconds(std::uint32_t seconds);
    // "Set welder factory tuning Date/Time": the clock page's date and time.
    TResult SetFactoryTuningDate(const TDate& date, const TTimeTexts& time);
    TResult SetFactoryTuningDate(const TDate& date, const TTimeOfDay& time);

    // Board events.
    void OnSerialNumber(const std::string& text) override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;

  private:
    void Finish(TSerialOutcome outcome);

    commands::TSession& session_;
    commands::TFanout<ISerialListener> views_;
    std::optional<std::string> pendingSerial_;
};

// Why a serial-number text cannot be written; empty when it can.
std::string SerialNumberProblem(std::string_view text);
// The bytes written from address 0: the text, its zero byte, and one more
// zero byte while that stays within 0..15.
std::vector<std::uint8_t> SerialNumberBytes(std::string_view text);
// Typed hours as seconds (truncated); nothing for a negative number or one
// the counter cannot hold, `why` says which.
std::optional<std::uint32_t> HoursToSeconds(double hours, std::string* why);

}  // namespace orvan::features
