#pragma once
// Status polling: the live picture of the source. Each tick of the 150 ms
// status timer queues the reads the polling flags ask for, unless six or more
// commands already wait (then the tick adds nothing, so polling never crowds
// out a transfer). The answers come back as board events; the controller
// turns them into what the first page and the "IO Status" page show (gauges,
// volts, converted values, the temperature colour, power readings, hours) and
// into one snapshot per completed poll cycle for the chart and orvan-cli.
//
// It also owns the two writes of those pages: the anomaly AND mask and the
// forcing of opto I/O and relay outputs.
//
// A receive time-out or a lost port stops polling (the session says so with
// OnStopPolling); the queue is emptied by the exchange cycle. Polling stopped
// that way resumes with ResumeAfterReconnect once the user picks the port
// again.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "commands/BoardEvents.h"
#include "commands/Builders.h"
#include "commands/Session.h"
#include "config/Cfgwelder.h"

namespace orvan::features {

inline constexpr int kStatusIntervalMs = 150;
// A tick adds nothing while this many commands (or more) wait.
inline constexpr std::size_t kPollQueueGuard = 6;
// The board type whose readings the configuration converts, and the protocol
// version after which it also reports its own power readings.
inline constexpr std::uint16_t kConvertedBoardType = 0x0100;
inline constexpr std::uint32_t kPowerReadingsAfterProtocol = 0x020100;
// 10-bit converter on 5 V: the gauges run 0..1024.
inline constexpr int kAnalogGaugeMax = 1024;
inline constexpr std::size_t kChannels = 6;

// The polling check boxes (settings section "POLLING").
struct TPollFlags {
    bool optoIO = true;       // chkPollOptoIO, "OptoIO"
    bool analog = true;       // chkPollAnalogInput, "Analog"
    bool anomaly = false;     // chkPollAnomaly, "Anomaly"
    bool sourceTime = false;  // chkPollSourceTime, "WelderHCouner"
    bool multiHead = false;   // chkMultiHPolling, "MultiHHeadAnomaly"
};

// The reads one polling tick queues, in their order, for these flags and
// this board (empty when the guard holds the tick back).
std::vector<std::uint16_t> PollReads(const TPollFlags& flags, std::uint16_t boardType,
                                     std::uint32_t protocolVersion, std::size_t queued);

// Channel names in channel order, as the first page captions them.
inline constexpr std::array<std::string_view, kChannels> kChannelCaptions{
    "Photo diode", "Power Meter", "Alim current", "PT100", "Power set", "Diode temp"};

// Volts of one converter word: word x 5 / 1024.
double AnalogVolts(std::uint16_t word);
// The voltage label: the number cut to at most 6 characters, then " V".
std::string VoltageText(double volts, char decimalSeparator = '.');

enum class TTemperatureColour : std::uint8_t { Normal, High, Low };  // lime, red, aqua

// One converted reading. `ok` is false when the configuration cannot convert
// it (a zero divisor); the value is then 0 and the text says so.
struct TConvertedValue {
    double value = 0;
    bool ok = true;
    std::string text;  // with its unit
    int gauge = 0;     // the gauge position (truncated; mW for the power gauges)
};

// What an analog answer shows.
struct TAnalogDisplay {
    std::array<std::uint16_t, kChannels> words{};  // gauges, channel order
    std::array<double, kChannels> volts{};
    std::array<std::string, kChannels> voltText{};  // "4.9951 V"
    // Only for a board of type 0x0100 with a configuration loaded.
    bool converted = false;
    double temperature = 0;  // degC
    TTemperatureColour temperatureColour = TTemperatureColour::Normal;
    std::string temperatureText;  // lblTemperature
    int temperatureGauge = 0;
    TConvertedValue currentSet;     // stxCurrentSet, cgaPowerSet
    TConvertedValue powerSet;       // stxPowerSet
    TConvertedValue supplyCurrent;  // stxFeedBackAlimCurr, cgaFeedBackAlimCurr
    TConvertedValue photodiode;     // stxFeedBackPD, cgaFeedbackPD (mW)
    TConvertedValue powerMeter;     // stxPowerMeter, cgaPowerMeter (mW)
    // stxPMView while a tuning runs; empty otherwise.
    std::string powerMeterView;
};

// The board's own power readings as shown.
struct TPowerDisplay {
    commands::PowerReadingWords words;
    std::string photodiode, powerMeter, supplyCurrent, temperature, setPower;  // with units
};

// One completed poll cycle: what its reads brought (absent when not polled).
struct TStatusSnapshot {
    std::uint64_t cycle = 0;  // 1, 2, ...
    std::int64_t ms = 0;      // when the cycle completed, from the start of polling
    std::optional<commands::IoStatusWords> io;
    std::optional<std::array<std::uint16_t, kChannels>> analogWords;  // channel order
    std::optional<std::array<double, kChannels>> analogVolts;
    std::optional<std::uint32_t> anomalies;
    std::optional<std::uint32_t> sourceSeconds;
    std::optional<commands::PowerReadingWords> power;
    std::optional<std::uint32_t> headTimeouts, headErrorPositions;
};

// One JSON object (no line break) for orvan-cli --json.
std::string SnapshotJson(const TStatusSnapshot& s);
// One readable line.
std::string SnapshotLine(const TStatusSnapshot& s);

enum class TPollStop : std::uint8_t {
    User,  // the button
    Line,  // a receive time-out or a lost port
};

// The forced marks of the six I/O frames (bit i: indicator i).
struct TIoForceMarks {
    std::array<std::uint32_t, 6> on{};   // CPU in, EXP1 in, EXP2 in, CPU out, EXP1 out, EXP2 out
    std::array<std::uint32_t, 6> off{};  // same order
};
enum TIoFrame : std::size_t { kInCpu, kInExp1, kInExp2, kOutCpu, kOutExp1, kOutExp2 };
// Indicators of a frame that are wired to the board: 12 for inputs and the CPU
// outputs, 8 for each expansion output byte (its last four indicators drive
// nothing, and must not spill into the next expansion's bits).
std::uint32_t FrameForceMask(std::size_t frame);
// The builder's masks from the frames' marks and the two relay bytes.
commands::IoForceMasks ForceMasks(const TIoForceMarks& marks, std::uint8_t releOn,
                                  std::uint8_t releOff);

// A typed integer: decimal, or hexadecimal after "0x" or "$", blanks around it
// allowed. False with a reason naming `what` otherwise.
[[nodiscard]] bool ParseTypedInteger(std::string_view text, std::string_view what, std::int64_t lo,
                                     std::int64_t hi, std::int64_t& out, std::string* why);

// What the status pages and the chart show. Every method has an empty default.
class IStatusPollingView {
  public:
    virtual ~IStatusPollingView() = default;
    virtual void OnPollingChanged(bool /*running*/, TPollStop /*why*/) {}
    virtual void OnIoDisplay(const commands::IoStatusWords& /*w*/) {}
    virtual void OnAnomalyDisplay(std::uint32_t /*bits*/) {}
    virtual void OnAnalogDisplay(const TAnalogDisplay& /*d*/) {}
    virtual void OnPowerDisplay(const TPowerDisplay& /*d*/) {}
    // stxSourceSeconds and stxSourceHours.
    virtual void OnSourceTime(std::uint32_t /*seconds*/, const std::string& /*secondsText*/,
                              const std::string& /*hoursText*/) {}
    virtual void OnCycleComplete(const TStatusSnapshot& /*s*/) {}
};

class TStatusPolling : public commands::IStatusView,
                       public commands::IProcedureView,
                       public commands::IMachineView,
                       public commands::ILinkView {
  public:
    // Subscribes itself to the session's board events.
    TStatusPolling(commands::TSession& session, const config::TWelderCfgBlank& record,
                   const link::IClock& clock);
    ~TStatusPolling() override;
    TStatusPolling(const TStatusPolling&) = delete;
    TStatusPolling& operator=(const TStatusPolling&) = delete;

    commands::TFanout<IStatusPollingView>& Views() { return views_; }

    // The check boxes, read afresh by every tick.
    TPollFlags flags;
    // While held (a service report runs), no reads are queued; polling
    // stays on and goes on once released.
    bool held = false;
    // Decimal separator of the texts shown.
    char decimalSeparator = '.';

    // cmdPolling: start or stop. Running() tells which.
    void Toggle();
    void Start();
    void Stop(TPollStop why = TPollStop::User);
    bool Running() const { return running_; }
    // Polling was stopped by the line (not by the user).
    bool StoppedByLine() const { return !running_ && lastStop_ == TPollStop::Line; }
    // Restarts polling that the line stopped; true when it did.
    bool ResumeAfterReconnect();

    // The queued requests were dropped (an operation stopped): the reads of
    // the cycles under way will not come, a new cycle begins.
    void QueueCleared();

    // One tick of the status timer: the reads queued (0 when the guard held it
    // back or polling is off).
    std::size_t RefreshTick();

    // "Refresh", a click on the anomaly group or frame, a click on "Source
    // work time".
    commands::SendResult RefreshAnalog();
    commands::SendResult ReadAnomalies();
    commands::SendResult ReadSourceTime();
    // Enter in "Active anomaly:": the AND mask is the complement of the typed
    // number (0 to 0xFFFFFFFF).
    commands::SendResult SetAnomalyAndMask(std::string_view typed);
    // "Force I/O status": the frames' marks and the two relay edits (0..255).
    commands::SendResult ForceIo(const TIoForceMarks& marks, std::string_view releOnText,
                                 std::string_view releOffText);
    // "Reset force status": every force cleared (the view clears its marks
    // and sets the relay edits to "00").
    commands::SendResult ResetForce();

    // Last values.
    const TAnalogDisplay& Analog() const { return analog_; }
    bool TuningRunning() const { return tuningRunning_; }
    std::uint64_t CyclesCompleted() const { return cycles_; }
    std::uint64_t TicksSkipped() const { return skipped_; }

  private:
    // Board events.
    void OnAnomalyStatus(std::uint32_t bits) override;
    void OnIoStatus(const commands::IoStatusWords& w) override;
    void OnAnalogStatus(const std::array<std::uint16_t, 6>& channels) override;
    void OnPowerReadings(const commands::PowerReadingWords& w) override;
    void OnSourceWorkTime(std::uint32_t seconds) override;
    void OnTuningStatus(std::uint8_t status) override;
    void OnMultiHeadWord(std::uint16_t code, std::uint32_t bits) override;
    void OnStopPolling() override;

    void Answered(std::uint16_t code);
    void Convert(TAnalogDisplay& d) const;
    std::string Num(double v) const;
    // Rounded to the digits the reading has: no float noise on the pages.
    std::string Num(double v, int decimals) const;

    commands::TSession& session_;
    const config::TWelderCfgBlank& record_;
    const link::IClock& clock_;
    commands::TFanout<IStatusPollingView> views_;
    bool running_ = false;
    std::int64_t startMs_ = 0;
    TPollStop lastStop_ = TPollStop::User;
    bool tuningRunning_ = false;
    TAnalogDisplay analog_;
    // The reads of the cycles under way, oldest first; kCycleEnd ends a cycle.
    static constexpr std::uint16_t kCycleEnd = 0xFFFF;
    std::deque<std::uint16_t> expected_;
    TStatusSnapshot current_;
    std::uint64_t cycles_ = 0;
    std::uint64_t skipped_ = 0;
};

}  // namespace orvan::features
