#pragma once
// Every long or board-changing sequence runs as an operation of the core. An
// operation declares what it needs (the board's protocol version and type,
// a fresh serial number, a configuration on the pages, the board memory it
// overwrites, the files it writes and reads) and the core's runner
// (TOperations, features/Operations.h) enforces those needs the same way for
// every operation and every front end:
//
// - outside files are checked for kind and size, and output files reserved,
//   before anything is sent;
// - the protocol version, board type and serial number are read when unknown
//   (or always, for the serial number), never assumed;
// - the memory an operation overwrites is read until two reads agree byte for
//   byte, kept in a file, and the file read back and compared before the
//   operation's first write;
// - a cancel stops after the request in flight, and the outcome says what the
//   board holds and where the kept copy is;
// - every started operation ends with exactly one outcome.
//
// Front ends start operations, answer their questions, and render progress
// and outcomes. The outcome's texts are made here, so the window and the
// command line say the same thing.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "config/AtomicFile.h"
#include "features/FileKindGuard.h"
#include "link/Result.h"

namespace orvan::features {

class TSupervisorCore;

// A piece of board memory an operation overwrites (or copies).
struct TMemoryArea {
    std::uint16_t first = 0;
    std::uint16_t count = 0;
    std::string name;  // "the serial number"
    std::string tag;   // for file names: "serial", "eeprom"
};

// The areas of the board memory by their names.
TMemoryArea IdentityArea();       // 0..15
TMemoryArea ConfigurationArea();  // 16..399
TMemoryArea TuningLogArea();      // 400..719
TMemoryArea WholeMemoryArea();    // 0..1023
// The named areas that [first, first + count) touches, as a sentence
// ("the serial number (addresses 0 to 15) and the configuration (16 to 399)");
// empty when it touches none of the areas a user must be asked about.
std::string AreasTouched(std::uint16_t first, std::size_t count);

// A file the operation writes. It is reserved when the operation starts:
// created empty and locked, so no other run takes the name, and written
// atomically at the end (or removed again when nothing was written).
struct TOutputFile {
    std::string path;
    TFileKind kind = TFileKind::Other;  // what it will hold
    std::string what;                   // "the dump file"
    // The user said this file may be replaced when it holds the same kind.
    bool replace = false;
    // The user was asked, and said a file of another kind may be replaced.
    bool replaceOtherKind = false;
};

// Reserves the file an output names (the ".wcf" of a configuration): never
// a folder or device, never a file of another kind unless the user said so,
// never one another run holds. False with the reason, naming the file.
[[nodiscard]] TResult ReserveOutput(const TOutputFile& out, config::TReservedFile& file);

// A file from outside that the operation reads: checked and read at start.
struct TInputFile {
    std::string path;
    std::string what;  // "the dump file"
    std::uintmax_t minBytes = 0;
    std::uintmax_t maxBytes = 0;
};

struct TOperationNeeds {
    bool protocolVersion = false;  // decides the security code
    bool boardType = false;        // decides which machine variables exist
    bool serialNumber = false;     // read afresh: the board may have been swapped
    // Read when the session does not know it yet: the board history files
    // the run under it (a read alone is worth nothing under no board).
    bool serialKnown = false;
    bool configLoaded = false;  // a configuration is on the pages
    // Read (twice, compared) and kept before the operation's first write.
    std::vector<TMemoryArea> keeps;
    std::vector<TOutputFile> outputs;
    std::vector<TInputFile> inputs;
    // Runs beside another operation (status polling) instead of alone.
    bool background = false;
};

enum class TOutcomeKind : std::uint8_t {
    Completed,
    Failed,       // the board or the line failed, or a file could not be written
    Refused,      // refused input or usage, or the user said no: nothing was done
    Interrupted,  // cancelled by the user or a signal
};

struct TOperationOutcome {
    std::string operation;  // "EEPROM format"
    TOutcomeKind kind = TOutcomeKind::Failed;
    std::string why;                 // the reason, empty when completed
    std::string message;             // the whole text for the user
    std::string caption;             // of the window's box ("Attenzione!"), may be empty
    std::string boardHolds;          // what the board holds now (board-changing operations)
    std::vector<std::string> kept;   // copies of what the board held
    std::vector<std::string> files;  // files written
    // Completed, but with news the user should not miss (a damaged image was
    // read, the board differs from the file): programs exit with 1.
    std::string warning;
    std::vector<std::string> details;  // lines of the result (differences...)
    int signal = 0;                    // the signal that interrupted it, 0 for none
    bool Completed() const { return kind == TOutcomeKind::Completed; }
};

// The exit status a program gives for an outcome: 0 done, 1 the board or the
// line failed (or done with a warning), 2 refused input, 128 + the signal
// when interrupted by one (130 for Ctrl-C, when no signal is known).
int ExitCode(const TOperationOutcome& o);
// The text as a sentence: a full stop added unless it ends with one (a reason
// from the line may end with a question of its own).
std::string Sentence(std::string text);

// A question an operation asks before it goes on; "no" ends it refused.
struct TQuestion {
    std::string operation;
    std::string caption;  // "Attenzione!"
    std::string text;     // says what would be overwritten or lost
    // The command-line word that answers yes beforehand ("--yes", "--force").
    std::string assumeWith;
};

struct TProgress {
    std::string operation;
    std::string phase;  // "reading what the board holds", "writing"
    int done = 0, total = 0;
};

// What a front end hears of the operations. Attach with TSupervisorCore::Attach.
class IOperationView {
  public:
    virtual ~IOperationView() = default;
    virtual void OnOperationStarted(const std::string& /*operation*/) {}
    virtual void OnOperationProgress(const TProgress& /*p*/) {}
    // Answer with TOperations::Answer, now or later.
    virtual void OnOperationQuestion(const TQuestion& /*q*/) {}
    // Exactly once per operation given to TOperations::Start, started or not.
    virtual void OnOperationFinished(const TOperationOutcome& /*o*/) {}
};

// A copy of what the board held, saved by the operation.
struct TKeptFile {
    std::string path;
    bool exact = false;  // holds the area's bytes exactly: read back and compared
};

// What the runner gives an operation.
class TOperationContext {
  public:
    virtual ~TOperationContext() = default;
    virtual TSupervisorCore& Core() = 0;
    virtual void Progress(std::string phase, int done, int total) = 0;
    // Asks the user; `then` runs with the answer on a later step, never
    // inside this call. A "no" is the operation's to turn into an outcome.
    virtual void Ask(TQuestion q, std::function<void(bool yes)> then) = 0;
    // Ends the operation. Only the first call counts.
    virtual void Finish(TOutcomeKind kind, std::string why, std::string message,
                        std::string boardHolds = {}) = 0;
    // Adds to the outcome: a warning (the program exits with 1 though the
    // operation completed), a line of its result.
    virtual void Warn(std::string text) = 0;
    virtual void Detail(std::string line) = 0;
    // The serial number read at the start (when the operation needs it).
    virtual const std::string& Serial() const = 0;
    // The kept copies so far.
    virtual const std::vector<std::string>& Kept() const = 0;
    // The content of input i, checked and read at the start.
    virtual const std::string& Input(std::size_t i) const = 0;
    // The path of output i, as reserved.
    virtual const std::string& OutputPath(std::size_t i) const = 0;
    // Writes output i (atomically, over its reservation).
    virtual TResult Commit(std::size_t i, std::string_view content) = 0;
    // The folder kept copies go to.
    virtual const std::string& BackupDir() const = 0;
    // Whether the user asked to stop (the operation stops at its next step).
    virtual bool Cancelling() const = 0;
    // The signal that asked to stop, 0 when the user did (or nobody).
    virtual int CancelSignal() const = 0;
    // Why the line went idle: the board refused, did not answer, or its
    // answer could not be used (or, failing those, that the next request
    // was never sent).
    virtual std::string WhyIdle() const = 0;
};

// One operation. Derive, declare the needs, start the sequence in Run, end it
// with Finish. Board events reach an operation while it runs when it
// implements their interfaces (the runner attaches it to the core).
class TOperation {
  public:
    explicit TOperation(std::string name) : name_(std::move(name)) {}
    virtual ~TOperation() = default;
    TOperation(const TOperation&) = delete;
    TOperation& operator=(const TOperation&) = delete;

    const std::string& Name() const { return name_; }
    virtual TOperationNeeds Needs() const = 0;
    // Checks of what the user gave that need no board; a failure is refused
    // before anything is sent or reserved.
    virtual TResult Check() { return TResult::Ok(); }

    // The operation is taken (its inputs read, its outputs reserved); the
    // board's needs come next.
    virtual void Begin(TOperationContext& /*ctx*/) {}
    // The area was read twice alike: questions to ask before it is
    // overwritten (another layout, a different board...), each answered yes
    // or the operation ends refused.
    virtual std::vector<TQuestion> Questions(const TMemoryArea& /*area*/,
                                             std::span<const std::uint8_t> /*bytes*/,
                                             const std::string& /*serial*/) {
        return {};
    }
    // Keeps the area's bytes; the default saves them as they are in the
    // backups folder. A file marked exact is read back and compared.
    virtual TResult SaveKept(TOperationContext& ctx, const TMemoryArea& area,
                             std::span<const std::uint8_t> bytes, std::vector<TKeptFile>& files);

    // Every need is met: start the sequence. A failure ends the operation
    // as failed with that reason, nothing of it sent.
    virtual TResult Run(TOperationContext& ctx) = 0;
    // Once per exchange tick while it runs.
    virtual void Tick(TOperationContext& /*ctx*/) {}
    // The exchange has nothing queued or in flight while it runs: its next
    // request was never sent. The default stops it.
    virtual void Stalled(TOperationContext& ctx);
    // Stop now: nothing of it is in flight any more (queued requests are
    // dropped already). Finish with what the board holds now.
    virtual void Stop(TOperationContext& ctx, const std::string& why) = 0;

    // The configuration images this run read from the board or wrote to it
    // (roles "read", "written"), for the board history.
    virtual std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Recorded() const {
        return {};
    }

    // The runner attaches the operation to the core's events while it runs.
    virtual void Attach(TSupervisorCore& /*core*/) {}
    virtual void Detach(TSupervisorCore& /*core*/) {}

  private:
    std::string name_;
};

// Attaches the derived operation's own interfaces to the core's events.
template <typename Derived>
class TAttachedOperation : public TOperation {
  public:
    using TOperation::TOperation;
    void Attach(TSupervisorCore& core) override;
    void Detach(TSupervisorCore& core) override;
};

}  // namespace orvan::features
