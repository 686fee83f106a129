// orvan-cli EEPROM commands: dump to a file, raw reads listed as the page
// lists them, typed writes, the format (the memory kept in a dump file
// first) and the restore of a dump file (what the board holds kept first,
// then read back and compared), each one operation of the core.

#include <filesystem>
#include <string>
#include <system_error>

#include "cli/Cli.h"
#include "cli/CliJson.h"
#include "cli/CliRunner.h"
#include "commands/BoardView.h"
#include "features/EepromOperations.h"

namespace orvan::cli {

namespace {

using features::TOperationOutcome;

// A name the user did not choose must not take another run's file: the
// default dump name, then "-2", "-3"... before ".bin".
std::string Candidate(const std::string& name, int n) {
    if (n <= 1) return name;
    const std::string::size_type dot = name.rfind(".bin");
    const std::string suffix = "-" + std::to_string(n);
    return dot == std::string::npos ? name + suffix : name.substr(0, dot) + suffix + ".bin";
}

bool Taken(const std::string& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() !=
           std::filesystem::file_type::not_found;
}

int Format(TBoard& b, const std::string& chosen) {
    const TShow show{TSay::Stdout, true};
    auto start = [&](const std::string& dump, TShow s) {
        b.Out("dump of the memory before the format: " + dump);
        return b.Run(features::EepromFormatOperation(b.Core(), {dump}), s);
    };
    if (!chosen.empty()) return features::ExitCode(start(chosen, show));
    // The line first: the name is taken the moment it is found free.
    if (const int rc = b.Open(); rc != 0) return rc;
    const std::string base = features::DefaultFormatDumpName();
    for (int n = 1; n <= 99; ++n) {
        const std::string dump = Candidate(base, n);
        if (Taken(dump)) continue;
        TShow quiet = show;
        quiet.silent = true;
        const TOperationOutcome o = start(dump, quiet);
        // Another run took the name between the look and the reservation:
        // nothing was read or kept, so the next name is tried.
        if (o.kind == features::TOutcomeKind::Refused && o.kept.empty() && o.files.empty() &&
            o.signal == 0 && Taken(dump))
            continue;
        b.Print(o, show);
        return features::ExitCode(o);
    }
    b.Say("eeprom-format: no free name for the dump beside " + base + "; nothing done");
    return 2;
}

}  // namespace

TPlan EepromDump(const Options& opt) {
    const auto w = TWords::Split(opt, {"--force"}, {}, 1, 1);
    if (!w) return Done(2);
    features::TEepromDumpRequest r;
    r.path = w->Name(0);
    r.replace = w->Has("--force") || opt.force;
    return OnBoard([r](TBoard& b) {
        return features::ExitCode(
            b.Run(features::EepromDumpOperation(b.Core(), r), {TSay::Stdout, true}));
    });
}

TPlan EepromRead(const Options& opt) {
    const auto w = TWords::Split(opt, {"--json"}, {}, 2, 2);
    if (!w) return Done(2);
    const features::TEepromReadRequest r{w->Name(0), w->Name(1)};
    const bool json = w->Has("--json");
    return OnBoard([r, json](TBoard& b) {
        // With --json one object per row: its address and bytes as numbers.
        struct TRows : commands::IMemoryView {
            std::vector<commands::MemoryRow> rows;
            void OnMemoryRows(const std::vector<commands::MemoryRow>& got) override {
                rows.insert(rows.end(), got.begin(), got.end());
            }
        } seen;
        features::TAttachment<TRows> attached(b.Core(), seen);
        const features::TOperationOutcome o =
            b.Run(features::EepromReadOperation(b.Core(), r), {TSay::Stderr, !json, false});
        if (json && o.Completed()) {
            for (const commands::MemoryRow& row : seen.rows) {
                TJson j = TJson::object();
                j["address"] = row.address;
                j["bytes"] = row.bytes;
                j["text"] = row.asciiText;
                b.Out(JsonText(j));
            }
        }
        return features::ExitCode(o);
    });
}

TPlan EepromWrite(const Options& opt) {
    const auto w = TWords::Split(opt, {"--yes"}, {}, 2, 2);
    if (!w) return Done(2);
    features::TEepromWriteRequest r;
    r.addressText = w->Name(0);
    r.text = w->Name(1);
    r.acceptProtectedArea = w->Has("--yes");
    return OnBoard([r](TBoard& b) {
        return features::ExitCode(
            b.Run(features::EepromWriteOperation(b.Core(), r), {TSay::Stdout, true}));
    });
}

TPlan EepromFormat(const Options& opt) {
    const auto w = TWords::Split(opt, {"--yes"}, {"--dump"}, 0, 0);
    if (!w) return Done(2);
    if (!w->Has("--yes"))
        return Usage(opt.args[0],
                     "the format erases the serial number, the configuration and the logs: "
                     "confirm with --yes (a dump is kept first; --dump FILE names it)");
    const std::string dump = w->Value("--dump");
    return OnBoard([dump](TBoard& b) { return Format(b, dump); });
}

TPlan EepromRestore(const Options& opt) {
    const auto w = TWords::Split(opt, {"--yes"}, {}, 1, 1);
    if (!w) return Done(2);
    features::TEepromRestoreRequest r;
    r.path = w->Name(0);
    r.acceptOtherBoard = w->Has("--yes");
    return OnBoard([r](TBoard& b) {
        return features::ExitCode(
            b.Run(features::EepromRestoreOperation(b.Core(), r), {TSay::Stdout, true}));
    });
}

}  // namespace orvan::cli
