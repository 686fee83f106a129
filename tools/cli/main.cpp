// orvan-cli: the command-line companion. It drives the same core as the
// window: the exchange engine on a serial device or on the built-in simulator.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/Cli.h"
#include "cli/Console.h"
#include "cli/SimulatedBoard.h"
#include "config/IniFile.h"
#include "config/SystemPaths.h"
#include "link/Version.h"

namespace {

using orvan::cli::Options;

int Refuse(const std::string& why) {
    std::fprintf(stderr, "orvan-cli: %s (orvan-cli --help tells the options)\n", why.c_str());
    return 2;
}

// The window's settings file as it is found for a user (the program's own
// folder is not writable once installed); its [COM] Device when it names one.
std::string WindowDevice(std::string& from) {
    const std::string base = orvan::config::UserConfigDirectory();
    if (base.empty()) return {};
    from = base + "OrvanSuperV.cfg";
    if (!orvan::config::PathExists(from)) return {};
    orvan::config::TIniFile ini(from);
    if (!ini.Load(nullptr)) return {};
    return ini.ReadString("COM", "Device", "");
}

// Where the device comes from when --device is not given; named on stderr,
// so a run on the wrong board is seen.
void DefaultDevice(Options& opt) {
    if (const char* e = std::getenv("ORVAN_DEVICE"); e && *e) {
        opt.device = e;
        if (!opt.quiet) std::fprintf(stderr, "device %s (from ORVAN_DEVICE)\n", e);
        return;
    }
    std::string from;
    opt.device = WindowDevice(from);
    if (!opt.device.empty() && !opt.quiet)
        std::fprintf(stderr, "device %s (from %s)\n", opt.device.c_str(), from.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that went away (`| head`) is not a reason to stop half way:
    // a write to it fails and the command goes on to its end.
    orvan::cli::KeepRunningWhenReaderGoes();

    Options opt;
    bool help = false, version = false;
    CLI::App app{"", "orvan-cli"};
    // The options end at the command; its words are its own (checked by the
    // command against what it takes), so no option before it swallows them.
    app.prefix_command();
    app.set_help_flag();
    app.allow_windows_style_options(false);
    const auto notEmpty = CLI::Validator(
        [](std::string& v) { return v.empty() ? std::string("wants a value") : std::string(); }, "",
        "");
    for (const orvan::cli::TGlobalOption& g : orvan::cli::GlobalOptions()) {
        const std::string n = g.names;
        CLI::Option* o = nullptr;
        if (n == "--device") o = app.add_option(n, opt.device)->check(notEmpty);
        if (n == "--simulate") o = app.add_flag(n, opt.simulate);
        if (n == "--speed") {
            std::vector<std::int32_t> speeds(std::begin(orvan::cli::kLineSpeeds),
                                             std::end(orvan::cli::kLineSpeeds));
            o = app.add_option(n, opt.speed)->check(CLI::IsMember(speeds));
        }
        if (n == "--fast") o = app.add_flag(n, opt.fast);
        if (n == "--capture") o = app.add_option(n, opt.capture)->check(notEmpty);
        if (n == "--backup-dir") o = app.add_option(n, opt.backupDir)->check(notEmpty);
        if (n == "--force") o = app.add_flag(n, opt.force);
        if (n == "-v,--trace") o = app.add_flag(n, opt.trace);
        if (n == "--progress") o = app.add_flag(n, opt.progress);
        if (n == "-q,--quiet") o = app.add_flag(n, opt.quiet);
        if (n == "--version") o = app.add_flag(n, version);
        if (n == "-h,--help") o = app.add_flag(n, help);
        if (o == nullptr) return Refuse("internal: option " + n + " has no reader");
        if (*g.value) o->type_name(g.value);
    }
    // "--device=" is no device (the parser would take the next word as it).
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") break;
        if (a.size() > 3 && a.rfind("--", 0) == 0 && a.back() == '=')
            return Refuse(a.substr(0, a.size() - 1) + " wants a value");
        if (a.rfind("-", 0) != 0) break;  // the command: its words are its own
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return Refuse(e.what());
    }
    opt.args = app.remaining();
    if (help) {
        std::fputs(orvan::cli::HelpText().c_str(), stdout);
        return 0;
    }
    if (version) {
        std::printf("orvan-cli %s\n", orvan::kProgramVersion);
        return 0;
    }
    if (!opt.device.empty() && opt.simulate)
        return Refuse("--device and --simulate exclude each other");
    if (opt.args.empty()) return Refuse("no command given");
    const orvan::cli::TCommand* command = orvan::cli::FindCommand(opt.args[0]);
    if (command == nullptr)
        return Refuse("unknown command " + opt.args[0] + " (orvan-cli --help lists them)");
    // COMMAND --help (before a --, after which words are the command's).
    for (std::size_t i = 1; i < opt.args.size() && opt.args[i] != "--"; ++i) {
        if (opt.args[i] == "--help" || opt.args[i] == "-h") {
            std::fputs(orvan::cli::CommandHelpText(*command).c_str(), stdout);
            return 0;
        }
    }
    // The commands that keep backups take --backup-dir after their words too.
    if (std::string(command->args).find("--backup-dir") != std::string::npos) {
        for (std::size_t i = 1; i < opt.args.size() && opt.args[i] != "--"; ++i) {
            const std::string a = opt.args[i];
            std::string dir;
            std::size_t words = 0;
            if (a == "--backup-dir" && i + 1 < opt.args.size()) {
                dir = opt.args[i + 1];
                words = 2;
            } else if (a.rfind("--backup-dir=", 0) == 0) {
                dir = a.substr(13);
                words = 1;
            } else if (a == "--backup-dir") {
                words = 1;
            }
            if (words == 0) continue;
            if (dir.empty()) {
                std::fprintf(stderr, "orvan-cli: %s: --backup-dir wants a folder\n", command->name);
                return 2;
            }
            opt.backupDir = dir;
            opt.args.erase(opt.args.begin() + static_cast<std::ptrdiff_t>(i),
                           opt.args.begin() + static_cast<std::ptrdiff_t>(i + words));
            --i;
        }
    }
    if (command->board && opt.device.empty() && !opt.simulate) {
        DefaultDevice(opt);
        if (opt.device.empty()) {
            std::fprintf(stderr,
                         "orvan-cli: %s needs --device PATH (or ORVAN_DEVICE) or --simulate\n",
                         command->name);
            return 2;
        }
    }
    const orvan::cli::TPlan plan = command->read(opt);
    if (!plan.board) {
        // The result of a file command that could not be written fails it.
        if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && plan.exit == 0) {
            std::fprintf(stderr, "orvan-cli: the result could not be written to standard output\n");
            return 1;
        }
        return plan.exit;
    }

    orvan::cli::TSimulatedBoard board;
    if (opt.simulate) {
        std::string error;
        if (!board.Start(opt.device, error)) {
            std::fprintf(stderr, "orvan-cli: simulator: %s\n", error.c_str());
            return 1;
        }
        if (!opt.quiet) std::fprintf(stderr, "simulated board on %s\n", opt.device.c_str());
    }
    return orvan::cli::RunOnBoard(opt, plan);
}
