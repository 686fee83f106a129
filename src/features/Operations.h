#pragma once
// The runner of the core's operations (features/Operation.h): one operation
// at a time, and beside it one background operation (status polling). It
// owns the safety rules, so each operation only says what it needs.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "config/AtomicFile.h"
#include "features/Operation.h"

namespace orvan::features {

inline constexpr std::string_view kAttention = "Attenzione!";
inline constexpr std::string_view kReadConfigFirst =
    "Leggere la configurazione prima di eseguire questa operazione";

// Where an operation stands.
enum class TOperationPhase : std::uint8_t {
    ProtocolVersion,  // asking the board's protocol version
    BoardType,        // asking the board type
    Serial,           // reading the serial number
    Keep,             // reading what the board holds, to keep it
    Question,         // waiting for the user's answer
    Running,          // the operation's own sequence
};

class TOperations : public commands::IIdentityView,
                    public commands::IMemoryView,
                    public commands::ILinkView {
  public:
    TOperations(TSupervisorCore& core, commands::TSession& session);
    ~TOperations() override;
    TOperations(const TOperations&) = delete;
    TOperations& operator=(const TOperations&) = delete;

    commands::TFanout<IOperationView>& Views() { return views_; }

    // Starts `op`. Its outcome reaches the views exactly once, also when it
    // is refused here (bad input, an output file taken, another operation
    // running): true when it started, false when that outcome was given
    // already.
    bool Start(std::unique_ptr<TOperation> op);
    // Runs `op` like Start, and hands its outcome to `done` as well.
    bool Start(std::unique_ptr<TOperation> op, std::function<void(const TOperationOutcome&)> done);
    // Whether Start would take `op` now, touching nothing but the files it
    // would reserve (released again): a front end opens its line only then.
    bool WouldStart(TOperation& op) const;

    // Stops the running operations after the request in flight; `signal`
    // names the signal that asked (0: the user). Background operations stop
    // too unless `foregroundOnly`.
    void Cancel(const std::string& why, int signal = 0, bool foregroundOnly = false);
    // Stops the background operation only (the polling button).
    void CancelBackground(const std::string& why);
    // The user's answer to the question asked last.
    void Answer(bool yes);
    bool Asking() const;

    bool Busy() const { return slots_[0] != nullptr; }
    bool BackgroundBusy() const { return slots_[1] != nullptr; }
    bool Idle() const { return !Busy() && !BackgroundBusy(); }
    // The name of the running operation, "" when none.
    std::string Running() const;
    // The operation running in front (null when none), for views that show
    // its own state.
    const TOperation* Current() const;

    // Kept copies go here (default: DefaultBackupDir()).
    void SetBackupDir(std::string dir) { backupDir_ = std::move(dir); }
    const std::string& BackupDir() const { return backupDir_; }

    // Once per exchange tick, after the exchange: questions answered, stops
    // asked for, and operations whose next request was never sent.
    void Tick(bool exchangeIdle);

    // Board events.
    void OnBoardType(std::uint16_t boardType) override;
    void OnProtocolVersion(std::uint32_t packed, const std::string& text) override;
    void OnSerialNumber(const std::string& text) override;
    void OnChainChunk(int purpose, std::uint16_t address,
                      std::span<const std::uint8_t> data) override;
    void OnChainEnd(int purpose) override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;
    void OnAnswerIgnored(const std::string& why) override;
    void OnLinkState(std::string_view text) override;
    void OnRefusal(const std::string& text) override;
    void OnStopPolling() override;
    void OnLineFailed(const std::string& why) override;

  private:
    struct TRun;
    class TContext;

    // The checks of Start before anything is sent: false with the refusal
    // (and its caption) when `op` may not start.
    TResult Admit(TOperation& op, TRun& run, std::string& caption) const;

    void Refuse(std::unique_ptr<TOperation> op, TOutcomeKind kind, const std::string& why,
                const std::string& caption,
                const std::function<void(const TOperationOutcome&)>& done);
    void Advance(TRun& r);
    void StartKeepRead(TRun& r);
    void KeepReadComplete(TRun& r);
    void AskNext(TRun& r);
    void BeginRun(TRun& r);
    void StopRun(TRun& r, const std::string& why);
    void Fail(TRun& r, const std::string& why);
    void Finish(TRun& r, TOperationOutcome o);
    std::string WaitingReason(const TRun& r) const;
    // Into the board history, with what the run knew of the board.
    void Record(TOperationOutcome& o, const TOperation& op, const std::string& serial,
                const std::vector<std::uint8_t>& held);
    TRun* Waiting(TOperationPhase phase);

    TSupervisorCore& core_;
    commands::TSession& session_;
    commands::TFanout<IOperationView> views_;
    std::string backupDir_;
    // [0] the operation in front, [1] the background one.
    std::array<std::unique_ptr<TRun>, 2> slots_;
    // Finished runs, destroyed on the next tick (their operation may be on
    // the call stack when it finishes).
    std::vector<std::unique_ptr<TRun>> finished_;
    // Why the line last failed a request: the newest refusal, unusable or
    // garbled answer, or the receive time-out. Cleared before each request
    // the runner sends itself.
    std::string reason_;
};

// The words of an outcome's kind ("completed", "stopped"...).
const char* OutcomeKindText(TOutcomeKind kind);

}  // namespace orvan::features
