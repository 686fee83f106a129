#include "cli/CliRunner.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "cli/Console.h"
#include "commands/BoardView.h"
#include "commands/FrameMeaning.h"
#include "config/AtomicFile.h"
#include "link/ExchangeCycle.h"
#include "link/LineCapture.h"
#include "link/LinkPort.h"
#include "link/TickDriver.h"

namespace orvan::cli {

namespace {

using features::TOperationOutcome;
using features::TOutcomeKind;

// "Attenzione! Writing 2 bytes at address 0 ...", "Factory tuning: The ...".
std::string QuestionText(const features::TQuestion& q) {
    if (q.caption.empty()) return q.text;
    const bool stop = std::string_view("!?:.").find(q.caption.back()) != std::string_view::npos;
    return q.caption + (stop ? " " : ": ") + q.text;
}

bool Given(const Options& opt, const std::string& flag) {
    return !flag.empty() && std::find(opt.args.begin(), opt.args.end(), flag) != opt.args.end();
}

// Opens the line the options name: a local device, or a serial device
// server's address (tcp://, rfc2217://). Every kind of line is opened here
// and nowhere else. Null with the reason; `fd` is what fast exchange waits on.
std::unique_ptr<link::ISerialPort> OpenLine(const Options& opt, int& fd, std::string& why) {
    auto port = std::make_unique<link::TLinkPort>();
    const std::int32_t rc = port->OpenPort(opt.device.c_str(), opt.speed, 0);
    if (rc != link::kOpenOk) {
        why = opt.device + ": " + port->OpenErrorText(rc);
        return nullptr;
    }
    fd = port->Descriptor();
    return port;
}

}  // namespace

// The port the core is built on, before the line behind it is opened.
class TBoard::TLine : public link::ISerialPort {
  public:
    bool Opened() const { return port_ != nullptr; }
    bool Open(const Options& opt, std::string& why) {
        port_ = OpenLine(opt, fd_, why);
        return port_ != nullptr;
    }
    int Descriptor() const { return fd_; }

    bool IsOpen() const override { return port_ && port_->IsOpen(); }
    void WriteBytes(const std::uint8_t* data, std::size_t count) override {
        if (port_) port_->WriteBytes(data, count);
    }
    std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) override {
        return port_ ? port_->ReadBytes(dest, count) : 0;
    }
    std::int32_t BytesWaiting() override { return port_ ? port_->BytesWaiting() : 0; }
    void ClosePort() override {
        if (port_) port_->ClosePort();
    }
    std::string LostReason() const override { return port_ ? port_->LostReason() : std::string(); }

  private:
    std::unique_ptr<link::ISerialPort> port_;
    int fd_ = -1;
};

// The one view of orvan-cli: progress and questions on stderr, outcomes as
// the running command shows them; and the message boxes and line events of
// the core, kept for the short controller calls.
class TBoard::TPrinter : public features::IOperationView,
                         public commands::INotifier,
                         public link::IExchangeListener {
  public:
    explicit TPrinter(TBoard& board) : board_(board) {}

    TShow show;
    bool traffic = false;
    // What the line said since ResetLine (refusals reach the user through
    // the outcomes, which name them; these serve the short controller calls).
    std::string refusal;
    bool timedOut = false;
    std::string lost;
    void ResetLine() {
        refusal.clear();
        timedOut = false;
        lost.clear();
    }

    // On a terminal one line that is rewritten as the work goes on; into a
    // file or a pipe nothing, unless --progress asks for it: then a line when
    // a phase begins, at each quarter of it, and at its end.
    void OnOperationProgress(const features::TProgress& p) override {
        SayHeard({});
        if (board_.opt_.quiet) return;
        std::string text = p.phase;
        if (p.total > 0) text += ": " + std::to_string(p.done) + "/" + std::to_string(p.total);
        if (terminal_) {
            if (text.size() > 79) text.resize(79);
            (void)std::fputs(("\r\033[K" + text).c_str(), stderr);
            (void)std::fflush(stderr);
            lineOpen_ = true;
            return;
        }
        if (!board_.opt_.progress) return;
        const bool newPhase = p.phase != phase_;
        const int quarter = p.total > 0 ? p.done * 4 / p.total : 0;
        if (!newPhase && quarter == quarter_ && p.done != p.total) return;
        if (!newPhase && p.done == done_) return;
        phase_ = p.phase;
        quarter_ = quarter;
        done_ = p.done;
        board_.Note(text);
    }

    void OnOperationQuestion(const features::TQuestion& q) override {
        features::TOperations& ops = board_.Core().Operations();
        const std::string asked = QuestionText(q);
        if (Given(board_.opt_, q.assumeWith)) {
            board_.Note(asked + " Yes (" + q.assumeWith + ").");
            ops.Answer(true);
            return;
        }
        if (!StdinIsTerminal()) {
            board_.Say(
                asked + " Taken as no: standard input is not a terminal" +
                (q.assumeWith.empty() ? std::string() : " (" + q.assumeWith + " answers yes)") +
                ".");
            ops.Answer(false);
            return;
        }
        Err("orvan-cli: " + asked + " [y/N] ", false);
        asking_ = true;
        typed_.clear();
    }

    // The terminal's answer, once a whole line was typed.
    void PollAnswer() {
        if (!asking_) return;
        char buf[128];
        const long n = ReadTypedInput(buf, sizeof buf);
        if (n == 0) return;  // asked again next tick
        if (n > 0) {
            typed_.append(buf, static_cast<std::size_t>(n));
            if (typed_.find('\n') == std::string::npos && typed_.size() < 256) return;
        }
        asking_ = false;
        std::string word = typed_.substr(0, typed_.find('\n'));
        while (!word.empty() && (word.back() == '\r' || word.back() == ' ')) word.pop_back();
        const bool yes =
            word == "y" || word == "Y" || word == "yes" || word == "Yes" || word == "YES";
        if (n <= 0) Err("\n", false);
        board_.Core().Operations().Answer(yes);
    }

    void OnOperationFinished(const TOperationOutcome& o) override {
        if (asking_) {
            asking_ = false;
            Err("\n", false);
        }
        phase_.clear();
        if (lineOpen_) Err("", false);
        SayHeard(o.message);
        Print(o);
    }

    void Print(const TOperationOutcome& o) {
        if (show.silent) return;
        if (show.details)
            for (const std::string& d : o.details) board_.Out(d);
        std::string message = o.message;
        if (message.empty())
            message = o.operation + " " + features::OutcomeKindText(o.kind) +
                      (o.why.empty() ? std::string() : ": " + o.why);
        if (!o.Completed())
            board_.Say(message);
        else if (show.message == TSay::Stdout)
            board_.Out(message);
        else if (show.message == TSay::Stderr)
            board_.Note(message);
        if (!o.warning.empty() && o.warning != message) Err("warning: " + o.warning + "\n", false);
    }

    // Writes to stderr; a stderr that is gone is not a reason to stop.
    void Err(const std::string& text, bool quietToo) {
        if (quietToo && board_.opt_.quiet) return;
        if (lineOpen_) {
            // The progress line gives way; the next progress draws it again.
            (void)std::fputs("\r\033[K", stderr);
            lineOpen_ = false;
        }
        (void)std::fputs(text.c_str(), stderr);
        std::clearerr(stderr);
    }

    // The window shows these in boxes. An operation's outcome names what
    // stopped it; a refused read while only polling runs, which polling goes
    // on without, is said here once the next progress shows it went on.
    void ShowRefusal(std::string_view, std::string_view text) override {
        refusal = "refused by the board: " + std::string(text);
        const features::TOperations& ops = board_.Core().Operations();
        if (ops.BackgroundBusy() && !ops.Busy() &&
            std::find(said_.begin(), said_.end(), refusal) == said_.end()) {
            said_.push_back(refusal);
            unsaid_.push_back(refusal);
        }
    }
    void ShowMissingAck(std::string_view, std::string_view text) override {
        refusal = "corrupted answer from the board (" + std::string(text) + ")";
    }
    // The refusals heard that `message` does not say already.
    void SayHeard(const std::string& message) {
        for (const std::string& r : unsaid_)
            if (message.find(r) == std::string::npos) board_.Say(r);
        unsaid_.clear();
    }

    void OnLinkState(std::string_view) override {}
    void OnTxLog(const std::string& line) override {
        if (traffic) board_.Out("TX " + line);
    }
    void OnRxLog(const std::string& line) override {
        if (traffic) board_.Out("RX " + line);
    }
    void OnAnswer(const std::uint8_t*, std::uint8_t) override {}
    void OnRxTimeout() override { timedOut = true; }
    void OnPortLost(const std::string& why) override {
        lost = why;
        timedOut = true;
    }

  private:
    TBoard& board_;
    const bool terminal_ = StderrIsTerminal();
    bool lineOpen_ = false;
    std::string phase_;
    int quarter_ = 0;
    int done_ = -1;
    bool asking_ = false;
    std::string typed_;
    std::vector<std::string> said_;
    std::vector<std::string> unsaid_;
};

TBoard::TBoard(const Options& opt)
    : opt_(opt), line_(std::make_unique<TLine>()), printer_(std::make_unique<TPrinter>(*this)) {
    core_ = std::make_unique<features::TSupervisorCore>(
        *line_, clock_, static_cast<commands::INotifier&>(*printer_),
        static_cast<link::IExchangeListener*>(printer_.get()));
    core_->Attach(*printer_);
    core_->SetFastMode(opt_.fast);
    if (opt_.trace) {
        // Every frame as the line carried it, and what it means.
        core_->SetCapturing(true);
        core_->Capture().onFrame = [this](const link::TCaptureFrame& f) {
            std::string hex;
            for (std::uint8_t x : f.bytes) {
                char t[4];
                std::snprintf(t, sizeof t, " %02X", x);
                hex += t;
            }
            char at[32];
            std::snprintf(at, sizeof at, "%lld.%03lld", static_cast<long long>(f.ms / 1000),
                          static_cast<long long>(f.ms % 1000));
            printer_->Err(std::string(at) + (f.transmitted ? " TX" : " RX") + hex + "\n    " +
                              commands::DescribeFrame(f.transmitted, f.bytes) + "\n",
                          false);
        };
    }
    if (!opt_.backupDir.empty()) core_->Operations().SetBackupDir(opt_.backupDir);
    core_->History().Open(features::DefaultHistoryPath());
}

TBoard::~TBoard() {
    core_->Detach(*printer_);
    // The core goes before the line it talks through.
    core_.reset();
    line_->ClosePort();
}

int TBoard::Begin() {
    if (opt_.capture.empty()) return 0;
    // Reserved now, so no other run takes the name while this one captures.
    const TResult r = core_->ReserveCaptureFile(opt_.capture, opt_.force || Given(opt_, "--force"));
    if (!r) {
        Say(features::Sentence(r.why) + " Nothing was sent.");
        return 2;
    }
    captureReserved_ = true;
    core_->SetCapturing(true);
    return 0;
}

int TBoard::End(int status) {
    if (captureReserved_) {
        // A failed or stopped command is what a capture is wanted for.
        core_->SetCapturing(false);
        const TResult r = core_->WriteCaptureFile();
        captureReserved_ = false;
        if (!r) {
            Say(r.why);
            if (status == 0) status = 1;
        } else {
            Note("line capture written to " + opt_.capture);
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        stdoutFailed_ = true;
        if (stdoutErrno_ == 0) stdoutErrno_ = errno;
    }
    if (stdoutFailed_) {
        Say(std::string("the result could not be written to standard output (") +
            std::strerror(stdoutErrno_ != 0 ? stdoutErrno_ : EIO) + ")");
        if (status == 0) status = 1;
    }
    return status;
}

int TBoard::Open() {
    if (line_->Opened()) return 0;
    std::string why;
    if (line_->Open(opt_, why)) return 0;
    Say(why);
    return 1;
}

TOperationOutcome TBoard::Unstarted(const std::string& operation, TOutcomeKind kind,
                                    const std::string& why, int signal) {
    TOperationOutcome o;
    o.operation = operation;
    o.kind = kind;
    o.why = why;
    o.signal = signal;
    o.message = features::Sentence(operation + " not started: " + why);
    printer_->Print(o);
    return o;
}

TOperationOutcome TBoard::Run(std::unique_ptr<features::TOperation> op, TShow show) {
    printer_->show = show;
    const std::string name = op->Name();
    if (const int sig = StopRequest(); sig != 0)
        return Unstarted(name, TOutcomeKind::Interrupted, "interrupted by " + StopRequestText(sig),
                         sig);
    // What the operation would be refused for is refused before the port is
    // touched: the runner's start gives that outcome without sending anything.
    if (!line_->Opened() && core_->Operations().WouldStart(*op)) {
        std::string why;
        if (!line_->Open(opt_, why)) return Unstarted(name, TOutcomeKind::Failed, why, 0);
    }
    std::optional<TOperationOutcome> got;
    core_->Operations().Start(std::move(op), [&got](const TOperationOutcome& o) { got = o; });
    Drive([&] { return got.has_value(); }, true);
    return *got;
}

int TBoard::Await(const std::function<bool()>& done, const std::string& what) {
    if (const int rc = Open(); rc != 0) return rc;
    printer_->ResetLine();
    int idleTicks = 0;
    Drive(
        [&] {
            if (done() || StopRequest() != 0 || printer_->timedOut || !printer_->refusal.empty())
                return true;
            // Nothing queued or in flight and no end heard: it never will be.
            idleTicks = core_->Idle() ? idleTicks + 1 : 0;
            return idleTicks > 3;
        },
        false);
    if (const int sig = StopRequest(); sig != 0) {
        Say(what + " interrupted by " + StopRequestText(sig) +
            "; it changes nothing on the board.");
        return 128 + sig;
    }
    const bool heard = !printer_->refusal.empty() || printer_->timedOut;
    if (done() && !heard) return 0;
    const std::string why = !printer_->refusal.empty() ? printer_->refusal
                            : !printer_->lost.empty()  ? "Port lost: " + printer_->lost
                            : printer_->timedOut       ? std::string("no answer from the board (") +
                                                       std::string(link::kLinkTimeout) + ")"
                                                 : std::string("the board's answer never came");
    Say(what + " stopped: " + why);
    return 1;
}

void TBoard::Drive(const std::function<bool()>& done, bool cancelOnSignal) {
    if (done()) return;
    bool cancelled = false;
    bool readerGone = false;
    const auto tick = [&] {
        if (cancelOnSignal && StopRequest() != 0 && !cancelled) {
            cancelled = true;
            // The request in flight is answered first; the outcome says what
            // the board holds then.
            core_->Operations().Cancel("interrupted", StopRequest());
        }
        // Polling only makes results: nobody reads them any more. A write
        // goes on to its end.
        if (stdoutFailed_ && !readerGone) {
            readerGone = true;
            core_->Operations().CancelBackground("its output can no longer be written");
        }
        printer_->PollAnswer();
        (void)core_->Tick();
        return !done();
    };
    if (!core_->FastMode() || line_->Descriptor() < 0) {
        (void)link::RunTicks(tick);
        return;
    }
    link::TReadableWake wake;
    wake.fd = line_->Descriptor();
    wake.readable = [&] {
        (void)core_->OnLineReadable();
        return !done();
    };
    (void)link::RunTicks(tick, link::kExchangeTickMs, -1, &wake);
}

void TBoard::Print(const TOperationOutcome& o, TShow show) {
    const TShow was = printer_->show;
    printer_->show = show;
    printer_->show.silent = false;
    printer_->Print(o);
    printer_->show = was;
}

void TBoard::PrintTraffic(bool on) {
    printer_->traffic = on;
    core_->SetTrafficLog(on, on);
}

void TBoard::Out(const std::string& line) {
    if (stdoutFailed_) return;
    errno = 0;
    if (std::fputs(line.c_str(), stdout) < 0 || std::fputc('\n', stdout) == EOF ||
        std::fflush(stdout) != 0) {
        stdoutFailed_ = true;
        stdoutErrno_ = errno;
    }
}

void TBoard::Note(const std::string& line) {
    printer_->Err(line + "\n", true);
}

void TBoard::Say(const std::string& line) {
    printer_->Err("orvan-cli: " + line + "\n", false);
}

int RunOnBoard(const Options& opt, const TPlan& plan) {
    TStopRequests stops;
    TBoard board(opt);
    int status = board.Begin();
    if (status == 0) status = plan.board(board);
    return board.End(status);
}

}  // namespace orvan::cli
