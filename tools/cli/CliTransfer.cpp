// orvan-cli config-read, config-write and config-verify: the window's
// configuration transfers, run to their end on the command line.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliLine.h"
#include "config/Cfgwelderrw.h"
#include "features/ConfigBackups.h"
#include "features/ConfigTransfer.h"
#include "features/FileKindGuard.h"
#include "features/SupervisorCore.h"
#include "link/LinkPort.h"
#include "link/TickDriver.h"

namespace orvan::cli {

namespace {

using features::TTransferOp;
using features::TTransferOutcome;
using features::TTransferPhase;

// Longest one operation may take; every exchange of it is bounded by the
// receive time-out, this only guards against a line that never settles.
constexpr std::int64_t kOperationLimitMs = 180000;

void Fail(const std::string& message) {
    std::fprintf(stderr, "orvan-cli: %s\n", message.c_str());
}

struct TransferArgs {
    std::string command;
    std::string file;
    std::string backupDir;
    bool force = false;
};

// Ctrl-C and SIGTERM end a transfer after the request in flight, so the
// user learns how far a write went; a second one ends the program at once.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int sig) {
    g_stopSignal = sig;
}

class StopSignals {
  public:
    StopSignals() {
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND;
        (void)sigaction(SIGINT, &sa, &oldInt_);
        (void)sigaction(SIGTERM, &sa, &oldTerm_);
    }
    ~StopSignals() {
        (void)sigaction(SIGINT, &oldInt_, nullptr);
        (void)sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

std::string SignalName(int sig) {
    return sig == SIGINT ? "SIGINT" : sig == SIGTERM ? "SIGTERM" : "signal " + std::to_string(sig);
}

// The configuration file a command names must be the one it uses: a
// configuration is always a ".wcf", and "real.txt" would silently become
// "real.wcf".
bool NamesItsWcf(const std::string& command, const std::string& file) {
    const std::string wcf = config::WcfFileName(file);
    if (wcf == file) return true;
    Fail(command + ": configurations are \".wcf\" files: " + file + " would be taken as " + wcf +
         "; give that name if it is the one meant. Nothing done");
    return false;
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
        } else if (s == "--backup-dir" && a.command == "config-restore") {
            if (i + 1 >= opt.args.size() || opt.args[i + 1].empty()) {
                Fail("--backup-dir needs a folder");
                return false;
            }
            a.backupDir = opt.args[++i];
        } else if (s == "--force" &&
                   (a.command == "config-write" || a.command == "config-restore")) {
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
    return NamesItsWcf(a.command, a.file);
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
    if ((a.command == "config-write" || a.command == "config-restore") && !a.force &&
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
    Runner(link::TLinkPort& port, const Options& opt)
        : progress_(opt.quiet), core_(port, clock_, notifier_), line_(opt, core_, port, clock_) {
        core_.Transfer().SetListener(&progress_);
    }
    features::TConfigTransfer& Transfer() { return core_.Transfer(); }
    config::TCfgWelderRW& Record() { return core_.Record(); }

    // Runs the started operation to its outcome.
    TTransferOutcome Wait() {
        const std::size_t before = progress_.outcomes.size();
        line_.Run(
            [&] {
                core_.Tick();
                if (g_stopSignal != 0)
                    (void)Transfer().StopAfterInFlight("interrupted by " +
                                                       SignalName(g_stopSignal));
                return progress_.outcomes.size() == before;
            },
            kOperationLimitMs);
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
    TLineOptions line_;
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
           "  config-verify IN.wcf list the fields in which the board differs from the file\n"
           "  config-restore BACKUP.wcf [--backup-dir DIR] [--force]\n"
           "                       write a backup back: the exact image kept beside it when\n"
           "                       there is one (byte for byte), else its values\n"
           "  --force (config-write, config-restore): write a file with missing keys or values\n"
           "                       out of range, over a board whose configuration fails its\n"
           "                       checksum or has another layout\n"
           "  Ctrl-C or SIGTERM stops a transfer after the block in flight (exit 128+signal)\n";
}

bool IsTransferCommand(const std::string& name) {
    return name == "config-read" || name == "config-write" || name == "config-verify" ||
           name == "config-restore";
}

int RunTransferCommand(const Options& opt) {
    TransferArgs a;
    if (!ParseArgs(opt, a)) return 2;
    config::TCfgWelderRW record;
    features::TWriteOptions writeOptions;
    writeOptions.acceptDamagedBackup = a.force;
    writeOptions.acceptOtherLayout = a.force;
    if (a.command != "config-read") {
        if (!LoadInput(a, record)) return 1;
        if (a.command == "config-restore") {
            std::array<std::uint8_t, config::kImageSize> exact{};
            std::string why;
            if (features::LoadBackupImage(a.file, exact, &why)) {
                writeOptions.exactImage = exact;
                if (!opt.quiet)
                    std::fprintf(stderr, "restoring the exact image %s\n",
                                 features::BackupImagePath(a.file).c_str());
            } else {
                std::fprintf(stderr, "note: %s; restoring the values of %s\n", why.c_str(),
                             a.file.c_str());
            }
        }
        if (!writeOptions.exactImage) {
            // The board holds what a write puts there: Version 3, Size 218.
            std::array<std::uint8_t, config::kImageSize> image{};
            config::BuildDeviceImage(record, image.data());
        }
    } else {
        const features::TSaveCheck c =
            features::CheckSave(a.file, features::TFileKind::Configuration);
        if (c.refuse || c.ask) {
            Fail(c.message + (c.ask ? " (not replaced; remove it or choose another name)" : ""));
            return 1;
        }
    }

    link::TLinkPort port;
    const std::int32_t rc = port.OpenPort(opt.device.c_str(), opt.speed, 0);
    if (rc != link::kOpenOk) {
        Fail(opt.device + ": " + port.OpenErrorText(rc));
        return 1;
    }
    StopSignals signals;
    Runner run(port, opt);
    run.Record() = record;
    features::TConfigTransfer& t = run.Transfer();
    if (!a.backupDir.empty()) t.SetBackupDir(a.backupDir);
    const auto interrupted = [] { return g_stopSignal != 0 ? 128 + g_stopSignal : 0; };

    if (a.command == "config-read") {
        if (const auto s = t.Read(false); !s) {
            Fail(s.message);
            return 1;
        }
        const TTransferOutcome o = run.Wait();
        if (!o.completed) {
            Fail(o.message);
            return interrupted() ? interrupted() : 1;
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
    if (a.command == "config-write" || a.command == "config-restore") {
        if (const auto s = t.Write(writeOptions); !s) {
            Fail(s.message);
            return 1;
        }
        const TTransferOutcome w = run.Wait();
        if (!w.completed) {
            Fail(w.message + (w.confirm != features::TConfirm::None
                                  ? " Give --force to write anyway."
                                  : std::string()));
            return interrupted() ? interrupted() : 1;
        }
        if (!opt.quiet) std::fprintf(stderr, "%s\n", w.message.c_str());
        if (!w.checksumWarning.empty())
            std::fprintf(stderr,
                         "note: what the board held before failed its checksum; it was "
                         "kept as read\n");
    }
    if (interrupted()) return interrupted();
    if (a.command == "config-restore" && writeOptions.exactImage) {
        // The fields compare as usual; the bytes the board holds now are
        // the image itself, which the verify read checks below as well.
        run.Record().LoadFromImage(writeOptions.exactImage->data());
    }
    if (const auto s = t.Verify(); !s) {
        Fail(s.message);
        return 1;
    }
    const TTransferOutcome v = run.Wait();
    if (interrupted()) {
        Fail(v.message);
        return interrupted();
    }
    return Report(v);
}

}  // namespace orvan::cli
