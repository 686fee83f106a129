// orvan-cli config-read, config-write, config-verify and config-restore: the
// window's configuration transfers as the core's operations. A write (or a
// restore) is followed by a verify, so the command ends saying whether the
// board holds the file.

#include <string>

#include "cli/Cli.h"
#include "cli/CliJson.h"
#include "cli/CliRunner.h"
#include "config/Cfgwelderrw.h"
#include "features/ConfigBackups.h"
#include "features/ConfigOperations.h"
#include "features/ConfigTransfer.h"
#include "link/NumberText.h"

namespace orvan::cli {

namespace {

using features::TOperationOutcome;

// A configuration is always a ".wcf": "real.txt" would silently become
// "real.wcf", so a name that is not the file used is refused.
std::string NotItsWcf(const std::string& file) {
    const std::string wcf = config::WcfFileName(file);
    if (wcf == file) return {};
    return "configurations are \".wcf\" files: " + file + " would be taken as " + wcf +
           "; give that name if it is the one meant. Nothing done";
}

// The file onto the pages, its warnings said; 0, or the exit status with the
// reason said. A file with defaults or limited values is fine to compare, not
// to put on a welder unasked.
int Open(TBoard& b, const std::string& file, bool forWrite, bool force) {
    const config::TFileResult r = b.Core().Document().Open(file);
    if (!r) {
        b.Say(r.why);
        return 2;
    }
    for (const std::string& w : r.warnings) b.Say("warning: " + r.path + ": " + w);
    if (!r.missingKeys.empty())
        b.Say("note: " + r.path + ": " + std::to_string(r.missingKeys.size()) + " keys missing (" +
              r.missingKeys.front() + (r.missingKeys.size() > 1 ? ", ..." : "") +
              "), defaults used");
    if (forWrite && !force && (!r.warnings.empty() || !r.missingKeys.empty())) {
        b.Say(r.path +
              " is incomplete or holds values out of range; nothing written (--force writes it "
              "anyway)");
        return 2;
    }
    return 0;
}

// Differences on stdout; the verdict with them, or on stderr after a write
// (whose result is the write: a reader of stdout that went away is no
// reason to fail it).
int Verify(TBoard& b, TSay verdict) {
    return features::ExitCode(b.Run(features::ConfigVerifyOperation(b.Core()), {verdict, true}));
}

// The write, then the verify of what the board holds now.
int WriteThenVerify(TBoard& b, features::TConfigWriteRequest request) {
    const TOperationOutcome w = b.Run(features::ConfigWriteOperation(b.Core(), std::move(request)));
    if (!w.Completed()) return features::ExitCode(w);
    return Verify(b, TSay::Stderr);
}

std::optional<TWords> TransferWords(const Options& opt, bool write) {
    const auto w = write ? TWords::Split(opt, {"--force"}, {}, 1, 1)
                         : TWords::Split(opt, {"--json"}, {}, 1, 1);
    if (!w) return std::nullopt;
    if (const std::string why = NotItsWcf(w->Name(0)); !why.empty()) {
        (void)Usage(opt.args[0], why);
        return std::nullopt;
    }
    return w;
}

}  // namespace

TPlan ConfigRead(const Options& opt) {
    const auto w = TWords::Split(opt, {"--force"}, {}, 1, 1);
    if (!w) return Done(2);
    features::TConfigReadRequest r;
    r.thenTuningLog = false;
    r.saveTo = w->Name(0);
    r.replace = w->Has("--force") || opt.force;
    return OnBoard([r](TBoard& b) {
        return features::ExitCode(b.Run(features::ConfigReadOperation(b.Core(), r)));
    });
}

TPlan ConfigWrite(const Options& opt) {
    const auto w = TransferWords(opt, true);
    if (!w) return Done(2);
    const std::string file = w->Name(0);
    const bool force = w->Has("--force");
    return OnBoard([file, force](TBoard& b) {
        if (const int rc = Open(b, file, true, force); rc != 0) return rc;
        features::TConfigWriteRequest r;
        r.acceptDamaged = force;
        r.acceptOtherLayout = force;
        return WriteThenVerify(b, r);
    });
}

TPlan ConfigVerify(const Options& opt) {
    const auto w = TransferWords(opt, false);
    if (!w) return Done(2);
    const std::string file = w->Name(0);
    const bool json = w->Has("--json");
    return OnBoard([file, json](TBoard& b) {
        if (const int rc = Open(b, file, false, false); rc != 0) return rc;
        if (!json) return Verify(b, TSay::Stdout);
        struct TVerified : features::ITransferListener {
            std::vector<features::TFieldDifference> differences;
            void OnTransferFinished(const features::TTransferOutcome& o) override {
                if (o.op == features::TTransferOp::Verify) differences = o.differences;
            }
        } seen;
        features::TAttachment<TVerified> attached(b.Core(), seen);
        const TOperationOutcome o =
            b.Run(features::ConfigVerifyOperation(b.Core()), {TSay::Stderr, false, false});
        if (o.kind != features::TOutcomeKind::Completed) return features::ExitCode(o);
        // Engineering values to a millionth: what a factor of the file
        // makes of a raw number, without the binary noise of the product.
        const auto side = [](std::int32_t raw, double value, bool engineering) {
            TJson j = TJson::object();
            j["raw"] = raw;
            if (engineering) {
                const auto n = DecimalNumber(link::RoundedText(value, 6));
                j["value"] = n ? *n : TJson(value);
            }
            return j;
        };
        TJson j = TJson::object();
        j["file"] = file;
        j["same"] = seen.differences.empty();
        j["differences"] = TJson::array();
        for (const features::TFieldDifference& d : seen.differences) {
            TJson one = TJson::object();
            one["section"] = d.section;
            one["key"] = d.key;
            one["file"] = side(d.pcRaw, d.pcValue, d.engineering);
            one["board"] = side(d.boardRaw, d.boardValue, d.engineering);
            if (!d.unit.empty()) one["unit"] = d.unit;
            j["differences"].push_back(one);
        }
        b.Out(JsonText(j));
        return features::ExitCode(o);
    });
}

TPlan ConfigRestore(const Options& opt) {
    const auto w = TransferWords(opt, true);
    if (!w) return Done(2);
    const std::string file = w->Name(0);
    const bool force = w->Has("--force");
    return OnBoard([file, force](TBoard& b) {
        features::TConfigWriteRequest r;
        const config::TFileResult opened = b.Core().Document().OpenBackup(file, r.exactImage);
        if (!opened) {
            b.Say(opened.why);
            return 2;
        }
        if (r.exactImage) {
            b.Note("restoring the exact image " + features::BackupImagePath(file));
        } else {
            b.Note("no exact image beside " + file +
                   " that still holds its values; restoring its values");
            if (const int rc = Open(b, file, true, force); rc != 0) return rc;
        }
        r.acceptDamaged = force;
        r.acceptOtherLayout = force;
        r.restore = true;
        return WriteThenVerify(b, r);
    });
}

}  // namespace orvan::cli
