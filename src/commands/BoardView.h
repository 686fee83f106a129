#pragma once
// What the command layer hands up. Decoders and sequences never touch a
// widget: they call these interfaces, which the window implements with its
// pages and message boxes, the command-line companion by printing, and the
// tests by recording.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvan::commands {

inline constexpr std::string_view kCommunicationErrorCaption = "Comunication error!";
inline constexpr std::string_view kMissingAckText = "Missing ACK...";

// One value of a decoded variable, named after the page field that shows it.
struct DecodedField {
    std::string field;  // "edtPeltaWork_f", "stxImaxByTime", ...
    double value = 0;   // the engineering value (or the raw number)
    std::string text;   // as the page shows it
    // The number the board sent; its caption, unit and scale are in
    // commands/VariableFields.h.
    std::int64_t raw = 0;
};

struct DecodedVariable {
    std::uint16_t code = 0;
    std::string name;  // catalogue name
    std::vector<DecodedField> fields;
};

struct IoStatusWords {
    std::uint16_t cpuInputs = 0;
    std::uint16_t exp1Inputs = 0;  // 12 bits
    std::uint16_t exp2Inputs = 0;  // 12 bits
    std::uint16_t cpuOutputs = 0;
    std::uint8_t exp1Outputs = 0;
    std::uint8_t exp2Outputs = 0;
    std::uint8_t relays = 0;
};

// Raw words of PowerReadings: photodiode 0.01 W, power meter 0.01 W, supply
// current 0.01 A, temperature 0.1 degC, set power 0.01 W.
struct PowerReadingWords {
    std::uint16_t photodiode = 0, powerMeter = 0, supplyCurrent = 0, temperature = 0, setPower = 0;
};

// One line of the EEPROM listing.
struct MemoryRow {
    std::uint16_t address = 0;
    std::vector<std::uint8_t> bytes;
    std::string addressText;  // at least 4 upper-case hex digits
    std::string hexText;      // "%02X " per byte
    std::string asciiText;    // one character per byte, '.' for what does not print
};

// The multi-step sequences of the command layer, for their end.
enum class Sequence : std::uint8_t {
    ConfigDownload,
    MemoryWrite,  // one block written with TSession::WriteBlock
    MemoryChain,  // any ReadMemoryRange chain; its purpose is given
};

// The board events, one small interface per area. A front end implements the
// areas it shows and subscribes to TBoardEvents (commands/BoardEvents.h);
// every method has an empty default, so it overrides only what it uses. A new
// event is one declaration here: the session emits it with
// events.Notify(&IArea::OnSomething, ...), and nothing else changes.

// Who the board is.
class IIdentityView {
  public:
    virtual ~IIdentityView() = default;
    virtual void OnBoardType(std::uint16_t /*boardType*/) {}
    virtual void OnFirmwareVersion(std::uint8_t /*major*/, std::uint8_t /*minor*/,
                                   std::uint8_t /*patch*/, const std::string& /*text*/) {}
    // The machine naming file to apply (board type known and firmware read).
    virtual void OnMachineNamesFile(const std::string& /*fileName*/) {}
    virtual void OnProtocolVersion(std::uint32_t /*packed*/, const std::string& /*text*/) {}
    // After the serial-number read: the serial number shown (kept when the
    // board's first byte is zero).
    virtual void OnSerialNumber(const std::string& /*text*/) {}
};

// Every decoded variable, with its page fields; delivered before the
// event of its area.
class IVariableView {
  public:
    virtual ~IVariableView() = default;
    virtual void OnVariable(const DecodedVariable& /*v*/) {}
    // A variable this program does not decode: its value bytes as they came.
    virtual void OnUndecodedVariable(std::uint16_t /*code*/,
                                     std::span<const std::uint8_t> /*bytes*/) {}
};

// The live status words.
class IStatusView {
  public:
    virtual ~IStatusView() = default;
    virtual void OnAnomalyStatus(std::uint32_t /*bits*/) {}
    virtual void OnIoStatus(const IoStatusWords& /*w*/) {}
    // Raw ADC words in channel order (photodiode, power meter, supply current,
    // PT100, power set, temperature).
    virtual void OnAnalogStatus(const std::array<std::uint16_t, 6>& /*channels*/) {}
    virtual void OnPowerReadings(const PowerReadingWords& /*w*/) {}
    virtual void OnSourceWorkTime(std::uint32_t /*seconds*/) {}
};

// The board's own clock (not the program's time source, link/Clock.h).
class IBoardClockView {
  public:
    virtual ~IBoardClockView() = default;
    virtual void OnClockTime(std::uint8_t /*h*/, std::uint8_t /*m*/, std::uint8_t /*s*/) {}
    // valid is false for a date that does not exist (day 0, month 13...).
    virtual void OnClockDate(int /*year*/, int /*month*/, int /*day*/, bool /*valid*/) {}
    virtual void OnClockRun(bool /*running*/) {}
};

// Power diagnosis and tuning.
class IProcedureView {
  public:
    virtual ~IProcedureView() = default;
    // The answer to a start request, as the board gave it (what it means is
    // the power-procedures controller's business).
    virtual void OnStartAnswer(std::uint8_t /*type*/, std::uint8_t /*status*/) {}
    virtual void OnDiagnosisStatus(std::uint8_t /*status*/) {}
    // step 1..4, power in 0.01 W.
    virtual void OnDiagnosisPower(int /*step*/, std::uint16_t /*raw*/) {}
    virtual void OnTuningStatus(std::uint8_t /*status*/) {}
};

// The machine variables of the machine pages.
class IMachineView {
  public:
    virtual ~IMachineView() = default;
    virtual void OnMultiHeadCount(std::uint8_t /*heads*/) {}
    virtual void OnMultiHeadWord(std::uint16_t /*code*/, std::uint32_t /*bits*/) {}
    virtual void OnDac16(std::uint16_t /*value*/) {}
    virtual void OnDac16Force(bool /*on*/) {}
};

// Memory reads and block writes. A chain of reads whose purpose belongs to a
// feature is handed up chunk by chunk: started, each chunk (as asked, in
// order), then either its end or its stop, exactly one of the two.
class IMemoryView {
  public:
    virtual ~IMemoryView() = default;
    // Rows for the EEPROM grid from a raw read, or an answer no chain asked for.
    virtual void OnMemoryRows(const std::vector<MemoryRow>& /*rows*/) {}
    virtual void OnChainStarted(int /*purpose*/) {}
    virtual void OnChainChunk(int /*purpose*/, std::uint16_t /*address*/,
                              std::span<const std::uint8_t> /*data*/) {}
    // Every chunk came (the purpose is at rest again).
    virtual void OnChainEnd(int /*purpose*/) {}
    virtual void OnConfigUploadProgress(std::uint8_t /*chunks*/) {}
    // The 384-byte image is complete (the tuning-log read is already under way).
    virtual void OnConfigImageComplete(const std::array<std::uint8_t, 384>& /*image*/) {}
    virtual void OnDownloadProgress(std::uint8_t /*blocksAcknowledged*/) {}
    virtual void OnDownloadComplete() {}
    // The block of TSession::WriteBlock at `address` was acknowledged.
    virtual void OnWriteAcknowledged(std::uint16_t /*address*/) {}
    // A sequence ended before its end (refusal, time-out, a corrupted answer,
    // a request that could not be queued, another starter taking over).
    virtual void OnSequenceStopped(Sequence /*s*/, int /*purpose*/, const std::string& /*why*/) {}
};

// The state of the line.
class ILinkView {
  public:
    virtual ~ILinkView() = default;
    // Status polling must stop (receive time-out, corrupted line).
    virtual void OnStopPolling() {}
    // The answer in flight never came: `why` is "RX TimeOut", or what
    // happened to the port when its device (or server) went away.
    virtual void OnLineFailed(const std::string& /*why*/) {}
    // An answer that was not used, and why (short, outside its destination...).
    virtual void OnAnswerIgnored(const std::string& /*why*/) {}
    // Status-bar panel 0 after a refusal.
    virtual void OnLinkState(std::string_view /*text*/) {}
    // The board refused the request in flight; `text` says why ("Unknown
    // variable: 1538"), as its message box does.
    virtual void OnRefusal(const std::string& /*text*/) {}
    // The board acknowledged a request that has nothing to decode: a
    // WriteVariable (`code` is its variable), a flanging command, the
    // security code (`code` 0).
    virtual void OnAcknowledged(std::uint8_t /*type*/, std::uint16_t /*code*/) {}
};

// Every area at once: for recorders and printers that follow everything.
class IBoardView : public IIdentityView,
                   public IVariableView,
                   public IStatusView,
                   public IBoardClockView,
                   public IProcedureView,
                   public IMachineView,
                   public IMemoryView,
                   public ILinkView {};

// The message boxes. Both calls return once the user has closed the box; the
// exchange must not run meanwhile: the owner stops its exchange timer around
// the call (TSessionCycle does so by refusing ticks while a box is open).
class INotifier {
  public:
    virtual ~INotifier() = default;
    // A board refusal or error code.
    virtual void ShowRefusal(std::string_view caption, std::string_view text) = 0;
    // An answer that starts with neither acknowledge nor refusal.
    virtual void ShowMissingAck(std::string_view caption, std::string_view text) = 0;
};

}  // namespace orvan::commands
