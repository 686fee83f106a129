// orvan-cli config-read, config-write and config-verify: the window's
// configuration transfers, run to their end on the command line.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "features/ConfigTransfer.h"
#include "features/FileKindGuard.h"
#include "features/SupervisorCore.h"
#include "link/TickDriver.h"
#include "link/Tserial.h"

namespace orvan::cli {

namespace {

using features::TTransferOp;
using features::TTransferOutcome;
using features::TTransferPhase;

// Longest one operation may take; every exchange of it is bounded by the
// receive time-out, this only guards against a line that never settles.
constexpr std::int64_t kOperationLimitMs = 180000;

struct TransferArgs {
    std::string command;
    std::string file;
    std::string backupDir;
    bool force = false;
};

void Fail(const std::string& message) {
    std::fprintf(stderr, "orvan-cli: %s\n", message.c_str());
}

// Board refusals reach the user through the outcome, which names them.
class QuietNotifier : public commands::INotifier {
  public:
    void ShowRefusal(std::string_view, std::string_view) override {}
    void ShowMissingAck(std::string_view, std::string_view) override {}
};

class Progress : public features::ITransferListener {
  public:
    explicit Progress(bool quiet) : quiet_(quiet) {}
    void OnTransferProgress(TTransferOp op, TTransferPhase phase, int done, int total) override {
        if (quiet_) return;
        const char* what = phase == TTransferPhase::BackupRead ? "backup read"
                           : phase == TTransferPhase::Download ? "write"
                           : op == TTransferOp::Verify         ? "verify"
                                                               : "read";
        std::fprintf(stderr, "%s: %d/%d\n", what, done, total);
    }
    void OnTransferFinished(const TTransferOutcome& o) override { outcomes.push_back(o); }
    std::vector<TTransferOutcome> outcomes;

  private:
    bool quiet_;
};

bool ParseArgs(const Options& opt, TransferArgs& a) {
    a.command = opt.args[0];
    for (std::size_t i = 1; i < opt.args.size(); ++i) {
        const std::string& s = opt.args[i];
        if (s == "--backup-dir" && a.command == "config-write") {
            if (i + 1 >= opt.args.size() || opt.args[i + 1].empty()) {
                Fail("--backup-dir needs a folder");
                return false;
            }
            a.backupDir = opt.args[++i];
        } else if (s == "--force" && a.command == "config-write") {
            a.force = true;
        } else if (s.size() > 1 && s[0] == '-') {
            Fail(a.command + ": unknown option " + s);
            return false;
        } else if (a.file.empty()) {
            a.file = s;
        } else {
            Fail(a.command + " takes one file");
            return false;
        }
    }
    if (a.file.empty()) {
        Fail(a.command + " needs a file name");
        return false;
    }
    return true;
}

// Loads the file to write or compare; false with the reason printed.
bool LoadInput(const TransferArgs& a, config::TCfgWelderRW& record) {
    const config::TFileResult r = record.LoadFromFile(a.file);
    if (!r) {
        Fail(r.message);
        return false;
    }
    for (const std::string& w : r.warnings)
        std::fprintf(stderr, "warning: %s: %s\n", r.path.c_str(), w.c_str());
    if (!r.missingKeys.empty())
        std::fprintf(stderr, "note: %s: %zu keys missing (%s%s), defaults used\n", r.path.c_str(),
                     r.missingKeys.size(), r.missingKeys.front().c_str(),
                     r.missingKeys.size() > 1 ? ", ..." : "");
    // Defaults and limited values are fine to look at, not to put on a welder
    // unasked.
    if (a.command == "config-write" && !a.force &&
        (!r.warnings.empty() || !r.missingKeys.empty())) {
        Fail(r.path +
             " is incomplete or holds values out of range; nothing written (--force "
             "writes it anyway)");
        return false;
    }
    return true;
}

class Runner {
  public:
    Runner(link::ISerialPort& port, bool quiet) : progress_(quiet), core_(port, clock_, notifier_) {
        core_.Transfer().SetListener(&progress_);
    }
    features::TConfigTransfer& Transfer() { return core_.Transfer(); }
    config::TCfgWelderRW& Record() { return core_.Record(); }

    // Runs the started operation to its outcome.
    TTransferOutcome Wait() {
        const std::size_t before = progress_.outcomes.size();
        link::RunTicks(
            [&] {
                core_.Tick();
                return progress_.outcomes.size() == before;
            },
            link::kExchangeTickMs, kOperationLimitMs);
        if (progress_.outcomes.size() == before) {
            TTransferOutcome o;
            o.message = "the transfer did not end within " +
                        std::to_string(kOperationLimitMs / 1000) + " s";
            return o;
        }
        return progress_.outcomes.back();
    }

  private:
    link::SystemClock clock_;
    QuietNotifier notifier_;
    Progress progress_;
    features::TSupervisorCore core_;
};

// Prints a verification; 0 when the board holds the record, 1 otherwise.
int Report(const TTransferOutcome& v) {
    if (!v.completed) {
        Fail(v.message);
        return 1;
    }
    for (const features::TFieldDifference& d : v.differences)
        std::printf("%s\n", features::DifferenceText(d).c_str());
    std::printf("%s\n", v.message.c_str());
    if (!v.checksumWarning.empty()) {
        Fail(v.checksumWarning);
        return 1;
    }
    return v.differences.empty() ? 0 : 1;
}

}  // namespace

std::string TransferUsage() {
    return "  config-read OUT.wcf  read the board's configuration into a file\n"
           "  config-write IN.wcf [--backup-dir DIR] [--force]\n"
           "                       keep what the board holds as a backup in DIR (default\n"
           "                       ~/.local/share/orvan-supervisor/backups), write the file,\n"
           "                       read it back and list what differs\n"
           "  config-verify IN.wcf list the fields in which the board differs from the file\n";
}

bool IsTransferCommand(const std::string& name) {
    return name == "config-read" || name == "config-write" || name == "config-verify";
}

int RunTransferCommand(const Options& opt) {
    TransferArgs a;
    if (!ParseArgs(opt, a)) return 2;
    config::TCfgWelderRW record;
    if (a.command != "config-read") {
        if (!LoadInput(a, record)) return 1;
        // The board holds what a write puts there: Version 3, Size 218.
        std::array<std::uint8_t, config::kImageSize> image{};
        config::BuildDeviceImage(record, image.data());
    } else {
        const features::TSaveCheck c =
            features::CheckSave(a.file, features::TFileKind::Configuration);
        if (c.refuse || c.ask) {
            Fail(c.message + (c.ask ? " (not replaced; remove it or choose another name)" : ""));
            return 1;
        }
    }

    link::Tserial port;
    const std::int32_t rc = port.OpenPort(opt.device.c_str(), opt.speed, 0);
    if (rc != link::kOpenOk) {
        Fail(opt.device + ": " + link::OpenResultText(rc));
        return 1;
    }
    Runner run(port, opt.quiet);
    run.Record() = record;
    features::TConfigTransfer& t = run.Transfer();
    if (!a.backupDir.empty()) t.SetBackupDir(a.backupDir);

    if (a.command == "config-read") {
        if (const auto s = t.Read(false); !s) {
            Fail(s.message);
            return 1;
        }
        const TTransferOutcome o = run.Wait();
        if (!o.completed) {
            Fail(o.message);
            return 1;
        }
        const config::TFileResult saved = run.Record().SaveToFile(a.file);
        if (!saved) {
            Fail(saved.message);
            return 1;
        }
        if (!opt.quiet)
            std::fprintf(stderr, "%s Saved to %s\n", o.message.c_str(), saved.path.c_str());
        if (!o.checksumWarning.empty()) {
            Fail(o.checksumWarning + " (saved as read)");
            return 1;
        }
        return 0;
    }
    if (a.command == "config-write") {
        if (const auto s = t.Write(); !s) {
            Fail(s.message);
            return 1;
        }
        const TTransferOutcome w = run.Wait();
        if (!w.completed) {
            Fail(w.message);
            return 1;
        }
        if (!opt.quiet) std::fprintf(stderr, "%s\n", w.message.c_str());
        if (!w.checksumWarning.empty())
            std::fprintf(stderr,
                         "note: what the board held before failed its checksum; it was "
                         "kept as read\n");
    }
    if (const auto s = t.Verify(); !s) {
        Fail(s.message);
        return 1;
    }
    return Report(run.Wait());
}

}  // namespace orvan::cli
