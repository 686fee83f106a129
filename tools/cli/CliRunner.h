#pragma once
// The one runner of orvan-cli's board commands. It builds the core on the
// line, attaches the printer (progress on stderr, the operations' questions,
// their outcomes), runs operations to their outcome and maps it to the exit
// status. Ctrl-C, SIGTERM and SIGHUP cancel the running operation, which
// stops after the request in flight and says what the board holds; a second
// signal ends the program at once.
//
// The line is opened when the first operation has passed its own checks, so
// words the core refuses (a value out of range, a date that does not exist)
// are refused without touching the port.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cli/Cli.h"
#include "features/Operation.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"

namespace orvan::cli {

// Where a completed operation's message goes; a failure's goes to stderr.
enum class TSay : std::uint8_t { Stdout, Stderr, Nothing };

struct TShow {
    TSay message = TSay::Stderr;
    bool details = true;  // the outcome's result lines, on stdout
    bool silent = false;  // nothing printed: the command prints it (or tries again)
};

class TBoard {
  public:
    explicit TBoard(const Options& opt);
    ~TBoard();
    TBoard(const TBoard&) = delete;
    TBoard& operator=(const TBoard&) = delete;

    features::TSupervisorCore& Core() { return *core_; }
    const Options& Opt() const { return opt_; }

    // The capture file reserved (a refusal is said: exit 2); 0 when the
    // command may go on.
    int Begin();
    // The capture written, whatever the outcome; a result that could not be
    // written to stdout fails the command. The exit status.
    int End(int status);

    // Runs `op` to its outcome, printed as `show` says.
    features::TOperationOutcome Run(std::unique_ptr<features::TOperation> op, TShow show = {});
    // Prints an outcome as Run does.
    void Print(const features::TOperationOutcome& o, TShow show);
    // For a short controller call that changes nothing on the board (started
    // by the caller): ticks until `done` holds. 0, or the exit status with the
    // reason said (the line did not open, the board refused or went silent,
    // interrupted), `what` naming the call.
    int Await(const std::function<bool()>& done, const std::string& what);
    // Opens the line when it is not yet open; 0, or 1 with the reason said.
    int Open();

    // Every line the engine sends and receives, on stdout (demo).
    void PrintTraffic(bool on);
    // A line of the result, on stdout.
    void Out(const std::string& line);
    // A note on stderr (not with --quiet).
    void Note(const std::string& line);
    // A reason on stderr, always ("orvan-cli: " before it).
    void Say(const std::string& line);

  private:
    class TLine;
    class TPrinter;

    void Drive(const std::function<bool()>& done, bool cancelOnSignal);
    features::TOperationOutcome Unstarted(const std::string& operation, features::TOutcomeKind kind,
                                          const std::string& why, int signal);

    const Options& opt_;
    link::SystemClock clock_;
    std::unique_ptr<TLine> line_;
    std::unique_ptr<TPrinter> printer_;
    std::unique_ptr<features::TSupervisorCore> core_;
    bool captureReserved_ = false;
    bool stdoutFailed_ = false;
    int stdoutErrno_ = 0;
};

}  // namespace orvan::cli
